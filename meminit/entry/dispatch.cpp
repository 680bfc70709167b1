// SPDX-License-Identifier: Apache-2.0
// Configuration dispatch: family classification, table lookup, clock
// remapping, the second family's fixed clocks and the third family's map rule.
#include "meminit/entry/config_table.h"
#include "meminit/entry/routines.h"
#include "meminit/hw/access.h"
#include "meminit/hw/platform.h"

namespace tov {
namespace {

// clang-format off
const ConfigEntry halden_rows[] = {
    {.id = 0x0, .routine = meminit_halden_K4H561638F_TCCC, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x5, .routine = meminit_halden_K4H561638F_TCCC, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x10, .routine = meminit_halden_K4H561638F_TCCC, .clock_adjust = 1, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x11, .routine = meminit_halden_K4H561638F_TCCC, .clock_adjust = 1, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x12, .routine = meminit_halden_id12, .clock_adjust = 1, .size = 128 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x1d, .routine = meminit_halden_K4H561638F_TCCC, .clock_adjust = 1, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x1e, .routine = meminit_halden_K4H511638C_UCCC, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x1f, .routine = meminit_halden_id1f, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x24, .routine = meminit_halden_id24, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x28, .routine = meminit_halden_id28, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x29, .routine = meminit_halden_id28, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x2a, .routine = meminit_halden_id2a, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x2b, .routine = meminit_halden_id2a, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x2c, .routine = meminit_halden_id2a, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x2d, .routine = meminit_halden_id2a, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x30, .routine = meminit_halden_id30, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 1, .map = 1},
    {.id = 0x31, .routine = meminit_halden_id30, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x32, .routine = meminit_halden_id32, .clock_adjust = 1, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x33, .routine = meminit_halden_id33, .clock_adjust = 1, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x34, .routine = meminit_halden_id32, .clock_adjust = 1, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x35, .routine = meminit_halden_id33, .clock_adjust = 1, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x36, .routine = meminit_halden_id36, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x38, .routine = meminit_halden_id38, .clock_adjust = 1, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 1},
    {.id = 0x39, .routine = meminit_halden_id39, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x3b, .routine = meminit_halden_id3b, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x3c, .routine = meminit_halden_id3b, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x3d, .routine = meminit_halden_id3b, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 0, .map = 1},
    {.id = 0x3e, .routine = meminit_halden_id3b, .clock_adjust = 1, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 1},
};

const ConfigEntry orlit_rows[] = {
    {.id = 0x1000000, .routine = meminit_orlit_K4H561638F_UCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000001, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000002, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 2},
    {.id = 0x1000003, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 2},
    {.id = 0x1000004, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000005, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000006, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000007, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 2},
    {.id = 0x100000a, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x100000b, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x100000d, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000011, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000012, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000015, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000018, .routine = meminit_orlit_id18, .clock_adjust = 1, .size = 16 * MiB, .bus = 0, .mode = 1, .map = 2},
    {.id = 0x1000019, .routine = meminit_orlit_id19, .clock_adjust = 0, .size = 32 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x100001d, .routine = meminit_orlit_id1d, .clock_adjust = 1, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 2},
    {.id = 0x100001e, .routine = meminit_orlit_id1e, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 2},
    {.id = 0x100001f, .routine = meminit_orlit_id1e, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000026, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 2},
    {.id = 0x1000027, .routine = meminit_orlit_id27, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 2},
    {.id = 0x100002a, .routine = meminit_orlit_id2a, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x100002b, .routine = meminit_orlit_id2a, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000030, .routine = meminit_orlit_id30, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000031, .routine = meminit_orlit_id30, .clock_adjust = 1, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 2},
    {.id = 0x1000032, .routine = meminit_orlit_id30, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000033, .routine = meminit_orlit_id33, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000035, .routine = meminit_orlit_id1e, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000036, .routine = meminit_orlit_id33, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000037, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000041, .routine = meminit_orlit_id2a, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000042, .routine = meminit_orlit_K4H561638F_TCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000043, .routine = meminit_orlit_id1d, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000047, .routine = meminit_orlit_id47, .clock_adjust = 0, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000048, .routine = meminit_orlit_id30, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000049, .routine = meminit_orlit_id49, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x100004a, .routine = meminit_orlit_id33, .clock_adjust = 0, .size = 32 * MiB, .bus = 0, .mode = 0, .map = 2},
    {.id = 0x1000050, .routine = meminit_orlit_id50, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000051, .routine = meminit_orlit_id51, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000052, .routine = meminit_orlit_id50, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000053, .routine = meminit_orlit_id51, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000054, .routine = meminit_orlit_id54, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000055, .routine = meminit_orlit_id55, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000056, .routine = meminit_orlit_id54, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000057, .routine = meminit_orlit_id55, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000058, .routine = meminit_orlit_id50, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000059, .routine = meminit_orlit_id51, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x100005a, .routine = meminit_orlit_id54, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x100005b, .routine = meminit_orlit_id55, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000060, .routine = meminit_orlit_id60, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000061, .routine = meminit_orlit_id61, .clock_adjust = 1, .size = 16 * MiB, .bus = 0, .mode = 0, .map = 2},
    {.id = 0x1000062, .routine = meminit_orlit_id61, .clock_adjust = 0, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000063, .routine = meminit_orlit_id63, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x1000073, .routine = meminit_orlit_id73, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000074, .routine = meminit_orlit_id73, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x1000076, .routine = meminit_orlit_Common_NT5DS16M16CS_5T_K4D551638F_LC50, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
    {.id = 0x100007d, .routine = meminit_orlit_id7d, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x100007e, .routine = meminit_orlit_id7d, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 2},
    {.id = 0x100007f, .routine = meminit_orlit_id7d, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 2},
};

const ConfigEntry varnel_rows[] = {
    {.id = 0x3000000, .routine = meminit_varnel_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000001, .routine = meminit_varnel_K4D551638F_TC40_2, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000002, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000003, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000004, .routine = meminit_varnel_high_1down_K4H561638H, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000005, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000007, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000008, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 4},
    {.id = 0x3000010, .routine = meminit_varnel_low_EDD1216AATA, .clock_adjust = 0, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000011, .routine = meminit_varnel_high_EDD1216AATA, .clock_adjust = 0, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000012, .routine = meminit_varnel_high_1down_K4H561638H, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000013, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000014, .routine = meminit_varnel_high_1down_K4H561638H_UCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000015, .routine = meminit_varnel_high_1down_K4H561638H_UCCC, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000018, .routine = meminit_varnel_high_1down_HY5DU121622CTP_D43, .clock_adjust = 0, .size = 128 * MiB, .bus = 1, .mode = 1, .map = 4},
    {.id = 0x3000020, .routine = meminit_varnel_high_1down_MT46V16M16BG_5B, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000021, .routine = meminit_varnel_high_1down_MT46V16M16BG_5B, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000028, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000029, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x300002c, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x300002d, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x300002e, .routine = meminit_varnel_high_1down_K4D551638F_LC50, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x300002f, .routine = meminit_varnel_high_1down_K4D551638F_LC50, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000030, .routine = meminit_varnel_high_1down_K4H561638H_UCCC, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000031, .routine = meminit_varnel_high_1down_K4H561638H_UCCC, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000033, .routine = meminit_varnel_high_1down_K4H561638H_UCCC, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000035, .routine = meminit_varnel_high_1down_NT5DS16M16CS_5T, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000036, .routine = meminit_varnel_high_1down_HY5DU561622LF_D43, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000037, .routine = meminit_varnel_high_1down_NT5DS16M16CG_5T, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x300003c, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x300003d, .routine = meminit_varnel_high_1down_HY5DU121622CTP_D43, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x300003e, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x300003f, .routine = meminit_varnel_high_1down_HYB25D128160CE_5, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000040, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000041, .routine = meminit_varnel_high_1down_HY5DU561622CT_4, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000042, .routine = meminit_varnel_high_1down_W9425G6CH_5, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000043, .routine = meminit_varnel_high_1down_HY5DU561622CT_4, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 5},
    {.id = 0x3000044, .routine = meminit_varnel_high_1down_HY5DU561622CT_4, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 1, .map = 6},
    {.id = 0x3000045, .routine = meminit_varnel_high_1down_HY5DU281622ETP_5, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 1, .map = 6},
    {.id = 0x3000046, .routine = meminit_varnel_high_1down_HY5DU281622ETP_5, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 1, .map = 6},
    {.id = 0x3000047, .routine = meminit_varnel_high_1down_HY5DU281622ETP_5, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x3000048, .routine = meminit_varnel_high_1down_HY5DU281622ETP_5, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x3000049, .routine = meminit_varnel_high_1down_HY5DU281622ETP_5, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x300004a, .routine = meminit_varnel_high_1down_HY5DU561622CT_4, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 1, .map = 6},
    {.id = 0x300004b, .routine = meminit_varnel_high_1down_HY5DU561622CT_4, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x300004c, .routine = meminit_varnel_high_1down_HY5DU281622ETP_5, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x300004d, .routine = meminit_varnel_high_1down_V58C2128164SBI5_2, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 1, .map = 6},
    {.id = 0x300004e, .routine = meminit_varnel_high_1down_V58C2128164SBI5_2, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x3000050, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000051, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000052, .routine = meminit_varnel_high_1down_EDD1216AATA_5B, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x3000053, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000054, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000055, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000056, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x3000057, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000059, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x300005a, .routine = meminit_varnel_high_1down_HY5DU561622CT_4, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x300005b, .routine = meminit_varnel_high_1down_HY5DU561622CT_4, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000060, .routine = meminit_varnel_high_1down_EDD1216AATA_5B, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x3000061, .routine = meminit_varnel_high_1down_EDD1216AATA_5C, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x3000062, .routine = meminit_varnel_high_1down_EDD5116AFTA_5B, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000063, .routine = meminit_varnel_high_1down_V58C2128164SBI5, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x3000064, .routine = meminit_varnel_high_1down_K4H561638H_UCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000068, .routine = meminit_varnel_high_1down_HYB25D256160CE_5, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000069, .routine = meminit_varnel_high_1down_EDD2516AETA_5B, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x300006d, .routine = meminit_varnel_high_1down_HYB25DC256160CE_5, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 4},
    {.id = 0x300006e, .routine = meminit_varnel_high_1down_EM6AA160TS_5G, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 4},
    {.id = 0x300006f, .routine = meminit_varnel_high_1down_EM6AA160TS_5G, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000070, .routine = meminit_varnel_high_1down_EM6AA160TS_5G, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000079, .routine = meminit_varnel_high_1down_K4H561638H_UCCC, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x300007a, .routine = meminit_varnel_high_1down_K4H561638H_UCCC, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x300007b, .routine = meminit_varnel_high_1down_HYB25DC256160CE_5, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 5},
    {.id = 0x300007c, .routine = meminit_varnel_high_1down_HYB25DC256160CE_5, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 1, .map = 4},
    {.id = 0x3000080, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x300008f, .routine = meminit_varnel_high_1down_NT5DS8M16FS_5T, .clock_adjust = 0, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000090, .routine = meminit_varnel_high_1down_HY5DU561622ETP_4, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000096, .routine = meminit_varnel_common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_EDD2516AETA_5B, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x3000098, .routine = meminit_varnel_common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_EDD2516AETA_5B, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x3000099, .routine = meminit_varnel_high_1down_V58C2256164SCI5, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000a0, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000a1, .routine = meminit_varnel_high_1down_K4D551638F_LC50, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000b0, .routine = meminit_varnel_high_1down_EM6AA320BI_5MSG, .clock_adjust = 0, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x30000b8, .routine = meminit_varnel_common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_MT46V16M16P_5B, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000bd, .routine = meminit_varnel_EDD2516AETA_5B, .clock_adjust = 0, .size = 64 * MiB, .bus = 0, .mode = 0, .map = 4},
    {.id = 0x30000c0, .routine = meminit_varnel_high_1down_HY5DU561622ETP_4, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x30000c8, .routine = meminit_varnel_high_1down_HY5DU561622CT_5, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000c9, .routine = meminit_varnel_high_1down_HY5DU121622CTP_D43, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000d0, .routine = meminit_varnel_high_1down_K4D551638F_TC40, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000f0, .routine = meminit_varnel_high_1down_HY5DU561622CT_4, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x30000f1, .routine = meminit_varnel_high_1down_W9425G6CH_5, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x30000f2, .routine = meminit_varnel_high_1down_W9425G6CH_5, .clock_adjust = 1, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 5},
    {.id = 0x30000f3, .routine = meminit_varnel_high_1down_V58C2128164SBI5_2, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x30000f4, .routine = meminit_varnel_high_1down_NT5DS16M16CS_5T, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000f5, .routine = meminit_varnel_high_1down_ESMT_121, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x30000f6, .routine = meminit_varnel_high_1down_V58C2128164SBI5_2, .clock_adjust = 1, .size = 32 * MiB, .bus = 1, .mode = 0, .map = 6},
    {.id = 0x30000f8, .routine = meminit_varnel_high_1down_HY5DU561622ETP_4, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000f9, .routine = meminit_varnel_high_1down_HY5DU561622ETP_4, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000fa, .routine = meminit_varnel_high_1down_HY5DU561622ETP_4, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000fb, .routine = meminit_varnel_high_1down_HY5DU561622ETP_4, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000fc, .routine = meminit_varnel_high_1down_HY5DU561622ETP_4, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000fd, .routine = meminit_varnel_high_1down_HY5DU561622ETP_4, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000fe, .routine = meminit_varnel_high_1down_HY5DU561622ETP_4, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
    {.id = 0x30000ff, .routine = meminit_varnel_high_1down_HY5DU561622ETP_4, .clock_adjust = 0, .size = 64 * MiB, .bus = 1, .mode = 0, .map = 4},
};
// clang-format on
template <uint32_t N>
constexpr uint32_t count_of(const ConfigEntry (&)[N]) {
    return N;
}

// Caller clock_index 0..6 on rows with Adjust set: 0 -> 5, 1 and 2 -> 7, 3..6 -> 8..11.
constexpr uint32_t remap_clock(uint32_t clock_index) {
    if (clock_index >= 7) return clock_index;
    if (clock_index == 1) clock_index = 2;
    return clock_index + 5;
}

constexpr bool reserved_clocks_pass_through() {
    constexpr Family families[] = {Family::halden, Family::orlit, Family::varnel};
    for (Family f : families)
        for (uint32_t c : reserved_clocks(f))
            if (remap_clock(c) != c) return false;
    return true;
}
static_assert(reserved_clocks_pass_through(), "a remapping row must hand reserved clock values on unchanged");

}  // namespace

Family classify(uint32_t config_id) {
    const uint32_t f = config_id & family_bits_mask;
    if (f == halden_family_bits) return Family::halden;
    if (f == orlit_family_bits) return Family::orlit;
    if (f < varnel_family_bits_from) return Family::none;
    return Family::varnel;
}

const ConfigTable& family_table(Family f) {
    // Indexed by Family; a constant array, not a switch, so that the image
    // keeps no table with relocations in writable data.
    static constexpr ConfigTable tables[] = {
        {nullptr, 0, "none"},
        {halden_rows, count_of(halden_rows), "halden"},
        {orlit_rows, count_of(orlit_rows), "orlit"},
        {varnel_rows, count_of(varnel_rows), "varnel"},
    };
    const auto i = static_cast<uint32_t>(f);
    return i < 4 ? tables[i] : tables[0];
}

const ConfigEntry* lookup(const ConfigTable& t, uint32_t config_id, bool* matched) {
    for (uint32_t i = 0; i < t.count; ++i) {
        if (t.rows[i].id == config_id) {
            *matched = true;
            return &t.rows[i];
        }
    }
    *matched = false;
    return t.count ? &t.rows[0] : nullptr;
}

}  // namespace tov

namespace tov {
namespace {

// Inlined into the entry, so that the release image's entry is one function: the
// step notes of the diagnostic builds add no call to it.
[[gnu::always_inline]] inline int32_t dispatch(MemInitParams* p) {
    // A record without a register block cannot be served; refuse before
    // touching the record or any register.
    if (p == nullptr || p->reg_ctx == nullptr || p->reg_ctx->reg_base == 0) return 0;

    const Family family = classify(p->config_id);
    if (family == Family::none) return 0;

    const ConfigTable& table = family_table(family);
    bool matched = false;
    const ConfigEntry* row = lookup(table, p->config_id, &matched);

    if (matched && row->clock_adjust != 0) p->clock_index = remap_clock(p->clock_index);
    p->mem_size = row->size;
    p->bus_flag = row->bus;
    p->mode_flag = row->mode;
    p->map_value = row->map;
    if (matched) {
        // Boards that only run at one memory clock, whatever the caller asks.
        if (const FixedClock* fixed = fixed_clock_of(p->config_id)) p->clock_index = fixed->clock_index;
    }

    const int32_t result = row->routine(p);

    if (family == map_by_size_family) p->map_value = reported_map(family, p->map_value, p->mem_size_out);
    return result;
}

// The record as it enters and as it leaves, with the result: the call's
// first and last lines. Out of line, so that the note stays off the stack
// while the routine runs.
[[gnu::noinline, maybe_unused]] void note_record(platform::Step kind, const MemInitParams* p, int32_t result,
                                                 const RegContext* call) {
    if (p != nullptr) note_step(call, {.kind = kind, .record = p, .result = result});
}

// The routine's copy of the record goes back to the caller's record, each
// word stored only where the call changed it: the words the release image
// never stores stay untouched.
[[gnu::noinline, maybe_unused]] void give_back(MemInitParams* p, const MemInitParams& r) {
    const auto back = [](unsigned int& to, unsigned int from) {
        if (to != from) to = from;
    };
    back(p->config_id, r.config_id);
    back(p->clock_index, r.clock_index);
    back(p->mem_size, r.mem_size);
    back(p->bus_flag, r.bus_flag);
    back(p->mode_flag, r.mode_flag);
    for (int i = 0; i < 3; ++i) back(p->reserved_a[i], r.reserved_a[i]);
    back(p->power_mode, r.power_mode);
    for (int i = 0; i < 2; ++i) back(p->reserved_b[i], r.reserved_b[i]);
    back(p->mem_clock_khz, r.mem_clock_khz);
    back(p->mem_size_out, r.mem_size_out);
    back(p->map_value, r.map_value);
}

}  // namespace
}  // namespace tov

extern "C" int TOVMEM_CALL tov_mem_init(MemInitParams* p) {
    using namespace tov;
    if constexpr (!platform::steps_noted) {
        return dispatch(p);
    } else {
        // The call's lines are numbered in `call` (NotedCall): the routine
        // runs on its copy of the record, whose reg_ctx points at its copy
        // of the context. A record the dispatch refuses is passed as it is.
        NotedCall call;
        call.ctx = {0, 0};
        MemInitParams* run = p;
        if (p != nullptr && p->reg_ctx != nullptr) {
            call.ctx = *p->reg_ctx;
            call.record = *p;
            call.record.reg_ctx = &call.ctx;
            run = &call.record;
        }
        note_record(platform::Step::enter, p, 0, &call.ctx);
        const int32_t result = dispatch(run);
        if (run != p) give_back(p, call.record);
        note_record(platform::Step::leave, p, result, &call.ctx);
        return result;
    }
}
