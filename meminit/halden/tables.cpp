// Constant data of the first family: the shared clock sets, each routine's
// case table and traits, and the fourteen routines that pick them.
#include "meminit/entry/routines.h"
#include "meminit/halden/halden.h"

namespace tov {
namespace halden {
namespace {

// Clock sets, by label: generator fields 0x010..0x030, released generators,
// 0x050, bits 0-6 of 0x058, generators held again, clock-enable command word.
// The "h" sets belong to half-width cases: generators with field 0x1e are
// unused there, stay held and are not held again.
constexpr HaldenClockSet set_49a = {.field = {0x19, 0x16, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xff6ff61, .field_058 = 0x2f, .held_again = g020 | g028 | g030, .first_word = 0x41ec0000};
constexpr HaldenClockSet set_49b = {.field = {0x1d, 0x16, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xff6ff61, .field_058 = 0x2f, .held_again = g020 | g028 | g030, .first_word = 0x4c780000};
constexpr HaldenClockSet set_49h = {.field = {0x19, 0x16, 0x1e, 0x1e, 0x1e}, .released = g010 | g018,
                                     .sys_050 = 0xff6ff61, .field_058 = 0x2f, .held_again = no_gens, .first_word = 0x41ec0000};
constexpr HaldenClockSet set_98 = {.field = {0x1d, 0x17, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xf5dffd1, .field_058 = 0x6f, .held_again = g020 | g028 | g030, .first_word = 0x4c780000};
constexpr HaldenClockSet set_103 = {.field = {0x17, 0x1d, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfbbffb0, .field_058 = 0x6f, .held_again = g018 | g020 | g028 | g030, .first_word = 0x794b0000};
constexpr HaldenClockSet set_103h = {.field = {0x17, 0x1e, 0x1e, 0x1e, 0x1e}, .released = g010,
                                     .sys_050 = 0xfbbffb0, .field_058 = 0x6f, .held_again = no_gens, .first_word = 0x794b0000};
constexpr HaldenClockSet set_121 = {.field = {0x16, 0x1b, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfb4ff40, .field_058 = 0x6f, .held_again = g020 | g028 | g030, .first_word = 0x74050000};
constexpr HaldenClockSet set_121b = {.field = {0x17, 0x1b, 0x1d, 0x1d, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfb4ff40, .field_058 = 0x6f, .held_again = g020 | g028 | g030, .first_word = 0x794b0000};
constexpr HaldenClockSet set_148a = {.field = {0x1a, 0x16, 0x17, 0x1b, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfa7ff00, .field_058 = 0x6f, .held_again = g030, .first_word = 0x891d0000};
constexpr HaldenClockSet set_148b = {.field = {0x1a, 0x16, 0x17, 0x1b, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfa7af00, .field_058 = 0x7f, .held_again = g030, .first_word = 0x891d0000};
constexpr HaldenClockSet set_148c = {.field = {0x18, 0x16, 0x17, 0x1b, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfa7ff00, .field_058 = 0x6f, .held_again = g030, .first_word = 0x7e910000};
constexpr HaldenClockSet set_148d = {.field = {0x18, 0x16, 0x17, 0x1b, 0x1d}, .released = all_gens,
                                     .sys_050 = 0xfa7af00, .field_058 = 0x7f, .held_again = g030, .first_word = 0x7e910000};
constexpr HaldenClockSet set_148e = {.field = {0x1a, 0x16, 0x17, 0x1b, 0x18}, .released = all_gens,
                                     .sys_050 = 0xfa7a900, .field_058 = 0x7f, .held_again = no_gens, .first_word = 0x891d0000};
constexpr HaldenClockSet set_148h = {.field = {0x1a, 0x16, 0x17, 0x1b, 0x1e}, .released = g010 | g018 | g020 | g028,
                                     .sys_050 = 0xfa7af00, .field_058 = 0x7f, .held_again = no_gens, .first_word = 0x891d0000};

// Case tables: one row per clock_index (or range), the any_other row last.

// meminit_halden_K4H561638F_TCCC (IDs 0x0, 0x5, 0x10, 0x11, 0x1d and every unlisted ID).
// The half-width rows use the "h" clock sets. 0xffff0001..0xffff0003 never get here.
constexpr HaldenCaseSettings cases_K4H561638F_TCCC[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 7, .field_890 = 0x80},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0x80},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
    {.clock = 7, .khz = 49500, .clocks = &set_49h, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x2930624, .drc_818 = 0x1222206, .drc_81c = 0x121,
     .a = 2, .e = 0, .b = 2, .mr = 0x63, .r = 6, .field_890 = 0xc0},
    {.clock = 8, .khz = 103500, .clocks = &set_103h, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x123230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x63, .r = 11, .field_890 = 0xc0},
    {.clock = 9, .clock_to = 11, .khz = 148500, .clocks = &set_148h, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x5590b48, .drc_818 = 0x123240d, .drc_81c = 0x31,
     .a = 4, .e = 0, .b = 2, .mr = 0x33, .r = 13, .field_890 = 0xc0},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 6, .field_890 = 0x80},
};

// meminit_halden_id28 (0x28, 0x29).
constexpr HaldenCaseSettings cases_id28[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x2fc0c48, .drc_818 = 0x445340e, .drc_81c = 0x31,
     .a = 4, .e = 0, .b = 2, .mr = 0x32, .r = 14, .field_890 = 0xc0},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x4870c48, .drc_818 = 0x445340e, .drc_81c = 0x31,
     .a = 4, .e = 0, .b = 2, .mr = 0x32, .r = 14, .field_890 = 0xc0},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x5590c48, .drc_818 = 0x445340f, .drc_81c = 0x31,
     .a = 4, .e = 0, .b = 2, .mr = 0x32, .r = 15, .field_890 = 0xc0},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x5590c48, .drc_818 = 0x445340f, .drc_81c = 0x31,
     .a = 4, .e = 0, .b = 2, .mr = 0x32, .r = 15, .field_890 = 0xc0},
    {.clock = 7, .khz = 49500, .clocks = &set_49b, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x2fc0c48, .drc_818 = 0x445340e, .drc_81c = 0x31,
     .a = 4, .e = 0, .b = 2, .mr = 0x32, .r = 14, .field_890 = 0xe0},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x4bb0d48, .drc_818 = 0x445440e, .drc_81c = 0x31,
     .a = 4, .e = 0, .b = 2, .mr = 0x32, .r = 14, .field_890 = 0xe0},
    {.clock = 9, .clock_to = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x5590c48, .drc_818 = 0x445340f, .drc_81c = 0x31,
     .a = 4, .e = 0, .b = 2, .mr = 0x32, .r = 15, .field_890 = 0xe0},
    {.any_other = true, .khz = 49500, .clocks = &set_49b, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x2fc0c48, .drc_818 = 0x445340e, .drc_81c = 0x31,
     .a = 4, .e = 0, .b = 2, .mr = 0x32, .r = 14, .field_890 = 0xc0},
};

// meminit_halden_id3b (0x3b..0x3e): 97870 kHz at clock_index 3.
constexpr HaldenCaseSettings cases_id3b[] = {
    {.clock = 3, .khz = 97870, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0625, .drc_818 = 0x2122208, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 8, .field_890 = 0x80},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870937, .drc_818 = 0x213230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0x80},
    {.clock = 5, .khz = 148500, .clocks = &set_148c, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0x80},
    {.clock = 6, .khz = 148500, .clocks = &set_148d, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0x80},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930624, .drc_818 = 0x2122207, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 7, .field_890 = 0xc0},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x213230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0xc0},
    {.clock = 11, .khz = 148500, .clocks = &set_148d, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0xc0},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930624, .drc_818 = 0x2122207, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 7, .field_890 = 0x80},
};

// meminit_halden_id1f (0x1f): the row for any other value runs at 148500 kHz.
constexpr HaldenCaseSettings cases_id1f[] = {
    {.clock = 2, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x31,
     .a = 2, .e = 0, .b = 2, .mr = 0x32, .r = 6, .field_890 = 0x80},
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x31,
     .a = 2, .e = 0, .b = 2, .mr = 0x32, .r = 7, .field_890 = 0x80},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 11, .field_890 = 0x80},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x31,
     .a = 2, .e = 0, .b = 2, .mr = 0x32, .r = 6, .field_890 = 0xc0},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 11, .field_890 = 0xc0},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0xc0},
    {.any_other = true, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
};

// meminit_halden_id2a (0x2a..0x2d).
constexpr HaldenCaseSettings cases_id2a[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x2fc105b, .drc_818 = 0x4333514, .drc_81c = 0x31,
     .a = 5, .e = 0, .b = 2, .mr = 0x32, .r = 20, .field_890 = 0xc0},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x487105b, .drc_818 = 0x4333514, .drc_81c = 0x31,
     .a = 5, .e = 0, .b = 2, .mr = 0x32, .r = 20, .field_890 = 0xc0},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x559105b, .drc_818 = 0x4333514, .drc_81c = 0x31,
     .a = 5, .e = 0, .b = 2, .mr = 0x32, .r = 20, .field_890 = 0xc0},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x559105b, .drc_818 = 0x4333514, .drc_81c = 0x31,
     .a = 5, .e = 0, .b = 2, .mr = 0x32, .r = 20, .field_890 = 0xc0},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x293105b, .drc_818 = 0x4333514, .drc_81c = 0x31,
     .a = 5, .e = 0, .b = 2, .mr = 0x32, .r = 20, .field_890 = 0xe0},
    {.clock = 8, .clock_to = 10, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x4bb105b, .drc_818 = 0x4444514, .drc_81c = 0x31,
     .a = 5, .e = 0, .b = 2, .mr = 0x32, .r = 20, .field_890 = 0xe0},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x126a0932, .drc_814 = 0x559105b, .drc_818 = 0x4333514, .drc_81c = 0x31,
     .a = 5, .e = 0, .b = 2, .mr = 0x32, .r = 20, .field_890 = 0xe0},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0932, .drc_814 = 0x293105b, .drc_818 = 0x4333514, .drc_81c = 0x31,
     .a = 5, .e = 0, .b = 2, .mr = 0x32, .r = 20, .field_890 = 0xc0},
};

// meminit_halden_id38 (0x38): every other value is the half-width 49500 kHz row.
constexpr HaldenCaseSettings cases_id38[] = {
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x213230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0xc0},
    {.clock = 11, .khz = 148500, .clocks = &set_148d, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0xc0},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930624, .drc_818 = 0x2122207, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 7, .field_890 = 0xc0},
};

// meminit_halden_id30 (0x30, 0x31): 97870 kHz at clock_index 3.
constexpr HaldenCaseSettings cases_id30[] = {
    {.clock = 3, .khz = 97870, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 7, .field_890 = 0x80},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0x80},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x23, .r = 6, .field_890 = 0xc0},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x63, .r = 11, .field_890 = 0xc0},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x33, .r = 13, .field_890 = 0xc0},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 6, .field_890 = 0x80},
};

// meminit_halden_id24 (0x24): the row for any other value runs at 148500 kHz.
constexpr HaldenCaseSettings cases_id24[] = {
    {.clock = 2, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 6, .field_890 = 0x80},
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 7, .field_890 = 0x80},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0x80},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x23, .r = 6, .field_890 = 0xc0},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x63, .r = 11, .field_890 = 0xc0},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x33, .r = 13, .field_890 = 0xc0},
    {.any_other = true, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
};

// meminit_halden_id36 (0x36): E = 2 in every row; rows 3, 5 and 7 end the power-up
// list with the closing command; row 9 reports 148500 kHz on clock set 121b.
constexpr HaldenCaseSettings cases_id36[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x21,
     .a = 2, .e = 2, .b = 2, .mr = 0x22, .r = 7, .field_890 = 0x80, .ninth = true},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x121,
     .a = 3, .e = 2, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0x80},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 2, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80, .ninth = true},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 2, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21,
     .a = 2, .e = 2, .b = 2, .mr = 0x23, .r = 6, .field_890 = 0xc0, .ninth = true},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x121,
     .a = 3, .e = 2, .b = 2, .mr = 0x63, .r = 11, .field_890 = 0xc0},
    {.clock = 9, .khz = 148500, .clocks = &set_121b, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x121,
     .a = 3, .e = 2, .b = 2, .mr = 0x63, .r = 11, .field_890 = 0xc0},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x136a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 2, .b = 2, .mr = 0x33, .r = 13, .field_890 = 0xc0},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21,
     .a = 2, .e = 2, .b = 2, .mr = 0x22, .r = 6, .field_890 = 0x80},
};

// meminit_halden_id39 (0x39): rows 7, 8 and 11 halve the size but stay full width.
constexpr HaldenCaseSettings cases_id39[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0625, .drc_818 = 0x1122208, .drc_81c = 0x121,
     .a = 2, .e = 0, .b = 2, .mr = 0x62, .r = 8, .field_890 = 0x80},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870937, .drc_818 = 0x113230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0x80},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590b38, .drc_818 = 0x113230d, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 13, .field_890 = 0x80},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590b38, .drc_818 = 0x113230d, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 13, .field_890 = 0x80},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::full_size_halved,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930624, .drc_818 = 0x1122207, .drc_81c = 0x121,
     .a = 2, .e = 0, .b = 2, .mr = 0x62, .r = 7, .field_890 = 0x80},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::full_size_halved,
     .drc_810 = 0x26a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x113230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0x80},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::full_size_halved,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590b38, .drc_818 = 0x113230d, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 13, .field_890 = 0x80},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930624, .drc_818 = 0x1122207, .drc_81c = 0x121,
     .a = 2, .e = 0, .b = 2, .mr = 0x62, .r = 7, .field_890 = 0x80},
};

// meminit_halden_id32 (0x32, 0x34).
constexpr HaldenCaseSettings cases_id32[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x2222207, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 7, .field_890 = 0x80},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870936, .drc_818 = 0x223230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0x80},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
    {.clock = 6, .khz = 148500, .clocks = &set_148b, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 6, .field_890 = 0xc0},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0937, .drc_818 = 0x223230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0xc0},
    {.clock = 11, .khz = 148500, .clocks = &set_148b, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x5590a38, .drc_818 = 0x223230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0xc0},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930524, .drc_818 = 0x2222206, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 6, .field_890 = 0x80},
};

// meminit_halden_id33 (0x33, 0x35): 97870 kHz at clock_index 3.
constexpr HaldenCaseSettings cases_id33[] = {
    {.clock = 3, .khz = 97870, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0625, .drc_818 = 0x1122208, .drc_81c = 0x121,
     .a = 2, .e = 0, .b = 2, .mr = 0x62, .r = 8, .field_890 = 0x80},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870937, .drc_818 = 0x113230b, .drc_81c = 0x21,
     .a = 3, .e = 0, .b = 2, .mr = 0x22, .r = 11, .field_890 = 0x80},
    {.clock = 5, .khz = 148500, .clocks = &set_148c, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x113230c, .drc_81c = 0x21,
     .a = 3, .e = 0, .b = 2, .mr = 0x22, .r = 12, .field_890 = 0x80},
    {.clock = 6, .khz = 148500, .clocks = &set_148d, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x113230c, .drc_81c = 0x21,
     .a = 3, .e = 0, .b = 2, .mr = 0x22, .r = 12, .field_890 = 0x80},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930624, .drc_818 = 0x1122207, .drc_81c = 0x121,
     .a = 2, .e = 0, .b = 2, .mr = 0x62, .r = 7, .field_890 = 0xc0},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x113230c, .drc_81c = 0x21,
     .a = 3, .e = 0, .b = 2, .mr = 0x22, .r = 12, .field_890 = 0xc0},
    {.clock = 11, .khz = 148500, .clocks = &set_148d, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x113230c, .drc_81c = 0x21,
     .a = 3, .e = 0, .b = 2, .mr = 0x22, .r = 12, .field_890 = 0xc0},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930624, .drc_818 = 0x1122207, .drc_81c = 0x121,
     .a = 2, .e = 0, .b = 2, .mr = 0x62, .r = 7, .field_890 = 0x80},
};

// meminit_halden_id12 (0x12).
constexpr HaldenCaseSettings cases_id12[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2fc0625, .drc_818 = 0x2122208, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 8, .field_890 = 0x80},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4870937, .drc_818 = 0x213230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0x80},
    {.clock = 5, .khz = 148500, .clocks = &set_148c, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0x80},
    {.clock = 6, .khz = 148500, .clocks = &set_148d, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0x80},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x2930624, .drc_818 = 0x2122207, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 7, .field_890 = 0xc0},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4bb0a37, .drc_818 = 0x213230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0xc0},
    {.clock = 11, .khz = 148500, .clocks = &set_148d, .width = Width::half,
     .drc_810 = 0x126a0936, .drc_814 = 0x4f00a37, .drc_818 = 0x213230c, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 12, .field_890 = 0xc0},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0936, .drc_814 = 0x2930624, .drc_818 = 0x2122207, .drc_81c = 0x21,
     .a = 2, .e = 0, .b = 2, .mr = 0x22, .r = 7, .field_890 = 0x80},
};

// meminit_halden_K4H511638C_UCCC (0x1e): B = 1 in rows 3, 7 and any other.
constexpr HaldenCaseSettings cases_K4H511638C_UCCC[] = {
    {.clock = 3, .khz = 97875, .clocks = &set_98, .width = Width::full,
     .drc_810 = 0x26a0a36, .drc_814 = 0x2fc0624, .drc_818 = 0x1221207, .drc_81c = 0x121,
     .a = 2, .e = 0, .b = 1, .mr = 0x62, .r = 7, .field_890 = 0x00},
    {.clock = 4, .khz = 121500, .clocks = &set_121, .width = Width::full,
     .drc_810 = 0x26a0a36, .drc_814 = 0x4870936, .drc_818 = 0x123230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0x00},
    {.clock = 5, .khz = 148500, .clocks = &set_148a, .width = Width::full,
     .drc_810 = 0x26a0a36, .drc_814 = 0x5590a38, .drc_818 = 0x123230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x00},
    {.clock = 6, .khz = 148500, .clocks = &set_148e, .width = Width::full,
     .drc_810 = 0x26a0a36, .drc_814 = 0x5590a38, .drc_818 = 0x123230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x00},
    {.clock = 7, .khz = 49500, .clocks = &set_49a, .width = Width::half,
     .drc_810 = 0x126a0a36, .drc_814 = 0x2930524, .drc_818 = 0x1221206, .drc_81c = 0x121,
     .a = 2, .e = 0, .b = 1, .mr = 0x62, .r = 6, .field_890 = 0x80},
    {.clock = 8, .khz = 103500, .clocks = &set_103, .width = Width::half,
     .drc_810 = 0x126a0a36, .drc_814 = 0x4bb0937, .drc_818 = 0x123230b, .drc_81c = 0x121,
     .a = 3, .e = 0, .b = 2, .mr = 0x62, .r = 11, .field_890 = 0x80},
    {.clock = 9, .clock_to = 11, .khz = 148500, .clocks = &set_148e, .width = Width::half,
     .drc_810 = 0x126a0a36, .drc_814 = 0x5590a38, .drc_818 = 0x123230d, .drc_81c = 0x31,
     .a = 3, .e = 0, .b = 2, .mr = 0x32, .r = 13, .field_890 = 0x80},
    {.any_other = true, .khz = 49500, .clocks = &set_49a, .width = Width::full,
     .drc_810 = 0x26a0a36, .drc_814 = 0x2930524, .drc_818 = 0x1221206, .drc_81c = 0x121,
     .a = 2, .e = 0, .b = 1, .mr = 0x62, .r = 6, .field_890 = 0x00},
};

// Traits: first 0x058 value, 0x0c0 value, reset pulse, power modes, the
// clock_index 1 tail, reserved clock values and trace messages.
constexpr uint32_t no_0c0 = 0;

constexpr HaldenTraits traits_K4H561638F_TCCC = {
    .cases = cases_K4H561638F_TCCC, .sys_058_follows_mode = true, .sys_0c0 = no_0c0, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::full_modes, .reserved_clocks = true,
    .entering = "entering meminit_halden_K4H561638F_TCCC\n", .leaving = "leaving meminit_halden_K4H561638F_TCCC\n",
};
constexpr HaldenTraits traits_id28 = {
    .cases = cases_id28, .sys_058_follows_mode = true, .sys_0c0 = 0x23333, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::none, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id3b = {
    .cases = cases_id3b, .sys_058_follows_mode = true, .sys_0c0 = no_0c0, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::every_mode, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id1f = {
    .cases = cases_id1f, .sys_058_follows_mode = false, .sys_0c0 = 0x2222, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::none, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id2a = {
    .cases = cases_id2a, .sys_058_follows_mode = true, .sys_0c0 = 0x2222, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::none, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id38 = {
    .cases = cases_id38, .sys_058_follows_mode = false, .sys_0c0 = 0x2222, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::none, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id30 = {
    .cases = cases_id30, .sys_058_follows_mode = true, .sys_0c0 = no_0c0, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::full_modes, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id24 = {
    .cases = cases_id24, .sys_058_follows_mode = false, .sys_0c0 = no_0c0, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::none, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id36 = {
    .cases = cases_id36, .sys_058_follows_mode = false, .sys_0c0 = 0x2222, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::none, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id39 = {
    .cases = cases_id39, .sys_058_follows_mode = false, .sys_0c0 = 0x2222, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::none, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id32 = {
    .cases = cases_id32, .sys_058_follows_mode = true, .sys_0c0 = no_0c0, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::full_modes, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id33 = {
    .cases = cases_id33, .sys_058_follows_mode = true, .sys_0c0 = no_0c0, .reset_pulse = true,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::full_modes, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_id12 = {
    .cases = cases_id12, .sys_058_follows_mode = false, .sys_0c0 = no_0c0, .reset_pulse = false,
    .power_mode_honoured = true, .clock_one_tail = ClockOneTail::none, .reserved_clocks = false,
    .entering = nullptr, .leaving = nullptr,
};
constexpr HaldenTraits traits_K4H511638C_UCCC = {
    .cases = cases_K4H511638C_UCCC, .sys_058_follows_mode = false, .sys_0c0 = 0x2222, .reset_pulse = false,
    .power_mode_honoured = false, .clock_one_tail = ClockOneTail::none, .reserved_clocks = false,
    .entering = "entering meminit_halden_K4H511638C_UCCC\n", .leaving = nullptr,
};

}  // namespace
}  // namespace halden

// The routines of the first ConfigTable: each runs the family sequence with its traits.
int32_t meminit_halden_K4H511638C_UCCC(MemInitParams* p) { return halden::run(p, halden::traits_K4H511638C_UCCC); }
int32_t meminit_halden_K4H561638F_TCCC(MemInitParams* p) { return halden::run(p, halden::traits_K4H561638F_TCCC); }
int32_t meminit_halden_id12(MemInitParams* p) { return halden::run(p, halden::traits_id12); }
int32_t meminit_halden_id1f(MemInitParams* p) { return halden::run(p, halden::traits_id1f); }
int32_t meminit_halden_id24(MemInitParams* p) { return halden::run(p, halden::traits_id24); }
int32_t meminit_halden_id28(MemInitParams* p) { return halden::run(p, halden::traits_id28); }
int32_t meminit_halden_id2a(MemInitParams* p) { return halden::run(p, halden::traits_id2a); }
int32_t meminit_halden_id30(MemInitParams* p) { return halden::run(p, halden::traits_id30); }
int32_t meminit_halden_id32(MemInitParams* p) { return halden::run(p, halden::traits_id32); }
int32_t meminit_halden_id33(MemInitParams* p) { return halden::run(p, halden::traits_id33); }
int32_t meminit_halden_id36(MemInitParams* p) { return halden::run(p, halden::traits_id36); }
int32_t meminit_halden_id38(MemInitParams* p) { return halden::run(p, halden::traits_id38); }
int32_t meminit_halden_id39(MemInitParams* p) { return halden::run(p, halden::traits_id39); }
int32_t meminit_halden_id3b(MemInitParams* p) { return halden::run(p, halden::traits_id3b); }

}  // namespace tov
