// SPDX-License-Identifier: Apache-2.0
// tovmem list: the rows of the three configuration tables.
#include <algorithm>
#include <memory>
#include <set>

#include <nlohmann/json.hpp>

#include "meminit/entry/config_table.h"
#include "sim/image/sweep.h"
#include "tools/tovmem/commands.h"

namespace tovmem {
namespace {

// The DRAM part and board variant as the routine's name gives them.
std::string part_of(const std::string& routine) {
    std::string s = routine.substr(routine.find('_', sizeof("meminit_") - 1) + 1);  // past the family
    for (const char* variant : {"high_1down_", "low_", "high_", "common_", "Common_"})
        if (s.rfind(variant, 0) == 0) s = s.substr(std::string(variant).size());
    return s.rfind("id", 0) == 0 ? "(not named)" : s;
}

std::string clock_rule(const tov::ConfigEntry& e) {
    if (const tov::FixedClock* f = tov::fixed_clock_of(e.id)) return strf("always %u", f->clock_index);
    return e.clock_adjust ? "remapped: 0 → 5, 1–2 → 7, 3–6 → 8–11" : "as given";
}

// The integrator's table: every ID and every routine's memory clock per
// clock_index, from the tables and from runs on the simulated chip.
void print_markdown() {
    out("# Configurations\n\n"
        "Generated from the library's tables by `tovmem list --format markdown`; a test keeps this file equal to\n"
        "its output. `config_id` picks the row, the row the routine; `clock_index` selects the memory clock.\n\n"
        "| config_id | family | routine | DRAM part | size | clock_index |\n|---|---|---|---|---|---|\n");
    for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel}) {
        const tov::ConfigTable t = tov::family_table(f);
        for (uint32_t i = 0; i < t.count; ++i) {
            const tov::ConfigEntry& e = t.rows[i];
            const std::string r = tov::routine_name(e.routine);
            out("| 0x%x | %s | `%s` | %s | %s | %s |\n", e.id, t.name, r.c_str(), part_of(r).c_str(),
                size_text(e.size).c_str(), clock_rule(e).c_str());
        }
    }
    out("\nAn ID that a family's table does not list runs its family's first row. The memory clock (MHz) that each\n"
        "routine sets up at each clock_index, through the first row naming it (so after that row's clock_index\n"
        "rule), on a healthy chip at power mode 0; – where it returns without bringing the memory up:\n\n"
        "| routine |");
    for (uint32_t c = 0; c <= 13; ++c) out(" %u |", c);
    out("\n|---|");
    for (uint32_t c = 0; c <= 13; ++c) out("---|");
    out("\n");
    uint32_t highest = 0;
    std::set<tov::InitRoutine> seen;
    for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel}) {
        const tov::ConfigTable t = tov::family_table(f);
        for (uint32_t i = 0; i < t.count; ++i) {
            if (!seen.insert(t.rows[i].routine).second) continue;
            out("| `%s` |", tov::routine_name(t.rows[i].routine));
            for (uint32_t c = 0; c <= 13; ++c) {
                tov::sim::RunRequest q;
                q.config_id = t.rows[i].id;
                q.clock_index = c;
                const tov::sim::RunResult r = tov::sim::run_bring_up(q);
                for (const tov::sim::Event& ev : r.events)
                    if (ev.kind == tov::sim::EventKind::load || ev.kind == tov::sim::EventKind::store)
                        highest = std::max(highest, ev.off);
                if (r.ret == 1 && r.commands > 0)
                    out(" %s |", strf("%.2f", r.record.mem_clock_khz / 1000.0).c_str());
                else
                    out(" – |");
            }
            out("\n");
            // Every path, for the register window: the reserved clock values and power modes too.
            for (uint32_t c : tov::sim::image::every_reserved_clock())
                for (uint32_t pm = 0; pm <= 4; ++pm)
                    for (const tov::sim::Event& ev :
                         tov::sim::run_bring_up(tov::sim::image::request(t.rows[i].id, c, pm)).events)
                        if (ev.kind == tov::sim::EventKind::load || ev.kind == tov::sim::EventKind::store)
                            highest = std::max(highest, ev.off);
        }
    }
    out("\nThe routines touch register offsets up to 0x%x: map at least 0x%x bytes of the register block\n"
        "(`reg_base`), non-cached. The first family's reset pulse (power modes 2 and 3) loads the one word at\n"
        "`aux_base` and ignores its value; an `aux_base` of 0 skips that load.\n",
        highest, highest + 4);
}

}  // namespace

Command add_list(CLI::App& app) {
    auto format = std::make_shared<std::string>("text");
    CLI::App* cmd = app.add_subcommand("list", "print the rows of the three configuration tables");
    cmd->footer(
        "Text: a header row, then one line per row. jsonl: one object per row with the keys family, row,\n"
        "id, id_hex, routine, adjust, size, bus, mode and map.");
    cmd->add_option("--format", *format, "text, jsonl, or markdown (the kit's configuration table)")
        ->type_name("text|jsonl|markdown");
    return {cmd, [format] {
                if (*format == "markdown") {
                    print_markdown();
                    return exit_ok;
                }
                if (*format != "text" && *format != "jsonl")
                    usage_fail("--format is text, jsonl or markdown, not '" + *format + "'");
                const bool jsonl = *format == "jsonl";
                if (!jsonl)
                    out("%-6s %3s  %-10s  %-72s %6s  %-7s  %3s  %4s  %3s\n", "family", "row", "id", "routine", "adjust",
                        "size", "bus", "mode", "map");
                for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel}) {
                    const tov::ConfigTable t = tov::family_table(f);
                    for (uint32_t i = 0; i < t.count; ++i) {
                        const tov::ConfigEntry& e = t.rows[i];
                        if (jsonl) {
                            nlohmann::ordered_json j{{"family", t.name},
                                                     {"row", i},
                                                     {"id", e.id},
                                                     {"id_hex", strf("0x%x", e.id)},
                                                     {"routine", tov::routine_name(e.routine)},
                                                     {"adjust", e.clock_adjust},
                                                     {"size", e.size},
                                                     {"bus", e.bus},
                                                     {"mode", e.mode},
                                                     {"map", e.map}};
                            out("%s\n", j.dump().c_str());
                        } else {
                            out("%-6s %3u  0x%08x  %-72s %6u  %-7s  %3u  %4u  %3u\n", t.name, i, e.id,
                                tov::routine_name(e.routine), e.clock_adjust, size_text(e.size).c_str(), e.bus, e.mode,
                                e.map);
                        }
                    }
                }
                return exit_ok;
            }};
}

}  // namespace tovmem
