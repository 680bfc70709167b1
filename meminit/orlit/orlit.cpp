// orlit init routines (placeholders until the family sequence lands).
#include "meminit/entry/routines.h"

namespace tov {
int32_t meminit_orlit_Common_NT5DS16M16CS_5T_K4D551638F_LC50(MemInitParams*) { return 0; }
int32_t meminit_orlit_K4H561638F_TCCC(MemInitParams*) { return 0; }
int32_t meminit_orlit_K4H561638F_UCCC(MemInitParams*) { return 0; }
int32_t meminit_orlit_id18(MemInitParams*) { return 0; }
int32_t meminit_orlit_id19(MemInitParams*) { return 0; }
int32_t meminit_orlit_id1d(MemInitParams*) { return 0; }
int32_t meminit_orlit_id1e(MemInitParams*) { return 0; }
int32_t meminit_orlit_id27(MemInitParams*) { return 0; }
int32_t meminit_orlit_id2a(MemInitParams*) { return 0; }
int32_t meminit_orlit_id30(MemInitParams*) { return 0; }
int32_t meminit_orlit_id33(MemInitParams*) { return 0; }
int32_t meminit_orlit_id47(MemInitParams*) { return 0; }
int32_t meminit_orlit_id49(MemInitParams*) { return 0; }
int32_t meminit_orlit_id50(MemInitParams*) { return 0; }
int32_t meminit_orlit_id51(MemInitParams*) { return 0; }
int32_t meminit_orlit_id54(MemInitParams*) { return 0; }
int32_t meminit_orlit_id55(MemInitParams*) { return 0; }
int32_t meminit_orlit_id60(MemInitParams*) { return 0; }
int32_t meminit_orlit_id61(MemInitParams*) { return 0; }
int32_t meminit_orlit_id63(MemInitParams*) { return 0; }
int32_t meminit_orlit_id73(MemInitParams*) { return 0; }
int32_t meminit_orlit_id7d(MemInitParams*) { return 0; }
}  // namespace tov
