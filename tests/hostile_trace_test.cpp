// SPDX-License-Identifier: Apache-2.0
// Traces (and images) made by an attacker: a trace line that is not exactly
// one JSON object with unique keys is refused with its line number; every
// refusal is one printable line on stderr and exit status 2; diff's
// alignment stays within its budget, says when it gives up, and is always a
// valid alignment.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>

#include "sim/printable.h"
#include "tests/patched_image.h"
#include "tests/tovmem_process.h"
#include "tools/tovmem/align.h"
#include "tools/tovmem/commands.h"

namespace tov::test::hostile_trace_test {
namespace {

// A real trace, recorded once per process.
const std::string& real_trace() {
    static const std::string jsonl = tov::test::run_tovmem("run --config 0x3000099 --clock 10 --format jsonl").out;
    return jsonl;
}

std::string with_first_line(const std::function<std::string(std::string)>& change) {
    const std::string& t = real_trace();
    const size_t nl = t.find('\n');
    return change(t.substr(0, nl)) + t.substr(nl);
}

struct BadTrace {
    const char* name;
    std::function<std::string()> text;
    const char* expected;  // part of the refusal; "" for a trace that is taken
};

void PrintTo(const BadTrace& b, std::ostream* os) { *os << b.name; }

class StrictTrace : public ::testing::TestWithParam<BadTrace> {};

TEST_P(StrictTrace, RefusedWithTheLineNumber) {
    std::istringstream in(GetParam().text());
    std::string error;
    try {
        tovmem::read_trace(in, "t.jsonl");
    } catch (const tovmem::UsageError& e) {
        error = e.msg;
    }
    if (*GetParam().expected == 0) {
        EXPECT_EQ(error, "");
        return;
    }
    EXPECT_NE(error.find(GetParam().expected), std::string::npos) << error;
    EXPECT_EQ(tov::sim::printable(error), error);
}

INSTANTIATE_TEST_SUITE_P(
    Traces, StrictTrace,
    ::testing::Values(
        BadTrace{"duplicated_key",
                 [] { return with_first_line([](std::string l) { return "{\"t\":0," + l.substr(1); }); },
                 "t.jsonl line 1: key \"t\" given twice"},
        BadTrace{"duplicated_key_on_the_result_line",
                 [] {
                     std::string t = real_trace();
                     const size_t last = t.rfind("{\"ev\":\"result\"");
                     return t.insert(last + 1, "\"ret\":0,");
                 },
                 "key \"ret\" given twice"},
        BadTrace{"bytes_after_the_object", [] { return with_first_line([](std::string l) { return l + " x"; }); },
                 "t.jsonl line 1: not a JSON object (or bytes after it)"},
        BadTrace{"second_object", [] { return with_first_line([](std::string l) { return l + "{}"; }); },
                 "line 1: not a JSON object (or bytes after it)"},
        BadTrace{"nul_then_bytes",
                 [] { return with_first_line([](std::string l) { return l + std::string(1, '\0') + "junk"; }); },
                 "line 1: control byte \\x00 at column"},
        BadTrace{"escape_in_the_event_name", [] { return "{\"ev\":\"\\u001b[2J\\r\",\"t\":0}\n" + real_trace(); },
                 "line 1: unknown event \"\\x1b[2J\\x0d\""},
        BadTrace{"blanks_after_the_object_are_taken",
                 [] { return with_first_line([](std::string l) { return l + " \t\r"; }); }, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Through the tool: one printable line on stderr and status 2, for a trace
// with control bytes in the commands that read traces, and for an image
// whose import names them.
TEST(HostileFiles, EveryRefusalIsOnePrintableLine) {
    using namespace tov::test;
    const TempFile trace("{\"ev\":\"\\u001b]0;owned\\u0007\",\"t\":0}\n" + real_trace());
    std::vector<std::string> commands = {"check " + trace.path, "vcd " + trace.path,
                                         "diff " + trace.path + " " + trace.path, "report " + trace.path};
    std::unique_ptr<TempFile> image;
    if (!std::string(TOV_KERNEL_IMAGE).empty()) {
        tov::sim::image::Patched p;
        const uint32_t name = p.file_offset(p.read32(p.file_offset(p.read32(p.directory(1))) + 12));
        std::memcpy(&p.file[name], "\x1b[2J\r\n", 6);
        p.fix_checksum();
        image = std::make_unique<TempFile>();
        std::ofstream(image->path, std::ios::binary)
            .write(reinterpret_cast<const char*>(p.file.data()), std::streamsize(p.file.size()));
        commands.push_back("run --config 0x3000099 --clock 10 --image " + image->path);
        commands.push_back("run --config 0x3000099 --clock 10 --image " + std::string(TOV_KERNEL_IMAGE) + " --caller " +
                           image->path);
    }
    for (const std::string& c : commands) {
        const Outcome o = tov::test::run_tovmem(c);
        EXPECT_EQ(o.status, 2) << c;
        ASSERT_EQ(lines(o.err).size(), 1u) << c << ": " << o.err;
        const std::string line = lines(o.err)[0];
        EXPECT_EQ(tov::sim::printable(line), line) << c;
        EXPECT_TRUE(has(line, "\\x1b")) << c << ": " << line;
    }
}

// Each index of both sides once, in order: a valid alignment.
void expect_valid(const std::vector<tovmem::AlignPair>& pairs, size_t n, size_t m) {
    long next_a = 0, next_b = 0;
    for (const auto& p : pairs) {
        if (p.a >= 0) ASSERT_EQ(p.a, next_a++);
        if (p.b >= 0) ASSERT_EQ(p.b, next_b++);
    }
    EXPECT_EQ(size_t(next_a), n);
    EXPECT_EQ(size_t(next_b), m);
}

// Past the exact size the alignment cuts at steps common to both sides and
// unique in each; where none cuts and the budget would be passed, it gives
// up on that stretch and says so, in bounded time either way.
TEST(BoundedAlignment, CutsAtUniqueStepsAndGivesUpWithinItsBudget) {
    std::mt19937 rng(3);
    std::vector<tovmem::AlignItem> a;
    for (size_t i = 0; i < 20000; ++i) a.push_back({rng() % 40, rng()});
    std::vector<tovmem::AlignItem> b;
    size_t kept = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (i % 500 == 100) continue;  // removed
        if (i % 500 == 300) b.push_back({7, 1});
        b.push_back(a[i]);
        ++kept;
    }
    tovmem::AlignLimits limits{.exact_cells = 1u << 12, .budget_cells = 1u << 20};
    auto pairs = tovmem::align(a, b, &limits);
    expect_valid(pairs, a.size(), b.size());
    size_t matched = 0;
    for (const auto& p : pairs) matched += p.a >= 0 && p.b >= 0 && a[p.a].value == b[p.b].value;
    EXPECT_EQ(matched, kept);
    EXPECT_EQ(limits.gave_up_a + limits.gave_up_b, 0u);

    // The same steps over and over: no step is unique, the stretch is too
    // large for the budget.
    std::vector<tovmem::AlignItem> r(5000, {1, 1}), s(5000, {1, 1});
    r[10] = {2, 2};
    s[4990] = {3, 3};
    tovmem::AlignLimits small{.exact_cells = 1u << 10, .budget_cells = 1u << 16};
    pairs = tovmem::align(r, s, &small);
    expect_valid(pairs, r.size(), s.size());
    EXPECT_GT(small.gave_up_a, 4000u);
    EXPECT_GT(small.gave_up_b, 4000u);
}

}  // namespace
}  // namespace tov::test::hostile_trace_test
