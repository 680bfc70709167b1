// SPDX-License-Identifier: Apache-2.0
// tovmem diff: two bring-ups' bus traces aligned step by step.
#include <algorithm>
#include <memory>
#include <tuple>

#include "meminit/hw/regs.h"
#include "tools/tovmem/align.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"
#include "tools/tovmem/report.h"

namespace tovmem {

using tov::sim::Event;

namespace {

// The bus steps of a bring-up (delays and messages left out: not every trace has them).
struct Side {
    Bringup b;
    Analysis a;
    std::vector<size_t> bus;  // indices into a.steps
    std::vector<AlignItem> items;
    // Per bus step: the DRAM command (index in a.commands) a store to
    // DRC_CMD or DRC_CMD_WORD belongs to, or -1.
    std::vector<long> command;
};

Side prepare(Bringup b) {
    Side s;
    s.b = std::move(b);
    s.a = analyse(s.b.r);
    for (size_t i = 0; i < s.a.steps.size(); ++i) {
        const Step& st = s.a.steps[i];
        if (st.kind == StepKind::other) continue;
        s.bus.push_back(i);
        // A read that never settled differs from one that settled on the same value.
        s.items.push_back({(uint64_t(st.kind) << 32) | st.off, st.val | (uint64_t(!st.settled) << 32)});
    }
    s.command.assign(s.bus.size(), -1);
    long pending = -1;
    for (size_t k = s.bus.size(); k-- > 0;) {
        const Step& st = s.a.steps[s.bus[k]];
        if (st.kind != StepKind::store) continue;
        if (const CommandInfo* c = s.a.command_at(s.bus[k])) {
            pending = c - s.a.commands.data();
            s.command[k] = pending;
        } else if (st.off == tov::reg::DRC_CMD_WORD) {
            s.command[k] = pending;
        } else if (st.off == tov::reg::DRC_CMD) {
            pending = -1;
        }
    }
    return s;
}

std::string bus_step_text(const Side& s, size_t k) {
    const Step& st = s.a.steps[s.bus[k]];
    const double t = ms(s.b.r.events[st.first].time - s.b.r.start_time);
    std::string txt = step_text(st, s.b.r.events);
    if (s.command[k] >= 0) txt += "  [" + command_text(s.a.commands[size_t(s.command[k])]) + "]";
    return strf("%9.3f  %s", t, txt.c_str());
}

// A step's text with its column padding folded to single blanks.
std::string squeeze(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out.push_back(c);
    return out;
}

std::string summary(const Side& s) {
    const tov::sim::RunResult& r = s.b.r;
    const tov::MemInitParams& p = r.record;
    const uint32_t fill = tov::sim::fill_word;
    // Without the call's result the capture holds none of the fields it writes.
    const bool held = s.b.ret_known;
    return strf("result %s, clock_index %s, %s, %s, map %s, %.3f ms%s, %zu bus steps, %zu DRAM commands",
                held ? strf("%d", r.ret).c_str() : "unknown", clock_text(p.clock_index).c_str(),
                !held                     ? "clock not captured"
                : p.mem_clock_khz == fill ? "clock not written"
                                          : strf("%u kHz", p.mem_clock_khz).c_str(),
                !held                    ? "size not captured"
                : p.mem_size_out == fill ? "size not written"
                                         : size_text(p.mem_size_out).c_str(),
                !held                 ? "not captured"
                : p.map_value == fill ? "not written"
                                      : strf("%u", p.map_value).c_str(),
                ms(r.end_time - r.start_time), s.b.times.empty() ? "" : " (rebuilt)", s.bus.size(),
                s.a.commands.size());
}

// The two sides' bus steps aligned, each step of both sides once, in order.
Comparison compare(const Side& x, const Side& y) {
    Comparison c;
    // A capture that starts late or ends early holds only part of its call:
    // its steps are the other side's last ones, or its first ones, and the
    // other side's steps outside them are not compared.
    size_t a_from = 0, a_to = x.items.size(), b_from = 0, b_to = y.items.size();
    auto window = [](const Side& partial, size_t partial_n, size_t& from, size_t& to) {
        const bool late = !partial.b.starts_late.empty(), cut = !partial.b.ret_known;
        if (late && !cut && to - from > partial_n) from = to - partial_n;
        if (cut && !late && to - from > partial_n) to = from + partial_n;
    };
    window(x, x.items.size(), b_from, b_to);
    window(y, y.items.size(), a_from, a_to);
    const std::vector<AlignItem> items_a(x.items.begin() + long(a_from), x.items.begin() + long(a_to));
    const std::vector<AlignItem> items_b(y.items.begin() + long(b_from), y.items.begin() + long(b_to));
    AlignLimits limits;
    std::vector<AlignPair> pairs = align(items_a, items_b, &limits);
    c.gave_up_a = limits.gave_up_a;
    c.gave_up_b = limits.gave_up_b;
    for (AlignPair& p : pairs) {
        if (p.a >= 0) p.a += long(a_from);
        if (p.b >= 0) p.b += long(b_from);
    }
    // With both ends unknown, the steps before the first and after the last
    // of the partial side are not compared either.
    size_t first_a = pairs.size(), last_a = 0, first_b = pairs.size(), last_b = 0;
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (pairs[i].a >= 0) first_a = std::min(first_a, i), last_a = i;
        if (pairs[i].b >= 0) first_b = std::min(first_b, i), last_b = i;
    }
    auto outside = [&](const Side& partial, size_t first, size_t last, size_t i) {
        return (!partial.b.starts_late.empty() && i < first) || (!partial.b.ret_known && (i > last || first > last));
    };
    // beyond_a: B's steps outside A's capture; beyond_b: A's outside B's.
    for (size_t k = 0; k < b_from; ++k) c.steps.push_back({ComparedStep::outside_a, -1, long(k)});
    for (size_t k = 0; k < a_from; ++k) c.steps.push_back({ComparedStep::outside_b, long(k), -1});
    for (size_t i = 0; i < pairs.size(); ++i) {
        const AlignPair& p = pairs[i];
        ComparedStep::Kind kind = ComparedStep::alike;
        if (p.a < 0 && outside(x, first_a, last_a, i)) {
            kind = ComparedStep::outside_a;
        } else if (p.b < 0 && outside(y, first_b, last_b, i)) {
            kind = ComparedStep::outside_b;
        } else if (p.b < 0) {
            kind = ComparedStep::only_a;
        } else if (p.a < 0) {
            kind = ComparedStep::only_b;
        } else if (x.items[p.a].value != y.items[p.b].value) {
            kind = ComparedStep::changed;
            (x.a.steps[x.bus[p.a]].kind == StepKind::store ? c.stores : c.reads)++;
        }
        c.steps.push_back({kind, p.a, p.b});
    }
    for (size_t k = b_to; k < y.items.size(); ++k) c.steps.push_back({ComparedStep::outside_a, -1, long(k)});
    for (size_t k = a_to; k < x.items.size(); ++k) c.steps.push_back({ComparedStep::outside_b, long(k), -1});
    for (const ComparedStep& s : c.steps) {
        c.alike += s.kind == ComparedStep::alike;
        c.only_a += s.kind == ComparedStep::only_a;
        c.only_b += s.kind == ComparedStep::only_b;
        c.beyond_a += s.kind == ComparedStep::outside_a;
        c.beyond_b += s.kind == ComparedStep::outside_b;
    }
    const tov::sim::RunResult& ra = x.b.r;
    const tov::sim::RunResult& rb = y.b.r;
    // An unknown result (and the record on entry shown with it) differs from nothing.
    c.results_known = x.b.ret_known && y.b.ret_known;
    c.same_result = !c.results_known ||
                    (ra.ret == rb.ret && ra.record.clock_index == rb.record.clock_index &&
                     ra.record.mem_clock_khz == rb.record.mem_clock_khz &&
                     ra.record.mem_size_out == rb.record.mem_size_out && ra.record.map_value == rb.record.map_value);
    c.partial = !c.results_known || !x.b.starts_late.empty() || !y.b.starts_late.empty();
    c.same = c.only_a == 0 && c.only_b == 0 && c.stores == 0 && c.reads == 0 && c.same_result;
    // Where the two part: every bus step before this one is the same in both.
    const size_t n = std::min(a_to - a_from, b_to - b_from);
    size_t k = 0;
    while (k < n && items_a[k].key == items_b[k].key && items_a[k].value == items_b[k].value) ++k;
    if (!c.same && (k < n || items_a.size() != items_b.size())) {
        c.first_difference = a_from + k + 1;
        c.first_a = a_from + k < a_to ? long(a_from + k) : -1;
        c.first_b = b_from + k < b_to ? long(b_from + k) : -1;
    }
    return c;
}

// Different, or the same in what both hold but one side incomplete.
int diff_status(const Comparison& c) {
    if (!c.same) return exit_failed;
    return c.partial ? exit_incomplete : exit_ok;
}

int diff(const Side& x, const Side& y) {
    out("--- A: %s\n+++ B: %s\n", x.b.source.c_str(), y.b.source.c_str());
    const Comparison c = compare(x, y);
    for (const ComparedStep& s : c.steps) {
        if (s.kind == ComparedStep::only_a) out("- %s\n", bus_step_text(x, s.a).c_str());
        if (s.kind == ComparedStep::only_b) out("+ %s\n", bus_step_text(y, s.b).c_str());
        if (s.kind == ComparedStep::changed)
            out("~ %s\n  %s\n", bus_step_text(x, s.a).c_str(), bus_step_text(y, s.b).c_str());
    }
    out("\nA: %s\nB: %s\n", summary(x).c_str(), summary(y).c_str());
    for (const Side* s : {&x, &y})
        if (!s->b.times.empty()) out("times of %s: %s\n", s == &x ? "A" : "B", s->b.times.c_str());
    for (const Side* s : {&x, &y})
        for (const std::string& n : notes_of(s->b, s->a)) out("note %s: %s\n", s == &x ? "A" : "B", n.c_str());
    if (c.gave_up_a || c.gave_up_b)
        out("note: the traces differ too widely to align in bounded time: %zu steps of A and %zu of B, where no "
            "step common to both could pair them, are shown as only in A and only in B\n",
            c.gave_up_a, c.gave_up_b);
    for (const auto& [side, n, other] : {std::tuple{"A", c.beyond_a, "B"}, std::tuple{"B", c.beyond_b, "A"}})
        if (n)
            out("note: %zu bus step%s of %s lie outside %s's capture, which holds only part of its call: not "
                "compared\n",
                n, n == 1 ? "" : "s", other, side);
    out("%s: %zu steps alike, %zu only in A, %zu only in B, %zu stores and %zu reads with other values%s\n",
        !c.same     ? "different"
        : c.partial ? "no difference in the steps both captures hold"
                    : "identical",
        c.alike, c.only_a, c.only_b, c.stores, c.reads,
        !c.same_result    ? "; the results differ"
        : c.results_known ? ""
                          : "; a result is unknown, so not compared");
    if (c.first_difference) {
        auto text = [](const Side& s, long i) {
            return i >= 0 ? squeeze(step_text(s.a.steps[s.bus[size_t(i)]], s.b.r.events)) : std::string("nothing more");
        };
        out("first difference at bus step %zu: A %s, B %s\n", c.first_difference, text(x, c.first_a).c_str(),
            text(y, c.first_b).c_str());
    }
    return diff_status(c);
}

// The call a capture holds, simulated: the configuration, clock and power
// mode of its record on entry (or, for a capture that starts late, of the
// record with its result) on a block at the address its tag names.
Bringup simulated(const Bringup& a) {
    if (a.r.record.config_id == 0 && !a.entry && !a.ret_known)
        usage_fail("diff --sim needs the call's record on entry or its result line: " + a.source + " holds neither");
    const tov::MemInitParams& rec = a.entry ? *a.entry : a.r.record;
    RunArgs args;
    args.config = strf("0x%x", rec.config_id);
    args.clock = strf("%u", rec.clock_index);
    args.power_modes = {strf("%u", rec.power_mode)};
    // The tag is bits 16 to 31 of the call's register block.
    uint64_t base = 0;
    if (!a.tag.empty()) base = std::stoull(a.tag, nullptr, 16) << 16;
    const uint64_t aux = tov::sim::Simulator::aux_base, span = tov::sim::Simulator::reg_span;
    const bool base_ok = base != 0 && !(aux >= base && aux - base < span);
    if (base_ok) args.reg_base = strf("0x%llx", static_cast<unsigned long long>(base));
    Bringup b = run_bringup(resolve(args));
    b.notes.push_back(
        strf("B is the simulated call of A's record %s: config 0x%x, clock_index %s, power_mode %u%s",
             a.entry ? "on entry" : "with its result (A holds no record on entry)", rec.config_id,
             clock_text(rec.clock_index).c_str(), rec.power_mode,
             base_ok ? strf(", register block 0x%llx (A's tag)", static_cast<unsigned long long>(base)).c_str() : ""));
    return b;
}

}  // namespace

Comparison compare_bringups(const Bringup& a, const Bringup& b) { return compare(prepare(a), prepare(b)); }

int diff_bringups(Bringup a, Bringup b) {
    const Side x = prepare(std::move(a));
    return diff(x, prepare(std::move(b)));
}

Command add_diff(CLI::App& app) {
    struct State {
        std::vector<std::string> configs, clocks, power, traces, calls;
        bool no_aux = false, sim = false;
        std::string format = "text";
    };
    auto st = std::make_shared<State>();
    CLI::App* cmd = app.add_subcommand("diff", "compare two bring-ups step by step");
    cmd->footer(
        "Compares two runs (--config A --clock N [--config B --clock M]; a value given once serves both sides),\n"
        "two JSON-lines trace files or captured logs, or, with --sim, one trace or log with the call its record\n"
        "on entry describes, simulated. The bus steps (stores, stable reads, aux loads) are aligned "
        "by kind and\n"
        "register, so a step inserted on one side does not misalign the rest. Lines: '-' only in A, '+' only\n"
        "in B, '~' the same step with other values (A's line, then B's). A capture that starts late or ends early\n"
        "is compared over the steps both sides have, and its unknown result with nothing. --format html writes\n"
        "the two as one page, one above the other (see 'tovmem report'). Exit status: 0 when nothing differs,\n"
        "1 different, 2 on bad arguments, 3 when nothing differs in what both hold but a side's evidence is\n"
        "incomplete (cut short, started late, a line lost, ended by a new call).");
    cmd->add_option("--config", st->configs, "configuration ID of A, then of B")
        ->type_name("ID")
        ->allow_extra_args(false);
    cmd->add_option("--clock", st->clocks, "clock_index of A, then of B")->type_name("N")->allow_extra_args(false);
    cmd->add_option("--power-mode", st->power, "power_mode of A, then of B")->type_name("N")->allow_extra_args(false);
    cmd->add_flag("--no-aux", st->no_aux, "the caller maps no aux region: aux_base is 0");
    cmd->add_option("TRACE", st->traces, "two JSON-lines trace files or captured logs (- for standard input)");
    cmd->add_flag("--sim", st->sim,
                  "compare one trace or log (A) with the same call on the simulated chip (B): the configuration, "
                  "clock_index and power_mode of its record on entry, on a register block at its tag's address");
    cmd->add_option("--call", st->calls,
                    "the call of A, then of B, when a log holds several (from 1); given once, it chooses in every "
                    "log of several calls")
        ->type_name("N")
        ->allow_extra_args(false);
    cmd->add_option("--format", st->format, "text (the steps that differ) or html (the two drawn aligned, as a page)")
        ->type_name("text|html");
    return {cmd, [st] {
                if (st->format != "text" && st->format != "html")
                    usage_fail("--format is text or html, not '" + st->format + "'");
                // The comparison printed, or drawn; the status the same.
                auto show = [&](const Side& x, const Side& y, size_t call_a, size_t call_b) {
                    if (st->format == "text") return diff(x, y);
                    out("%s", comparison_html({x.b, call_a}, {y.b, call_b}).c_str());
                    return diff_status(compare(x, y));
                };
                const bool runs = !st->configs.empty() || !st->clocks.empty() || !st->power.empty() || st->no_aux;
                if (runs && !st->calls.empty())
                    usage_fail("--call chooses a call of a trace file or log, not of a run");
                if (runs && !st->traces.empty())
                    usage_fail(
                        "diff compares two runs (--config, --clock, --power-mode, --no-aux) or two trace "
                        "files, not both");
                if (!runs && st->traces.empty())
                    usage_fail("diff needs --config and --clock for two runs, or two trace files");
                if (runs && st->sim)
                    usage_fail("diff --sim compares a trace file or log with its simulated call, not runs");
                if (st->sim) {
                    if (st->traces.size() != 1) usage_fail("diff --sim takes one trace file or log");
                    if (st->calls.size() > 1) usage_fail("diff --sim takes --call once");
                    const CallOption call{st->calls.empty() ? std::string() : st->calls[0]};
                    Bringup a = read_trace_file(st->traces[0], call.value());
                    Bringup b = simulated(a);
                    const Side x = prepare(std::move(a));
                    return show(x, prepare(std::move(b)), call.value(), 0);
                }
                if (!runs) {
                    if (st->traces.size() != 2) usage_fail("diff needs two trace files");
                    if (st->traces[0] == "-" && st->traces[1] == "-")
                        usage_fail("diff reads one trace from standard input ('-'), not both");
                    if (st->calls.size() > 2) usage_fail("--call is given once or twice");
                    // Given once, the call is chosen in each side that holds several.
                    auto read = [&](size_t side) {
                        if (st->calls.empty()) return read_trace_file(st->traces[side]);
                        const CallOption call{st->calls[std::min(side, st->calls.size() - 1)]};
                        return read_trace_file(st->traces[side], call.value(), st->calls.size() == 1);
                    };
                    const Side x = prepare(read(0));  // A first: its errors come first
                    const size_t both = st->calls.size() == 2;
                    return show(x, prepare(read(1)), both ? CallOption{st->calls[0]}.value() : 0,
                                both ? CallOption{st->calls[1]}.value() : 0);
                }
                auto pick = [](const std::vector<std::string>& v, const char* what, bool need) {
                    if (v.size() > 2) usage_fail(std::string(what) + " is given once or twice");
                    if (v.empty() && need) usage_fail(std::string("diff needs ") + what);
                    return std::make_pair(v.empty() ? "" : v[0], v.empty() ? "" : v.back());
                };
                const auto [ca, cb] = pick(st->configs, "--config", true);
                const auto [ka, kb] = pick(st->clocks, "--clock", true);
                const auto [pa, pb] = pick(st->power, "--power-mode", false);
                auto side = [&](const std::string& c, const std::string& k, const std::string& p) {
                    RunArgs a;
                    a.config = c;
                    a.clock = k;
                    if (!p.empty()) a.power_modes = {p};
                    a.no_aux = st->no_aux;
                    return prepare(run_bringup(resolve(a)));
                };
                const Side x = side(ca, ka, pa);
                const Side y = side(cb, kb, pb);
                return show(x, y, 0, 0);
            }};
}

}  // namespace tovmem
