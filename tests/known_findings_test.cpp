// SPDX-License-Identifier: Apache-2.0
// Every table ID at every clock_index 0 to 13, in every power mode, brought
// up on a healthy chip and judged by check's rules through the sweep that
// `check --all` prints: each finding must be one that tests/known_findings.txt
// lists as reviewed, and each listed finding must still occur. A new row or
// routine whose bring-up adds a finding (a count too short, a CAS latency DDR
// does not define) is red here until its line is added with the reason it is
// accepted; a listed finding that no bring-up gives any more is red until
// its line is removed. Every one of those bring-ups also keeps the chip
// model's invariants (the fault matrix checks them for one row per routine,
// under faults; here every row, healthy).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "sim/invariants.h"
#include "sim/simulator.h"
#include "tests/generated_file.h"
#include "tools/tovmem/rules.h"

namespace tov::test::known_findings_test {
namespace {

constexpr const char* list_path = "tests/known_findings.txt";
constexpr const char* separator = " | ";
// The reason of a line the test proposes: a line still holding it is refused.
constexpr const char* reason_placeholder = "<why it is accepted>";
// The power modes the sweep runs: those the record defines (only the first
// family reads them; the others bring up the same list in each).
constexpr uint32_t power_modes = 4;

// A listed finding: "rule | routine | finding | reason".
struct Known {
    size_t line;
    std::string key;  // rule | routine | finding
    std::string reason;
};

// The key of a finding: the rule, the routine and what the rule found in the
// form's commands (the counts, the clock, the CAS latency it names). Forms
// of one routine that the rule finds the same share one key, so that a new
// row of an existing routine adds none.
std::string key_of(const std::string& rule, const std::string& routine, const std::string& finding) {
    return rule + separator + routine + separator + finding;
}

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> out;
    size_t from = 0;
    for (size_t at; (at = line.find(separator, from)) != std::string::npos; from = at + 3)
        out.push_back(line.substr(from, at - from));
    out.push_back(line.substr(from));
    return out;
}

// The list's lines, every malformed one a failure naming it.
std::vector<Known> read_list() {
    std::vector<Known> out;
    const std::vector<std::string> lines =
        generated::split_lines(generated::read_text(generated::source_path(list_path)));
    EXPECT_FALSE(lines.empty()) << list_path << " is missing or empty";
    const std::vector<std::string> names = tovmem::rule_names();
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.empty() || l[0] == '#') continue;
        const std::vector<std::string> f = split(l);
        if (f.size() != 4 || f[0].empty() || f[1].empty() || f[2].empty()) {
            ADD_FAILURE() << list_path << " line " << i + 1 << " is not 'rule | routine | finding | reason': " << l;
            continue;
        }
        if (f[3].empty() || f[3] == reason_placeholder)
            ADD_FAILURE() << list_path << " line " << i + 1 << " says no reason why the finding is accepted: " << l;
        if (std::find(names.begin(), names.end(), f[0]) == names.end())
            ADD_FAILURE() << list_path << " line " << i + 1 << " names no rule of check: " << f[0];
        out.push_back({i + 1, key_of(f[0], f[1], f[2]), f[3]});
    }
    return out;
}

// A finding of the sweep that the list does not hold: where it shows, and
// the form it shows in (its first occurrence).
struct Unlisted {
    std::vector<std::string> where;  // "config 0x3000100 clock_index 10 power_mode 0"
    std::string rule, form;
};

struct SweepOutcome {
    std::vector<Known> known;
    std::vector<size_t> uses;                  // per listed line: the bring-ups that show it
    std::map<std::string, Unlisted> unlisted;  // by the line to add
    size_t runs = 0, judged = 0, findings = 0;
    std::vector<std::string> broken;  // invariants a bring-up broke, one line each
};

std::string hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%x", v);
    return b;
}

// The form a finding shows in, as show prints it, under its routine.
std::string form_of(const tovmem::SweptRun& s) {
    std::string t = std::string(routine_name(s.row.routine)) + " at clock_index " +
                    std::to_string(s.result.record.clock_index) + " after dispatch:\n" +
                    tovmem::form_text(s.result, s.analysis);
    t.pop_back();  // the last line's break: the message goes on after it
    return t;
}

const SweepOutcome& sweep() {
    static const SweepOutcome outcome = [] {
        SweepOutcome o;
        o.known = read_list();
        o.uses.assign(o.known.size(), 0);
        const auto request = [](uint32_t id, uint32_t clock, size_t variant) {
            sim::RunRequest q;
            q.config_id = id;
            q.clock_index = clock;
            q.power_mode = static_cast<uint32_t>(variant);
            q.keep = sim::Simulator::Keep::events;  // the rules and the invariants read the bus events alone
            return q;
        };
        tovmem::sweep_table(
            power_modes,
            [&](uint32_t id, uint32_t clock, size_t variant) { return sim::run_bring_up(request(id, clock, variant)); },
            0,
            [&](const tovmem::SweptRun& s) {
                ++o.runs;
                const std::string where = "config " + hex(s.config_id) + " clock_index " +
                                          std::to_string(s.clock_index) + " power_mode " + std::to_string(s.variant);
                for (const std::string& v :
                     sim::check_invariants(request(s.config_id, s.clock_index, s.variant), s.result))
                    o.broken.push_back(where + ": " + v);
                if (!s.power_up_list) return;
                ++o.judged;
                for (const tovmem::RuleResult& r : s.rules) {
                    if (r.verdict != tovmem::Verdict::fail || r.expected) continue;
                    ++o.findings;
                    const std::string key = key_of(r.name, routine_name(s.row.routine), r.finding);
                    bool listed = false;
                    for (size_t i = 0; i < o.known.size(); ++i)
                        if (o.known[i].key == key) {
                            ++o.uses[i];
                            listed = true;
                        }
                    if (listed) continue;
                    Unlisted& u = o.unlisted[key];
                    if (u.where.empty()) {
                        u.rule = r.name;
                        u.form = form_of(s);
                    }
                    u.where.push_back(where);
                }
            });
        return o;
    }();
    return outcome;
}

TEST(KnownFindings, EveryFindingOfEveryTableIdIsReviewed) {
    const SweepOutcome& o = sweep();
    // The sweep is the whole table: every ID, clock and power mode.
    size_t ids = 0;
    for (Family f : {Family::halden, Family::orlit, Family::varnel}) ids += family_table(f).count;
    EXPECT_EQ(o.runs, ids * tovmem::sweep_clock_count * power_modes);
    EXPECT_GT(o.judged, o.runs / 2) << "most bring-ups send a power-up list to judge";
    for (const auto& [line, u] : o.unlisted) {
        std::string where = u.where.front();
        if (u.where.size() > 1)
            where += " (and " + std::to_string(u.where.size() - 1) + " more bring-ups, last " + u.where.back() + ")";
        ADD_FAILURE() << "a finding no line of " << list_path << " holds: rule " << u.rule << " fails at " << where
                      << "\n  form: " << u.form << "\n  finding: " << split(line)[2]
                      << "\nIf the sequence is wrong, correct the row or routine. If the finding is accepted, add this "
                         "line to "
                      << list_path << " with the reason:\n"
                      << line << separator << reason_placeholder;
    }
    RecordProperty("findings", static_cast<int>(o.findings));
}

TEST(KnownFindings, EveryListedFindingStillOccurs) {
    const SweepOutcome& o = sweep();
    EXPECT_FALSE(o.known.empty()) << list_path << " lists no finding";
    for (size_t i = 0; i < o.known.size(); ++i)
        EXPECT_GT(o.uses[i], 0u) << list_path << " line " << o.known[i].line
                                 << " matches no finding of any table ID at clock_index 0 to 13: remove it (or the "
                                    "finding's text changed: the failure of EveryFindingOfEveryTableIdIsReviewed "
                                    "gives the line that replaces it)\n"
                                 << o.known[i].key;
}

TEST(KnownFindings, EveryTableIdKeepsTheInvariants) {
    const SweepOutcome& o = sweep();
    for (const std::string& b : o.broken) ADD_FAILURE() << b;
}

}  // namespace
}  // namespace tov::test::known_findings_test
