// Every form of every second-family routine, value by value: the clock and
// size reported, the clock set-up, the controller words, the power-up command
// words, the finish values and the pulse clear, each read off the bus trace
// of one bring-up on a chip that reads 0 everywhere.
#include <cstdio>

#include "tests/harness.h"

namespace tov::test {
namespace {

struct FormRow {
    uint32_t id;         // configuration ID used to reach the form
    uint32_t clock;      // clock_index passed by the caller
    uint32_t khz;        // mem_clock_khz
    uint32_t size;       // mem_size_out for the ID's table row
    uint32_t hold;       // first 0x000 word
    uint32_t release;    // bits of 0x000 cleared before the lanes
    uint32_t first_058;  // for the ID's mode_flag
    uint32_t w070;
    uint32_t gen[3];  // bits 8-13 of 0x010, 0x018, 0x030
    bool released[3];
    uint32_t d;  // ticks of every delay
    uint32_t w050, w060, early_068;
    uint32_t w810, w814, w818, w81c;
    uint32_t w808, w80c;  // 0: neither written
    uint32_t n, a, mr, r;
    uint32_t w840;  // 0x840 and 0x844
    bool final_068;
    bool fresh;  // pulse clear in a fresh read of 0x810
};

// clang-format off
const FormRow form_rows[] = {
    // meminit_orlit_K4H561638F_TCCC form A
    {.id = 0x1000001, .clock = 0, .khz = 162000, .size = 0x4000000,
     .hold = 0xfffffdff, .release = 0x210, .first_058 = 0x3000000, .w070 = 0x1000000, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0937, .w818 = 0x223230b, .w81c = 0x31, .w808 = 0x0, .w80c = 0x0,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0x88888888, .final_068 = true, .fresh = true},
    // meminit_orlit_K4H561638F_TCCC form A (clock 2: half if bus)
    {.id = 0x1000001, .clock = 2, .khz = 162000, .size = 0x2000000,
     .hold = 0xfffffdff, .release = 0x210, .first_058 = 0x3000000, .w070 = 0x1000000, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0937, .w818 = 0x223230b, .w81c = 0x31, .w808 = 0x0, .w80c = 0x0,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0x88888888, .final_068 = true, .fresh = true},
    // meminit_orlit_K4H561638F_TCCC form B
    {.id = 0x1000001, .clock = 8, .khz = 162000, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x3000000, .w070 = 0x1000000, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x0,
     .w810 = 0x126a0936, .w814 = 0x4bb0937, .w818 = 0x223230b, .w81c = 0x31, .w808 = 0x0, .w80c = 0x0,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0x88888888, .final_068 = true, .fresh = false},
    // meminit_orlit_K4H561638F_TCCC form B (clock 11: half or quarter)
    {.id = 0x1000001, .clock = 11, .khz = 162000, .size = 0x1000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x3000000, .w070 = 0x1000000, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x0,
     .w810 = 0x126a0936, .w814 = 0x4bb0937, .w818 = 0x223230b, .w81c = 0x31, .w808 = 0x0, .w80c = 0x0,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0x88888888, .final_068 = true, .fresh = false},
    // meminit_orlit_K4H561638F_TCCC form B12
    {.id = 0x1000001, .clock = 12, .khz = 162000, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x3000000, .w070 = 0x1000000, .gen = {0x17, 0x17, 0x17}, .released = {true, false, false}, .d = 1, .w050 = 0xdd0fd4, .w060 = 0x0, .early_068 = 0x0,
     .w810 = 0x126a0936, .w814 = 0x4bb0937, .w818 = 0x223230b, .w81c = 0x31, .w808 = 0x0, .w80c = 0x0,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0x88888888, .final_068 = true, .fresh = false},
    // meminit_orlit_K4H561638F_UCCC form A
    {.id = 0x1000000, .clock = 0, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0937, .w818 = 0x223230b, .w81c = 0x31, .w808 = 0xb0c00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_K4H561638F_UCCC form B
    {.id = 0x1000000, .clock = 9, .khz = 135000, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x3000000, .w070 = 0x1000000, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0a37, .w818 = 0x223230c, .w81c = 0x121, .w808 = 0x0, .w80c = 0x0,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = false, .fresh = false},
    // meminit_orlit_id27 form A (clock 0 remapped to 5)
    {.id = 0x1000027, .clock = 0, .khz = 162000, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003a8, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 3, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0a37, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xc0c00c8, .w80c = 0x1d10136,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = false, .fresh = true},
    // meminit_orlit_id27 form B
    {.id = 0x1000027, .clock = 8, .khz = 162000, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003a8, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 3, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0a37, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xc0c00c8, .w80c = 0x1d10136,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = false, .fresh = true},
    // meminit_orlit_id27 form X
    {.id = 0x1000027, .clock = 12, .khz = 162000, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003a8, .gen = {0x17, 0x17, 0x17}, .released = {true, false, false}, .d = 3, .w050 = 0xdd0fd4, .w060 = 0x40, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0a37, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xc0c00c8, .w80c = 0x1d10136,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = false, .fresh = true},
    // meminit_orlit_id30 form A
    {.id = 0x1000030, .clock = 4, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x3000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0a37, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xc0c00c8, .w80c = 0x1d20137,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id30 form B
    {.id = 0x1000030, .clock = 9, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x3000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0a37, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xc0c00c8, .w80c = 0x1d20137,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id33 form A
    {.id = 0x1000033, .clock = 4, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0a37, .w818 = 0x113230c, .w81c = 0x121, .w808 = 0xc0c00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id33 form B
    {.id = 0x1000033, .clock = 9, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0a37, .w818 = 0x113230c, .w81c = 0x121, .w808 = 0xc0c00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id47 form A
    {.id = 0x1000047, .clock = 4, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0932, .w814 = 0x4bb0d48, .w818 = 0x424240e, .w81c = 0x31, .w808 = 0xec800c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 4, .mr = 0x32, .r = 0xe, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id47 form B
    {.id = 0x1000047, .clock = 9, .khz = 155250, .size = 0x1000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0932, .w814 = 0x4bb0d48, .w818 = 0x424240e, .w81c = 0x31, .w808 = 0xec800c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 4, .mr = 0x32, .r = 0xe, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id50 form A
    {.id = 0x1000050, .clock = 9, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0a37, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xc0c00c8, .w80c = 0x1d20137,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id51 form A
    {.id = 0x1000051, .clock = 4, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0a37, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xcc800c8, .w80c = 0x1d20137,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = false, .fresh = true},
    // meminit_orlit_id51 form B
    {.id = 0x1000051, .clock = 9, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0a37, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xcc800c8, .w80c = 0x1d20137,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = false, .fresh = true},
    // meminit_orlit_id54 form A
    {.id = 0x1000054, .clock = 3, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0937, .w818 = 0x123230b, .w81c = 0x31, .w808 = 0xb4b00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0x88888888, .final_068 = false, .fresh = true},
    // meminit_orlit_id54 form B
    {.id = 0x1000054, .clock = 11, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0937, .w818 = 0x123230b, .w81c = 0x31, .w808 = 0xb4b00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id54 form B12
    {.id = 0x1000054, .clock = 12, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, false, false}, .d = 1, .w050 = 0xdd0fd4, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0937, .w818 = 0x123230b, .w81c = 0x31, .w808 = 0xb4b00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id55 form A
    {.id = 0x1000055, .clock = 8, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0a37, .w818 = 0x123230c, .w81c = 0x31, .w808 = 0xc4b00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id60 form A
    {.id = 0x1000060, .clock = 4, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x3000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0937, .w818 = 0x223230b, .w81c = 0x121, .w808 = 0xb0b00c8, .w80c = 0x1d20137,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xb, .w840 = 0x88888888, .final_068 = true, .fresh = true},
    // meminit_orlit_id60 form B
    {.id = 0x1000060, .clock = 9, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x3000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0937, .w818 = 0x223230b, .w81c = 0x121, .w808 = 0xb0b00c8, .w80c = 0x1d20137,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xb, .w840 = 0x88888888, .final_068 = true, .fresh = true},
    // meminit_orlit_id61 form A
    {.id = 0x1000062, .clock = 4, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x1000000, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0932, .w814 = 0x9760a37, .w818 = 0x223230c, .w81c = 0x121, .w808 = 0x0, .w80c = 0x0,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = true, .fresh = true},
    // meminit_orlit_id61 form B
    {.id = 0x1000062, .clock = 9, .khz = 155250, .size = 0x1000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x1000000, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0932, .w814 = 0x9760a37, .w818 = 0x223230c, .w81c = 0x121, .w808 = 0x0, .w80c = 0x0,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = true, .fresh = true},
    // meminit_orlit_id63 form A
    {.id = 0x1000063, .clock = 4, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0a37, .w818 = 0x223230c, .w81c = 0x121, .w808 = 0xc2000c8, .w80c = 0x1d20137,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = true, .fresh = true},
    // meminit_orlit_id63 form B
    {.id = 0x1000063, .clock = 8, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0a37, .w818 = 0x223230c, .w81c = 0x121, .w808 = 0xc2000c8, .w80c = 0x1d20137,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = true, .fresh = true},
    // meminit_orlit_id63 form A135
    {.id = 0x1000063, .clock = 5, .khz = 135500, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x14, 0x14, 0x14}, .released = {true, true, true}, .d = 1, .w050 = 0x9d0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x41e0936, .w818 = 0x223230a, .w81c = 0x121, .w808 = 0xa1c00c8, .w80c = 0x1960088,
     .n = 0x6979, .a = 3, .mr = 0x62, .r = 0xa, .w840 = 0xffffffff, .final_068 = true, .fresh = true},
    // meminit_orlit_id63 form B135
    {.id = 0x1000063, .clock = 10, .khz = 135500, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x14, 0x14, 0x14}, .released = {true, true, true}, .d = 1, .w050 = 0x9d0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x41e0936, .w818 = 0x223230a, .w81c = 0x121, .w808 = 0xa1c00c8, .w80c = 0x1960088,
     .n = 0x6979, .a = 3, .mr = 0x62, .r = 0xa, .w840 = 0xffffffff, .final_068 = true, .fresh = true},
    // meminit_orlit_id7d form A
    {.id = 0x100007f, .clock = 0, .khz = 135000, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x3000000, .w070 = 0x10002ee, .gen = {0x14, 0x16, 0x1e}, .released = {true, true, false}, .d = 1, .w050 = 0x5d0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x41e0936, .w818 = 0x223230a, .w81c = 0x121, .w808 = 0x0, .w80c = 0x0,
     .n = 0x6979, .a = 3, .mr = 0x62, .r = 0xa, .w840 = 0x88888888, .final_068 = true, .fresh = false},
    // meminit_orlit_id7d form B
    {.id = 0x100007f, .clock = 9, .khz = 135000, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x3000000, .w070 = 0x1000000, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0a37, .w818 = 0x223230c, .w81c = 0x121, .w808 = 0x0, .w80c = 0x0,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0x88888888, .final_068 = true, .fresh = false},
    // meminit_orlit_id18 form B
    {.id = 0x1000018, .clock = 12, .khz = 155250, .size = 0x1000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0932, .w814 = 0x9760b47, .w818 = 0x113240c, .w81c = 0x21, .w808 = 0xc0c00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 4, .mr = 0x22, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id19 form A
    {.id = 0x1000019, .clock = 4, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0932, .w814 = 0x9760a37, .w818 = 0x113230c, .w81c = 0x121, .w808 = 0xc0d00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id19 form B
    {.id = 0x1000019, .clock = 9, .khz = 155250, .size = 0x1000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0932, .w814 = 0x9760a37, .w818 = 0x113230c, .w81c = 0x121, .w808 = 0xc0d00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id1e form A
    {.id = 0x100001f, .clock = 4, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0a37, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xc0c00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id1e form B
    {.id = 0x100001f, .clock = 9, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0a37, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xc0c00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id49 form A
    {.id = 0x1000049, .clock = 4, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0932, .w814 = 0x9760a47, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xc4b00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id49 form B
    {.id = 0x1000049, .clock = 9, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0932, .w814 = 0x9760a47, .w818 = 0x213230c, .w81c = 0x121, .w808 = 0xc4b00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x62, .r = 0xc, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id73 form B
    {.id = 0x1000073, .clock = 12, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0937, .w818 = 0x123230b, .w81c = 0x31, .w808 = 0xb0c00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id2a form A
    {.id = 0x100002b, .clock = 4, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0937, .w818 = 0x223230b, .w81c = 0x31, .w808 = 0xb0c00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id2a form B
    {.id = 0x100002b, .clock = 9, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0937, .w818 = 0x223230b, .w81c = 0x31, .w808 = 0xb0c00c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 3, .mr = 0x32, .r = 0xb, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id1d form A
    {.id = 0x1000043, .clock = 4, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0a47, .w818 = 0x244240b, .w81c = 0x31, .w808 = 0xac800c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 4, .mr = 0x32, .r = 0xb, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_id1d form B
    {.id = 0x1000043, .clock = 9, .khz = 155250, .size = 0x2000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x126a0936, .w814 = 0x4bb0a47, .w818 = 0x244240b, .w81c = 0x31, .w808 = 0xac800c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 4, .mr = 0x32, .r = 0xb, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
    // meminit_orlit_Common_NT5DS16M16CS_5T_K4D551638F_LC50 form A
    {.id = 0x1000076, .clock = 12, .khz = 155250, .size = 0x4000000,
     .hold = 0xffffffff, .release = 0x10, .first_058 = 0x1000000, .w070 = 0x10003fc, .gen = {0x17, 0x17, 0x17}, .released = {true, true, true}, .d = 1, .w050 = 0x9b0fd0, .w060 = 0x0, .early_068 = 0x478,
     .w810 = 0x26a0936, .w814 = 0x4bb0d47, .w818 = 0x743440b, .w81c = 0x31, .w808 = 0xbc800c8, .w80c = 0x1d2009c,
     .n = 0x794b, .a = 4, .mr = 0x32, .r = 0xb, .w840 = 0xffffffff, .final_068 = false, .fresh = true},
};
// clang-format on

std::vector<uint32_t> v(std::initializer_list<uint32_t> l) { return l; }

}  // namespace

TEST(OrlitRows, EveryFormValueByValue) {
    for (const FormRow& f : form_rows) {
        SCOPED_TRACE(testing::Message() << std::hex << "id " << f.id << " clock " << f.clock);
        const RunResult res = run(f.id, f.clock);
        ASSERT_EQ(res.ret, 1);
        EXPECT_EQ(res.record.mem_clock_khz, f.khz);
        EXPECT_EQ(res.record.mem_size_out, f.size);

        // Clock set-up.
        EXPECT_EQ(stores_to(res, 0x000), v({f.hold, f.hold & ~f.release}));
        EXPECT_EQ(stores_to(res, 0x058), v({f.first_058, f.first_058 | 0x26f}));
        EXPECT_EQ(stores_to(res, 0x070), v({f.w070}));
        const uint32_t gens[3] = {0x010, 0x018, 0x030};
        for (int i = 0; i < 3; ++i) {
            const uint32_t held = 0xc00000 | f.gen[i] << 8;
            EXPECT_EQ(stores_to(res, gens[i]),
                      f.released[i] ? v({0xc00000, held, held & ~0x800000u, f.gen[i] << 8}) : v({0xc00000, held}))
                << "generator " << gens[i];
        }
        EXPECT_EQ(stores_to(res, 0x050), v({f.w050}));
        EXPECT_EQ(stores_to(res, 0x060), v({f.w060}));
        EXPECT_EQ(stores_to(res, 0x068), f.final_068 ? v({f.early_068, 0x478}) : v({f.early_068}));

        // Controller words, 0x808/0x80c right after 0x81c where the form has them.
        const auto s = stores(res);
        size_t at = 0;
        while (at < s.size() && s[at].off != 0x810) ++at;
        ASSERT_LT(at + 4, s.size());
        std::vector<Store> words(s.begin() + at, s.begin() + at + (f.w808 ? 6 : 4));
        std::vector<Store> want = {{0x810, f.w810}, {0x814, f.w814}, {0x818, f.w818}, {0x81c, f.w81c}};
        if (f.w808) want.insert(want.end(), {{0x808, f.w808}, {0x80c, f.w80c}});
        EXPECT_EQ(words, want);
        EXPECT_EQ(s[at + want.size()].off, 0x824u);  // then the first command
        if (!f.w808) EXPECT_TRUE(stores_to(res, 0x808).empty() && stores_to(res, 0x80c).empty());

        const std::vector<Command> cmds = {
            {0x11f1, f.n << 16}, {0x10a1, 0x1ffff}, {0x1081, f.a << 16},        {0x81, 0x20100 + f.mr}, {0xa1, 0x2ffff},
            {0x91, f.a << 16},   {0x91, f.r << 16}, {0x81, (f.r << 16) + f.mr}, {0x1f3, 0xc80000},
        };
        EXPECT_EQ(commands(res), cmds);

        // Finish.
        EXPECT_EQ(stores_to(res, 0x840), v({f.w840}));
        EXPECT_EQ(stores_to(res, 0x844), v({f.w840}));
        EXPECT_EQ(stores_to(res, 0x810), v({f.w810, f.w810 | 0x40000000, f.w810}));
        EXPECT_EQ(stable_reads(res, 0x810), f.fresh ? 2u : 1u);
        size_t delays = 0;
        for (const Event& e : res.events) {
            if (e.kind != EventKind::delay_ticks) continue;
            ++delays;
            EXPECT_EQ(e.val, f.d);
        }
        EXPECT_EQ(delays, 12u);
    }
}

}  // namespace tov::test
