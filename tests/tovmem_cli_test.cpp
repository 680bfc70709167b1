// The tovmem command line: exit statuses, argument errors, the JSON-lines
// trace and the table listing.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Standard error goes to a file of this call's own, so that tests running
// in parallel never read each other's.
Outcome tovmem(const std::string& args) {
    std::string err_file = ::testing::TempDir() + "tovmem_stderr_XXXXXX";
    const int fd = mkstemp(err_file.data());
    if (fd < 0) return {-1, "", ""};
    close(fd);
    const std::string cmd = std::string(TOVMEM_PATH) + " " + args + " 2>" + err_file;
    Outcome o{};
    FILE* f = popen(cmd.c_str(), "r");
    if (!f) {
        std::remove(err_file.c_str());
        return {-1, "", ""};
    }
    std::array<char, 65536> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), f)) > 0) o.out.append(buf.data(), n);
    const int st = pclose(f);
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    if (FILE* e = fopen(err_file.c_str(), "r")) {
        while ((n = fread(buf.data(), 1, buf.size(), e)) > 0) o.err.append(buf.data(), n);
        fclose(e);
    }
    std::remove(err_file.c_str());
    return o;
}

std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
}

TEST(TovmemCli, OutsideFamiliesPrintsOnlyTheUntouchedResult) {
    const Outcome o = tovmem("run --config 0x2000000 --clock 0 --format jsonl");
    EXPECT_EQ(o.status, 1);
    const auto l = lines(o.out);
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].rfind(R"({"ev":"result","ret":0,"config_id":33554432,"clock_index":0,)"
                         R"("mem_size":2779096485,"bus_flag":2779096485,"mode_flag":2779096485,)"
                         R"("power_mode":0,"mem_clock_khz":2779096485,"mem_size_out":2779096485,)"
                         R"("map_value":2779096485,"reserved":[2779096485,2779096485,)"
                         R"(2779096485,2779096485,2779096485])",
                         0),
              0u)
        << l[0];
}

TEST(TovmemCli, ResultShowsTheRemappedClock) {
    const Outcome o = tovmem("run --config 0x10 --clock 1 --format jsonl");
    const auto l = lines(o.out);
    ASSERT_FALSE(l.empty());
    EXPECT_NE(l.back().find(R"("ev":"result")"), std::string::npos);
    EXPECT_NE(l.back().find(R"("clock_index":7,)"), std::string::npos) << l.back();
    EXPECT_NE(l.back().find(R"("power_mode":0,)"), std::string::npos);
}

TEST(TovmemCli, JsonLinesHaveOneEventPerLine) {
    const Outcome o = tovmem("run --config 0x3000099 --clock 10 --format jsonl --reg 0x47c=1");
    const auto l = lines(o.out);
    ASSERT_FALSE(l.empty());
    for (const std::string& line : l) {
        bool known = false;
        for (const char* ev : {"store", "load", "aux_load", "delay_ticks", "delay_ms", "trace", "result"})
            known = known || line.rfind(std::string(R"({"ev":")") + ev + '"', 0) == 0;
        EXPECT_TRUE(known) << line;
    }
    EXPECT_EQ(l.back().rfind(R"({"ev":"result")", 0), 0u);
}

TEST(TovmemCli, ListPrintsEveryRow) {
    const Outcome o = tovmem("list");
    EXPECT_EQ(o.status, 0);
    const auto l = lines(o.out);
    EXPECT_EQ(l.size(), 191u);
    size_t halden = 0, orlit = 0, varnel = 0;
    for (const std::string& s : l) {
        halden += s.rfind("halden", 0) == 0;
        orlit += s.rfind("orlit", 0) == 0;
        varnel += s.rfind("varnel", 0) == 0;
    }
    EXPECT_EQ(halden, 28u);
    EXPECT_EQ(orlit, 59u);
    EXPECT_EQ(varnel, 104u);
    EXPECT_NE(o.out.find("id 0x03000099  meminit_varnel_high_1down_V58C2256164SCI5"), std::string::npos);
}

TEST(TovmemCli, HelpForEveryCommand) {
    for (const char* a : {"--help", "run --help", "list --help"}) {
        const Outcome o = tovmem(a);
        EXPECT_EQ(o.status, 0) << a;
        EXPECT_NE(o.out.find("usage: tovmem"), std::string::npos) << a;
    }
}

TEST(TovmemCli, BadArgumentsGiveOneLineAndStatusTwo) {
    const char* const bad[] = {
        "",
        "frobnicate",
        "run",
        "run --config 0x10",
        "run --clock 3",
        "run --config zz --clock 1",
        "run --config 0x100000000 --clock 1",
        "run --config 1 --clock -1",
        "run --config 1 --clock 1 --format xml",
        "run --config 1 --clock 1 --reg 0x810",
        "run --config 1 --clock 1 --reg 0x811=1",
        "run --config 1 --clock 1 --fb-corrupt 2=1",
        "run --config 1 --clock 1 --cmd-stuck-at 0",
        "run --config 1 --clock 1 --bogus 1",
        "run --config 1 --clock",
        "list extra",
    };
    for (const char* a : bad) {
        const Outcome o = tovmem(a);
        EXPECT_EQ(o.status, 2) << a;
        EXPECT_EQ(lines(o.err).size(), 1u) << a << ": " << o.err;
        EXPECT_EQ(o.err.rfind("tovmem: ", 0), 0u) << a;
        EXPECT_TRUE(o.out.empty()) << a;
    }
}

TEST(TovmemCli, TextTraceNamesRegistersAndSummarises) {
    const Outcome o = tovmem("run --config 0x3000099 --clock 10");
    EXPECT_NE(o.out.find("result "), std::string::npos);
    EXPECT_NE(o.out.find("memory clock "), std::string::npos);
    EXPECT_NE(o.out.find("virtual time "), std::string::npos);
    EXPECT_NE(o.out.find("loads, "), std::string::npos);
    EXPECT_NE(o.out.find("DRAM command 5: mode register set: CAS latency 3, burst 4, DLL reset"), std::string::npos);
    EXPECT_NE(o.out.find(", 10 DRAM commands,"), std::string::npos);
    // Commands started by read-modify-writes of the code register count too.
    const Outcome reinit = tovmem("run --config 0x3000002 --clock 0xffff0004");
    EXPECT_EQ(reinit.status, 0);
    EXPECT_NE(reinit.out.find(", 10 DRAM commands,"), std::string::npos) << reinit.out;
    EXPECT_NE(reinit.out.find("memory clock   25000 kHz"), std::string::npos);
}

}  // namespace
