// SPDX-License-Identifier: Apache-2.0
// tovmem diff on long traces: A and B of n JSON lines each, B with edits
// every 1,000 lines (a value changed, a step removed, a step inserted), both
// read back and aligned step by step. The time should grow as n log n:
// compare the 10k, 100k and 1M line figures.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>

#include "sim/trace_format.h"
#include "tools/tovmem/commands.h"

namespace {

using namespace tov;

// Stores of varied values and reads of three agreeing loads over a few
// dozen registers, then a real run's result line.
std::string make_trace(size_t lines, bool edited) {
    std::mt19937 rng(1);
    std::string s;
    uint64_t t = 1000;
    auto line = [&](const char* ev, uint32_t off, uint32_t val) {
        s += "{\"ev\":\"" + std::string(ev) + "\",\"off\":" + std::to_string(off) + ",\"val\":" + std::to_string(val) +
             ",\"t\":" + std::to_string(t++) + "}\n";
    };
    for (size_t i = 0; i < lines;) {
        const uint32_t off = 0x800 + 4 * (rng() % 48), val = rng();
        const bool store = rng() % 4 != 0;
        const size_t at = i % 1000;
        i += store ? 1 : 3;
        if (edited && at == 700) continue;  // removed from B
        if (edited && at == 900) line("store", 0x8fc, 7);
        const uint32_t v = edited && at == 500 ? val ^ 1 : val;
        if (store) {
            line("store", off, v);
        } else {
            for (int k = 0; k < 3; ++k) line("load", off, v);
        }
    }
    sim::RunResult r = sim::run_bring_up({.config_id = 0x3000099, .clock_index = 10});
    r.end_time = t;
    r.start_time = 1000;
    return s + sim::result_jsonl(r) + "\n";
}

void diff_traces(benchmark::State& state) {
    const size_t n = size_t(state.range(0));
    const std::string a = make_trace(n, false), b = make_trace(n, true);
    std::FILE* sink = std::fopen("/dev/null", "w");
    tovmem::set_output(sink);
    for (auto _ : state) {
        std::istringstream ia(a), ib(b);
        const int status = tovmem::diff_bringups(tovmem::read_trace(ia, "A"), tovmem::read_trace(ib, "B"));
        benchmark::DoNotOptimize(status);
    }
    tovmem::set_output(nullptr);
    std::fclose(sink);
    state.counters["lines"] = double(n);
}

}  // namespace

BENCHMARK(diff_traces)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1);
