// tovmem check: the DRAM command sequence of a bring-up against the JEDEC DDR
// SDRAM power-up rules.
#include <memory>

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

size_t failures(const std::vector<RuleResult>& rs) {
    size_t f = 0;
    for (const RuleResult& r : rs) f += r.verdict == Verdict::fail;
    return f;
}

int check_one(const Bringup& b, uint32_t khz_override) {
    const Analysis a = analyse(b.r);
    const uint32_t khz = khz_override ? khz_override : memory_clock(b.r);
    out("check of %s: %zu DRAM commands, memory clock %s\n", b.source.c_str(), a.commands.size(),
        khz ? strf("%u kHz", khz).c_str() : "not reported");
    if (a.commands.empty()) {
        out("no DRAM commands: nothing to check (result %d)\n", b.r.ret);
        return exit_ok;
    }
    out("command counts are read as memory-clock cycles at %s\n\n", khz ? strf("%u kHz", khz).c_str() : "an unknown clock");
    for (const CommandInfo& c : a.commands) out("  %2d  %s\n", c.number, describe(c.cmd).c_str());
    out("\n");
    const auto rs = check_rules(a.commands, khz);
    size_t passed = 0, na = 0;
    for (const RuleResult& r : rs) {
        passed += r.verdict == Verdict::pass;
        na += r.verdict == Verdict::not_applicable;
        out("  %-4s  %-26s %s\n", r.verdict == Verdict::pass ? "ok" : r.verdict == Verdict::fail ? "FAIL" : "n/a",
            r.name, r.finding.c_str());
    }
    const size_t failed = failures(rs);
    out("\n%zu rules: %zu pass, %zu fail%s\n", rs.size(), passed, failed, na ? strf(", %zu not applicable", na).c_str() : "");
    return failed ? exit_failed : exit_ok;
}

int check_all() {
    size_t configs = 0, clean = 0, failing = 0, silent = 0;
    size_t per_rule[rule_count] = {};
    for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel}) {
        const tov::ConfigTable t = tov::family_table(f);
        for (uint32_t row = 0; row < t.count; ++row) {
            for (uint32_t clock = 0; clock <= 13; ++clock) {
                RunOptions o;
                o.req.config_id = t.rows[row].id;
                o.req.clock_index = clock;
                const tov::sim::RunResult r = execute(o);
                const Analysis a = analyse(r);
                ++configs;
                out("0x%08x clock %2u  ", o.req.config_id, clock);
                if (a.commands.empty()) {
                    ++silent;
                    out("no DRAM commands (result %d)\n", r.ret);
                    continue;
                }
                const auto rs = check_rules(a.commands, memory_clock(r));
                std::string line;
                for (size_t i = 0; i < rs.size(); ++i) {
                    if (rs[i].verdict != Verdict::fail) continue;
                    ++per_rule[i];
                    line += (line.empty() ? "" : "; ") + std::string(rs[i].name) + ": " + rs[i].finding;
                }
                if (line.empty()) {
                    ++clean;
                    out("ok (%zu commands, %u kHz)\n", a.commands.size(), memory_clock(r));
                } else {
                    ++failing;
                    out("FAIL %s\n", line.c_str());
                }
            }
        }
    }
    out("\ntotal: %zu configurations (191 table IDs x clock_index 0..13): %zu pass every rule, %zu fail at least one, "
        "%zu issue no DRAM command\n", configs, clean, failing, silent);
    std::string by_rule;
    for (size_t i = 0; i < rule_count; ++i)
        if (per_rule[i]) by_rule += strf("%s%s %zu", by_rule.empty() ? "" : ", ", rule_names[i], per_rule[i]);
    out("failures by rule: %s\n", by_rule.empty() ? "none" : by_rule.c_str());
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
        "or, with --all, every table ID at clock_index 0 to 13. Rules: cke-low-first, cke-high-200us (the command\n"
        "word's count read as memory-clock cycles at the run's memory clock), precharge-before-mrs,\n"
        "emrs-before-dll-reset, precharge-after-dll-reset, two-refreshes, final-mrs, dll-reset-200-cycles,\n"
        "cas-latency. Exit status: 0 when no rule fails, 1 when one does, 2 on bad arguments.");
    add_run_options(*cmd, st->args, false);
    cmd->add_option("TRACE", st->trace, "JSON-lines trace file, or - for standard input");
    cmd->add_flag("--all", st->all, "every table ID at clock_index 0 to 13, one line each, then a total");
    cmd->add_option("--mem-clock-khz", st->khz, "memory clock for the cycle counts (default: the run's)")->type_name("KHZ");
    return {cmd, [st] {
                const bool run = !st->args.config.empty() || !st->args.clock.empty();
                const int sources = int(run) + int(!st->trace.empty()) + int(st->all);
                if (sources != 1) usage_fail("check needs one of: --config ID --clock N, a trace file, or --all");
                if (run && (st->args.config.empty() || st->args.clock.empty()))
                    usage_fail("check needs both --config ID and --clock N");
                const uint32_t khz = st->khz.empty() ? 0 : parse_u32("--mem-clock-khz", st->khz);
                if (st->all) return check_all();
                if (run) return check_one(run_bringup(resolve(st->args)), khz);
                return check_one(read_trace_file(st->trace), khz);
            }};
}

}  // namespace tovmem
