// SPDX-License-Identifier: Apache-2.0
// The JEDEC DDR SDRAM power-up rules: a table of named rule functions over a
// bring-up's DRAM commands, the failures each family's controller explains,
// and the judgement of one bring-up or of every table ID.
#include <string_view>

#include "meminit/entry/config_table.h"
#include "tools/tovmem/rules.h"

namespace tovmem {

using tov::sim::DramCommand;
using tov::sim::DramOp;

namespace {

bool is_mode(const DramCommand& c) { return c.op == DramOp::mode_register || c.op == DramOp::extended_mode_register; }
bool is_precharge_all(const DramCommand& c) { return c.op == DramOp::precharge && c.all_banks(); }
bool raises_cke(const DramCommand& c) { return c.cke && c.op != DramOp::closing; }
bool is_dll_reset(const DramCommand& c) { return c.op == DramOp::mode_register && c.dll_reset(); }

std::string cmd_ref(const CommandInfo& c) { return strf("command %d (%s)", c.number, describe(c.cmd).c_str()); }

// A bring-up's command list as the rules read it: positions of the first
// command matching a predicate, the list's length when none does.
struct Commands {
    const std::vector<CommandInfo>& list;
    uint32_t khz;  // memory clock, 0 when not reported
    size_t n() const { return list.size(); }
    const CommandInfo& operator[](size_t i) const { return list[i]; }
    template <typename Pred>
    size_t find(size_t from, Pred pred) const {
        for (size_t i = from; i < n(); ++i)
            if (pred(list[i].cmd)) return i;
        return n();
    }
    size_t dll_reset() const { return find(0, is_dll_reset); }
    // The precharge all after the DLL reset.
    size_t precharge_after_reset() const {
        const size_t reset = dll_reset();
        return reset == n() ? n() : find(reset + 1, is_precharge_all);
    }
};

struct Finding {
    Verdict verdict;
    std::string text;
    bool absent = false;
    bool before = false;     // fails for want of a command before another
    std::string measured{};  // the figure judged, with its unit, when the rule measures one
};
Finding pass(std::string t) { return {Verdict::pass, std::move(t)}; }
Finding fail(std::string t) { return {Verdict::fail, std::move(t)}; }
// Fails for want of a command that a call stopped early never reached.
Finding missing(std::string t) { return {Verdict::fail, std::move(t), true}; }
Finding pass_if(bool ok, std::string t) { return {ok ? Verdict::pass : Verdict::fail, std::move(t)}; }

// CKE: a command with the clock enable low comes before the first one that raises it.
Finding cke_low_first(const Commands& c) {
    const size_t high = c.find(0, raises_cke);
    const size_t low = c.find(0, [](const DramCommand& d) { return !d.cke; });
    if (high == c.n()) return missing("no command raises CKE");
    if (low < high) return pass(strf("CKE low in command %d, high from command %d", c[low].number, c[high].number));
    Finding f = fail(strf("%s raises CKE with no CKE-low command before it", cmd_ref(c[high]).c_str()));
    f.before = true;
    return f;
}

// The long NOP with CKE high: at least 200 us of stable clock before the first real command.
Finding cke_high_200us(const Commands& c) {
    const size_t wait = c.find(0, [](const DramCommand& d) { return d.op == DramOp::nop && d.cke; });
    if (wait == c.n()) return missing("no NOP with CKE high");
    const uint32_t count = c[wait].cmd.count;
    if (c.khz == 0)
        return {Verdict::not_applicable, strf("count %u cycles, but the run reported no memory clock", count)};
    const double us = count * 1000.0 / c.khz;
    const std::string measured = strf("%.1f us", us);
    Finding f = pass_if(us >= 200.0, strf("command %d: count %u cycles at %u kHz = %s (need 200 us)", c[wait].number,
                                          count, c.khz, measured.c_str()));
    f.measured = measured;
    return f;
}

// Precharge all between CKE high and the first mode register.
Finding precharge_before_mrs(const Commands& c) {
    const size_t high = c.find(0, raises_cke);
    const size_t first_mode = c.find(0, is_mode);
    const size_t pre = c.find(high == c.n() ? 0 : high, is_precharge_all);
    if (first_mode == c.n()) return missing("no mode register set");
    if (pre < first_mode)
        return pass(strf("precharge all in command %d, first mode register in command %d", c[pre].number,
                         c[first_mode].number));
    Finding f = fail(strf("%s comes without a precharge all before it", cmd_ref(c[first_mode]).c_str()));
    f.before = true;
    return f;
}

// Extended mode register with the DLL enabled, then the mode register with DLL reset.
Finding emrs_before_dll_reset(const Commands& c) {
    const size_t reset = c.dll_reset();
    const size_t emrs =
        c.find(0, [](const DramCommand& d) { return d.op == DramOp::extended_mode_register && !d.dll_disabled(); });
    if (reset == c.n()) return missing("no mode register set with DLL reset");
    if (emrs < reset)
        return pass(strf("EMRS (DLL enabled) in command %d, DLL reset in command %d", c[emrs].number, c[reset].number));
    Finding f = fail(strf("%s comes without an EMRS enabling the DLL before it", cmd_ref(c[reset]).c_str()));
    f.before = true;
    return f;
}

// Precharge all after the DLL reset.
Finding precharge_after_dll_reset(const Commands& c) {
    const size_t reset = c.dll_reset();
    const size_t pre = c.precharge_after_reset();
    if (reset == c.n()) return missing("no mode register set with DLL reset");
    if (pre < c.n()) return pass(strf("command %d", c[pre].number));
    return missing(strf("no precharge all after the DLL reset (command %d)", c[reset].number));
}

// At least two auto refreshes after that precharge all.
Finding two_refreshes(const Commands& c) {
    const size_t pre = c.precharge_after_reset();
    if (pre == c.n()) return missing("no precharge all after the DLL reset to refresh after");
    size_t refreshes = 0;
    for (size_t i = pre + 1; i < c.n(); ++i) refreshes += c[i].cmd.op == DramOp::auto_refresh;
    if (refreshes >= 2) return pass(strf("%zu auto refreshes after command %d", refreshes, c[pre].number));
    return missing(strf("%zu auto refresh%s after the precharge all of command %d", refreshes,
                        refreshes == 1 ? "" : "es", c[pre].number));
}

// The last mode register: without DLL reset, after the refreshes, same CAS latency and burst.
Finding final_mrs(const Commands& c) {
    const size_t n = c.n(), reset = c.dll_reset();
    size_t last_mrs = n, last_refresh = n;
    for (size_t i = 0; i < n; ++i)
        if (c[i].cmd.op == DramOp::mode_register) last_mrs = i;
    for (size_t i = (reset < n ? reset + 1 : n); i < n; ++i)
        if (c[i].cmd.op == DramOp::auto_refresh) last_refresh = i;
    if (reset == n || last_mrs == n) return missing("no mode register set with DLL reset to repeat");
    const DramCommand& a = c[reset].cmd;
    const DramCommand& b = c[last_mrs].cmd;
    if (last_mrs == reset || b.dll_reset())
        return missing(strf("the last mode register set, %s, resets the DLL", cmd_ref(c[last_mrs]).c_str()));
    if (last_refresh == n || last_mrs < last_refresh)
        return missing(strf("%s comes before the auto refreshes", cmd_ref(c[last_mrs]).c_str()));
    if (a.cas_latency_tenths() != b.cas_latency_tenths() || a.burst_length() != b.burst_length() ||
        a.burst_interleaved() != b.burst_interleaved())
        return fail(strf("command %d sets 0x%x, the DLL reset set 0x%x: CAS latency or burst differ",
                         c[last_mrs].number, b.address, a.address));
    return pass(strf("command %d: CAS latency %s, burst %u, as with the DLL reset", c[last_mrs].number,
                     cas_latency_text(b).c_str(), b.burst_length()));
}

// 200 clock cycles from the DLL reset to the first access: the counts of the
// DLL reset and every later command up to the first access (or the end of the list).
Finding dll_reset_200_cycles(const Commands& c) {
    const size_t reset = c.dll_reset();
    if (reset == c.n()) return missing("no mode register set with DLL reset");
    uint64_t cycles = 0;
    size_t i = reset;
    for (; i < c.n() && !c[i].cmd.is_access(); ++i) cycles += c[i].cmd.count;
    Finding f = pass_if(cycles >= 200, strf("%llu cycles from the DLL reset (command %d) to %s",
                                            static_cast<unsigned long long>(cycles), c[reset].number,
                                            i < c.n() ? strf("the access of command %d", c[i].number).c_str()
                                                      : "the end of the command list"));
    f.absent = i == c.n();  // more cycles may follow the list's end
    return f;
}

// CAS latency: DDR defines 2, 2.5 and 3.
Finding cas_latency(const Commands& c) {
    std::string bad, seen;
    for (const CommandInfo& ci : c.list) {
        if (ci.cmd.op != DramOp::mode_register) continue;
        const uint32_t cl = ci.cmd.cas_latency_tenths();
        const std::string t = cas_latency_text(ci.cmd);
        if (seen.find(t) == std::string::npos) seen += (seen.empty() ? "" : ", ") + t;
        if (cl != 20 && cl != 25 && cl != 30)
            bad += strf("%scommand %d CAS latency %s", bad.empty() ? "" : ", ", ci.number, t.c_str());
    }
    if (seen.empty()) return missing("no mode register set");
    if (bad.empty()) return pass("CAS latency " + seen);
    return fail(bad + " (DDR allows 2, 2.5 and 3)");
}

// Which families' controllers explain a rule's failure (a bit per tov::Family).
constexpr uint8_t family_bit(tov::Family f) { return uint8_t(1u << static_cast<uint32_t>(f)); }

struct Rule {
    const char* name;
    Finding (*check)(const Commands&);
    const char* passes;          // when the rule passes, as docs/tovmem.md's rule table says
    const char* note = nullptr;  // how the help text qualifies the rule
    // The families whose controller makes the rule fail on a sound bring-up,
    // and why (completing "the <families> controllers ..."): their failures
    // are marked expected, and still counted.
    uint8_t expected_in = 0;
    const char* expected_because = nullptr;
};

// In power-up order.
constexpr Rule rules[] = {
    {"cke-low-first", cke_low_first, "a command with CKE low comes before the first command that raises CKE", nullptr,
     // The first two families' controllers hold CKE low from reset, so
     // their power-up lists begin with the NOP that raises CKE and the bus
     // never shows CKE low.
     family_bit(tov::Family::halden) | family_bit(tov::Family::orlit),
     "hold CKE low from reset (the bus cannot show it), so their power-up lists begin with the NOP that raises CKE"},
    {"cke-high-200us", cke_high_200us, "the first NOP with CKE high lasts at least 200 µs (count / memory clock)",
     "the command word's count read as memory-clock cycles at the run's memory clock"},
    {"precharge-before-mrs", precharge_before_mrs,
     "a precharge all (A10 high) comes after CKE high and before the first mode register set"},
    {"emrs-before-dll-reset", emrs_before_dll_reset,
     "an extended mode register set with the DLL enabled comes before the mode register set with DLL reset"},
    {"precharge-after-dll-reset", precharge_after_dll_reset, "a precharge all follows the DLL reset"},
    {"two-refreshes", two_refreshes, "at least two auto refreshes follow that precharge all"},
    {"final-mrs", final_mrs,
     "the last mode register set comes after the refreshes, without DLL reset, with the DLL reset's CAS latency and "
     "burst"},
    {"dll-reset-200-cycles", dll_reset_200_cycles,
     "the counts from the DLL reset to the first access (or the end of the list) add up to 200 cycles or more"},
    {"cas-latency", cas_latency, "every mode register set selects CAS latency 2, 2.5 or 3"},
};
constexpr size_t rule_count = sizeof rules / sizeof rules[0];

// "the halden and orlit controllers <why>; cke-low-first still fails and is counted"
std::string expected_explanation(const Rule& rule) {
    std::string families;
    size_t named = 0, count = 0;
    for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel})
        count += (rule.expected_in & family_bit(f)) != 0;
    for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel}) {
        if (!(rule.expected_in & family_bit(f))) continue;
        ++named;
        families += strf("%s%s", named == 1 ? "" : named == count ? " and " : ", ", tov::family_table(f).name);
    }
    return strf("%s: the %s controller%s %s; %s still fails and is counted", expected_mark, families.c_str(),
                count == 1 ? "" : "s", rule.expected_because, rule.name);
}

}  // namespace

std::vector<RuleInfo> rule_infos() {
    std::vector<RuleInfo> out;
    for (const Rule& rule : rules) out.push_back({rule.name, rule.passes, rule.note});
    return out;
}

std::vector<std::string> rule_names() {
    std::vector<std::string> out;
    for (const Rule& rule : rules) out.push_back(rule.name);
    return out;
}

std::vector<std::pair<std::string, std::string>> rule_descriptions() {
    std::vector<std::pair<std::string, std::string>> out;
    for (const Rule& rule : rules) out.emplace_back(rule.name, rule.passes);
    return out;
}

std::vector<RuleResult> check_rules(const std::vector<CommandInfo>& cmds, uint32_t khz) {
    const Commands c{cmds, khz};
    std::vector<RuleResult> out;
    for (const Rule& rule : rules) {
        Finding f = rule.check(c);
        out.push_back({rule.name, f.verdict, std::move(f.text), f.absent, f.before, false, std::move(f.measured)});
    }
    return out;
}

void mark_expected(std::vector<RuleResult>& results, tov::Family family) {
    for (size_t i = 0; i < results.size() && i < rule_count; ++i) {
        RuleResult& r = results[i];
        r.expected = r.verdict == Verdict::fail && !r.absent && (rules[i].expected_in & family_bit(family)) != 0;
    }
}

std::vector<RuleResult> check_rules(const std::vector<CommandInfo>& cmds, uint32_t khz, tov::Family family) {
    std::vector<RuleResult> out = check_rules(cmds, khz);
    mark_expected(out, family);
    return out;
}

std::vector<std::string> expected_explanations(const std::vector<bool>& rules_seen) {
    std::vector<std::string> out;
    for (size_t i = 0; i < rules_seen.size() && i < rule_count; ++i)
        if (rules_seen[i]) out.push_back(expected_explanation(rules[i]));
    return out;
}

std::vector<std::string> expected_explanations(const std::vector<RuleResult>& results) {
    std::vector<bool> seen;
    for (const RuleResult& r : results) seen.push_back(r.expected);
    return expected_explanations(seen);
}

uint32_t memory_clock(const tov::MemInitParams& p) {
    const uint32_t k = p.mem_clock_khz;
    return k == tov::sim::fill_word ? 0 : k;
}

bool has_power_up_list(const std::vector<CommandInfo>& cmds) {
    for (const CommandInfo& c : cmds)
        if (c.cmd.op != DramOp::closing) return true;
    return false;
}

std::string stopped_at(const Bringup& b, const Analysis& a) {
    std::vector<size_t> bus_step(a.steps.size() + 1, 0);  // bus steps up to each step, from 1
    size_t n = 0;
    for (size_t i = 0; i < a.steps.size(); ++i) {
        n += a.steps[i].kind != StepKind::other;
        bus_step[i] = n;
    }
    if (!b.ret_known)
        return strf("%s, after bus step %zu: the rest of the call is unknown",
                    b.cut_at.empty() ? "the capture's end" : b.cut_at.c_str(), n);
    if (b.r.ret == 1) return {};
    size_t at = 0;
    std::string why;
    for (const CommandInfo& c : a.commands)
        if (c.gave_up() && (why.empty() || c.last_poll >= at)) {
            at = c.last_poll;
            why = strf("DRAM command %d (%s) never completed: %u of %u polls over %.1f ms saw it busy", c.number,
                       describe(c.cmd).c_str(), c.busy, c.polls, ms(c.wait_end - c.time));
        }
    // A register that never settled ends a status-checked routine (-1).
    if (b.r.ret == -1)
        for (size_t i : a.unsettled)
            if (why.empty() || i >= at) {
                at = i;
                why = strf("register %s never settled: %s without three agreeing", reg_text(a.steps[i].off).c_str(),
                           loads_text(a.steps[i].loads).c_str());
            }
    if (why.empty()) return {};
    return strf("bus step %zu: %s", bus_step[at], why.c_str());
}

namespace {

// The memory clock the library sets for a captured call's record on entry,
// when the capture holds no record with the result: the same call simulated.
uint32_t entry_clock(const Bringup& b) {
    if (!b.entry) return 0;
    tov::sim::RunRequest q;
    q.config_id = b.entry->config_id;
    q.clock_index = b.entry->clock_index;
    q.power_mode = b.entry->power_mode;
    return memory_clock(tov::sim::run_bring_up(q).record);
}

}  // namespace

uint32_t judged_clock(const Bringup& b, uint32_t khz_override, bool* from_entry) {
    if (from_entry) *from_entry = false;
    if (khz_override) return khz_override;
    if (const uint32_t captured = b.ret_known ? memory_clock(b.r.record) : 0) return captured;
    const uint32_t entry = entry_clock(b);
    if (from_entry) *from_entry = entry != 0;
    return entry;
}

Judgement judge(const Bringup& b, const Analysis& a, uint32_t khz_override) {
    Judgement j;
    j.khz = judged_clock(b, khz_override);
    j.stop = stopped_at(b, a);
    j.late = !b.starts_late.empty();
    j.power_up_list = has_power_up_list(a.commands);
    if (!j.power_up_list) return j;
    j.rules = check_rules(a.commands, j.khz);
    // Only the commands the call sent, and the capture holds, are judged.
    for (RuleResult& r : j.rules)
        if (r.verdict == Verdict::fail && ((!j.stop.empty() && r.absent) || (j.late && (r.absent || r.before))))
            r.verdict = Verdict::not_reached;
    mark_expected(j.rules, tov::classify(b.r.record.config_id));
    return j;
}

void sweep_table(size_t variants, const SweepRun& run, uint32_t khz_override,
                 const std::function<void(const SweptRun&)>& visit) {
    for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel}) {
        const tov::ConfigTable t = tov::family_table(f);
        for (uint32_t row = 0; row < t.count; ++row) {
            const uint32_t id = t.rows[row].id;
            for (uint32_t clock = 0; clock < sweep_clock_count; ++clock) {
                for (size_t variant = 0; variant < variants; ++variant) {
                    const tov::sim::RunResult r = run(id, clock, variant);
                    const Analysis a = analyse(r);
                    const uint32_t khz = khz_override ? khz_override : memory_clock(r.record);
                    const bool listed = has_power_up_list(a.commands);
                    visit({f, t.rows[row], id, clock, variant, r, a, khz, listed,
                           listed ? check_rules(a.commands, khz, f) : std::vector<RuleResult>{}});
                }
            }
        }
    }
}

}  // namespace tovmem
