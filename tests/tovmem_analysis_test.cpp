// SPDX-License-Identifier: Apache-2.0
// The trace analysis behind tovmem: DRAM command decoding, the power-up rule
// check on altered command lists, failure causes read from bus events alone,
// the alignment of two traces, and the summary of a kernel-image run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <random>
#include <set>

#include "sim/command_decode.h"
#include "tests/harness.h"
#include "tools/tovmem/align.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"
#include "tools/tovmem/rules.h"

namespace tov::test::tovmem_analysis_test {
namespace {

using namespace tov;
using sim::DramOp;

// ---- command decoding ----

struct DecodeCase {
    uint32_t code, word;
    DramOp op;
    bool cke;
    const char* text;
    const char* name;
};

// Named by what a case holds, the same in every build: "code_1081_word_30002".
void PrintTo(const DecodeCase& c, std::ostream* os) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "code %#x word %#x (%s)", c.code, c.word, c.name);
    *os << buf;
}
std::string decode_case_name(const ::testing::TestParamInfo<DecodeCase>& i) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "code_%x_word_%x", i.param.code, i.param.word);
    return buf;
}

// A gtest name from free text: letters and digits kept, runs of anything else one '_'.
std::string identifier(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (std::isalnum(static_cast<unsigned char>(ch)))
            out += ch;
        else if (!out.empty() && out.back() != '_')
            out += '_';
    }
    while (!out.empty() && out.back() == '_') out.pop_back();
    return out;
}

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, FollowsTheCommandLines) {
    const DecodeCase& c = GetParam();
    const sim::DramCommand d = sim::decode_command(c.code, c.word);
    EXPECT_EQ(d.op, c.op);
    EXPECT_EQ(d.cke, c.cke);
    EXPECT_EQ(d.count, c.word >> 16);
    EXPECT_EQ(sim::describe(d), c.text);
    EXPECT_EQ(sim::short_name(d), c.name);
}

INSTANTIATE_TEST_SUITE_P(
    PowerUpList, Decode,
    ::testing::Values(DecodeCase{0x1171, 0x10000, DramOp::nop, false, "NOP, CKE low, count 1", "NOP_CKE_low"},
                      DecodeCase{0x11f1, 0x98ef0000, DramOp::nop, true, "NOP, CKE high, count 39151", "NOP_CKE_high"},
                      DecodeCase{0x10a1, 0x1ffff, DramOp::precharge, true, "precharge all, count 1", "PRE_all"},
                      DecodeCase{0xa1, 0x20000, DramOp::precharge, true, "precharge bank, count 2", "PRE"},
                      DecodeCase{0x1081, 0x30002, DramOp::extended_mode_register, true,
                                 "extended mode register set 0x2 (DLL enabled, reduced drive), count 3", "EMRS"},
                      DecodeCase{0x1081, 0x30001, DramOp::extended_mode_register, true,
                                 "extended mode register set 0x1 (DLL disabled, normal drive), count 3", "EMRS"},
                      DecodeCase{0x81, 0x20132, DramOp::mode_register, true,
                                 "mode register set: CAS latency 3, burst 4, DLL reset, count 2", "MRS_DLL_reset"},
                      DecodeCase{0x81, 0xe0062, DramOp::mode_register, true,
                                 "mode register set: CAS latency 2.5, burst 4, count 14", "MRS"},
                      DecodeCase{0x81, 0x1004b, DramOp::mode_register, true,
                                 "mode register set: CAS latency 4, burst 8 interleaved, count 1", "MRS"},
                      DecodeCase{0x81, 0x10050, DramOp::mode_register, true,
                                 "mode register set: CAS latency reserved, burst 0, count 1", "MRS"},
                      DecodeCase{0x91, 0x30000, DramOp::auto_refresh, true, "auto refresh, count 3", "REF"},
                      DecodeCase{0x1f3, 0xc80000, DramOp::closing, true, "closing command, count 200", "CLOSE"},
                      DecodeCase{0xb1, 0x10000, DramOp::active, true, "active, count 1", "ACT"},
                      DecodeCase{0xd1, 0x10000, DramOp::read, true, "read, count 1", "READ"},
                      DecodeCase{0xc1, 0x10000, DramOp::write, true, "write, count 1", "WRITE"}),
    decode_case_name);

// ---- power-up rules ----

// The standard third-family list (configuration 0x3000099), as the rule check sees it.
std::vector<tovmem::CommandInfo> standard_list() {
    const std::pair<uint32_t, uint32_t> list[] = {
        {0x1171, 0x10000}, {0x11f1, 0x98ef0000}, {0x10a1, 0x1ffff}, {0x1081, 0x30000}, {0x81, 0x20132},
        {0xa1, 0x2ffff},   {0x91, 0x30000},      {0x91, 0xe0000},   {0x81, 0xe0032},   {0x1f3, 0xc80000}};
    std::vector<tovmem::CommandInfo> out;
    for (const auto& [code, word] : list) {
        tovmem::CommandInfo c;
        c.number = static_cast<int>(out.size() + 1);
        c.cmd = sim::decode_command(code, word);
        out.push_back(c);
    }
    return out;
}

void drop(std::vector<tovmem::CommandInfo>& l, size_t i) { l.erase(l.begin() + i); }
void set_word(std::vector<tovmem::CommandInfo>& l, size_t i, uint32_t word) {
    l[i].cmd = sim::decode_command(l[i].cmd.code, word);
}

struct RuleCase {
    const char* name;
    void (*alter)(std::vector<tovmem::CommandInfo>&);
    uint32_t khz;
    std::set<std::string> failing;
};

void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name << " at " << c.khz << " kHz"; }

class Rules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(Rules, FailExactlyWhereTheListBreaksThem) {
    const RuleCase& c = GetParam();
    auto list = standard_list();
    c.alter(list);
    std::set<std::string> failing;
    for (const tovmem::RuleResult& r : tovmem::check_rules(list, c.khz)) {
        if (r.verdict == tovmem::Verdict::fail) failing.insert(r.name);
        EXPECT_FALSE(r.finding.empty()) << r.name;
        EXPECT_EQ(r.finding.find('\n'), std::string::npos) << r.name;
    }
    EXPECT_EQ(failing, c.failing) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    AlteredLists, Rules,
    ::testing::Values(
        RuleCase{"standard", [](auto&) {}, 182250, {}},
        RuleCase{"no CKE-low NOP", [](auto& l) { drop(l, 0); }, 182250, {"cke-low-first"}},
        RuleCase{"short clock-enable wait", [](auto& l) { set_word(l, 1, 0x41ec0000); }, 182250, {"cke-high-200us"}},
        RuleCase{"long wait at a faster clock", [](auto&) {}, 200000, {"cke-high-200us"}},
        RuleCase{
            "no precharge before the mode registers", [](auto& l) { drop(l, 2); }, 182250, {"precharge-before-mrs"}},
        RuleCase{"no EMRS", [](auto& l) { drop(l, 3); }, 182250, {"emrs-before-dll-reset"}},
        RuleCase{"EMRS disables the DLL", [](auto& l) { set_word(l, 3, 0x30001); }, 182250, {"emrs-before-dll-reset"}},
        RuleCase{"no precharge after the DLL reset",
                 [](auto& l) { drop(l, 5); },
                 182250,
                 {"precharge-after-dll-reset", "two-refreshes"}},
        RuleCase{"one refresh", [](auto& l) { drop(l, 6); }, 182250, {"two-refreshes"}},
        RuleCase{"final MRS with another CAS latency", [](auto& l) { set_word(l, 8, 0xe0022); }, 182250, {"final-mrs"}},
        RuleCase{"final MRS with another burst", [](auto& l) { set_word(l, 8, 0xe0033); }, 182250, {"final-mrs"}},
        RuleCase{"final MRS resets the DLL again", [](auto& l) { set_word(l, 8, 0xe0132); }, 182250, {"final-mrs"}},
        RuleCase{"final MRS missing", [](auto& l) { drop(l, 8); }, 182250, {"final-mrs"}},
        RuleCase{"too few cycles after the DLL reset",
                 [](auto& l) { set_word(l, 9, 0x100000); },
                 182250,
                 {"dll-reset-200-cycles"}},
        RuleCase{"CAS latency 4",
                 [](auto& l) { set_word(l, 4, 0x20142), set_word(l, 8, 0xe0042); },
                 182250,
                 {"cas-latency"}},
        RuleCase{"no DLL reset",
                 [](auto& l) { set_word(l, 4, 0x20032); },
                 182250,
                 {"emrs-before-dll-reset", "precharge-after-dll-reset", "two-refreshes", "final-mrs",
                  "dll-reset-200-cycles"}},
        // Without a memory clock the wait cannot be judged: not a failure.
        RuleCase{"memory clock unknown", [](auto&) {}, 0, {}}),
    [](const ::testing::TestParamInfo<RuleCase>& i) { return identifier(i.param.name); });

// The rule that measures a figure hands it over with its unit, for the
// report to show beside the rule's name without knowing which rule it is:
// the CKE-high wait of 39151 cycles (0x98ef) is 214.8 us at 182250 kHz and
// 195.8 us at 200000 kHz, 16876 cycles (0x41ec) 92.6 us; no clock, no
// figure; no other rule measures one.
TEST(CheckRules, TheCkeHighWaitCarriesItsMeasuredLength) {
    const auto measured = [](std::vector<tovmem::CommandInfo> l, uint32_t khz) {
        std::map<std::string, std::string> out;
        for (const tovmem::RuleResult& r : tovmem::check_rules(l, khz))
            if (!r.measured.empty()) out[r.name] = r.measured;
        return out;
    };
    using M = std::map<std::string, std::string>;
    EXPECT_EQ(measured(standard_list(), 182250), (M{{"cke-high-200us", "214.8 us"}}));
    EXPECT_EQ(measured(standard_list(), 200000), (M{{"cke-high-200us", "195.8 us"}}));
    auto short_wait = standard_list();
    set_word(short_wait, 1, 0x41ec0000);
    EXPECT_EQ(measured(short_wait, 182250), (M{{"cke-high-200us", "92.6 us"}}));
    EXPECT_EQ(measured(standard_list(), 0), M{});
}

// ---- failure causes from the bus alone ----

struct CauseCase {
    uint32_t config, clock;
    sim::ChipConfig chip;
    const char* cause;
};

std::string fault_text(const sim::ChipConfig& c) {
    char buf[64];
    if (c.cmd_stuck_at)
        std::snprintf(buf, sizeof buf, "command %u stuck", c.cmd_stuck_at);
    else if (!c.unstable.empty())
        std::snprintf(buf, sizeof buf, "%#x unstable", *c.unstable.begin());
    else if (c.fb_corrupt[0] || c.fb_corrupt[1])
        std::snprintf(buf, sizeof buf, "slot %d corrupted %#x", c.fb_corrupt[0] ? 0 : 1,
                      c.fb_corrupt[0] ? c.fb_corrupt[0] : c.fb_corrupt[1]);
    else
        std::snprintf(buf, sizeof buf, "healthy");
    return buf;
}
void PrintTo(const CauseCase& c, std::ostream* os) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "config %#x clock %u, ", c.config, c.clock);
    *os << buf << fault_text(c.chip);
}

class CauseFromBus : public ::testing::TestWithParam<CauseCase> {};

TEST_P(CauseFromBus, SameWithoutDelayAndMessageEvents) {
    const CauseCase& c = GetParam();
    const sim::RunResult full = test::run(c.config, c.clock, 0, c.chip);
    sim::RunResult bus = full;
    bus.events.erase(std::remove_if(bus.events.begin(), bus.events.end(),
                                    [](const sim::Event& e) {
                                        return e.kind != sim::EventKind::load && e.kind != sim::EventKind::store &&
                                               e.kind != sim::EventKind::aux_load;
                                    }),
                     bus.events.end());
    ASSERT_LT(bus.events.size(), full.events.size());
    const std::string from_full = tovmem::cause_of(full, tovmem::analyse(full));
    EXPECT_EQ(from_full.rfind(c.cause, 0), 0u) << from_full;
    EXPECT_EQ(tovmem::cause_of(bus, tovmem::analyse(bus)), from_full);
}

sim::ChipConfig stuck_at(uint32_t n) {
    sim::ChipConfig c;
    c.cmd_stuck_at = n;
    return c;
}
sim::ChipConfig unstable(uint32_t off) {
    sim::ChipConfig c;
    c.unstable.insert(off);
    return c;
}
sim::ChipConfig corrupt(uint32_t slot, uint32_t mask) {
    sim::ChipConfig c;
    c.fb_corrupt[slot] = mask;
    return c;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CauseFromBus,
    ::testing::Values(
        CauseCase{0x3000099, 10, stuck_at(3),
                  "DRAM command 3 (precharge all, count 1) not done after 101.0 ms: 202 of 202"},
        CauseCase{0x1000000, 10, stuck_at(5), "DRAM command 5 (precharge all, count 2) not done after 120.5 ms"},
        CauseCase{0x10, 1, stuck_at(1), "DRAM command 1 (NOP, CKE high"},
        CauseCase{0x3000002, 0, unstable(0x828), "register DRC_CMD_STATUS 0x828 never settled: 32 loads"},
        CauseCase{0x3000002, 0, unstable(0x43c), "register BLK_43C 0x43c never settled: 32 loads"},
        CauseCase{0x3000099, 10, corrupt(0, 0x80000000),
                  "frame-buffer check: test slot 0 read back 0x92345678, expected 0x12345678"},
        CauseCase{0x3000099, 10, corrupt(1, 0xff), "frame-buffer check: test slot 1 read back 0x876543de"}),
    [](const ::testing::TestParamInfo<CauseCase>& i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "config_%x_clock_%u_", i.param.config, i.param.clock);
        return identifier(buf + fault_text(i.param.chip));
    });

TEST(CauseFromBus, HealthyRunsHaveNoCauseAndEveryWaitDone) {
    for (uint32_t id : {0x0u, 0x10u, 0x1000000u, 0x1000076u, 0x3000000u, 0x3000099u, 0x30000bdu}) {
        // The first family reads the done bit once, a tick after the command:
        // only the polling families wait out a busy controller.
        sim::ChipConfig chip;
        chip.cmd_latency = id < 0x1000000 ? 0 : 4;
        const sim::RunResult r = test::run(id, 10, 0, chip);
        const tovmem::Analysis a = tovmem::analyse(r);
        ASSERT_EQ(r.ret, 1) << id;
        EXPECT_EQ(tovmem::cause_of(r, a), "") << id;
        EXPECT_EQ(a.commands.size(), r.commands) << id;
        EXPECT_TRUE(a.unsettled.empty()) << id;
        for (const tovmem::CommandInfo& c : a.commands) {
            if (c.polls == 0) continue;
            EXPECT_TRUE(c.done) << id << " command " << c.number;
            EXPECT_FALSE(c.gave_up()) << id << " command " << c.number;
        }
        // Every load belongs to exactly one stable read.
        size_t loads = 0;
        for (const tovmem::Step& s : a.steps) loads += s.kind == tovmem::StepKind::read ? s.loads : 0;
        EXPECT_EQ(
            loads, test::loads_of(r, 0x828) +
                       [&] {
                           size_t n = 0;
                           for (const sim::Event& e : r.events) n += e.kind == sim::EventKind::load && e.off != 0x828;
                           return n;
                       }())
            << id;
    }
}

TEST(CauseFromBus, BusyPollsCountedPerCommand) {
    for (uint32_t latency : {0u, 1u, 3u, 7u}) {
        sim::ChipConfig chip;
        chip.cmd_latency = latency;
        const sim::RunResult r = test::run(0x3000099, 10, 0, chip);
        const tovmem::Analysis a = tovmem::analyse(r);
        ASSERT_EQ(a.commands.size(), 10u);
        for (const tovmem::CommandInfo& c : a.commands) {
            // A poll is a stable read: three agreeing loads; a mixed run of loads settles on the done value.
            EXPECT_EQ(c.busy, latency / 3) << latency;
            EXPECT_EQ(c.polls, c.busy + 1) << latency;
        }
    }
}

// ---- alignment ----

long score_of(const std::vector<tovmem::AlignItem>& a, const std::vector<tovmem::AlignItem>& b,
              const std::vector<tovmem::AlignPair>& pairs) {
    long s = 0;
    long last_a = -1, last_b = -1;
    std::vector<int> seen_a(a.size()), seen_b(b.size());
    for (const auto& p : pairs) {
        if (p.a >= 0) {
            EXPECT_GT(p.a, last_a);
            last_a = p.a;
            ++seen_a[p.a];
        }
        if (p.b >= 0) {
            EXPECT_GT(p.b, last_b);
            last_b = p.b;
            ++seen_b[p.b];
        }
        if (p.a >= 0 && p.b >= 0) {
            EXPECT_EQ(a[p.a].key, b[p.b].key);
            s += a[p.a].value == b[p.b].value ? 3 : 2;
        }
    }
    for (int n : seen_a) EXPECT_EQ(n, 1);
    for (int n : seen_b) EXPECT_EQ(n, 1);
    return s;
}

long best_score(const std::vector<tovmem::AlignItem>& a, const std::vector<tovmem::AlignItem>& b) {
    std::vector<std::vector<long>> t(a.size() + 1, std::vector<long>(b.size() + 1, 0));
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t k = 1; k <= b.size(); ++k) {
            t[i][k] = std::max(t[i - 1][k], t[i][k - 1]);
            if (a[i - 1].key == b[k - 1].key)
                t[i][k] = std::max(t[i][k], t[i - 1][k - 1] + (a[i - 1].value == b[k - 1].value ? 3 : 2));
        }
    return t[a.size()][b.size()];
}

TEST(Align, OptimalOnRandomEditsOfLongTraces) {
    std::mt19937 rng(7);
    for (int round = 0; round < 12; ++round) {
        const size_t n = round < 6 ? 40 + round * 30 : 400 + round * 50;  // small and past the full-table size
        std::vector<tovmem::AlignItem> a;
        for (size_t i = 0; i < n; ++i) a.push_back({rng() % 12, rng() % 3});
        std::vector<tovmem::AlignItem> b;
        for (const auto& x : a) {
            const unsigned r = rng() % 20;
            if (r == 0) continue;                                             // deleted
            if (r == 1) b.push_back({rng() % 12, rng() % 3});                 // inserted before
            b.push_back(r == 2 ? tovmem::AlignItem{x.key, x.value + 1} : x);  // value changed
        }
        const auto pairs = tovmem::align(a, b);
        EXPECT_EQ(score_of(a, b, pairs), best_score(a, b)) << "round " << round;
    }
}

TEST(Align, AnInsertedStepDoesNotMisalignTheRest) {
    std::vector<tovmem::AlignItem> a;
    for (uint64_t i = 0; i < 3000; ++i) a.push_back({i % 50, i});
    std::vector<tovmem::AlignItem> b = a;
    b.insert(b.begin() + 1000, {7, 99999});
    b.erase(b.begin() + 2000);
    const auto pairs = tovmem::align(a, b);
    size_t matched = 0, only_a = 0, only_b = 0;
    for (const auto& p : pairs) {
        if (p.a >= 0 && p.b >= 0) {
            ++matched;
            EXPECT_EQ(a[p.a].value, b[p.b].value);
        }
        only_a += p.b < 0;
        only_b += p.a < 0;
    }
    EXPECT_EQ(matched, 2999u);
    EXPECT_EQ(only_a, 1u);
    EXPECT_EQ(only_b, 1u);
}

// ---- summary of a kernel-image run ----

TEST(TextSummary, ImageRunsReportStackAndInstructions) {
    tovmem::Bringup b;
    b.r = test::run(0x3000099, 10);
    b.source = "image";
    for (bool image : {false, true}) {
        b.r.from_image = image;
        b.r.image.stack_bytes = 1234;
        b.r.image.instructions = 56789;
        ::testing::internal::CaptureStdout();
        tovmem::print_text(b);
        std::fflush(stdout);
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out.find("kernel image   1234 stack bytes, 56789 x86 instructions") != std::string::npos, image);
        EXPECT_NE(out.find("virtual time   116.500 ms\n"), std::string::npos);
    }
}

}  // namespace
}  // namespace tov::test::tovmem_analysis_test
