// SPDX-License-Identifier: Apache-2.0
// Captured logs as a board engineer gets them: the diagnostic lines of a
// healthy and of a failing call framed as WinDbg and DebugView save them, in
// UTF-8 and UTF-16, glued to another driver's print, cut short, started
// late, several calls in one log and two chips' calls interleaved. Each is
// judged against the simulated run of the same call, and small logs written
// here by hand against the trace they must give.
#include <gtest/gtest.h>

#include <filesystem>

#include <sstream>

#include "sim/image/sweep.h"
#include "sim/trace_format.h"
#include "tests/captured_calls.h"
#include "tests/tovmem_process.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"
#include "tools/tovmem/rules.h"

namespace tov::test::log_capture_test {

// check's summary line, counted from its rule table rather than restated.
size_t rule_count() { return tovmem::rule_names().size(); }
std::string rules_text(size_t pass, const std::string& rest) {
    return std::to_string(rule_count()) + " rules: " + std::to_string(pass) + " pass, " + rest;
}
std::string all_rules_pass() { return rules_text(rule_count(), "0 fail"); }

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l;
    return s;
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

tovmem::Bringup read_text(const std::string& text, size_t call = 0) {
    std::istringstream in(text);
    return tovmem::read_trace(in, "log", call);
}

// The whole trace import writes for a bring-up (its events and result line).
std::string imported(const tovmem::Bringup& b) {
    std::string s;
    for (const sim::Event& e : b.r.events) s += sim::event_jsonl(e) + "\n";
    return s + tovmem::result_line(b);
}

// UTF-16 of ASCII text, either byte order, with or without a byte-order mark.
std::string utf16(const std::string& text, bool little, bool bom) {
    std::string out;
    if (bom) out += little ? "\xff\xfe" : "\xfe\xff";
    for (char c : text) {
        out += little ? c : '\0';
        out += little ? '\0' : c;
    }
    return out;
}

// ---- framings ----

struct Framing {
    const char* name;
    std::string (*frame)(const std::vector<std::string>& lines);
};
void PrintTo(const Framing& f, std::ostream* os) { *os << f.name; }

std::string windbg(const std::vector<std::string>& lines, const char* eol) {
    std::string s = std::string("Opened log file 'c:\\logs\\board.txt'") + eol + "0: kd> g" + eol;
    for (const std::string& l : lines) s += l + eol + "other driver: unrelated line" + eol;
    return s + "Break instruction exception - code 80000003 (first chance)" + eol + "0: kd> .logclose" + eol +
           "Closing open log file c:\\logs\\board.txt" + eol;
}

// DebugView's saved columns: line number, time (one of its clock formats),
// the text, with the process id in brackets when it shows them.
std::string debugview(const std::vector<std::string>& lines, const char* (*clock)(int), bool pid) {
    std::string s;
    int n = 0;
    for (const std::string& l : lines) {
        ++n;
        s += std::to_string(n) + "\t" + clock(n) + "\t" + (pid ? "[4242] " : "") + l + "\r\n";
    }
    return s;
}
const char* elapsed(int) { return "0.01250000"; }
const char* clock_time(int) { return "14:03:27"; }
const char* clock_ms(int) { return "14:03:27.125"; }
const char* clock_12h(int) { return "2:03:27 PM"; }

const Framing framings[] = {
    {"plain, the last line without its newline",
     [](const std::vector<std::string>& l) {
         std::string s;
         for (const std::string& x : l) s += (s.empty() ? "" : "\n") + x;
         return s;
     }},
    {"plain lines",
     [](const std::vector<std::string>& l) {
         std::string s;
         for (const std::string& x : l) s += x + "\n";
         return s;
     }},
    {"windbg", [](const std::vector<std::string>& l) { return windbg(l, "\n"); }},
    {"windbg crlf", [](const std::vector<std::string>& l) { return windbg(l, "\r\n"); }},
    {"windbg /u, utf-16le with mark",
     [](const std::vector<std::string>& l) { return utf16(windbg(l, "\r\n"), true, true); }},
    {"utf-16le without mark", [](const std::vector<std::string>& l) { return utf16(windbg(l, "\r\n"), true, false); }},
    {"utf-16be with mark", [](const std::vector<std::string>& l) { return utf16(windbg(l, "\n"), false, true); }},
    {"utf-16be without mark", [](const std::vector<std::string>& l) { return utf16(windbg(l, "\n"), false, false); }},
    {"debugview elapsed", [](const std::vector<std::string>& l) { return debugview(l, elapsed, false); }},
    {"debugview elapsed pid", [](const std::vector<std::string>& l) { return debugview(l, elapsed, true); }},
    {"debugview clock", [](const std::vector<std::string>& l) { return debugview(l, clock_time, false); }},
    {"debugview clock pid", [](const std::vector<std::string>& l) { return debugview(l, clock_time, true); }},
    {"debugview clock ms", [](const std::vector<std::string>& l) { return debugview(l, clock_ms, false); }},
    {"debugview clock ms pid", [](const std::vector<std::string>& l) { return debugview(l, clock_ms, true); }},
    {"debugview 12 hour", [](const std::vector<std::string>& l) { return debugview(l, clock_12h, true); }},
    {"cr cr lf, trailing blanks",
     [](const std::vector<std::string>& l) {
         std::string s;
         for (const std::string& x : l) s += x + "  \t \r\r\n";
         return s;
     }},
    {"glued to another print",
     [](const std::vector<std::string>& l) {
         std::string s;
         for (const std::string& x : l) s += "capture: waiting on tovmem: " + x + "\n";
         return s;
     }},
    {"glued after a brace that is not ours",
     [](const std::vector<std::string>& l) {
         std::string s;
         for (const std::string& x : l) s += "other: tovmem: {state 3} " + x + "\n";
         return s;
     }},
};

class Framings : public ::testing::TestWithParam<Framing> {};

// Each framing of a healthy and of a failing call diffs as identical against
// the same run's trace, and imports as the plain log does, whole.
TEST_P(Framings, DiffAsIdenticalAgainstTheSameRunsTrace) {
    for (const sim::RunRequest& q : {healthy_call(), stuck_call()}) {
        const std::vector<std::string> l = log_lines(q);
        const TempFile log(GetParam().frame(l));
        const std::string config = q.chip.cmd_stuck_at ? " --cmd-stuck-at 3" : "";
        const TempFile trace(run_tovmem("run --config 0x3000099 --clock 10 --format jsonl" + config).out);
        const Outcome d = run_tovmem("diff " + log.path + " " + trace.path);
        EXPECT_EQ(d.status, 0) << d.out << d.err;
        EXPECT_TRUE(has(d.out, "\nidentical: ")) << d.out;
        EXPECT_FALSE(has(d.out, "note")) << d.out;
        // The whole import, framing aside.
        std::string plain;
        for (const std::string& x : l) plain += x + "\n";
        EXPECT_EQ(imported(read_text(GetParam().frame(l))), imported(read_text(plain)));
    }
}

INSTANTIATE_TEST_SUITE_P(Captures, Framings, ::testing::ValuesIn(framings));

// ---- a capture cut short, or started late ----

// Cut after every line: the result is unknown (never 0, never 1), the check
// says where the capture ends, and the cut log differs from its run in
// nothing it holds. Started late at every line: the same from the other end.
TEST(CutCaptures, NeverReportAResultTheyDoNotHold) {
    tovmem::set_output(std::fopen("/dev/null", "w"));
    for (const sim::RunRequest& q : {healthy_call(), stuck_call()}) {
        const sim::RunResult run = sim::run_bring_up(q);
        tovmem::Bringup whole;
        whole.r = run;
        const std::vector<std::string> l = log_lines(q);
        for (size_t cut = 1; cut < l.size(); cut += 3) {
            std::string head, tail;
            for (size_t i = 0; i < l.size(); ++i) (i < cut ? head : tail) += l[i] + "\n";
            const tovmem::Bringup b = read_text(head);
            EXPECT_FALSE(b.ret_known) << cut;
            EXPECT_TRUE(b.starts_late.empty());
            const std::string line = tovmem::result_line(b);
            EXPECT_EQ(line.rfind("{\"ev\":\"result\",\"ret\":null,", 0), 0u) << line;
            EXPECT_TRUE(has(line, "\"unknown\":\"the capture ends before the call's result line")) << line;
            EXPECT_FALSE(has(line, "\"cause\"")) << line;
            EXPECT_EQ(tovmem::diff_bringups(b, whole), tovmem::exit_incomplete) << "cut after line " << cut;
            // Started late: the steps it holds, and the result.
            const tovmem::Bringup late = read_text(tail);
            EXPECT_TRUE(late.ret_known);
            EXPECT_EQ(late.r.ret, run.ret);
            EXPECT_FALSE(late.starts_late.empty());
            EXPECT_EQ(tovmem::diff_bringups(late, whole), tovmem::exit_incomplete) << "started at line " << cut + 1;
        }
    }
    tovmem::set_output(nullptr);
}

// The same through the command line: import's null result read back by
// check, diff and vcd, which repeat why.
TEST(CutCaptures, ImportWritesNullAndEveryReaderRepeatsWhy) {
    std::string text;
    const std::vector<std::string> l = log_lines(healthy_call());
    for (size_t i = 0; i < 40; ++i) text += l[i] + "\n";
    const TempFile log(text);
    const Outcome imp = run_tovmem("import " + log.path);
    ASSERT_EQ(imp.status, 3) << imp.err;
    EXPECT_TRUE(has(imp.err, "note: the capture ends before the call's result line")) << imp.err;
    const TempFile trace(imp.out);
    const std::string why = "the capture ends before the call's result line (its last line read is line 40)";
    const Outcome check = run_tovmem("check " + trace.path);
    EXPECT_EQ(check.status, 3) << check.out;
    EXPECT_TRUE(has(check.out, "the call stopped at the capture's end, after bus step ")) << check.out;
    EXPECT_TRUE(has(check.out, "(result unknown)")) << check.out;
    EXPECT_FALSE(has(check.out, "result 0")) << check.out;
    EXPECT_TRUE(has(check.out, why)) << check.out;
    const TempFile full(run_tovmem("run --config 0x3000099 --clock 10 --format jsonl").out);
    const Outcome d = run_tovmem("diff " + trace.path + " " + full.path);
    EXPECT_EQ(d.status, 3) << d.out;
    EXPECT_TRUE(has(d.out, "A: result unknown,")) << d.out;
    EXPECT_TRUE(has(d.out, why)) << d.out;
    EXPECT_TRUE(has(d.out, "no difference in the steps both captures hold")) << d.out;
    EXPECT_TRUE(has(d.out, " bus steps of B lie outside A's capture, which holds only part of its call")) << d.out;
    EXPECT_FALSE(has(d.out, "results differ")) << d.out;
    // Another routine against the cut capture still differs.
    const TempFile failed(run_tovmem("run --config 0x3000002 --clock 10 --format jsonl").out);
    EXPECT_EQ(run_tovmem("diff " + log.path + " " + failed.path).status, 1);
    const Outcome vcd = run_tovmem("vcd " + trace.path);
    EXPECT_EQ(vcd.status, 3);
    EXPECT_TRUE(has(vcd.out, "$comment note: " + why)) << vcd.out.substr(0, 400);
}

// ---- several calls ----

// A failed call and its healthy retry: never judged as the retry alone.
TEST(SeveralCalls, AreListedAndChosenByCall) {
    const std::vector<std::string> bad = log_lines(stuck_call()), good = log_lines(healthy_call());
    std::string text;
    for (const std::string& x : bad) text += x + "\n";
    for (const std::string& x : good) text += x + "\n";
    const TempFile log(text);
    const TempFile bad_trace(run_tovmem("run --config 0x3000099 --clock 10 --cmd-stuck-at 3 --format jsonl").out);
    const TempFile good_trace(run_tovmem("run --config 0x3000099 --clock 10 --format jsonl").out);
    for (const std::string& cmd :
         std::vector<std::string>{"import ", "check ", "vcd ", "diff " + good_trace.path + " "}) {
        const Outcome o = run_tovmem(cmd + log.path);
        EXPECT_EQ(o.status, 2) << cmd;
        EXPECT_EQ(o.out, "") << cmd;
        const std::vector<std::string> e = lines(o.err);
        ASSERT_EQ(e.size(), 3u) << o.err;
        EXPECT_TRUE(has(e[0], "holds 2 calls of tov_mem_init; choose one with --call N")) << o.err;
        EXPECT_TRUE(has(e[1], "call 1   line 1 ")) << o.err;
        EXPECT_TRUE(has(e[1], "tag 1000  config 0x3000099, clock_index 10, power_mode 0; result 0")) << o.err;
        EXPECT_TRUE(has(e[2], "call 2   line " + std::to_string(bad.size() + 1) + " ")) << o.err;
        EXPECT_TRUE(has(e[2], "; result 1")) << o.err;
    }
    const Outcome first = run_tovmem("diff --call 1 " + log.path + " " + bad_trace.path);
    EXPECT_EQ(first.status, 0) << first.out;
    EXPECT_TRUE(has(first.out, "\nidentical: ")) << first.out;
    const Outcome second = run_tovmem("diff --call 2 " + log.path + " " + good_trace.path);
    EXPECT_EQ(second.status, 0) << second.out;
    EXPECT_EQ(run_tovmem("diff --call 1 " + log.path + " " + good_trace.path).status, 1);
    EXPECT_EQ(run_tovmem("diff --call 2 --call 1 " + log.path + " " + bad_trace.path).status, 1);
    EXPECT_EQ(run_tovmem("check --call 1 " + log.path).status, 1);
    EXPECT_EQ(run_tovmem("check --call 2 " + log.path).status, 0);
    const Outcome third = run_tovmem("import --call 3 " + log.path);
    EXPECT_EQ(third.status, 2);
    EXPECT_TRUE(has(third.err, "--call 3, but the log holds 2 calls of tov_mem_init")) << third.err;
    EXPECT_EQ(run_tovmem("import --call 0 " + log.path).status, 2);
    EXPECT_EQ(run_tovmem("check --call 1 --config 0x3000099 --clock 10").status, 2);
    // A trace holds one call.
    EXPECT_EQ(run_tovmem("check --call 1 " + good_trace.path).status, 0);
    EXPECT_EQ(run_tovmem("check --call 2 " + good_trace.path).status, 2);
}

// A complete call that breaks a rule, then the first lines of another: the
// failure is never hidden behind the partial call.
TEST(SeveralCalls, AFailingCallIsNeverHiddenByALaterPartialOne) {
    const std::vector<std::string> bad = log_lines(stuck_call()), good = log_lines(healthy_call());
    std::string text;
    for (const std::string& x : bad) text += x + "\n";
    for (size_t i = 0; i < 5; ++i) text += good[i] + "\n";
    const TempFile log(text);
    const Outcome all = run_tovmem("check " + log.path);
    EXPECT_EQ(all.status, 2);
    EXPECT_TRUE(has(all.err, "result unknown (no result line)")) << all.err;
    const Outcome first = run_tovmem("check --call 1 " + log.path);
    EXPECT_EQ(first.status, 1) << first.out;
}

// Both diagnostic images print, for a block mapped elsewhere, the lines the
// host build prints: the same tag, byte for byte.
TEST(SeveralCalls, DiagnosticImagesTagTheirCallsAsTheHostDoes) {
    for (const std::string& image : {std::string(TOV_DIAG_IMAGE), std::string(TOV_DIAG_IMAGE_X64)}) {
        if (image.empty() || !std::filesystem::exists(image)) GTEST_SKIP() << "the diagnostic images are not built";
        for (const char* base : {"", " --reg-base 0x20010000", " --reg-base 0x7fff0000"}) {
            const std::string args = std::string("run --config 0x1000061 --clock 5 --format log") + base;
            const Outcome host = run_tovmem(args);
            const Outcome img = run_tovmem(args + " --image " + image);
            EXPECT_EQ(img.status, host.status) << args << img.err;
            ASSERT_FALSE(host.out.empty());
            EXPECT_EQ(img.out, host.out) << image << ": " << args;
        }
    }
}

// Two chips' calls at once, their lines interleaved: parted by their tags.
TEST(SeveralCalls, InterleavedCallsArePartedByTheirTags) {
    const std::string a = run_tovmem("run --config 0x3000099 --clock 10 --cmd-stuck-at 3 --format log").out;
    const std::string b = run_tovmem("run --config 0x1000061 --clock 5 --reg-base 0x20010000 --format log").out;
    const std::vector<std::string> la = split_lines(a), lb = split_lines(b);
    ASSERT_TRUE(has(lb[0], "\"call\":\"2001\"")) << lb[0];
    ASSERT_TRUE(has(la[0], "\"call\":\"1000\"")) << la[0];
    // B starts after A's seventh line; then the two go by turns, two of A for one of B.
    std::string text;
    size_t i = 0, j = 0;
    for (; i < 5; ++i) text += la[i] + "\n";
    while (i < la.size() || j < lb.size()) {
        for (int k = 0; k < 2 && i < la.size(); ++k) text += la[i++] + "\n";
        if (j < lb.size()) text += lb[j++] + "\n";
    }
    const TempFile log(text);
    const TempFile ta(run_tovmem("run --config 0x3000099 --clock 10 --cmd-stuck-at 3 --format jsonl").out);
    const TempFile tb(run_tovmem("run --config 0x1000061 --clock 5 --reg-base 0x20010000 --format jsonl").out);
    const Outcome list = run_tovmem("check " + log.path);
    EXPECT_EQ(list.status, 2);
    EXPECT_TRUE(has(list.err, "call 1   line 1       tag 1000  config 0x3000099")) << list.err;
    EXPECT_TRUE(has(list.err, "call 2   line 8       tag 2001  config 0x1000061, clock_index ")) << list.err;
    EXPECT_EQ(run_tovmem("diff --call 1 " + log.path + " " + ta.path).status, 0);
    EXPECT_EQ(run_tovmem("diff --call 2 " + log.path + " " + tb.path).status, 0);
    EXPECT_EQ(run_tovmem("diff --call 1 --call 1 " + log.path + " " + ta.path).status, 0);
    EXPECT_EQ(run_tovmem("diff --call 2 " + log.path + " " + ta.path).status, 1);

    // The same tag twice at once, the lines numbered per call: refused as
    // such, not as a torn line. Without numbers, each record on entry ends
    // the call before it, as a reset and a retry would.
    const std::string c = run_tovmem("run --config 0x1000061 --clock 5 --format log").out;
    const std::vector<std::string> lc = split_lines(c);
    // The lines as an image before the numbers printed them.
    const auto unnumbered = [](std::string l) {
        const size_t at = l.find(",\"seq\":");
        return l.erase(at, l.find_first_not_of("0123456789", at + 7) - at);
    };
    std::string same, plain;
    for (size_t k = 0; k < 5; ++k) {
        same += la[k] + "\n" + lc[k] + "\n";
        plain += unnumbered(la[k]) + "\n" + unnumbered(lc[k]) + "\n";
    }
    const TempFile clash(same);
    const Outcome o = run_tovmem("import " + clash.path);
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(
        has(o.err, "line 4: the lines' numbers show the call of line 1 still in flight after the call of line 2"))
        << o.err;
    EXPECT_TRUE(has(o.err, "two calls on one register block at once")) << o.err;
    EXPECT_FALSE(has(o.err, "torn")) << o.err;
    const Outcome resets = run_tovmem("check " + TempFile(plain).path);
    EXPECT_EQ(resets.status, 2);
    EXPECT_TRUE(has(resets.err, "holds 2 calls of tov_mem_init")) << resets.err;
    EXPECT_TRUE(has(resets.err, "result unknown (a new call entered on the same register block before it returned"))
        << resets.err;
}

// ---- check of a call that stopped ----

TEST(CheckOfAStoppedCall, MarksTheRulesItNeverReached) {
    struct Case {
        std::string run;
        const char* stop;
        int status;
    };
    const Case cases[] = {
        {"--config 0x3000099 --clock 10 --cmd-stuck-at 3",
         "the call stopped at bus step 285: DRAM command 3 (precharge all, count 1) never completed: 202 of 202 "
         "polls",
         1},
        // A status-checked routine ends at a register that never settles.
        {"--config 0x3000002 --clock 10 --unstable 0x43c", "register BLK_43C 0x43c never settled: 32 loads", 1},
    };
    for (const Case& c : cases) {
        const TempFile log(run_tovmem("run " + c.run + " --format log").out);
        const Outcome o = run_tovmem("check " + log.path);
        EXPECT_EQ(o.status, c.status) << o.out;
        EXPECT_TRUE(has(o.out, c.stop)) << o.out;
        EXPECT_FALSE(has(o.out, "FAIL")) << o.out;
        EXPECT_TRUE(has(o.out, ": the call failed")) << o.out;
        // The run's own check says the same.
        const Outcome run = run_tovmem("check " + c.run);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(has(run.out, c.stop)) << run.out;
    }
    const TempFile stuck(run_tovmem("run --config 0x3000099 --clock 10 --cmd-stuck-at 3 --format log").out);
    const Outcome o = run_tovmem("check " + stuck.path);
    EXPECT_TRUE(has(o.out, "  ok    cke-high-200us ")) << o.out;
    EXPECT_TRUE(has(o.out, "  --    precharge-before-mrs       not reached (no mode register set)")) << o.out;
    EXPECT_TRUE(has(o.out, rules_text(2, "0 fail, " + std::to_string(rule_count() - 2) + " not reached or not judged")))
        << o.out;

    // The same commands in a call that says it ran to its end (returned 1):
    // what is missing is a finding, never "not reached".
    std::string trace = run_tovmem("run --config 0x3000099 --clock 10 --cmd-stuck-at 3 --format jsonl").out;
    const size_t ret = trace.find("\"ret\":0,");
    ASSERT_NE(ret, std::string::npos);
    trace.replace(ret, 8, "\"ret\":1,");
    const TempFile complete(trace);
    const Outcome c = run_tovmem("check " + complete.path);
    EXPECT_EQ(c.status, 1) << c.out;
    EXPECT_FALSE(has(c.out, "stopped")) << c.out;
    EXPECT_TRUE(has(c.out, "  FAIL  precharge-before-mrs       no mode register set")) << c.out;
    EXPECT_TRUE(has(c.out, rules_text(2, std::to_string(rule_count() - 2) + " fail"))) << c.out;
}

// ---- hand-written logs against the trace they must give ----

// The record's words as printed, distinct, so that a word read into another
// slot shows.
std::string record_words(uint32_t first) {
    std::string s;
    const char* names[] = {"config_id",  "clock_index",   "mem_size",     "bus_flag", "mode_flag",
                           "power_mode", "mem_clock_khz", "mem_size_out", "map_value"};
    for (uint32_t i = 0; i < 9; ++i) s += ",\"" + std::string(names[i]) + "\":" + std::to_string(first + i);
    s += ",\"reserved\":[" + std::to_string(first + 9);
    for (uint32_t i = 10; i < 14; ++i) s += "," + std::to_string(first + i);
    return s + "]}";
}

TEST(HandWrittenLogs, ImportAsTheTracesWrittenHere) {
    const std::string p = "tovmem: {\"ev\":";
    const std::string log = "driver: tovmem: starting\n" +  // another print: our prefix, no object
                            p + "\"enter\",\"call\":\"1000\"" + record_words(100) + "\n" + p +
                            "\"store\",\"call\":\"1000\",\"off\":2064,\"val\":7}\n" + p +
                            "\"read\",\"call\":\"1000\",\"off\":1044,\"val\":9,\"loads\":2,\"settled\":true}\n" + p +
                            "\"read\",\"call\":\"1000\",\"off\":2088,\"val\":1,\"loads\":4,\"settled\":true}\n" + p +
                            "\"delay_ticks\",\"call\":\"1000\",\"n\":1,\"t\":500,\"t_end\":100600}\n" + p +
                            "\"aux_load\",\"call\":\"1000\",\"val\":3}\n" + p +
                            "\"result\",\"call\":\"1000\",\"ret\":1" + record_words(200) + "\n";
    const tovmem::Bringup b = read_text(log);
    std::string events;
    for (const sim::Event& e : b.r.events) events += sim::event_jsonl(e) + "\n";
    // 0x414 is read in two loads whatever they give; a settled read of four
    // loads is one that could not agree, then three that do.
    EXPECT_EQ(events,
              "{\"ev\":\"store\",\"off\":2064,\"val\":7,\"t\":500}\n"
              "{\"ev\":\"load\",\"off\":1044,\"val\":9,\"t\":500}\n"
              "{\"ev\":\"load\",\"off\":1044,\"val\":9,\"t\":500}\n"
              "{\"ev\":\"load\",\"off\":2088,\"val\":2147483649,\"t\":500}\n"
              "{\"ev\":\"load\",\"off\":2088,\"val\":1,\"t\":500}\n"
              "{\"ev\":\"load\",\"off\":2088,\"val\":1,\"t\":500}\n"
              "{\"ev\":\"load\",\"off\":2088,\"val\":1,\"t\":500}\n"
              "{\"ev\":\"delay_ticks\",\"n\":1,\"t\":500}\n"
              "{\"ev\":\"aux_load\",\"val\":3,\"t\":100600}\n");
    EXPECT_TRUE(b.ret_known);
    EXPECT_TRUE(b.starts_late.empty());
    const std::string result = tovmem::result_line(b);
    EXPECT_EQ(result.substr(0, result.find(",\"t\":")),
              "{\"ev\":\"result\",\"ret\":1,\"config_id\":200,\"clock_index\":201,\"mem_size\":202,\"bus_flag\":203,"
              "\"mode_flag\":204,\"power_mode\":205,\"mem_clock_khz\":206,\"mem_size_out\":207,\"map_value\":208,"
              "\"reserved\":[209,210,211,212,213]");
    EXPECT_EQ(b.r.record.reserved_a[0], 209u);
    EXPECT_EQ(b.r.record.reserved_a[2], 211u);
    EXPECT_EQ(b.r.record.reserved_b[0], 212u);
    EXPECT_EQ(b.r.record.reserved_b[1], 213u);
    // Read back from the JSON lines import writes: the same record.
    const tovmem::Bringup again = read_text(events + result + "\n");
    EXPECT_EQ(tovmem::result_line(again), result);

    // Only the record on entry: entered, the result unknown; only the
    // result: a late start, the result known.
    const std::string enter = p + "\"enter\",\"call\":\"1000\"" + record_words(100) + "\n";
    const tovmem::Bringup entered = read_text(enter);
    EXPECT_FALSE(entered.ret_known);
    EXPECT_TRUE(entered.starts_late.empty());
    EXPECT_EQ(entered.r.record.config_id, 100u);
    const std::string leave = p + "\"result\",\"call\":\"1000\",\"ret\":0" + record_words(300) + "\n";
    const tovmem::Bringup returned = read_text(leave);
    EXPECT_TRUE(returned.ret_known);
    EXPECT_EQ(returned.r.ret, 0);
    EXPECT_FALSE(returned.starts_late.empty());
    EXPECT_EQ(returned.r.record.map_value, 308u);
}

// Lines that must not be taken as they stand: one refusal line each, or a
// torn last line that leaves the result unknown.
TEST(HandWrittenLogs, InconsistentLinesAreRefused) {
    const std::string p = "tovmem: {\"ev\":";
    const std::string enter = p + "\"enter\",\"call\":\"1000\"" + record_words(100) + "\n";
    const std::string store = p + "\"store\",\"call\":\"1000\",\"off\":2064,\"val\":7}\n";
    const std::pair<std::string, const char*> refused[] = {
        // 0x414 is read in exactly two loads.
        {enter + p + "\"read\",\"call\":\"1000\",\"off\":1044,\"val\":9,\"loads\":3,\"settled\":true}\n" + store,
         "a load count no stable read makes"},
        {enter + p +
             "\"wait\",\"call\":\"1000\",\"off\":65536,\"polls\":1,\"busy\":0,\"loads\":3,\"val\":1,"
             "\"busy_val\":0,\"settled\":true,\"done\":true,\"t\":0,\"t_end\":0}\n" +
             store,
         "\"off\" is not a register offset"},
        {enter + p + "\"store\",\"call\":\"1000\",\"off\":65540,\"val\":7}\n" + store,
         "\"off\" is not a register offset"},
        {enter + p + "\"result\",\"call\":\"1000\"" + record_words(1) + "\n" + store, "\"ret\" missing"},
        {enter + p + "\"store\",\"call\":\"10000000000\",\"off\":4,\"val\":7}\n" + store,
         "\"call\" is not a call's tag"},
        {utf16(enter, true, true) + std::string("\x00\xd8", 2) + utf16(store, true, false),
         "not valid UTF-16LE: an unpaired surrogate"},
    };
    for (const auto& [text, expected] : refused) {
        const TempFile f(text);
        expect_refused("import " + f.path, expected);
    }
    // The same as the last line: torn, so the result is unknown.
    const tovmem::Bringup torn = read_text(enter + store + p + "\"result\",\"call\":\"1000\"" + record_words(1) + "\n");
    EXPECT_FALSE(torn.ret_known);
    EXPECT_EQ(torn.r.events.size(), 1u);

    // JSON-lines traces: times that go back, offsets outside the block.
    const std::string result = sim::result_jsonl(sim::RunResult{}) + "\n";
    const std::pair<std::string, const char*> traces[] = {
        {"{\"ev\":\"store\",\"off\":4,\"val\":1,\"t\":9}\n{\"ev\":\"store\",\"off\":4,\"val\":1,\"t\":8}\n" + result,
         "line 2: \"t\" before the one of the event before"},
        {"{\"ev\":\"load\",\"off\":65536,\"val\":1,\"t\":9}\n" + result, "line 1: \"off\" is not a register offset"},
        {"{\"ev\":\"result\",\"ret\":null" + result.substr(result.find(",\"config_id\"")),
         "\"ret\" is null without \"unknown\" saying why"},
    };
    for (const auto& [text, expected] : traces) {
        const TempFile f(text);
        const Outcome o = run_tovmem("vcd " + f.path);
        EXPECT_EQ(o.status, 2) << expected;
        EXPECT_TRUE(has(o.err, expected)) << o.err;
    }
}

// A note taken from the file cannot end its $comment early.
TEST(HandWrittenLogs, NotesFromTheFileStayInsideTheirComment) {
    const std::vector<std::string> l = log_lines(healthy_call());
    const TempFile log(l[0] + "\n" + l[1] + "\n" + "tovmem: {\"ev\":\"$end #0 $dumpvars\"}\n");
    const Outcome o = run_tovmem("vcd " + log.path);
    ASSERT_EQ(o.status, 3) << o.err;
    size_t comments = 0;
    for (const std::string& line : lines(o.out)) {
        if (line.rfind("$comment", 0) != 0) continue;
        ++comments;
        // One $end, the comment's own, at the end of its line.
        EXPECT_EQ(line.find("$end"), line.size() - 4) << line;
    }
    EXPECT_GE(comments, 3u);
    EXPECT_TRUE(has(o.out, "$ end #0 $ dumpvars")) << o.out.substr(0, 600);
}

}  // namespace tov::test::log_capture_test
