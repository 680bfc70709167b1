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

constexpr const char* rule_names[] = {
    "cke-low-first",      "cke-high-200us", "precharge-before-mrs", "emrs-before-dll-reset",
    "precharge-after-dll-reset", "two-refreshes", "final-mrs", "dll-reset-200-cycles", "cas-latency",
};
constexpr size_t rule_count = sizeof rule_names / sizeof rule_names[0];

bool is_mode(const DramCommand& c) { return c.op == DramOp::mode_register || c.op == DramOp::extended_mode_register; }
bool is_precharge_all(const DramCommand& c) { return c.op == DramOp::precharge && c.all_banks(); }

std::string cmd_ref(const CommandInfo& c) { return strf("command %d (%s)", c.number, describe(c.cmd).c_str()); }

}  // namespace

std::vector<RuleResult> check_rules(const std::vector<CommandInfo>& cmds, uint32_t khz) {
    std::vector<RuleResult> out;
    auto pass = [&](const char* n, std::string f) { out.push_back({n, Verdict::pass, std::move(f)}); };
    auto fail = [&](const char* n, std::string f) { out.push_back({n, Verdict::fail, std::move(f)}); };
    auto na = [&](const char* n, std::string f) { out.push_back({n, Verdict::not_applicable, std::move(f)}); };
    const size_t n = cmds.size();
    auto find = [&](size_t from, auto pred) {
        for (size_t i = from; i < n; ++i)
            if (pred(cmds[i].cmd)) return i;
        return n;
    };

    // CKE: a command with the clock enable low comes before the first one that raises it.
    const size_t high = find(0, [](const DramCommand& c) { return c.cke && c.op != DramOp::closing; });
    const size_t low = find(0, [](const DramCommand& c) { return !c.cke; });
    if (high == n) fail(rule_names[0], "no command raises CKE");
    else if (low < high) pass(rule_names[0], strf("CKE low in command %d, high from command %d", cmds[low].number, cmds[high].number));
    else fail(rule_names[0], strf("%s raises CKE with no CKE-low command before it", cmd_ref(cmds[high]).c_str()));

    // The long NOP with CKE high: at least 200 us of stable clock before the first real command.
    const size_t wait = find(0, [](const DramCommand& c) { return c.op == DramOp::nop && c.cke; });
    if (wait == n) {
        fail(rule_names[1], "no NOP with CKE high");
    } else if (khz == 0) {
        na(rule_names[1], strf("count %u cycles, but the run reported no memory clock", cmds[wait].cmd.count));
    } else {
        const double us = cmds[wait].cmd.count * 1000.0 / khz;
        const std::string f = strf("command %d: count %u cycles at %u kHz = %.1f us (need 200 us)", cmds[wait].number,
                                   cmds[wait].cmd.count, khz, us);
        if (us >= 200.0) pass(rule_names[1], f);
        else fail(rule_names[1], f);
    }

    // Precharge all between CKE high and the first mode register.
    const size_t first_mode = find(0, is_mode);
    const size_t pre = find(high == n ? 0 : high, is_precharge_all);
    if (first_mode == n) fail(rule_names[2], "no mode register set");
    else if (pre < first_mode) pass(rule_names[2], strf("precharge all in command %d, first mode register in command %d", cmds[pre].number, cmds[first_mode].number));
    else fail(rule_names[2], strf("%s comes without a precharge all before it", cmd_ref(cmds[first_mode]).c_str()));

    // Extended mode register with the DLL enabled, then the mode register with DLL reset.
    const size_t reset = find(0, [](const DramCommand& c) { return c.op == DramOp::mode_register && c.dll_reset(); });
    const size_t emrs = find(0, [](const DramCommand& c) { return c.op == DramOp::extended_mode_register && !c.dll_disabled(); });
    if (reset == n) fail(rule_names[3], "no mode register set with DLL reset");
    else if (emrs < reset) pass(rule_names[3], strf("EMRS (DLL enabled) in command %d, DLL reset in command %d", cmds[emrs].number, cmds[reset].number));
    else fail(rule_names[3], strf("%s comes without an EMRS enabling the DLL before it", cmd_ref(cmds[reset]).c_str()));

    // Precharge all after the DLL reset, then at least two auto refreshes.
    const size_t pre2 = reset == n ? n : find(reset + 1, is_precharge_all);
    if (reset == n) fail(rule_names[4], "no mode register set with DLL reset");
    else if (pre2 < n) pass(rule_names[4], strf("command %d", cmds[pre2].number));
    else fail(rule_names[4], strf("no precharge all after the DLL reset (command %d)", cmds[reset].number));

    size_t refreshes = 0, last_refresh = n;
    for (size_t i = (pre2 < n ? pre2 + 1 : n); i < n; ++i) refreshes += cmds[i].cmd.op == DramOp::auto_refresh;
    for (size_t i = (reset < n ? reset + 1 : n); i < n; ++i)
        if (cmds[i].cmd.op == DramOp::auto_refresh) last_refresh = i;
    if (pre2 == n) fail(rule_names[5], "no precharge all after the DLL reset to refresh after");
    else if (refreshes >= 2) pass(rule_names[5], strf("%zu auto refreshes after command %d", refreshes, cmds[pre2].number));
    else fail(rule_names[5], strf("%zu auto refresh%s after the precharge all of command %d", refreshes, refreshes == 1 ? "" : "es", cmds[pre2].number));

    // The last mode register: without DLL reset, after the refreshes, same CAS latency and burst.
    size_t last_mrs = n;
    for (size_t i = 0; i < n; ++i)
        if (cmds[i].cmd.op == DramOp::mode_register) last_mrs = i;
    if (reset == n || last_mrs == n) {
        fail(rule_names[6], "no mode register set with DLL reset to repeat");
    } else {
        const DramCommand& a = cmds[reset].cmd;
        const DramCommand& b = cmds[last_mrs].cmd;
        if (last_mrs == reset || b.dll_reset()) fail(rule_names[6], strf("the last mode register set, %s, resets the DLL", cmd_ref(cmds[last_mrs]).c_str()));
        else if (last_refresh == n || last_mrs < last_refresh) fail(rule_names[6], strf("%s comes before the auto refreshes", cmd_ref(cmds[last_mrs]).c_str()));
        else if (a.cas_latency_tenths() != b.cas_latency_tenths() || a.burst_length() != b.burst_length() || a.burst_interleaved() != b.burst_interleaved())
            fail(rule_names[6], strf("command %d sets 0x%x, the DLL reset set 0x%x: CAS latency or burst differ", cmds[last_mrs].number, b.address, a.address));
        else pass(rule_names[6], strf("command %d: CAS latency %s, burst %u, as with the DLL reset", cmds[last_mrs].number, cas_latency_text(b).c_str(), b.burst_length()));
    }

    // 200 clock cycles from the DLL reset to the first access: the counts of the
    // DLL reset and every later command up to the first access (or the end of the list).
    if (reset == n) {
        fail(rule_names[7], "no mode register set with DLL reset");
    } else {
        uint64_t cycles = 0;
        size_t i = reset;
        for (; i < n && !cmds[i].cmd.is_access(); ++i) cycles += cmds[i].cmd.count;
        const std::string f = strf("%llu cycles from the DLL reset (command %d) to %s", static_cast<unsigned long long>(cycles),
                                   cmds[reset].number, i < n ? strf("the access of command %d", cmds[i].number).c_str() : "the end of the command list");
        if (cycles >= 200) pass(rule_names[7], f);
        else fail(rule_names[7], f);
    }

    // CAS latency: DDR defines 2, 2.5 and 3.
    std::string bad, seen;
    for (const CommandInfo& c : cmds) {
        if (c.cmd.op != DramOp::mode_register) continue;
        const uint32_t cl = c.cmd.cas_latency_tenths();
        const std::string t = cas_latency_text(c.cmd);
        if (seen.find(t) == std::string::npos) seen += (seen.empty() ? "" : ", ") + t;
        if (cl != 20 && cl != 25 && cl != 30) bad += strf("%scommand %d CAS latency %s", bad.empty() ? "" : ", ", c.number, t.c_str());
    }
    if (seen.empty()) fail(rule_names[8], "no mode register set");
    else if (bad.empty()) pass(rule_names[8], "CAS latency " + seen);
    else fail(rule_names[8], bad + " (DDR allows 2, 2.5 and 3)");
    return out;
}

namespace {

uint32_t memory_clock(const tov::sim::RunResult& r) {
    const uint32_t k = r.record.mem_clock_khz;
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
    if (r.verdict != Verdict::fail || std::string_view(r.name) != rule_names[0]) return false;
    if (f != tov::Family::halden && f != tov::Family::orlit) return false;
    for (const CommandInfo& c : cmds)
        if (c.cmd.cke && c.cmd.op != DramOp::closing) return true;  // CKE is raised: the low level came first
    return false;
}

std::string expected_explanation() {
    return strf("%s: the %s and %s controllers hold CKE low from reset (the bus cannot show it), so their power-up "
                "lists begin with the NOP that raises CKE; cke-low-first still fails and is counted",
                expected_mark, tov::family_table(tov::Family::halden).name, tov::family_table(tov::Family::orlit).name);
}

int check_one(const Bringup& b, uint32_t khz_override) {
    const Analysis a = analyse(b.r);
    const uint32_t khz = khz_override ? khz_override : memory_clock(b.r);
    const std::vector<std::string> notes = notes_of(b, a);
    auto print_notes = [&] {
        for (const std::string& n : notes) out("note  %s\n", n.c_str());
    };
    out("check of %s: %zu DRAM commands, memory clock %s\n", b.source.c_str(), a.commands.size(),
        khz ? strf("%u kHz", khz).c_str() : "not reported");
    if (a.commands.empty()) {
        out("no DRAM commands: nothing to check (result %d)\n", b.r.ret);
        print_notes();
        return exit_ok;
    }
    if (!has_power_up_list(a.commands)) {
        const uint32_t power = b.r.record.power_mode;
        out("no power-up list: only the closing command was sent%s; nothing to check (result %d)\n",
            power ? strf(" (power_mode %u)", power).c_str() : "", b.r.ret);
        print_notes();
        return exit_ok;
    }
    out("command counts are read as memory-clock cycles at %s\n\n", khz ? strf("%u kHz", khz).c_str() : "an unknown clock");
    for (const CommandInfo& c : a.commands) out("  %2d  %s\n", c.number, describe(c.cmd).c_str());
    out("\n");
    const auto rs = check_rules(a.commands, khz);
    const tov::Family family = tov::classify(b.r.record.config_id);
    size_t passed = 0, failed = 0, na = 0, expected = 0;
    for (const RuleResult& r : rs) {
        passed += r.verdict == Verdict::pass;
        failed += r.verdict == Verdict::fail;
        na += r.verdict == Verdict::not_applicable;
        const bool exp = expected_for_family(r, family, a.commands);
        expected += exp;
        out("  %-4s  %-26s %s%s\n", r.verdict == Verdict::pass ? "ok" : r.verdict == Verdict::fail ? "FAIL" : "n/a",
            r.name, r.finding.c_str(), exp ? strf(" (%s)", expected_mark).c_str() : "");
    }
    out("\n%zu rules: %zu pass, %zu fail%s%s\n", rs.size(), passed, failed,
        expected ? strf(" (%zu %s)", expected, expected_mark).c_str() : "",
        na ? strf(", %zu not applicable", na).c_str() : "");
    if (expected) out("%s\n", expected_explanation().c_str());
    print_notes();
    return failed ? exit_failed : exit_ok;
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
                        out("no DRAM commands (result %d)\n", r.ret);
                        continue;
                    }
                    if (!has_power_up_list(a.commands)) {
                        ++no_list;
                        out("no power-up list: only the closing command (result %d)\n", r.ret);
                        continue;
                    }
                    const uint32_t khz = khz_override ? khz_override : memory_clock(r);
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
    out("\ntotal: %zu configurations (%zu table IDs x clock_index 0..13%s): %zu pass every rule, %zu fail at least one, "
        "%zu issue no DRAM command%s\n",
        configs, ids, show_mode ? (" x power_mode " + modes_text).c_str() : "", clean, failing, silent,
        no_list ? strf(", %zu send only the closing command (no power-up list)", no_list).c_str() : "");
    std::string by_rule;
    for (size_t i = 0; i < rule_count; ++i) {
        if (!per_rule[i]) continue;
        by_rule += strf("%s%s %zu", by_rule.empty() ? "" : ", ", rule_names[i], per_rule[i]);
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
    };
    auto st = std::make_shared<State>();
    CLI::App* cmd = app.add_subcommand("check", "check a bring-up's DRAM commands against the DDR power-up rules");
    cmd->footer(
        "Checks a run (--config, --clock and the run options), a JSON-lines trace (TRACE, - for standard input)\n"
        "or, with --all, every table ID at clock_index 0 to 13 with the run options given (--power-mode may be\n"
        "repeated: each mode is run). Rules: cke-low-first, cke-high-200us (the command word's count read as\n"
        "memory-clock cycles at the run's memory clock), precharge-before-mrs, emrs-before-dll-reset,\n"
        "precharge-after-dll-reset, two-refreshes, final-mrs, dll-reset-200-cycles, cas-latency. A finding the\n"
        "family's controller explains is marked 'expected for this family' and still counted. Exit status: 0\n"
        "when no rule fails, 1 when one does, 2 on bad arguments or an unreadable trace.");
    add_run_options(*cmd, st->args, false);
    cmd->add_option("TRACE", st->trace, "JSON-lines trace file, or - for standard input");
    cmd->add_flag("--all", st->all, "every table ID at clock_index 0 to 13, one line each, then a total");
    cmd->add_option("--mem-clock-khz", st->khz, "memory clock for the cycle counts (default: the run's)")->type_name("KHZ");
    return {cmd, [st] {
                const RunArgs& args = st->args;
                const std::vector<std::string> given = args.given();
                auto has = [&](const char* name) { return std::find(given.begin(), given.end(), name) != given.end(); };
                const bool trace = !st->trace.empty();
                const bool run = has("--config") || has("--clock");
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
                return check_one(read_trace_file(st->trace), khz);
            }};
}

}  // namespace tovmem
