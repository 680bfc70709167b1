// SPDX-License-Identifier: Apache-2.0
// The JEDEC DDR SDRAM power-up rules, checked on a bring-up's DRAM commands:
// the rule table, each rule's verdict, the findings a family's controller
// explains, and the sweep of every table ID that `check --all` prints.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "meminit/entry/config_table.h"
#include "tools/tovmem/analysis.h"

namespace tovmem {

// not_reached: a rule whose commands come after the point where the call
// stopped (a command that never completed, a register that never settled,
// the capture's end); never a finding against the sequence.
enum class Verdict { pass, fail, not_applicable, not_reached };

struct RuleResult {
    const char* name;
    Verdict verdict;
    std::string finding;  // one line
    bool absent = false;  // fails for want of a command (not yet sent, if the call stopped)
    bool before = false;  // fails for want of a command before another (sent before a late capture?)
    // A failure the family's controller explains (the rule's table entry
    // names the family): still a failure, and counted.
    bool expected = false;
    // The figure the rule measured, with its unit ("214.8 us"), which the
    // report shows beside the rule's name; empty when it measured none.
    std::string measured{};
};

// Every rule's verdict, in power-up order (the rule table of rules.cpp).
// `khz` is the memory clock the run reported (0: unknown); a command word's
// count is read as memory-clock cycles at that clock. No family is known
// here, so no finding is marked expected.
std::vector<RuleResult> check_rules(const std::vector<CommandInfo>& commands, uint32_t khz);

// Marks the failures of `family`'s bring-up that its controller explains:
// a failing rule whose table entry names the family, when the commands the
// rule judges were sent (a missing command is never explained).
void mark_expected(std::vector<RuleResult>& results, tov::Family family);

// The rules' verdicts on a command list of `family`, expected failures marked.
std::vector<RuleResult> check_rules(const std::vector<CommandInfo>& commands, uint32_t khz, tov::Family family);

// A list with nothing but the closing command (or nothing at all) is no
// power-up list: the first family's power modes 2 and 3 re-establish a
// running controller and send only that command. The rules are not about it.
bool has_power_up_list(const std::vector<CommandInfo>& commands);

// The mark check prints beside an expected failure.
constexpr const char* expected_mark = "expected for this family";
// Why each rule with expected failures among `results` is expected, one line
// per rule: "expected for this family: the halden and orlit controllers ...".
std::vector<std::string> expected_explanations(const std::vector<RuleResult>& results);
// The same for the rules whose indices (in rule order) are set in `rules_seen`.
std::vector<std::string> expected_explanations(const std::vector<bool>& rules_seen);

// check's verdicts on one bring-up, as it prints them: the rules (none
// without a power-up list), those about commands a stopped call or a partial
// capture never reached marked not_reached, and where the call stopped.
struct Judgement {
    uint32_t khz = 0;  // the clock the counts are read at, 0 when unknown
    bool power_up_list = false;
    bool late = false;  // the capture starts late
    std::string stop;   // "bus step 12: ..." where the call stopped before its end; empty otherwise
    std::vector<RuleResult> rules;
};
Judgement judge(const Bringup& b, const Analysis& a, uint32_t khz_override = 0);

// The clock a call's command counts are read at: the one asked for, else
// the one the capture reports, else (nothing captured) the one the library
// sets for the record on entry. `from_entry` says it is the last.
uint32_t judged_clock(const Bringup& b, uint32_t khz_override, bool* from_entry = nullptr);

// Where a call stopped before the end of its sequence, and why; empty when
// it ran to its end (a failed frame-buffer check runs the whole list).
std::string stopped_at(const Bringup& b, const Analysis& a);

// A rule as the documents and the help text name it.
struct RuleInfo {
    const char* name;
    const char* passes;  // when the rule passes, as docs/tovmem.md's rule table says
    const char* note;    // how the help text qualifies the rule, or nullptr
};
std::vector<RuleInfo> rule_infos();

// The rules' names, in the same order.
std::vector<std::string> rule_names();

// Each rule's name and when it passes, in the same order (docs/tovmem.md's rule table).
std::vector<std::pair<std::string, std::string>> rule_descriptions();

// The clock_index values the sweep runs every table ID at: 0 to 13.
constexpr uint32_t sweep_clock_count = 14;

// One bring-up of the sweep, judged as `check --all` judges it.
struct SweptRun {
    tov::Family family;
    const tov::ConfigEntry& row;  // the table row of the ID
    uint32_t config_id;
    uint32_t clock_index;  // as passed to tov_mem_init
    size_t variant;        // which of the caller's run variants (check --all: a power mode)
    const tov::sim::RunResult& result;
    const Analysis& analysis;
    uint32_t khz;                   // the clock the counts are read at, 0 when unknown
    bool power_up_list;             // false: no commands, or only the closing one; no rules
    std::vector<RuleResult> rules;  // expected failures marked
};

// Runs every table ID (the halden, orlit and varnel tables, in row order)
// at clock_index 0 to 13, each in `variants` variants, through `run`, judges
// each bring-up (its counts read at the clock it reported, or at
// `khz_override` when not 0) and hands it to `visit`, in that order.
using SweepRun = std::function<tov::sim::RunResult(uint32_t config_id, uint32_t clock_index, size_t variant)>;
void sweep_table(size_t variants, const SweepRun& run, uint32_t khz_override,
                 const std::function<void(const SweptRun&)>& visit);

// The memory clock a run reported, 0 when it wrote none.
uint32_t memory_clock(const tov::MemInitParams& p);

}  // namespace tovmem
