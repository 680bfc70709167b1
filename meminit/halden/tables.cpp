// SPDX-License-Identifier: Apache-2.0
// Constant data of the first family: the shared clock sets, each routine's
// case table and traits, and the entries of its fourteen routines, generated
// from the routine list.
#include "meminit/entry/routines.h"
#include "meminit/halden/halden.h"

namespace tov {
namespace halden {
namespace {

using namespace dram;

constexpr uint8_t reduced_drive = extended_mode(Drive::reduced);

// Clock sets, by label: generator fields 0x010..0x030, released generators,
// 0x050, bits 0-6 of 0x058, generators held again, clock-enable wait (cycles).
// The "h" sets belong to half-width cases: generators with field 0x1e are
// unused there, stay held and are not held again.
// clang-format off
constexpr HaldenClockSet set_49a = clock_set({.field = {0x19, 0x16, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xff6ff61, .field_058 = 0x2f, .held_again = g020 | g028 | g030, .cke_high_cycles = 16876});
constexpr HaldenClockSet set_49b = clock_set({.field = {0x1d, 0x16, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xff6ff61, .field_058 = 0x2f, .held_again = g020 | g028 | g030, .cke_high_cycles = 19576});
constexpr HaldenClockSet set_49h = clock_set({.field = {0x19, 0x16, 0x1e, 0x1e, 0x1e}, .released = g010 | g018,
                                     .sys_050 = 0xff6ff61, .field_058 = 0x2f, .held_again = no_gens, .cke_high_cycles = 16876});
constexpr HaldenClockSet set_98 = clock_set({.field = {0x1d, 0x17, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xf5dffd1, .field_058 = 0x6f, .held_again = g020 | g028 | g030, .cke_high_cycles = 19576});
constexpr HaldenClockSet set_103 = clock_set({.field = {0x17, 0x1d, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfbbffb0, .field_058 = 0x6f, .held_again = g018 | g020 | g028 | g030, .cke_high_cycles = 31051});
constexpr HaldenClockSet set_103h = clock_set({.field = {0x17, 0x1e, 0x1e, 0x1e, 0x1e}, .released = g010,
                                     .sys_050 = 0xfbbffb0, .field_058 = 0x6f, .held_again = no_gens, .cke_high_cycles = 31051});
constexpr HaldenClockSet set_121 = clock_set({.field = {0x16, 0x1b, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfb4ff40, .field_058 = 0x6f, .held_again = g020 | g028 | g030, .cke_high_cycles = 29701});
constexpr HaldenClockSet set_121b = clock_set({.field = {0x17, 0x1b, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfb4ff40, .field_058 = 0x6f, .held_again = g020 | g028 | g030, .cke_high_cycles = 31051});
constexpr HaldenClockSet set_148a = clock_set({.field = {0x1a, 0x16, 0x17, 0x1b, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfa7ff00, .field_058 = 0x6f, .held_again = g030, .cke_high_cycles = 35101});
constexpr HaldenClockSet set_148b = clock_set({.field = {0x1a, 0x16, 0x17, 0x1b, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfa7af00, .field_058 = 0x7f, .held_again = g030, .cke_high_cycles = 35101});
constexpr HaldenClockSet set_148c = clock_set({.field = {0x18, 0x16, 0x17, 0x1b, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfa7ff00, .field_058 = 0x6f, .held_again = g030, .cke_high_cycles = 32401});
constexpr HaldenClockSet set_148d = clock_set({.field = {0x18, 0x16, 0x17, 0x1b, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfa7af00, .field_058 = 0x7f, .held_again = g030, .cke_high_cycles = 32401});
constexpr HaldenClockSet set_148e = clock_set({.field = {0x1a, 0x16, 0x17, 0x1b, 0x18}, .released = all_gens,
                                     .sys_050 = 0xfa7a900, .field_058 = 0x7f, .held_again = no_gens, .cke_high_cycles = 35101});
constexpr HaldenClockSet set_148h = clock_set({.field = {0x1a, 0x16, 0x17, 0x1b, 0x1e}, .released = g010 | g018 | g020 | g028,
                                     .sys_050 = 0xfa7af00, .field_058 = 0x7f, .held_again = no_gens, .cke_high_cycles = 35101});

// Case tables: one row per clock_index (or range), the any_other row last.

// meminit_halden_K4H561638F_TCCC (IDs 0x0, 0x5, 0x10, 0x11, 0x1d and every unlisted ID).
// The half-width rows use the "h" clock sets. 0xffff0001..0xffff0003 never get here.
constexpr HaldenCaseSettings cases_K4H561638F_TCCC[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 7},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 7, .khz = 49500, .clocks = &set_49h, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x2930624, .drc_818 = 0x1222206, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_8), .final_cycles = 6},
    {.clock = 8, .khz = 103500, .clocks = &set_103h, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x123230b, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_8), .final_cycles = 11},
    {.clock = 9, .clock_to = 11, .khz = 148500, .clocks = &set_148h, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x5590b48, .drc_818 = 0x123240d, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 4, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_8), .final_cycles = 13},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 6},
};
// clang-format on
// meminit_halden_id28 (0x28, 0x29).
// clang-format off
constexpr HaldenCaseSettings cases_id28[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x2fc0c48, .drc_818 = 0x445340e, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 4, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x4870c48, .drc_818 = 0x445340e, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 4, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x5590c48, .drc_818 = 0x445340f, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 4, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 15},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x5590c48, .drc_818 = 0x445340f, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 4, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 15},
    {.clock = 7, .khz = 49500, .clocks = &set_49b, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x2fc0c48, .drc_818 = 0x445340e, .drc_81c = 0x31, .field_890 = 0xe0,
     .emrs_cycles = 4, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x4bb0d48, .drc_818 = 0x445440e, .drc_81c = 0x31, .field_890 = 0xe0,
     .emrs_cycles = 4, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
    {.clock = 9, .clock_to = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x5590c48, .drc_818 = 0x445340f, .drc_81c = 0x31, .field_890 = 0xe0,
     .emrs_cycles = 4, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 15},
    {.any_other = true, .khz = 49500, .clocks = &set_49b, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x2fc0c48, .drc_818 = 0x445340e, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 4, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 14},
};
// clang-format on
// meminit_halden_id3b (0x3b..0x3e): 97870 kHz at clock_index 3.
// clang-format off
constexpr HaldenCaseSettings cases_id3b[] = {
    {.clock = 3, .khz = 97870, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0625, .drc_818 = 0x2122208, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 8},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870937, .drc_818 = 0x213230b, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148c, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.clock = 6, .khz = 148500, .clocks = &set_148d, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930624, .drc_818 = 0x2122207, .drc_81c = 0x21, .field_890 = 0xc0,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 7},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x213230c, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.clock = 11, .khz = 148500, .clocks = &set_148d, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930624, .drc_818 = 0x2122207, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 7},
};
// clang-format on
// meminit_halden_id1f (0x1f): the row for any other value runs at 148500 kHz.
// clang-format off
constexpr HaldenCaseSettings cases_id1f[] = {
    {.clock = 2, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 6},
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 7},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 6},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 11},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.any_other = true, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
};
// clang-format on
// meminit_halden_id2a (0x2a..0x2d).
// clang-format off
constexpr HaldenCaseSettings cases_id2a[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x2fc105b, .drc_818 = 0x4333514, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 5, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 20},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x487105b, .drc_818 = 0x4333514, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 5, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 20},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x559105b, .drc_818 = 0x4333514, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 5, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 20},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x559105b, .drc_818 = 0x4333514, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 5, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 20},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x293105b, .drc_818 = 0x4333514, .drc_81c = 0x31, .field_890 = 0xe0,
     .emrs_cycles = 5, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 20},
    {.clock = 8, .clock_to = 10, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x4bb105b, .drc_818 = 0x4444514, .drc_81c = 0x31, .field_890 = 0xe0,
     .emrs_cycles = 5, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 20},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x559105b, .drc_818 = 0x4333514, .drc_81c = 0x31, .field_890 = 0xe0,
     .emrs_cycles = 5, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 20},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x293105b, .drc_818 = 0x4333514, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 5, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 20},
};
// clang-format on
// meminit_halden_id38 (0x38): every other value is the half-width 49500 kHz row.
// clang-format off
constexpr HaldenCaseSettings cases_id38[] = {
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x213230c, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.clock = 11, .khz = 148500, .clocks = &set_148d, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930624, .drc_818 = 0x2122207, .drc_81c = 0x21, .field_890 = 0xc0,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 7},
};
// clang-format on
// meminit_halden_id30 (0x30, 0x31): 97870 kHz at clock_index 3.
// clang-format off
constexpr HaldenCaseSettings cases_id30[] = {
    {.clock = 3, .khz = 97870, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 7},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21, .field_890 = 0xc0,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_8), .final_cycles = 6},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_8), .final_cycles = 11},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_8), .final_cycles = 13},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 6},
};
// clang-format on
// meminit_halden_id24 (0x24): the row for any other value runs at 148500 kHz.
// clang-format off
constexpr HaldenCaseSettings cases_id24[] = {
    {.clock = 2, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 6},
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 7},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21, .field_890 = 0xc0,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_8), .final_cycles = 6},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_8), .final_cycles = 11},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_8), .final_cycles = 13},
    {.any_other = true, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
};
// clang-format on
// meminit_halden_id36 (0x36): reduced drive strength in every row; rows 3, 5 and 7 end the power-up
// list with the closing command; row 9 reports 148500 kHz on clock set 121b.
// clang-format off
constexpr HaldenCaseSettings cases_id36[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .extended_mode = reduced_drive, .dll_reset_cycles = 2,
     .mode = mode_register(cas_2, burst_4), .final_cycles = 7, .closing_in_list = true},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .extended_mode = reduced_drive, .dll_reset_cycles = 2,
     .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .extended_mode = reduced_drive, .dll_reset_cycles = 2,
     .mode = mode_register(cas_3, burst_4), .final_cycles = 13, .closing_in_list = true},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .extended_mode = reduced_drive, .dll_reset_cycles = 2,
     .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21, .field_890 = 0xc0,
     .emrs_cycles = 2, .extended_mode = reduced_drive, .dll_reset_cycles = 2,
     .mode = mode_register(cas_2, burst_8), .final_cycles = 6, .closing_in_list = true},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .extended_mode = reduced_drive, .dll_reset_cycles = 2,
     .mode = mode_register(cas_2_5, burst_8), .final_cycles = 11},
    {.clock = 9, .khz = 148500, .clocks = &set_121b, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .extended_mode = reduced_drive, .dll_reset_cycles = 2,
     .mode = mode_register(cas_2_5, burst_8), .final_cycles = 11},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 3, .extended_mode = reduced_drive, .dll_reset_cycles = 2,
     .mode = mode_register(cas_3, burst_8), .final_cycles = 13},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .extended_mode = reduced_drive, .dll_reset_cycles = 2,
     .mode = mode_register(cas_2, burst_4), .final_cycles = 6},
};
// clang-format on
// meminit_halden_id39 (0x39): rows 7, 8 and 11 halve the size but stay full width.
// clang-format off
constexpr HaldenCaseSettings cases_id39[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0625, .drc_818 = 0x1122208, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 8},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870937, .drc_818 = 0x113230b, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590b38, .drc_818 = 0x113230d, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 13},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590b38, .drc_818 = 0x113230d, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 13},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::full_size_halved,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930624, .drc_818 = 0x1122207, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 7},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::full_size_halved,
     .drc_810 = 0x26a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x113230c, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::full_size_halved,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590b38, .drc_818 = 0x113230d, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 13},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930624, .drc_818 = 0x1122207, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 7},
};
// clang-format on
// meminit_halden_id32 (0x32, 0x34).
// clang-format off
constexpr HaldenCaseSettings cases_id32[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 7},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21, .field_890 = 0xc0,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 6},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 6},
};
// clang-format on
// meminit_halden_id33 (0x33, 0x35): 97870 kHz at clock_index 3.
// clang-format off
constexpr HaldenCaseSettings cases_id33[] = {
    {.clock = 3, .khz = 97870, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0625, .drc_818 = 0x1122208, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 8},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870937, .drc_818 = 0x113230b, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148c, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x113230c, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 12},
    {.clock = 6, .khz = 148500, .clocks = &set_148d, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x113230c, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 12},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930624, .drc_818 = 0x1122207, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 7},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x113230c, .drc_81c = 0x21, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 12},
    {.clock = 11, .khz = 148500, .clocks = &set_148d, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x113230c, .drc_81c = 0x21, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 12},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930624, .drc_818 = 0x1122207, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 7},
};
// clang-format on
// meminit_halden_id12 (0x12).
// clang-format off
constexpr HaldenCaseSettings cases_id12[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0625, .drc_818 = 0x2122208, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 8},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870937, .drc_818 = 0x213230b, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148c, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.clock = 6, .khz = 148500, .clocks = &set_148d, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930624, .drc_818 = 0x2122207, .drc_81c = 0x21, .field_890 = 0xc0,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 7},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x213230c, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.clock = 11, .khz = 148500, .clocks = &set_148d, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121, .field_890 = 0xc0,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 12},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930624, .drc_818 = 0x2122207, .drc_81c = 0x21, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_2, burst_4), .final_cycles = 7},
};
// clang-format on
// meminit_halden_K4H511638C_UCCC (0x1e): one DLL-reset cycle in rows 3, 7 and any other.
// clang-format off
constexpr HaldenCaseSettings cases_K4H511638C_UCCC[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0a36, .drc_814 = 0x2fc0624, .drc_818 = 0x1221207, .drc_81c = 0x121, .field_890 = 0x00,
     .emrs_cycles = 2, .dll_reset_cycles = 1, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 7},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0a36, .drc_814 = 0x4870936, .drc_818 = 0x123230b, .drc_81c = 0x121, .field_890 = 0x00,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0a36, .drc_814 = 0x5590a38, .drc_818 = 0x123230d, .drc_81c = 0x31, .field_890 = 0x00,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 6, .khz = 148500, .clocks = &set_148e, .width = Width::full,
     .drc_810 = 0x26a0a36, .drc_814 = 0x5590a38, .drc_818 = 0x123230d, .drc_81c = 0x31, .field_890 = 0x00,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0a36, .drc_814 = 0x2930524, .drc_818 = 0x1221206, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 2, .dll_reset_cycles = 1, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 6},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0a36, .drc_814 = 0x4bb0937, .drc_818 = 0x123230b, .drc_81c = 0x121, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 11},
    {.clock = 9, .clock_to = 11, .khz = 148500, .clocks = &set_148e, .width = Width::half,
     .drc_810 = 0x126a0a36, .drc_814 = 0x5590a38, .drc_818 = 0x123230d, .drc_81c = 0x31, .field_890 = 0x80,
     .emrs_cycles = 3, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 13},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0a36, .drc_814 = 0x2930524, .drc_818 = 0x1221206, .drc_81c = 0x121, .field_890 = 0x00,
     .emrs_cycles = 2, .dll_reset_cycles = 1, .mode = mode_register(cas_2_5, burst_4), .final_cycles = 6},
};
// clang-format on
// Traits: first 0x058 value, 0x0c0 value, reset pulse, power modes, the
// clock_index 1 tail, reserved clock values and trace messages, where a
// routine differs from HaldenTraits' defaults.
// clang-format off
constexpr HaldenTraits traits_K4H561638F_TCCC = {
    .cases = cases_K4H561638F_TCCC, .sys_058_follows_mode = true, .clock_one_tail = ClockOneTail::full_modes,
    .reserved_clocks = true, .entering = "entering meminit_halden_K4H561638F_TCCC\n",
    .leaving = "leaving meminit_halden_K4H561638F_TCCC\n"};
constexpr HaldenTraits traits_id28 = {.cases = cases_id28, .sys_058_follows_mode = true, .sys_0c0 = 0x23333};
constexpr HaldenTraits traits_id3b = {.cases = cases_id3b, .sys_058_follows_mode = true, .clock_one_tail = ClockOneTail::every_mode};
constexpr HaldenTraits traits_id1f = {.cases = cases_id1f, .sys_0c0 = 0x2222};
constexpr HaldenTraits traits_id2a = {.cases = cases_id2a, .sys_058_follows_mode = true, .sys_0c0 = 0x2222};
constexpr HaldenTraits traits_id38 = {.cases = cases_id38, .sys_0c0 = 0x2222};
constexpr HaldenTraits traits_id30 = {.cases = cases_id30, .sys_058_follows_mode = true, .clock_one_tail = ClockOneTail::full_modes};
constexpr HaldenTraits traits_id24 = {.cases = cases_id24};
constexpr HaldenTraits traits_id36 = {.cases = cases_id36, .sys_0c0 = 0x2222};
constexpr HaldenTraits traits_id39 = {.cases = cases_id39, .sys_0c0 = 0x2222};
constexpr HaldenTraits traits_id32 = {.cases = cases_id32, .sys_058_follows_mode = true, .clock_one_tail = ClockOneTail::full_modes};
constexpr HaldenTraits traits_id33 = {.cases = cases_id33, .sys_058_follows_mode = true, .clock_one_tail = ClockOneTail::full_modes};
constexpr HaldenTraits traits_id12 = {.cases = cases_id12, .reset_pulse = false};
constexpr HaldenTraits traits_K4H511638C_UCCC = {
    .cases = cases_K4H511638C_UCCC, .sys_0c0 = 0x2222, .reset_pulse = false, .power_mode_honoured = false,
    .entering = "entering meminit_halden_K4H511638C_UCCC\n"};
// clang-format on

}  // namespace
}  // namespace halden

// The routines of the first ConfigTable: each runs the family sequence with its traits.
#define TOV_ENTRY_halden(name, traits) \
    int32_t name(MemInitParams* p) { return halden::run(p, halden::traits); }
#include "meminit/entry/routine_entries.inc"

}  // namespace tov
