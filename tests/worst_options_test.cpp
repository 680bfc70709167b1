// SPDX-License-Identifier: Apache-2.0
// The longest bring-up tovmem can be asked for, on every shipped image: the
// slowest clock it accepts (one update a second), each DRAM command in
// flight for the longest latency it accepts (one second) and the done bit
// unsettled on every other load. The images poll hundreds of thousands of
// times and run tens of millions of instructions; what stops a run is
// counted, never timed, so each gives the host build's bus trace and
// result on any machine, however busy, plain or under the sanitizers.
#include <gtest/gtest.h>

#include <string>

#include "sim/image/image_runner.h"
#include "sim/image/sweep.h"
#include "tests/kernel_builds.h"

namespace tov::sim::image::worst_options {
namespace {

RunRequest worst(uint32_t config, uint32_t clock) {
    RunRequest req = request(config, clock);
    req.clock.period = 1000 * 10000;  // 1000 ms, in 100 ns units
    req.chip.cmd_latency_us = 1000000;
    req.chip.unstable = {0x828};
    return req;
}

// One image a test, so that a sharded run spreads them.
class WorstOptions : public ::testing::TestWithParam<const char*> {};

TEST_P(WorstOptions, TheShippedImageGivesTheHostResult) {
    const std::string image = GetParam();
    TOV_REQUIRE_BUILD(image);
    const RunRequest req = worst(0x3000099, 5);
    const RunResult host = run_bring_up(req);
    ASSERT_EQ(host.ret, 1);
    size_t loads = 0;
    for (const Event& e : host.events) loads += e.kind == EventKind::load;
    EXPECT_GT(loads, 500000u) << "no longer the longest bring-up";
    ImageRunner runner(test::file_bytes(image));
    const RunResult r = runner.run(req);
    EXPECT_EQ(first_difference(host, r), "");
    EXPECT_EQ(r.ret, host.ret);
    EXPECT_LT(r.image.instructions, RunnerOptions{}.max_instructions);
}

std::string image_name(const ::testing::TestParamInfo<const char*>& info) {
    static const char* const names[] = {"x86", "x64", "x86_gcc", "diag_x86", "diag_x64"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Images, WorstOptions,
                         ::testing::Values(TOV_KERNEL_IMAGE, TOV_KERNEL_IMAGE_X64, TOV_KERNEL_IMAGE_GCC, TOV_DIAG_IMAGE,
                                           TOV_DIAG_IMAGE_X64),
                         image_name);

}  // namespace
}  // namespace tov::sim::image::worst_options
