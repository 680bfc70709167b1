// SPDX-License-Identifier: Apache-2.0
// tovmem diff: two bring-ups' bus traces aligned step by step.
#include <algorithm>
#include <memory>

#include "meminit/hw/regs.h"
#include "tools/tovmem/align.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"

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
    return strf("result %d, clock_index %s, %s, %s, map %s, %.3f ms, %zu bus steps, %zu DRAM commands", r.ret,
                clock_text(p.clock_index).c_str(),
                p.mem_clock_khz == fill ? "clock not written" : strf("%u kHz", p.mem_clock_khz).c_str(),
                p.mem_size_out == fill ? "size not written" : size_text(p.mem_size_out).c_str(),
                p.map_value == fill ? "not written" : strf("%u", p.map_value).c_str(), ms(r.end_time - r.start_time),
                s.bus.size(), s.a.commands.size());
}

int diff(const Side& x, const Side& y) {
    out("--- A: %s\n+++ B: %s\n", x.b.source.c_str(), y.b.source.c_str());
    AlignLimits limits;
    const std::vector<AlignPair> pairs = align(x.items, y.items, &limits);
    size_t only_a = 0, only_b = 0, stores = 0, reads = 0, alike = 0;
    for (const AlignPair& p : pairs) {
        if (p.b < 0) {
            ++only_a;
            out("- %s\n", bus_step_text(x, p.a).c_str());
        } else if (p.a < 0) {
            ++only_b;
            out("+ %s\n", bus_step_text(y, p.b).c_str());
        } else if (x.items[p.a].value != y.items[p.b].value) {
            const Step& sa = x.a.steps[x.bus[p.a]];
            (sa.kind == StepKind::store ? stores : reads)++;
            out("~ %s\n  %s\n", bus_step_text(x, p.a).c_str(), bus_step_text(y, p.b).c_str());
        } else {
            ++alike;
        }
    }
    out("\nA: %s\nB: %s\n", summary(x).c_str(), summary(y).c_str());
    for (const Side* s : {&x, &y})
        for (const std::string& n : notes_of(s->b, s->a)) out("note %s: %s\n", s == &x ? "A" : "B", n.c_str());
    if (limits.gave_up_a || limits.gave_up_b)
        out("note: the traces differ too widely to align in bounded time: %zu steps of A and %zu of B, where no "
            "step common to both could pair them, are shown as only in A and only in B\n",
            limits.gave_up_a, limits.gave_up_b);
    const tov::sim::RunResult& ra = x.b.r;
    const tov::sim::RunResult& rb = y.b.r;
    const bool same_result = ra.ret == rb.ret && ra.record.clock_index == rb.record.clock_index &&
                             ra.record.mem_clock_khz == rb.record.mem_clock_khz &&
                             ra.record.mem_size_out == rb.record.mem_size_out &&
                             ra.record.map_value == rb.record.map_value;
    const bool identical = only_a == 0 && only_b == 0 && stores == 0 && reads == 0 && same_result;
    out("%s: %zu steps alike, %zu only in A, %zu only in B, %zu stores and %zu reads with other values%s\n",
        identical ? "identical" : "different", alike, only_a, only_b, stores, reads,
        same_result ? "" : "; the results differ");
    // Where the two part: every bus step before this one is the same in both.
    const size_t n = std::min(x.items.size(), y.items.size());
    size_t k = 0;
    while (k < n && x.items[k].key == y.items[k].key && x.items[k].value == y.items[k].value) ++k;
    if (k < n || x.items.size() != y.items.size()) {
        auto text = [](const Side& s, size_t i) {
            return i < s.bus.size() ? squeeze(step_text(s.a.steps[s.bus[i]], s.b.r.events))
                                    : std::string("nothing more");
        };
        out("first difference at bus step %zu: A %s, B %s\n", k + 1, text(x, k).c_str(), text(y, k).c_str());
    }
    return identical ? exit_ok : exit_failed;
}

}  // namespace

int diff_bringups(Bringup a, Bringup b) {
    const Side x = prepare(std::move(a));
    return diff(x, prepare(std::move(b)));
}

Command add_diff(CLI::App& app) {
    struct State {
        std::vector<std::string> configs, clocks, power, traces;
        bool no_aux = false;
    };
    auto st = std::make_shared<State>();
    CLI::App* cmd = app.add_subcommand("diff", "compare two bring-ups step by step");
    cmd->footer(
        "Compares two runs (--config A --clock N [--config B --clock M]; a value given once serves both sides)\n"
        "or two JSON-lines trace files. The bus steps (stores, stable reads, aux loads) are aligned by kind and\n"
        "register, so a step inserted on one side does not misalign the rest. Lines: '-' only in A, '+' only\n"
        "in B, '~' the same step with other values (A's line, then B's). Exit status: 0 identical, 1 different,\n"
        "2 on bad arguments.");
    cmd->add_option("--config", st->configs, "configuration ID of A, then of B")
        ->type_name("ID")
        ->allow_extra_args(false);
    cmd->add_option("--clock", st->clocks, "clock_index of A, then of B")->type_name("N")->allow_extra_args(false);
    cmd->add_option("--power-mode", st->power, "power_mode of A, then of B")->type_name("N")->allow_extra_args(false);
    cmd->add_flag("--no-aux", st->no_aux, "the caller maps no aux region: aux_base is 0");
    cmd->add_option("TRACE", st->traces, "two JSON-lines trace files (- for standard input)");
    return {cmd, [st] {
                const bool runs = !st->configs.empty() || !st->clocks.empty() || !st->power.empty() || st->no_aux;
                if (runs && !st->traces.empty())
                    usage_fail(
                        "diff compares two runs (--config, --clock, --power-mode, --no-aux) or two trace "
                        "files, not both");
                if (!runs && st->traces.empty())
                    usage_fail("diff needs --config and --clock for two runs, or two trace files");
                if (!runs) {
                    if (st->traces.size() != 2) usage_fail("diff needs two trace files");
                    if (st->traces[0] == "-" && st->traces[1] == "-")
                        usage_fail("diff reads one trace from standard input ('-'), not both");
                    const Side x = prepare(read_trace_file(st->traces[0]));  // A first: its errors come first
                    return diff(x, prepare(read_trace_file(st->traces[1])));
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
                return diff(x, y);
            }};
}

}  // namespace tovmem
