// halden init routines (placeholders until the family sequence lands).
#include "meminit/entry/routines.h"

namespace tov {
int32_t meminit_halden_K4H511638C_UCCC(MemInitParams*) { return 0; }
int32_t meminit_halden_K4H561638F_TCCC(MemInitParams*) { return 0; }
int32_t meminit_halden_id12(MemInitParams*) { return 0; }
int32_t meminit_halden_id1f(MemInitParams*) { return 0; }
int32_t meminit_halden_id24(MemInitParams*) { return 0; }
int32_t meminit_halden_id28(MemInitParams*) { return 0; }
int32_t meminit_halden_id2a(MemInitParams*) { return 0; }
int32_t meminit_halden_id30(MemInitParams*) { return 0; }
int32_t meminit_halden_id32(MemInitParams*) { return 0; }
int32_t meminit_halden_id33(MemInitParams*) { return 0; }
int32_t meminit_halden_id36(MemInitParams*) { return 0; }
int32_t meminit_halden_id38(MemInitParams*) { return 0; }
int32_t meminit_halden_id39(MemInitParams*) { return 0; }
int32_t meminit_halden_id3b(MemInitParams*) { return 0; }
}  // namespace tov
