// varnel init routines (placeholders until the family sequence lands).
#include "meminit/entry/routines.h"

namespace tov {
int32_t meminit_varnel_EDD2516AETA_5B(MemInitParams*) { return 0; }
int32_t meminit_varnel_K4D551638F_TC40(MemInitParams*) { return 0; }
int32_t meminit_varnel_K4D551638F_TC40_2(MemInitParams*) { return 0; }
int32_t meminit_varnel_common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_EDD2516AETA_5B(MemInitParams*) { return 0; }
int32_t meminit_varnel_common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_MT46V16M16P_5B(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_EDD1216AATA_5B(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_EDD1216AATA_5C(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_EDD2516AETA_5B(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_EDD5116AFTA_5B(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_EM6AA160TS_5G(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_EM6AA320BI_5MSG(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_ESMT_121(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_HY5DU121622CTP_D43(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_HY5DU281622ETP_5(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_HY5DU561622CT_4(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_HY5DU561622CT_5(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_HY5DU561622ETP_4(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_HY5DU561622LF_D43(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_HYB25D128160CE_5(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_HYB25D256160CE_5(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_HYB25DC256160CE_5(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_K4D551638F_LC50(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_K4D551638F_TC40(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_K4H561638H(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_K4H561638H_UCCC(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_MT46V16M16BG_5B(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_NT5DS16M16CG_5T(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_NT5DS16M16CS_5T(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_NT5DS8M16FS_5T(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_V58C2128164SBI5(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_V58C2128164SBI5_2(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_V58C2256164SCI5(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_1down_W9425G6CH_5(MemInitParams*) { return 0; }
int32_t meminit_varnel_high_EDD1216AATA(MemInitParams*) { return 0; }
int32_t meminit_varnel_low_EDD1216AATA(MemInitParams*) { return 0; }
}  // namespace tov
