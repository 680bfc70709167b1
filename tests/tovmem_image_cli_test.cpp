// tovmem run --image: the shipped kernel image behind the same command line
// and output as a host run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tovmem_process.h"

namespace {

using namespace tov::test;

class TovmemImage : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(TOV_KERNEL_IMAGE).empty()) GTEST_SKIP() << "configured without a kernel image";
        image_ = std::string(" --image ") + TOV_KERNEL_IMAGE;
    }
    std::string image_;
};

// Same JSON lines as the host run, less the trace sink's events, with the
// image's stack and instruction figures on the result line; same exit status.
TEST_F(TovmemImage, JsonLinesMatchTheHostRun) {
    for (const std::string args : {"--config 0x3000099 --clock 10", "--config 0x3000002 --clock 0 --unstable 0x828",
                                   "--config 0x24 --clock 0 --power-mode 2 --cmd-stuck-at 3"}) {
        const Outcome host = tovmem("run " + args + " --format jsonl");
        const Outcome image = tovmem("run " + args + " --format jsonl" + image_);
        const std::vector<std::string> expected = lines(bus_only(host.out));
        const std::vector<std::string> got = lines(image.out);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(image.status, host.status) << args;
        ASSERT_EQ(got.size(), expected.size()) << args;
        for (size_t i = 0; i + 1 < expected.size(); ++i) EXPECT_EQ(got[i], expected[i]) << args << " line " << i;
        // The result line is the host's with the image's two figures added
        // after "elapsed".
        const std::string& result = got.back();
        const size_t from = result.find(R"(,"stack_bytes":)");
        const size_t instr = result.find(R"(,"instructions":)");
        ASSERT_NE(from, std::string::npos) << result;
        ASSERT_NE(instr, std::string::npos) << result;
        const size_t to = result.find_first_not_of("0123456789", instr + 16);
        EXPECT_GT(to, instr + 16) << result;
        EXPECT_EQ(result.substr(0, from) + result.substr(to), expected.back());
    }
}

TEST_F(TovmemImage, TextSummaryNamesTheImageFigures) {
    const Outcome o = tovmem("run --config 0x3000099 --clock 10 --image-base 0x00400000" + image_);
    EXPECT_EQ(o.status, 0);
    bool found = false;
    for (const std::string& l : lines(o.out)) found |= l.rfind("kernel image ", 0) == 0 && has(l, "stack bytes");
    EXPECT_TRUE(found) << o.out;
}

// check --all runs the image for every configuration: the verdicts are the
// host build's, and an image that cannot load is an error, not ignored.
TEST_F(TovmemImage, CheckAllRunsTheImage) {
    const Outcome host = tovmem("check --all");
    const Outcome image = tovmem("check --all" + image_);
    EXPECT_EQ(image.status, host.status);
    ASSERT_EQ(image.out.rfind("every run with" + image_ + "\n", 0), 0u) << image.out.substr(0, 200);
    EXPECT_EQ(image.out.substr(image.out.find('\n') + 1), host.out);
    const Outcome missing = tovmem("check --all --image /nonexistent.sys");
    EXPECT_EQ(missing.status, 2);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_TRUE(has(missing.err, "cannot read kernel image '/nonexistent.sys'")) << missing.err;
}

// A file that is not a kernel image, or a base it cannot load at: one line
// on stderr, status 2.
TEST_F(TovmemImage, UnloadableImageIsAUsageError) {
    for (const std::string& args : {std::string("--image /nonexistent.sys"), std::string("--image ") + TOVMEM_PATH,
                                    image_ + " --image-base 0x10000000"}) {
        const Outcome o = tovmem("run --config 0x3000099 --clock 10 " + args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_TRUE(o.out.empty()) << args;
        EXPECT_EQ(lines(o.err).size(), 1u) << o.err;
    }
}

}  // namespace
