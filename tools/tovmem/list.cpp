// SPDX-License-Identifier: Apache-2.0
// tovmem list: the rows of the three configuration tables.
#include <memory>

#include <nlohmann/json.hpp>

#include "meminit/entry/config_table.h"
#include "tools/tovmem/commands.h"
#include "tools/tovmem/configurations.h"

namespace tovmem {

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
                    out("%s", configurations_markdown().c_str());
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
