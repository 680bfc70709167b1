// tovmem run --image: the shipped kernel image behind the same command line
// and output as a host run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct Outcome {
    int status;
    std::vector<std::string> out;
    std::string err;
};

// Runs tovmem with its stderr in a file of this call's own.
Outcome tovmem(const std::string& args) {
    char err_path[] = "/tmp/tovmem_image_err_XXXXXX";
    const int fd = mkstemp(err_path);
    if (fd < 0) return {-1, {}, "mkstemp failed"};
    close(fd);
    Outcome o{};
    FILE* f = popen((std::string(TOVMEM_PATH) + " " + args + " 2>" + err_path).c_str(), "r");
    std::array<char, 4096> line;
    while (f && fgets(line.data(), line.size(), f)) o.out.emplace_back(line.data());
    const int st = f ? pclose(f) : -1;
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(err_path);
    o.err.assign(std::istreambuf_iterator<char>(e), std::istreambuf_iterator<char>());
    std::filesystem::remove(err_path);
    return o;
}

class TovmemImage : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(TOV_KERNEL_IMAGE).empty()) GTEST_SKIP() << "configured without a kernel image";
        image_ = std::string(" --image ") + TOV_KERNEL_IMAGE;
    }
    std::string image_;
};

bool sink_event(const std::string& l) {
    return l.find(R"("ev":"trace")") != std::string::npos || l.find(R"("ev":"delay_)") != std::string::npos;
}

// Same JSON lines as the host run, less the trace sink's events, with the
// image's stack and instruction figures on the result line; same exit status.
TEST_F(TovmemImage, JsonLinesMatchTheHostRun) {
    for (const std::string args : {"--config 0x3000099 --clock 10", "--config 0x3000002 --clock 0 --unstable 0x828",
                                   "--config 0x24 --clock 0 --power-mode 2 --cmd-stuck-at 3"}) {
        const Outcome host = tovmem("run " + args + " --format jsonl");
        const Outcome image = tovmem("run " + args + " --format jsonl" + image_);
        ASSERT_FALSE(host.out.empty());
        EXPECT_EQ(image.status, host.status) << args;
        std::vector<std::string> expected;
        for (const std::string& l : host.out)
            if (!sink_event(l)) expected.push_back(l);
        ASSERT_EQ(image.out.size(), expected.size()) << args;
        for (size_t i = 0; i + 1 < expected.size(); ++i) EXPECT_EQ(image.out[i], expected[i]) << args << " line " << i;
        // The result line is the host's with the image's two figures added
        // after "elapsed".
        const std::string& result = image.out.back();
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
    for (const std::string& l : o.out) found |= l.rfind("kernel image ", 0) == 0 && l.find("stack bytes") != std::string::npos;
    EXPECT_TRUE(found);
}

// A file that is not a kernel image, or a base it cannot load at: one line
// on stderr, status 2.
TEST_F(TovmemImage, UnloadableImageIsAUsageError) {
    for (const std::string& args : {std::string("--image /nonexistent.sys"), std::string("--image ") + TOVMEM_PATH,
                                   image_ + " --image-base 0x10000000"}) {
        const Outcome o = tovmem("run --config 0x3000099 --clock 10 " + args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_TRUE(o.out.empty()) << args;
        ASSERT_FALSE(o.err.empty()) << args;
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << o.err;
    }
}

}  // namespace
