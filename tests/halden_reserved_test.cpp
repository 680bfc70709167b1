// SPDX-License-Identifier: Apache-2.0
// Reserved clock values of the first family's default routine: the polled
// complete bring-up (0xffff0001) and the two controller re-initialisations
// (0xffff0002 at 97875 kHz, 0xffff0003 at 25000 kHz on two lanes).
#include "meminit/entry/routines.h"
#include "meminit/hw/regs.h"
#include "tests/halden_model.h"
#include "tests/reinit_model.h"

namespace tov::test::halden_reserved_test {
namespace {

using halden_model::Bus;

constexpr uint32_t polled = 0xffff0001;
constexpr uint32_t reinit_full = 0xffff0002;
constexpr uint32_t reinit_two_lanes = 0xffff0003;

void polled_cmd(Bus& b, bool with_zero, uint32_t word, uint32_t code) {
    if (with_zero) b.w(0x820, 0);
    b.w(0x824, word);
    b.w(0x820, code);
    b.t(1);
    b.r(0x828);
}

std::vector<std::string> expected_polled(uint32_t mode, uint32_t mode_flag,
                                         const std::map<uint32_t, uint32_t>& presets = {}) {
    Bus b(presets);
    b.x(halden_model::enter_tccc);
    halden_model::reset_pulse(b, mode);
    b.rmw(0x43c, reg::blk_43c::enable, 0);
    b.w(0x000, 0xffffffff);
    b.w(0x058, mode_flag ? 0x3000000 : 0x1000000);
    for (uint32_t g : halden_model::gens) b.rmw(g, 0, reg::clkgen::held);
    b.w(0x05c, 0xfffd);
    const uint32_t fields[5] = {0x1d, 0x1d, 0x1e, 0x1e, 0x1e};
    for (int i = 0; i < 5; ++i)
        b.rmw(halden_model::gens[i], reg::clkgen::rate.mask(), reg::clkgen::rate.place(fields[i]));
    b.rmw(0x010, reg::clkgen::hold_first, 0);
    b.rmw(0x018, reg::clkgen::hold_first, 0);
    b.t(1);
    b.rmw(0x010, reg::clkgen::hold_second, 0);
    b.rmw(0x018, reg::clkgen::hold_second, 0);
    b.t(1);
    b.w(0x050, 0xfdddfd1);
    b.rmw(0x058, 0, reg::sys_058::per_clock.mask());
    b.w(0x05c, 0xf000000);
    b.w(0x060, 0);
    b.w(0x008, 0x800ffeff);
    b.rmw(0x000, reg::sys_000::pads_reset, 0);
    b.rmw(0x890, 0, reg::drc_890::lanes_follow);
    for (uint32_t lane : {0x860u, 0x864u, 0x868u, 0x86cu}) b.rmw(lane, reg::lane::off, 0);
    b.rmw(0x880, reg::lane::off, reg::lane::bit6);
    b.t(1);
    for (uint32_t lane : {0x860u, 0x864u, 0x868u, 0x86cu}) b.rmw(lane, 0, reg::lane::on);
    b.rmw(0x880, 0, reg::lane::on);
    b.t(1);
    b.w(0x810, 0x26a0936);
    b.w(0x814, 0x2fc0624);
    b.w(0x818, 0x1222207);
    b.w(0x81c, 0x31);
    polled_cmd(b, false, 0x4c780000, 0x11f1);
    polled_cmd(b, true, 0x1ffff, 0x10a1);
    polled_cmd(b, true, 0x20000, 0x1081);
    polled_cmd(b, true, 0x20132, 0x81);
    polled_cmd(b, true, 0x2ffff, 0xa1);
    polled_cmd(b, true, 0x20000, 0x91);
    polled_cmd(b, true, 0x70000, 0x91);
    polled_cmd(b, true, 0x70032, 0x81);
    polled_cmd(b, true, 0xc80000, 0x1f3);
    b.w(0x820, 0);
    b.w(0x850, 0);
    b.w(0x840, 0x88888888);
    b.w(0x844, 0x88888888);
    b.w(0x848, 0xf);
    b.rmw(0x890, reg::drc_890::tail.mask(), 0x8000000);
    b.rmw(0x43c, 0, reg::blk_43c::enable);
    b.w(0x400, 0x39c);
    b.x(halden_model::leave_tccc);
    return b.out();
}

std::vector<std::string> expected_reinit(uint32_t clock, uint32_t mode,
                                         const std::map<uint32_t, uint32_t>& presets = {}) {
    const bool four = clock == reinit_full;
    Bus b(presets);
    b.x(halden_model::enter_tccc);
    halden_model::reset_pulse(b, mode);
    b.rmw(0x000, 0, reg::sys_000::pads_reset);
    reinit_steps(
        b, {.lanes = four ? std::vector<uint32_t>{0x860, 0x864, 0x868, 0x86c} : std::vector<uint32_t>{0x860, 0x864},
            .cfg_kept = reg::drc_cfg::reinit_kept,
            .cfg = four ? 0x36a0936u : 0x136a0936u,
            .drc_818_kept = reg::drc_818::reinit_kept,
            .drc_818 = 0x1222104,
            .drc_81c_clear = reg::drc_81c::reinit.mask(),
            .cmd_field = dram::code_fields,
            .cmds = {{0x27100000, 0x31f1},
                     {0x10400, 0x30a1},
                     {0x10000, 0x1081},
                     {0x20123, 0x81},
                     {0x20400, 0xa1},
                     {0x10000, 0x91},
                     {0x40000, 0x91},
                     {0x40023, 0x81},
                     {0x20000, 0x1f3}},
            .cleared_cmds = 9,
            .settle_before_close = true});
    b.rmw(0x43c, 0, reg::blk_43c::reinit_enable);
    b.x(halden_model::leave_tccc);
    return b.out();
}

// The reserved clock's sequence with DRAM command n never completing: it
// gives up at that command's poll with result 0, having traced only its
// entry.
RunResult given_up_at(uint32_t clock, uint32_t n) {
    sim::ChipConfig stuck;
    stuck.cmd_stuck_at = n;
    const RunResult r = run(0x0, clock, 0, stuck);
    EXPECT_EQ(r.ret, 0) << n;
    EXPECT_EQ(r.commands, n);
    EXPECT_EQ(messages(r).size(), 1u);  // entering only
    EXPECT_EQ(accesses(r).back(), "R 828 0");
    return r;
}

TEST(HaldenReserved, PolledInitialisationStepByStep) {
    for (uint32_t id : {0x0u, 0x5u, 0x10u, 0x11u, 0x1du, 0x4000005u}) {
        for (uint32_t mode : {0u, 1u, 2u, 3u, 4u, 0xffffffffu}) {
            SCOPED_TRACE(testing::Message() << std::hex << id << " mode " << mode);
            const sim::ChipConfig chip = random_chip(id, polled, mode);
            const RunResult r = run(id, polled, mode, chip);
            EXPECT_EQ(r.ret, 1);
            EXPECT_EQ(r.record.clock_index, polled);
            EXPECT_EQ(r.record.mem_clock_khz, 97875u);
            EXPECT_EQ(r.record.mem_size_out, 0x8000000u);  // also for the 64 MiB rows
            EXPECT_TRUE(same_traffic(accesses(r), expected_polled(mode, 0, chip.presets)));
            if (id == 0)
                EXPECT_TRUE(same_traffic(accesses(run(id, polled, mode)), expected_polled(mode, 0)))
                    << "registers at 0";
        }
    }
}

TEST(HaldenReserved, PolledInitialisationKeepsOtherBits) {
    const std::map<uint32_t, uint32_t> presets = {
        {0x000, 0x0000ff00}, {0x010, 0xff00ff00}, {0x018, 0xffffffff}, {0x058, 0x80},
        {0x43c, 0x30000},    {0x868, 0xf0},       {0x890, 0xfff00003},
    };
    sim::ChipConfig chip;
    chip.presets = presets;
    const RunResult r = run(0x0, polled, 0, chip);
    EXPECT_EQ(r.ret, 1);
    EXPECT_TRUE(same_traffic(accesses(r), expected_polled(0, 0, presets)));
}

// The default routine called directly with mode_flag 1 (no table row of it
// has Mode 1): the polled bring-up takes bit 25 into the first 0x058 value.
TEST(HaldenReserved, PolledInitialisationFollowsModeFlag) {
    for (uint32_t mode_flag : {0u, 1u}) {
        const RunResult r =
            sim::run_routine(meminit_halden_K4H561638F_TCCC, routine_record(polled, 0x4000000, 1, mode_flag));
        EXPECT_EQ(r.ret, 1);
        EXPECT_TRUE(same_traffic(accesses(r), expected_polled(0, mode_flag)));
        EXPECT_EQ(r.record.mem_size_out, 0x8000000u);
    }
}

TEST(HaldenReserved, PolledCommandsWaitForTheDoneBit) {
    sim::ChipConfig slow;
    slow.cmd_latency = 40;  // done only after many status reads: the poll keeps reading
    const RunResult r = run(0x0, polled, 0, slow);
    EXPECT_EQ(r.ret, 1);
    EXPECT_EQ(r.commands, 9u);
    EXPECT_GT(loads_of(r, 0x828), 9u * 40u);

    // A command that never completes: bounded wait, result 0 at once.
    for (uint32_t n : {1u, 4u, 9u}) {
        const RunResult s = given_up_at(polled, n);
        EXPECT_LT(s.end_time - s.start_time, 200u * 10000u * 10u);  // well under 2 s of interrupt time
        EXPECT_EQ(s.record.mem_size_out, 0x8000000u);
    }
}

TEST(HaldenReserved, ReinitialisationsStepByStep) {
    for (uint32_t clock : {reinit_full, reinit_two_lanes}) {
        for (uint32_t mode : {0u, 2u, 3u, 4u}) {
            SCOPED_TRACE(testing::Message() << std::hex << clock << " mode " << mode);
            const sim::ChipConfig chip = random_chip(0x0, clock, mode);
            const RunResult r = run(0x0, clock, mode, chip);
            EXPECT_EQ(r.ret, 1);
            EXPECT_EQ(r.record.mem_clock_khz, clock == reinit_full ? 97875u : 25000u);
            EXPECT_EQ(r.record.mem_size_out, clock == reinit_full ? 0x8000000u : 0x2000000u);
            EXPECT_TRUE(same_traffic(accesses(r), expected_reinit(clock, mode, chip.presets)));
            EXPECT_TRUE(same_traffic(accesses(run(0x0, clock, mode)), expected_reinit(clock, mode)))
                << "registers at 0";
        }
    }
    // The upper lanes only in the 97875 kHz form.
    EXPECT_FALSE(contains_run(run(0x0, reinit_two_lanes), {"W 868 2"}));
    EXPECT_TRUE(contains_run(run(0x0, reinit_full), {"W 868 2"}));
}

TEST(HaldenReserved, ReinitialisationKeepsTheBitsItDoesNotReplace) {
    const std::map<uint32_t, uint32_t> presets = {
        {0x810, 0xffffffff}, {0x818, 0xa0000000}, {0x81c, 0xfffffe00}, {0x824, 0xffffffff},
        {0x820, 0xffffcfff}, {0x860, 0x11},       {0x43c, 0x1},        {0x000, 0x7},
    };
    for (uint32_t clock : {reinit_full, reinit_two_lanes}) {
        sim::ChipConfig chip;
        chip.presets = presets;
        const RunResult r = run(0x5, clock, 2, chip);
        EXPECT_EQ(r.ret, 1);
        EXPECT_TRUE(same_traffic(accesses(r), expected_reinit(clock, 2, presets)));
    }
    // With the pulse first, 0x810 is read back holding the pulse's word.
    sim::ChipConfig chip;
    chip.presets = presets;
    const auto w810 = stores_to(run(0x0, reinit_full, 2, chip), 0x810);
    EXPECT_EQ(w810, (std::vector<uint32_t>{0x16a0936, (0x16a0936u & reg::drc_cfg::reinit_kept) | 0x36a0936u}));
}

TEST(HaldenReserved, ReinitialisationGivesUpOnAControllerThatNeverFinishes) {
    for (uint32_t n : {1u, 2u, 8u}) {
        const RunResult r = given_up_at(reinit_two_lanes, n);
        EXPECT_TRUE(stores_to(r, 0x800).empty());
    }
    // Stuck on the ninth: no poll follows the last command, so the sequence
    // runs to its end.
    sim::ChipConfig last;
    last.cmd_stuck_at = 9;
    const RunResult r = run(0x0, reinit_full, 0, last);
    EXPECT_EQ(r.ret, 1);
    EXPECT_EQ(r.commands, 9u);
}

TEST(HaldenReserved, TakesAboutThreeAndAHalfSeconds) {
    const RunResult r = run(0x0, reinit_full);
    uint32_t ticks = 0;
    for (const Event& e : r.events)
        if (e.kind == EventKind::delay_ticks) ticks += e.val;
    EXPECT_EQ(ticks, 100u + 20u + 9u * 20u + 40u);
}

TEST(HaldenReserved, OnlyTheDefaultRoutineReservesThem) {
    // Other routines select their row for any other value.
    const struct {
        uint32_t id;
        uint32_t khz;
    } others[] = {{0x1f, 148500}, {0x24, 148500}, {0x36, 49500}, {0x3b, 49500},
                  {0x12, 49500},  {0x1e, 49500},  {0x38, 49500}, {0x28, 49500}};
    for (const auto& o : others)
        for (uint32_t clock : {polled, reinit_full, reinit_two_lanes}) {
            const RunResult r = run(o.id, clock);
            EXPECT_EQ(r.ret, 1);
            EXPECT_EQ(r.record.mem_clock_khz, o.khz) << std::hex << o.id << " " << clock;
            EXPECT_TRUE(same_traffic(trace_of(r), trace_of(run(o.id, 0xffff0000)))) << std::hex << o.id;
        }
    // Neighbours of the reserved values are ordinary in the default routine too.
    for (uint32_t clock : {0xffff0000u, 0xffff0004u}) {
        const RunResult r = run(0x0, clock);
        EXPECT_EQ(r.record.mem_clock_khz, 49500u);
        EXPECT_EQ(r.commands, 9u);
    }
}

}  // namespace
}  // namespace tov::test::halden_reserved_test
