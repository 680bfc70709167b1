// SPDX-License-Identifier: Apache-2.0
// Helpers shared by the tests: run a bring-up on the simulated chip and pick
// the bus trace apart.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/command_decode.h"
#include "sim/random_registers.h"
#include "sim/simulator.h"
#include "sim/trace_format.h"
#include "tests/generated_file.h"

namespace tov::test {

using sim::Event;
using sim::EventKind;
using sim::RunResult;

inline RunResult run(uint32_t config_id, uint32_t clock_index, uint32_t power_mode = 0,
                     const sim::ChipConfig& chip = {}, const sim::ClockConfig& clock = {}) {
    sim::RunRequest req;
    req.config_id = config_id;
    req.clock_index = clock_index;
    req.power_mode = power_mode;
    req.chip = chip;
    req.clock = clock;
    return sim::run_bring_up(req);
}

// A chip whose every mapped register starts at a random value drawn from the
// run's rng_seed (TOV_SEED or the fixed default) for this ID, clock and power
// mode; the presets already in `chip` stay. A model of the run reads its
// start values from the returned presets.
inline sim::ChipConfig random_chip(uint32_t config_id, uint32_t clock_index, uint32_t power_mode = 0,
                                   sim::ChipConfig chip = {}) {
    sim::add_random_registers(chip, sim::register_seed(), sim::scenario_key(config_id, clock_index, power_mode));
    return chip;
}

// A record as the dispatcher hands it to a routine, for calling a routine
// directly through sim::run_routine.
inline MemInitParams routine_record(uint32_t clock_index, uint32_t mem_size, uint32_t bus_flag, uint32_t mode_flag,
                                    uint32_t power_mode = 0) {
    MemInitParams p = sim::initial_record(0, clock_index, power_mode);
    p.mem_size = mem_size;
    p.bus_flag = bus_flag;
    p.mode_flag = mode_flag;
    return p;
}

// Compact form of every event ("W 810 26a0936", "R 828 1", "T 1", "M 2", "A 0", "X msg").
constexpr uint32_t MiB = 0x100000;

// The tick counts of the run's busy-waits, in order.
inline std::vector<uint32_t> tick_delays(const RunResult& res) {
    std::vector<uint32_t> out;
    for (const Event& e : res.events)
        if (e.kind == EventKind::delay_ticks) out.push_back(e.val);
    return out;
}

// First and last of a list; a marker no register holds when it is empty.
inline uint32_t first(const std::vector<uint32_t>& v) { return v.empty() ? 0xdeadbeef : v.front(); }
inline uint32_t last(const std::vector<uint32_t>& v) { return v.empty() ? 0xdeadbeef : v.back(); }

inline std::vector<std::string> trace_of(const RunResult& r) { return sim::compact(r.events); }

// Stores only, as (offset, value).
struct Store {
    uint32_t off;
    uint32_t val;
    bool operator==(const Store&) const = default;
};
inline std::vector<Store> stores(const RunResult& r) {
    std::vector<Store> out;
    for (const Event& e : r.events)
        if (e.kind == EventKind::store) out.push_back({e.off, e.val});
    return out;
}
inline std::vector<uint32_t> stores_to(const RunResult& r, uint32_t off) {
    std::vector<uint32_t> out;
    for (const Event& e : r.events)
        if (e.kind == EventKind::store && e.off == off) out.push_back(e.val);
    return out;
}
inline size_t loads_of(const RunResult& r, uint32_t off) {
    size_t n = 0;
    for (const Event& e : r.events) n += e.kind == EventKind::load && e.off == off;
    return n;
}

// DRAM commands in issue order: the word last stored to 0x824 before each
// nonzero store to 0x820.
struct Command {
    uint32_t code;
    uint32_t word;
    bool operator==(const Command&) const = default;
};
inline std::vector<Command> commands(const RunResult& r) {
    std::vector<Command> out;
    uint32_t word = 0;
    for (const Event& e : r.events) {
        if (e.kind != EventKind::store) continue;
        if (e.off == 0x824) word = e.val;
        if (sim::starts_command(e)) out.push_back({e.val, word});
    }
    return out;
}

inline std::vector<std::string> messages(const RunResult& r) {
    std::vector<std::string> out;
    for (const Event& e : r.events)
        if (e.kind == EventKind::trace) out.push_back(e.msg);
    return out;
}

// Index of the first event at or after `from` whose compact form equals `what`, or -1.
inline long find_event(const RunResult& r, const std::string& what, size_t from = 0) {
    const auto c = trace_of(r);
    for (size_t i = from; i < c.size(); ++i)
        if (c[i] == what) return static_cast<long>(i);
    return -1;
}

// True if `seq` occurs as a contiguous run in the compact trace.
inline bool contains_run(const RunResult& r, const std::vector<std::string>& seq) {
    const auto c = trace_of(r);
    if (seq.empty()) return true;
    for (size_t i = 0; i + seq.size() <= c.size(); ++i) {
        bool ok = true;
        for (size_t j = 0; j < seq.size() && ok; ++j) ok = c[i + j] == seq[j];
        if (ok) return true;
    }
    return false;
}

// The compact trace with every stable read folded to one "R off val" line and
// delay-free: handy for comparing a routine against a written-out sequence.
inline std::vector<std::string> accesses(const RunResult& r) {
    std::vector<std::string> out;
    const auto& ev = r.events;
    for (size_t i = 0; i < ev.size(); ++i) {
        const Event& e = ev[i];
        if (e.kind == EventKind::load) {
            size_t j = i;
            while (j + 1 < ev.size() && ev[j + 1].kind == EventKind::load && ev[j + 1].off == e.off) ++j;
            out.push_back(sim::event_compact(ev[j]));
            i = j;
        } else {
            out.push_back(sim::event_compact(e));
        }
    }
    return out;
}

// Two bus traffics, one access a line (trace_of, accesses): equal, or a
// failure that shows the accesses that differ as a unified diff.
inline ::testing::AssertionResult same_traffic(const std::vector<std::string>& run,
                                               const std::vector<std::string>& expected) {
    if (run == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the bus traffic differs (- the run, " << run.size()
                                         << " accesses; + expected, " << expected.size() << "):\n"
                                         << generated::unified_diff(run, expected);
}

// Number of stable reads of a register (runs of loads folded as in accesses()).
inline size_t stable_reads(const RunResult& r, uint32_t off) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "R %x ", off);
    size_t n = 0;
    for (const auto& a : accesses(r)) n += a.rfind(prefix, 0) == 0;
    return n;
}

}  // namespace tov::test
