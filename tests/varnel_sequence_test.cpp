// Third family, whole sequences: each routine's bus trace on a healthy
// simulated chip, compared access by access with a separate model of the
// standard sequence fed with each routine's values.
#include <array>
#include <map>

#include "tests/harness.h"
#include "tests/register_model.h"

namespace tov::test {
namespace {

using Lines = std::vector<std::string>;

enum class End { direct, pulse, check };

// One routine's values, typed from its data sheet of settings.
struct Want {
    uint32_t id;  // a configuration ID whose row names the routine
    const char* entry;
    uint32_t mode_flag = 0;  // the row's Mode column
    bool mode_honoured = true;
    std::array<uint32_t, 2> sys050;
    std::array<uint32_t, 2> gen010 = {0x500, 0x3a02};  // clear, set
    std::array<uint32_t, 2> gen018 = {0x900, 0x3602};
    uint32_t pad = 1;
    uint32_t pad85c = 0x110000;
    std::array<uint32_t, 2> s24;
    std::array<uint32_t, 2> cfg;
    std::array<uint32_t, 5> timing;  // 0x814, 0x818, 0x81c, 0x808, 0x80c
    std::array<uint32_t, 10> cmds;
    bool s30 = true;
    std::array<End, 2> end = {End::check, End::check};
    uint32_t pulse_ticks = 1;
    bool tick_tail_default = false;
    const char* note_default = nullptr;
};

void PrintTo(const Want& w, std::ostream* os) { *os << std::hex << "id 0x" << w.id; }

constexpr std::array<uint32_t, 10> cmds(uint32_t long_count, uint32_t p3, uint32_t p4, uint32_t p5, uint32_t p7,
                                        uint32_t p8) {
    return {0x10000, long_count << 16, 0x1ffff, p3, p4, p5, p3, p7, p8, 0xc80000};
}

// The standard sequence against the plain register file of
// tests/register_model.h, starting at the chip's presets.
using Model = RegisterModel;

Lines expected(const Want& v, bool alt, const std::map<uint32_t, uint32_t>& presets = {}) {
    Model m(presets);
    const int f = alt ? 1 : 0;
    m.x(v.entry);
    if (!alt && v.note_default) m.x(v.note_default);
    m.rmw(0x43c, 0x20000, 0);
    m.w(0x418, 0), m.w(0x420, 0), m.w(0x430, 0);
    m.w(0x000, 0xfffffdff);
    m.w(0x058, v.mode_honoured && v.mode_flag ? 0x13000000 : 0x11000000);
    for (uint32_t g : {0x010, 0x018, 0x030}) m.rmw(g, 0, 0xc00000);
    m.w(0x05c, 0xf8ffff79);
    m.w(0x070, 0x10103fe), m.w(0x070, 0x1010002);
    m.rmw(0x010, v.gen010[0], v.gen010[1]);
    m.rmw(0x018, v.gen018[0], v.gen018[1]);
    m.rmw(0x030, 0x2702, 0x1800);
    for (uint32_t g : {0x010, 0x018, 0x030}) m.rmw(g, 0x800000, 0);
    for (uint32_t g : {0x010, 0x018, 0x030}) m.rmw(g, 0x400000, 0);
    m.t(1);
    m.rmw(0x070, 0x1000000, 0);
    m.w(0x050, v.sys050[f]), m.w(0x054, 0xf6);
    m.rmw(0x058, 0, 0x200);
    m.w(0x05c, 0xf000000), m.w(0x060, 0), m.w(0x008, 0xffffffff), m.w(0x068, 0xffffffff), m.w(0x000, 0);
    m.rmw(0x890, 0, 4), m.rmw(0x890, 2, 0);
    m.rmw(0x860, 0xf000, v.pad << 12), m.rmw(0x864, 0xf000, v.pad << 12);
    m.w(0x85c, v.pad85c);
    m.rmw(0x860, 0, 0x40), m.rmw(0x864, 0, 0x40);
    m.rmw(0x860, 0, 2), m.rmw(0x860, 1, 0);
    if (alt)
        m.rmw(0x864, 0, 1);
    else
        m.rmw(0x864, 0, 2), m.rmw(0x864, 1, 0);
    m.rmw(0x880, 0, 2), m.r(0x880);
    for (uint32_t i = 0; i < v.s24[f]; ++i) m.t(1);
    m.w(0x800, 0xf), m.w(0x800, 0);
    m.w(0x810, v.cfg[f]);
    const uint32_t timing_regs[5] = {0x814, 0x818, 0x81c, 0x808, 0x80c};
    for (int i = 0; i < 5; ++i) m.w(timing_regs[i], v.timing[i]);
    const uint32_t codes[10] = {0x1171, 0x11f1, 0x10a1, 0x1081, 0x81, 0xa1, 0x91, 0x91, 0x81, 0x1f3};
    for (int i = 0; i < 10; ++i) m.w(0x824, v.cmds[i]), m.w(0x820, codes[i]), m.r(0x828);
    m.w(0x850, 0), m.w(0x840, 0xffffffff), m.w(0x844, 0xffffffff), m.w(0x8a0, 0x44444444);
    m.w(0x8a4, 0x44444444), m.w(0x848, 0), m.w(0x84c, 0xffd), m.w(0x894, 0x80800880);
    m.w(0x898, 0x80808080), m.w(0x89c, 0x80808080);
    if (v.s30) m.rmw(0x43c, 0, 0x20000);
    m.w(0x400, m.r(0x47c) ? 0xfdc : 0x390);
    if (v.end[f] == End::direct) {
        m.w(0x810, v.cfg[f] & 0x3fffffff);
        m.rmw(0x058, 0, 0xeff);
        return m.lines;
    }
    m.rmw(0x058, 0, 0xeff);
    m.w(0x810, v.cfg[f] | 0xc0000000), m.t(v.pulse_ticks), m.w(0x810, v.cfg[f]), m.t(v.pulse_ticks);
    if (v.end[f] == End::pulse) return m.lines;
    m.rmw(0x43c, 0, 0x20000), m.rmw(0x43c, 0x7f00, 0);
    const bool tail = !alt && v.tick_tail_default;
    const std::pair<uint32_t, uint32_t> steps[12] = {
        {0x874, 0x12345678}, {0x878, 0x1f00}, {0x870, 4}, {0x874, 0x87654321}, {0x878, 0x1f00}, {0x870, 0x14},
        {0x870, 0},          {0x878, 0},      {0x874, 0}, {0x870, 0x10},       {0x878, 0},      {0x874, 0}};
    for (int i = 0; i < 12; ++i) {
        if (i == 8 || i == 11)
            m.r(0x874);
        else
            m.w(steps[i].first, steps[i].second);
        if (tail && i >= 9)
            m.t(1);
        else
            m.ms(2);
    }
    return m.lines;
}

// Routines with a default and an alternate form.
// clang-format off
const Want two_forms[] = {
    // high_1down members (direct access, default and half-width forms).
    {.id = 0x3000099, .entry = "mem init, meminit_varnel_high_1down_V58C2256164SCI5\n",
     .sys050 = {0xf006700, 0xf006704}, .s24 = {1, 1}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70b38, 0x3123230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x30000bd, .entry = "mem init, meminit_varnel_EDD2516AETA_5B \n",
     .sys050 = {0xf006704, 0xf006704}, .s24 = {2, 2}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70b38, 0x3123230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x300003f, .entry = "mem init, meminit_varnel_high_1down_HYB25D128160CE_5\n", .mode_honoured = false,
     .sys050 = {0xf006700, 0xf006700}, .s24 = {1, 1}, .cfg = {0x2ea092e, 0x12ea092e},
     .timing = {0xbee0b38, 0x3123230d, 0x31, 0xd0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xd0000, 0xd0032)},
    {.id = 0x3000043, .entry = "mem init, meminit_varnel_high_1down_HY5DU561622CT_4\n", .mode_flag = 1,
     .sys050 = {0xf006700, 0xf006700}, .s24 = {2, 2}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70f28, 0x53232512, 0x41, 0x12c800c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x50000, 0x20142, 0x2ffff, 0x120000, 0x120042)},
    {.id = 0x30000a1, .entry = "mem init, meminit_varnel_high_1down_K4D551638F_LC50\n",
     .sys050 = {0xf006704, 0xf006704}, .s24 = {1, 1}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70c28, 0x4233340e, 0x31, 0xec800c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x40000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .s30 = false,
     .tick_tail_default = true},
    {.id = 0x300004e, .entry = "mem init, meminit_varnel_high_1down_V58C2128164SBI5\n",
     .sys050 = {0xf006700, 0xf006704}, .s24 = {1, 2}, .cfg = {0x2ea0932, 0x12ea0932},
     .timing = {0xbee0a38, 0x3123230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x30000b8,
     .entry = "mem init, meminit_varnel_common_NT5DS16M16CS-5T_HY5DU561622ETP-D43_MT46V16M16P-5B\n",
     .sys050 = {0xf006704, 0xf006704}, .s24 = {2, 2}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70b38, 0x3223230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x30132, 0x3ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x3000042, .entry = "mem init, meminit_varnel_high_1down_W9425G6CH_5\n",
     .sys050 = {0xf006700, 0xf006704}, .s24 = {1, 1}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x29810b38, 0x3123230e, 0x31, 0xe0f000a, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .s30 = false},
    // The remaining high_1down members, on a row with Mode 1 where the routine has one.
    {.id = 0x3000020, .entry = "mem init, meminit_varnel_high_1down_MT46V16M16BG_5B\n",
     .sys050 = {0xf006700, 0xf006700}, .s24 = {1, 1}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70b38, 0x3123230e, 0x31, 0xe0e00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032)},
    {.id = 0x300006e, .entry = "mem init, meminit_varnel_high_1down_EM6AA160TS_5G\n", .mode_flag = 1,
     .sys050 = {0xf006700, 0xf006704}, .s24 = {2, 2}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70b38, 0x3123230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032)},
    {.id = 0x3000062, .entry = "mem init, meminit_varnel_high_1down_EDD5116AFTA_5B\n",
     .sys050 = {0xf006700, 0xf006700}, .s24 = {2, 2}, .cfg = {0x2ea0a32, 0x12ea0a32},
     .timing = {0x5f70b38, 0x3123230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032)},
    {.id = 0x3000090, .entry = "mem init, meminit_varnel_high_1down_HY5DU561622ETP_4\n",
     .sys050 = {0xf006700, 0xf006704}, .s24 = {2, 2}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70f28, 0x53242512, 0x41, 0x12c800c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x50000, 0x20142, 0x2ffff, 0x120000, 0x120042)},
    {.id = 0x3000063, .entry = "mem init, meminit_varnel_high_1down_V58C2128164SBI5\n",
     .sys050 = {0xf006700, 0xf006704}, .s24 = {1, 1}, .cfg = {0x2ea0932, 0x12ea0932},
     .timing = {0xbee0b38, 0x3123230e, 0x31, 0xf0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032)},
    {.id = 0x3000018, .entry = "mem init, meminit_varnel_high_1down_HY5DU121622CTP_D43\n", .mode_flag = 1,
     .sys050 = {0xf006700, 0xf006704}, .s24 = {2, 2}, .cfg = {0x26a0a36, 0x126a0a36},
     .timing = {0x5f70b38, 0x3123230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x3000069, .entry = "mem init, meminit_varnel_high_1down_EDD2516AETA_5B\n",
     .sys050 = {0xf006704, 0xf006704}, .s24 = {2, 2}, .cfg = {0x2ea0932, 0x12ea0932},
     .timing = {0x5f70b38, 0x3123230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20142, 0x2ffff, 0xe0000, 0xe0042), .s30 = false},
    {.id = 0x3000068, .entry = "mem init, meminit_varnel_high_1down_HYB25D256160CE_5\n",
     .sys050 = {0xf006704, 0xf006704}, .s24 = {1, 1}, .cfg = {0x2ea0932, 0x12ea0932},
     .timing = {0x5f70b38, 0x3123230d, 0x31, 0xd0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xd0000, 0xd0032), .s30 = false},
    {.id = 0x300006d, .entry = "mem init, meminit_varnel_high_1down_HYB25DC256160CE_5\n", .mode_flag = 1,
     .sys050 = {0xf006704, 0xf006704}, .s24 = {1, 1}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70b38, 0x3123230d, 0x31, 0xd0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xd0000, 0xd0032), .s30 = false},
    {.id = 0x3000045, .entry = "mem init, meminit_varnel_high_1down_HY5DU281622ETP_5\n", .mode_flag = 1,
     .sys050 = {0xf006700, 0xf006704}, .s24 = {2, 2}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70c28, 0x4323240e, 0x31, 0xec800c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x40000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x3000035, .entry = "mem init, meminit_varnel_high_1down_NT5DS16M16CS_5T\n",
     .sys050 = {0xf006700, 0xf006704}, .s24 = {1, 1}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70b38, 0x3223230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x30132, 0x3ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x300008f, .entry = "mem init, meminit_varnel_high_1down_NT5DS8M16FS_5T\n",
     .sys050 = {0xf006700, 0xf006704}, .s24 = {1, 1}, .cfg = {0x2ea0932, 0x12ea0932},
     .timing = {0xbee0b38, 0x3123230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x3000036, .entry = "mem init, meminit_varnel_high_1down_HY5DU561622LF_D43\n",
     .sys050 = {0xf006700, 0xf006704}, .s24 = {2, 2}, .cfg = {0x26a0936, 0x126a0936},
     .timing = {0x5f70b38, 0x3123230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x30000c8, .entry = "mem init, meminit_varnel_high_1down_HY5DU561622CT_5\n",
     .sys050 = {0xf006700, 0xf006704}, .s24 = {2, 2}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70c28, 0x4323240e, 0x31, 0xec800c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x40000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x3000037, .entry = "mem init, meminit_varnel_high_1down_NT5DS16M16CG_5T\n",
     .sys050 = {0xf006700, 0xf006704}, .s24 = {1, 1}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70b38, 0x3223230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x30132, 0x3ffff, 0xe0000, 0xe0032), .s30 = false},
    {.id = 0x3000096, .entry = "mem init, meminit_varnel_common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_EDD2516AETA_5B\n",
     .sys050 = {0xf006704, 0xf006704}, .s24 = {2, 2}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70b38, 0x3223230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x30132, 0x3ffff, 0xe0000, 0xe0032), .s30 = false},
    // Status-checked routines.
    {.id = 0x3000008, .entry = "mem init, meminit_varnel_high_1down_K4D551638F_TC40\n", .mode_flag = 1,
     .sys050 = {0xf006700, 0xf006700}, .s24 = {1, 1}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70d29, 0x4423340f, 0x31, 0xfc800c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x40000, 0x20132, 0x2ffff, 0xf0000, 0xf0032)},
    {.id = 0x3000014, .entry = "mem init, meminit_varnel_high_1down_K4H561638H_UCCC\n",
     .sys050 = {0xf006700, 0xf006700}, .s24 = {1, 1}, .cfg = {0x2ea0936, 0x12ea0936},
     .timing = {0x5f70b38, 0x3223230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .note_default = "32bit 64M settings\n"},
    {.id = 0x3000052, .entry = "mem init, meminit_varnel_high_1down_EDD1216AATA_5B\n",
     .sys050 = {0xf006700, 0xf006700}, .s24 = {2, 2}, .cfg = {0x2ea0932, 0x12ea0932},
     .timing = {0xbee0b38, 0x3123230e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032)},
    {.id = 0x3000061, .entry = "mem init, meminit_varnel_high_1down_EDD1216AATA_5C\n",
     .sys050 = {0xf006700, 0xf006700}, .s24 = {2, 2}, .cfg = {0x2ea0932, 0x12ea0932},
     .timing = {0xbee0c48, 0x4123240e, 0x31, 0xe0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x40000, 0x20142, 0x2ffff, 0xe0000, 0xe0042)},
    // Direct access, alternate form with its own set-up word and ending.
    {.id = 0x3000001, .entry = "mem init, meminit_varnel_K4D551638F_TC40\n", .mode_honoured = false,
     .sys050 = {0xf006700, 0xf006704}, .pad = 2, .pad85c = 0x220000, .s24 = {2, 2},
     .cfg = {0x2ea0936, 0xd2ea0936}, .timing = {0x5f70d29, 0x4423340f, 0x31, 0xfc800c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x40000, 0x20132, 0x2ffff, 0xf0000, 0xf0032), .end = {End::pulse, End::direct},
     .pulse_ticks = 5},
};

// Direct access, single form.
const Want one_form[] = {
    {.id = 0x3000010, .entry = "mem init, meminit_varnel_low_EDD1216AATA\n",
     .mode_honoured = false, .sys050 = {0xf006700, 0}, .gen010 = {0x2702, 0x1800}, .pad = 2, .pad85c = 0x220000,
     .s24 = {1, 0}, .cfg = {0xc28a0932, 0}, .timing = {0x9e00a37, 0x3413230c, 0x121, 0xf0d00c8, 0x1e700a3},
     .cmds = cmds(0x7e91, 0x30000, 0x20162, 0x2ffff, 0xc0000, 0xc0062), .end = {End::direct, End::direct}},
    {.id = 0x3000011, .entry = "mem init, meminit_varnel_high_EDD1216AATA\n",
     .mode_honoured = false, .sys050 = {0xf006700, 0}, .pad = 2, .pad85c = 0x110000, .s24 = {1, 0},
     .cfg = {0xc2ea0932, 0}, .timing = {0xbee0c48, 0x4423240e, 0x31, 0xf0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x40000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .end = {End::direct, End::direct}},
    {.id = 0x3000012, .entry = "mem init, meminit_varnel_high_1down_K4H561638H\n",
     .sys050 = {0xf006700, 0}, .s24 = {1, 0}, .cfg = {0x2ea0936, 0},
     .timing = {0x5f70b38, 0x3423230e, 0x31, 0xf0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .end = {End::pulse, End::pulse}},
    {.id = 0x3000000, .entry = "mem init, meminit_varnel_K4D551638F_TC40\n",
     .sys050 = {0xf006700, 0}, .pad = 2, .pad85c = 0x220000, .s24 = {1, 0}, .cfg = {0x2ea0936, 0},
     .timing = {0x5f70b38, 0x3423230e, 0x31, 0xf0f00c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032), .end = {End::pulse, End::pulse}},
    {.id = 0x30000b0, .entry = "mem init, meminit_varnel_high_1down_EM6AA320BI_5MSG\n",
     .sys050 = {0xf006700, 0}, .s24 = {2, 0}, .cfg = {0x2e80932, 0},
     .timing = {0x5f70c28, 0x4322230e, 0x31, 0xec800c8, 0x24c00c4},
     .cmds = cmds(0x98ef, 0x30000, 0x20132, 0x2ffff, 0xe0000, 0xe0032)},
    {.id = 0x30000f5, .entry = "mem init, meminit_varnel_high_1down_ESMT_121\n",
     .sys050 = {0xf006700, 0}, .gen010 = {0x1900, 0x2602}, .gen018 = {0x1700, 0x2802}, .pad = 4,
     .pad85c = 0x440000, .s24 = {2, 0}, .cfg = {0x2e80832, 0},
     .timing = {0x3e90d49, 0x4423340f, 0x31, 0xfc800c8, 0x1810081},
     .cmds = cmds(0x6433, 0x40000, 0x20132, 0x2ffff, 0xf0000, 0xf0032), .s30 = false},
};
// clang-format on

class VarnelSequence : public ::testing::TestWithParam<Want> {};
class VarnelSequenceAlt : public ::testing::TestWithParam<Want> {};

// Both forms on a chip of random register contents (0x47c as each form
// needs it), and once on registers at 0.
TEST_P(VarnelSequence, DefaultFormMatchesModel) {
    const Want& v = GetParam();
    // 12 is never remapped and never alternate; a nonzero 0x47c selects 0xfdc.
    sim::ChipConfig own;
    own.presets[0x47c] = 1;
    const sim::ChipConfig chip = random_chip(v.id, 12, 0, own);
    const RunResult r = run(v.id, 12, 0, chip);
    EXPECT_EQ(r.ret, 1);
    EXPECT_EQ(accesses(r), expected(v, false, chip.presets));
    EXPECT_EQ(r.commands, 10u);
    EXPECT_EQ(accesses(run(v.id, 12, 0, own)), expected(v, false, own.presets)) << "registers at 0";
}

TEST_P(VarnelSequenceAlt, AlternateFormMatchesModel) {
    const Want& v = GetParam();
    sim::ChipConfig own;
    own.presets[0x47c] = 0;
    const sim::ChipConfig chip = random_chip(v.id, 11, 0, own);
    const RunResult r = run(v.id, 11, 0, chip);
    EXPECT_EQ(r.ret, 1);
    EXPECT_EQ(accesses(r), expected(v, true, chip.presets));
    EXPECT_EQ(accesses(run(v.id, 11)), expected(v, true)) << "registers at 0";
}

std::string id_name(const ::testing::TestParamInfo<Want>& i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "id%x", i.param.id);
    return buf;
}

INSTANTIATE_TEST_SUITE_P(VarnelTwoForms, VarnelSequence, ::testing::ValuesIn(two_forms), id_name);
INSTANTIATE_TEST_SUITE_P(VarnelOneForm, VarnelSequence, ::testing::ValuesIn(one_form), id_name);
INSTANTIATE_TEST_SUITE_P(VarnelTwoForms, VarnelSequenceAlt, ::testing::ValuesIn(two_forms), id_name);

}  // namespace
}  // namespace tov::test
