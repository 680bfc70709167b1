// SPDX-License-Identifier: Apache-2.0
// The diagnostic images (x86 and x64) in the emulator against the host build:
// the lines they print through DbgPrintEx are, byte for byte, the lines the
// host build's step notes give, and their bus events, times and records are
// the host's; read back by tovmem, such a log gives the host's steps.
#include <gtest/gtest.h>

#include <sstream>

#include "sim/image/image_runner.h"
#include "sim/image/sweep.h"
#include "sim/trace_format.h"
#include "tests/kernel_builds.h"
#include "tools/tovmem/cli.h"

namespace tov::sim::image::diag_image_test {

struct DiagBuild {
    const char* name;
    const char* image;
    uint32_t stack_limit;  // bytes of kernel stack the call may use
};
void PrintTo(const DiagBuild& b, std::ostream* os) { *os << b.name; }

// The image sweep, every scenario: the three tables, the faults and
// Windows' coarse clock.
std::vector<Scenario> image_sweep() {
    std::vector<Scenario> out;
    for (std::vector<Scenario> part : {table_sweep(Family::halden), table_sweep(Family::orlit),
                                       table_sweep(Family::varnel), fault_sweep(), coarse_clock_sweep()})
        for (Scenario& s : part) out.push_back(std::move(s));
    return out;
}

// Where the lines of one call are not numbered 1, 2, 3 ... in the order
// printed, right after the call's tag: the first such line, or "".
std::string numbering_fault(const std::vector<std::string>& log) {
    for (size_t i = 0; i < log.size(); ++i) {
        const std::string& l = log[i];
        const size_t tag = l.find("\"call\":\"");
        const std::string want = ",\"seq\":" + std::to_string(i + 1) + ",";
        if (tag == std::string::npos || l.compare(l.find('"', tag + 8) + 1, want.size(), want) != 0)
            return "line " + std::to_string(i + 1) + " is not numbered " + std::to_string(i + 1) + ": " + l;
    }
    return {};
}

class DiagnosticImageAgainstHost : public ::testing::TestWithParam<DiagBuild> {};

TEST_P(DiagnosticImageAgainstHost, PrintsTheHostsLinesAndDoesTheSameOnTheBus) {
    const DiagBuild& b = GetParam();
    TOV_REQUIRE_BUILD(b.image);
    const std::vector<Scenario> scenarios = image_sweep();
    ImageRunner runner(test::file_bytes(b.image));
    size_t differences = 0, lines = 0;
    uint32_t deepest = 0;
    for (const Scenario& s : scenarios) {
        const RunResult host = run_bring_up(s.req);
        const RunResult image = runner.run(s.req);
        lines += image.log.size();
        deepest = std::max(deepest, image.image.stack_bytes);
        std::string diff = first_difference(host, image);
        // Every line numbered in its call, from 1 at the record on entry:
        // the host's, and so the image's, which print the same bytes.
        if (diff.empty()) diff = numbering_fault(host.log);
        if (diff.empty() && image.log != host.log) {
            size_t i = 0;
            while (i < image.log.size() && i < host.log.size() && image.log[i] == host.log[i]) ++i;
            diff = "log line " + std::to_string(i + 1) + ": host " +
                   (i < host.log.size() ? host.log[i] : std::string("(none)\n")) + "image " +
                   (i < image.log.size() ? image.log[i] : std::string("(none)\n"));
        }
        if (!diff.empty() && ++differences <= 5) ADD_FAILURE() << s.name << ": " << diff;
    }
    std::printf("%s image against host: %zu scenarios, %zu log lines, %zu differences, deepest stack %u bytes\n",
                b.name, scenarios.size(), lines, differences, deepest);
    EXPECT_EQ(differences, 0u);
    EXPECT_GT(lines, scenarios.size() * 10);
    EXPECT_LE(deepest, b.stack_limit);
}

INSTANTIATE_TEST_SUITE_P(Sweeps, DiagnosticImageAgainstHost,
                         ::testing::Values(DiagBuild{"diag_x86", TOV_DIAG_IMAGE, 1024},
                                           DiagBuild{"diag_x64", TOV_DIAG_IMAGE_X64, 1024}),
                         [](const auto& info) { return std::string(info.param.name); });

// The board engineer's path through the image itself: a stuck command's
// log, read back, names the wait that gave up.
TEST(DiagnosticImage, LogOfAStuckCommandReadsBackAsTheHostsRun) {
    TOV_REQUIRE_BUILD(TOV_DIAG_IMAGE);
    RunRequest q = request(0x3000099, 10);
    q.chip.cmd_stuck_at = 3;
    ImageRunner runner(test::file_bytes(TOV_DIAG_IMAGE));
    const RunResult image = runner.run(q);
    std::string text;
    for (const std::string& l : image.log) text += "DebugView\t0.1\t" + l;  // as a capture tool saves it
    std::istringstream in(text);
    const tovmem::Bringup b = tovmem::read_trace(in, "capture");
    ASSERT_TRUE(b.from_log);
    EXPECT_EQ(b.r.ret, 0);
    EXPECT_EQ(compact(bus_events(b.r.events)), compact(bus_events(run_bring_up(q).events)));
}

}  // namespace tov::sim::image::diag_image_test
