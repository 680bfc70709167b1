// SPDX-License-Identifier: Apache-2.0
// Simulated register block of the video processor, as the library sees it:
// a plain register file plus the few registers whose loads or stores have
// side effects (the command done bit, the register test client, the aux word).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <unordered_map>

namespace tov::sim {

struct ChipConfig {
    std::map<uint32_t, uint32_t> presets;  // register contents at start (others 0)
    uint32_t cmd_latency = 0;              // loads of 0x828 for which a new command stays in flight
    uint32_t cmd_latency_us = 0;           // and true time (microseconds) for which it stays in flight
    uint32_t cmd_stuck_at = 0;             // number of the command that never completes (0: none)
    std::set<uint32_t> unstable;           // offsets whose odd-numbered loads return the inverted value
    uint32_t fb_corrupt[2] = {0, 0};       // XOR applied to test-client writes per slot
    uint32_t aux_value = 0;                // the word behind aux_base
    // Tests: values the next loads of an offset return, before its stored word.
    std::map<uint32_t, std::deque<uint32_t>> load_script;
};

class Chip {
public:
    explicit Chip(const ChipConfig& cfg);

    // `now`: the true time of the access (100 ns units), which a command's
    // latency in time is measured in.
    uint32_t load(uint32_t off, uint64_t now = 0);
    void store(uint32_t off, uint32_t value, uint64_t now = 0);
    uint32_t aux_load() const { return cfg_.aux_value; }

    // Stored word without the side effects of a load.
    uint32_t word(uint32_t off) const;
    uint32_t commands_started() const { return commands_; }
    uint32_t test_slot(uint32_t slot) const { return slots_[slot & 1]; }

private:
    bool command_done(uint64_t now);

    ChipConfig cfg_;
    std::unordered_map<uint32_t, uint32_t> regs_;
    std::unordered_map<uint32_t, uint64_t> unstable_loads_;
    uint32_t commands_ = 0;
    uint32_t in_flight_loads_ = 0;  // loads of 0x828 left before the command is done
    uint64_t done_at_ = 0;          // true time from which the command is done
    bool stuck_ = false;
    uint32_t slots_[2] = {0, 0};
};

}  // namespace tov::sim
