// SPDX-License-Identifier: Apache-2.0
// Configuration dispatch: classification, lookup, clock remapping, the second
// family's fixed clocks, defaults and the untouched record outside the families.
#include <cstring>
#include <set>
#include <string>

#include "meminit/entry/config_table.h"
#include "meminit/hw/access.h"
#include "tests/harness.h"
#include "tests/table_facts.h"

namespace tov::test::dispatch_test {
namespace {

bool same_record(const MemInitParams& a, const MemInitParams& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string routine_for(uint32_t id) {
    const ConfigTable t = family_table(classify(id));
    bool matched = false;
    const ConfigEntry* row = lookup(t, id, &matched);
    return row ? routine_name(row->routine) : "";
}

TEST(Dispatch, ClassifiesByFamilyBits) {
    struct Case {
        uint32_t id;
        Family f;
    } const cases[] = {
        {0x0, Family::halden},        {0x3e, Family::halden},       {0xffff, Family::halden},
        {0x04000005, Family::halden}, {0x0c000000, Family::halden}, {0x1000000, Family::orlit},
        {0x0500007f, Family::orlit},  {0x3000099, Family::varnel},  {0x30000ff, Family::varnel},
        {0xffffffff, Family::varnel}, {0x40000000, Family::varnel}, {0x10000, Family::none},
        {0xff0000, Family::none},     {0x1010005, Family::none},    {0x2000000, Family::none},
        {0x2ff0000, Family::none},    {0x06ff0000, Family::none},
    };
    for (const Case& c : cases) EXPECT_EQ(classify(c.id), c.f) << std::hex << c.id;
}

TEST(Dispatch, TablesAreCompleteAndConsistent) {
    std::set<std::string> routines;
    const struct {
        Family f;
        uint32_t first_id;
        const char* first_routine;
    } fams[] = {{Family::halden, 0x0, "meminit_halden_K4H561638F_TCCC"},
                {Family::orlit, 0x1000000, "meminit_orlit_K4H561638F_UCCC"},
                {Family::varnel, 0x3000000, "meminit_varnel_K4D551638F_TC40"}};
    for (const auto& fam : fams) {
        const ConfigTable t = family_table(fam.f);
        ASSERT_GT(t.count, 0u);
        EXPECT_EQ(t.rows[0].id, fam.first_id);
        EXPECT_STREQ(routine_name(t.rows[0].routine), fam.first_routine);
        std::set<uint32_t> ids;
        for (uint32_t i = 0; i < t.count; ++i) {
            const ConfigEntry& e = t.rows[i];
            EXPECT_TRUE(ids.insert(e.id).second) << "duplicate id " << std::hex << e.id;
            EXPECT_EQ(classify(e.id), fam.f) << std::hex << e.id;
            EXPECT_LE(e.clock_adjust, 1u);
            EXPECT_LE(e.bus, 1u);
            EXPECT_LE(e.mode, 1u);
            EXPECT_TRUE(e.size == 16 * MiB || e.size == 32 * MiB || e.size == 64 * MiB || e.size == 128 * MiB);
            if (fam.f == Family::halden) EXPECT_EQ(e.map, 1u);
            if (fam.f == Family::orlit) EXPECT_EQ(e.map, 2u);
            if (fam.f == Family::varnel) EXPECT_TRUE(e.map >= 4 && e.map <= 6);
            const std::string name = routine_name(e.routine);
            EXPECT_EQ(name.find(fam.f == Family::halden  ? "meminit_halden_"
                                : fam.f == Family::orlit ? "meminit_orlit_"
                                                         : "meminit_varnel_"),
                      0u)
                << name;
            routines.insert(name);
        }
    }
    EXPECT_EQ(routines.size(), facts::routine_count) << "every init routine is reachable from a table";
}

TEST(Dispatch, SpotChecksRowsAgainstTheirRoutines) {
    EXPECT_EQ(routine_for(0x12), "meminit_halden_id12");
    EXPECT_EQ(routine_for(0x3e), "meminit_halden_id3b");
    EXPECT_EQ(routine_for(0x100007f), "meminit_orlit_id7d");
    EXPECT_EQ(routine_for(0x1000076), "meminit_orlit_Common_NT5DS16M16CS_5T_K4D551638F_LC50");
    EXPECT_EQ(routine_for(0x3000099), "meminit_varnel_high_1down_V58C2256164SCI5");
    EXPECT_EQ(routine_for(0x30000bd), "meminit_varnel_EDD2516AETA_5B");
    // No row: the family's row 0.
    EXPECT_EQ(routine_for(0x04000005), "meminit_halden_K4H561638F_TCCC");
    EXPECT_EQ(routine_for(0x1000008), "meminit_orlit_K4H561638F_UCCC");
    EXPECT_EQ(routine_for(0x05000002), "meminit_orlit_K4H561638F_UCCC");
    EXPECT_EQ(routine_for(0xffffffff), "meminit_varnel_K4D551638F_TC40");
}

TEST(Dispatch, RemapsClockIndexOnAdjustRowsOnly) {
    // Row 0x10 has Adjust set: 0 -> 5, 1 and 2 -> 7, 3..6 -> 8..11, the rest unchanged.
    const uint32_t in[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 0xffff0001, 0xffff0004};
    const uint32_t out[] = {5, 7, 7, 8, 9, 10, 11, 7, 8, 13, 0xffff0001, 0xffff0004};
    for (size_t i = 0; i < std::size(in); ++i) {
        EXPECT_EQ(run(0x10, in[i]).record.clock_index, out[i]) << in[i];
        EXPECT_EQ(run(0x3000015, in[i]).record.clock_index, out[i]) << in[i];  // third family too
    }
    // Adjust 0, or no matching row (default row, whatever its Adjust): unchanged.
    for (uint32_t c : {0u, 1u, 6u, 0xffff0001u}) {
        EXPECT_EQ(run(0x5, c).record.clock_index, c);
        EXPECT_EQ(run(0x04000010, c).record.clock_index, c) << "bit 26 set: no row matches";
        EXPECT_EQ(run(0x1000008, c).record.clock_index, c);
    }
}

TEST(Dispatch, SecondFamilyFixedClocks) {
    for (uint32_t c : {0u, 1u, 5u, 11u, 0xffff0004u}) {
        EXPECT_EQ(run(0x1000002, c).record.clock_index, 10u) << c;
        EXPECT_EQ(run(0x1000003, c).record.clock_index, 10u) << c;
        EXPECT_EQ(run(0x1000076, c).record.clock_index, 12u) << c;
    }
    // Only on a real match: 0x5000002 falls to row 0 and keeps the caller's value.
    EXPECT_EQ(run(0x5000002, 3).record.clock_index, 3u);
}

TEST(Dispatch, CopiesTheRowIntoTheRecord) {
    struct Case {
        uint32_t id;
        uint32_t size, bus, mode, map;
    } const cases[] = {
        {0x0, 128 * MiB, 1, 0, 1},        {0x30, 128 * MiB, 1, 1, 1},     {0x2c, 32 * MiB, 0, 0, 1},
        {0x04000005, 128 * MiB, 1, 0, 1}, {0x1000018, 16 * MiB, 0, 1, 2}, {0x100004a, 32 * MiB, 0, 0, 2},
        {0x1000008, 64 * MiB, 1, 1, 2},   {0x30000bd, 64 * MiB, 0, 0, 4}, {0x3000018, 128 * MiB, 1, 1, 4},
    };
    for (const Case& c : cases) {
        const RunResult r = run(c.id, 7);
        EXPECT_EQ(r.record.mem_size, c.size) << std::hex << c.id;
        EXPECT_EQ(r.record.bus_flag, c.bus) << std::hex << c.id;
        EXPECT_EQ(r.record.mode_flag, c.mode) << std::hex << c.id;
        if (classify(c.id) != Family::varnel) EXPECT_EQ(r.record.map_value, c.map) << std::hex << c.id;
        EXPECT_EQ(r.record.config_id, c.id);
    }
}

TEST(Dispatch, IdsOutsideTheFamiliesTouchNothing) {
    for (uint32_t id : {0x10000u, 0xff0000u, 0x1010005u, 0x2000000u, 0x2ff0000u}) {
        for (uint32_t clock : {0u, 1u, 10u}) {
            const RunResult r = run(id, clock, 2);
            EXPECT_EQ(r.ret, 0);
            EXPECT_TRUE(r.events.empty()) << std::hex << id;
            EXPECT_TRUE(same_record(r.record, sim::initial_record(id, clock, 2))) << std::hex << id;
        }
    }
}

TEST(Dispatch, RefusesARecordWithoutRegisters) {
    EXPECT_EQ(tov_mem_init(nullptr), 0);
    sim::Simulator s;
    MemInitParams p = sim::initial_record(0x3000099, 10, 0);
    const MemInitParams before = p;
    EXPECT_EQ(tov_mem_init(&p), 0);  // reg_ctx null
    EXPECT_TRUE(same_record(p, before));
    RegContext no_base{0, sim::Simulator::aux_base};
    p.reg_ctx = &no_base;
    const MemInitParams with_ctx = p;
    EXPECT_EQ(tov_mem_init(&p), 0);
    EXPECT_TRUE(same_record(p, with_ctx));
    EXPECT_TRUE(s.events().empty());
}

TEST(Dispatch, ReservedWordsAndConfigSurviveEveryRow) {
    for (Family f : {Family::halden, Family::orlit, Family::varnel}) {
        const ConfigTable t = family_table(f);
        for (uint32_t i = 0; i < t.count; ++i) {
            const RunResult r = run(t.rows[i].id, 3, 1);
            for (uint32_t w : r.record.reserved_a) EXPECT_EQ(w, sim::fill_word);
            for (uint32_t w : r.record.reserved_b) EXPECT_EQ(w, sim::fill_word);
            EXPECT_EQ(r.record.config_id, t.rows[i].id);
            EXPECT_EQ(r.record.power_mode, 1u);
        }
    }
}

}  // namespace
}  // namespace tov::test::dispatch_test

namespace tov::test::dispatch_test {
namespace {

TEST(DispatchMapValue, ThirdFamilyFollowsTheReportedSize) {
    const struct {
        uint32_t id, clock, size_out, map;
    } cases[] = {
        // Row 0x3000044 (32 MiB, Bus 1, Map 6): half width reports 16 MiB, full width 32 MiB.
        {0x3000044, 10, 16 * MiB, 6},
        {0x3000044, 13, 32 * MiB, 5},
        // 64 MiB keeps the row's Map, 4 or 5; the default routine's quarter size maps to 6.
        {0x3000000, 6, 64 * MiB, 4},
        {0x3000000, 0, 16 * MiB, 6},
        {0x3000013, 13, 64 * MiB, 5},
    };
    for (const auto& c : cases) {
        const RunResult r = run(c.id, c.clock);
        EXPECT_EQ(r.record.mem_size_out, c.size_out) << std::hex << c.id << " clock " << c.clock;
        EXPECT_EQ(r.record.map_value, c.map) << std::hex << c.id << " clock " << c.clock;
    }
    // The rule applies whatever the routine returned.
    sim::ChipConfig bad;
    bad.fb_corrupt[0] = 1;
    RunResult r = run(0x3000099, 10, 0, bad);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.record.mem_size_out, 32 * MiB);
    EXPECT_EQ(r.record.map_value, 5u);
    // The other families keep the row's Map even at 32 or 16 MiB.
    r = run(0x1000018, 13);
    EXPECT_EQ(r.record.map_value, 2u);
    r = run(0x28, 13);
    EXPECT_EQ(r.record.mem_size_out, 32 * MiB);
    EXPECT_EQ(r.record.map_value, 1u);
}

TEST(DispatchTimeOut, AStuckCommandEndsTheBringUpCheaply) {
    // Per family: a command that never completes costs a bounded number of
    // loads, and the routine stops at the wait with result 0.
    const struct {
        uint32_t id, clock;
    } cases[] = {{0x3000099, 10}, {0x3000002, 3}, {0x1000001, 11}, {0x1000000, 0xffff0004}, {0x0, 0xffff0001}};
    for (const auto& c : cases) {
        const RunResult ok = run(c.id, c.clock);
        ASSERT_EQ(ok.ret, 1) << std::hex << c.id;
        sim::ChipConfig stuck;
        stuck.cmd_stuck_at = 3;
        const RunResult r = run(c.id, c.clock, 0, stuck);
        EXPECT_EQ(r.ret, 0) << std::hex << c.id;
        EXPECT_EQ(r.commands, 3u) << std::hex << c.id;
        ASSERT_FALSE(r.events.empty());
        EXPECT_EQ(r.events.back().kind, EventKind::load) << std::hex << c.id;
        EXPECT_EQ(r.events.back().off, 0x828u) << std::hex << c.id;
        size_t loads = 0;
        for (const Event& e : r.events) loads += e.kind == EventKind::load;
        EXPECT_LE(loads, 1000u + 200u) << std::hex << c.id;
        EXPECT_GE(r.end_time - r.start_time, done_wait_bound) << std::hex << c.id;
    }
}

}  // namespace
}  // namespace tov::test::dispatch_test

namespace tov::test::dispatch_test {
namespace {

// ---- dispatcher rules kept as data beside the tables ----

// The boards with one memory clock, as the data lists them and as the
// dispatcher applies them: whatever the caller asks, listed IDs only.
TEST(DispatchRules, FixedClocksAsListedAndApplied) {
    ASSERT_EQ(std::size(fixed_clocks), 3u);
    ASSERT_NE(fixed_clock_of(0x1000002), nullptr);
    EXPECT_EQ(fixed_clock_of(0x1000002)->clock_index, 10u);
    EXPECT_EQ(fixed_clock_of(0x1000003)->clock_index, 10u);
    EXPECT_EQ(fixed_clock_of(0x1000076)->clock_index, 12u);
    EXPECT_EQ(fixed_clock_of(0x1000004), nullptr);
    for (const FixedClock& f : fixed_clocks) {
        EXPECT_EQ(classify(f.id), Family::orlit);
        bool matched = false;
        lookup(family_table(Family::orlit), f.id, &matched);
        EXPECT_TRUE(matched) << std::hex << f.id;
        for (uint32_t c = 0; c <= 13; ++c) EXPECT_EQ(run(f.id, c).record.clock_index, f.clock_index) << c;
    }
    // Every other row of every family: the caller's clock, remapped where the row says so.
    for (Family fam : {Family::halden, Family::orlit, Family::varnel}) {
        const ConfigTable t = family_table(fam);
        for (uint32_t i = 0; i < t.count; ++i) {
            if (fixed_clock_of(t.rows[i].id)) continue;
            const uint32_t seen = run(t.rows[i].id, 3).record.clock_index;
            EXPECT_EQ(seen, t.rows[i].clock_adjust ? 8u : 3u) << std::hex << t.rows[i].id;
        }
    }
}

// The third family reports map 5 for 32 MiB and 6 for 16 MiB, whatever its
// row says; the other families always report their row's value.
TEST(DispatchRules, MapValueFollowsTheReportedSize) {
    EXPECT_EQ(map_by_size_family, Family::varnel);
    EXPECT_EQ(reported_map(Family::varnel, 4, 32 * MiB), 5u);
    EXPECT_EQ(reported_map(Family::varnel, 4, 16 * MiB), 6u);
    EXPECT_EQ(reported_map(Family::varnel, 4, 64 * MiB), 4u);
    EXPECT_EQ(reported_map(Family::orlit, 2, 32 * MiB), 2u);
    EXPECT_EQ(reported_map(Family::halden, 1, 16 * MiB), 1u);
    size_t five = 0, six = 0;
    for (Family fam : {Family::halden, Family::orlit, Family::varnel}) {
        const ConfigTable t = family_table(fam);
        for (uint32_t i = 0; i < t.count; ++i)
            for (uint32_t c : {0u, 7u, 10u, 11u}) {
                const RunResult r = run(t.rows[i].id, c);
                const uint32_t s = r.record.mem_size_out;
                uint32_t want = t.rows[i].map;
                if (fam == Family::varnel && s == 32 * MiB) want = 5, ++five;
                if (fam == Family::varnel && s == 16 * MiB) want = 6, ++six;
                EXPECT_EQ(r.record.map_value, want) << std::hex << t.rows[i].id << " clock " << c;
            }
    }
    EXPECT_GT(five, 0u);
    EXPECT_GT(six, 0u);
}

// Each family's reserved clock values select a sequence of their own in some
// routine of the family (not the one an ordinary out-of-range value selects),
// and a remapping row hands them on unchanged.
TEST(DispatchRules, ReservedClocksAreTheFamiliesOwn) {
    const uint32_t ordinary = 0xffff0000;
    std::set<uint32_t> all;
    for (Family fam : {Family::halden, Family::orlit, Family::varnel}) {
        const ClockList own = reserved_clocks(fam);
        ASSERT_GT(own.count, 0u);
        const ConfigTable t = family_table(fam);
        for (uint32_t c : own) {
            all.insert(c);
            bool special = false;
            std::set<InitRoutine> seen;
            for (uint32_t i = 0; i < t.count && !special; ++i) {
                if (!seen.insert(t.rows[i].routine).second || t.rows[i].clock_adjust) continue;
                special = trace_of(run(t.rows[i].id, c)) != trace_of(run(t.rows[i].id, ordinary));
            }
            EXPECT_TRUE(special) << std::hex << c << " selects nothing of its own";
            for (uint32_t i = 0; i < t.count; ++i)
                if (t.rows[i].clock_adjust && !fixed_clock_of(t.rows[i].id))
                    EXPECT_EQ(run(t.rows[i].id, c).record.clock_index, c) << std::hex << t.rows[i].id;
        }
    }
    EXPECT_EQ(all, (std::set<uint32_t>{0x1000000, 0xffff0001, 0xffff0002, 0xffff0003, 0xffff0004, 0xffff0005}));
    EXPECT_EQ(reserved_clocks(Family::none).count, 0u);
}

}  // namespace
}  // namespace tov::test::dispatch_test
