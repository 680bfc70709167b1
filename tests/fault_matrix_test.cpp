// SPDX-License-Identifier: Apache-2.0
// Every fault at every step: each routine, in each of its forms, with each
// DRAM command stuck in turn (and one past the last), and with each register
// it reads made unstable in turn, on a chip of random register contents.
// Every run keeps the invariants; a stuck
// command ends the bring-up within one wait bound of the wait that sees it;
// a status-checked routine returns -1 at the first read that never settles.
#include <algorithm>
#include <cstdio>
#include <set>

#include "meminit/hw/access.h"
#include "sim/invariants.h"
#include "tests/harness.h"
#include "tests/routine_forms.h"
#include "tests/table_facts.h"

namespace tov::test::fault_matrix_test {
namespace {

// Routines whose every register access is status-checked.
const std::set<std::string> status_checked = {
    "meminit_varnel_high_1down_K4D551638F_TC40",
    "meminit_varnel_high_1down_K4H561638H_UCCC",
    "meminit_varnel_high_1down_EDD1216AATA_5B",
    "meminit_varnel_high_1down_EDD1216AATA_5C",
};

// Offsets whose stable read takes the first of two loads: never unsettled.
bool read_twice_exempt(uint32_t off) { return off == 0x414 || off == 0x418 || off == 0x6130 || off == 0x6134; }

std::set<uint32_t> offsets_read(const RunResult& r) {
    std::set<uint32_t> out;
    for (const Event& e : r.events)
        if (e.kind == EventKind::load) out.insert(e.off);
    return out;
}

struct Count {
    size_t forms = 0;
    size_t stuck = 0;
    size_t unstable = 0;
    size_t total() const { return stuck + unstable; }
};

// The scenarios of one routine, without running them.
Count count_of(const std::vector<Form>& forms) {
    Count c;
    for (const Form& f : forms) {
        ++c.forms;
        c.stuck += f.healthy.commands + 1;
        c.unstable += offsets_read(f.healthy).size();
    }
    return c;
}

void expect_invariants(const sim::RunRequest& q, const RunResult& r) {
    for (const std::string& v : sim::check_invariants(q, r)) ADD_FAILURE() << v;
}

size_t bus_events_from(const RunResult& r, size_t from) {
    size_t n = 0;
    for (size_t i = from; i < r.events.size(); ++i)
        n += r.events[i].kind == EventKind::store || r.events[i].kind == EventKind::load ||
             r.events[i].kind == EventKind::aux_load;
    return n;
}

void stuck_commands(const Form& f) {
    const uint32_t last = f.healthy.commands;
    const auto healthy = trace_of(f.healthy);
    for (uint32_t n = 1; n <= last + 1; ++n) {
        SCOPED_TRACE("command " + std::to_string(n) + " stuck");
        const sim::RunRequest q = with_stuck_command(f, n);
        const RunResult r = sim::run_bring_up(q);
        expect_invariants(q, r);
        if (n > last) {
            // No such command: nothing changes.
            EXPECT_TRUE(same_traffic(trace_of(r), healthy));
            EXPECT_EQ(r.ret, f.healthy.ret);
            continue;
        }
        const long start = command_start(r, n);
        ASSERT_GE(start, 0);
        const long poll = first_status_load(r, static_cast<size_t>(start));
        if (poll < 0) {
            // Only a routine's last command may go unwatched; then the
            // fault is invisible and the run is the healthy one.
            EXPECT_EQ(n, last);
            EXPECT_TRUE(same_traffic(trace_of(r), healthy));
            EXPECT_EQ(r.ret, f.healthy.ret);
            continue;
        }
        EXPECT_EQ(r.ret, 0);
        EXPECT_EQ(r.commands, n) << "a command issued after the stuck one";
        const uint64_t seen_at = r.events[static_cast<size_t>(poll)].time;
        EXPECT_LE(r.end_time - seen_at, done_wait_bound + sim::ClockConfig::default_step);
        // Up to the stuck command the run is the healthy one.
        const auto t = trace_of(r);
        ASSERT_LE(static_cast<size_t>(start), healthy.size());
        EXPECT_TRUE(std::equal(t.begin(), t.begin() + start + 1, healthy.begin()));
    }
}

void unstable_registers(const Form& f, bool checked) {
    for (uint32_t off : offsets_read(f.healthy)) {
        char what[32];
        std::snprintf(what, sizeof what, "register %#x unstable", off);
        SCOPED_TRACE(what);
        sim::RunRequest q = f.req;
        q.chip.unstable = {off};
        const RunResult r = sim::run_bring_up(q);
        expect_invariants(q, r);
        if (!checked) {
            EXPECT_NE(r.ret, -1);
            continue;
        }
        if (read_twice_exempt(off)) continue;
        // The first read of the register is the one that fails, and the last
        // thing on the bus.
        EXPECT_EQ(r.ret, -1);
        size_t first = 0;
        while (first < r.events.size() && !(r.events[first].kind == EventKind::load && r.events[first].off == off))
            ++first;
        EXPECT_EQ(bus_events_from(r, first), stable_read_max_loads);
        EXPECT_EQ(loads_of(r, off), stable_read_max_loads);
    }
}

// A form's request on a chip of random register contents (a draw per ID,
// clock and power mode), with its healthy run there: every fault is then
// injected on that register file.
Form seeded(const Form& f) {
    Form s = f;
    s.req.chip = random_chip(f.req.config_id, f.req.clock_index, f.req.power_mode, f.req.chip);
    s.healthy = sim::run_bring_up(s.req);
    return s;
}

class FaultMatrix : public ::testing::TestWithParam<RoutineRow> {};

TEST_P(FaultMatrix, EveryFaultAtEveryStep) {
    const RoutineRow& rr = GetParam();
    const bool checked = status_checked.count(rr.name) != 0;
    const std::vector<Form> forms = forms_of(rr);
    ASSERT_FALSE(forms.empty());
    for (const Form& zero : forms) {
        const Form f = seeded(zero);
        EXPECT_EQ(f.healthy.ret, zero.healthy.ret) << "register contents change the outcome";
        EXPECT_EQ(f.healthy.commands, zero.healthy.commands);
        SCOPED_TRACE("clock_index " + std::to_string(f.req.clock_index) + ", power_mode " +
                     std::to_string(f.req.power_mode));
        expect_invariants(f.req, f.healthy);
        stuck_commands(f);
        unstable_registers(f, checked);
    }
    const Count c = count_of(forms);
    RecordProperty("forms", static_cast<int>(c.forms));
    RecordProperty("scenarios", static_cast<int>(c.total()));
}

INSTANTIATE_TEST_SUITE_P(EveryRoutine, FaultMatrix, ::testing::ValuesIn(first_rows()),
                         [](const ::testing::TestParamInfo<RoutineRow>& info) { return info.param.name; });

// The size of the matrix above, for the CI log.
TEST(FaultMatrixSize, CountsEveryScenario) {
    Count all;
    size_t routines = 0, checked = 0;
    for (const RoutineRow& rr : first_rows()) {
        const Count c = count_of(forms_of(rr));
        all.forms += c.forms;
        all.stuck += c.stuck;
        all.unstable += c.unstable;
        ++routines;
        checked += status_checked.count(rr.name);
    }
    EXPECT_EQ(routines, facts::routine_count);
    EXPECT_EQ(checked, status_checked.size());
    RecordProperty("scenarios", static_cast<int>(all.total()));
    std::printf(
        "fault matrix: %zu scenarios (%zu stuck commands, %zu unstable registers) over %zu forms of %zu routines\n",
        all.total(), all.stuck, all.unstable, all.forms, routines);
}

}  // namespace
}  // namespace tov::test::fault_matrix_test
