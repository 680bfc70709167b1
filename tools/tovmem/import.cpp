// SPDX-License-Identifier: Apache-2.0
// import: a captured log of the diagnostic image as JSON lines.
#include <cstdio>
#include <memory>

#include "sim/trace_format.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"

namespace tovmem {

Command add_import(CLI::App& app) {
    struct State {
        std::string path, format = "jsonl";
        CallOption call;
    };
    auto st = std::make_shared<State>();
    CLI::App* cmd = app.add_subcommand("import", "write a captured log of the diagnostic image as JSON lines");
    cmd->footer(
        "Reads what the diagnostic image (diag/tovmem.sys) printed through DbgPrintEx: a WinDbg log (.logopen),\n"
        "a DebugView log saved to a file, or a text file of its 'tovmem: {...}' lines (other lines are skipped),\n"
        "and writes the call as 'tovmem run --format jsonl' writes a run. Each stable read becomes its loads\n"
        "(the value it settled on, after loads that could not have agreed) and each done-bit wait its polls;\n"
        "steps between two delays carry the clock reading of the delay before. A capture that ends before the\n"
        "call's result line gives \"ret\": null and why in \"unknown\"; one that starts late says so in\n"
        "\"starts_late\"; both are also said on standard error. A log of several calls (a retry, two chips)\n"
        "is refused with a list of them unless --call chooses one. check, diff and vcd read such a log directly.\n"
        "Exit status: 0 for a whole call, 2 on bad arguments or an unreadable log, 3 when the evidence is\n"
        "incomplete (cut short, started late, a line lost, or ended by a new call on the same register block).");
    cmd->add_option("LOG", st->path, "captured log, or - for standard input")->required();
    cmd->add_option("--format", st->format, "jsonl (as run writes a run) or text (annotated, as run prints it)")
        ->type_name("jsonl|text");
    add_call_option(*cmd, st->call);
    return {cmd, [st] {
                if (st->format != "text" && st->format != "jsonl")
                    usage_fail("--format is jsonl or text, not '" + st->format + "'");
                const Bringup b = read_trace_file(st->path, st->call.value());
                if (!b.from_log) usage_fail(st->path + " is a JSON-lines trace already, not a log");
                const int status = b.incomplete() ? exit_incomplete : exit_ok;
                if (st->format == "text") {
                    print_text(b);
                    return status;
                }
                std::vector<std::string> notes = b.notes;
                if (!b.starts_late.empty()) notes.insert(notes.begin(), b.starts_late);
                if (!b.unknown.empty()) notes.insert(notes.begin(), b.unknown);
                if (!b.times.empty()) notes.push_back("times " + b.times);
                for (const std::string& n : notes) std::fprintf(stderr, "note: %s\n", n.c_str());
                print_jsonl(b);
                return status;
            }};
}

}  // namespace tovmem
