// SPDX-License-Identifier: Apache-2.0
// Cost of simulated bring-ups: every table ID with clock_index 0 to 13, per
// family, reported as bring-ups per second and CPU time per bus event.
#include <benchmark/benchmark.h>

#include <vector>

#include "meminit/entry/config_table.h"
#include "sim/simulator.h"

namespace {

using namespace tov;

std::vector<uint32_t> ids_of(Family f) {
    std::vector<uint32_t> ids;
    const ConfigTable t = family_table(f);
    for (uint32_t i = 0; i < t.count; ++i) ids.push_back(t.rows[i].id);
    return ids;
}

void bring_ups(benchmark::State& state, Family f) {
    const std::vector<uint32_t> ids = ids_of(f);
    uint64_t runs = 0, events = 0;
    for (auto _ : state) {
        for (uint32_t id : ids) {
            for (uint32_t clock = 0; clock <= 13; ++clock) {
                sim::RunRequest req;
                req.config_id = id;
                req.clock_index = clock;
                const sim::RunResult r = sim::run_bring_up(req);
                benchmark::DoNotOptimize(r.ret);
                events += r.events.size();
                ++runs;
            }
        }
    }
    state.counters["bring_ups_per_s"] = benchmark::Counter(static_cast<double>(runs), benchmark::Counter::kIsRate);
    state.counters["cpu_per_event"] =
        benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["events_per_bring_up"] = runs ? static_cast<double>(events) / static_cast<double>(runs) : 0.0;
}

BENCHMARK_CAPTURE(bring_ups, halden, Family::halden)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bring_ups, orlit, Family::orlit)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(bring_ups, varnel, Family::varnel)->Unit(benchmark::kMillisecond);

// One bring-up of the documented sample configuration.
void sample_bring_up(benchmark::State& state) {
    sim::RunRequest req;
    req.config_id = 0x3000099;
    req.clock_index = 10;
    uint64_t events = 0;
    for (auto _ : state) {
        const sim::RunResult r = sim::run_bring_up(req);
        benchmark::DoNotOptimize(r.ret);
        events += r.events.size();
    }
    state.counters["cpu_per_event"] =
        benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(sample_bring_up)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
