// SPDX-License-Identifier: Apache-2.0
// Init routines of the third family: one profile per routine; each routine's
// entry, generated from the routine list, runs the family sequence with it.
#include "meminit/varnel/varnel.h"
#include "meminit/entry/routines.h"
#include "meminit/hw/derive.h"
#include "meminit/hw/regs.h"

namespace tov::varnel {
namespace {

using namespace dram;

// ---------------------------------------------------------------------------
// high_1down members: direct access, default and half-width forms, ending in
// the pulse and the frame-buffer check. Columns in the order: alternate set,
// 0x058 rule, 0x050 per form, lane-settling ticks per form, W, the timing
// words, the power-up list, the early 0x43c enable.
// ---------------------------------------------------------------------------

// clang-format off
constexpr Profile high_1down_V58C2256164SCI5 = {
    .entry = "mem init, meminit_varnel_high_1down_V58C2256164SCI5\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile EDD2516AETA_5B = {
    .entry = "mem init, meminit_varnel_EDD2516AETA_5B \n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006704, 0xf006704},
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile high_1down_MT46V16M16BG_5B = {
    .entry = "mem init, meminit_varnel_high_1down_MT46V16M16BG_5B\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0e00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = true,
};

constexpr Profile high_1down_HYB25D128160CE_5 = {
    .entry = "mem init, meminit_varnel_high_1down_HYB25D128160CE_5\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = false,
    .cfg = both_widths(0x2ea092e),
    .timing = {.drc_814 = 0xbee0b38, .drc_818 = 0x3123230d, .drc_81c = 0x31, .drc_808 = 0xd0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    .early_43c_enable = true,
};

constexpr Profile high_1down_EM6AA160TS_5G = {
    .entry = "mem init, meminit_varnel_high_1down_EM6AA160TS_5G\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = true,
};

constexpr Profile high_1down_HY5DU561622CT_4 = {
    .entry = "mem init, meminit_varnel_high_1down_HY5DU561622CT_4\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70f28, .drc_818 = 0x53232512, .drc_81c = 0x41, .drc_808 = 0x12c800c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 5, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_4, burst_4), .final_cycles = 18},
    .early_43c_enable = true,
};

constexpr Profile high_1down_EDD5116AFTA_5B = {
    .entry = "mem init, meminit_varnel_high_1down_EDD5116AFTA_5B\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x2ea0a32),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = true,
};

constexpr Profile high_1down_HY5DU561622ETP_4 = {
    .entry = "mem init, meminit_varnel_high_1down_HY5DU561622ETP_4\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70f28, .drc_818 = 0x53242512, .drc_81c = 0x41, .drc_808 = 0x12c800c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 5, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_4, burst_4), .final_cycles = 18},
    .early_43c_enable = true,
};

constexpr Profile high_1down_V58C2128164SBI5 = {
    .entry = "mem init, meminit_varnel_high_1down_V58C2128164SBI5\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .cfg = both_widths(0x2ea0932),
    .timing = {.drc_814 = 0xbee0b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xf0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = true,
};

constexpr Profile high_1down_HY5DU121622CTP_D43 = {
    .entry = "mem init, meminit_varnel_high_1down_HY5DU121622CTP_D43\n",
    .alt = AltSet::clocks_7_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x26a0a36),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile high_1down_EDD2516AETA_5B = {
    .entry = "mem init, meminit_varnel_high_1down_EDD2516AETA_5B\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006704, 0xf006704},
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x2ea0932),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_4, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile high_1down_HYB25D256160CE_5 = {
    .entry = "mem init, meminit_varnel_high_1down_HYB25D256160CE_5\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006704, 0xf006704},
    .cfg = both_widths(0x2ea0932),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3123230d, .drc_81c = 0x31, .drc_808 = 0xd0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    .early_43c_enable = false,
};

constexpr Profile high_1down_K4D551638F_LC50 = {
    .entry = "mem init, meminit_varnel_high_1down_K4D551638F_LC50\n",
    .alt = AltSet::clocks_7_11,
    .mode_058 = true,
    .sys_050 = {0xf006704, 0xf006704},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70c28, .drc_818 = 0x4233340e, .drc_81c = 0x31, .drc_808 = 0xec800c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 4, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
    .check = {FbCheck::tick_tail, FbCheck::plain},  // default form: tick waits at the end
};

constexpr Profile high_1down_HYB25DC256160CE_5 = {
    .entry = "mem init, meminit_varnel_high_1down_HYB25DC256160CE_5\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006704, 0xf006704},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3123230d, .drc_81c = 0x31, .drc_808 = 0xd0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    .early_43c_enable = false,
};

constexpr Profile high_1down_HY5DU281622ETP_5 = {
    .entry = "mem init, meminit_varnel_high_1down_HY5DU281622ETP_5\n",
    .alt = AltSet::clocks_7_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70c28, .drc_818 = 0x4323240e, .drc_81c = 0x31, .drc_808 = 0xec800c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 4, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile high_1down_NT5DS16M16CS_5T = {
    .entry = "mem init, meminit_varnel_high_1down_NT5DS16M16CS_5T\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3223230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 3,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile high_1down_V58C2128164SBI5_2 = {
    .entry = "mem init, meminit_varnel_high_1down_V58C2128164SBI5\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .lane_settle_ticks = {1, 2},
    .cfg = both_widths(0x2ea0932),
    .timing = {.drc_814 = 0xbee0a38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile high_1down_NT5DS8M16FS_5T = {
    .entry = "mem init, meminit_varnel_high_1down_NT5DS8M16FS_5T\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .cfg = both_widths(0x2ea0932),
    .timing = {.drc_814 = 0xbee0b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile high_1down_HY5DU561622LF_D43 = {
    .entry = "mem init, meminit_varnel_high_1down_HY5DU561622LF_D43\n",
    .alt = AltSet::clocks_7_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x26a0936),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile high_1down_W9425G6CH_5 = {
    .entry = "mem init, meminit_varnel_high_1down_W9425G6CH_5\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x29810b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f000a},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_MT46V16M16P_5B = {
    .entry = "mem init, meminit_varnel_common_NT5DS16M16CS-5T_HY5DU561622ETP-D43_MT46V16M16P-5B\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006704, 0xf006704},
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3223230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 3,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile high_1down_HY5DU561622CT_5 = {
    .entry = "mem init, meminit_varnel_high_1down_HY5DU561622CT_5\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .lane_settle_ticks = {2, 2},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70c28, .drc_818 = 0x4323240e, .drc_81c = 0x31, .drc_808 = 0xec800c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 4, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

constexpr Profile high_1down_NT5DS16M16CG_5T = {
    .entry = "mem init, meminit_varnel_high_1down_NT5DS16M16CG_5T\n",
    .alt = AltSet::clocks_10_11,
    .mode_058 = true,
    .sys_050 = {0xf006700, 0xf006704},
    .cfg = both_widths(0x2ea0936),
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3223230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 3,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .early_43c_enable = false,
};

// The same part list with the third part's name: the values of the one above.
constexpr Profile common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_EDD2516AETA_5B =
    derive(common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_MT46V16M16P_5B, [](Profile& p) {
        p.entry = "mem init, meminit_varnel_common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_EDD2516AETA_5B\n";
    });

// ---------------------------------------------------------------------------
// Status-checked routines: the same sequence with every access checked.
// ---------------------------------------------------------------------------

// The controller-only re-initialisation at 25000 kHz, run on its routine's
// status-checked bus.
constexpr ControllerReinit reinit_25000 = {
    .khz = 25000, .size_out = 0x4000000,
    .blk_43c_held_first = true, .pads_all_ones = true, .pads_read_back = true,
    .cfg_kept = reg::drc_cfg::reinit_kept | 0x26a0936, .cfg = 0x26a0936, .drc_818_kept = 0, .drc_818 = 0x11222104,
    .drc_81c_replaced = reg::drc_81c::reinit_cleared, .commands = slow_power_up(mode_register(cas_2, burst_4)), .cke_low_first = true,
    .code_replaced = code_fields_with_bit2, .returned_to_idle = 7, .drc_840_8a4 = true,
};

// meminit_varnel_high_1down_K4D551638F_TC40: clock_index 0xffff0004 runs the
// re-initialisation instead.
constexpr Profile high_1down_K4D551638F_TC40 = {
    .entry = "mem init, meminit_varnel_high_1down_K4D551638F_TC40\n",
    .checked = true,
    .alt = AltSet::clocks_10_11,
    .cfg = {{0x2ea0936, 0x12ea0936}},
    .timing = {.drc_814 = 0x5f70d29, .drc_818 = 0x4423340f, .drc_81c = 0x31, .drc_808 = 0xfc800c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 4, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 15},
    .reinit = &reinit_25000,
};

// meminit_varnel_high_1down_K4H561638H_UCCC: its default form reports a bad
// read-back.
constexpr Profile high_1down_K4H561638H_UCCC = {
    .entry = "mem init, meminit_varnel_high_1down_K4H561638H_UCCC\n",
    .checked = true,
    .alt = AltSet::clocks_10_11,
    .default_note = "32bit 64M settings\n",
    .cfg = {{0x2ea0936, 0x12ea0936}},
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3223230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .check = {FbCheck::traced, FbCheck::plain},
};

constexpr Profile high_1down_EDD1216AATA_5B = {
    .entry = "mem init, meminit_varnel_high_1down_EDD1216AATA_5B\n",
    .checked = true,
    .alt = AltSet::clocks_7_11,
    .lane_settle_ticks = {2, 2},
    .cfg = {{0x2ea0932, 0x12ea0932}},
    .timing = {.drc_814 = 0xbee0b38, .drc_818 = 0x3123230e, .drc_81c = 0x31, .drc_808 = 0xe0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
};

// The 5C part: its own timing words and CAS latency 4, the alternate form on clocks 10 and 11 only.
constexpr Profile high_1down_EDD1216AATA_5C = derive(high_1down_EDD1216AATA_5B, [](Profile& p) {
    p.entry = "mem init, meminit_varnel_high_1down_EDD1216AATA_5C\n";
    p.alt = AltSet::clocks_10_11;
    p.timing.drc_814 = 0xbee0c48;
    p.timing.drc_818 = 0x4123240e;
    p.power_up.emrs_cycles = 4;
    p.power_up.mode = mode_register(cas_4, burst_4);
});

// ---------------------------------------------------------------------------
// Direct-access routines with a single form, sized by clock selector.
// ---------------------------------------------------------------------------

// Generator fields that differ from the standard ones.
constexpr ClockGenField gens_low[3] = {
    gen(reg::CLKGEN_010, 0x18, false),
    gens_standard[1],
    gens_standard[2],
};
constexpr ClockGenField gens_esmt[3] = {
    gen(reg::CLKGEN_010, 0x26, true),
    gen(reg::CLKGEN_018, 0x28, true),
    gens_standard[2],
};

// Clock 5: half, 6: all, 11: half, anything else a quarter.
constexpr SizeRule size_by_clock = {
    .other = Size::quarter, .at5 = Size::half, .at6 = Size::full, .at11 = Size::half};

constexpr Profile low_EDD1216AATA = {
    .entry = "mem init, meminit_varnel_low_EDD1216AATA\n",
    .alt = AltSet::none,
    .size = {.other = Size::half, .at6 = Size::full},
    .mode_058 = false,
    .gens = gens_low,
    .pad = 2,
    .pad_85c = 0x220000,
    .cfg = {{0xc28a0932, 0xc28a0932}},
    .timing = {.drc_814 = 0x9e00a37, .drc_818 = 0x3413230c, .drc_81c = 0x121, .drc_808 = 0xf0d00c8, .drc_80c = 0x1e700a3},
    .power_up = {.cke_high_cycles = 32401, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    .ending = {Ending::direct, Ending::direct},
};

constexpr Profile high_EDD1216AATA = {
    .entry = "mem init, meminit_varnel_high_EDD1216AATA\n",
    .alt = AltSet::none,
    .size = {.other = Size::half, .at6 = Size::full},
    .mode_058 = false,
    .pad = 2,
    .pad_85c = 0x110000,
    .cfg = {{0xc2ea0932, 0xc2ea0932}},
    .timing = {.drc_814 = 0xbee0c48, .drc_818 = 0x4423240e, .drc_81c = 0x31, .drc_808 = 0xf0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 4, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .ending = {Ending::direct, Ending::direct},
};

// Clocks 10 and 11 are not supported: the routine reports its sizes and
// touches nothing.
constexpr Profile high_1down_K4H561638H = {
    .entry = "mem init, meminit_varnel_high_1down_K4H561638H\n",
    .alt = AltSet::clocks_10_11,
    .alt_unsupported = true,
    .size = size_by_clock,
    .cfg = {{0x2ea0936, 0x2ea0936}},
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3423230e, .drc_81c = 0x31, .drc_808 = 0xf0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .ending = {Ending::pulse, Ending::pulse},
};

constexpr Profile K4D551638F_TC40 = {
    .entry = "mem init, meminit_varnel_K4D551638F_TC40\n",
    .alt = AltSet::none,
    .size = {.other = Size::quarter, .at5 = Size::half, .at6 = Size::full},
    .pad = 2,
    .pad_85c = 0x220000,
    .cfg = {{0x2ea0936, 0x2ea0936}},
    .timing = {.drc_814 = 0x5f70b38, .drc_818 = 0x3423230e, .drc_81c = 0x31, .drc_808 = 0xf0f00c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    .ending = {Ending::pulse, Ending::pulse},
};

constexpr Profile high_1down_EM6AA320BI_5MSG = {
    .entry = "mem init, meminit_varnel_high_1down_EM6AA320BI_5MSG\n",
    .alt = AltSet::none,
    .size = {.other = Size::full},
    .lane_settle_ticks = {2, 2},
    .cfg = {{0x2e80932, 0x2e80932}},
    .timing = {.drc_814 = 0x5f70c28, .drc_818 = 0x4322230e, .drc_81c = 0x31, .drc_808 = 0xec800c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 3, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
};

constexpr Profile high_1down_ESMT_121 = {
    .entry = "mem init, meminit_varnel_high_1down_ESMT_121\n",
    .alt = AltSet::none,
    .size = {.other = Size::half_if_bus},
    .gens = gens_esmt,
    .pad = 4,
    .pad_85c = 0x440000,
    .lane_settle_ticks = {2, 2},
    .cfg = {{0x2e80832, 0x2e80832}},
    .timing = {.drc_814 = 0x3e90d49, .drc_818 = 0x4423340f, .drc_81c = 0x31, .drc_808 = 0xfc800c8, .drc_80c = 0x1810081},
    .power_up = {.cke_high_cycles = 25651, .emrs_cycles = 4, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 15},
    .early_43c_enable = false,
};

// Direct access with an alternate form at clocks 10 and 11 whose set-up word
// already carries the pulse bits; the default form pulses for five ticks.
constexpr Profile K4D551638F_TC40_2 = {
    .entry = "mem init, meminit_varnel_K4D551638F_TC40\n",
    .alt = AltSet::clocks_10_11,
    .size = size_by_clock,
    .mode_058 = false,
    .sys_050 = {0xf006700, 0xf006704},
    .pad = 2,
    .pad_85c = 0x220000,
    .lane_settle_ticks = {2, 2},
    .cfg = {{0x2ea0936, 0xd2ea0936}},
    .timing = {.drc_814 = 0x5f70d29, .drc_818 = 0x4423340f, .drc_81c = 0x31, .drc_808 = 0xfc800c8},
    .power_up = {.cke_high_cycles = 39151, .emrs_cycles = 4, .dll_reset_cycles = 2,
                 .mode = mode_register(cas_3, burst_4), .final_cycles = 15},
    .ending = {Ending::pulse, Ending::direct},
    .pulse_ticks = 5,
};
// clang-format on

}  // namespace
}  // namespace tov::varnel

namespace tov {

// The routines of the third ConfigTable: each runs the family sequence with its profile.
#define TOV_ENTRY_varnel(name, profile) \
    int32_t name(MemInitParams* p) { return varnel::run(p, varnel::profile); }
#include "meminit/entry/routine_entries.inc"

}  // namespace tov
