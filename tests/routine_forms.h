// SPDX-License-Identifier: Apache-2.0
// Every init routine through the first table row naming it, and the distinct
// sequences ("forms") that its clock selectors and, in the first family, its
// power modes select on a healthy chip.
#pragma once

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "meminit/entry/config_table.h"
#include "sim/command_decode.h"
#include "sim/simulator.h"
#include "sim/trace_format.h"

namespace tov::test {

struct RoutineRow {
    std::string name;
    const ConfigEntry* row;
    Family family;
};

// gtest names a parameter by its routine.
inline void PrintTo(const RoutineRow& r, std::ostream* os) { *os << r.name; }

inline std::vector<RoutineRow> first_rows() {
    std::vector<RoutineRow> out;
    std::set<InitRoutine> seen;
    for (Family f : {Family::halden, Family::orlit, Family::varnel}) {
        const ConfigTable t = family_table(f);
        for (uint32_t i = 0; i < t.count; ++i)
            if (seen.insert(t.rows[i].routine).second) out.push_back({routine_name(t.rows[i].routine), &t.rows[i], f});
    }
    return out;
}

// Clock selectors tried, the ordinary ones first: a reserved value makes a
// form of its own only when it selects a sequence of its own.
constexpr uint32_t candidate_clocks[] = {0,          1,          2,          3,          4,          5,        6,
                                         7,          8,          9,          10,         11,         12,       13,
                                         0xffff0001, 0xffff0002, 0xffff0003, 0xffff0004, 0xffff0005, 0x1000000};
inline bool is_reserved_clock(uint32_t clock) { return clock > 13; }

struct Form {
    sim::RunRequest req;  // the healthy request
    sim::RunResult healthy;
};

// Everything a healthy run shows: result, outputs and every event with its time.
inline std::string signature(const sim::RunResult& r) {
    std::string s = std::to_string(r.ret) + ' ' + std::to_string(r.record.mem_clock_khz) + ' ' +
                    std::to_string(r.record.mem_size_out) + '\n';
    for (const sim::Event& e : r.events) s += sim::event_jsonl(e) + '\n';
    return s;
}

inline std::vector<Form> forms_of(const RoutineRow& rr) {
    std::vector<uint32_t> modes = {0};
    if (rr.family == Family::halden) modes = {0, 1, 2, 3, 4};
    std::vector<Form> out;
    std::set<std::string> seen;
    for (uint32_t mode : modes) {
        for (uint32_t clock : candidate_clocks) {
            Form f;
            f.req.config_id = rr.row->id;
            f.req.clock_index = clock;
            f.req.power_mode = mode;
            f.healthy = sim::run_bring_up(f.req);
            if (seen.insert(signature(f.healthy)).second) out.push_back(std::move(f));
        }
    }
    return out;
}

// A run's timing skeleton: every event with its time but without its values,
// except a delay's count and whether a store starts a command. What the
// clock governs (how long each wait lasts, when a command completes) depends
// on nothing else, so two runs with one skeleton on a fresh clock behave
// alike on any clock and under any preemption, and a sweep over clocks runs
// one of them.
inline std::string timing_skeleton(const sim::RunResult& r) {
    std::string s;
    for (const sim::Event& e : r.events) {
        s += std::to_string(int(e.kind)) + ':' + std::to_string(e.off) + '@' + std::to_string(e.time - r.start_time);
        if (e.kind == sim::EventKind::delay_ticks || e.kind == sim::EventKind::delay_ms)
            s += ':' + std::to_string(e.val);
        if (sim::starts_command(e)) s += 'c';
        s += ' ';
    }
    return s;
}

// The request of a form with the n-th DRAM command stuck.
inline sim::RunRequest with_stuck_command(const Form& f, uint32_t n) {
    sim::RunRequest q = f.req;
    q.chip.cmd_stuck_at = n;
    return q;
}

// Index of the event that started the n-th DRAM command (a nonzero store to
// the command register), or -1.
inline long command_start(const sim::RunResult& r, uint32_t n) {
    uint32_t seen = 0;
    for (size_t i = 0; i < r.events.size(); ++i) {
        const sim::Event& e = r.events[i];
        if (sim::starts_command(e) && ++seen == n) return static_cast<long>(i);
    }
    return -1;
}

// Index of the first load of the status register at or after `from`, or -1.
inline long first_status_load(const sim::RunResult& r, size_t from) {
    for (size_t i = from; i < r.events.size(); ++i)
        if (r.events[i].kind == sim::EventKind::load && r.events[i].off == reg::DRC_CMD_STATUS)
            return static_cast<long>(i);
    return -1;
}

}  // namespace tov::test
