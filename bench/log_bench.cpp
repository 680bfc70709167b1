// SPDX-License-Identifier: Apache-2.0
// Reading captured logs and traces of up to 1M lines, the most a file may
// hold: a log of many calls (each a real run's lines, the last one chosen),
// a log of one call that never ends (a store per line), and a JSON-lines
// trace. The time should grow linearly with the lines: compare the 100k and
// 1M figures.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "sim/simulator.h"
#include "sim/trace_format.h"
#include "tools/tovmem/commands.h"

namespace {

using namespace tov;

std::string many_calls(size_t lines, size_t& calls) {
    const sim::RunResult r = sim::run_bring_up({.config_id = 0x3000099, .clock_index = 10});
    std::string one;
    for (const std::string& l : r.log) one += l;
    std::string s;
    calls = 0;
    for (size_t n = 0; n + r.log.size() <= lines; n += r.log.size(), ++calls) s += one;
    return s;
}

std::string one_call(size_t lines) {
    std::string s =
        "tovmem: {\"ev\":\"enter\",\"call\":\"1000\",\"config_id\":50331801,\"clock_index\":10,"
        "\"mem_size\":0,\"bus_flag\":0,\"mode_flag\":0,\"power_mode\":0,\"mem_clock_khz\":0,"
        "\"mem_size_out\":0,\"map_value\":0,\"reserved\":[0,0,0,0,0]}\n";
    for (size_t i = 1; i < lines; ++i)
        s += "tovmem: {\"ev\":\"store\",\"call\":\"1000\",\"off\":" + std::to_string(0x800 + 4 * (i % 64)) +
             ",\"val\":" + std::to_string(i) + "}\n";
    return s;
}

std::string jsonl(size_t lines) {
    std::string s;
    for (size_t i = 0; i + 1 < lines; ++i)
        s += sim::event_jsonl({sim::EventKind::store, uint32_t(0x800 + 4 * (i % 64)), uint32_t(i), i, {}}) + "\n";
    sim::RunResult r;
    r.end_time = lines;
    return s + sim::result_jsonl(r) + "\n";
}

// Reads `text` whole once per iteration, as the tool reads a file (`call`:
// the call to pick, when there are several).
template <typename... Call>
void time_reads(benchmark::State& state, const std::string& text, const char* what, Call... call) {
    for (auto _ : state) {
        std::istringstream in(text);
        const tovmem::Bringup b = tovmem::read_trace(in, what, call...);
        benchmark::DoNotOptimize(b.r.events.size());
    }
}

void read_log_of_many_calls(benchmark::State& state) {
    size_t calls = 0;
    const std::string text = many_calls(size_t(state.range(0)), calls);
    time_reads(state, text, "log", calls);
    state.counters["calls"] = double(calls);
}

void read_log_of_one_call(benchmark::State& state) { time_reads(state, one_call(size_t(state.range(0))), "log"); }

void read_jsonl_trace(benchmark::State& state) { time_reads(state, jsonl(size_t(state.range(0))), "trace"); }

}  // namespace

BENCHMARK(read_log_of_many_calls)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(read_log_of_one_call)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(read_jsonl_trace)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);
