// SPDX-License-Identifier: Apache-2.0
// tovmem run --image: the shipped kernel image behind the same command line
// and output as a host run.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/tovmem_process.h"

namespace tov::test::tovmem_image_cli_test {
namespace {

using namespace tov::test;
// Beside the tool's own namespace in a unity build: this is the process runner.

class TovmemImage : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(TOV_KERNEL_IMAGE).empty()) GTEST_SKIP() << "configured without a kernel image";
        image_ = std::string(" --image ") + TOV_KERNEL_IMAGE;
    }
    std::string image_;
};

// `"key":value` removed from a JSON line, and the value it had ("" if none).
std::string take_field(std::string& line, const std::string& key) {
    const size_t at = line.find(",\"" + key + "\":");
    if (at == std::string::npos) return "";
    const size_t from = at + key.size() + 4;
    const size_t to = line.find_first_of(",}", from);
    const std::string value = line.substr(from, to - from);
    line.erase(at, to - at);
    return value;
}

// Same JSON lines as the host run, less the trace sink's events, with the
// image's stack and instruction figures on the result line; same exit
// status. Also run through the sample capture driver of each toolchain,
// whose status joins the result line.
TEST_F(TovmemImage, JsonLinesMatchTheHostRun) {
    const std::pair<std::string, std::string> ways[] = {
        {"direct", ""},
        {"clang caller", std::string(" --caller ") + TOV_CAPTURE_IMAGE},
        {"gcc caller",
         std::string(TOV_CAPTURE_IMAGE_GCC).empty() ? "" : std::string(" --caller ") + TOV_CAPTURE_IMAGE_GCC},
    };
    const std::map<std::string, std::string> status_of = {
        {"1", "\"0x00000000\""}, {"0", "\"0xc0000185\""}, {"-1", "\"0xc0000483\""}};
    std::set<std::string> results;
    for (const auto& [way, caller] : ways) {
        if (way != "direct" && caller.empty()) continue;
        for (const std::string args : {"--config 0x3000099 --clock 10", "--config 0x3000002 --clock 0 --unstable 0x828",
                                       "--config 0x24 --clock 0 --power-mode 2 --cmd-stuck-at 3",
                                       "--config 0x3000099 --clock 10 --cmd-stuck-at 3",
                                       // Preempted between a busy poll and its clock reading.
                                       "--config 0x3000099 --clock 10 --cmd-latency-us 2000 --preempt 84:200 "
                                       "--clock-period 15.625 --preempt 300:7.5"}) {
            const std::string what = way + ": " + args;
            const Outcome host = run_tovmem("run " + args + " --format jsonl");
            const Outcome image = run_tovmem("run " + args + " --format jsonl" + image_ + caller);
            const std::vector<std::string> expected = lines(bus_only(host.out));
            const std::vector<std::string> got = lines(image.out);
            ASSERT_FALSE(expected.empty());
            EXPECT_EQ(image.status, host.status) << what;
            ASSERT_EQ(got.size(), expected.size()) << what << image.err;
            for (size_t i = 0; i + 1 < expected.size(); ++i) EXPECT_EQ(got[i], expected[i]) << what << " line " << i;
            // The result line is the host's with the image's figures added.
            std::string result = got.back();
            EXPECT_GT(std::stoul(take_field(result, "stack_bytes")), 0u) << what;
            EXPECT_GT(std::stoul(take_field(result, "instructions")), 0u) << what;
            const std::string status = take_field(result, "caller_status");
            EXPECT_EQ(result, expected.back()) << what;
            std::string ret = result;
            ret = take_field(ret, "ret");
            results.insert(ret);
            if (caller.empty())
                EXPECT_EQ(status, "") << what;
            else
                EXPECT_EQ(status, status_of.at(ret)) << what;
        }
    }
    EXPECT_EQ(results, (std::set<std::string>{"1", "0", "-1"}));
}

// The tool reports the project's version, the one the image's version
// resource carries.
TEST(TovmemVersion, IsTheProjectVersion) {
    const Outcome o = run_tovmem("--version");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, std::string("tovmem ") + TOV_VERSION + "\n");
}

TEST_F(TovmemImage, CallerNeedsTheImageItImports) {
    const Outcome o = run_tovmem(std::string("run --config 0x3000099 --clock 10 --caller ") + TOV_CAPTURE_IMAGE);
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(has(o.err, "--caller needs --image")) << o.err;
    // A caller that is not a driver image: one line naming both files.
    const Outcome bad = run_tovmem("run --config 0x3000099 --clock 10" + image_ + " --caller " + TOVMEM_PATH);
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(lines(bad.err).size(), 1u) << bad.err;
    EXPECT_TRUE(has(bad.err, TOVMEM_PATH)) << bad.err;
}

TEST_F(TovmemImage, TextSummaryNamesTheImageFigures) {
    const Outcome o = run_tovmem("run --config 0x3000099 --clock 10 --image-base 0x00400000" + image_);
    EXPECT_EQ(o.status, 0);
    bool found = false;
    for (const std::string& l : lines(o.out)) found |= l.rfind("kernel image ", 0) == 0 && has(l, "stack bytes");
    EXPECT_TRUE(found) << o.out;
}

// check --all runs the image for every configuration: the verdicts are the
// host build's, and an image that cannot load is an error, not ignored.
TEST_F(TovmemImage, CheckAllRunsTheImage) {
    const Outcome host = run_tovmem("check --all");
    const Outcome image = run_tovmem("check --all" + image_);
    EXPECT_EQ(image.status, host.status);
    ASSERT_EQ(image.out.rfind("every run with" + image_ + "\n", 0), 0u) << image.out.substr(0, 200);
    EXPECT_EQ(image.out.substr(image.out.find('\n') + 1), host.out);
    const Outcome missing = run_tovmem("check --all --image /nonexistent.sys");
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_TRUE(has(missing.err, "cannot read kernel image '/nonexistent.sys'")) << missing.err;
}

// A file that is not a kernel image, or a base it cannot load at: one line
// on stderr, status 2.
TEST_F(TovmemImage, UnloadableImageIsAUsageError) {
    for (const std::string& args : {std::string("--image /nonexistent.sys"), std::string("--image ") + TOVMEM_PATH,
                                    image_ + " --image-base 0x10000000"}) {
        const Outcome o = run_tovmem("run --config 0x3000099 --clock 10 " + args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_TRUE(o.out.empty()) << args;
        EXPECT_EQ(lines(o.err).size(), 1u) << o.err;
    }
}

// The x64 image behind the same command line: the architecture comes from
// the file. Same JSON lines as the host run (less the trace sink's events),
// directly and through the x64 capture driver; the text names x64
// instructions; a base above 4 GiB is taken, and a capture driver of the
// other architecture is refused in one line.
TEST(TovmemImageX64, RunsLikeTheHostBuildDirectlyAndThroughItsCaller) {
    if (std::string(TOV_KERNEL_IMAGE_X64).empty()) GTEST_SKIP() << "configured without the x64 image";
    const std::string image = std::string(" --image ") + TOV_KERNEL_IMAGE_X64;
    for (const std::string args : {"--config 0x3000099 --clock 10", "--config 0x24 --clock 0 --power-mode 2 --no-aux",
                                   "--config 0x1000001 --clock 3 --cmd-stuck-at 2"}) {
        const std::vector<std::string> expected = lines(bus_only(run_tovmem("run " + args + " --format jsonl").out));
        for (const std::string& caller : {std::string(), std::string(" --caller ") + TOV_CAPTURE_IMAGE_X64}) {
            const std::string what = args + caller;
            const Outcome o = run_tovmem("run " + args + " --format jsonl" + image + caller);
            const std::vector<std::string> got = lines(o.out);
            ASSERT_EQ(got.size(), expected.size()) << what << o.err;
            for (size_t i = 0; i + 1 < expected.size(); ++i) EXPECT_EQ(got[i], expected[i]) << what << " line " << i;
            std::string result = got.back();
            const unsigned long stack = std::stoul(take_field(result, "stack_bytes"));
            EXPECT_GT(stack, 8u) << what;
            EXPECT_LE(stack, 768u) << what;
            EXPECT_GT(std::stoul(take_field(result, "instructions")), 1000u) << what;
            take_field(result, "caller_status");
            EXPECT_EQ(result, expected.back()) << what;
        }
    }
    const Outcome text = run_tovmem("run --config 0x3000099 --clock 10 --image-base 0xfffff80012340000" + image);
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_TRUE(has(text.out, " x64 instructions")) << text.out;
    const Outcome mixed = run_tovmem("run --config 0x3000099 --clock 10" + image + " --caller " + TOV_CAPTURE_IMAGE);
    EXPECT_EQ(mixed.status, 2);
    EXPECT_EQ(lines(mixed.err).size(), 1u) << mixed.err;
    EXPECT_TRUE(has(mixed.err, "capture driver is i386 but tovmem.sys is AMD64")) << mixed.err;
}

}  // namespace
}  // namespace tov::test::tovmem_image_cli_test
