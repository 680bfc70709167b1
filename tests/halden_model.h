// SPDX-License-Identifier: Apache-2.0
// Expected bus traffic of a first-family bring-up, written out step by step
// from the family's bring-up order, for comparison with accesses() of a run.
// A chip whose registers start at the given presets and whose done bit is
// always set.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "meminit/hw/regs.h"
#include "tests/harness.h"
#include "tests/register_model.h"

namespace tov::test::halden_model {

struct ClockSpec {
    uint32_t field[5];  // 0x010, 0x018, 0x020, 0x028, 0x030
    uint32_t released;  // bit i: generator i
    uint32_t sys_050;
    uint32_t field_058;
    uint32_t held_again;
    uint32_t first_word;
};

enum class W { full, half, size_halved };

struct RowSpec {
    uint32_t khz;
    ClockSpec cs;
    W width;
    uint32_t r810, r814, r818, r81c;
    uint32_t a, e, b, mr, r;
    uint32_t f890;
    bool ninth = false;
};

enum class Tail { none, full_modes, every_mode };

struct TraitSpec {
    const char* enter;
    const char* leave;
    bool follows_mode;
    uint32_t c0;  // 0: none
    bool pulse;
    bool honoured;
    Tail tail;
};

// Clock sets by label, as the family's clock-set table gives them.
inline constexpr uint32_t all5 = 0x1f;
inline const ClockSpec cs49a{{0x19, 0x16, 0x1d, 0x1d, 0x1d}, all5, 0xff6ff61, 0x2f, 0x1c, 0x41ec0000};
inline const ClockSpec cs49b{{0x1d, 0x16, 0x1d, 0x1d, 0x1d}, all5, 0xff6ff61, 0x2f, 0x1c, 0x4c780000};
inline const ClockSpec cs49h{{0x19, 0x16, 0x1e, 0x1e, 0x1e}, 0x03, 0xff6ff61, 0x2f, 0x00, 0x41ec0000};
inline const ClockSpec cs98{{0x1d, 0x17, 0x1d, 0x1d, 0x1d}, all5, 0xf5dffd1, 0x6f, 0x1c, 0x4c780000};
inline const ClockSpec cs103{{0x17, 0x1d, 0x1d, 0x1d, 0x1d}, all5, 0xfbbffb0, 0x6f, 0x1e, 0x794b0000};
inline const ClockSpec cs103h{{0x17, 0x1e, 0x1e, 0x1e, 0x1e}, 0x01, 0xfbbffb0, 0x6f, 0x00, 0x794b0000};
inline const ClockSpec cs121{{0x16, 0x1b, 0x1d, 0x1d, 0x1d}, all5, 0xfb4ff40, 0x6f, 0x1c, 0x74050000};
inline const ClockSpec cs121b{{0x17, 0x1b, 0x1d, 0x1d, 0x1d}, all5, 0xfb4ff40, 0x6f, 0x1c, 0x794b0000};
inline const ClockSpec cs148a{{0x1a, 0x16, 0x17, 0x1b, 0x1d}, all5, 0xfa7ff00, 0x6f, 0x10, 0x891d0000};
inline const ClockSpec cs148b{{0x1a, 0x16, 0x17, 0x1b, 0x1d}, all5, 0xfa7af00, 0x7f, 0x10, 0x891d0000};
inline const ClockSpec cs148c{{0x18, 0x16, 0x17, 0x1b, 0x1d}, all5, 0xfa7ff00, 0x6f, 0x10, 0x7e910000};
inline const ClockSpec cs148d{{0x18, 0x16, 0x17, 0x1b, 0x1d}, all5, 0xfa7af00, 0x7f, 0x10, 0x7e910000};
inline const ClockSpec cs148e{{0x1a, 0x16, 0x17, 0x1b, 0x18}, all5, 0xfa7a900, 0x7f, 0x00, 0x891d0000};
inline const ClockSpec cs148h{{0x1a, 0x16, 0x17, 0x1b, 0x1e}, 0x0f, 0xfa7af00, 0x7f, 0x00, 0x891d0000};

inline const char* const enter_tccc = "entering meminit_halden_K4H561638F_TCCC\n";
inline const char* const leave_tccc = "leaving meminit_halden_K4H561638F_TCCC\n";
inline const char* const enter_uccc = "entering meminit_halden_K4H511638C_UCCC\n";

using Bus = RegisterModel;

inline constexpr uint32_t gens[5] = {0x010, 0x018, 0x020, 0x028, 0x030};

// A command by the tick-checked issue form: dram_cmd (with_zero) or dram_cmd_nc.
inline void tick_cmd(Bus& b, bool with_zero, uint32_t word, uint32_t code) {
    if (with_zero) b.w(0x820, 0);
    b.w(0x824, word);
    b.w(0x820, code);
    b.t(1);
    b.t(1);
    b.r(0x828);
}

// The family sequence for one routine, case row, clock_index and power_mode.
// Power modes 2 and 3: configuration word rewritten and read back, the aux
// load, then bit 4 of 0x000 set and cleared from one read.
inline void reset_pulse(Bus& b, uint32_t mode) {
    if (mode != 2 && mode != 3) return;
    b.w(0x810, 0x16a0936);
    b.r(0x810);
    b.a();
    const uint32_t v = b.r(0x000);
    b.w(0x000, v | reg::sys_000::pads_reset);
    b.w(0x000, v & ~reg::sys_000::pads_reset);
}

inline std::vector<std::string> expected(const TraitSpec& t, const RowSpec& row, uint32_t clock, uint32_t mode,
                                         uint32_t mode_flag = 0, const std::map<uint32_t, uint32_t>& presets = {},
                                         uint32_t aux = 0) {
    Bus b(presets, aux);
    const bool full = !t.honoured || mode <= 1;
    const bool half = row.width == W::half;
    if (t.enter) b.x(t.enter);
    if (t.pulse && t.honoured) reset_pulse(b, mode);
    if (full) {
        b.rmw(0x43c, reg::blk_43c::enable, 0);
        for (uint32_t off : {0x418u, 0x420u, 0x428u, 0x430u}) b.w(off, 0);
        b.w(0x000, 0xffffffff);
        b.w(0x058, t.follows_mode && mode_flag ? 0x3000000 : 0x1000000);
        for (uint32_t g : gens) b.rmw(g, 0, reg::clkgen::held);
        b.w(0x05c, 0xfffd);
        for (int i = 0; i < 5; ++i) b.rmw(gens[i], reg::clkgen::rate.mask(), reg::clkgen::rate.place(row.cs.field[i]));
        for (int i = 0; i < 5; ++i)
            if (row.cs.released & (1u << i)) b.rmw(gens[i], reg::clkgen::hold_first, 0);
        for (int i = 0; i < 5; ++i)
            if (row.cs.released & (1u << i)) b.rmw(gens[i], reg::clkgen::hold_second, 0);
        b.t(1);
        b.w(0x050, row.cs.sys_050);
        b.rmw(0x058, reg::sys_058::per_clock.mask(), reg::sys_058::per_clock.place(row.cs.field_058));
        b.w(0x05c, 0xf000000);
        b.w(0x060, 0);
        b.w(0x008, 0x800ffeff);
        b.rmw(0x000, reg::sys_000::pads_reset, 0);
        if (t.c0) b.w(0x0c0, t.c0);
    }
    b.rmw(0x890, 0, reg::drc_890::lanes_follow);
    b.rmw(0x860, reg::lane::off, 0);
    b.rmw(0x864, reg::lane::off, 0);
    if (half) {
        b.rmw(0x868, 0, reg::lane::off);
        b.rmw(0x86c, 0, reg::lane::off);
    } else {
        b.rmw(0x868, reg::lane::off, 0);
        b.rmw(0x86c, reg::lane::off, 0);
    }
    b.rmw(0x880, reg::lane::off, reg::lane::bit6);
    b.r(0x880);
    b.t(1);
    b.rmw(0x860, 0, reg::lane::on);
    b.rmw(0x864, 0, reg::lane::on);
    if (!half) {
        b.rmw(0x868, 0, reg::lane::on);
        b.rmw(0x86c, 0, reg::lane::on);
    }
    b.rmw(0x880, 0, reg::lane::on);
    b.w(0x810, row.r810);
    b.w(0x814, row.r814);
    b.w(0x818, row.r818);
    b.w(0x81c, row.r81c);
    if (full) {
        tick_cmd(b, false, row.cs.first_word, 0x11f1);
        tick_cmd(b, true, 0x1ffff, 0x10a1);
        tick_cmd(b, true, (row.a << 16) | row.e, 0x1081);
        tick_cmd(b, true, (row.b << 16) | 0x100 | row.mr, 0x81);
        tick_cmd(b, true, (row.b << 16) | 0xffff, 0xa1);
        tick_cmd(b, true, row.a << 16, 0x91);
        tick_cmd(b, true, row.r << 16, 0x91);
        tick_cmd(b, true, (row.r << 16) | row.mr, 0x81);
        if (row.ninth) tick_cmd(b, true, 0xc80000, 0x1f3);
        b.w(0x820, 0);
    }
    tick_cmd(b, false, 0xc80000, 0x1f3);
    b.w(0x820, 0);
    b.w(0x850, 0);
    b.w(0x840, 0x88888888);
    b.w(0x844, 0x88888888);
    b.w(0x848, 0xf);
    b.rmw(0x890, reg::drc_890::tail.mask(), row.f890 << reg::drc_890::tail.shift);
    if (full) {
        b.rmw(0x43c, 0, reg::blk_43c::enable);
        b.w(0x400, 0x39c);
        for (int i = 0; i < 5; ++i)
            if (row.cs.held_again & (1u << i)) b.rmw(gens[i], 0, reg::clkgen::held);
    }
    if (clock == 1 && (t.tail == Tail::every_mode || (t.tail == Tail::full_modes && full))) {
        b.t(1);
        b.w(0x060, 0x701df0);
        b.t(1);
        b.w(0x05c, 0x18);
        b.t(1);
    }
    if (t.leave) b.x(t.leave);
    return b.out();
}

// Traits as the family's trait table gives them.
inline const TraitSpec tccc{enter_tccc, leave_tccc, true, 0, true, true, Tail::full_modes};
inline const TraitSpec id28{nullptr, nullptr, true, 0x23333, true, true, Tail::none};
inline const TraitSpec id3b{nullptr, nullptr, true, 0, true, true, Tail::every_mode};
inline const TraitSpec id1f{nullptr, nullptr, false, 0x2222, true, true, Tail::none};
inline const TraitSpec id2a{nullptr, nullptr, true, 0x2222, true, true, Tail::none};
inline const TraitSpec id38{nullptr, nullptr, false, 0x2222, true, true, Tail::none};
inline const TraitSpec id30{nullptr, nullptr, true, 0, true, true, Tail::full_modes};
inline const TraitSpec id24{nullptr, nullptr, false, 0, true, true, Tail::none};
inline const TraitSpec id36{nullptr, nullptr, false, 0x2222, true, true, Tail::none};
inline const TraitSpec id39{nullptr, nullptr, false, 0x2222, true, true, Tail::none};
inline const TraitSpec id32{nullptr, nullptr, true, 0, true, true, Tail::full_modes};
inline const TraitSpec id33{nullptr, nullptr, true, 0, true, true, Tail::full_modes};
inline const TraitSpec id12{nullptr, nullptr, false, 0, false, true, Tail::none};
inline const TraitSpec uccc{enter_uccc, nullptr, false, 0x2222, false, false, Tail::none};

}  // namespace tov::test::halden_model
