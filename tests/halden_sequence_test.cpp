// SPDX-License-Identifier: Apache-2.0
// The first family's sequence: power modes, reset pulse, case selection,
// widths, clock generators, tails, failures, and a sweep over every ID.
#include <algorithm>
#include <cstring>
#include <set>

#include "meminit/entry/config_table.h"
#include "meminit/entry/routines.h"
#include "tests/halden_model.h"

namespace tov::test::halden_sequence_test {
namespace {

size_t count_of(const std::vector<std::string>& v, const std::string& what) {
    return static_cast<size_t>(std::count(v.begin(), v.end(), what));
}

bool touches(const RunResult& r, uint32_t off) {
    for (const Event& e : r.events)
        if ((e.kind == EventKind::store || e.kind == EventKind::load) && e.off == off) return true;
    return false;
}

// Last value stored to a register (the chip keeps what was stored).
uint32_t last_store(const RunResult& r, uint32_t off) {
    const auto v = stores_to(r, off);
    return v.empty() ? 0 : v.back();
}

// ---------------------------------------------------------------- power modes

TEST(HaldenPowerModes, FullModesRunEveryStep) {
    for (uint32_t mode : {0u, 1u}) {
        const RunResult r = run(0x0, 3, mode);
        EXPECT_EQ(r.ret, 1);
        EXPECT_EQ(r.commands, 9u);
        EXPECT_EQ(count_of(trace_of(r), "T 1"), 20u);
        EXPECT_EQ(stores_to(r, 0x000).size(), 2u);  // all ones, then bit 4 released
        EXPECT_EQ(last_store(r, 0x400), 0x39cu);
        EXPECT_EQ(stores_to(r, 0x810), std::vector<uint32_t>{0x26a0936});
    }
    EXPECT_TRUE(same_traffic(trace_of(run(0x0, 3, 0)), trace_of(run(0x0, 3, 1))));
}

TEST(HaldenPowerModes, ModesTwoAndThreePulseThenRunTheShortPath) {
    for (uint32_t mode : {2u, 3u}) {
        const RunResult r = run(0x0, 3, mode);
        EXPECT_EQ(r.ret, 1);
        EXPECT_EQ(commands(r), (std::vector<Command>{{0x1f3, 0xc80000}}));
        EXPECT_EQ(count_of(trace_of(r), "T 1"), 3u);
        EXPECT_EQ(stores_to(r, 0x810), (std::vector<uint32_t>{0x16a0936, 0x26a0936}));
        for (uint32_t off : {0x010u, 0x018u, 0x020u, 0x028u, 0x030u, 0x050u, 0x058u, 0x05cu, 0x060u, 0x008u, 0x418u,
                             0x43cu, 0x400u, 0x0c0u})
            EXPECT_FALSE(touches(r, off)) << std::hex << off;
        EXPECT_EQ(r.record.mem_clock_khz, 97875u);
    }
    EXPECT_TRUE(same_traffic(trace_of(run(0x0, 3, 2)), trace_of(run(0x0, 3, 3))));
}

TEST(HaldenPowerModes, OtherModesRunTheShortPathWithoutPulse) {
    const auto short2 = accesses(run(0x0, 8, 2));
    for (uint32_t mode : {4u, 5u, 0x80000000u, 0xffffffffu}) {
        const RunResult r = run(0x0, 8, mode);
        EXPECT_EQ(r.ret, 1);
        EXPECT_EQ(r.commands, 1u);
        EXPECT_EQ(loads_of(r, 0x000), 0u);
        EXPECT_EQ(stores_to(r, 0x000).size(), 0u);
        EXPECT_EQ(std::count_if(r.events.begin(), r.events.end(),
                                [](const Event& e) { return e.kind == EventKind::aux_load; }),
                  0);
        // The pulse is the only difference from modes 2 and 3: entry trace, six accesses.
        auto a = accesses(r);
        auto with_pulse = short2;
        with_pulse.erase(with_pulse.begin() + 1, with_pulse.begin() + 7);
        EXPECT_EQ(a, with_pulse);
    }
}

TEST(HaldenPowerModes, PowerModeIgnoredByK4H511638C) {
    const auto full = trace_of(run(0x1e, 4, 0));
    for (uint32_t mode : {1u, 2u, 3u, 4u, 0xffffffffu}) {
        const RunResult r = run(0x1e, 4, mode);
        EXPECT_TRUE(same_traffic(trace_of(r), full)) << mode;
        EXPECT_EQ(r.commands, 9u);
    }
    const RunResult r = run(0x1e, 3, 3);
    EXPECT_EQ(r.ret, 1);
    EXPECT_EQ(stores_to(r, 0x810), std::vector<uint32_t>{0x26a0a36});  // no reset pulse
    EXPECT_EQ(last_store(r, 0x890) & 0xff00000u, 0u);                  // field 0x00 in a full-width row
    EXPECT_EQ(messages(r), std::vector<std::string>{"entering meminit_halden_K4H511638C_UCCC\n"});
}

// ---------------------------------------------------------------- reset pulse

TEST(HaldenResetPulse, ControllerWordReadBackAuxLoadAndOneReadTwoWritesOf000) {
    sim::ChipConfig chip;
    chip.presets = {{0x000, 0xffffffff}};
    chip.aux_value = 0x5a5a1234;
    const RunResult r = run(0x0, 3, 2, chip);
    const auto a = accesses(r);
    ASSERT_GE(a.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(a.begin(), a.begin() + 7),
              (std::vector<std::string>{"X entering meminit_halden_K4H561638F_TCCC\n", "W 810 16a0936", "R 810 16a0936",
                                        "A 5a5a1234", "R 0 ffffffff", "W 0 ffffffff", "W 0 ffffffef"}));
    // Both writes come from the one value read, with nothing in between.
    sim::ChipConfig clear4;
    clear4.presets = {{0x000, 0x00a00100}};
    EXPECT_TRUE(contains_run(run(0x11, 1, 3, clear4), {"R 0 a00100", "W 0 a00110", "W 0 a00100"}));
}

TEST(HaldenResetPulse, OnlyRoutinesWithTheTrait) {
    // id12 has no pulse: nothing to 0x810 before the lanes and no access to 0x000.
    const RunResult r = run(0x12, 3, 2);
    EXPECT_EQ(stores_to(r, 0x810), std::vector<uint32_t>{0x126a0936});
    EXPECT_FALSE(touches(r, 0x000));
    EXPECT_EQ(trace_of(r).front(), "R 890 0");
    for (uint32_t id : {0x28u, 0x3bu, 0x1fu, 0x2au, 0x38u, 0x30u, 0x24u, 0x36u, 0x39u, 0x32u, 0x33u, 0x5u})
        EXPECT_EQ(stores_to(run(id, 7, 3), 0x810).front(), 0x16a0936u) << std::hex << id;
}

TEST(HaldenResetPulse, WithoutAnAuxRegionOnlyTheAuxLoadIsSkipped) {
    // Every routine of the family through its first row, in every power mode:
    // with aux_base 0 the trace is the mapped run's trace minus its aux load,
    // and result and record are the same.
    const ConfigTable t = family_table(Family::halden);
    size_t pulses = 0;
    for (uint32_t i = 0; i < t.count; ++i) {
        for (uint32_t mode : {0u, 2u, 3u, 4u}) {
            for (uint32_t clock : {1u, 8u, 0xffff0001u, 0xffff0003u}) {
                sim::RunRequest req;
                req.config_id = t.rows[i].id;
                req.clock_index = clock;
                req.power_mode = mode;
                req.chip.aux_value = 0x5a5a1234;
                const RunResult mapped = sim::run_bring_up(req);
                req.no_aux = true;
                const RunResult unmapped = sim::run_bring_up(req);
                std::vector<std::string> expected;
                for (const Event& e : mapped.events)
                    if (e.kind != EventKind::aux_load) expected.push_back(sim::event_compact(e));
                pulses += expected.size() != mapped.events.size();
                EXPECT_TRUE(same_traffic(trace_of(unmapped), expected)) << std::hex << t.rows[i].id << " mode " << mode;
                EXPECT_EQ(unmapped.ret, mapped.ret);
                EXPECT_EQ(std::memcmp(&unmapped.record, &mapped.record, sizeof mapped.record), 0);
                EXPECT_EQ(unmapped.end_time, mapped.end_time);
            }
        }
    }
    EXPECT_GT(pulses, 0u) << "no run reached the reset pulse";
}

// ---------------------------------------------------------------- case selection

TEST(HaldenCaseSelection, ExactValuesAndTheRowForAnyOther) {
    // Explicit rows of the default routine.
    EXPECT_EQ(run(0x0, 3).record.mem_clock_khz, 97875u);
    EXPECT_EQ(run(0x0, 4).record.mem_clock_khz, 121500u);
    EXPECT_EQ(run(0x0, 8).record.mem_clock_khz, 103500u);
    for (uint32_t c : {9u, 10u, 11u}) {
        const RunResult r = run(0x0, c);
        EXPECT_EQ(r.record.mem_clock_khz, 148500u);
        EXPECT_EQ(stores_to(r, 0x814), std::vector<uint32_t>{0x5590b48});
    }
    // Everything else, also values next to reserved ones, is the 49500 kHz full-width row.
    for (uint32_t c : {0u, 1u, 2u, 12u, 13u, 0xffff0000u, 0xffff0004u, 0x80000000u, 0xffffffffu}) {
        const RunResult r = run(0x0, c);
        EXPECT_EQ(r.ret, 1);
        EXPECT_EQ(r.record.mem_clock_khz, 49500u) << c;
        EXPECT_EQ(r.record.mem_size_out, 128 * MiB) << c;
        EXPECT_EQ(stores_to(r, 0x814), std::vector<uint32_t>{0x2930524}) << c;
    }
}

TEST(HaldenCaseSelection, OutputsWrittenBeforeFirstCaseRegister) {
    // Stuck at the first command: the outputs are still those of the row.
    sim::ChipConfig chip;
    chip.cmd_stuck_at = 1;
    const RunResult r = run(0x0, 5, 0, chip);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.record.mem_clock_khz, 148500u);
    EXPECT_EQ(r.record.mem_size_out, 128 * MiB);
}

// ---------------------------------------------------------------- widths and sizes

TEST(HaldenWidth, HalfWidthSwitchesOffUpperLanesAndHalvesSizeWithBus) {
    const RunResult half = run(0x0, 7);  // 128 MiB, bus 1
    EXPECT_EQ(half.record.mem_clock_khz, 49500u);
    EXPECT_EQ(half.record.mem_size_out, 0x4000000u);
    EXPECT_EQ(stores_to(half, 0x868), std::vector<uint32_t>{1});
    EXPECT_EQ(stores_to(half, 0x86c), std::vector<uint32_t>{1});
    EXPECT_EQ(stores_to(half, 0x860), (std::vector<uint32_t>{0, 2}));

    const RunResult bus0 = run(0x10, 1);  // 64 MiB, bus 0, clock 1 -> 7
    EXPECT_EQ(bus0.record.mem_size_out, 64 * MiB);
    EXPECT_EQ(stores_to(bus0, 0x868), std::vector<uint32_t>{1});

    const RunResult full = run(0x0, 6);
    EXPECT_EQ(full.record.mem_size_out, 128 * MiB);
    EXPECT_EQ(stores_to(full, 0x868), (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(stores_to(full, 0x86c), (std::vector<uint32_t>{0, 2}));
}

TEST(HaldenWidth, Id39HalvesSizeButKeepsFullWidth) {
    for (uint32_t c : {7u, 8u, 11u}) {
        const RunResult r = run(0x39, c);
        EXPECT_EQ(r.record.mem_size_out, 64 * MiB) << c;
        EXPECT_EQ(stores_to(r, 0x868), (std::vector<uint32_t>{0, 2})) << c;
        EXPECT_EQ(stores_to(r, 0x86c), (std::vector<uint32_t>{0, 2})) << c;
        EXPECT_EQ(stores_to(r, 0x810), std::vector<uint32_t>{0x26a0936}) << c;
        EXPECT_EQ(last_store(r, 0x890), 0x8000004u) << c;
    }
    for (uint32_t c : {3u, 4u, 5u, 6u, 9u, 0u}) EXPECT_EQ(run(0x39, c).record.mem_size_out, 128 * MiB) << c;
}

// ---------------------------------------------------------------- clock generators

struct GenCase {
    uint32_t id, clock;
    uint32_t final_words[5];  // last value of 0x010..0x030 on a chip starting at 0
};

TEST(HaldenClockGenerators, ReleasedAndHeldAgainPerClockSet) {
    const GenCase cases[] = {
        {0x0, 0, {0x1900, 0x1600, 0xc01d00, 0xc01d00, 0xc01d00}},     // 49a
        {0x28, 2, {0x1d00, 0x1600, 0xc01d00, 0xc01d00, 0xc01d00}},    // 49b
        {0x0, 7, {0x1900, 0x1600, 0xc01e00, 0xc01e00, 0xc01e00}},     // 49h: three never released
        {0x0, 3, {0x1d00, 0x1700, 0xc01d00, 0xc01d00, 0xc01d00}},     // 98
        {0x24, 8, {0x1700, 0xc01d00, 0xc01d00, 0xc01d00, 0xc01d00}},  // 103
        {0x0, 8, {0x1700, 0xc01e00, 0xc01e00, 0xc01e00, 0xc01e00}},   // 103h
        {0x0, 4, {0x1600, 0x1b00, 0xc01d00, 0xc01d00, 0xc01d00}},     // 121
        {0x36, 9, {0x1700, 0x1b00, 0xc01d00, 0xc01d00, 0xc01d00}},    // 121b
        {0x0, 5, {0x1a00, 0x1600, 0x1700, 0x1b00, 0xc01d00}},         // 148a
        {0x0, 6, {0x1a00, 0x1600, 0x1700, 0x1b00, 0xc01d00}},         // 148b
        {0x3b, 5, {0x1800, 0x1600, 0x1700, 0x1b00, 0xc01d00}},        // 148c
        {0x3b, 6, {0x1800, 0x1600, 0x1700, 0x1b00, 0xc01d00}},        // 148d
        {0x1e, 6, {0x1a00, 0x1600, 0x1700, 0x1b00, 0x1800}},          // 148e: none held again
        {0x0, 9, {0x1a00, 0x1600, 0x1700, 0x1b00, 0xc01e00}},         // 148h
    };
    constexpr uint32_t gens[5] = {0x010, 0x018, 0x020, 0x028, 0x030};
    for (const GenCase& c : cases) {
        const RunResult r = run(c.id, c.clock);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(last_store(r, gens[i]), c.final_words[i])
                << std::hex << "id " << c.id << " clock " << c.clock << " gen " << gens[i];
    }
}

TEST(HaldenClockGenerators, BitTwentyThreeLeavesHoldBeforeBitTwentyTwo) {
    // Every released generator leaves bit 23 before the first one drops bit 22,
    // and the tick comes after the second pass.
    const RunResult r = run(0x0, 5);
    const long last23 = find_event(r, "W 30 401d00");
    const long first22 = find_event(r, "W 10 1a00");
    ASSERT_GE(last23, 0);
    ASSERT_GE(first22, 0);
    EXPECT_LT(last23, first22);
    EXPECT_TRUE(contains_run(r, {"W 30 1d00", "T 1", "W 50 fa7ff00"}));
    // 148h: only four are released; 0x030 keeps both hold bits.
    EXPECT_TRUE(contains_run(run(0x0, 9), {"W 28 1b00", "T 1", "W 50 fa7af00"}));
}

TEST(HaldenClockGenerators, FirstValueOf058FollowsModeFlagWhereTheRoutineHonoursIt) {
    EXPECT_EQ(stores_to(run(0x30, 3), 0x058).front(), 0x3000000u);  // id30, mode_flag 1
    EXPECT_EQ(stores_to(run(0x31, 3), 0x058).front(), 0x1000000u);  // id30, mode_flag 0
    EXPECT_EQ(last_store(run(0x30, 6), 0x058), 0x300007fu);
    EXPECT_EQ(last_store(run(0x0, 3), 0x058), 0x100006fu);
    EXPECT_EQ(last_store(run(0x0, 0), 0x058), 0x100002fu);
}

// Called directly with mode_flag 1: the routines marked fixed ignore it.
TEST(HaldenClockGenerators, FixedFirstValueOf058IgnoresModeFlag) {
    const struct {
        InitRoutine routine;
        uint32_t first_058;
    } cases[] = {
        {meminit_halden_K4H561638F_TCCC, 0x3000000},
        {meminit_halden_id28, 0x3000000},
        {meminit_halden_id3b, 0x3000000},
        {meminit_halden_id1f, 0x1000000},
        {meminit_halden_id2a, 0x3000000},
        {meminit_halden_id38, 0x1000000},
        {meminit_halden_id30, 0x3000000},
        {meminit_halden_id24, 0x1000000},
        {meminit_halden_id36, 0x1000000},
        {meminit_halden_id39, 0x1000000},
        {meminit_halden_id32, 0x3000000},
        {meminit_halden_id33, 0x3000000},
        {meminit_halden_id12, 0x1000000},
        {meminit_halden_K4H511638C_UCCC, 0x1000000},
    };
    for (const auto& c : cases) {
        const RunResult r = sim::run_routine(c.routine, routine_record(3, 0x4000000, 1, 1));
        EXPECT_EQ(r.ret, 1);
        EXPECT_EQ(stores_to(r, 0x058).front(), c.first_058);
    }
}

// ---------------------------------------------------------------- 0x0c0 and tails

TEST(HaldenTraits, Sys0c0PerRoutineInFullModesOnly) {
    const struct {
        uint32_t id;
        uint32_t value;  // 0: never written
    } cases[] = {
        {0x0, 0},  {0x28, 0x23333}, {0x3b, 0},      {0x1f, 0x2222}, {0x2a, 0x2222}, {0x38, 0x2222}, {0x30, 0},
        {0x24, 0}, {0x36, 0x2222},  {0x39, 0x2222}, {0x32, 0},      {0x33, 0},      {0x12, 0},      {0x1e, 0x2222},
    };
    for (const auto& c : cases) {
        const RunResult r = run(c.id, 3, 0);
        if (c.value == 0) {
            EXPECT_FALSE(touches(r, 0x0c0)) << std::hex << c.id;
            continue;
        }
        EXPECT_EQ(stores_to(r, 0x0c0), std::vector<uint32_t>{c.value}) << std::hex << c.id;
        // Right after bit 4 of 0x000 is released.
        const auto t = trace_of(r);
        const long at = find_event(
            r, "W c0 " + [&] {
                char b[16];
                std::snprintf(b, sizeof b, "%x", c.value);
                return std::string(b);
            }());
        ASSERT_GT(at, 0);
        EXPECT_EQ(t[static_cast<size_t>(at) - 1], "W 0 ffffffef") << std::hex << c.id;
        if (c.id != 0x1e) EXPECT_FALSE(touches(run(c.id, 3, 2), 0x0c0)) << std::hex << c.id;
    }
    EXPECT_EQ(stores_to(run(0x1e, 3, 2), 0x0c0), std::vector<uint32_t>{0x2222});
}

const std::vector<std::string> clock_one_tail = {"T 1", "W 60 701df0", "T 1", "W 5c 18", "T 1"};

TEST(HaldenTraits, ClockIndexOneTailPerTrait) {
    // Default routine and id30: full power modes only.
    for (uint32_t id : {0x0u, 0x5u, 0x30u, 0x31u, 0x4000005u}) {
        EXPECT_TRUE(contains_run(run(id, 1, 0), clock_one_tail)) << std::hex << id;
        EXPECT_TRUE(contains_run(run(id, 1, 1), clock_one_tail)) << std::hex << id;
        EXPECT_FALSE(contains_run(run(id, 1, 2), clock_one_tail)) << std::hex << id;
        EXPECT_FALSE(contains_run(run(id, 1, 4), clock_one_tail)) << std::hex << id;
        EXPECT_FALSE(contains_run(run(id, 0, 0), clock_one_tail)) << std::hex << id;
        EXPECT_FALSE(contains_run(run(id, 2, 0), clock_one_tail)) << std::hex << id;
    }
    // id3b: every power mode, also the short path.
    for (uint32_t id : {0x3bu, 0x3cu, 0x3du})
        for (uint32_t mode : {0u, 1u, 2u, 3u, 4u}) {
            const RunResult r = run(id, 1, mode);
            const auto a = accesses(r);
            ASSERT_GE(a.size(), 5u);
            EXPECT_EQ(std::vector<std::string>(a.end() - 5, a.end()), clock_one_tail) << mode;
        }
    // No tail in the routines without it, and none where the dispatcher turns 1 into 7.
    for (uint32_t id : {0x1fu, 0x24u, 0x36u, 0x39u, 0x1eu, 0x10u, 0x12u, 0x28u, 0x2au, 0x32u, 0x33u, 0x38u, 0x3eu})
        for (uint32_t mode : {0u, 2u}) EXPECT_FALSE(contains_run(run(id, 1, mode), clock_one_tail)) << std::hex << id;
}

// ---------------------------------------------------------------- power-up commands

TEST(HaldenCommands, NinthCommandOfThePlusRows) {
    for (uint32_t c : {3u, 5u, 7u}) {
        const RunResult r = run(0x36, c, 0);
        const auto cmds = commands(r);
        ASSERT_EQ(cmds.size(), 10u) << c;
        EXPECT_EQ(cmds[8], (Command{0x1f3, 0xc80000}));
        EXPECT_EQ(cmds[9], (Command{0x1f3, 0xc80000}));
        // Ninth by dram_cmd, zero write, final by dram_cmd_nc.
        EXPECT_TRUE(contains_run(r, {"W 820 0", "W 824 c80000", "W 820 1f3", "T 1", "T 1"}));
        const auto a = accesses(r);
        const std::vector<std::string> seam = {"W 820 0", "W 824 c80000", "W 820 1f3",    "T 1",       "T 1",
                                               "R 828 1", "W 820 0",      "W 824 c80000", "W 820 1f3", "T 1",
                                               "T 1",     "R 828 1",      "W 820 0",      "W 850 0"};
        EXPECT_NE(std::search(a.begin(), a.end(), seam.begin(), seam.end()), a.end()) << c;
        // E = 2 in command 3 only.
        EXPECT_EQ(cmds[2].word & 0xffff, 2u);
        EXPECT_EQ(cmds[5].word & 0xffff, 0u);
    }
    for (uint32_t c : {4u, 6u, 8u, 9u, 11u, 0u}) EXPECT_EQ(run(0x36, c, 0).commands, 9u) << c;
    // The ninth command belongs to the power-up list: not issued in the short path.
    EXPECT_EQ(run(0x36, 3, 2).commands, 1u);
}

TEST(HaldenCommands, K4H511638CCommandsFourAndFiveWithBOne) {
    for (uint32_t c : {3u, 7u, 0u, 2u}) {
        const auto cmds = commands(run(0x1e, c));
        ASSERT_EQ(cmds.size(), 9u);
        EXPECT_EQ(cmds[3], (Command{0x81, 0x10162})) << c;
        EXPECT_EQ(cmds[4], (Command{0xa1, 0x1ffff})) << c;
    }
    const auto b2 = commands(run(0x1e, 4));
    EXPECT_EQ(b2[3], (Command{0x81, 0x20162}));
    EXPECT_EQ(b2[4], (Command{0xa1, 0x2ffff}));
}

TEST(HaldenCommands, StuckCommandEndsTheRoutineAtOnce) {
    for (uint32_t n = 1; n <= 9; ++n) {
        sim::ChipConfig chip;
        chip.cmd_stuck_at = n;
        const RunResult r = run(0x0, 3, 0, chip);
        EXPECT_EQ(r.ret, 0) << n;
        EXPECT_EQ(r.commands, n);
        EXPECT_EQ(messages(r), std::vector<std::string>{"entering meminit_halden_K4H561638F_TCCC\n"});
        // The status read that saw the clear bit is the last access.
        const auto a = accesses(r);
        EXPECT_EQ(a.back(), "R 828 0") << n;
        EXPECT_EQ(r.record.mem_clock_khz, 97875u);
    }
    // (+) row stuck on the ninth, short path stuck on its only command, K4H511638C on command 5.
    sim::ChipConfig chip;
    chip.cmd_stuck_at = 9;
    const RunResult plus = run(0x36, 3, 0, chip);
    EXPECT_EQ(plus.ret, 0);
    EXPECT_EQ(plus.commands, 9u);
    EXPECT_FALSE(touches(plus, 0x850));
    chip.cmd_stuck_at = 1;
    const RunResult short_path = run(0x0, 3, 2, chip);
    EXPECT_EQ(short_path.ret, 0);
    EXPECT_EQ(short_path.commands, 1u);
    EXPECT_EQ(accesses(short_path).back(), "R 828 0");
    chip.cmd_stuck_at = 5;
    const RunResult uccc = run(0x1e, 3, 0, chip);
    EXPECT_EQ(uccc.ret, 0);
    EXPECT_EQ(uccc.commands, 5u);
    EXPECT_EQ(messages(uccc).size(), 1u);
}

TEST(HaldenCommands, SlowCommandsCompleteWithinTheTick) {
    sim::ChipConfig chip;
    chip.cmd_latency = 2;  // the first stable read sees the command in flight
    const RunResult r = run(0x0, 7, 0, chip);
    EXPECT_EQ(r.ret, 1);
    EXPECT_EQ(r.commands, 9u);
}

// ---------------------------------------------------------------- dispatcher remapping

TEST(HaldenDispatch, AdjustedIdsRemapClockIndex) {
    const uint32_t adjusted[] = {0x10, 0x11, 0x12, 0x1d, 0x28, 0x29, 0x2a, 0x2b,
                                 0x2c, 0x2d, 0x32, 0x33, 0x34, 0x35, 0x38, 0x3e};
    const uint32_t to[] = {5, 7, 7, 8, 9, 10, 11};
    for (uint32_t id : adjusted) {
        for (uint32_t c = 0; c < 7; ++c) {
            const RunResult r = run(id, c);
            EXPECT_EQ(r.record.clock_index, to[c]) << std::hex << id << " " << c;
            // Same bring-up as the remapped value passed directly (values from 7 are not remapped).
            if (to[c] >= 7)
                EXPECT_TRUE(same_traffic(trace_of(r), trace_of(run(id, to[c])))) << std::hex << id << " " << c;
        }
        EXPECT_EQ(run(id, 0xffff0001).record.clock_index, 0xffff0001u);
    }
    // Through 0x10 (default routine): 0 is the full-width 148500 row, 1 and 2 the half-width 49500.
    EXPECT_EQ(run(0x10, 0).record.mem_clock_khz, 148500u);
    EXPECT_EQ(stores_to(run(0x10, 0), 0x810).back(), 0x26a0936u);
    EXPECT_EQ(stores_to(run(0x10, 2), 0x810).back(), 0x136a0936u);
    EXPECT_EQ(run(0x10, 3).record.mem_clock_khz, 103500u);
    // Without adjust the caller's value arrives as it is.
    for (uint32_t id : {0x0u, 0x5u, 0x1eu, 0x1fu, 0x24u, 0x30u, 0x31u, 0x36u, 0x39u, 0x3bu, 0x4000005u})
        for (uint32_t c = 0; c < 7; ++c) EXPECT_EQ(run(id, c).record.clock_index, c);
}

TEST(HaldenDispatch, ConfigZeroClockSevenReports49500AndHalfOf128MiB) {
    const RunResult r = run(0, 7);
    EXPECT_EQ(r.ret, 1);
    EXPECT_EQ(r.record.mem_clock_khz, 49500u);
    EXPECT_EQ(r.record.mem_size_out, 0x4000000u);
    EXPECT_EQ(r.record.mem_size, 0x8000000u);
    EXPECT_EQ(r.record.map_value, 1u);
}

// ---------------------------------------------------------------- sweep

const uint32_t table_ids[] = {0x0,  0x5,  0x10, 0x11, 0x12, 0x1d, 0x1e, 0x1f, 0x24, 0x28, 0x29, 0x2a, 0x2b, 0x2c,
                              0x2d, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x38, 0x39, 0x3b, 0x3c, 0x3d, 0x3e};

std::vector<uint32_t> sweep_clocks() {
    std::vector<uint32_t> v;
    for (uint32_t c = 0; c <= 13; ++c) v.push_back(c);
    for (uint32_t c = 0xffff0000; c <= 0xffff0004; ++c) v.push_back(c);
    return v;
}

TEST(HaldenSweep, EveryIdClockAndPowerModeRunsToASaneEnd) {
    const std::set<uint32_t> clocks_khz = {25000, 49500, 97870, 97875, 103500, 121500, 148500};
    const std::set<uint32_t> known_regs = {0x000, 0x008, 0x010, 0x018, 0x020, 0x028, 0x030, 0x050, 0x058,
                                           0x05c, 0x060, 0x0c0, 0x400, 0x418, 0x420, 0x428, 0x430, 0x43c,
                                           0x800, 0x810, 0x814, 0x818, 0x81c, 0x820, 0x824, 0x828, 0x840,
                                           0x844, 0x848, 0x850, 0x860, 0x864, 0x868, 0x86c, 0x880, 0x890};
    std::vector<uint32_t> ids(std::begin(table_ids), std::end(table_ids));
    ids.push_back(0x4000005);
    ids.push_back(0x7);
    size_t runs = 0;
    for (uint32_t id : ids) {
        for (uint32_t clock : sweep_clocks()) {
            for (uint32_t mode = 0; mode <= 4; ++mode) {
                SCOPED_TRACE(testing::Message() << std::hex << "id " << id << " clock " << clock << " mode " << mode);
                const RunResult r = run(id, clock, mode, random_chip(id, clock, mode));
                ++runs;
                ASSERT_EQ(r.ret, 1);
                const MemInitParams& p = r.record;
                EXPECT_TRUE(clocks_khz.count(p.mem_clock_khz));
                const bool reserved =
                    p.mem_clock_khz == 25000 ||
                    (clock >= 0xffff0001 && clock <= 0xffff0003 &&
                     (id == 0 || id == 5 || id == 0x10 || id == 0x11 || id == 0x1d || id == 0x4000005 || id == 7));
                if (reserved)
                    EXPECT_TRUE(p.mem_size_out == 0x8000000 || p.mem_size_out == 0x2000000);
                else
                    EXPECT_TRUE(p.mem_size_out == p.mem_size || p.mem_size_out == p.mem_size >> 1);
                EXPECT_EQ(p.map_value, 1u);
                for (const Event& e : r.events)
                    if (e.kind == EventKind::store || e.kind == EventKind::load)
                        EXPECT_TRUE(known_regs.count(e.off)) << std::hex << e.off;
                const auto cmds = commands(r);
                ASSERT_FALSE(cmds.empty());
                EXPECT_EQ(cmds.back().code, 0x1f3u);
                if (!reserved) {
                    EXPECT_EQ(cmds.back().word, 0xc80000u);
                    const bool full = mode <= 1 || id == 0x1e;
                    EXPECT_TRUE(full ? (cmds.size() == 9 || cmds.size() == 10) : cmds.size() == 1);
                } else {
                    EXPECT_EQ(cmds.size(), 9u);
                }
                // Bit 4 of 0x000 never stays set, and the command interface ends idle.
                EXPECT_EQ(last_store(r, 0x000) & 0x10, 0u);
                EXPECT_EQ(last_store(r, 0x820), 0u);
            }
        }
    }
    EXPECT_EQ(runs, ids.size() * 19 * 5);
}

}  // namespace
}  // namespace tov::test::halden_sequence_test
