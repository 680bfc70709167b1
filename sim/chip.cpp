// SPDX-License-Identifier: Apache-2.0
#include "sim/chip.h"

#include "sim/command_decode.h"

namespace tov::sim {

Chip::Chip(const ChipConfig& cfg) : cfg_(cfg) {
    for (const auto& [off, v] : cfg.presets) regs_[off] = v;
}

uint32_t Chip::word(uint32_t off) const {
    auto it = regs_.find(off);
    return it == regs_.end() ? 0 : it->second;
}

bool Chip::command_done(uint64_t now) {
    if (stuck_) return false;
    if (in_flight_loads_ > 0) {
        --in_flight_loads_;
        return false;
    }
    return now >= done_at_;
}

uint32_t Chip::load(uint32_t off, uint64_t now) {
    auto script = cfg_.load_script.find(off);
    if (script != cfg_.load_script.end() && !script->second.empty()) {
        const uint32_t v = script->second.front();
        script->second.pop_front();
        return v;
    }
    uint32_t v = word(off);
    if (off == reg::DRC_CMD_STATUS) v = (v & ~dram::status_done) | (command_done(now) ? dram::status_done : 0u);
    if (cfg_.unstable.count(off)) {
        const uint64_t n = ++unstable_loads_[off];
        if (n & 1) v ^= 0xffffffffu;
    }
    return v;
}

void Chip::store(uint32_t off, uint32_t value, uint64_t now) {
    regs_[off] = value;
    if (starts_command(off, value)) {
        ++commands_;
        stuck_ = cfg_.cmd_stuck_at != 0 && commands_ == cfg_.cmd_stuck_at;
        in_flight_loads_ = cfg_.cmd_latency;
        done_at_ = now + uint64_t{cfg_.cmd_latency_us} * 10;
    } else if (off == reg::DRC_TEST_CTRL) {
        const uint32_t slot = reg::drc_test_ctrl::slot.of(value);
        if (value & reg::drc_test_ctrl::write)
            slots_[slot] = word(reg::DRC_TEST_DATA) ^ cfg_.fb_corrupt[slot];
        else
            regs_[reg::DRC_TEST_DATA] = slots_[slot];
    }
}

}  // namespace tov::sim
