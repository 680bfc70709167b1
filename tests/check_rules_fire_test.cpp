// SPDX-License-Identifier: Apache-2.0
// Every rule of check can fail: healthy bring-ups' DRAM command lists are
// altered in every way a broken routine could alter them (a command lost,
// doubled or moved, a bit of its code or word flipped, its count cut, the
// clock read wrong) and each rule must fail on at least one of them. A rule
// that never fires, whatever the list, is no check: this test names it.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "sim/command_decode.h"
#include "sim/simulator.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/rules.h"

namespace tov::test::check_rules_fire {
namespace {

using tovmem::CommandInfo;

struct Healthy {
    std::vector<CommandInfo> commands;
    uint32_t khz;
};

// One healthy bring-up of each family with a power-up list.
std::vector<Healthy> healthy() {
    std::vector<Healthy> out;
    for (const auto& [id, clock] : {std::pair{0x3000099u, 10u}, std::pair{0x1000054u, 5u}, std::pair{0x36u, 3u}}) {
        sim::RunRequest q;
        q.config_id = id;
        q.clock_index = clock;
        const sim::RunResult r = sim::run_bring_up(q);
        EXPECT_EQ(r.ret, 1) << std::hex << id;
        out.push_back({tovmem::analyse(r).commands, r.record.mem_clock_khz});
    }
    return out;
}

CommandInfo with_word(CommandInfo c, uint32_t code, uint32_t word) {
    c.cmd = sim::decode_command(code, word);
    return c;
}

// Every altered list of one healthy list, with the clock its counts are
// read at.
std::vector<std::pair<std::vector<CommandInfo>, uint32_t>> alterations(const Healthy& h) {
    std::vector<std::pair<std::vector<CommandInfo>, uint32_t>> out;
    const std::vector<CommandInfo>& c = h.commands;
    for (size_t i = 0; i < c.size(); ++i) {
        auto dropped = c;
        dropped.erase(dropped.begin() + std::ptrdiff_t(i));
        out.emplace_back(dropped, h.khz);
        auto doubled = c;
        doubled.insert(doubled.begin() + std::ptrdiff_t(i), c[i]);
        out.emplace_back(doubled, h.khz);
        if (i + 1 < c.size()) {
            auto swapped = c;
            std::swap(swapped[i], swapped[i + 1]);
            out.emplace_back(swapped, h.khz);
        }
        for (uint32_t bit = 0; bit < 32; ++bit) {
            auto code = c, word = c;
            code[i] = with_word(c[i], c[i].cmd.code ^ (1u << bit), c[i].cmd.word);
            word[i] = with_word(c[i], c[i].cmd.code, c[i].cmd.word ^ (1u << bit));
            out.emplace_back(code, h.khz);
            out.emplace_back(word, h.khz);
        }
        auto short_count = c;
        short_count[i] = with_word(c[i], c[i].cmd.code, c[i].cmd.word & 0xffff);
        out.emplace_back(short_count, h.khz);
    }
    out.emplace_back(c, h.khz * 10);
    return out;
}

TEST(CheckRules, EveryRuleFailsOnSomeAlteredCommandList) {
    std::map<std::string, size_t> fired;
    for (const std::string& name : tovmem::rule_names()) fired[name] = 0;
    const std::vector<Healthy> lists = healthy();
    // The third family's bring-up passes every rule; the others' controllers
    // explain a finding or two (check's "expected" marks), which their
    // alterations cannot show.
    for (const tovmem::RuleResult& r : tovmem::check_rules(lists[0].commands, lists[0].khz))
        EXPECT_NE(r.verdict, tovmem::Verdict::fail) << r.name << " fails a healthy bring-up: " << r.finding;
    for (const Healthy& h : lists) {
        std::set<std::string> already;
        for (const tovmem::RuleResult& r : tovmem::check_rules(h.commands, h.khz))
            if (r.verdict == tovmem::Verdict::fail) already.insert(r.name);
        for (const auto& [commands, khz] : alterations(h))
            for (const tovmem::RuleResult& r : tovmem::check_rules(commands, khz))
                if (r.verdict == tovmem::Verdict::fail && !already.count(r.name)) ++fired[r.name];
    }
    for (const auto& [name, n] : fired) {
        EXPECT_GT(n, 0u) << "rule " << name
                         << " fails on no altered command list: it checks nothing. Make it fail where its condition "
                            "does not hold, or remove it";
        std::printf("%-26s fails on %zu altered lists\n", name.c_str(), n);
    }
}

}  // namespace
}  // namespace tov::test::check_rules_fire
