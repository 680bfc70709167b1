// SPDX-License-Identifier: Apache-2.0
// Value Change Dump of a bring-up on the virtual time base (one tick is one
// 100 ns unit of interrupt time): a signal per register written, the DRAM
// command in flight as a string, the done bit as loads of DRC_CMD_STATUS saw
// it, the clock-enable line the commands drive, a signal per register read
// (the value each load returned), and the result and its cause at the end.
#include <map>
#include <memory>

#include "meminit/hw/regs.h"
#include "sim/command_decode.h"
#include "sim/printable.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"

namespace tovmem {

using tov::sim::Event;
using tov::sim::EventKind;
namespace reg = tov::reg;

namespace {

std::string vcd_id(size_t n) {
    std::string id;
    do {
        id += static_cast<char>('!' + n % 94);
        n /= 94;
    } while (n);
    return id;
}

std::string bits(uint32_t v) {
    std::string s = "b";
    bool any = false;
    for (int i = 31; i >= 0; --i) {
        const bool b = (v >> i) & 1;
        if (b) any = true;
        if (any || i == 0) s += b ? '1' : '0';
    }
    return s;
}

// Text from a file inside a $comment: one printable line, and no keyword
// ("$end" would close the comment early and let the rest be read as VCD).
std::string comment_text(const std::string& s) {
    std::string out;
    for (char c : tov::sim::printable(s)) {
        if (!out.empty() && out.back() == '$' && c != ' ') out.push_back(' ');
        out.push_back(c);
    }
    return out;
}

// A string value is one word: printable, its blanks as '_'.
std::string word_text(const std::string& s) {
    std::string out;
    for (char c : tov::sim::printable(s)) out.push_back(c == ' ' ? '_' : c);
    return out;
}

}  // namespace

void print_vcd(const tov::sim::RunResult& r, const std::string& title, const std::vector<std::string>& notes,
               const std::string& unknown) {
    std::map<uint32_t, std::string> regs;   // registers written, by offset
    std::map<uint32_t, std::string> reads;  // registers read, by offset
    size_t next = 0;
    const std::string cmd_id = vcd_id(next++), done_id = vcd_id(next++), cke_id = vcd_id(next++);
    const std::string result_id = vcd_id(next++), cause_id = vcd_id(next++), aux_id = vcd_id(next++);
    bool aux = false;
    for (const Event& e : r.events) {
        if (e.kind == EventKind::store && !regs.count(e.off)) regs[e.off] = "";
        if (e.kind == EventKind::load && !reads.count(e.off)) reads[e.off] = "";
        aux |= e.kind == EventKind::aux_load;
    }
    for (auto& [off, id] : regs) id = vcd_id(next++);
    for (auto& [off, id] : reads) id = vcd_id(next++);
    // How the call ended, as the text output says it.
    const std::string result = !unknown.empty() ? "unknown" : strf("%d", r.ret);
    const std::string cause = !unknown.empty() ? unknown : cause_of(r, analyse(r));

    out("$comment tovmem bring-up: %s $end\n", comment_text(title).c_str());
    out("$comment result: %s%s $end\n", result.c_str(), cause.empty() ? "" : (", " + comment_text(cause)).c_str());
    for (const std::string& n : notes) out("$comment note: %s $end\n", comment_text(n).c_str());
    out("$version tovmem $end\n$timescale 100ns $end\n$scope module bring_up $end\n");
    out("$var string 1 %s dram_cmd $end\n", cmd_id.c_str());
    out("$var wire 1 %s done $end\n", done_id.c_str());
    out("$var wire 1 %s cke $end\n", cke_id.c_str());
    out("$var string 1 %s result $end\n", result_id.c_str());
    out("$var string 1 %s cause $end\n", cause_id.c_str());
    out("$upscope $end\n$scope module regs $end\n");
    for (const auto& [off, id] : regs) {
        out("$var wire 32 %s %s $end\n", id.c_str(), reg_name(off).c_str());
    }
    // What each load returned, register by register, and the aux word.
    out("$upscope $end\n$scope module reads $end\n");
    for (const auto& [off, id] : reads) out("$var wire 32 %s %s $end\n", id.c_str(), reg_name(off).c_str());
    if (aux) out("$var wire 32 %s AUX $end\n", aux_id.c_str());
    out("$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\nsidle %s\nx%s\nx%s\nsrunning %s\nsnone %s\n",
        cmd_id.c_str(), done_id.c_str(), cke_id.c_str(), result_id.c_str(), cause_id.c_str());
    for (const auto& [off, id] : regs) out("bx %s\n", id.c_str());
    for (const auto& [off, id] : reads) out("bx %s\n", id.c_str());
    if (aux) out("bx %s\n", aux_id.c_str());
    out("$end\n");

    uint64_t now = 0;
    auto at = [&](uint64_t t) {
        const uint64_t rel = t >= r.start_time ? t - r.start_time : 0;
        if (rel > now) {
            now = rel;
            out("#%llu\n", static_cast<unsigned long long>(now));
        }
    };
    uint32_t word = 0;
    int done = -1, cke = -1;
    std::map<uint32_t, int64_t> last_read;  // the value each register's signal shows, -1 before its first load
    int64_t last_aux = -1;
    for (const Event& e : r.events) {
        if (e.kind == EventKind::load && last_read.emplace(e.off, -1).first->second != int64_t(e.val)) {
            at(e.time);
            last_read[e.off] = e.val;
            out("%s %s\n", bits(e.val).c_str(), reads[e.off].c_str());
        }
        if (e.kind == EventKind::aux_load && last_aux != int64_t(e.val)) {
            at(e.time);
            last_aux = e.val;
            out("%s %s\n", bits(e.val).c_str(), aux_id.c_str());
        }
        if (e.kind == EventKind::store) {
            at(e.time);
            out("%s %s\n", bits(e.val).c_str(), regs[e.off].c_str());
            if (e.off == reg::DRC_CMD_WORD) word = e.val;
            if (tov::sim::starts_command(e)) {
                const tov::sim::DramCommand c = tov::sim::decode_command(e.val, word);
                out("s%s %s\n", short_name(c).c_str(), cmd_id.c_str());
                if (c.op != tov::sim::DramOp::closing && int(c.cke) != cke) {
                    cke = c.cke;
                    out("%d%s\n", cke, cke_id.c_str());
                }
            } else if (e.off == reg::DRC_CMD) {
                out("sidle %s\n", cmd_id.c_str());
            }
        } else if (e.kind == EventKind::load && e.off == reg::DRC_CMD_STATUS) {
            const int d = e.val & 1;
            if (d != done) {
                at(e.time);
                done = d;
                out("%d%s\n", d, done_id.c_str());
            }
        }
    }
    at(r.end_time);
    out("s%s %s\ns%s %s\n", result.c_str(), result_id.c_str(), cause.empty() ? "none" : word_text(cause).c_str(),
        cause_id.c_str());
}

Command add_vcd(CLI::App& app) {
    struct State {
        std::string path;
        CallOption call;
    };
    auto st = std::make_shared<State>();
    CLI::App* cmd = app.add_subcommand("vcd", "convert a JSON-lines trace to a Value Change Dump");
    cmd->footer(
        "Reads the JSON lines of 'tovmem run --format jsonl' or a captured log (a file, or - for standard input)\n"
        "and writes the waveform that 'tovmem run --format vcd' writes for a run; notes from the file go into\n"
        "$comment sections. Exit status: 0, 2 on bad arguments or an unreadable file, 3 when the waveform is of\n"
        "incomplete evidence (a capture cut short, started late, a line lost or ended by a new call).");
    cmd->add_option("TRACE", st->path, "JSON-lines trace file or captured log, or - for standard input")->required();
    add_call_option(*cmd, st->call);
    return {cmd, [st] {
                const Bringup b = read_trace_file(st->path, st->call.value());
                std::vector<std::string> notes = notes_of(b, analyse(b.r));
                if (!b.times.empty()) notes.push_back("times " + b.times);
                print_vcd(b.r, b.source, notes, b.ret_known ? "" : b.unknown);
                return b.incomplete() ? exit_incomplete : exit_ok;
            }};
}

}  // namespace tovmem
