// SPDX-License-Identifier: Apache-2.0
// tovmem report: the page of a real call (the stuck command's, with its
// 100 ms wait) and of long traces of stores and reads, whose time and size
// should grow linearly: compare the 10k and 100k line figures. The bytes of
// each page are its "bytes" counter.
#include <benchmark/benchmark.h>

#include <random>
#include <sstream>
#include <string>

#include "tools/tovmem/report.h"

namespace {

void BM_report_call(benchmark::State& state) {
    tovmem::RunOptions o;
    o.req.config_id = 0x3000099;
    o.req.clock_index = 10;
    o.req.chip.cmd_stuck_at = state.range(0) ? 3 : 0;
    const tovmem::ReportCall call{tovmem::run_bringup(o), 0};
    size_t bytes = 0;
    for (auto _ : state) bytes = tovmem::report_html({call}).size();
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_report_call)->ArgName("stuck")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Stores and reads of three agreeing loads over a few dozen registers, one
// clock reading apart now and then, then a result line.
tovmem::Bringup long_trace(size_t lines) {
    std::mt19937 rng(1);
    std::string s;
    uint64_t t = 0;
    for (size_t i = 0; i < lines;) {
        const uint32_t off = 0x800 + 4 * (rng() % 48), val = rng();
        t += rng() % 8 == 0 ? 5000 : 0;
        const bool store = rng() % 4 != 0;
        for (int k = 0; k < (store ? 1 : 3); ++k, ++i)
            s += std::string("{\"ev\":\"") + (store ? "store" : "load") + "\",\"off\":" + std::to_string(off) +
                 ",\"val\":" + std::to_string(val) + ",\"t\":" + std::to_string(t) + "}\n";
    }
    s +=
        "{\"ev\":\"result\",\"ret\":1,\"config_id\":50331801,\"clock_index\":10,\"mem_size\":0,\"bus_flag\":0,"
        "\"mode_flag\":0,\"power_mode\":0,\"mem_clock_khz\":0,\"mem_size_out\":0,\"map_value\":0,\"reserved\":[0,0,0,0,"
        "0],\"t\":" +
        std::to_string(t) + ",\"elapsed\":0}\n";
    std::istringstream in(s);
    return tovmem::read_trace(in, "bench");
}

void BM_report_trace(benchmark::State& state) {
    const tovmem::ReportCall call{long_trace(size_t(state.range(0))), 0};
    size_t bytes = 0;
    for (auto _ : state) bytes = tovmem::report_html({call}).size();
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_report_trace)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
