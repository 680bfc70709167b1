// SPDX-License-Identifier: Apache-2.0
// Waits on a clock that moves only at each clock interrupt, as Windows'
// interrupt time does (every 15.625 ms by default, 0.5 ms at best): every
// delay still lasts its minimum of true time, a stuck command is given up
// no sooner than the done-bit bound after it was issued, and a healthy chip
// sees exactly the bus events of a fresh clock.
#include <gtest/gtest.h>

#include <cstdio>

#include "meminit/hw/access.h"
#include "tests/harness.h"
#include "tests/routine_forms.h"

namespace tov::test::coarse_clock_test {

// Periods in 100 ns units: the finest Windows offers, 1 ms, one that shares
// no factor with the 10 ms tick, and Windows' default.
constexpr uint64_t periods[] = {5000, 10000, 73000, 156250};
constexpr uint64_t ms_units = 10000;

std::string period_name(const ::testing::TestParamInfo<uint64_t>& info) {
    return "period_" + std::to_string(info.param / 10) + "us";
}

// What must not depend on the clock: every bus event and message, in order.
std::vector<std::string> bus_of(const sim::RunResult& r) {
    std::vector<std::string> out;
    for (const sim::Event& e : r.events) out.push_back(sim::event_compact(e));
    return out;
}

class CoarseClock : public ::testing::TestWithParam<uint64_t> {};

TEST_P(CoarseClock, DelaysHoldTheirMinimumAndHealthyBusEventsStayPut) {
    const uint64_t period = GetParam();
    const uint64_t phases[] = {0, period / 3, period * 2 / 3, period - 1};
    size_t runs = 0, delays = 0, polled_timeouts = 0;
    uint64_t worst_over = 0;
    for (const RoutineRow& rr : first_rows()) {
        size_t form_index = 0;
        for (const Form& f : forms_of(rr)) {
            ++form_index;
            for (size_t pi = 0; pi < std::size(phases); ++pi) {
                sim::RunRequest q = f.req;
                q.clock = sim::ClockConfig::coarse(period, phases[pi]);
                const sim::RunResult r = sim::run_bring_up(q);
                ++runs;
                const std::string what = rr.name + " clock_index " + std::to_string(q.clock_index) + " power " +
                                         std::to_string(q.power_mode) + " phase " + std::to_string(phases[pi]);
                ASSERT_EQ(bus_of(r), bus_of(f.healthy)) << what;
                ASSERT_EQ(r.ret, f.healthy.ret) << what;
                for (size_t i = 0; i < r.events.size(); ++i) {
                    const sim::Event& e = r.events[i];
                    if (e.kind != sim::EventKind::delay_ticks && e.kind != sim::EventKind::delay_ms) continue;
                    ++delays;
                    const uint64_t next = i + 1 < r.events.size() ? r.events[i + 1].time : r.end_time;
                    const uint64_t took = next - e.time;
                    const uint64_t least =
                        uint64_t{e.val} * (e.kind == sim::EventKind::delay_ticks ? 10 : 1) * ms_units;
                    EXPECT_GE(took, least) << what << ", event " << i << " " << sim::event_compact(e);
                    EXPECT_LE(took, least + 10 * ms_units + 2 * period)
                        << what << ", event " << i << " " << sim::event_compact(e);
                    worst_over = std::max(worst_over, took - std::min(took, least));
                }
                // One command stuck, a different one from phase to phase.
                if (f.healthy.commands == 0) continue;
                sim::RunRequest stuck = q;
                stuck.chip.cmd_stuck_at = 1 + static_cast<uint32_t>((form_index + pi) % f.healthy.commands);
                const sim::RunResult s = sim::run_bring_up(stuck);
                ++runs;
                const long at = command_start(s, stuck.chip.cmd_stuck_at);
                ASSERT_GE(at, 0) << what;
                // A polled wait loads the status register straight after the
                // command; it must hold on until the bound has passed.
                size_t i = static_cast<size_t>(at) + 1;
                if (i >= s.events.size() || s.events[i].kind != sim::EventKind::load ||
                    s.events[i].off != reg::DRC_CMD_STATUS)
                    continue;
                while (i < s.events.size() && s.events[i].kind == sim::EventKind::load &&
                       s.events[i].off == reg::DRC_CMD_STATUS)
                    ++i;
                const uint64_t gave_up = i < s.events.size() ? s.events[i].time : s.end_time;
                EXPECT_GE(gave_up - s.events[static_cast<size_t>(at)].time, done_wait_bound)
                    << what << ", command " << stuck.chip.cmd_stuck_at << " stuck";
                ++polled_timeouts;
            }
        }
    }
    std::printf(
        "clock period %.4g ms: %zu runs, %zu delays, %zu polled time-outs, longest delay %.2f ms over its "
        "minimum\n",
        static_cast<double>(period) / ms_units, runs, delays, polled_timeouts,
        static_cast<double>(worst_over) / ms_units);
    EXPECT_GT(polled_timeouts, 0u);
}

INSTANTIATE_TEST_SUITE_P(Periods, CoarseClock, ::testing::ValuesIn(periods), period_name);

// The wait on its own, started at every point of a 15.625 ms period: the
// first reading is stale by anything from 0 to almost a period.
TEST(CoarseClockWaits, EveryStartingPointOfAPeriod) {
    constexpr uint64_t period = 156250;
    for (uint64_t start = 0; start < period; start += 2500) {
        sim::ClockConfig c;
        c.period = period;
        c.start = 10 * period + start;
        for (uint32_t n : {0u, 1u, 2u, 5u}) {
            sim::Simulator s({}, c);
            const uint64_t t0 = s.clock().now();
            delay_ticks(n);
            const uint64_t took = s.clock().now() - t0;
            EXPECT_GE(took, uint64_t{n} * tick_units) << "delay_ticks(" << n << ") from " << start;
            EXPECT_LE(took, uint64_t{n + 1} * tick_units + 2 * period) << "delay_ticks(" << n << ") from " << start;
        }
        for (uint32_t n : {1u, 2u, 30u}) {
            sim::Simulator s({}, c);
            const uint64_t t0 = s.clock().now();
            const uint32_t e = delay_ms(n);
            const uint64_t took = s.clock().now() - t0;
            EXPECT_GE(took, uint64_t{n} * ms_units) << "delay_ms(" << n << ") from " << start;
            EXPECT_LE(took, uint64_t{n} * ms_units + 2 * period + c.step) << "delay_ms(" << n << ") from " << start;
            // The result counts from the (stale) first reading, a whole number
            // of periods, and includes the one before the clock first moved.
            EXPECT_EQ(e % period, 0u);
            EXPECT_GE(e, n * ms_units + period);
        }
    }
}

}  // namespace tov::test::coarse_clock_test
