// SPDX-License-Identifier: Apache-2.0
// The diagnostic image's log read back: every scenario's log, as the host
// build's step notes give it, rebuilds the steps of the host's own trace;
// the ways a log is captured (WinDbg, DebugView, plain lines) read alike; a
// capture that starts late or ends early is said so; a broken one is refused.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>

#include "platform/diag_line.h"
#include "sim/image/sweep.h"
#include "sim/trace_format.h"
#include "tests/tovmem_process.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"

namespace tov::test::diag_log_test {

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l;
    return s;
}

tovmem::Bringup read_log(const std::string& text) {
    std::istringstream in(text);
    return tovmem::read_trace(in, "log");
}

// A step as the tools show it: what was stored or read, and how.
std::vector<std::string> steps(const sim::RunResult& r) {
    std::vector<std::string> out;
    for (const tovmem::Step& s : tovmem::analyse(r).steps) {
        if (s.kind == tovmem::StepKind::other) {
            const sim::Event& e = r.events[s.first];
            out.push_back(e.kind == sim::EventKind::trace ? "trace " + e.msg : sim::event_compact(e));
        } else {
            out.push_back(tovmem::step_text(s, r.events));
        }
    }
    return out;
}

// Every distinct form of every routine (the routine sweep on a chip of zeroed
// registers, repeats left out) and a third of the fault sweep, whose blocks
// of 10 or 11 faults shift against the stride so that every kind is taken.
std::vector<sim::image::Scenario> scenarios_to_read() {
    std::vector<sim::image::Scenario> out;
    std::set<std::vector<std::string>> seen;
    for (sim::image::Scenario& s : sim::image::routine_sweep(std::nullopt))
        if (seen.insert(sim::compact(sim::run_bring_up(s.req).events)).second) out.push_back(std::move(s));
    std::vector<sim::image::Scenario> faults = sim::image::fault_sweep();
    for (size_t i = 0; i < faults.size(); i += 3) out.push_back(std::move(faults[i]));
    return out;
}

// The lines as printed, 64-bit clock readings in full, past the 32 bits a
// %u would carry.
TEST(DiagnosticLine, StepsPrintAsTheirJsonWithTheWholeClockReading) {
    using platform::Step;
    using platform::StepNote;
    const auto line = [](const StepNote& n) {
        std::string out;
        platform::diag::print_step(n, [&](const char* format, auto... args) {
            char text[platform::diag::step_line_max];
            std::snprintf(text, sizeof text, format, args...);
            out = text;
        });
        return out;
    };
    EXPECT_EQ(line({.kind = Step::delay_ms, .count = 7, .first = 4294967301, .last = 18446744073709551615u, .seq = 3}),
              "tovmem: {\"ev\":\"delay_ms\",\"call\":\"0\",\"seq\":3,\"n\":7,\"t\":4294967301,\"t_end\":"
              "18446744073709551615}\n");
    EXPECT_EQ(line({.kind = Step::wait,
                    .settled = false,
                    .done = true,
                    .off = 0x828,
                    .val = 5,
                    .count = 3,
                    .busy = 2,
                    .loads = 9,
                    .busy_val = 4,
                    .first = 0,
                    .last = 10,
                    .seq = 12}),
              "tovmem: "
              "{\"ev\":\"wait\",\"call\":\"0\",\"seq\":12,\"off\":2088,\"polls\":3,\"busy\":2,\"loads\":9,\"val\":5,"
              "\"busy_val\":4,"
              "\"settled\":false,\"done\":true,\"t\":0,\"t_end\":10}\n");
    MemInitParams p{};
    p.config_id = 0xffffffff;
    p.reserved_b[1] = 1;
    EXPECT_EQ(line({.kind = Step::leave, .record = &p, .result = -1, .seq = 4294967295, .reg_base = 0x10000000}),
              "tovmem: "
              "{\"ev\":\"result\",\"call\":\"1000\",\"seq\":4294967295,\"ret\":-1,\"config_id\":4294967295,\"clock_"
              "index\":0,\"mem_size\":0,"
              "\"bus_flag\":0,\"mode_flag\":0,\"power_mode\":0,\"mem_clock_khz\":0,\"mem_size_out\":0,\"map_value\":0,"
              "\"reserved\":[0,0,0,0,1]}\n");
}

// A call's tag is bits 16 to 31 of its register block's address, in hex:
// the same for a block the x86 and the x64 kernel map at the same low bits,
// different for two blocks 64 KiB apart.
TEST(DiagnosticLine, EveryLineCarriesItsCallsTag) {
    using platform::Step;
    const auto store_line = [](uintptr_t reg_base) {
        std::string out;
        platform::diag::print_step({.kind = Step::store, .off = 4, .val = 5, .seq = 1, .reg_base = reg_base},
                                   [&](const char* format, auto... args) {
                                       char text[platform::diag::step_line_max];
                                       std::snprintf(text, sizeof text, format, args...);
                                       out = text;
                                   });
        return out;
    };
    EXPECT_EQ(store_line(0x10000000), "tovmem: {\"ev\":\"store\",\"call\":\"1000\",\"seq\":1,\"off\":4,\"val\":5}\n");
    EXPECT_EQ(store_line(0x10010000), "tovmem: {\"ev\":\"store\",\"call\":\"1001\",\"seq\":1,\"off\":4,\"val\":5}\n");
    EXPECT_EQ(store_line(uintptr_t(0xffffd00010000000ull)),
              "tovmem: {\"ev\":\"store\",\"call\":\"1000\",\"seq\":1,\"off\":4,\"val\":5}\n");
    EXPECT_EQ(store_line(0xfe05f000), "tovmem: {\"ev\":\"store\",\"call\":\"fe05\",\"seq\":1,\"off\":4,\"val\":5}\n");
    // Every kind of line of a run carries the simulated block's tag.
    sim::RunRequest q = sim::image::request(0x3000099, 10);
    q.reg_base = 0x7ff20000;
    for (const std::string& l : sim::run_bring_up(q).log) EXPECT_EQ(l.find("\"call\":\"7ff2\","), l.find(',') + 1) << l;
}

TEST(DiagnosticLog, RebuildsEveryFormAndFaultOfTheImageSweeps) {
    size_t scenarios = 0, lines = 0;
    const std::vector<sim::image::Scenario> all = scenarios_to_read();
    for (const sim::image::Scenario& s : all) {
        const sim::RunResult host = sim::run_bring_up(s.req);
        ASSERT_FALSE(host.log.empty()) << s.name;
        const tovmem::Bringup b = read_log(joined(host.log));
        ++scenarios;
        lines += host.log.size();
        ASSERT_TRUE(b.from_log);
        EXPECT_TRUE(b.notes.empty()) << s.name << ": " << b.notes.front();
        ASSERT_EQ(steps(b.r), steps(host)) << s.name;
        EXPECT_EQ(b.r.ret, host.ret) << s.name;
        EXPECT_EQ(std::memcmp(&b.r.record.config_id, &host.record.config_id,
                              sizeof(MemInitParams) - offsetof(MemInitParams, config_id)),
                  0)
            << s.name;
        EXPECT_EQ(b.r.commands, host.commands) << s.name;
    }
    std::printf("diagnostic log read back: %zu scenarios, %zu lines, every step as the host traced it\n", scenarios,
                lines);
}

// A stuck command's log, as the capture tools save it.
const std::vector<std::string>& stuck_log() {
    static const std::vector<std::string> log = [] {
        sim::RunRequest q = sim::image::request(0x3000099, 10);
        q.chip.cmd_stuck_at = 3;
        return sim::run_bring_up(q).log;
    }();
    return log;
}

std::string strip_newline(std::string l) {
    if (!l.empty() && l.back() == '\n') l.pop_back();
    return l;
}

struct Capture {
    const char* name;
    std::string (*make)();
    const char* note;  // part of a note the reading gives; "" for none
    size_t call = 0;   // --call
};
void PrintTo(const Capture& c, std::ostream* os) { *os << c.name; }

class Captures : public ::testing::TestWithParam<Capture> {};

TEST_P(Captures, ReadAsTheCallWithTheirNotes) {
    const Capture& c = GetParam();
    std::istringstream in(c.make());
    const tovmem::Bringup b = tovmem::read_trace(in, "log", c.call);
    const tovmem::Bringup plain = read_log(joined(stuck_log()));
    // A torn result line leaves the result unknown, never 0.
    const bool torn = std::string(c.name) == "torn last line";
    EXPECT_EQ(b.ret_known, !torn);
    if (!torn) EXPECT_EQ(b.r.ret, 0);
    // The third command's wait gave up, as in the whole log.
    const tovmem::Analysis a = tovmem::analyse(b.r);
    ASSERT_GE(a.commands.size(), 3u);
    EXPECT_TRUE(a.commands[2].gave_up());
    const std::vector<std::string> notes = tovmem::notes_of(b, a);
    if (std::string(c.note).empty()) {
        EXPECT_TRUE(notes.empty()) << notes.front();
        EXPECT_EQ(steps(b.r), steps(plain.r));
    } else {
        ASSERT_FALSE(notes.empty());
        bool found = false;
        for (const std::string& n : notes) found |= n.find(c.note) != std::string::npos;
        EXPECT_TRUE(found) << notes.front();
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Captures,
                         ::testing::Values(Capture{"plain", [] { return joined(stuck_log()); }, ""},
                                           Capture{"windbg",
                                                   [] {
                                                       std::string s =
                                                           "Opened log file 'c:\\logs\\board.txt'\n0: kd> g\n";
                                                       for (const std::string& l : stuck_log())
                                                           s += l + "other driver: unrelated line\n";
                                                       return s + "Closing open log file c:\\logs\\board.txt\n";
                                                   },
                                                   ""},
                                           Capture{"debugview",
                                                   [] {
                                                       std::string s;
                                                       int n = 0;
                                                       for (const std::string& l : stuck_log()) {
                                                           ++n;
                                                           s += std::to_string(n) + "\t" + std::to_string(n * 0.0125) +
                                                                "\t" + strip_newline(l) + "\r\n";
                                                       }
                                                       return s;
                                                   },
                                                   ""},
                                           Capture{"late start",
                                                   [] {
                                                       const auto& l = stuck_log();
                                                       return joined(std::vector<std::string>(l.begin() + 5, l.end()));
                                                   },
                                                   "the capture starts late"},
                                           Capture{"torn last line",
                                                   [] {
                                                       std::string s = joined(stuck_log());
                                                       return s.substr(0, s.size() - 40);
                                                   },
                                                   "the capture ends early: line"},
                                           Capture{"two calls",
                                                   [] {
                                                       sim::RunResult ok =
                                                           sim::run_bring_up(sim::image::request(0x3000099, 10));
                                                       return joined(ok.log) + joined(stuck_log());
                                                   },
                                                   "call 2 of the 2 in the log", 2}));

TEST(DiagnosticLog, BrokenCapturesAreRefusedWithOneLine) {
    const std::string good = joined(stuck_log());
    const std::pair<std::string, const char*> cases[] = {
        {"no line of ours\nat all\n", "no line of the diagnostic image"},
        {good.substr(0, 200) + "\n" + good.substr(200), "a torn line is taken only at the end"},
        {"tovmem: {\"ev\":\"read\",\"off\":2088,\"val\":1,\"loads\":2,\"settled\":true}\n" + good,
         "a load count no stable read makes"},
        {"tovmem: {\"ev\":\"wait\",\"off\":2088,\"polls\":4000000000,\"busy\":0,\"loads\":12,\"val\":1,"
         "\"busy_val\":0,\"settled\":true,\"done\":true,\"t\":0,\"t_end\":0}\n",
         "fewer loads than its polls need"},
    };
    for (const auto& [text, expected] : cases) {
        const TempFile f(text);
        expect_refused("check " + f.path, expected);
    }
}

// The board engineer's path: import the log, and diff it against the
// simulated chip's run of the same call.
TEST(DiagnosticLog, ImportAndDiffAgainstTheSimulatedChip) {
    const TempFile log(joined(stuck_log()));
    const Outcome imported = run_tovmem("import " + log.path);
    ASSERT_EQ(imported.status, 0) << imported.err;
    const TempFile jsonl(imported.out);
    EXPECT_EQ(run_tovmem("diff " + log.path + " " + jsonl.path).status, 0);
    const TempFile healthy(run_tovmem("run --config 0x3000099 --clock 10 --format jsonl").out);
    const Outcome d = run_tovmem("diff " + healthy.path + " " + log.path);
    EXPECT_EQ(d.status, 1);
    EXPECT_TRUE(has(d.out, "first difference at bus step")) << d.out;
    EXPECT_TRUE(has(d.out, "B read DRC_CMD_STATUS 0x828 = 0x00000000 (3 loads)")) << d.out;
    EXPECT_EQ(run_tovmem("import " + healthy.path).status, 2);
}

}  // namespace tov::test::diag_log_test
