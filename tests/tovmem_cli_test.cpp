// SPDX-License-Identifier: Apache-2.0
// The tovmem command line, run as a user runs it: exit statuses and one-line
// argument errors, what a run says about failures and faults, the table
// listing and `show`, the rule check, the comparison of two bring-ups and
// the waveform as a real VCD reader sees it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/table_facts.h"
#include "tests/tovmem_process.h"
#include "tools/tovmem/rules.h"

namespace tov::test::tovmem_cli_test {
namespace {

using namespace tov::test;
// Beside the tool's own namespace in a unity build: this is the process runner.

// ---- arguments ----

class BadArguments : public ::testing::TestWithParam<const char*> {};

TEST_P(BadArguments, OneLineOnStderrAndStatusTwo) {
    const Outcome o = run_tovmem(GetParam());
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(lines(o.err).size(), 1u) << o.err;
    EXPECT_EQ(o.err.rfind("tovmem: ", 0), 0u) << o.err;
    EXPECT_TRUE(has(o.err, "(see 'tovmem --help')")) << o.err;
    EXPECT_TRUE(o.out.empty()) << o.out;
}

INSTANTIATE_TEST_SUITE_P(
    Tovmem, BadArguments,
    ::testing::Values(
        "", "frobnicate", "run", "run --config 0x10", "run --clock 3", "run --config zz --clock 1",
        "run --config 0x100000000 --clock 1", "run --config 1 --clock -1", "run --config 1 --clock \"' 5'\"",
        "run --config 1 --clock \"'5 '\"", "run --config 1 --clock +5", "run --config 1 --clock 1 --format xml",
        "run --config 1 --clock 1 --reg 0x810", "run --config 1 --clock 1 --reg 0x811=1",
        "run --config 1 --clock 1 --fb-corrupt 2=1", "run --config 1 --clock 1 --cmd-stuck-at 0",
        "run --config 1 --clock 1 --bogus 1", "run --config 1 --clock 1 --bogus", "run --config 1 --clock",
        "run --config 1 --clock 1 extra", "list extra", "list --format xml", "show", "show zz", "show 1 --format xml",
        "check", "check --all --config 1 --clock 1", "check --config 1", "check /nonexistent/trace", "diff --config 1",
        "diff --config 1 --clock 1 --clock 2 --clock 3", "diff a.jsonl", "vcd", "vcd /nonexistent/trace",
        "run --config 1 --clock 1 --clock-phase 3", "run --config 1 --clock 1 --clock-period 0",
        "run --config 1 --clock 1 --clock-period 1.23456",
        "run --config 1 --clock 1 --clock-period 15.625 --clock-phase 15.625",
        "run --config 1 --clock 1 --clock-period .5", "run --config 1 --clock 1 --clock-period 5.",
        "run --config 1 --clock 1 --clock-period 1001", "--version extra", "run --config 1 --clock 1 --no-aux --no-aux",
        "run --config 1 --clock 1 --power-mode 1 --power-mode 1", "show 0x2000000",
        "run --config 1 --clock 1 --preempt 0:5", "run --config 1 --clock 1 --preempt 3",
        "run --config 1 --clock 1 --preempt 3:", "run --config 1 --clock 1 --preempt :5",
        "run --config 1 --clock 1 --preempt 3:60001", "run --config 1 --clock 1 --preempt 3:-1",
        "run --config 1 --clock 1 --cmd-latency-us 1000001", "run --config 1 --clock 1 --cmd-latency-us 1.5"));

// What a new user slips on: a repeated target gets a note, a power mode the
// record does not define gets one too, and run's help shows --power-mode as
// taken once.
TEST(TovmemCli, RepeatsAndOutOfRangeValuesAreNoted) {
    const Outcome twice = run_tovmem("run --config 0x10 --clock 1 --unstable 0x828 --unstable 0x828");
    EXPECT_TRUE(has(twice.out, "note           --unstable DRC_CMD_STATUS 0x828 is given more than once")) << twice.out;
    const Outcome five = run_tovmem("run --config 0x10 --clock 1 --power-mode 5");
    EXPECT_TRUE(has(five.out, "note           --power-mode 5 is outside 0 to 3")) << five.out;
    EXPECT_FALSE(has(run_tovmem("run --config 0x10 --clock 1 --power-mode 3").out, "outside 0 to 3"));
    const Outcome help = run_tovmem("run --help");
    EXPECT_TRUE(has(help.out, "--power-mode N ")) << help.out;
    EXPECT_FALSE(has(help.out, "--power-mode N ...")) << help.out;
    EXPECT_TRUE(has(run_tovmem("check --help").out, "--power-mode N ..."));
}

TEST(TovmemCli, ArgumentErrorsSayWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"run --config 1 --clock 1 --bogus", "unknown option '--bogus' for run"},
        {"run --config 1 --clock 1 --bogus 1", "unknown option '--bogus' for run"},
        {"run --config 1 --clock", "--clock needs a value"},
        {"run --config 1 --clock \"' 5'\"", "--clock expects a 32-bit number"},
        {"frobnicate", "unknown command 'frobnicate'"},
        {"list extra", "unexpected argument 'extra' for list"},
    };
    for (const auto& [args, msg] : cases) EXPECT_TRUE(has(run_tovmem(args).err, msg)) << args;
}

TEST(TovmemCli, WriteErrorsFailWithAMessage) {
    for (const char* args : {"list", "list --format jsonl", "run --config 0x3000099 --clock 10", "show 0x3000099",
                             "check --all", "run --config 0x3000099 --clock 10 --format vcd"}) {
        const Outcome o = run_tovmem(std::string(args) + " >/dev/full");
        EXPECT_EQ(o.status, 1) << args;
        EXPECT_TRUE(has(o.err, "tovmem: cannot write the output")) << args << ": " << o.err;
    }
}

TEST(TovmemCli, HelpForEveryCommand) {
    for (const char* a :
         {"--help", "run --help", "list --help", "show --help", "check --help", "diff --help", "vcd --help"}) {
        const Outcome o = run_tovmem(a);
        EXPECT_EQ(o.status, 0) << a;
        EXPECT_TRUE(has(o.out, "usage: tovmem")) << a;
    }
}

// The exact line an argument or input error prints. Run under `timeout` so
// that an input that never ends fails the test instead of hanging it.
struct ErrorCase {
    std::string args;
    std::string msg;
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.args; }

class ArgumentError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ArgumentError, NamesWhatIsWrongInOneLine) {
    const Outcome o = run_shell(std::string("timeout 30 ") + TOVMEM_PATH + " " + GetParam().args);
    EXPECT_EQ(o.status, 2) << GetParam().args;
    EXPECT_EQ(o.err, "tovmem: " + GetParam().msg + " (see 'tovmem --help')\n") << GetParam().args;
    EXPECT_TRUE(o.out.empty()) << o.out.substr(0, 200);
}

const std::string docs_dir = std::string(TOV_SOURCE_DIR) + "/docs";

INSTANTIATE_TEST_SUITE_P(
    Tovmem, ArgumentError,
    ::testing::Values(
        // An empty value is refused, never taken as "not given".
        ErrorCase{"run --config '' --clock 10", "--config needs a value, not an empty string"},
        ErrorCase{"run --config 0x10 --clock ''", "--clock needs a value, not an empty string"},
        ErrorCase{"run --config 0x10 --clock 1 --power-mode ''", "--power-mode needs a value, not an empty string"},
        ErrorCase{"run --config 0x10 --clock 1 --image ''", "--image needs a value, not an empty string"},
        ErrorCase{"run --config 0x10 --clock 1 --image x.sys --image-base ''",
                  "--image-base needs a value, not an empty string"},
        ErrorCase{"run --config 0x3000099 --clock 10 --cmd-stuck-at ''",
                  "--cmd-stuck-at needs a value, not an empty string"},
        ErrorCase{"check --config 0x10 --clock 1 --mem-clock-khz ''",
                  "--mem-clock-khz needs a value, not an empty string"},
        ErrorCase{"check ''", "TRACE needs a value, not an empty string"},
        ErrorCase{"diff --config '' --clock 1", "--config needs a value, not an empty string"},
        // An unknown option is named first, wherever it stands.
        ErrorCase{"--bogus run --config 1 --clock 1", "unknown option '--bogus' before the command run"},
        ErrorCase{"run --bogus", "unknown option '--bogus' for run"},
        ErrorCase{"check --all --bogus", "unknown option '--bogus' for check"},
        ErrorCase{"run --config 1 --config 2 --clock 1", "--config is given more than once"},
        ErrorCase{"run --config 1 --clock 1 --power-mode 1 --power-mode 2", "--power-mode is given more than once"},
        ErrorCase{"run --config 1 --clock 1 --no-aux --no-aux", "--no-aux is given more than once"},
        ErrorCase{"check --config 0x3000099 --clock 10 --mem-clock-khz 0", "--mem-clock-khz must be above 0"},
        // check and diff refuse what they cannot apply.
        ErrorCase{"check /dev/null --config 1 --clock 2",
                  "check takes a trace file or a run (--config, --clock), not both"},
        ErrorCase{"check /dev/null --image x.sys", "check of a trace file takes no run options: --image is for a run"},
        ErrorCase{"check /dev/null --power-mode 2",
                  "check of a trace file takes no run options: --power-mode is for a run"},
        ErrorCase{"check /dev/null --cmd-stuck-at 3",
                  "check of a trace file takes no run options: --cmd-stuck-at is for a run"},
        ErrorCase{"check /dev/null --no-aux", "check of a trace file takes no run options: --no-aux is for a run"},
        ErrorCase{"check --all /dev/null", "check takes a trace file or --all, not both"},
        ErrorCase{"check --all --config 1",
                  "check --all runs every table ID at clock_index 0 to 13: it takes no --config"},
        ErrorCase{"diff - -", "diff reads one trace from standard input ('-'), not both"},
        ErrorCase{"diff /dev/null /dev/null --no-aux",
                  "diff compares two runs (--config, --clock, --power-mode, --no-aux) or two trace files, not both"},
        ErrorCase{"help frobnicate", "unknown command 'frobnicate'"},
        ErrorCase{"help run list", "help takes at most one command, not 'list'"},
        // File errors name the file and the reason.
        ErrorCase{"run --config 0x3000099 --clock 10 --image " + docs_dir,
                  "cannot read kernel image '" + docs_dir + "': Is a directory"},
        ErrorCase{"run --config 0x3000099 --clock 10 --image /nonexistent.sys",
                  "cannot read kernel image '/nonexistent.sys': No such file or directory"},
        ErrorCase{"check " + docs_dir, "cannot read trace file '" + docs_dir + "': Is a directory"},
        ErrorCase{"vcd " + docs_dir, "cannot read trace file '" + docs_dir + "': Is a directory"},
        ErrorCase{"diff " + docs_dir + " /dev/null", "cannot read trace file '" + docs_dir + "': Is a directory"},
        ErrorCase{"diff /dev/null /dev/null", "/dev/null: no events"},
        ErrorCase{"check /nonexistent/trace", "cannot read trace file '/nonexistent/trace': No such file or directory"},
        // Endless input ends in an error, at once.
        ErrorCase{"check /dev/zero", "/dev/zero line 1: longer than 64 KiB: not a trace line"},
        ErrorCase{"vcd /dev/zero", "/dev/zero line 1: longer than 64 KiB: not a trace line"},
        ErrorCase{"check - </dev/zero", "standard input line 1: longer than 64 KiB: not a trace line"},
        ErrorCase{"run --config 0x3000099 --clock 10 --image /dev/zero",
                  "kernel image '/dev/zero' is larger than 64 MiB: not a kernel image"}));

TEST(TovmemCli, TraceOfTooManyLinesIsRefused) {
    const TempFile blank(std::string(1100000, '\n'));
    const Outcome o = run_shell(std::string("timeout 30 ") + TOVMEM_PATH + " check " + blank.path);
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(has(o.err, ": more than 1048576 lines or 256 MiB: too long for a trace")) << o.err;
}

TEST(TovmemCli, TruncatedTraceIsAnError) {
    const std::string full = run_tovmem("run --config 0x3000099 --clock 10 --format jsonl").out;
    std::vector<std::string> l = lines(full);
    ASSERT_GT(l.size(), 2u);
    std::string cut;
    for (size_t i = 0; i + 1 < l.size(); ++i) cut += l[i] + "\n";
    const TempFile whole(full), truncated(cut);
    for (const std::string& args :
         {"check " + truncated.path, "vcd " + truncated.path, "diff " + whole.path + " " + truncated.path}) {
        const Outcome o = run_tovmem(args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_TRUE(
            has(o.err, truncated.path + ": truncated: " + std::to_string(l.size() - 1) + " events and no result line"))
            << o.err;
    }
    EXPECT_EQ(run_tovmem("check " + whole.path).status, 0);
}

class HelpCommand : public ::testing::TestWithParam<const char*> {};

TEST_P(HelpCommand, IsTheSameAsDashDashHelp) {
    const std::string cmd = GetParam();
    const Outcome help = run_tovmem("help " + cmd);
    const Outcome dash = run_tovmem(cmd + " --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(has(help.out, "usage: tovmem")) << help.out;
    EXPECT_EQ(help.out, dash.out);
}

INSTANTIATE_TEST_SUITE_P(Tovmem, HelpCommand,
                         ::testing::Values("", "run", "show", "list", "check", "diff", "vcd", "report"));

// ---- what a run says ----

struct RunCase {
    const char* args;
    int status;
    std::vector<const char*> present;
    std::vector<const char*> absent;
};

class RunSays : public ::testing::TestWithParam<RunCase> {};

TEST_P(RunSays, WhatHappened) {
    const RunCase& c = GetParam();
    const Outcome o = run_tovmem(std::string("run ") + c.args);
    EXPECT_EQ(o.status, c.status) << o.err;
    for (const char* s : c.present) EXPECT_TRUE(has(o.out, s)) << "missing: " << s << "\n" << o.out;
    for (const char* s : c.absent) EXPECT_FALSE(has(o.out, s)) << "unexpected: " << s;
}

INSTANTIATE_TEST_SUITE_P(
    Tovmem, RunSays,
    ::testing::Values(
        // Fields never written are not shown as values; JSON lines keep the raw word.
        RunCase{"--config 0x2000000 --clock 10",
                1,
                {"memory clock   not written", "memory size    not written", "map value      not written",
                 "cause          ID 0x2000000 is outside the three families"},
                {"2779096485", "MiB"}},
        RunCase{"--config 0x2000000 --clock 10 --format jsonl",
                1,
                {R"("mem_clock_khz":2779096485,)", R"("map_value":2779096485,)"},
                {}},
        // A read that never settled says so, with its loads and last value.
        RunCase{"--config 0x3000002 --clock 0 --unstable 0x828",
                1,
                {"read   DRC_CMD_STATUS 0x828  never settled: 32 loads without three agreeing, last 0x00000001",
                 "cause          register DRC_CMD_STATUS 0x828 never settled: 32 loads", "result         -1"},
                {"= 0x00000001  (32 loads)"}},
        // Busy polls are counted.
        RunCase{"--config 0x3000099 --clock 10 --cmd-latency 3",
                0,
                {"wait   DRC_CMD_STATUS 0x828  done after 2 polls, 1 saw the command busy (6 loads"},
                {"(6 loads)\n"}},
        // A command that takes true time is polled until it is done.
        RunCase{"--config 0x3000099 --clock 10 --cmd-latency-us 2000",
                0,
                {"wait   DRC_CMD_STATUS 0x828  done after 4 polls, 3 saw the command busy (12 loads, 2.0 ms)"},
                {}},
        // A thread preempted for 200 ms between a busy poll and its clock
        // reading polls once more and finds the command done.
        RunCase{"--config 0x3000099 --clock 10 --cmd-latency-us 2000 --preempt 84:200",
                0,
                {"    41.000  wait   DRC_CMD_STATUS 0x828  done after 4 polls, 3 saw the command busy (12 loads, "
                 "202.0 ms)",
                 "result         1 (memory up)"},
                {"time-out"}},
        // A time-out is an event line with its duration, and the cause of the failure.
        RunCase{"--config 0x3000099 --clock 10 --cmd-stuck-at 3",
                1,
                {"time-out  DRAM command 3 (precharge all, count 1) not done after 101.0 ms: 202 of 202 polls",
                 "cause          DRAM command 3 (precharge all, count 1) not done after 101.0 ms"},
                {}},
        // The first family waits a tick and reads the done bit once.
        RunCase{"--config 0x10 --clock 1 --cmd-stuck-at 2",
                1,
                {"time-out  DRAM command 2 (precharge all, count", "1 of 1 poll saw it busy",
                 "clock_index    1 given, 7 after dispatch"},
                {}},
        // An unlisted ID runs the table's first row, and the tool says so.
        RunCase{"--config 0x30000999 --clock 10",
                0,
                {"note           ID 0x30000999 is not in the varnel table; row 0 (ID 0x3000000, "
                 "meminit_varnel_K4D551638F_TC40) ran instead"},
                {}},
        RunCase{"--config 0x30000999 --clock 10 --format jsonl",
                0,
                {R"("note":["ID 0x30000999 is not in the varnel table; row 0)"},
                {}},
        // A wrong frame-buffer read-back names the word expected and the one read.
        RunCase{"--config 0x3000099 --clock 10 --fb-corrupt 0=0x100",
                1,
                {"cause          frame-buffer check: test slot 0 read back 0x12345778, expected 0x12345678"},
                {}},
        RunCase{"--config 0x3000099 --clock 10 --fb-corrupt 1=1 --format jsonl",
                1,
                {R"("cause":"frame-buffer check: test slot 1 read back 0x87654320, expected 0x87654321)"},
                {}},
        // Fault options without effect are noted once.
        RunCase{"--config 0x3000099 --clock 10 --cmd-stuck-at 11 --unstable 0x6130 --reg 0x400=2",
                0,
                {"note           --cmd-stuck-at 11 had no effect: the run started 10 DRAM commands",
                 "note           --unstable 0x6130 had no effect", "note           --reg 0x400=0x2 had no effect"},
                {"--cmd-stuck-at 10 had"}},
        RunCase{
            "--config 0x1000000 --clock 10 --fb-corrupt 0=1 --aux-value 7 --format jsonl",
            0,
            {"--fb-corrupt 0=0x1 had no effect: the test client never wrote slot 0", "--aux-value 0x7 had no effect"},
            {}},
        RunCase{"--config 0x3000099 --clock 10 --cmd-stuck-at 10",
                1,
                {"time-out  DRAM command 10 (closing command"},
                {"had no effect"}},
        // The summary: remapped clock, decoded commands, counts.
        RunCase{"--config 0x3000099 --clock 10",
                0,
                {"DRAM command 5: mode register set: CAS latency 3, burst 4, DLL reset, count 2", ", 10 DRAM commands,",
                 "memory clock   182250 kHz", "memory size    32 MiB (0x2000000)",
                 "clock_index    10 given, unchanged by dispatch", "virtual time   116.500 ms"},
                {"note", "cause"}},
        RunCase{"--config 0x3000002 --clock 0xffff0004",
                0,
                {", 10 DRAM commands,", "memory clock   25000 kHz",
                 "clock_index    0xffff0004 given, unchanged by dispatch"},
                {"4294901764"}},
        // Notes on arguments that do not do what they seem to: a power mode the
        // family never reads, a target given twice, a register outside the map.
        RunCase{"--config 0x3000099 --clock 10 --power-mode 2",
                0,
                {"note           power_mode 2 means nothing to the varnel family: only the halden routines read it"},
                {}},
        RunCase{"--config 0x1000000 --clock 10 --power-mode 1 --format jsonl",
                0,
                {"power_mode 1 means nothing to the orlit family"},
                {}},
        RunCase{"--config 0x24 --clock 0 --power-mode 2", 0, {}, {"means nothing"}},
        RunCase{"--config 0x3000099 --clock 10 --reg 0x47c=1 --reg 0x47c=2 --fb-corrupt 1=4 --fb-corrupt 1=0",
                0,
                {"note           --reg BLK_47C 0x47c is given more than once: the last value applies",
                 "note           --fb-corrupt slot 1 is given more than once: the last mask applies"},
                {"cause"}},
        RunCase{"--config 0x3000099 --clock 10 --reg 0xfffc=1",
                0,
                {"note           --reg 0xfffc=0x1 had no effect: register 0xfffc was never read"},
                {"? 0xfffc"}}));

TEST(TovmemCli, JsonLinesKeepTheirEventsAndAddOnlyKeys) {
    const Outcome o = run_tovmem("run --config 0x3000099 --clock 10 --format jsonl --reg 0x47c=1");
    const auto l = lines(o.out);
    ASSERT_FALSE(l.empty());
    for (size_t i = 0; i + 1 < l.size(); ++i) {
        bool known = false;
        for (const char* ev : {"store", "load", "aux_load", "delay_ticks", "delay_ms", "trace"})
            known = known || l[i].rfind(std::string(R"({"ev":")") + ev + "\",", 0) == 0;
        EXPECT_TRUE(known) << l[i];
    }
    EXPECT_EQ(l.back(),
              R"({"ev":"result","ret":1,"config_id":50331801,"clock_index":10,"mem_size":67108864,)"
              R"("bus_flag":1,"mode_flag":0,"power_mode":0,"mem_clock_khz":182250,)"
              R"("mem_size_out":33554432,"map_value":5,"reserved":[2779096485,2779096485,)"
              R"(2779096485,2779096485,2779096485],"t":1165000,"elapsed":1165000,"config_id_hex":"0x3000099"})");
}

// ---- tables ----

TEST(TovmemCli, ListHasAHeaderAndEveryRowInTextAndJsonLines) {
    const Outcome text = run_tovmem("list");
    EXPECT_EQ(text.status, 0);
    const auto t = lines(text.out);
    ASSERT_EQ(t.size(), facts::table_rows() + 1);
    EXPECT_EQ(t[0].rfind("family row  id", 0), 0u) << t[0];
    EXPECT_TRUE(has(text.out, "0x03000099  meminit_varnel_high_1down_V58C2256164SCI5"));

    const Outcome jl = run_tovmem("list --format jsonl");
    const auto j = lines(jl.out);
    ASSERT_EQ(j.size(), facts::table_rows());
    std::map<std::string, int> per_family;
    for (const std::string& s : j) {
        const auto row = nlohmann::json::parse(s);
        ++per_family[row.at("family").get<std::string>()];
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%x", row.at("id").get<unsigned>());
        EXPECT_EQ(row.at("id_hex"), hex);
        if (row.at("id") == 0x3000099) {
            EXPECT_EQ(row.at("row"), facts::row_of(0x3000099));
            EXPECT_EQ(row.at("routine"), "meminit_varnel_high_1down_V58C2256164SCI5");
            EXPECT_EQ(row.at("size"), 64 * 0x100000);
            EXPECT_EQ(row.at("map"), 4);
        }
    }
    std::map<std::string, int> tables;
    for (tov::Family f : facts::families)
        tables[tov::family_table(f).name] = static_cast<int>(tov::family_table(f).count);
    EXPECT_EQ(per_family, tables);
}

TEST(TovmemCli, ShowListsEveryClockIndexWithClockSizeAndResult) {
    const Outcome o = run_tovmem("show 0x3000099");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(has(o.out, "ID 0x3000099: varnel table, row " + std::to_string(facts::row_of(0x3000099))));
    EXPECT_TRUE(has(o.out, "routine        meminit_varnel_high_1down_V58C2256164SCI5"));
    // Rows: clock_index, index after dispatch, kHz, size, map value, "1 memory up", time.
    int clocks = 0;
    for (const std::string& l : lines(o.out)) {
        std::istringstream in(l);
        std::string given, after, khz, khz_unit, mib, mib_unit, map, result, memory, up, time;
        in >> given >> after >> khz >> khz_unit >> mib >> mib_unit >> map >> result >> memory >> up >> time;
        clocks += !in.fail() && khz_unit == "kHz" && mib_unit == "MiB" && result == "1" && memory == "memory" &&
                  up == "up" && (in >> std::ws).eof();
    }
    EXPECT_EQ(clocks, 15);  // 0..13 and the reserved 0xffff0004
    EXPECT_TRUE(has(o.out, "         10          10    182250 kHz  32 MiB         5  1 memory up"));

    // The forms: the half-width clocks 10 and 11 apart from the rest, each
    // with its controller words and its commands, a count also as time at
    // the memory clock (39151 cycles at 182.25 MHz: 214.82 us).
    EXPECT_TRUE(has(o.out, "\nform 1 (clock_index 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 0xffff0004)\n")) << o.out;
    EXPECT_TRUE(has(o.out, "\nform 2 (clock_index 10, 11)\n")) << o.out;
    EXPECT_FALSE(has(o.out, "\nform 3 ")) << o.out;
    EXPECT_TRUE(has(o.out, "  controller   DRC_CFG 0x2ea0936, 0xc2ea0936, 0x2ea0936; DRC_814 0x5f70b38;")) << o.out;
    EXPECT_TRUE(has(o.out, "  controller   DRC_CFG 0x12ea0936, 0xd2ea0936, 0x12ea0936;")) << o.out;
    EXPECT_TRUE(has(o.out, "   2  NOP, CKE high, count 39151 = 214.8 us\n")) << o.out;
    EXPECT_TRUE(has(o.out, "   5  mode register set: CAS latency 3, burst 4, DLL reset, count 2 = 11.0 ns\n")) << o.out;

    const Outcome j = run_tovmem("show 0x10 --format jsonl");
    const auto l = lines(j.out);
    ASSERT_EQ(l.size(), 1u + 14 + 3);
    EXPECT_EQ(nlohmann::json::parse(l[0]).at("remapped"), true);
    const auto c1 = nlohmann::json::parse(l[2]);
    EXPECT_EQ(c1.at("clock_index"), 1);
    EXPECT_EQ(c1.at("after_dispatch"), 7);
    EXPECT_EQ(c1.at("ret"), 1);

    const Outcome unlisted = run_tovmem("show 0x30000999");
    EXPECT_TRUE(has(unlisted.out, "not listed: the family's default row 0x3000000 runs")) << unlisted.out;
    for (const char* format : {"", " --format jsonl"}) {
        const Outcome outside = run_tovmem(std::string("show 0x2000000") + format);
        EXPECT_EQ(outside.status, 2);
        EXPECT_TRUE(outside.out.empty()) << outside.out;
        EXPECT_EQ(lines(outside.err).size(), 1u) << outside.err;
        EXPECT_TRUE(has(outside.err,
                        "ID 0x2000000 is in none of the three families: its family bits, ID & 0xf3ff0000, "
                        "are 0x2000000; the dispatcher takes 0x0 as halden, 0x1000000 as orlit and 0x3000000 "
                        "or above as varnel"))
            << outside.err;
    }
    const Outcome power = run_tovmem("show 0x3000099 --power-mode 3");
    EXPECT_TRUE(has(power.out, "note           power_mode 3 means nothing to the varnel family")) << power.out;
}

// The map value the call reports at each clock_index, which the third
// family's dispatcher replaces after the routine, is the one a run reports.
class ShowMap : public ::testing::TestWithParam<const char*> {};

TEST_P(ShowMap, IsWhatARunReports) {
    const std::string id = GetParam();
    const auto rows = lines(run_tovmem("show " + id + " --format jsonl").out);
    ASSERT_GT(rows.size(), 15u);
    for (size_t i = 1; i < rows.size(); ++i) {
        const auto row = nlohmann::json::parse(rows[i]);
        const std::string clock = std::to_string(row.at("clock_index").get<uint32_t>());
        const auto run = lines(run_tovmem("run --config " + id + " --clock " + clock + " --format jsonl").out);
        ASSERT_FALSE(run.empty());
        EXPECT_EQ(row.at("map_value"), nlohmann::json::parse(run.back()).at("map_value")) << id << " clock " << clock;
    }
}

INSTANTIATE_TEST_SUITE_P(Tovmem, ShowMap,
                         ::testing::Values("0x3000099", "0x3000044", "0x30000b0", "0x10", "0x1000061"));

// ---- check ----

TEST(TovmemCli, CheckOfARunAndOfItsTraceAgree) {
    for (const char* args :
         {"--config 0x3000099 --clock 10", "--config 0x3000002 --clock 10", "--config 0x10 --clock 1"}) {
        const Outcome run = run_tovmem(std::string("check ") + args);
        const TempFile trace(bus_only(run_tovmem(std::string("run ") + args + " --format jsonl").out));
        const Outcome file = run_tovmem("check " + trace.path);
        const Outcome stdin_ = run_shell(std::string(TOVMEM_PATH) + " check - <" + trace.path);
        EXPECT_TRUE(has(run.out, "command counts are read as memory-clock cycles")) << args;
        // The verdict lines (after the header) agree.
        auto verdicts = [](const std::string& s) { return s.substr(s.find("\n\n")); };
        EXPECT_EQ(verdicts(run.out), verdicts(file.out)) << args;
        EXPECT_EQ(verdicts(run.out), verdicts(stdin_.out)) << args;
        EXPECT_EQ(run.status, file.status) << args;
    }
    const Outcome good = run_tovmem("check --config 0x3000099 --clock 10");
    EXPECT_EQ(good.status, 0);
    const size_t rules = tovmem::rule_names().size();
    EXPECT_TRUE(has(good.out, std::to_string(rules) + " rules: " + std::to_string(rules) + " pass, 0 fail"));
    EXPECT_TRUE(has(good.out, "count 39151 cycles at 182250 kHz = 214.8 us"));
    const Outcome cl4 = run_tovmem("check --config 0x3000041 --clock 10");
    EXPECT_EQ(cl4.status, 1);
    EXPECT_TRUE(has(cl4.out, "FAIL  cas-latency")) << cl4.out;
    const Outcome first_family = run_tovmem("check --config 0x10 --clock 1");
    EXPECT_TRUE(has(first_family.out, "FAIL  cke-low-first")) << first_family.out;
}

TEST(TovmemCli, HeadersWriteReservedClocksInHex) {
    EXPECT_TRUE(has(run_tovmem("check --config 0x3000002 --clock 0xffff0004").out,
                    "check of config 0x3000002, clock_index 0xffff0004:"));
    EXPECT_TRUE(
        has(run_tovmem("diff --config 0x3000002 --clock 0xffff0004").out, "A: result 1, clock_index 0xffff0004,"));
}

// The first two families never show CKE low on the bus: the finding is
// marked, still counted, and explained once.
TEST(TovmemCli, CheckMarksTheFindingsAFamilyExpects) {
    const std::string why = "hold CKE low from reset";
    for (const char* args : {"--config 0x10 --clock 1", "--config 0x1000000 --clock 10"}) {
        const Outcome o = run_tovmem(std::string("check ") + args);
        EXPECT_EQ(o.status, 1) << args;
        EXPECT_TRUE(has(o.out, "raises CKE with no CKE-low command before it (expected for this family)\n")) << o.out;
        const size_t rules = tovmem::rule_names().size();
        EXPECT_TRUE(has(o.out, std::to_string(rules) + " rules: " + std::to_string(rules - 1) +
                                   " pass, 1 fail (1 expected for this family)"))
            << o.out;
        EXPECT_EQ(o.out.find(why), o.out.rfind(why)) << o.out;
        EXPECT_NE(o.out.find(why), std::string::npos) << o.out;
    }
    EXPECT_FALSE(has(run_tovmem("check --config 0x3000099 --clock 10").out, "expected"));

    const Outcome all = run_tovmem("check --all");
    size_t marked = 0;
    for (const std::string& l : lines(all.out)) {
        marked += has(l, "cke-low-first (expected for this family)");
        EXPECT_FALSE(has(l, "cke-low-first:")) << l;  // never a finding of its own
    }
    EXPECT_TRUE(has(all.out, "failures by rule: cke-low-first " + std::to_string(marked) + " (" +
                                 std::to_string(marked) + " expected for their family)"))
        << all.out.substr(all.out.rfind("total"));
    EXPECT_GT(marked, 0u);
    EXPECT_EQ(all.out.find(why), all.out.rfind(why));
}

// The first family's power mode 2 sends only the closing command: no
// power-up list to check, not nine failed rules.
TEST(TovmemCli, CheckOfARunWithoutAPowerUpList) {
    const Outcome o = run_tovmem("check --config 0x24 --clock 0 --power-mode 2");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(has(o.out, "no power-up list: only the closing command was sent (power_mode 2)")) << o.out;
    EXPECT_FALSE(has(o.out, "FAIL"));
}

std::vector<std::string> config_lines(const std::string& out, const std::string& prefix = "0x") {
    std::vector<std::string> r;
    for (const std::string& l : lines(out))
        if (l.rfind(prefix, 0) == 0 && has(l, " clock ")) r.push_back(l);
    return r;
}

// A clock like Windows' changes no finding: the rules read the DRAM
// commands, which do not depend on the clock.
TEST(TovmemCli, CheckAllFindsTheSameOnACoarseClock) {
    const Outcome plain = run_tovmem("check --all");
    const Outcome coarse = run_tovmem("check --all --clock-period 15.625 --clock-phase 7.8");
    EXPECT_EQ(coarse.out.rfind("every run with --clock-period 15.625 --clock-phase 7.8\n", 0), 0u) << coarse.out;
    EXPECT_EQ(config_lines(coarse.out), config_lines(plain.out));
    EXPECT_EQ(config_lines(plain.out).size(), facts::table_rows() * 14u);
    EXPECT_EQ(coarse.status, plain.status);
}

// The clock options: the phase defaults to 0, every delay lasts its
// minimum of true time, and the time stamps are true time from the
// call's start one period after boot.
TEST(TovmemCli, ClockPeriodAndPhase) {
    for (const char* phase : {"", " --clock-phase 3.2", " --clock-phase 15.6249"}) {
        const Outcome o =
            run_tovmem(std::string("run --config 0 --clock 1 --clock-period 15.625") + phase + " --format jsonl");
        ASSERT_EQ(o.status, 0) << o.err;
        const auto l = lines(o.out);
        ASSERT_GT(l.size(), 10u);
        EXPECT_TRUE(has(l.front(), "\"t\":156250}")) << l.front();
        size_t ticks = 0;
        for (size_t i = 0; i + 1 < l.size(); ++i) {
            if (!has(l[i], "{\"ev\":\"delay_ticks\",\"n\":1,")) continue;
            ++ticks;
            const auto t = [](const std::string& s) { return std::stoull(s.substr(s.rfind("\"t\":") + 4)); };
            EXPECT_GE(t(l[i + 1]) - t(l[i]), 100000u) << phase << ": " << l[i];
        }
        EXPECT_GT(ticks, 5u);
    }
    const Outcome text = run_tovmem("run --config 0x3000099 --clock 10 --clock-period 15.625 --clock-phase 3.2");
    EXPECT_TRUE(has(text.out, "\nclock          moves every 15.625 ms, first 3.2 ms after the call's start\n"))
        << text.out;
}

TEST(TovmemCli, CheckAllAppliesTheRunOptions) {
    const Outcome plain = run_tovmem("check --all");
    const Outcome mode2 = run_tovmem("check --all --power-mode 2");
    EXPECT_TRUE(has(mode2.out, "0x00000024 clock  0 power_mode 2  no power-up list: only the closing command"));
    EXPECT_TRUE(has(mode2.out, "note: only the halden routines read power_mode"));
    size_t closing_only = 0;
    for (const std::string& l : config_lines(mode2.out)) closing_only += has(l, "no power-up list");
    EXPECT_GT(closing_only, 0u);
    EXPECT_TRUE(has(mode2.out, ", " + std::to_string(closing_only) + " send only the closing command")) << mode2.out;
    // The families that do not read the power mode check as at power mode 0.
    auto strip = [](std::vector<std::string> v) {
        for (std::string& l : v) {
            const size_t at = l.find(" power_mode 2");
            if (at != std::string::npos) l.erase(at, 13);
        }
        return v;
    };
    EXPECT_EQ(strip(config_lines(mode2.out, "0x03")), config_lines(plain.out, "0x03"));
    EXPECT_EQ(strip(config_lines(mode2.out, "0x01")), config_lines(plain.out, "0x01"));

    const Outcome both = run_tovmem("check --all --power-mode 0 --power-mode 2");
    const uint32_t ids = facts::table_rows();
    EXPECT_EQ(config_lines(both.out).size(), 2u * ids * 14);
    EXPECT_TRUE(has(both.out, "total: " + std::to_string(2 * ids * 14) + " configurations (" + std::to_string(ids) +
                                  " table IDs x clock_index 0..13 x power_mode 0, 2)"));

    const Outcome stuck = run_tovmem("check --all --cmd-stuck-at 3");
    EXPECT_EQ(stuck.out.rfind("every run with --cmd-stuck-at 3\n", 0), 0u);
    EXPECT_TRUE(has(plain.out, "0x03000099 clock 10  ok"));
    EXPECT_TRUE(has(stuck.out, "0x03000099 clock 10  FAIL precharge-before-mrs: no mode register set;")) << stuck.out;
}

TEST(TovmemCli, CheckAllPrintsALinePerConfigurationAndATotal) {
    const Outcome o = run_tovmem("check --all");
    const auto l = lines(o.out);
    size_t configs = 0, failing = 0, ok = 0, silent = 0;
    for (const std::string& s : l) {
        // "0x3000099 clock 10  ok ..." and the like.
        std::istringstream in(s);
        std::string id, clock_word;
        unsigned clock = 0;
        in >> id >> clock_word >> clock;
        if (in.fail() || id.size() != 10 || id.rfind("0x", 0) != 0 || clock_word != "clock") continue;
        if (!has(s, "  ok") && !has(s, "  FAIL") && !has(s, "  no DRAM commands")) continue;
        ++configs;
        failing += has(s, "  FAIL ");
        ok += has(s, "  ok ");
        silent += has(s, "  no DRAM commands");
    }
    const uint32_t ids = facts::table_rows();
    EXPECT_EQ(configs, ids * 14u);
    char expected[200];
    std::snprintf(expected, sizeof expected,
                  "total: %u configurations (%u table IDs x clock_index 0..13): %zu pass every rule, %zu fail at "
                  "least one, %zu issue no DRAM command",
                  ids * 14, ids, ok, failing, silent);
    EXPECT_EQ(std::count(l.begin(), l.end(), std::string(expected)), 1) << o.out.substr(o.out.rfind("total"));
    EXPECT_EQ(o.status, failing ? 1 : 0);
}

// ---- diff ----

TEST(TovmemCli, DiffShowsDifferingStoresAndInsertedSteps) {
    const Outcome same = run_tovmem("diff --config 0x3000099 --clock 10");
    EXPECT_EQ(same.status, 0);
    EXPECT_TRUE(has(same.out, "identical: 137 steps alike, 0 only in A, 0 only in B"));

    const Outcome d = run_tovmem("diff --config 0x3000099 --clock 10 --config 0x3000020 --clock 10");
    EXPECT_EQ(d.status, 1);
    EXPECT_TRUE(has(d.out,
                    "~    20.500  write  SYS_050        0x050 := 0x0f006704\n"
                    "     20.500  write  SYS_050        0x050 := 0x0f006700\n"));
    EXPECT_TRUE(has(d.out, "+    45.500  write  BLK_43C        0x43c := 0x00020000\n"));
    EXPECT_TRUE(has(d.out, "different: 134 steps alike, 0 only in A, 2 only in B, 2 stores and 1 reads"));

    // Decoded commands on differing command words; the same from trace files.
    const Outcome cmd = run_tovmem("diff --config 0x3000099 --config 0x3000002 --clock 10");
    EXPECT_TRUE(has(
        cmd.out,
        "0x824 := 0x000f0032  [DRAM command 9: mode register set: CAS latency 3, burst 4, count 15 (word 0xf0032)]"))
        << cmd.out;
    const TempFile a(bus_only(run_tovmem("run --config 0x3000099 --clock 10 --format jsonl").out));
    const TempFile b(run_tovmem("run --config 0x3000002 --clock 10 --format jsonl").out);
    const Outcome files = run_tovmem("diff " + a.path + " " + b.path);
    EXPECT_EQ(files.status, 1);
    auto body = [](const std::string& s) { return s.substr(s.find('\n', s.find("+++"))); };
    EXPECT_EQ(body(files.out), body(cmd.out));
}

TEST(TovmemCli, DiffOfAStuckRunListsTheStepsItNeverReached) {
    const TempFile healthy(run_tovmem("run --config 0x3000099 --clock 10 --format jsonl").out);
    const TempFile stuck(run_tovmem("run --config 0x3000099 --clock 10 --cmd-stuck-at 9 --format jsonl").out);
    const Outcome o = run_tovmem("diff " + healthy.path + " " + stuck.path);
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(has(o.out, "- ")) << o.out;
    EXPECT_TRUE(has(o.out, "[DRAM command 10: closing command, count 200 (word 0x"));
    EXPECT_TRUE(has(o.out, "B: result 0,"));
    // The polls of the stuck command are B's extra steps; the alignment keeps
    // every earlier command paired.
    EXPECT_FALSE(has(o.out, "[DRAM command 8:")) << o.out;
}

// ---- waveform ----

// name -> (time, value) changes of a VCD, with the $dumpvars values at time 0;
// the signals of the registers read are named "reads.DRC_TEST_DATA", apart
// from those written. A viewer's converter may give two signals of the same
// changes one identifier: each name gets them.
std::map<std::string, std::vector<std::pair<long, std::string>>> vcd_changes(const std::string& vcd) {
    std::map<std::string, std::vector<std::string>> names;
    std::map<std::string, std::vector<std::pair<long, std::string>>> out;
    std::istringstream in(vcd);
    std::string tok, scope;
    long now = 0;
    while (in >> tok) {
        if (tok == "$scope") {
            std::string kind;
            in >> kind >> scope;
        } else if (tok == "$var") {
            std::string type, width, id, name;
            in >> type >> width >> id >> name;
            names[id].push_back(scope == "reads" ? "reads." + name : name);
        } else if (tok[0] == '#') {
            now = std::stol(tok.substr(1));
        } else if (tok[0] == 'b' || tok[0] == 's') {
            std::string id;
            in >> id;
            std::string v = tok.substr(1);
            if (tok[0] == 'b') {
                v.erase(0, std::min(v.find_first_not_of('0'), v.size() - 1));
                if (v.find_first_not_of('x') == std::string::npos) v = "x";
            }
            for (const std::string& name : names[id]) out[name].push_back({now, v});
        } else if ((tok[0] == '0' || tok[0] == '1' || tok[0] == 'x') && tok.size() > 1 && names.count(tok.substr(1))) {
            for (const std::string& name : names[tok.substr(1)]) out[name].push_back({now, tok.substr(0, 1)});
        }
    }
    return out;
}

TEST(TovmemCli, VcdConvertsWithAViewerAndKeepsEveryChange) {
    const TempFile vcd(run_tovmem("run --config 0x3000099 --clock 10 --format vcd").out);
    const TempFile fst;
    const Outcome conv = run_shell("vcd2fst " + vcd.path + " " + fst.path);
    ASSERT_EQ(conv.status, 0) << "vcd2fst (Debian package gtkwave) failed or is missing: " << conv.err;
    EXPECT_TRUE(conv.err.empty()) << conv.err;
    const Outcome back = run_shell("fst2vcd " + fst.path);
    ASSERT_EQ(back.status, 0) << back.err;

    // vcd2fst accepts broken input silently; the round trip shows what it understood.
    const auto ours = vcd_changes(vcd.read());
    const auto theirs = vcd_changes(back.out);
    ASSERT_GT(ours.size(), 30u);
    for (const auto& [name, changes] : ours) {
        ASSERT_TRUE(theirs.count(name)) << name;
        EXPECT_EQ(theirs.at(name).back(), changes.back()) << name;
    }
    // Register signals end on the last value stored; the command string walks the power-up list.
    const auto stores = lines(run_tovmem("run --config 0x3000099 --clock 10 --format jsonl").out);
    std::map<std::string, std::string> last;
    for (const std::string& l : stores) {
        const nlohmann::json j = nlohmann::json::parse(l);
        if (j["ev"] != "store") continue;
        std::string b;
        for (uint32_t v = j["val"].get<uint32_t>(); v; v >>= 1) b.insert(b.begin(), char('0' + (v & 1)));
        last[std::to_string(j["off"].get<uint32_t>())] = b.empty() ? "0" : b;
    }
    EXPECT_EQ(theirs.at("DRC_CFG").back().second, last[std::to_string(0x810)]);
    EXPECT_EQ(theirs.at("DRC_LANE0").back().second, last[std::to_string(0x860)]);
    std::vector<std::string> cmds;
    for (const auto& [t, v] : theirs.at("dram_cmd")) cmds.push_back(v);
    EXPECT_EQ(cmds, (std::vector<std::string>{"idle", "NOP_CKE_low", "NOP_CKE_high", "PRE_all", "EMRS", "MRS_DLL_reset",
                                              "PRE_all", "REF", "REF", "MRS", "CLOSE"}));
    std::vector<std::string> cke;
    for (const auto& [t, v] : theirs.at("cke")) cke.push_back(v);
    EXPECT_EQ(cke, (std::vector<std::string>{"x", "0", "1"}));
    EXPECT_EQ(theirs.at("done").back().second, "1");
}

TEST(TovmemCli, VcdOfABusOnlyTraceMatchesTheRun) {
    const std::string run = run_tovmem("run --config 0x3000099 --clock 10 --cmd-latency 2 --format vcd").out;
    const TempFile trace(bus_only(run_tovmem("run --config 0x3000099 --clock 10 --cmd-latency 2 --format jsonl").out));
    const Outcome o = run_tovmem("vcd " + trace.path);
    EXPECT_EQ(o.status, 0);
    auto body = [](const std::string& s) { return s.substr(s.find('\n')); };  // past the $comment line
    EXPECT_EQ(body(o.out), body(run));
}

// Each register read is a signal of the values its loads returned, so a
// wrong read-back shows; every run ends with its result and cause.
TEST(TovmemCli, VcdShowsReadsAndHowTheCallEnded) {
    const std::string fb = "run --config 0x3000099 --clock 10 --fb-corrupt 0=0x100";
    const auto changes = vcd_changes(run_tovmem(fb + " --format vcd").out);
    // The last load of DRC_TEST_DATA (0x874) as the trace holds it.
    uint32_t read_back = 0;
    for (const std::string& l : lines(run_tovmem(fb + " --format jsonl").out)) {
        const nlohmann::json j = nlohmann::json::parse(l);
        if (j["ev"] == "load" && j["off"] == 0x874) read_back = j["val"].get<uint32_t>();
    }
    ASSERT_NE(read_back, 0u);
    std::string b;
    for (uint32_t v = read_back; v; v >>= 1) b.insert(b.begin(), char('0' + (v & 1)));
    ASSERT_TRUE(changes.count("reads.DRC_TEST_DATA")) << "no signal of the register read";
    bool seen = false;
    for (const auto& [t, v] : changes.at("reads.DRC_TEST_DATA")) seen |= v == b;
    EXPECT_TRUE(seen) << "the value read back, " << read_back << ", is not in the waveform";
    EXPECT_EQ(changes.at("result").back().second, "0");
    EXPECT_NE(changes.at("cause").back().second.find("frame-buffer_check"), std::string::npos);
    // The result of every run, failed or not, and a run that stops before any store still has signals.
    const std::pair<const char*, const char*> runs[] = {
        {"--config 0x3000099 --clock 10", "1"},
        {"--config 0x3000099 --clock 10 --cmd-stuck-at 3", "0"},
        {"--config 0x3000002 --clock 0 --unstable 0x43c", "-1"},
        {"--config 0x1000054 --clock 10", "0"},
        {"--config 0 --clock 1 --power-mode 2", "1"},
    };
    for (const auto& [args, result] : runs) {
        const Outcome o = run_tovmem(std::string("run ") + args + " --format vcd");
        const auto c = vcd_changes(o.out);
        ASSERT_TRUE(c.count("result")) << args;
        EXPECT_EQ(c.at("result").front().second, "running") << args;
        EXPECT_EQ(c.at("result").back().second, result) << args;
        EXPECT_EQ(c.at("cause").back().second == "none", std::string(result) == "1") << args;
        EXPECT_TRUE(has(o.out, std::string("$comment result: ") + result)) << args;
    }
    const auto unstable = vcd_changes(run_tovmem("run --config 0x3000002 --clock 0 --unstable 0x43c --format vcd").out);
    ASSERT_TRUE(unstable.count("reads.BLK_43C"));
    EXPECT_GT(unstable.at("reads.BLK_43C").size(), 3u) << "the loads that never agreed";
    // A capture cut short: the result unknown, never 0.
    std::string cut;
    const std::vector<std::string> log = lines(run_tovmem("run --config 0x3000099 --clock 10 --format log").out);
    for (size_t k = 0; k < 60; ++k) cut += log[k] + "\n";
    const TempFile capture(cut);
    const auto partial = vcd_changes(run_tovmem("vcd " + capture.path).out);
    EXPECT_EQ(partial.at("result").back().second, "unknown");
}

// The GTKWave save file of the README picture names signals of the VCD that
// the command quoted in it writes, as GTKWave names them ("regs.DRC_CFG[31:0]").
TEST(TovmemCli, GtkwaveSaveFileNamesSignalsOfItsVcd) {
    std::ifstream f(std::string(TOV_SOURCE_DIR) + "/docs/tovmem_bring_up.gtkw");
    ASSERT_TRUE(f) << "docs/tovmem_bring_up.gtkw";
    std::string line, command;
    std::vector<std::string> shown;
    while (std::getline(f, line)) {
        const size_t run = line.find("tovmem run ");
        if (line.rfind("[*]", 0) == 0 && run != std::string::npos) command = line.substr(run + 7);
        if (!line.empty() && line[0] != '[' && line[0] != '@' && line[0] != '*') shown.push_back(line);
    }
    ASSERT_FALSE(command.empty());
    command.erase(command.find(" >"));
    const Outcome vcd = run_tovmem(command);
    ASSERT_EQ(vcd.status, 0) << command;
    std::set<std::string> names;
    std::vector<std::string> scope;
    std::istringstream in(vcd.out);
    std::string tok;
    while (in >> tok) {
        if (tok == "$scope") {
            std::string kind, name;
            in >> kind >> name;
            scope.push_back(name);
        } else if (tok == "$upscope") {
            scope.pop_back();
        } else if (tok == "$var") {
            std::string type, id, name;
            int width = 0;
            in >> type >> width >> id >> name;
            names.insert(scope.back() + "." + name + (width > 1 ? "[" + std::to_string(width - 1) + ":0]" : ""));
        }
    }
    EXPECT_EQ(shown.size(), 10u);
    for (const std::string& s : shown) EXPECT_TRUE(names.count(s)) << s << " is not in the VCD of: " << command;
    for (const char* s : {"bring_up.dram_cmd", "bring_up.cke", "bring_up.done"})
        EXPECT_NE(std::find(shown.begin(), shown.end(), s), shown.end()) << s;
}

// ---- the README's host example is the program the build runs ----

TEST(Readme, HostExampleIsQuotedAsBuilt) {
    const std::string dir = TOV_SOURCE_DIR;
    std::ifstream readme_file(dir + "/README.md"), example_file(dir + "/examples/host_bring_up.cpp");
    std::stringstream readme, example;
    readme << readme_file.rdbuf();
    example << example_file.rdbuf();
    const std::string r = readme.str();
    const size_t section = r.find("## Calling the library");
    ASSERT_NE(section, std::string::npos);
    const size_t from = r.find("```c++\n", section);
    ASSERT_NE(from, std::string::npos);
    const size_t to = r.find("```", from + 7);
    const std::string quoted = r.substr(from + 7, to - from - 7);
    std::string code = example.str();
    code.erase(0, code.find("#include"));  // past the file's header comment
    EXPECT_EQ(quoted, code);
}

}  // namespace
}  // namespace tov::test::tovmem_cli_test
