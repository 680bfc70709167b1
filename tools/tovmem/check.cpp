// SPDX-License-Identifier: Apache-2.0
// tovmem check: the DRAM command sequence of a bring-up against the JEDEC DDR
// SDRAM power-up rules.
#include <algorithm>
#include <memory>
#include <string_view>

#include "meminit/entry/config_table.h"
#include "tools/tovmem/check.h"
#include "tools/tovmem/commands.h"

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
    bool before = false;  // fails for want of a command before another
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
    return pass_if(us >= 200.0, strf("command %d: count %u cycles at %u kHz = %.1f us (need 200 us)", c[wait].number,
                                     count, c.khz, us));
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

struct Rule {
    const char* name;
    Finding (*check)(const Commands&);
    const char* passes;          // when the rule passes, as docs/tovmem.md's rule table says
    const char* note = nullptr;  // how the help text qualifies the rule
};

// In power-up order.
constexpr Rule rules[] = {
    {"cke-low-first", cke_low_first, "a command with CKE low comes before the first command that raises CKE"},
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

}  // namespace

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
        out.push_back({rule.name, f.verdict, std::move(f.text), f.absent, f.before});
    }
    return out;
}

namespace {

uint32_t memory_clock(const tov::MemInitParams& p) {
    const uint32_t k = p.mem_clock_khz;
    return k == tov::sim::fill_word ? 0 : k;
}

// A list with nothing but the closing command (or nothing at all) is no
// power-up list: the first family's power modes 2 and 3 re-establish a
// running controller and send only that command. The rules are not about it.
bool has_power_up_list(const std::vector<CommandInfo>& cmds) {
    for (const CommandInfo& c : cmds)
        if (c.cmd.op != DramOp::closing) return true;
    return false;
}

// The first two families' controllers hold CKE low from reset, so their
// power-up lists begin with the NOP that raises CKE and the bus never shows
// CKE low. cke-low-first still fails there and is still counted; marking it
// lets real findings stand out.
constexpr const char* expected_mark = "expected for this family";

bool expected_for_family(const RuleResult& r, tov::Family f, const std::vector<CommandInfo>& cmds) {
    if (r.verdict != Verdict::fail || std::string_view(r.name) != rules[0].name) return false;
    if (f != tov::Family::halden && f != tov::Family::orlit) return false;
    for (const CommandInfo& c : cmds)
        if (c.cmd.cke && c.cmd.op != DramOp::closing) return true;  // CKE is raised: the low level came first
    return false;
}

std::string expected_explanation() {
    return strf(
        "%s: the %s and %s controllers hold CKE low from reset (the bus cannot show it), so their power-up "
        "lists begin with the NOP that raises CKE; cke-low-first still fails and is counted",
        expected_mark, tov::family_table(tov::Family::halden).name, tov::family_table(tov::Family::orlit).name);
}

// Where a call stopped before the end of its sequence, and why; empty when
// it ran to its end (a failed frame-buffer check runs the whole list).
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

// The clock a call's command counts are read at: the one asked for, else
// the one the capture reports, else (nothing captured) the one the library
// sets for the record on entry. `from_entry` says it is the last.
uint32_t judged_clock(const Bringup& b, uint32_t khz_override, bool* from_entry = nullptr) {
    if (from_entry) *from_entry = false;
    if (khz_override) return khz_override;
    if (const uint32_t captured = b.ret_known ? memory_clock(b.r.record) : 0) return captured;
    const uint32_t entry = entry_clock(b);
    if (from_entry) *from_entry = entry != 0;
    return entry;
}

}  // namespace

Judgement judge(const Bringup& b, const Analysis& a, uint32_t khz_override) {
    Judgement j;
    j.khz = judged_clock(b, khz_override);
    j.stop = stopped_at(b, a);
    j.late = !b.starts_late.empty();
    j.power_up_list = has_power_up_list(a.commands);
    if (!j.power_up_list) return j;
    j.rules = check_rules(a.commands, j.khz);
    // Only the commands the call sent, and the capture holds, are judged.
    const tov::Family family = tov::classify(b.r.record.config_id);
    for (RuleResult& r : j.rules) {
        if (r.verdict == Verdict::fail && ((!j.stop.empty() && r.absent) || (j.late && (r.absent || r.before))))
            r.verdict = Verdict::not_reached;
        j.expected.push_back(expected_for_family(r, family, a.commands));
    }
    return j;
}

namespace {

int check_one(const Bringup& b, uint32_t khz_override) {
    const Analysis a = analyse(b.r);
    bool from_entry = false;
    const uint32_t khz = judged_clock(b, khz_override, &from_entry);
    const std::vector<std::string> notes = notes_of(b, a);
    const std::string result = b.ret_known ? strf("result %d", b.r.ret) : std::string("result unknown");
    const std::string stop = stopped_at(b, a);
    auto print_notes = [&] {
        if (!stop.empty() && b.ret_known) out("%s: the call failed\n", result.c_str());
        for (const std::string& n : notes) out("note  %s\n", n.c_str());
    };
    // The call failed: whatever the rules say of the commands it sent. A
    // pass needs the whole call: a cut or a late start leaves it open.
    const int call_status = b.ret_known && b.r.ret != 1 ? exit_failed : b.incomplete() ? exit_incomplete : exit_ok;
    out("check of %s: %zu DRAM commands, memory clock %s\n", b.source.c_str(), a.commands.size(),
        from_entry ? strf("%u kHz (not captured: the clock the library sets for the record on entry, config 0x%x, "
                          "clock_index %s)",
                          khz, b.entry->config_id, clock_text(b.entry->clock_index).c_str())
                         .c_str()
        : khz         ? strf("%u kHz", khz).c_str()
        : b.ret_known ? "not reported"
                      : "not captured");
    if (!stop.empty()) out("the call stopped at %s\n", stop.c_str());
    if (a.commands.empty()) {
        out("no DRAM commands: nothing to check (%s)\n", result.c_str());
        if (b.ret_known && b.r.ret == 0)
            if (const std::string why = unsupported_clock(b.r); !why.empty()) out("cause: %s\n", why.c_str());
        print_notes();
        return call_status;
    }
    if (!has_power_up_list(a.commands)) {
        const uint32_t power = b.r.record.power_mode;
        out("no power-up list: only the closing command was sent%s; nothing to check (%s)\n",
            power ? strf(" (power_mode %u)", power).c_str() : "", result.c_str());
        print_notes();
        return call_status;
    }
    out("command counts are read as memory-clock cycles at %s\n\n",
        khz ? strf("%u kHz", khz).c_str() : "an unknown clock");
    for (const CommandInfo& c : a.commands) out("  %2d  %s\n", c.number, describe(c.cmd).c_str());
    out("\n");
    const Judgement j = judge(b, a, khz_override);
    const std::vector<RuleResult>& rs = j.rules;
    const bool late = j.late;
    const tov::Family family = tov::classify(b.r.record.config_id);
    size_t passed = 0, failed = 0, na = 0, expected = 0, unreached = 0;
    for (const RuleResult& r : rs) {
        passed += r.verdict == Verdict::pass;
        failed += r.verdict == Verdict::fail;
        na += r.verdict == Verdict::not_applicable;
        unreached += r.verdict == Verdict::not_reached;
        const bool exp = expected_for_family(r, family, a.commands);
        expected += exp;
        const char* label = r.verdict == Verdict::pass          ? "ok"
                            : r.verdict == Verdict::fail        ? "FAIL"
                            : r.verdict == Verdict::not_reached ? "--"
                                                                : "n/a";
        const std::string finding = r.verdict != Verdict::not_reached ? r.finding
                                    : late && (r.before || stop.empty())
                                        ? "not judged, the capture starts late (" + r.finding + ")"
                                        : "not reached (" + r.finding + ")";
        out("  %-4s  %-26s %s%s\n", label, r.name, finding.c_str(), exp ? strf(" (%s)", expected_mark).c_str() : "");
    }
    out("\n%zu rules: %zu pass, %zu fail%s%s%s\n", rs.size(), passed, failed,
        expected ? strf(" (%zu %s)", expected, expected_mark).c_str() : "",
        na ? strf(", %zu not applicable", na).c_str() : "",
        unreached ? strf(", %zu not reached or not judged", unreached).c_str() : "");
    if (expected) out("%s\n", expected_explanation().c_str());
    print_notes();
    return failed ? exit_failed : call_status;
}

int check_all(const RunArgs& args, uint32_t khz_override) {
    // Every power mode asked for, each with the same run options.
    std::vector<RunOptions> modes;
    if (args.power_modes.empty()) modes.push_back(resolve(args));
    for (const std::string& p : args.power_modes) modes.push_back(resolve(args, &p));
    const bool show_mode = !args.power_modes.empty();
    // Said after the first run, so that an image that does not load leaves no output.
    std::string header = args.given_text();
    if (!header.empty()) header = "every run with " + header + "\n";

    size_t configs = 0, clean = 0, failing = 0, silent = 0, no_list = 0, expected_only = 0, ids = 0;
    size_t per_rule[rule_count] = {}, per_rule_expected[rule_count] = {};
    bool power_ignored = false;
    for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel}) {
        const tov::ConfigTable t = tov::family_table(f);
        ids += t.count;
        for (uint32_t row = 0; row < t.count; ++row) {
            for (uint32_t clock = 0; clock <= 13; ++clock) {
                for (RunOptions o : modes) {
                    o.req.config_id = t.rows[row].id;
                    o.req.clock_index = clock;
                    power_ignored |= !power_mode_note(o.req.config_id, o.req.power_mode).empty();
                    const tov::sim::RunResult r = execute(o);
                    const Analysis a = analyse(r);
                    out("%s", header.c_str());
                    header.clear();
                    ++configs;
                    out("0x%08x clock %2u%s  ", o.req.config_id, clock,
                        show_mode ? strf(" power_mode %u", o.req.power_mode).c_str() : "");
                    if (a.commands.empty()) {
                        ++silent;
                        const std::string served = served_clocks_text(r);
                        out("no DRAM commands (result %d%s)\n", r.ret,
                            served.empty() ? ""
                                           : ("; the routine does not support this clock, only " + served).c_str());
                        continue;
                    }
                    if (!has_power_up_list(a.commands)) {
                        ++no_list;
                        out("no power-up list: only the closing command (result %d)\n", r.ret);
                        continue;
                    }
                    const uint32_t khz = khz_override ? khz_override : memory_clock(r.record);
                    const auto rs = check_rules(a.commands, khz);
                    std::string real, expected;
                    for (size_t i = 0; i < rs.size(); ++i) {
                        if (rs[i].verdict != Verdict::fail) continue;
                        ++per_rule[i];
                        if (expected_for_family(rs[i], f, a.commands)) {
                            ++per_rule_expected[i];
                            expected += strf("%s%s (%s)", expected.empty() ? "" : "; ", rs[i].name, expected_mark);
                        } else {
                            real += (real.empty() ? "" : "; ") + std::string(rs[i].name) + ": " + rs[i].finding;
                        }
                    }
                    if (real.empty() && expected.empty()) {
                        ++clean;
                        out("ok (%zu commands, %u kHz)\n", a.commands.size(), khz);
                        continue;
                    }
                    ++failing;
                    expected_only += real.empty();
                    out("FAIL %s%s%s\n", real.c_str(), real.empty() || expected.empty() ? "" : "; ", expected.c_str());
                }
            }
        }
    }
    std::string modes_text;
    for (const RunOptions& o : modes) modes_text += strf("%s%u", modes_text.empty() ? "" : ", ", o.req.power_mode);
    out("\ntotal: %zu configurations (%zu table IDs x clock_index 0..13%s): %zu pass every rule, %zu fail at least "
        "one, "
        "%zu issue no DRAM command%s\n",
        configs, ids, show_mode ? (" x power_mode " + modes_text).c_str() : "", clean, failing, silent,
        no_list ? strf(", %zu send only the closing command (no power-up list)", no_list).c_str() : "");
    std::string by_rule;
    for (size_t i = 0; i < rule_count; ++i) {
        if (!per_rule[i]) continue;
        by_rule += strf("%s%s %zu", by_rule.empty() ? "" : ", ", rules[i].name, per_rule[i]);
        if (per_rule_expected[i]) by_rule += strf(" (%zu expected for their family)", per_rule_expected[i]);
    }
    out("failures by rule: %s\n", by_rule.empty() ? "none" : by_rule.c_str());
    if (expected_only)
        out("%zu of the %zu failing fail only on findings expected for their family\n%s\n", expected_only, failing,
            expected_explanation().c_str());
    if (power_ignored) {
        std::string others;
        for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel})
            if (!reads_power_mode(f)) others += strf("%s%s", others.empty() ? "" : " and ", tov::family_table(f).name);
        out("note: only the %s routines read power_mode; the %s runs are the bring-up of power_mode 0\n",
            tov::family_table(tov::Family::halden).name, others.c_str());
    }
    return failing ? exit_failed : exit_ok;
}

}  // namespace

Command add_check(CLI::App& app) {
    struct State {
        RunArgs args;
        std::string trace, khz;
        bool all = false;
        CallOption call;
    };
    auto st = std::make_shared<State>();
    CLI::App* cmd = app.add_subcommand("check", "check a bring-up's DRAM commands against the DDR power-up rules");
    std::string rule_list;
    for (const Rule& rule : rules) {
        rule_list += strf("%s  %s", rule_list.empty() ? "" : "\n", rule.name);
        if (rule.note != nullptr) rule_list += strf(" (%s)", rule.note);
    }
    cmd->footer(
        "Checks a run (--config, --clock and the run options), a JSON-lines trace (TRACE, - for standard input)\n"
        "or, with --all, every table ID at clock_index 0 to 13 with the run options given (--power-mode may be\n"
        "repeated: each mode is run). A finding the family's controller explains is marked 'expected for this\n"
        "family' and still counted. Exit status: 0 when the call returned 1 and no rule fails, 1 when one fails\n"
        "or the call failed, 2 on bad arguments or an unreadable trace, 3 when nothing failed but the evidence\n"
        "is incomplete (a capture cut short, started late, with a line lost or ended by a new call): the\n"
        "result or some rules are unknown. The rules, in power-up order:\n" +
        rule_list);
    add_run_options(*cmd, st->args, false);
    cmd->add_option("TRACE", st->trace, "JSON-lines trace file or captured log, or - for standard input");
    add_call_option(*cmd, st->call);
    cmd->add_flag("--all", st->all, "every table ID at clock_index 0 to 13, one line each, then a total");
    cmd->add_option("--mem-clock-khz", st->khz, "memory clock for the cycle counts (default: the run's)")
        ->type_name("KHZ");
    return {cmd, [st] {
                const RunArgs& args = st->args;
                const std::vector<std::string> given = args.given();
                auto has = [&](const char* name) { return std::find(given.begin(), given.end(), name) != given.end(); };
                const bool trace = !st->trace.empty();
                const bool run = has("--config") || has("--clock");
                if (!st->call.text.empty() && !trace) usage_fail("--call chooses a call of a trace file or log");
                if (trace && st->all) usage_fail("check takes a trace file or --all, not both");
                if (trace && run) usage_fail("check takes a trace file or a run (--config, --clock), not both");
                if (trace && !given.empty())
                    usage_fail("check of a trace file takes no run options: " + given.front() + " is for a run");
                if (st->all && run)
                    usage_fail(std::string("check --all runs every table ID at clock_index 0 to 13: it takes no ") +
                               (has("--config") ? "--config" : "--clock"));
                if (!trace && !st->all && !run)
                    usage_fail("check needs one of: --config ID --clock N, a trace file, or --all");
                if (run && (args.config.empty() || args.clock.empty()))
                    usage_fail("check needs both --config ID and --clock N");
                const uint32_t khz = st->khz.empty() ? 0 : parse_u32("--mem-clock-khz", st->khz);
                if (!st->khz.empty() && khz == 0) usage_fail("--mem-clock-khz must be above 0");
                if (st->all) return check_all(args, khz);
                if (run) return check_one(run_bringup(resolve(args)), khz);
                return check_one(read_trace_file(st->trace, st->call.value()), khz);
            }};
}

}  // namespace tovmem
