// SPDX-License-Identifier: Apache-2.0
// The kernel images (the shipped x86 clang build, the x86 GCC build, the
// x64 clang build and the diagnostic images of both architectures) in the
// emulator, over the image-against-host sweep: image runs (scenarios) per
// second, the deepest stack one bring-up uses and its largest instruction
// count, with and without the waits' clock polls.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sim/image/image_runner.h"
#include "sim/image/sweep.h"

namespace {

using namespace tov;

// A clock that moves 2^30 units (about 107 s) per reading: every delay and
// done-bit wait ends at its first re-read, so the count is the bring-up's
// own work without the polling that waiting adds.
constexpr uint64_t no_poll_step = 1ull << 30;

void image_sweep(benchmark::State& state, const char* image, Family f, bool faults) {
    if (std::string(image).empty()) {
        state.SkipWithError("configured without this kernel image");
        return;
    }
    const std::vector<sim::image::Scenario> scenarios = faults ? sim::image::fault_sweep() : sim::image::table_sweep(f);
    sim::image::ImageRunner runner(sim::image::read_file(image));
    uint64_t runs = 0, max_instructions = 0, max_no_poll = 0;
    uint32_t max_stack = 0;
    for (auto _ : state) {
        for (const auto& s : scenarios) {
            const sim::RunResult r = runner.run(s.req);
            max_stack = std::max(max_stack, r.image.stack_bytes);
            max_instructions = std::max(max_instructions, r.image.instructions);
            ++runs;
        }
    }
    // Outside the timed loop.
    if (!faults) {
        for (const auto& s : scenarios) {
            sim::RunRequest req = s.req;
            req.clock.step = no_poll_step;
            max_no_poll = std::max(max_no_poll, runner.run(req).image.instructions);
        }
    }
    state.counters["image_runs_per_s"] = benchmark::Counter(double(runs), benchmark::Counter::kIsRate);
    state.counters["scenarios"] = double(scenarios.size());
    state.counters["max_stack_bytes"] = max_stack;
    state.counters["max_instructions"] = double(max_instructions);
    if (!faults) state.counters["max_instr_no_polls"] = double(max_no_poll);
}

#define TOV_IMAGE_BENCH(build, image)                                            \
    BENCHMARK_CAPTURE(image_sweep, build##_halden, image, Family::halden, false) \
        ->Unit(benchmark::kMillisecond)                                          \
        ->Iterations(1);                                                         \
    BENCHMARK_CAPTURE(image_sweep, build##_orlit, image, Family::orlit, false)   \
        ->Unit(benchmark::kMillisecond)                                          \
        ->Iterations(1);                                                         \
    BENCHMARK_CAPTURE(image_sweep, build##_varnel, image, Family::varnel, false) \
        ->Unit(benchmark::kMillisecond)                                          \
        ->Iterations(1);                                                         \
    BENCHMARK_CAPTURE(image_sweep, build##_faults, image, Family::none, true)    \
        ->Unit(benchmark::kMillisecond)                                          \
        ->Iterations(1)

TOV_IMAGE_BENCH(clang, TOV_KERNEL_IMAGE);
TOV_IMAGE_BENCH(gcc, TOV_KERNEL_IMAGE_GCC);
TOV_IMAGE_BENCH(x64, TOV_KERNEL_IMAGE_X64);
TOV_IMAGE_BENCH(diag, TOV_DIAG_IMAGE);
TOV_IMAGE_BENCH(diag_x64, TOV_DIAG_IMAGE_X64);

}  // namespace
