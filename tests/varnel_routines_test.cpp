// SPDX-License-Identifier: Apache-2.0
// Third family through tov_mem_init: every table ID at every clock selector,
// form and size rules, the frame-buffer check's outcomes, status-checked
// failures, time-outs, the re-initialisation and the unsupported clocks.
#include <cstring>
#include <map>

#include "meminit/entry/config_table.h"
#include "meminit/entry/routines.h"
#include "meminit/hw/dram.h"
#include "meminit/hw/regs.h"
#include "sim/simulator.h"
#include "tests/harness.h"
#include "tests/register_model.h"
#include "tests/reinit_model.h"

namespace tov::test::varnel_routines_test {
namespace {

using Lines = std::vector<std::string>;
constexpr uint32_t reinit_clock = 0xffff0004;

bool is(const ConfigEntry* row, InitRoutine r) { return row->routine == r; }

// Entry message each routine passes ("mem init, " + its name + newline but
// for three routines that pass another text).
std::string entry_of(const ConfigEntry* row) {
    if (is(row, meminit_varnel_EDD2516AETA_5B)) return "mem init, meminit_varnel_EDD2516AETA_5B \n";
    if (is(row, meminit_varnel_high_1down_V58C2128164SBI5_2))
        return "mem init, meminit_varnel_high_1down_V58C2128164SBI5\n";
    if (is(row, meminit_varnel_common_NT5DS16M16CS_5T_HY5DU561622ETP_D43_MT46V16M16P_5B))
        return "mem init, meminit_varnel_common_NT5DS16M16CS-5T_HY5DU561622ETP-D43_MT46V16M16P-5B\n";
    if (is(row, meminit_varnel_K4D551638F_TC40_2)) return "mem init, meminit_varnel_K4D551638F_TC40\n";
    return std::string("mem init, ") + routine_name(row->routine) + "\n";
}

TEST(VarnelSweep, EveryIdAndClockRunsToASaneEnd) {
    const ConfigTable t = family_table(Family::varnel);
    std::vector<uint32_t> ids = {0x3000006, 0xffffffff, 0x7000001};
    for (uint32_t i = 0; i < t.count; ++i) ids.push_back(t.rows[i].id);
    std::vector<uint32_t> clocks = {reinit_clock, 0xffff0003};
    for (uint32_t c = 0; c <= 13; ++c) clocks.push_back(c);
    for (uint32_t id : ids) {
        bool matched = false;
        const ConfigEntry* row = lookup(t, id, &matched);
        for (uint32_t clock : clocks) {
            SCOPED_TRACE(::testing::Message() << std::hex << "id 0x" << id << " clock 0x" << clock);
            const RunResult r = run(id, clock, 0, random_chip(id, clock));
            const MemInitParams& p = r.record;
            const bool reinit = is(row, meminit_varnel_high_1down_K4D551638F_TC40) && clock == reinit_clock;
            const bool unsupported =
                is(row, meminit_varnel_high_1down_K4H561638H) && (p.clock_index == 10 || p.clock_index == 11);
            ASSERT_FALSE(messages(r).empty());
            EXPECT_EQ(messages(r)[0], entry_of(row));
            EXPECT_EQ(r.ret, unsupported ? 0 : 1);
            EXPECT_EQ(p.mem_clock_khz, reinit ? 25000u : 182250u);
            const uint32_t s = p.mem_size_out;
            EXPECT_TRUE(s == row->size || s == row->size / 2 || s == row->size / 4 || (reinit && s == 64 * MiB)) << s;
            EXPECT_EQ(p.map_value, s == 32 * MiB ? 5u : s == 16 * MiB ? 6u : row->map);
            EXPECT_EQ(r.commands, unsupported ? 0u : 10u);
            if (!reinit) {
                // The standard sequence never returns the command interface to idle.
                for (uint32_t code : stores_to(r, 0x820)) EXPECT_NE(code, 0u);
                EXPECT_EQ(stores_to(r, 0x000).size(), unsupported ? 0u : 2u);
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Forms and sizes.
// ---------------------------------------------------------------------------

// First 0x810 value: bit 28 set means the half-width form ran.
bool half_width(const RunResult& r) {
    const auto cfg = stores_to(r, 0x810);
    return !cfg.empty() && (cfg[0] & reg::drc_cfg::half_width) != 0;
}

TEST(VarnelForms, AlternateClockSetsPerRoutine) {
    struct Case {
        uint32_t id;
        uint32_t caller_clock;
        bool half;
    };
    const Case cases[] = {
        // HY5DU281622ETP_5 takes 7..11, HY5DU561622CT_4 only 10 and 11.
        {0x3000047, 7, true},
        {0x3000047, 9, true},
        {0x3000047, 12, false},
        {0x300004b, 7, false},
        {0x300004b, 9, false},
        {0x300004b, 10, true},
        // Adjusted rows: the caller's 5 and 6 arrive as 10 and 11.
        {0x3000099, 5, false},
        {0x3000099, 11, true},
        {0x300002c, 5, true},
        {0x300002c, 6, true},
        {0x3000002, 9, false},
        {0x3000002, 12, false},
        {0x3000002, 0xffff0003, false},
        {0x3000002, 10, true},
        // EDD1216AATA_5B: 7..11, so every caller value but 0; 5C only 5, 6, 10, 11.
        {0x3000052, 0, false},
        {0x3000052, 1, true},
        {0x3000052, 4, true},
        {0x3000052, 9, true},
        {0x3000061, 4, false},
        {0x3000061, 7, false},
        {0x3000061, 5, true},
        {0x3000061, 11, true},
        // UCCC has no re-initialisation: 0xffff0004 is its default form.
        {0x3000014, reinit_clock, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << "id 0x" << c.id << " clock 0x" << c.caller_clock);
        const RunResult r = run(c.id, c.caller_clock);
        EXPECT_EQ(half_width(r), c.half);
        // The second lane stays off in the half-width form: only bit 0 is set.
        const auto lane1 = stores_to(r, 0x864);
        ASSERT_FALSE(lane1.empty());
        EXPECT_EQ(lane1.back() & 3u, c.half ? 1u : 2u);
    }
}

TEST(VarnelForms, SizeRulesAndMapValue) {
    struct Case {
        uint32_t id;
        uint32_t caller_clock;
        uint32_t size;
        uint32_t map;
    };
    const Case cases[] = {
        {0x3000099, 10, 32 * MiB, 5}, {0x3000099, 9, 64 * MiB, 4},   // half width halves with Bus 1
        {0x30000bd, 10, 64 * MiB, 4},                                // Bus 0: no halving
        {0x3000044, 5, 16 * MiB, 6},  {0x3000044, 12, 32 * MiB, 5},  // 32 MiB row
        {0x3000010, 6, 32 * MiB, 5},  {0x3000010, 5, 16 * MiB, 6},
        {0x3000010, 7, 16 * MiB, 6},  {0x3000011, 6, 32 * MiB, 5},
        {0x3000011, 0, 16 * MiB, 6},  {0x3000006, 3, 16 * MiB, 6},
        {0x3000000, 5, 32 * MiB, 5},  {0x3000000, 6, 64 * MiB, 4},
        {0x3000000, 11, 16 * MiB, 6},  // default row: quarter but at 5 and 6
        {0x3000004, 5, 32 * MiB, 5},  {0x3000004, 6, 64 * MiB, 5},
        {0x3000004, 7, 16 * MiB, 6},  {0x3000001, 10, 16 * MiB, 6},
        {0x3000001, 11, 32 * MiB, 5}, {0x3000001, 12, 16 * MiB, 6},
        {0x3000001, 6, 64 * MiB, 4},  {0x30000b0, 10, 32 * MiB, 5},
        {0x30000f5, 10, 16 * MiB, 6},  // EM6 all, ESMT halved by Bus
        {0x3000053, 10, 16 * MiB, 6}, {0x3000053, reinit_clock, 64 * MiB, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << "id 0x" << c.id << " clock 0x" << c.caller_clock);
        const RunResult r = run(c.id, c.caller_clock);
        EXPECT_EQ(r.record.mem_size_out, c.size);
        EXPECT_EQ(r.record.map_value, c.map);
    }
}

TEST(VarnelForms, ConfigurationWordPerForm) {
    using W = std::vector<uint32_t>;
    EXPECT_EQ(stores_to(run(0x3000099, 9), 0x810), (W{0x2ea0936, 0xc2ea0936, 0x2ea0936}));
    EXPECT_EQ(stores_to(run(0x3000099, 10), 0x810), (W{0x12ea0936, 0xd2ea0936, 0x12ea0936}));
    EXPECT_EQ(stores_to(run(0x3000010, 0), 0x810), (W{0xc28a0932, 0x28a0932}));
    EXPECT_EQ(stores_to(run(0x3000011, 0), 0x810), (W{0xc2ea0932, 0x2ea0932}));
    // The alternate form of TC40_2 writes the pulse bits at set-up and ends without a pulse.
    const RunResult alt = run(0x3000001, 10);
    EXPECT_EQ(stores_to(alt, 0x810), (std::vector<uint32_t>{0xd2ea0936, 0x12ea0936}));
    EXPECT_EQ(trace_of(alt).back(), "W 58 11000eff");
    EXPECT_TRUE(contains_run(run(0x3000001, 9), {"W 810 c2ea0936", "T 5", "W 810 2ea0936", "T 5"}));
    // 0x050 per form.
    EXPECT_EQ(stores_to(run(0x3000001, 10), 0x050), (std::vector<uint32_t>{0xf006704}));
    EXPECT_EQ(stores_to(run(0x3000001, 9), 0x050), (std::vector<uint32_t>{0xf006700}));
}

TEST(VarnelForms, TickWaitsAfterLaneSetUp) {
    // Ticks between the 0x880 read-back and the controller reset.
    auto s24 = [](const RunResult& r) {
        const auto c = accesses(r);
        size_t i = 0;
        while (c[i].rfind("R 880", 0) != 0 || c[i - 1].rfind("W 880", 0) != 0) ++i;
        size_t n = 0;
        while (c[++i] == "T 1") ++n;
        EXPECT_EQ(c[i], "W 800 f");
        return n;
    };
    EXPECT_EQ(s24(run(0x300004e, 9)), 1u);  // V58C2128164SBI5_2: 1 / 2
    EXPECT_EQ(s24(run(0x300004e, 10)), 2u);
    EXPECT_EQ(s24(run(0x3000099, 10)), 1u);
    EXPECT_EQ(s24(run(0x30000bd, 0)), 2u);
    EXPECT_EQ(s24(run(0x3000061, 0)), 2u);  // EDD1216AATA_5C
    EXPECT_EQ(s24(run(0x30000f5, 0)), 2u);  // ESMT
}

TEST(VarnelForms, EarlyBit17OnlyWhereMarked) {
    // The early 0x43c enable sits right after the last pad word of the controller set-up.
    auto early = [](const RunResult& r) {
        const Lines c = accesses(r);
        for (size_t i = 0; i + 1 < c.size(); ++i)
            if (c[i] == "W 89c 80808080") return c[i + 1] == "R 43c 0" && c[i + 2] == "W 43c 20000";
        return false;
    };
    EXPECT_TRUE(early(run(0x3000020, 0)));  // MT46V16M16BG_5B
    EXPECT_FALSE(early(run(0x3000099, 0)));
    EXPECT_TRUE(early(run(0x3000002, 0)));
    EXPECT_FALSE(early(run(0x30000f5, 0)));  // ESMT leaves it out
    EXPECT_TRUE(early(run(0x30000b0, 0)));
    EXPECT_TRUE(early(run(0x3000001, 10)));
}

// Routines whose rows never carry Mode 1: called directly to see the rule.
TEST(VarnelForms, ModeFlagRule) {
    auto first_058 = [](InitRoutine routine, uint32_t mode_flag) {
        const RunResult r = sim::run_routine(routine, routine_record(0, 64 * MiB, 0, mode_flag));
        const auto s = stores_to(r, 0x058);
        return s.empty() ? 0u : s.front();
    };
    EXPECT_EQ(first_058(meminit_varnel_high_1down_HYB25D128160CE_5, 1), 0x11000000u);
    EXPECT_EQ(first_058(meminit_varnel_high_1down_V58C2256164SCI5, 1), 0x13000000u);
    EXPECT_EQ(first_058(meminit_varnel_low_EDD1216AATA, 1), 0x11000000u);
    EXPECT_EQ(first_058(meminit_varnel_high_EDD1216AATA, 1), 0x11000000u);
    EXPECT_EQ(first_058(meminit_varnel_K4D551638F_TC40_2, 1), 0x11000000u);
    EXPECT_EQ(first_058(meminit_varnel_high_1down_ESMT_121, 1), 0x13000000u);
    EXPECT_EQ(stores_to(run(0x3000008, 0), 0x058)[0], 0x13000000u);  // the TC40 row with Mode 1
    EXPECT_EQ(stores_to(run(0x3000007, 0), 0x058)[0], 0x11000000u);
}

TEST(VarnelForms, Register47cSelects400) {
    sim::ChipConfig chip;
    chip.presets[0x47c] = 0x80;
    EXPECT_EQ(stores_to(run(0x3000099, 0, 0, chip), 0x400), (std::vector<uint32_t>{0xfdc}));
    EXPECT_EQ(stores_to(run(0x3000099, 0), 0x400), (std::vector<uint32_t>{0x390}));
}

// ---------------------------------------------------------------------------
// Frame-buffer check outcomes.
// ---------------------------------------------------------------------------

sim::ChipConfig corrupt(int slot) {
    sim::ChipConfig c;
    c.fb_corrupt[slot] = 1;
    return c;
}

TEST(VarnelCheck, WrongFirstWordStopsAfterNineSteps) {
    const RunResult r = run(0x3000099, 0, 0, corrupt(0));
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(stores_to(r, 0x870), (std::vector<uint32_t>{0x4, 0x14, 0}));
    const Lines c = accesses(r);
    EXPECT_EQ(Lines(c.end() - 2, c.end()), (Lines{"R 874 12345679", "M 2"}));
    EXPECT_EQ(messages(r).size(), 1u);
}

TEST(VarnelCheck, WrongSecondWordFailsAfterTwelve) {
    const RunResult r = run(0x3000002, 0, 0, corrupt(1));
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(stores_to(r, 0x870), (std::vector<uint32_t>{0x4, 0x14, 0, 0x10}));
    const Lines c = accesses(r);
    EXPECT_EQ(Lines(c.end() - 2, c.end()), (Lines{"R 874 87654320", "M 2"}));
    EXPECT_EQ(messages(r).size(), 1u);
}

TEST(VarnelCheck, UcccReportsWrongWordsInDefaultForm) {
    {
        const Lines c = accesses(run(0x3000014, 0, 0, corrupt(0)));
        EXPECT_EQ(
            Lines(c.end() - 4, c.end()),
            (Lines{"R 874 12345679", "M 2", "X Frame Buffer Read/Write using Register test client 0x12345678 failed\n",
                   "X expected 0x12345678, actual 0x12345679\n"}));
    }
    {
        const RunResult r = run(0x3000014, 0, 0, corrupt(1));
        EXPECT_EQ(r.ret, 0);
        const Lines c = accesses(r);
        EXPECT_EQ(
            Lines(c.end() - 4, c.end()),
            (Lines{"R 874 87654320", "M 2", "X Frame Buffer Read/Write using Register test client 0x87654321 failed\n",
                   "X expected 0x87654321, actual 0x87654320\n"}));
    }
    // The half-width form fails silently.
    const RunResult alt = run(0x3000014, 10, 0, corrupt(1));
    EXPECT_EQ(alt.ret, 0);
    EXPECT_EQ(messages(alt), (std::vector<std::string>{"mem init, meminit_varnel_high_1down_K4H561638H_UCCC\n"}));
}

TEST(VarnelCheck, Lc50DefaultFormEndsWithTickWaits) {
    const Lines tail_ticks = {"W 870 10", "T 1", "W 878 0", "T 1", "R 874 87654321", "T 1"};
    const Lines tail_ms = {"W 870 10", "M 2", "W 878 0", "M 2", "R 874 87654321", "M 2"};
    const Lines d = accesses(run(0x30000a1, 0));
    EXPECT_EQ(Lines(d.end() - 6, d.end()), tail_ticks);
    const Lines a = accesses(run(0x30000a1, 8));  // 7..11: half width
    EXPECT_EQ(Lines(a.end() - 6, a.end()), tail_ms);
}

TEST(VarnelCheck, EndingsWithoutCheck) {
    for (uint32_t id : {0x3000010u, 0x3000011u, 0x3000004u, 0x3000000u, 0x3000001u}) {
        const RunResult r = run(id, 0, 0, corrupt(0));
        EXPECT_EQ(r.ret, 1) << std::hex << id;
        EXPECT_EQ(loads_of(r, 0x874), 0u);
        EXPECT_TRUE(stores_to(r, 0x870).empty());
    }
    EXPECT_EQ(run(0x30000b0, 0, 0, corrupt(1)).ret, 0);  // EM6 checks
    EXPECT_EQ(run(0x30000f5, 0, 0, corrupt(0)).ret, 0);  // ESMT checks
}

// ---------------------------------------------------------------------------
// Failing primitives and time-outs.
// ---------------------------------------------------------------------------

sim::ChipConfig unstable(uint32_t off) {
    sim::ChipConfig c;
    c.unstable.insert(off);
    return c;
}

TEST(VarnelChecked, UnsettledReadEndsWithMinusOneAtOnce) {
    {
        // The very first access.
        const RunResult r = run(0x3000002, 0, 0, unstable(0x43c));
        EXPECT_EQ(r.ret, -1);
        EXPECT_TRUE(stores(r).empty());
        EXPECT_EQ(r.events.back().kind, sim::EventKind::load);
        EXPECT_EQ(r.record.mem_clock_khz, 182250u);
        EXPECT_EQ(r.record.mem_size_out, 64 * MiB);
    }
    {
        // Inside the first command's poll.
        const RunResult r = run(0x3000014, 0, 0, unstable(0x828));
        EXPECT_EQ(r.ret, -1);
        EXPECT_EQ(r.commands, 1u);
        EXPECT_EQ(r.events.back().off, 0x828u);
    }
    {
        // 0x880 read in the lane set-up: nothing follows, not even the tick wait.
        const RunResult r = run(0x3000060, 0, 0, unstable(0x880));
        EXPECT_EQ(r.ret, -1);
        EXPECT_EQ(r.events.back().kind, sim::EventKind::load);
        EXPECT_EQ(r.commands, 0u);
    }
    {
        // The check's read-back: no delay after it.
        const RunResult r = run(0x3000061, 0, 0, unstable(0x874));
        EXPECT_EQ(r.ret, -1);
        EXPECT_EQ(r.events.back().off, 0x874u);
        EXPECT_EQ(r.events.back().kind, sim::EventKind::load);
    }
    {
        const RunResult r = run(0x3000002, reinit_clock, 0, unstable(0x818));
        EXPECT_EQ(r.ret, -1);
        EXPECT_EQ(r.events.back().off, 0x818u);
        EXPECT_EQ(r.record.mem_clock_khz, 25000u);
    }
}

TEST(VarnelChecked, DirectRoutinesRideOverUnsettledReads) {
    const RunResult r = run(0x3000099, 0, 0, unstable(0x43c));
    EXPECT_EQ(r.ret, 1);
    EXPECT_EQ(r.commands, 10u);
}

TEST(VarnelChecked, StuckCommandReturnsZeroAtOnce) {
    sim::ChipConfig chip;
    chip.cmd_stuck_at = 3;
    for (uint32_t id : {0x3000099u, 0x3000002u, 0x3000010u}) {
        const RunResult r = run(id, 0, 0, chip);
        EXPECT_EQ(r.ret, 0) << std::hex << id;
        EXPECT_EQ(r.commands, 3u);
        EXPECT_EQ(r.events.back().off, 0x828u);
        EXPECT_EQ(r.events.back().kind, sim::EventKind::load);
    }
    const RunResult re = run(0x3000002, reinit_clock, 0, chip);
    EXPECT_EQ(re.ret, 0);
    EXPECT_EQ(re.commands, 3u);
    EXPECT_EQ(re.events.back().off, 0x828u);
}

// ---------------------------------------------------------------------------
// Re-initialisation and unsupported clocks.
// ---------------------------------------------------------------------------

// The controller-only sequence written out on a plain register file from
// `presets`: every field write keeps the bits outside its field.
Lines reinit_expected(const std::map<uint32_t, uint32_t>& presets) {
    RegisterModel m(presets);
    m.x("mem init, meminit_varnel_high_1down_K4D551638F_TC40\n");
    m.rmw(0x43c, reg::blk_43c::enable, 0);
    m.w(0x000, 0xffffffff);
    m.r(0x000);
    reinit_steps(m, {.lanes = {0x860, 0x864},
                     .cfg_kept = reg::drc_cfg::reinit_kept | 0x26a0936,
                     .cfg = 0x26a0936,
                     .drc_818_kept = 0,
                     .drc_818 = 0x11222104,
                     .drc_81c_clear = reg::drc_81c::reinit_cleared,
                     .cmd_field = dram::code_fields_with_bit2,
                     .cmds = {{0x20000, 0x3171},
                              {0x27100000, 0x31f1},
                              {0x10400, 0x30a1},
                              {0x10000, 0x1081},
                              {0x20122, 0x81},
                              {0x20400, 0xa1},
                              {0x10000, 0x91},
                              {0x40000, 0x91},
                              {0x40022, 0x81},
                              {0x20000, 0x1f3}},
                     .cleared_cmds = 7});
    for (uint32_t off : {0x840u, 0x844u}) m.w(off, 0x44444444);
    for (uint32_t off : {0x8a0u, 0x8a4u}) m.w(off, 0xcccccccc);
    m.r(0x43c);
    m.w(0x43c, 0x30000);
    return m.lines;
}

TEST(VarnelReinit, ControllerOnlySequenceOnRandomRegisters) {
    const sim::ChipConfig chip = random_chip(0x3000002, reinit_clock);
    const RunResult r = run(0x3000002, reinit_clock, 0, chip);
    EXPECT_EQ(r.ret, 1);
    EXPECT_EQ(r.record.mem_clock_khz, 25000u);
    EXPECT_TRUE(same_traffic(accesses(r), reinit_expected(chip.presets)));
    EXPECT_TRUE(same_traffic(accesses(run(0x3000002, reinit_clock)), reinit_expected({})));
}

TEST(VarnelReinit, ControllerOnlySequence) {
    const RunResult r = run(0x3000002, reinit_clock);
    EXPECT_EQ(r.ret, 1);
    EXPECT_EQ(r.record.mem_clock_khz, 25000u);
    EXPECT_EQ(r.record.mem_size_out, 64 * MiB);
    Lines want = {
        "X mem init, meminit_varnel_high_1down_K4D551638F_TC40\n",
        "R 43c 0",
        "W 43c 0",
        "W 0 ffffffff",
        "R 0 ffffffff",
        "T 100",
        "R 0 ffffffff",
        "W 0 ffffffef",
        "R 890 0",
        "W 890 4",
        "R 860 0",
        "W 860 2",
        "R 864 0",
        "W 864 2",
        "R 880 0",
        "W 880 2",
        "R 810 0",
        "W 810 26a0936",
        "R 814 0",
        "W 814 1860413",
        "R 818 0",
        "W 818 11222104",
        "R 81c 0",
        "W 81c 21",
        "T 20",
    };
    const char* cmds[10][3] = {
        {"20000", "0", "3171"}, {"27100000", "0", "31f1"}, {"10400", "0", "30a1"}, {"10000", "0", "1081"},
        {"20122", "0", "81"},   {"20400", "0", "a1"},      {"10000", "0", "91"},   {"40000", "0", "91"},
        {"40022", "91", "81"},  {"20000", "81", "1f3"},
    };
    const char* prev_word = "0";
    for (int i = 0; i < 10; ++i) {
        want.push_back("R 828 1");
        want.push_back(std::string("R 824 ") + prev_word);
        want.push_back(std::string("W 824 ") + cmds[i][0]);
        want.push_back(std::string("R 820 ") + cmds[i][1]);
        want.push_back(std::string("W 820 ") + cmds[i][2]);
        want.push_back("T 20");
        if (i < 7) want.push_back("W 820 0");
        prev_word = cmds[i][0];
    }
    for (const char* s : {"W 800 0", "T 20", "W 840 44444444", "W 844 44444444", "W 8a0 cccccccc", "W 8a4 cccccccc",
                          "R 43c 0", "W 43c 30000"})
        want.push_back(s);
    EXPECT_TRUE(same_traffic(accesses(r), want));
}

TEST(VarnelReinit, KeepsHighBitsOfWordAndCode) {
    sim::ChipConfig chip;
    chip.presets[0x824] = 0xffffffff;
    chip.presets[0x820] = 0xffffffff;
    chip.presets[0x810] = 0xffffffff;
    const RunResult r = run(0x3000053, reinit_clock, 0, chip);
    EXPECT_EQ(commands(r)[0], (Command{0xffffff79, 0x2e000}));
    EXPECT_EQ(stores_to(r, 0x810), (std::vector<uint32_t>{0xcaeae9b6 | 0x26a0936}));
    EXPECT_EQ(r.record.map_value, 5u);  // row's Map: 64 MiB is reported whatever the row says
}

TEST(VarnelUnsupported, K4hClocks10And11TouchNothing) {
    for (uint32_t clock : {10u, 11u}) {
        const RunResult r = run(0x3000012, clock);
        EXPECT_EQ(r.ret, 0);
        EXPECT_EQ(r.record.mem_clock_khz, 182250u);
        EXPECT_EQ(r.record.mem_size_out, clock == 10 ? 16 * MiB : 32 * MiB);
        EXPECT_EQ(r.record.map_value, clock == 10 ? 6u : 5u);
        EXPECT_TRUE(same_traffic(trace_of(r), (Lines{"X mem init, meminit_varnel_high_1down_K4H561638H\n",
                                                     "X Don't support this power mode yet\n"})));
    }
}

}  // namespace
}  // namespace tov::test::varnel_routines_test
