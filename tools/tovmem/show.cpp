// SPDX-License-Identifier: Apache-2.0
// tovmem show: one configuration ID, its table row and what a bring-up on a
// healthy chip does at every clock_index.
#include <algorithm>
#include <map>
#include <memory>

#include <nlohmann/json.hpp>

#include "meminit/entry/config_table.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"

namespace tovmem {

namespace {

const char* result_text(int32_t r) { return r == 1 ? "memory up" : r == 0 ? "failed" : "register failure"; }

}  // namespace

Command add_show(CLI::App& app) {
    struct State {
        std::string id, format = "text", power_mode;
    };
    auto st = std::make_shared<State>();
    CLI::App* cmd = app.add_subcommand("show",
                                       "show a configuration ID: its table row and a bring-up at every "
                                       "clock_index");
    cmd->footer(
        "For clock_index 0 to 13 and the family's reserved values: clock_index after dispatch, memory clock,\n"
        "usable size, the map value the call reports, the result on a healthy simulated chip and the\n"
        "virtual time of the bring-up. Then each form the bring-ups take (text only): the values stored to the\n"
        "controller's set-up words and the DRAM commands decoded, each count also as time at the memory clock.");
    cmd->add_option("ID", st->id, "configuration ID")->required();
    cmd->add_option("--power-mode", st->power_mode, "power mode (default 0)")->type_name("N");
    cmd->add_option("--format", st->format, "text or jsonl")->type_name("text|jsonl");
    return {
        cmd, [st] {
            if (st->format != "text" && st->format != "jsonl")
                usage_fail("--format is text or jsonl, not '" + st->format + "'");
            const bool jsonl = st->format == "jsonl";
            const uint32_t id = parse_u32("ID", st->id);
            const uint32_t power = st->power_mode.empty() ? 0 : parse_u32("--power-mode", st->power_mode);
            const tov::Family fam = tov::classify(id);
            const std::string id_hex = strf("0x%x", id);
            // Refused like any bad argument, in either format: one line on stderr, status 2.
            if (fam == tov::Family::none)
                usage_fail(
                    strf("ID %s is in none of the three families: %s; tov_mem_init returns 0 and touches nothing",
                         id_hex.c_str(), family_bits_text(id).c_str()));
            const std::string power_note = power_mode_note(id, power);
            const tov::ConfigTable t = tov::family_table(fam);
            bool matched = false;
            const tov::ConfigEntry* row = tov::lookup(t, id, &matched);
            const uint32_t row_no = static_cast<uint32_t>(row - t.rows);
            const bool remapped = matched && row->clock_adjust;
            if (jsonl) {
                nlohmann::ordered_json j{
                    {"id", id},          {"id_hex", id_hex},    {"family", t.name},
                    {"row", row_no},     {"listed", matched},   {"routine", tov::routine_name(row->routine)},
                    {"size", row->size}, {"bus", row->bus},     {"mode", row->mode},
                    {"map", row->map},   {"remapped", remapped}};
                if (!power_note.empty()) j["note"] = {power_note};
                out("%s\n", j.dump().c_str());
            } else {
                out("ID 0x%x: %s table, row %u%s\n", id, t.name, row_no,
                    matched ? "" : strf(" (not listed: the family's default row 0x%x runs)", row->id).c_str());
                out("routine        %s\n", tov::routine_name(row->routine));
                out("size           %s, bus flag %u, mode flag %u, map value %u%s\n", size_text(row->size).c_str(),
                    row->bus, row->mode, row->map,
                    fam == tov::map_by_size_family ? " (the dispatcher may replace it after the routine: column map)"
                                                   : "");
                out("clock_index    %s\n",
                    remapped ? "remapped: 0 -> 5, 1 and 2 -> 7, 3..6 -> 8..11" : "passed on unchanged");
                const tov::FixedClock* fixed = matched ? tov::fixed_clock_of(id) : nullptr;
                if (fixed) out("               then fixed at %u for this ID\n", fixed->clock_index);
                if (!power_note.empty()) out("note           %s\n", power_note.c_str());
                out("\n%11s  %9s  %12s  %-11s  %3s  %-18s  %10s\n", "clock_index", "after", "memory clock", "size",
                    "map", "result", "time ms");
            }
            // Forms in the order first seen, with the clock_index values that run each.
            std::vector<std::pair<std::string, std::vector<uint32_t>>> forms;
            std::vector<uint32_t> clocks;
            for (uint32_t c = 0; c <= 13; ++c) clocks.push_back(c);
            for (uint32_t c : tov::reserved_clocks(fam)) clocks.push_back(c);
            for (uint32_t c : clocks) {
                RunOptions o;
                o.req.config_id = id;
                o.req.clock_index = c;
                o.req.power_mode = power;
                const tov::sim::RunResult r = execute(o);
                const tov::MemInitParams& p = r.record;
                const double time = ms(r.end_time - r.start_time);
                if (jsonl) {
                    nlohmann::ordered_json j{{"clock_index", c}, {"after_dispatch", p.clock_index}};
                    j["mem_clock_khz"] = p.mem_clock_khz == tov::sim::fill_word
                                             ? nlohmann::ordered_json()
                                             : nlohmann::ordered_json(p.mem_clock_khz);
                    j["mem_size_out"] = p.mem_size_out == tov::sim::fill_word ? nlohmann::ordered_json()
                                                                              : nlohmann::ordered_json(p.mem_size_out);
                    j["map_value"] = p.map_value == tov::sim::fill_word ? nlohmann::ordered_json()
                                                                        : nlohmann::ordered_json(p.map_value);
                    j["ret"] = r.ret;
                    j["elapsed"] = r.end_time - r.start_time;
                    j["commands"] = r.commands;
                    out("%s\n", j.dump().c_str());
                } else {
                    const std::string khz =
                        p.mem_clock_khz == tov::sim::fill_word ? "not written" : strf("%u kHz", p.mem_clock_khz);
                    const std::string size =
                        p.mem_size_out == tov::sim::fill_word ? "not written" : size_text(p.mem_size_out);
                    const std::string map = p.map_value == tov::sim::fill_word ? "-" : strf("%u", p.map_value);
                    out("%11s  %10s  %12s  %-11s  %3s  %-18s  %10.3f\n", clock_text(c).c_str(),
                        clock_text(p.clock_index).c_str(), khz.c_str(), size.c_str(), map.c_str(),
                        strf("%d %s", r.ret, result_text(r.ret)).c_str(), time);
                    const std::string form = form_text(r, analyse(r));
                    auto f = std::find_if(forms.begin(), forms.end(), [&](const auto& x) { return x.first == form; });
                    if (f == forms.end()) f = forms.insert(forms.end(), {form, {}});
                    f->second.push_back(c);
                }
            }
            if (!jsonl) {
                // The set-up of each form decoded, so that a wrong word or count shows beside the others.
                out("\nforms: the controller words stored and the DRAM commands, each count held at the memory "
                    "clock\n");
                for (size_t i = 0; i < forms.size(); ++i) {
                    std::string which;
                    for (uint32_t c : forms[i].second) which += (which.empty() ? "" : ", ") + clock_text(c);
                    out("\nform %zu (clock_index %s)\n%s", i + 1, which.c_str(), forms[i].first.c_str());
                }
            }
            return exit_ok;
        }};
}

}  // namespace tovmem
