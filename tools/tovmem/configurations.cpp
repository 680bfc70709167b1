// SPDX-License-Identifier: Apache-2.0
// The kit's configuration table (docs/configurations.md). Built into tovmem
// and into the library tests, so it needs the host library and the sweep's
// requests only.
#include "tools/tovmem/configurations.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <set>

#include "meminit/entry/config_table.h"
#include "sim/image/sweep.h"
#include "sim/simulator.h"

namespace tovmem {
namespace {

std::string config_strf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string config_strf(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return std::string(buf, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

void config_append(std::string& text, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void config_append(std::string& text, const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    text.append(buf, n < 0 ? 0 : std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

std::string config_size_text(uint32_t bytes) {
    if (bytes % 0x100000 == 0) return config_strf("%u MiB", bytes / 0x100000);
    return config_strf("0x%x bytes", bytes);
}

// The DRAM part and board variant as the routine's name gives them.
std::string part_of(const std::string& routine) {
    std::string s = routine.substr(routine.find('_', sizeof("meminit_") - 1) + 1);  // past the family
    for (const char* variant : {"high_1down_", "low_", "high_", "common_", "Common_"})
        if (s.rfind(variant, 0) == 0) s = s.substr(std::string(variant).size());
    return s.rfind("id", 0) == 0 ? "(not named)" : s;
}

std::string clock_rule(const tov::ConfigEntry& e) {
    if (const tov::FixedClock* f = tov::fixed_clock_of(e.id)) return config_strf("always %u", f->clock_index);
    return e.clock_adjust ? "remapped: 0 → 5, 1–2 → 7, 3–6 → 8–11" : "as given";
}

// The integrator's table: every ID and every routine's memory clock per
// clock_index, from the tables and from runs on the simulated chip.
std::string configurations_text() {
    std::string text;
    config_append(
        text,
        "# Configurations\n\n"
        "Generated from the library's tables by `tovmem list --format markdown`; a test keeps this file equal to\n"
        "its output. `config_id` picks the row, the row the routine; `clock_index` selects the memory clock.\n\n"
        "| config_id | family | routine | DRAM part | size | clock_index |\n|---|---|---|---|---|---|\n");
    for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel}) {
        const tov::ConfigTable t = tov::family_table(f);
        for (uint32_t i = 0; i < t.count; ++i) {
            const tov::ConfigEntry& e = t.rows[i];
            const std::string r = tov::routine_name(e.routine);
            config_append(text, "| 0x%x | %s | `%s` | %s | %s | %s |\n", e.id, t.name, r.c_str(), part_of(r).c_str(),
                          config_size_text(e.size).c_str(), clock_rule(e).c_str());
        }
    }
    config_append(
        text,
        "\nAn ID that a family's table does not list runs its family's first row. The memory clock (MHz) that each\n"
        "routine sets up at each clock_index, through the first row naming it (so after that row's clock_index\n"
        "rule), on a healthy chip at power mode 0; – where it returns without bringing the memory up:\n\n"
        "| routine |");
    for (uint32_t c = 0; c <= 13; ++c) config_append(text, " %u |", c);
    config_append(text, "\n|---|");
    for (uint32_t c = 0; c <= 13; ++c) config_append(text, "---|");
    config_append(text, "\n");
    uint32_t highest = 0;
    std::set<tov::InitRoutine> seen;
    for (tov::Family f : {tov::Family::halden, tov::Family::orlit, tov::Family::varnel}) {
        const tov::ConfigTable t = tov::family_table(f);
        for (uint32_t i = 0; i < t.count; ++i) {
            if (!seen.insert(t.rows[i].routine).second) continue;
            config_append(text, "| `%s` |", tov::routine_name(t.rows[i].routine));
            for (uint32_t c = 0; c <= 13; ++c) {
                tov::sim::RunRequest q;
                q.config_id = t.rows[i].id;
                q.clock_index = c;
                const tov::sim::RunResult r = tov::sim::run_bring_up(q);
                for (const tov::sim::Event& ev : r.events)
                    if (ev.kind == tov::sim::EventKind::load || ev.kind == tov::sim::EventKind::store)
                        highest = std::max(highest, ev.off);
                if (r.ret == 1 && r.commands > 0)
                    config_append(text, " %s |", config_strf("%.2f", r.record.mem_clock_khz / 1000.0).c_str());
                else
                    config_append(text, " – |");
            }
            config_append(text, "\n");
            // Every path, for the register window: the reserved clock values and power modes too.
            for (uint32_t c : tov::sim::image::every_reserved_clock())
                for (uint32_t pm = 0; pm <= 4; ++pm)
                    for (const tov::sim::Event& ev :
                         tov::sim::run_bring_up(tov::sim::image::request(t.rows[i].id, c, pm)).events)
                        if (ev.kind == tov::sim::EventKind::load || ev.kind == tov::sim::EventKind::store)
                            highest = std::max(highest, ev.off);
        }
    }
    config_append(
        text,
        "\nThe routines touch register offsets up to 0x%x: map at least 0x%x bytes of the register block\n"
        "(`reg_base`), non-cached. The first family's reset pulse (power modes 2 and 3) loads the one word at\n"
        "`aux_base` and ignores its value; an `aux_base` of 0 skips that load.\n",
        highest, highest + 4);
    return text;
}

}  // namespace

std::string configurations_markdown() { return configurations_text(); }

}  // namespace tovmem
