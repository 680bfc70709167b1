// SPDX-License-Identifier: Apache-2.0
// A simulated bring-up: chip, virtual interrupt-time clock and the bus trace.
// While a Simulator exists it is the target of the host platform seam for the
// thread that created it, so library code runs unchanged against it and each
// thread can drive a chip of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "meminit/entry/meminit.h"
#include "sim/chip.h"

namespace tov::sim {

enum class EventKind { store, load, aux_load, delay_ticks, delay_ms, trace };

struct Event {
    EventKind kind;
    uint32_t off = 0;   // register offset (store, load)
    uint32_t val = 0;   // value (store, load, aux_load) or count (delays)
    uint64_t time = 0;  // true virtual time when the event happened
    std::string msg;    // formatted trace message
};

// The interrupt-time clock. True (virtual) time advances by `step` on every
// reading. What a reading returns is the last clock update at or before the
// true time: without a period every reading is fresh (the true time); with
// one, updates come at phase + k × period, as Windows' interrupt time moves
// only at each clock interrupt (15.625 ms by default). A script, when given,
// supplies the first readings. A preemption makes true time jump between two
// readings, as when the thread loses the processor.
struct Preemption {
    uint64_t after_reads = 0;  // after this many readings of the call
    uint64_t units = 0;        // true time lost, in 100 ns units
};

struct ClockConfig {
    // 0.5 ms per reading: a 100 ms done-bit time-out costs about 200 polls
    // (600 loads), a 10 ms tick about 20 readings.
    static constexpr uint64_t default_step = 5000;
    uint64_t start = 0;
    uint64_t step = default_step;
    uint64_t period = 0;  // 100 ns units between updates; 0: continuous
    uint64_t phase = 0;   // updates at phase + k × period; below period
    std::vector<uint64_t> script;
    std::vector<Preemption> preempt;

    // A clock that moves every `period`, with the call starting one period
    // after boot, so that its first reading is as stale as a real one may
    // be: the clock's next update comes `phase` after the call's start (0:
    // the call starts on an update).
    static ClockConfig coarse(uint64_t period, uint64_t phase) {
        ClockConfig c;
        c.period = period;
        c.phase = phase;
        c.start = period;
        return c;
    }
};

class VirtualClock {
public:
    explicit VirtualClock(const ClockConfig& cfg) : cfg_(cfg), now_(cfg.start) {}
    // One reading of the clock (KeQueryInterruptTime); true time then moves on.
    uint64_t read();
    // The true time: when the next reading will be taken.
    uint64_t now() const { return now_; }
    uint64_t reads() const { return reads_; }
    // What a reading taken at true time t returns.
    uint64_t reading_at(uint64_t t) const;

private:
    ClockConfig cfg_;
    uint64_t now_;
    uint64_t reads_ = 0;
};

class Simulator {
public:
    // Addresses handed to the library as reg_base and aux_base; the host seam
    // maps them back onto the chip.
    static constexpr uintptr_t reg_base = 0x10000000;
    static constexpr uintptr_t aux_base = 0x20000000;
    static constexpr uint32_t reg_span = 0x10000;

    // What a run keeps beside its result, record and times: the bus events
    // and the diagnostic image's lines (formatting them is most of a run's
    // cost), or only the events, or neither (sweeps that only time calls).
    enum class Keep : uint8_t { events_and_log, events, nothing };
    explicit Simulator(const ChipConfig& chip = {}, const ClockConfig& clock = {}, Keep keep = Keep::events_and_log);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The simulator the host seam routes this thread's accesses to (nullptr: none).
    static Simulator* active();

    // The chip's register context. It is a NotedCall's, as every context
    // the library's primitives see in a noting build must be: a routine or
    // a block called directly numbers its lines from 1 on this simulator.
    RegContext* context() { return &call_.ctx; }
    Chip& chip() { return chip_; }
    VirtualClock& clock() { return clock_; }
    const std::vector<Event>& events() const { return events_; }

    // Seam targets.
    uint32_t mmio_load(uintptr_t addr);
    void mmio_store(uintptr_t addr, uint32_t value);
    uint64_t interrupt_time() { return clock_.read(); }
    void record_trace(std::string msg);
    void record_delay(char kind, uint32_t n);
    // The line the diagnostic image prints for a step or a trace message.
    void record_log_line(const char* line) {
        if (keep_ == Keep::events_and_log) log_.emplace_back(line);
    }
    bool keeps_log() const { return keep_ == Keep::events_and_log; }
    const std::vector<std::string>& log() const { return log_; }

    // What a call changes: the chip, the clock and what was recorded. The
    // image runner keeps it at a call's start, to run the call again from
    // the same state.
    struct State {
        Chip chip;
        VirtualClock clock;
        size_t events = 0, log = 0;
    };
    State state() const { return {chip_, clock_, events_.size(), log_.size()}; }
    void restore(const State& s) {
        chip_ = s.chip;
        clock_ = s.clock;
        events_.resize(s.events);
        log_.resize(s.log);
    }

private:
    uint32_t offset_of(uintptr_t addr) const;

    NotedCall call_;
    Chip chip_;
    VirtualClock clock_;
    std::vector<Event> events_;
    std::vector<std::string> log_;
    Keep keep_;
    bool record_;  // events
    Simulator* previous_;
};

// One bring-up through tov_mem_init on a fresh simulated chip.
struct RunRequest {
    uint32_t config_id = 0;
    uint32_t clock_index = 0;
    uint32_t power_mode = 0;
    bool no_aux = false;                       // the caller maps no aux region: aux_base is 0
    uintptr_t reg_base = Simulator::reg_base;  // where the caller has the register block mapped
    Simulator::Keep keep = Simulator::Keep::events_and_log;
    ChipConfig chip;
    ClockConfig clock;
};

// Figures of a run of the kernel image in the CPU emulator (absent on a host
// run): deepest stack byte written and instructions executed by the call.
struct ImageStats {
    uint32_t stack_bytes = 0;
    uint64_t instructions = 0;
    bool x64 = false;  // an AMD64 image in x86-64 mode, else i386 code
    // Brought up through a capture driver's start routine, which reported
    // caller_status (an NTSTATUS) for the result.
    bool through_caller = false;
    uint32_t caller_status = 0;
};

struct RunResult {
    int32_t ret = 0;
    MemInitParams record{};  // the record after the call (reg_ctx no longer valid)
    std::vector<Event> events;
    uint64_t start_time = 0;
    uint64_t end_time = 0;
    uint32_t commands = 0;    // commands started on the chip
    bool from_image = false;  // run by the kernel image; `image` holds its figures
    ImageStats image;
    // The diagnostic image's log of the call ("tovmem: {...}" lines): what
    // the host build's step notes give, or what a diagnostic image printed.
    std::vector<std::string> log;
};

constexpr uint32_t fill_word = 0xa5a5a5a5;

// The record a tool or test starts from: the three inputs as given, every
// other 32-bit field fill_word.
MemInitParams initial_record(uint32_t config_id, uint32_t clock_index, uint32_t power_mode);

// The fourteen 32-bit fields after reg_ctx (config_id to map_value), in
// record order: what a 32-bit caller lays out at offsets 4 to 56.
constexpr size_t record_words = 14;
void record_to_words(const MemInitParams& p, uint32_t (&w)[record_words]);
MemInitParams record_from_words(const uint32_t (&w)[record_words]);  // reg_ctx null

RunResult run_bring_up(const RunRequest& req);

// One init routine called directly, without the dispatcher, on a fresh
// simulated chip: `record` as given, its reg_ctx pointed at the chip. For
// rows and record values that no table row reaches.
RunResult run_routine(InitRoutine routine, const MemInitParams& record, const ChipConfig& chip = {});

}  // namespace tov::sim
