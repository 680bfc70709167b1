// SPDX-License-Identifier: Apache-2.0
// Captures that lost something on the way: a line, a newline, the end of a
// call to a reset and a retry, the encoding when two captures were appended
// into one file. Each fault is swept over a good log, and each result judged
// on its verdict and exit status: where the capture does not hold the
// evidence, the verdict is "incomplete" (status 3), never a failure. The
// commands run in this process, so that a sweep of some thousand runs stays
// cheap.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "sim/image/sweep.h"
#include "sim/trace_format.h"
#include "tests/captured_calls.h"
#include "tests/tovmem_process.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"
#include "tools/tovmem/rules.h"
#include "tools/tovmem/tool.h"

namespace tov::test::incomplete_evidence_test {

// check's summary line, counted from its rule table rather than restated.
size_t rule_count() { return tovmem::rule_names().size(); }
std::string rules_text(size_t pass, const std::string& rest) {
    return std::to_string(rule_count()) + " rules: " + std::to_string(pass) + " pass, " + rest;
}
std::string all_rules_pass() { return rules_text(rule_count(), "0 fail"); }

// One run of the tool in this process: its status, standard output and standard error.
Outcome tool(const std::string& args) {
    std::vector<std::string> words{"tovmem"};
    std::istringstream in(args);
    for (std::string w; in >> w;) words.push_back(w);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    char* buf = nullptr;
    size_t len = 0;
    std::FILE* out = open_memstream(&buf, &len);
    std::FILE* err = std::tmpfile();
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(fileno(err), 2);
    tovmem::set_output(out);
    const int status = tovmem::tool_main(static_cast<int>(words.size()), argv.data());
    tovmem::set_output(nullptr);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    std::fclose(out);
    Outcome o{status, std::string(buf, len), {}};
    std::free(buf);
    std::rewind(err);
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, err)) > 0;) o.err.append(chunk, n);
    std::fclose(err);
    return o;
}

std::string text_of(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\n";
    return s;
}

tovmem::Bringup read_text(const std::string& text, size_t call = 0) {
    std::istringstream in(text);
    return tovmem::read_trace(in, "log", call);
}

std::string events_of(const tovmem::Bringup& b) {
    std::string s;
    for (const sim::Event& e : b.r.events) s += sim::event_jsonl(e) + "\n";
    return s;
}

// The lines as an image that numbers no line printed them (the images
// before the numbers): each line's "seq" taken out.
std::vector<std::string> unnumbered(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& l : lines) {
        const size_t at = l.find(",\"seq\":");
        const size_t end = l.find_first_not_of("0123456789", at + 7);
        out.push_back(at == std::string::npos ? l : l.substr(0, at) + l.substr(end));
    }
    return out;
}

bool is(const std::string& line, const char* ev) { return has(line, std::string("{\"ev\":\"") + ev + "\""); }
// The lines whose loss the steps around them show, in a log without
// numbers: the record, the result, a DRAM command's word and code, and its
// wait when the next command or the result follows it (the last command's
// wait is followed by other stores, which show nothing).
bool loss_shows(const std::vector<std::string>& l, size_t i) {
    const bool next_command = i + 1 < l.size() && (has(l[i + 1], "\"off\":2084,") || is(l[i + 1], "result"));
    return is(l[i], "enter") || is(l[i], "result") || (is(l[i], "wait") && next_command) ||
           (is(l[i], "store") &&
            (has(l[i], "\"off\":2084,") || (has(l[i], "\"off\":2080,") && !has(l[i], "\"val\":0}"))));
}

// ---- a lost line ----

// `check` of the log with one line dropped, and the line named for a
// failure's message; whatever line is lost, no rule fails.
std::pair<Outcome, std::string> check_without(const std::vector<std::string>& l, size_t drop) {
    std::vector<std::string> kept = l;
    kept.erase(kept.begin() + long(drop));
    Outcome o = tool("check " + TempFile(text_of(kept)).path);
    std::string at = "dropped line " + std::to_string(drop + 1) + ": " + l[drop];
    EXPECT_FALSE(has(o.out, "FAIL")) << at << "\n" << o.out;
    return {std::move(o), std::move(at)};
}

// Each line of a good log dropped in turn: never a failure, never status 1.
// The loss of a line the steps around it show makes the evidence incomplete
// (status 3); the loss of any other line of a log without numbers cannot be
// seen, and the call still passes.
TEST(LostLines, NoDroppedLineOfAGoodLogFails) {
    const std::vector<std::string> l = unnumbered(log_lines(healthy_call()));
    ASSERT_GT(l.size(), 150u);
    size_t incomplete = 0;
    for (size_t drop = 0; drop < l.size(); ++drop) {
        const auto [o, at] = check_without(l, drop);
        if (loss_shows(l, drop)) {
            ++incomplete;
            EXPECT_EQ(o.status, 3) << at << "\n" << o.out;
            EXPECT_TRUE(has(o.out, "the rest of the call is unknown") || has(o.out, "the capture starts late"))
                << at << "\n"
                << o.out;
        } else {
            EXPECT_EQ(o.status, 0) << at << "\n" << o.out;
            EXPECT_TRUE(has(o.out, "\n" + all_rules_pass() + "\n")) << at << "\n" << o.out;
        }
    }
    // Every DRAM command's word, start and wait (but the last one's), the record and the result.
    size_t commands = 0;
    for (const std::string& x : l) commands += has(x, "\"off\":2080,") && !has(x, "\"val\":0}");
    EXPECT_GE(commands, 10u);
    EXPECT_EQ(incomplete, 2 + 3 * commands - 1);
}

// The failing call: whatever line is lost, no rule fails on the steps held.
TEST(LostLines, NoDroppedLineOfAFailingLogGivesARuleFailure) {
    const std::vector<std::string> l = unnumbered(log_lines(stuck_call()));
    for (size_t drop = 0; drop < l.size(); ++drop) {
        const auto [o, at] = check_without(l, drop);
        // Without its record on entry the call still says it failed.
        EXPECT_EQ(o.status, loss_shows(l, drop) && !is(l[drop], "enter") ? 3 : 1) << at << "\n" << o.out;
    }
}

// The NOP that raises CKE lost: not "never completed", not "no NOP with CKE
// high", but where the evidence stops.
TEST(LostLines, TheCommandBeforeAWaitLostIsNamed) {
    std::vector<std::string> l = unnumbered(log_lines(healthy_call()));
    size_t second = 0, commands = 0;
    for (size_t i = 0; i < l.size() && second == 0; ++i)
        if (has(l[i], "\"off\":2080,") && ++commands == 2) second = i;
    ASSERT_NE(second, 0u);
    l.erase(l.begin() + long(second));
    const TempFile log(text_of(l));
    const Outcome o = tool("check " + log.path);
    EXPECT_EQ(o.status, 3) << o.out;
    EXPECT_FALSE(has(o.out, "never completed")) << o.out;
    const std::string where = "line " + std::to_string(second + 1) +
                              ": a command word stored with no DRAM command after it: the line of the command is "
                              "missing; the evidence is incomplete from there, so the result is unknown (the "
                              "call's result line says 1)";
    EXPECT_TRUE(has(o.out, where)) << o.out;
    EXPECT_TRUE(has(o.out, "the call stopped at line " + std::to_string(second + 1) +
                               ", where a line of the call is missing, after bus step "))
        << o.out;
    // import keeps the wait out: no read stands in for it.
    const Outcome imp = tool("import " + log.path);
    EXPECT_EQ(imp.status, 3);
    EXPECT_TRUE(has(imp.out, "\"ret\":null")) << imp.out.substr(imp.out.size() - 600);
    // The steps before the lost line, and none after it.
    const std::string held = events_of(read_text(text_of(l)));
    const std::string whole = events_of(read_text(text_of(unnumbered(log_lines(healthy_call())))));
    EXPECT_EQ(whole.rfind(held, 0), 0u);
    EXPECT_EQ(read_text(text_of(l)).r.commands, 1u);
}

// The lines as the host and the images print them, numbered: every lost
// line shows, and is named by its number in the call; diff against the run
// says the same.
TEST(LostLines, NumberedLinesNameEachGap) {
    const std::vector<std::string> l = log_lines(healthy_call());
    const TempFile trace(tool("run --config 0x3000099 --clock 10 --format jsonl").out);
    const Outcome whole = tool("diff " + TempFile(text_of(l)).path + " " + trace.path);
    EXPECT_EQ(whole.status, 0) << whole.out;
    for (size_t drop = 0; drop < l.size(); drop += 1 + drop % 3) {
        std::vector<std::string> kept = l;
        kept.erase(kept.begin() + long(drop));
        const TempFile log(text_of(kept));
        const Outcome c = tool("check " + log.path);
        const Outcome d = tool("diff " + log.path + " " + trace.path);
        const std::string at = "dropped line " + std::to_string(drop + 1);
        EXPECT_EQ(c.status, 3) << at << "\n" << c.out;
        EXPECT_FALSE(has(c.out, "FAIL")) << at;
        EXPECT_EQ(d.status, 3) << at << "\n" << d.out;
        if (drop == 0 || drop + 1 == l.size()) continue;  // a late start, a cut
        const std::string gap = "line " + std::to_string(drop + 1) + " of the call is missing";
        EXPECT_TRUE(has(c.out, gap)) << at << "\n" << c.out;
        EXPECT_TRUE(has(d.out, gap)) << at << "\n" << d.out;
    }
    // Two lines lost together, and a line given twice.
    std::vector<std::string> two = l;
    two.erase(two.begin() + 40, two.begin() + 42);
    EXPECT_TRUE(has(tool("check " + TempFile(text_of(two)).path).out, "lines 41 to 42 of the call are missing"));
    std::vector<std::string> twice = l;
    twice.insert(twice.begin() + 50, l[49]);
    const Outcome rep = tool("check " + TempFile(text_of(twice)).path);
    EXPECT_EQ(rep.status, 3);
    EXPECT_TRUE(has(rep.out, "line 50 of the call comes after its line 50 (a line repeated or out of order)"))
        << rep.out;
}

// ---- a lost newline ----

// Each newline between two of our lines removed in turn, plain and as
// DebugView saves lines: both objects read, the trace the same as the
// whole log's, and the call still passes, with a note on the line.
TEST(LostNewlines, TwoObjectsOnALineAreReadAsTwo) {
    const std::vector<std::string> l = log_lines(healthy_call());
    const std::string expected = events_of(read_text(text_of(l)));
    for (const bool debugview : {false, true}) {
        std::vector<std::string> framed;
        for (size_t i = 0; i < l.size(); ++i)
            framed.push_back(debugview ? std::to_string(i + 1) + "\t0.0125\t[4242] " + l[i] : l[i]);
        for (size_t glue = 0; glue + 1 < framed.size(); glue += debugview ? 7 : 1) {
            std::string text;
            for (size_t i = 0; i < framed.size(); ++i) text += framed[i] + (i == glue ? "" : "\n");
            const tovmem::Bringup b = read_text(text);
            const std::string at = "newline after line " + std::to_string(glue + 1) + (debugview ? " (debugview)" : "");
            EXPECT_TRUE(b.ret_known) << at;
            EXPECT_EQ(b.r.ret, 1) << at;
            EXPECT_EQ(events_of(b), expected) << at;
            ASSERT_FALSE(b.notes.empty()) << at;
            EXPECT_EQ(b.notes[0], "line " + std::to_string(glue + 1) +
                                      " holds more than one of the image's lines (the capture lost a newline): "
                                      "each read on its own")
                << at;
        }
    }
    // Through the command: status 0, the note printed.
    std::string text;
    for (size_t i = 0; i < l.size(); ++i) text += l[i] + (i == 4 ? "" : "\n");
    const Outcome o = tool("check " + TempFile(text).path);
    EXPECT_EQ(o.status, 0) << o.out;
    EXPECT_TRUE(has(o.out, all_rules_pass())) << o.out;
    EXPECT_TRUE(has(o.out, "note  line 5 holds more than one of the image's lines")) << o.out;
}

// ---- a reset and a retry ----

// A call cut off by a bugcheck at several steps, the board rebooted and the
// call retried: the first call's result is unknown (status 3, never a
// failure), the retry checks as the healthy call it is.
TEST(Reboots, ACutCallThenItsRetry) {
    const std::vector<std::string> bad = log_lines(stuck_call()), good = log_lines(healthy_call());
    const TempFile good_trace(tool("run --config 0x3000099 --clock 10 --format jsonl").out);
    const TempFile bad_trace(tool("run --config 0x3000099 --clock 10 --cmd-stuck-at 3 --format jsonl").out);
    const std::string good_events = events_of(read_text(text_of(good)));
    for (const size_t cut : {size_t(1), size_t(2), size_t(20), size_t(60), size_t(84), bad.size() - 1}) {
        for (const bool seq : {false, true}) {
            std::vector<std::string> first(bad.begin(), bad.begin() + long(cut));
            std::vector<std::string> retry = good;
            if (!seq) first = unnumbered(first), retry = unnumbered(retry);
            const TempFile log(text_of(first) + text_of(retry));
            const std::string at = "cut after line " + std::to_string(cut) + (seq ? ", numbered" : "");
            const Outcome list = tool("check " + log.path);
            EXPECT_EQ(list.status, 2) << at;
            EXPECT_TRUE(has(list.err,
                            "call 1   line 1       tag 1000  config 0x3000099, clock_index 10, power_mode "
                            "0; result unknown (a new call entered on the same register block before it "
                            "returned (a reset or reboot?))"))
                << at << list.err;
            EXPECT_TRUE(has(list.err, "call 2   line " + std::to_string(cut + 1) + " ")) << at << list.err;
            EXPECT_TRUE(has(list.err, "; result 1\n")) << at << list.err;

            const Outcome one = tool("check --call 1 " + log.path);
            EXPECT_EQ(one.status, 3) << at << one.out;
            EXPECT_FALSE(has(one.out, "FAIL")) << at << one.out;
            EXPECT_TRUE(has(one.out, "line " + std::to_string(cut + 1) +
                                         ": a new call entered on the same register block before it returned (a "
                                         "reset or reboot?)"))
                << at << one.out;
            const Outcome d1 = tool("diff --call 1 " + log.path + " " + bad_trace.path);
            EXPECT_EQ(d1.status, 3) << at << d1.out;
            EXPECT_TRUE(has(d1.out, "\nno difference in the steps both captures hold: ")) << at << d1.out;

            const Outcome two = tool("check --call 2 " + log.path);
            EXPECT_EQ(two.status, 0) << at << two.out;
            EXPECT_TRUE(has(two.out, "\n" + all_rules_pass() + "\n")) << at << two.out;
            EXPECT_EQ(tool("diff --call 2 " + log.path + " " + good_trace.path).status, 0) << at;
            EXPECT_EQ(events_of(read_text(text_of(first) + text_of(retry), 2)), good_events) << at;
        }
    }
}

// Numbered lines that go on for the first call after the second entered:
// two calls truly in flight on one block, refused as such.
TEST(Reboots, TwoCallsInFlightOnOneBlockAreRefused) {
    const std::vector<std::string> a = log_lines(stuck_call()), b = log_lines(healthy_call());
    std::string text;
    for (size_t k = 0; k < 6; ++k) text += a[k] + "\n" + b[k] + "\n";
    const Outcome o = tool("import " + TempFile(text).path);
    EXPECT_EQ(o.status, 2) << o.out;
    EXPECT_EQ(lines(o.err).size(), 1u) << o.err;
    EXPECT_TRUE(has(o.err,
                    "line 4: the lines' numbers show the call of line 1 still in flight after the call of line 2 "
                    "with the same tag (\"1000\") entered: two calls on one register block at once, whose lines cannot "
                    "be told apart"))
        << o.err;
}

// ---- two captures appended into one file ----

enum class Enc { utf8, utf16le, utf16be };
std::string encode(const std::string& text, Enc e, bool mark) {
    std::string out;
    if (e == Enc::utf8) return (mark ? std::string("\xef\xbb\xbf") : std::string()) + text;
    if (mark) out += e == Enc::utf16le ? "\xff\xfe" : "\xfe\xff";
    for (char c : text) {
        out += e == Enc::utf16le ? c : '\0';
        out += e == Enc::utf16le ? '\0' : c;
    }
    return out;
}
const char* enc_name(Enc e) { return e == Enc::utf8 ? "UTF-8" : e == Enc::utf16le ? "UTF-16LE" : "UTF-16BE"; }

// A good call and a failing one, each in its own encoding, with and without
// a byte-order mark: both calls found, each read whole, the change noted
// at the line where it happens.
TEST(MixedEncodings, EachPieceIsReadInItsOwn) {
    const std::vector<std::string> good = log_lines(healthy_call()), bad = log_lines(stuck_call());
    const std::string good_events = events_of(read_text(text_of(good)));
    const std::string bad_events = events_of(read_text(text_of(bad)));
    size_t pairs = 0;
    for (Enc first : {Enc::utf8, Enc::utf16le, Enc::utf16be})
        for (Enc second : {Enc::utf8, Enc::utf16le, Enc::utf16be})
            for (const bool mark : {false, true}) {
                ++pairs;
                const std::string text = encode(text_of(good), first, mark) + encode(text_of(bad), second, mark);
                const std::string at =
                    std::string(enc_name(first)) + " then " + enc_name(second) + (mark ? " with marks" : "");
                const tovmem::Bringup one = read_text(text, 1), two = read_text(text, 2);
                EXPECT_EQ(events_of(one), good_events) << at;
                EXPECT_EQ(events_of(two), bad_events) << at;
                EXPECT_EQ(one.r.ret, 1) << at;
                EXPECT_EQ(two.r.ret, 0) << at;
                ASSERT_TRUE(two.ret_known) << at;
                const std::string line = "line " + std::to_string(good.size() + 1);
                if (first != second) EXPECT_TRUE(has(two.notes[0], line)) << at << ": " << two.notes[0];
                if (first != second)
                    EXPECT_TRUE(has(two.notes[0], std::string(": the encoding changes from ") + enc_name(first) +
                                                      " to " + enc_name(second)))
                        << at << ": " << two.notes[0];
                else if (mark)
                    EXPECT_EQ(two.notes[0],
                              line + ": a byte-order mark (" + enc_name(first) + "): another capture appended?")
                        << at;
            }
    EXPECT_EQ(pairs, 18u);
    // The failing call is never lost: check of the whole file lists both.
    const std::string text = encode(text_of(good), Enc::utf16le, true) + encode(text_of(bad), Enc::utf8, false);
    const Outcome o = tool("check " + TempFile(text).path);
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(has(o.err, "holds 2 calls of tov_mem_init")) << o.err;
    EXPECT_EQ(tool("check --call 2 " + TempFile(text).path).status, 1);
}

// ---- one status for incomplete evidence ----

// A capture cut before its end: check, diff, import and vcd each exit 3; the
// same capture whole exits 0.
TEST(IncompleteStatus, IsTheSameForEveryReader) {
    const std::vector<std::string> l = log_lines(healthy_call());
    const TempFile trace(tool("run --config 0x3000099 --clock 10 --format jsonl").out);
    for (const size_t keep : {size_t(1), size_t(3), size_t(90), l.size() - 1, l.size()}) {
        const std::vector<std::string> head(l.begin(), l.begin() + long(keep));
        const TempFile log(text_of(head));
        const int expected = keep == l.size() ? 0 : 3;
        for (const char* cmd : {"check ", "import ", "import --format text ", "vcd "})
            EXPECT_EQ(tool(std::string(cmd) + log.path).status, expected) << cmd << keep;
        EXPECT_EQ(tool("diff " + log.path + " " + trace.path).status, expected) << keep;
        EXPECT_EQ(tool("diff " + trace.path + " " + log.path).status, expected) << keep;
        // Started late: the same.
        const std::vector<std::string> tail(l.begin() + long(l.size() - keep), l.end());
        const int late = keep == l.size() ? 0 : 3;
        EXPECT_EQ(tool("check " + TempFile(text_of(tail)).path).status, late) << "late " << keep;
    }
    // Each command's help says what 3 means.
    for (const char* cmd : {"check", "diff", "import", "vcd"})
        EXPECT_TRUE(has(run_tovmem(std::string(cmd) + " --help").out, "3 when")) << cmd;
}

// A capture torn in the middle of its last line is judged as the capture
// that ends before that line: check and diff print the same, but for the
// note on the torn line.
TEST(IncompleteStatus, ATornLastLineIsTheCaptureEndingBeforeIt) {
    const std::vector<std::string> l = log_lines(healthy_call());
    const TempFile trace(tool("run --config 0x3000099 --clock 10 --format jsonl").out);
    for (const size_t at : {size_t(2), size_t(47), size_t(83), size_t(120), l.size() - 1}) {
        const std::string clean = text_of(std::vector<std::string>(l.begin(), l.begin() + long(at)));
        const std::string torn = clean + l[at].substr(0, l[at].size() / 2) + "\n";
        const TempFile a(clean), b(torn);
        const Outcome ca = tool("check " + a.path), cb = tool("check " + b.path);
        EXPECT_EQ(cb.status, 3) << at;
        std::string expected = ca.out;
        const std::string note = "note  the capture ends early: line " + std::to_string(at + 1) +
                                 " is torn (not a JSON object (or bytes after it))\n";
        std::string got = cb.out;
        const size_t n = got.find(note);
        ASSERT_NE(n, std::string::npos) << at << "\n" << got;
        got.erase(n, note.size());
        for (const std::string& name : {a.path, b.path}) {
            for (size_t k; (k = expected.find(name)) != std::string::npos;) expected.replace(k, name.size(), "LOG");
            for (size_t k; (k = got.find(name)) != std::string::npos;) got.replace(k, name.size(), "LOG");
        }
        EXPECT_EQ(got, expected) << at;
        const Outcome da = tool("diff " + a.path + " " + trace.path), db = tool("diff " + b.path + " " + trace.path);
        EXPECT_EQ(db.status, 3);
        const auto tail = [](const std::string& s) { return s.substr(s.find("\nA: ")); };
        std::string dtail = tail(db.out);
        const std::string dnote = "note A: the capture ends early: line " + std::to_string(at + 1) +
                                  " is torn (not a JSON object (or bytes after it))\n";
        const size_t k = dtail.find(dnote);
        ASSERT_NE(k, std::string::npos) << dtail;
        dtail.erase(k, dnote.size());
        EXPECT_EQ(dtail, tail(da.out)) << at;
    }
}

// A log's torn line names the column of its control byte on the line, as
// the file holds it (the prefix and another print's text before it counted).
TEST(IncompleteStatus, ALogsControlByteIsNamedAtItsColumnOnTheLine) {
    const std::vector<std::string> l = log_lines(healthy_call());
    for (const std::string lead : {"", "1\t0.0125\t[4242] ", "driver: tovmem: {x} "}) {
        for (size_t pos : {size_t(9), size_t(20), l[1].size() - 2}) {
            std::string last = lead + l[1];
            last.insert(lead.size() + pos, 1, '\x02');
            const tovmem::Bringup b = read_text(l[0] + "\n" + last + "\n");
            const std::string note = "the capture ends early: line 2 is torn (control byte \\x02 at column " +
                                     std::to_string(lead.size() + pos + 1) + ")";
            EXPECT_NE(std::find(b.notes.begin(), b.notes.end(), note), b.notes.end())
                << "lead '" << lead << "', at " << pos << ": " << (b.notes.empty() ? "" : b.notes.back());
        }
    }
}

// A trace's refusal of a control byte names its column, counted from 1.
TEST(IncompleteStatus, AControlByteIsRefusedAtItsColumn) {
    const std::string line = "{\"ev\":\"store\",\"off\":4,\"val\":1,\"t\":9}";
    const std::string result = sim::result_jsonl(sim::RunResult{}) + "\n";
    // (A line that starts with anything but '{' is read as a captured log.)
    for (size_t pos = 1; pos <= line.size(); ++pos) {
        for (const char c : {'\x01', '\x1b', '\x00'}) {
            std::string bad = line;
            bad.insert(pos, 1, c);
            std::istringstream in(bad + "\n" + result);
            try {
                tovmem::read_trace(in, "t");
                ADD_FAILURE() << "taken: control byte at " << pos;
            } catch (const tovmem::UsageError& e) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
                EXPECT_EQ(e.msg, "t line 1: control byte " + std::string(hex) + " at column " + std::to_string(pos + 1))
                    << pos;
            }
        }
    }
}

}  // namespace tov::test::incomplete_evidence_test

namespace tov::test::incomplete_evidence_test {

// ---- a call set beside its simulated self, honest summaries ----

// diff --sim: the failing capture against the call its record on entry
// describes names the first step where the board parts from the library;
// the healthy one is identical; a cut one is incomplete.
TEST(DiffAgainstTheSimulation, NamesTheFirstDifference) {
    const TempFile bad(text_of(log_lines(stuck_call()))), good(text_of(log_lines(healthy_call())));
    const Outcome d = tool("diff --sim " + bad.path);
    EXPECT_EQ(d.status, 1) << d.out << d.err;
    EXPECT_TRUE(has(d.out,
                    "\nfirst difference at bus step 84: A read DRC_CMD_STATUS 0x828 = 0x00000000 (3 loads), "
                    "B read DRC_CMD_STATUS 0x828 = 0x00000001 (3 loads)\n"))
        << d.out;
    EXPECT_TRUE(has(d.out,
                    "B is the simulated call of A's record on entry: config 0x3000099, clock_index 10, "
                    "power_mode 0, register block 0x10000000 (A's tag)"))
        << d.out;
    EXPECT_EQ(tool("diff --sim " + good.path).status, 0);
    std::vector<std::string> l = log_lines(healthy_call());
    l.resize(50);
    EXPECT_EQ(tool("diff --sim " + TempFile(text_of(l)).path).status, 3);
    // The register block the tag names: a block elsewhere is simulated there.
    const TempFile moved(tool("run --config 0x1000061 --clock 5 --reg-base 0x20010000 --format log").out);
    const Outcome m = tool("diff --sim " + moved.path);
    EXPECT_EQ(m.status, 0) << m.out;
    EXPECT_TRUE(has(m.out, "register block 0x20010000 (A's tag)")) << m.out;
    EXPECT_EQ(tool("diff --sim " + bad.path + " " + good.path).status, 2);
}

// A capture without its result holds none of the fields the call writes:
// "not captured", never the fill word; check takes the memory clock the
// library sets for the record on entry, and says so.
TEST(HonestSummaries, FieldsACaptureDoesNotHold) {
    std::vector<std::string> l = log_lines(healthy_call());
    l.resize(l.size() - 1);
    const TempFile cut(text_of(l));
    const Outcome t = tool("import --format text " + cut.path);
    EXPECT_EQ(t.status, 3);
    EXPECT_FALSE(has(t.out, "0xa5a5a5a5")) << t.out;
    EXPECT_TRUE(has(t.out, "memory clock   not captured")) << t.out;
    EXPECT_TRUE(has(t.out, "map value      not captured")) << t.out;
    EXPECT_TRUE(has(t.out, "rebuilt ms  event")) << t.out;
    EXPECT_TRUE(has(t.out, "\ntimes          rebuilt from the capture's clock readings")) << t.out;
    const Outcome c = tool("check " + cut.path);
    EXPECT_EQ(c.status, 3);
    // The run's own clock at this configuration, as `run` reports it.
    const Outcome run = tool("run --config 0x3000099 --clock 10");
    ASSERT_TRUE(has(run.out, "memory clock   182250 kHz")) << run.out;
    EXPECT_TRUE(has(c.out,
                    "memory clock 182250 kHz (not captured: the clock the library sets for the record on "
                    "entry, config 0x3000099, clock_index 10)"))
        << c.out;
    EXPECT_TRUE(has(c.out, "  ok    cke-high-200us             command 2: count 39151 cycles at 182250 kHz")) << c.out;
    const Outcome d = tool("diff " + cut.path + " " +
                           TempFile(tool("run --config 0x3000099 --clock 10 --format "
                                         "jsonl")
                                        .out)
                               .path);
    EXPECT_TRUE(has(d.out,
                    "A: result unknown, clock_index 10, clock not captured, size not captured, map not "
                    "captured, "))
        << d.out;
    EXPECT_TRUE(has(d.out, " ms (rebuilt), ")) << d.out;
    EXPECT_TRUE(has(d.out, "\ntimes of A: rebuilt from the capture's clock readings")) << d.out;
    // The JSON lines import writes say how their times were made, and every reader repeats it.
    const TempFile jsonl(tool("import " + TempFile(text_of(log_lines(healthy_call()))).path).out);
    EXPECT_TRUE(has(jsonl.read(), "\"times\":\"rebuilt from the capture's clock readings")) << jsonl.read();
    EXPECT_TRUE(has(tool("import --format text " + jsonl.path).err, "is a JSON-lines trace already"));
    EXPECT_TRUE(has(tool("run --config 0x3000099 --clock 10").out, "   time ms  event"));
}

// A 0 result with no bus traffic: the routine does not serve that clock,
// and the clocks it does serve are what the library does at each.
TEST(HonestSummaries, AnUnservedClockIsNamed) {
    std::string served;
    for (uint32_t c = 0; c <= 13; ++c) {
        const sim::RunResult r = sim::run_bring_up(sim::image::request(0x1000054, c));
        const bool touched = !r.events.empty();
        if (touched) served += (served.empty() ? "" : ",") + std::to_string(c);
    }
    ASSERT_EQ(served, "2,3,4,5,6,11,12");
    const std::string why =
        "routine meminit_orlit_id54 (orlit row 41) does not support clock_index 10 (it supports 2 to 6, 11, 12 of "
        "clock_index 0 to 13): it returns 0 before touching the chip";
    const Outcome r = tool("run --config 0x1000054 --clock 10");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.out, "cause          " + why)) << r.out;
    const Outcome c = tool("check --config 0x1000054 --clock 10");
    EXPECT_EQ(c.status, 1);
    EXPECT_TRUE(has(c.out, "cause: " + why)) << c.out;
    EXPECT_TRUE(has(tool("check --all").out,
                    "\n0x01000054 clock 10  no DRAM commands (result 0; the routine does "
                    "not support this clock, only 2 to 6, 11, 12 of clock_index 0 to 13)\n"));
    // A clock it serves: no such cause.
    EXPECT_FALSE(has(tool("run --config 0x1000054 --clock 11").out, "does not support")) << "clock 11";
}

// ---- input slips and numbers ----

TEST(InputSlips, GetAWord) {
    const Outcome dec = tool("run --config 3000099 --clock 10");
    EXPECT_TRUE(has(dec.out,
                    "--config 3000099 is read as decimal (0x2dc723), which no table lists; did you mean "
                    "0x3000099?"))
        << dec.out;
    EXPECT_FALSE(has(tool("run --config 0x3000099 --clock 10").out, "did you mean"));
    EXPECT_FALSE(has(tool("run --config 0 --clock 10").out, "did you mean"));
    EXPECT_TRUE(has(tool("run --config 0x3000099 --clock 14").out, "--clock 14 is outside clock_index 0 to 13"));
    EXPECT_FALSE(has(tool("run --config 0x3000099 --clock 0xffff0004").out, "is outside clock_index"));
    EXPECT_FALSE(has(tool("run --config 0x3000099 --clock 13").out, "is outside clock_index"));
    const Outcome p = tool("run --config 0x3000099 --clock 10 --preempt 3:2.5 --cmd-latency-us 7");
    EXPECT_TRUE(has(p.out, "preemption     after clock reading 3 the thread is off the processor for 2.5 ms")) << p.out;
    EXPECT_TRUE(has(p.out, "command time   each DRAM command in flight for 7 us of true time")) << p.out;
}

// Every 64-bit number, decimal or hex; one past it refused.
TEST(InputSlips, NumbersUpTo64Bits) {
    const std::pair<const char*, uint64_t> good[] = {
        {"18446744073709551615", ~uint64_t(0)},
        {"0xffffffffffffffff", ~uint64_t(0)},
        {"18446735277627015168", 0xfffff80000a00000ull},
        {"00000000000000000001", 1},
        {"4294967296", 0x100000000ull},
    };
    for (const auto& [text, v] : good) EXPECT_EQ(tovmem::parse_u64("--x", text), v) << text;
    for (const char* bad : {"18446744073709551616", "99999999999999999999", "184467440737095516150",
                            "0x10000000000000000", "0x", "1x", ""}) {
        try {
            tovmem::parse_u64("--x", bad);
            ADD_FAILURE() << "taken: " << bad;
        } catch (const tovmem::UsageError& e) {
            EXPECT_EQ(e.msg, std::string("--x expects a 64-bit number (decimal or 0x-hex), not '") + bad + "'");
        }
    }
    EXPECT_EQ(tovmem::parse_u32("--x", "4294967295"), 0xffffffffu);
    EXPECT_THROW(tovmem::parse_u32("--x", "4294967296"), tovmem::UsageError);
}

// ---- output hygiene ----

// A message holding DEL or a C1 control (U+0085, CSI) is escaped in the
// JSON lines import writes, and reads back as it was.
TEST(OutputHygiene, ImportEscapesDelAndC1) {
    const std::string p = "tovmem: {\"ev\":";
    const std::string log = p + "\"trace\",\"call\":\"1000\",\"msg\":\"a\\u007fb\\u0085c\\u009b[31md\\u00a0e\"}\n" + p +
                            "\"store\",\"call\":\"1000\",\"off\":2064,\"val\":7}\n";
    const Outcome o = tool("import " + TempFile(log).path);
    EXPECT_EQ(o.status, 3);  // no record on entry, no result
    for (size_t i = 0; i + 1 < o.out.size(); ++i) {
        const auto c = static_cast<unsigned char>(o.out[i]), n = static_cast<unsigned char>(o.out[i + 1]);
        EXPECT_NE(c, 0x7f) << i;
        EXPECT_FALSE(c == 0xc2 && n >= 0x80 && n <= 0x9f) << i;
    }
    EXPECT_TRUE(has(o.out,
                    "\"msg\":\"a\\u007fb\\u0085c\\u009b[31md\xc2\xa0"
                    "e\""))
        << o.out;
    // Read back: the same message.
    std::istringstream in(o.out);
    const tovmem::Bringup b = tovmem::read_trace(in, "t");
    ASSERT_FALSE(b.r.events.empty());
    EXPECT_EQ(b.r.events[0].msg,
              "a\x7f"
              "b\xc2\x85"
              "c\xc2\x9b[31md\xc2\xa0"
              "e");
}

}  // namespace tov::test::incomplete_evidence_test
