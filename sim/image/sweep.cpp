// SPDX-License-Identifier: Apache-2.0
#include "sim/image/sweep.h"

#include "sim/image/pe_image.h"
#include "sim/trace_format.h"

#include <cstdio>
#include <set>

namespace tov::sim::image {
namespace {

// Appended piece by piece: GCC 12's -Wrestrict misfires on
// `"'" + std::string&&` in optimised builds.
std::string event_text(const Event& e) {
    std::string s(1, '\'');
    s += event_compact(e);
    s += "' at t=";
    s += std::to_string(e.time);
    return s;
}

}  // namespace

RunRequest request(uint32_t config_id, uint32_t clock_index, uint32_t power_mode) {
    RunRequest r;
    r.config_id = config_id;
    r.clock_index = clock_index;
    r.power_mode = power_mode;
    return r;
}

std::vector<uint32_t> every_reserved_clock() {
    std::set<uint32_t> all;
    for (Family f : {Family::halden, Family::orlit, Family::varnel})
        for (uint32_t c : reserved_clocks(f)) all.insert(c);
    return {all.begin(), all.end()};
}

namespace {

std::vector<uint32_t> sweep_clocks() {
    std::vector<uint32_t> clocks;
    for (uint32_t c = 0; c < 14; ++c) clocks.push_back(c);
    for (uint32_t c : every_reserved_clock()) clocks.push_back(c);
    return clocks;
}

// A request on a chip of random register contents (or zeros without an rng_seed).
RunRequest seeded(RunRequest r, RegisterSeed rng_seed) {
    if (rng_seed) add_random_registers(r.chip, *rng_seed, scenario_key(r.config_id, r.clock_index, r.power_mode));
    return r;
}

// The first table row naming each init routine, with its family.
std::vector<std::pair<Family, const ConfigEntry*>> first_rows() {
    std::vector<std::pair<Family, const ConfigEntry*>> out;
    std::set<InitRoutine> seen;
    for (Family f : {Family::halden, Family::orlit, Family::varnel}) {
        const ConfigTable t = family_table(f);
        for (uint32_t row = 0; row < t.count; ++row)
            if (seen.insert(t.rows[row].routine).second) out.emplace_back(f, &t.rows[row]);
    }
    return out;
}

}  // namespace

std::vector<Scenario> routine_sweep(RegisterSeed rng_seed) {
    std::vector<Scenario> out;
    for (const auto& first : first_rows())
        for (uint32_t clock : sweep_clocks())
            out.push_back({std::string(routine_name(first.second->routine)) + " (" + hex(first.second->id) +
                               ") clock " + hex(clock),
                           seeded(request(first.second->id, clock), rng_seed)});
    return out;
}

std::vector<Scenario> coarse_clock_sweep(RegisterSeed rng_seed) {
    std::vector<Scenario> out = routine_sweep(rng_seed);
    // A step that shares no factor with the period visits phases all over it.
    constexpr uint64_t phase_step = 12345;
    for (size_t i = 0; i < out.size(); ++i) {
        ClockConfig& c = out[i].req.clock;
        c = ClockConfig::coarse(windows_clock_period, (i * phase_step) % windows_clock_period);
        out[i].name += ", clock phase " + std::to_string(c.phase);
        if (i % 3 == 0) {
            out[i].req.chip.cmd_stuck_at = 1 + static_cast<uint32_t>(i / 3 % 10);
            out[i].name += ", command " + std::to_string(out[i].req.chip.cmd_stuck_at) + " stuck";
        }
    }
    return out;
}

std::vector<Scenario> table_sweep(Family f, RegisterSeed rng_seed) {
    std::vector<Scenario> out;
    const ConfigTable t = family_table(f);
    const uint32_t modes = f == Family::halden ? 5 : 1;
    const std::vector<uint32_t> clocks = sweep_clocks();
    for (uint32_t row = 0; row < t.count; ++row)
        for (uint32_t clock : clocks)
            for (uint32_t pm = 0; pm < modes; ++pm) {
                RunRequest r = seeded(request(t.rows[row].id, clock, pm), rng_seed);
                r.chip.aux_value = scenario_aux_word(r.config_id, clock);
                out.push_back({hex(r.config_id) + " clock " + hex(clock) + " power " + std::to_string(pm), r});
            }
    return out;
}

std::vector<Scenario> fault_sweep(RegisterSeed rng_seed) {
    std::vector<Scenario> out;
    for (const auto& first : first_rows()) {
        const Family f = first.first;
        const ConfigEntry* entry = first.second;
        const uint32_t id = entry->id;
        for (uint32_t clock : {0u, 10u}) {
            const std::string base =
                std::string(routine_name(entry->routine)) + " (" + hex(id) + ") clock " + std::to_string(clock) + ": ";
            // The registers the healthy bring-up reads, for the faults
            // that act on reads.
            const RunResult healthy = run_bring_up(seeded(request(id, clock), rng_seed));
            std::vector<uint32_t> read;
            for (const Event& e : healthy.events)
                if (e.kind == EventKind::load && (read.empty() || read.back() != e.off)) read.push_back(e.off);

            auto add = [&](const std::string& what, const RunRequest& r) { out.push_back({base + what, r}); };
            RunRequest r = seeded(request(id, clock), rng_seed);
            r.chip.cmd_latency = 3;
            add("command latency 3", r);
            for (uint32_t n : {1u, 5u, 99u}) {
                r = seeded(request(id, clock), rng_seed);
                r.chip.cmd_stuck_at = n;
                add("command " + std::to_string(n) + " stuck", r);
            }
            r = seeded(request(id, clock), rng_seed);
            r.chip.fb_corrupt[0] = 1;
            r.chip.fb_corrupt[1] = 0x80000000;
            add("test slots corrupted", r);
            r = seeded(request(id, clock), rng_seed);
            r.chip.unstable.insert(0x828);
            add("0x828 unstable", r);
            for (uint32_t off : read)
                if (off != 0x828) {
                    r = seeded(request(id, clock), rng_seed);
                    r.chip.unstable.insert(off);
                    add(hex(off) + " unstable", r);
                    break;
                }
            r = seeded(request(id, clock), rng_seed);
            for (uint32_t off : read) r.chip.presets[off] = 0x5a5a5a5a ^ (off * 0x01010101u);
            add("registers preset", r);
            r = seeded(request(id, clock, f == Family::halden ? 2 : 0), rng_seed);
            r.no_aux = true;
            add("no aux region", r);
            r = seeded(request(id, clock, f == Family::halden ? 3 : 0), rng_seed);
            r.chip.aux_value = 0xfeedf00d;
            r.clock.start = 0x100000000ull - 150000;  // low 32 bits wrap within the first waits
            add("clock about to wrap", r);
        }
    }
    for (uint32_t id : {0x30000999u, 0x1000999u, 0x999u, 0x2000000u, 0x10000u, 0xffffffffu})
        for (uint32_t clock : {0u, 10u})
            out.push_back(
                {"unlisted " + hex(id) + " clock " + std::to_string(clock), seeded(request(id, clock), rng_seed)});
    return out;
}

std::vector<Event> bus_events(const std::vector<Event>& events) {
    std::vector<Event> out;
    for (const Event& e : events)
        if (e.kind == EventKind::store || e.kind == EventKind::load || e.kind == EventKind::aux_load) out.push_back(e);
    return out;
}

std::string first_difference(const RunResult& host, const RunResult& image) {
    const std::vector<Event> h = bus_events(host.events);
    const std::vector<Event> g = bus_events(image.events);
    for (size_t i = 0; i < h.size() || i < g.size(); ++i) {
        const bool hv = i < h.size(), gv = i < g.size();
        if (hv && gv && h[i].kind == g[i].kind && h[i].off == g[i].off && h[i].val == g[i].val &&
            h[i].time == g[i].time)
            continue;
        return "bus event " + std::to_string(i) + ": host " + (hv ? event_text(h[i]) : "(none)") + ", image " +
               (gv ? event_text(g[i]) : "(none)");
    }
    if (host.ret != image.ret)
        return "result: host " + std::to_string(host.ret) + ", image " + std::to_string(image.ret);
    uint32_t a[record_words], b[record_words];
    record_to_words(host.record, a);
    record_to_words(image.record, b);
    for (size_t i = 0; i < record_words; ++i)
        if (a[i] != b[i])
            return "record word " + std::to_string(i + 2) + ": host " + hex(a[i]) + ", image " + hex(b[i]);
    if (host.start_time != image.start_time || host.end_time != image.end_time)
        return "call time: host " + std::to_string(host.start_time) + ".." + std::to_string(host.end_time) +
               ", image " + std::to_string(image.start_time) + ".." + std::to_string(image.end_time);
    if (host.commands != image.commands)
        return "commands started: host " + std::to_string(host.commands) + ", image " + std::to_string(image.commands);
    return "";
}

}  // namespace tov::sim::image
