// SPDX-License-Identifier: Apache-2.0
#include "sim/simulator.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tov::sim {
namespace {
// Per thread: each thread drives its own chip, so bring-ups on two threads
// run at the same time without seeing each other's simulator.
thread_local Simulator* t_active = nullptr;
}  // namespace

uint64_t VirtualClock::reading_at(uint64_t t) const {
    if (cfg_.period == 0) return t;
    if (t < cfg_.phase) return 0;  // before the first update since boot
    return t - (t - cfg_.phase) % cfg_.period;
}

uint64_t VirtualClock::read() {
    // A preemption after reading N falls just before reading N + 1, after
    // whatever the thread did between the two: the worst moment for a wait
    // that polls and then reads the clock.
    for (const Preemption& p : cfg_.preempt)
        if (p.after_reads == reads_) now_ += p.units;
    uint64_t t;
    if (reads_ < cfg_.script.size()) {
        t = cfg_.script[reads_];
        now_ = t + cfg_.step;
    } else {
        t = reading_at(now_);
        now_ += cfg_.step;
    }
    ++reads_;
    return t;
}

Simulator::Simulator(const ChipConfig& chip, const ClockConfig& clock, Keep keep)
    : call_{.ctx = {reg_base, aux_base}, .lines = 0, .record = {}},
      chip_(chip),
      clock_(clock),
      keep_(keep),
      record_(keep != Keep::nothing),
      previous_(t_active) {
    t_active = this;
}

Simulator::~Simulator() { t_active = previous_; }

Simulator* Simulator::active() { return t_active; }

uint32_t Simulator::offset_of(uintptr_t addr) const {
    const uintptr_t base = call_.ctx.reg_base;
    if (addr < base || addr - base >= reg_span || (addr & 3) != 0) {
        std::fprintf(stderr, "simulator: access outside the register block at %#llx\n",
                     static_cast<unsigned long long>(addr));
        std::abort();
    }
    return static_cast<uint32_t>(addr - base);
}

uint32_t Simulator::mmio_load(uintptr_t addr) {
    const uint64_t t = clock_.now();
    if (addr == aux_base) {
        const uint32_t v = chip_.aux_load();
        if (record_) events_.push_back({EventKind::aux_load, 0, v, t, {}});
        return v;
    }
    const uint32_t off = offset_of(addr);
    const uint32_t v = chip_.load(off, t);
    if (record_) events_.push_back({EventKind::load, off, v, t, {}});
    return v;
}

void Simulator::mmio_store(uintptr_t addr, uint32_t value) {
    const uint32_t off = offset_of(addr);
    const uint64_t t = clock_.now();
    chip_.store(off, value, t);
    if (record_) events_.push_back({EventKind::store, off, value, t, {}});
}

void Simulator::record_trace(std::string msg) {
    if (record_) events_.push_back({EventKind::trace, 0, 0, clock_.now(), std::move(msg)});
}

void Simulator::record_delay(char kind, uint32_t n) {
    if (record_)
        events_.push_back({kind == 't' ? EventKind::delay_ticks : EventKind::delay_ms, 0, n, clock_.now(), {}});
}

MemInitParams initial_record(uint32_t config_id, uint32_t clock_index, uint32_t power_mode) {
    MemInitParams p;
    p.reg_ctx = nullptr;
    p.config_id = config_id;
    p.clock_index = clock_index;
    p.mem_size = p.bus_flag = p.mode_flag = fill_word;
    for (auto& w : p.reserved_a) w = fill_word;
    p.power_mode = power_mode;
    for (auto& w : p.reserved_b) w = fill_word;
    p.mem_clock_khz = p.mem_size_out = p.map_value = fill_word;
    return p;
}

// config_id to map_value are consecutive 32-bit fields on every target.
static_assert(offsetof(MemInitParams, map_value) - offsetof(MemInitParams, config_id) ==
              (record_words - 1) * sizeof(uint32_t));

void record_to_words(const MemInitParams& p, uint32_t (&w)[record_words]) { std::memcpy(w, &p.config_id, sizeof w); }

MemInitParams record_from_words(const uint32_t (&w)[record_words]) {
    MemInitParams p;
    p.reg_ctx = nullptr;
    std::memcpy(&p.config_id, w, sizeof w);
    return p;
}

namespace {

RunResult run_with(InitRoutine routine, MemInitParams p, const ChipConfig& chip, const ClockConfig& clock,
                   bool no_aux = false, uintptr_t reg_base = Simulator::reg_base,
                   Simulator::Keep keep = Simulator::Keep::events_and_log) {
    Simulator sim(chip, clock, keep);
    if (no_aux) sim.context()->aux_base = 0;
    sim.context()->reg_base = reg_base;
    p.reg_ctx = sim.context();
    RunResult r;
    r.start_time = sim.clock().now();
    r.ret = routine(&p);
    r.end_time = sim.clock().now();
    p.reg_ctx = nullptr;
    r.record = p;
    r.events = sim.events();
    r.log = sim.log();
    r.commands = sim.chip().commands_started();
    return r;
}

}  // namespace

RunResult run_bring_up(const RunRequest& req) {
    return run_with(&tov_mem_init, initial_record(req.config_id, req.clock_index, req.power_mode), req.chip, req.clock,
                    req.no_aux, req.reg_base, req.keep);
}

RunResult run_routine(InitRoutine routine, const MemInitParams& record, const ChipConfig& chip) {
    return run_with(routine, record, chip, {});
}

}  // namespace tov::sim
