// SPDX-License-Identifier: Apache-2.0
// The JEDEC DDR SDRAM power-up rules, checked on a bring-up's DRAM commands.
#pragma once

#include <string>
#include <utility>
#include <vector>

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
};

// Every rule's verdict, in power-up order (the rules[] table of check.cpp).
// `khz` is the memory clock the run reported (0: unknown); a command word's
// count is read as memory-clock cycles at that clock.
std::vector<RuleResult> check_rules(const std::vector<CommandInfo>& commands, uint32_t khz);

// check's verdicts on one bring-up, as it prints them: the rules (none
// without a power-up list), those about commands a stopped call or a partial
// capture never reached marked not_reached, and where the call stopped.
struct Judgement {
    uint32_t khz = 0;  // the clock the counts are read at, 0 when unknown
    bool power_up_list = false;
    bool late = false;  // the capture starts late
    std::string stop;   // "bus step 12: ..." where the call stopped before its end; empty otherwise
    std::vector<RuleResult> rules;
    std::vector<bool> expected;  // per rule: a finding the family's controller explains
};
Judgement judge(const Bringup& b, const Analysis& a, uint32_t khz_override = 0);

// The rules' names, in the same order.
std::vector<std::string> rule_names();

// Each rule's name and when it passes, in the same order (docs/tovmem.md's rule table).
std::vector<std::pair<std::string, std::string>> rule_descriptions();

}  // namespace tovmem
