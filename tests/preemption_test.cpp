// SPDX-License-Identifier: Apache-2.0
// A thread that loses the processor in the middle of a wait: at PASSIVE_LEVEL
// it can be preempted, and at any level an interrupt can run, between a poll
// of the done bit and the clock reading after it. Every routine form, with
// commands that take true time to complete, is preempted for 1 to 500 ms at
// each clock reading of its first command's wait, on a fresh clock and on
// Windows' 15.625 ms clock: a healthy chip still gives its healthy result
// and stores, every delay still lasts its minimum, and a stuck command is
// still given up no sooner than 100 ms after it was issued.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "tests/harness.h"
#include "tests/routine_forms.h"

namespace tov::test::preemption_test {
namespace {

constexpr uint64_t ms_units = 10000;  // 100 ns units per millisecond
constexpr uint64_t bound_units = 100 * ms_units;
constexpr uint64_t preemptions_ms[] = {1, 20, 100, 500};

struct ClockCase {
    const char* name;
    uint64_t period;      // 0: every reading fresh
    uint32_t latency_us;  // how long each command takes on this clock
};
// On Windows' clock a command must outlast a period or two before a wait
// can see time pass at all.
constexpr ClockCase clock_cases[] = {{"fresh", 0, 2000}, {"windows_15_625ms", 156250, 20000}};

std::string case_name(const ::testing::TestParamInfo<ClockCase>& info) { return info.param.name; }

sim::ClockConfig clock_of(const ClockCase& c) {
    return c.period ? sim::ClockConfig::coarse(c.period, c.period / 3) : sim::ClockConfig{};
}

// Clock readings taken before event i of a run without preemption: true time
// moves one step per reading and only then.
uint64_t reads_before(const sim::RunResult& r, size_t i) {
    return (r.events[i].time - r.start_time) / sim::ClockConfig::default_step;
}

struct Store {
    uint32_t off, val;
    bool operator==(const Store&) const = default;
};
std::vector<Store> stores_of(const sim::RunResult& r) {
    std::vector<Store> s;
    for (const sim::Event& e : r.events)
        if (e.kind == sim::EventKind::store) s.push_back({e.off, e.val});
    return s;
}

// The first delay event shorter than its minimum of true time, or "".
std::string short_delay(const sim::RunResult& r) {
    for (size_t i = 0; i < r.events.size(); ++i) {
        const sim::Event& e = r.events[i];
        if (e.kind != sim::EventKind::delay_ticks && e.kind != sim::EventKind::delay_ms) continue;
        const uint64_t end = i + 1 < r.events.size() ? r.events[i + 1].time : r.end_time;
        const uint64_t least = uint64_t{e.val} * (e.kind == sim::EventKind::delay_ticks ? 10 : 1) * ms_units;
        if (end - e.time < least)
            return (e.kind == sim::EventKind::delay_ticks ? "delay_ticks(" : "delay_ms(") + std::to_string(e.val) +
                   ") at event " + std::to_string(i) + " lasted " + std::to_string(end - e.time) + " units";
    }
    return "";
}

// Index of the last load of the status register, or -1.
long last_status_load(const sim::RunResult& r) {
    for (size_t i = r.events.size(); i-- > 0;)
        if (r.events[i].kind == sim::EventKind::load && r.events[i].off == reg::DRC_CMD_STATUS)
            return static_cast<long>(i);
    return -1;
}

std::string what(const Form& f, uint64_t after, uint64_t ms) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "config 0x%x clock_index %#x power_mode %u, --preempt %llu:%llu", f.req.config_id,
                  f.req.clock_index, f.req.power_mode, static_cast<unsigned long long>(after),
                  static_cast<unsigned long long>(ms));
    return buf;
}

// The request's call with the thread away for `ms` after reading `after`.
sim::RunResult preempted(sim::RunRequest q, uint64_t after, uint64_t ms) {
    q.clock.preempt = {{.after_reads = after, .units = ms * ms_units}};
    return sim::run_bring_up(q);
}

// The forms a sweep covers, each run once on the case's clock without
// preemption, and of those one per timing skeleton: forms whose runs have the
// same events at the same times behave alike under any preemption.
struct Swept {
    Form form;
    sim::RunRequest req;
    sim::RunResult base;
};
struct Distinct {
    size_t forms = 0;  // covered, alike ones included
    std::vector<Swept> timings;
};
template <typename RequestOf, typename Covers>
Distinct distinct_timings(const ClockCase& c, RequestOf request_of, Covers covers) {
    Distinct out;
    std::set<std::string> seen;
    for (const RoutineRow& rr : first_rows())
        for (const Form& f : forms_of(rr)) {
            sim::RunRequest q = request_of(f);
            q.clock = clock_of(c);
            q.keep = sim::Simulator::Keep::events;
            sim::RunResult base = sim::run_bring_up(q);
            if (!covers(f, base)) continue;
            ++out.forms;
            if (seen.insert(timing_skeleton(base)).second) out.timings.push_back({f, q, std::move(base)});
        }
    return out;
}

class Preemption : public ::testing::TestWithParam<ClockCase> {};

TEST_P(Preemption, HealthyCallsKeepTheirResultAndDelaysTheirMinimum) {
    const ClockCase& c = GetParam();
    const Distinct d = distinct_timings(
        c,
        [&](const Form& f) {
            sim::RunRequest q = f.req;
            q.chip.cmd_latency_us = c.latency_us;
            return q;
        },
        [](const Form& f, const sim::RunResult& base) {
            EXPECT_EQ(base.ret, f.healthy.ret) << what(f, 0, 0) << ": the command latency alone changed the result";
            return command_start(base, 1) >= 0;  // else no DRAM command: no wait to preempt
        });
    if (HasFailure()) return;
    size_t runs = 0;
    for (const Swept& s : d.timings) {
        const Form& f = s.form;
        const sim::RunResult& base = s.base;
        // The first command's wait: its polls of the status register, or
        // the delay before its one look at it.
        const long first = command_start(base, 1);
        const long status = first_status_load(base, size_t(first) + 1);
        const long second = command_start(base, 2);
        if (status < 0 || (second >= 0 && status > second)) continue;  // never looked at
        size_t end = size_t(status);
        while (end + 1 < base.events.size() && base.events[end + 1].kind == sim::EventKind::load &&
               base.events[end + 1].off == reg::DRC_CMD_STATUS)
            ++end;
        const sim::EventKind before = base.events[size_t(status) - 1].kind;
        const uint64_t from = before == sim::EventKind::delay_ticks || before == sim::EventKind::delay_ms
                                  ? reads_before(base, size_t(status) - 1)
                                  : reads_before(base, size_t(status)) - 1;
        const uint64_t to = reads_before(base, end);
        const std::vector<Store> stores = stores_of(base);
        for (uint64_t after = from; after <= to; ++after)
            for (uint64_t ms : preemptions_ms) {
                const sim::RunResult r = preempted(s.req, after, ms);
                ++runs;
                ASSERT_EQ(r.ret, base.ret) << what(f, after, ms);
                ASSERT_EQ(r.record.mem_clock_khz, base.record.mem_clock_khz) << what(f, after, ms);
                ASSERT_EQ(r.record.mem_size_out, base.record.mem_size_out) << what(f, after, ms);
                ASSERT_TRUE(stores_of(r) == stores) << what(f, after, ms) << ": the stores changed";
                ASSERT_EQ(short_delay(r), "") << what(f, after, ms);
            }
    }
    std::printf(
        "preemption sweep (%s clock, commands taking %u us): %zu forms, %zu distinct timings, %zu preempted "
        "healthy calls\n",
        c.name, c.latency_us, d.forms, d.timings.size(), runs);
    EXPECT_GT(d.forms, 100u);
}

TEST_P(Preemption, AStuckCommandIsGivenUpNoSoonerThanTheBound) {
    const ClockCase& c = GetParam();
    // Only a command that is polled for its whole bound: others are looked
    // at once after a fixed delay.
    const Distinct d = distinct_timings(
        c, [](const Form& f) { return with_stuck_command(f, 1); },
        [](const Form&, const sim::RunResult& base) {
            const long issued = command_start(base, 1);
            const long last = last_status_load(base);
            return issued >= 0 && last >= issued &&
                   base.events[size_t(last)].time - base.events[size_t(issued)].time >= bound_units;
        });
    size_t runs = 0;
    for (const Swept& s : d.timings) {
        const Form& f = s.form;
        const uint64_t from = reads_before(s.base, size_t(command_start(s.base, 1)));
        const uint64_t to = reads_before(s.base, size_t(last_status_load(s.base)));
        // Every fourth reading of the bound, and each of the last few.
        for (uint64_t after = from; after <= to; after += after + 8 >= to ? 1 : 4)
            for (uint64_t ms : preemptions_ms) {
                const sim::RunResult r = preempted(s.req, after, ms);
                ++runs;
                ASSERT_EQ(r.ret, s.base.ret) << what(f, after, ms);
                const long i = command_start(r, 1);
                const long l = last_status_load(r);
                ASSERT_GE(l, i) << what(f, after, ms);
                ASSERT_GE(r.events[size_t(l)].time - r.events[size_t(i)].time, bound_units)
                    << what(f, after, ms) << ": the last poll came less than 100 ms after the command";
                ASSERT_EQ(short_delay(r), "") << what(f, after, ms);
            }
    }
    std::printf(
        "preemption sweep (%s clock, first command stuck): %zu polled forms, %zu distinct timings, %zu preempted "
        "calls\n",
        c.name, d.forms, d.timings.size(), runs);
    EXPECT_GT(d.forms, 30u);
}

INSTANTIATE_TEST_SUITE_P(Clocks, Preemption, ::testing::ValuesIn(clock_cases), case_name);

}  // namespace
}  // namespace tov::test::preemption_test
