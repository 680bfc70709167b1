// SPDX-License-Identifier: Apache-2.0
// tovmem check: the DRAM command sequence of a bring-up against the JEDEC DDR
// SDRAM power-up rules.
#include <algorithm>
#include <memory>
#include <string_view>

#include "meminit/entry/config_table.h"
#include "tools/tovmem/commands.h"
#include "tools/tovmem/rules.h"

namespace tovmem {

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
    size_t passed = 0, failed = 0, na = 0, expected = 0, unreached = 0;
    for (const RuleResult& r : rs) {
        passed += r.verdict == Verdict::pass;
        failed += r.verdict == Verdict::fail;
        na += r.verdict == Verdict::not_applicable;
        unreached += r.verdict == Verdict::not_reached;
        expected += r.expected;
        const char* label = r.verdict == Verdict::pass          ? "ok"
                            : r.verdict == Verdict::fail        ? "FAIL"
                            : r.verdict == Verdict::not_reached ? "--"
                                                                : "n/a";
        const std::string finding = r.verdict != Verdict::not_reached ? r.finding
                                    : late && (r.before || stop.empty())
                                        ? "not judged, the capture starts late (" + r.finding + ")"
                                        : "not reached (" + r.finding + ")";
        out("  %-4s  %-26s %s%s\n", label, r.name, finding.c_str(),
            r.expected ? strf(" (%s)", expected_mark).c_str() : "");
    }
    out("\n%zu rules: %zu pass, %zu fail%s%s%s\n", rs.size(), passed, failed,
        expected ? strf(" (%zu %s)", expected, expected_mark).c_str() : "",
        na ? strf(", %zu not applicable", na).c_str() : "",
        unreached ? strf(", %zu not reached or not judged", unreached).c_str() : "");
    for (const std::string& why : expected_explanations(rs)) out("%s\n", why.c_str());
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
    const size_t rule_count = rule_names().size();
    std::vector<size_t> per_rule(rule_count), per_rule_expected(rule_count);
    bool power_ignored = false;
    for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel})
        ids += tov::family_table(f).count;
    const auto run = [&](uint32_t id, uint32_t clock, size_t variant) {
        RunOptions o = modes[variant];
        o.req.config_id = id;
        o.req.clock_index = clock;
        power_ignored |= !power_mode_note(o.req.config_id, o.req.power_mode).empty();
        return execute(o);
    };
    sweep_table(modes.size(), run, khz_override, [&](const SweptRun& s) {
        const tov::sim::RunResult& r = s.result;
        const Analysis& a = s.analysis;
        out("%s", header.c_str());
        header.clear();
        ++configs;
        out("0x%08x clock %2u%s  ", s.config_id, s.clock_index,
            show_mode ? strf(" power_mode %u", modes[s.variant].req.power_mode).c_str() : "");
        if (a.commands.empty()) {
            ++silent;
            const std::string served = served_clocks_text(r);
            out("no DRAM commands (result %d%s)\n", r.ret,
                served.empty() ? "" : ("; the routine does not support this clock, only " + served).c_str());
            return;
        }
        if (!s.power_up_list) {
            ++no_list;
            out("no power-up list: only the closing command (result %d)\n", r.ret);
            return;
        }
        std::string real, expected;
        for (size_t i = 0; i < s.rules.size(); ++i) {
            const RuleResult& rr = s.rules[i];
            if (rr.verdict != Verdict::fail) continue;
            ++per_rule[i];
            if (rr.expected) {
                ++per_rule_expected[i];
                expected += strf("%s%s (%s)", expected.empty() ? "" : "; ", rr.name, expected_mark);
            } else {
                real += (real.empty() ? "" : "; ") + std::string(rr.name) + ": " + rr.finding;
            }
        }
        if (real.empty() && expected.empty()) {
            ++clean;
            out("ok (%zu commands, %u kHz)\n", a.commands.size(), s.khz);
            return;
        }
        ++failing;
        expected_only += real.empty();
        out("FAIL %s%s%s\n", real.c_str(), real.empty() || expected.empty() ? "" : "; ", expected.c_str());
    });
    std::string modes_text;
    for (const RunOptions& o : modes) modes_text += strf("%s%u", modes_text.empty() ? "" : ", ", o.req.power_mode);
    out("\ntotal: %zu configurations (%zu table IDs x clock_index 0..13%s): %zu pass every rule, %zu fail at least "
        "one, "
        "%zu issue no DRAM command%s\n",
        configs, ids, show_mode ? (" x power_mode " + modes_text).c_str() : "", clean, failing, silent,
        no_list ? strf(", %zu send only the closing command (no power-up list)", no_list).c_str() : "");
    std::string by_rule;
    const std::vector<std::string> names = rule_names();
    std::vector<bool> seen_expected(rule_count);
    for (size_t i = 0; i < rule_count; ++i) {
        seen_expected[i] = per_rule_expected[i] != 0;
        if (!per_rule[i]) continue;
        by_rule += strf("%s%s %zu", by_rule.empty() ? "" : ", ", names[i].c_str(), per_rule[i]);
        if (per_rule_expected[i]) by_rule += strf(" (%zu expected for their family)", per_rule_expected[i]);
    }
    out("failures by rule: %s\n", by_rule.empty() ? "none" : by_rule.c_str());
    if (expected_only) {
        out("%zu of the %zu failing fail only on findings expected for their family\n", expected_only, failing);
        for (const std::string& why : expected_explanations(seen_expected)) out("%s\n", why.c_str());
    }
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
    for (const RuleInfo& rule : rule_infos()) {
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
