// SPDX-License-Identifier: Apache-2.0
// tovmem run: one bring-up on a fresh simulated chip, shown as an annotated
// trace, JSON lines or a waveform.
#include <algorithm>
#include <memory>
#include <string_view>

#include <nlohmann/json.hpp>

#include "include/capture.h"
#include "meminit/hw/regs.h"
#include "sim/printable.h"
#include "sim/trace_format.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"

namespace tovmem {

using tov::sim::Event;
using tov::sim::EventKind;
namespace reg = tov::reg;

namespace {

// A trace message on one line, every byte printable.
std::string printable(const std::string& msg) {
    std::string o;
    for (char c : msg) o += c == '\n' ? std::string("\\n") : tov::sim::printable(std::string(1, c));
    return o;
}

// A printed line as the image printed it, its line breaks kept and every
// other byte outside printable ASCII escaped: nothing an image prints
// reaches the terminal raw.
std::string log_text(const std::string& line) {
    std::string o;
    for (size_t from = 0; from <= line.size();) {
        const size_t nl = std::min(line.find('\n', from), line.size());
        o += tov::sim::printable(std::string_view(line).substr(from, nl - from));
        if (nl < line.size()) o += '\n';
        from = nl + 1;
    }
    return o;
}

// What the sample capture driver's start path means by its status.
const char* caller_status_text(uint32_t status) {
    switch (status) {
    case uint32_t(CAPTURE_STATUS_SUCCESS): return "STATUS_SUCCESS: the frame buffer is up";
    case uint32_t(CAPTURE_STATUS_MEMORY_FAILED): return "STATUS_IO_DEVICE_ERROR: the memory did not come up";
    case uint32_t(CAPTURE_STATUS_REGISTER_FAULT): return "STATUS_DEVICE_HARDWARE_ERROR: a register never settled";
    case uint32_t(CAPTURE_STATUS_BAD_RESULT): return "STATUS_REVISION_MISMATCH: a result the driver does not know";
    }
    return "unknown";
}

std::string command_note(const CommandInfo* c) { return c ? "  " + command_text(*c) : ""; }

// Unwritten record fields still hold the fill word the run started with.
std::string field_text(uint32_t v, const char* unit = "") {
    if (v == tov::sim::fill_word) return strf("not written (still 0x%08x)", tov::sim::fill_word);
    return strf("%u%s", v, unit);
}

}  // namespace

void print_text(const Bringup& b) {
    const tov::sim::RunResult& r = b.r;
    const Analysis a = analyse(r);
    const auto& ev = r.events;
    const tov::MemInitParams& p = r.record;
    out("bring-up of config 0x%x: %s\n", p.config_id, routine_of(p.config_id).c_str());
    // A log's times are rebuilt from its clock readings (the notes say how).
    out("%10s  %s\n", b.times.empty() ? "time ms" : "rebuilt ms", "event");
    auto stamp = [&](size_t event) { out("%10.3f  ", ms(ev[event].time - r.start_time)); };
    const auto& steps = a.steps;
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        const Event& e = ev[s.first];
        switch (s.kind) {
        case StepKind::read: {
            // A read-modify-write: the read and the store right after it.
            if (i + 1 < steps.size() && steps[i + 1].kind == StepKind::store && steps[i + 1].off == s.off) {
                const Step& st = steps[i + 1];
                stamp(s.first);
                std::string change;
                if (!s.settled) change = strf("read never settled, last 0x%08x; ", ev[s.last].val);
                if (st.val == s.val)
                    change += "unchanged";
                else
                    change += strf("bits set 0x%x, cleared 0x%x", st.val & ~s.val, s.val & ~st.val);
                out("modify %s  0x%08x -> 0x%08x  (%s; %s)%s\n", reg_label(s.off).c_str(), s.val, st.val,
                    change.c_str(), loads_text(s.loads).c_str(), command_note(a.command_at(i + 1)).c_str());
                ++i;
                break;
            }
            // The completion reads after a DRAM command: one line for the wait.
            const CommandInfo* c = nullptr;
            for (const CommandInfo& ci : a.commands)
                if (ci.polls && ci.last_poll >= i && ci.step < i) c = &ci;
            if (s.off == reg::DRC_CMD_STATUS && c) {
                const size_t j = c->last_poll;  // the polls are consecutive reads
                if (c->gave_up()) {
                    stamp(steps[c->last_poll].last);
                    out("time-out  DRAM command %d (%s) not done after %.1f ms: %u of %u poll%s saw it busy "
                        "(%s); the wait gave up\n",
                        c->number, describe(c->cmd).c_str(), ms(c->wait_end - c->time), c->busy, c->polls,
                        c->polls == 1 ? "" : "s", loads_text(c->poll_loads).c_str());
                } else if (c->unsettled) {
                    const Step& lp = steps[c->last_poll];
                    stamp(lp.first);
                    out("read   %s  never settled: %s without three agreeing, last 0x%08x (poll %u for DRAM "
                        "command %d, %u busy before)\n",
                        reg_label(s.off).c_str(), loads_text(lp.loads).c_str(), ev[lp.last].val, c->polls, c->number,
                        c->busy);
                } else {
                    stamp(s.first);
                    out("wait   %s  done after %u poll%s, %u saw the command busy (%s, %.1f ms)\n",
                        reg_label(s.off).c_str(), c->polls, c->polls == 1 ? "" : "s", c->busy,
                        loads_text(c->poll_loads).c_str(), ms(c->wait_end - c->time));
                }
                i = j;
                break;
            }
            stamp(s.first);
            out("%s", step_text(s, ev).c_str());
            for (const FbReadBack& f : a.readbacks)
                if (f.step == i && f.written)
                    out(f.ok() ? "  test slot %u as written" : "  test slot %u: expected 0x%08x, bits 0x%x differ",
                        f.slot, f.expected, f.expected ^ f.actual);
            out("\n");
            break;
        }
        case StepKind::store:
        case StepKind::aux_read:
            stamp(s.first);
            out("%s%s\n", step_text(s, ev).c_str(), command_note(a.command_at(i)).c_str());
            break;
        case StepKind::other: {
            stamp(s.first);
            const uint64_t next = s.first + 1 < ev.size() ? ev[s.first + 1].time : r.end_time;
            if (e.kind == EventKind::delay_ticks)
                out("delay_ticks(%u)  %.1f ms\n", e.val, ms(next - e.time));
            else if (e.kind == EventKind::delay_ms)
                out("delay_ms(%u)  %.1f ms\n", e.val, ms(next - e.time));
            else
                out("trace  \"%s\"\n", printable(e.msg).c_str());
            break;
        }
        }
    }
    if (b.ret_known)
        out("\nresult         %d (%s)\n", r.ret,
            r.ret == 1   ? "memory up"
            : r.ret == 0 ? "failed"
                         : "register access failed");
    else
        out("\nresult         unknown (the capture ends before the call's result line)\n");
    const std::string cause = b.ret_known ? cause_of(r, a) : std::string();
    if (!cause.empty()) out("cause          %s\n", cause.c_str());
    if (b.executed && b.opts.req.clock_index != p.clock_index)
        out("clock_index    %s given, %s after dispatch\n", clock_text(b.opts.req.clock_index).c_str(),
            clock_text(p.clock_index).c_str());
    else
        out("clock_index    %s%s\n", clock_text(p.clock_index).c_str(),
            b.executed ? " given, unchanged by dispatch" : "");
    // A capture without the call's result holds no field the call wrote.
    const char* not_captured = "not captured (the capture holds no record with the result)";
    out("memory clock   %s\n", b.ret_known ? field_text(p.mem_clock_khz, " kHz").c_str() : not_captured);
    if (!b.ret_known)
        out("memory size    %s\n", not_captured);
    else if (p.mem_size_out == tov::sim::fill_word)
        out("memory size    %s\n", field_text(tov::sim::fill_word).c_str());
    else
        out("memory size    %s (0x%x)\n", size_text(p.mem_size_out).c_str(), p.mem_size_out);
    out("map value      %s\n", b.ret_known ? field_text(p.map_value).c_str() : not_captured);
    if (!b.ret_known)
        out("record         mem_size, bus_flag and mode_flag not captured\n");
    else if (p.mem_size == tov::sim::fill_word)
        out("record         mem_size, bus_flag and mode_flag not written\n");
    else
        out("record         mem_size 0x%x, bus_flag %u, mode_flag %u\n", p.mem_size, p.bus_flag, p.mode_flag);
    out("bus            %zu loads, %zu stores, %zu DRAM command%s, %zu delays, %zu messages\n", a.loads, a.stores,
        a.commands.size(), a.commands.size() == 1 ? "" : "s", a.delays, a.messages);
    out("virtual time   %.3f ms\n", ms(r.end_time - r.start_time));
    if (!b.times.empty()) out("times          %s\n", b.times.c_str());
    if (b.executed && b.opts.req.clock.period)
        out("clock          moves every %s ms, %s\n", ms_text(b.opts.req.clock.period).c_str(),
            b.opts.req.clock.phase
                ? strf("first %s ms after the call's start", ms_text(b.opts.req.clock.phase).c_str()).c_str()
                : "the call starting on one of its moves");
    if (b.executed)
        for (const tov::sim::Preemption& pr : b.opts.req.clock.preempt)
            out("preemption     after clock reading %llu the thread is off the processor for %s ms\n",
                static_cast<unsigned long long>(pr.after_reads), ms_text(pr.units).c_str());
    if (b.executed && b.opts.req.chip.cmd_latency_us)
        out("command time   each DRAM command in flight for %u us of true time (--cmd-latency-us)\n",
            b.opts.req.chip.cmd_latency_us);
    if (r.from_image)
        out("kernel image   %u stack bytes, %llu %s instructions (%s)\n", r.image.stack_bytes,
            static_cast<unsigned long long>(r.image.instructions), r.image.x64 ? "x64" : "x86",
            r.log.empty()
                ? "its trace sink is silent: no messages or delay calls"
                : strf("the diagnostic image: %zu log lines, --format log prints them", r.log.size()).c_str());
    if (r.image.through_caller)
        out("capture driver status 0x%08x (%s), through its import of tov_mem_init\n", r.image.caller_status,
            caller_status_text(r.image.caller_status));
    for (const std::string& n : notes_of(b, a)) out("note           %s\n", n.c_str());
}

std::string result_line(const Bringup& b) {
    const Analysis a = analyse(b.r);
    std::string line = tov::sim::result_jsonl(b.r);
    const std::vector<std::string> notes = notes_of(b, a);
    const std::string cause = b.ret_known ? cause_of(b.r, a) : std::string();
    if (!b.ret_known) {
        // A result the capture did not hold is null, never a number.
        const std::string known = strf("{\"ev\":\"result\",\"ret\":%d,", b.r.ret);
        line.replace(0, known.size(), "{\"ev\":\"result\",\"ret\":null,");
    }
    line.pop_back();
    line += strf(",\"config_id_hex\":\"0x%x\"", b.r.record.config_id);
    // Text that may quote a file, in ASCII: no control character of any kind reaches a terminal raw.
    const auto ascii = [](const nlohmann::json& j) { return j.dump(-1, ' ', true); };
    if (!cause.empty()) line += ",\"cause\":" + ascii(cause);
    if (!b.ret_known) line += ",\"unknown\":" + ascii(b.unknown);
    if (!b.starts_late.empty()) line += ",\"starts_late\":" + ascii(b.starts_late);
    if (!b.times.empty()) line += ",\"times\":" + ascii(b.times);
    if (!notes.empty()) line += ",\"note\":" + ascii(notes);
    return line + "}";
}

void print_jsonl(const Bringup& b) {
    for (const Event& e : b.r.events) out("%s\n", tov::sim::event_jsonl(e).c_str());
    out("%s\n", result_line(b).c_str());
}

Command add_run(CLI::App& app) {
    struct State {
        RunArgs args;
        std::string format = "text";
    };
    auto st = std::make_shared<State>();
    CLI::App* cmd = app.add_subcommand("run", "run one bring-up (tov_mem_init) on a fresh simulated chip");
    cmd->footer(
        "The record starts with config_id, clock_index and power_mode as given and every other field 0xa5a5a5a5,\n"
        "so fields the run did not write show as not written. Numbers are decimal or 0x-hex.\n"
        "Exit status: 0 when tov_mem_init returned 1, 1 when it returned 0 or -1, 2 on bad arguments.");
    add_run_options(*cmd, st->args, true);
    cmd->add_option("--format", st->format,
                    "text (annotated trace), jsonl (one JSON object per event), vcd (waveform) or log (the "
                    "lines the diagnostic image prints for the call)")
        ->type_name("text|jsonl|vcd|log");
    return {cmd, [st] {
                if (st->format != "text" && st->format != "jsonl" && st->format != "vcd" && st->format != "log")
                    usage_fail("--format is text, jsonl, vcd or log, not '" + st->format + "'");
                const Bringup b = run_bringup(resolve(st->args));
                if (st->format == "jsonl")
                    print_jsonl(b);
                else if (st->format == "log" && b.r.from_image && b.r.log.empty())
                    usage_fail(
                        "the image printed nothing: the release image is silent, the diagnostic image "
                        "(diag/tovmem.sys in the kit) prints the log");
                else if (st->format == "log")
                    for (const std::string& l : b.r.log) out("%s", log_text(l).c_str());
                else if (st->format == "vcd")
                    print_vcd(b.r, b.source, notes_of(b, analyse(b.r)));
                else
                    print_text(b);
                return b.r.ret == 1 ? exit_ok : exit_failed;
            }};
}

}  // namespace tovmem
