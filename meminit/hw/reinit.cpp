// SPDX-License-Identifier: Apache-2.0
// The controller-only re-initialisation: one runner for every family's rows.
#include "meminit/hw/reinit.h"

#include "meminit/hw/access.h"
#include "meminit/hw/blocks.h"
#include "meminit/hw/regs.h"

namespace tov {
namespace {

constexpr uint32_t hold_ticks = 20;        // every command and settle step at the slow clock
constexpr uint32_t pad_reset_ticks = 100;  // pads held in reset for about a second
constexpr uint32_t drc_814_slow = 0x1860413;

}  // namespace

void controller_reinit(Bus& bus, MemInitParams* p, const ControllerReinit& r) {
    p->mem_clock_khz = r.khz;
    p->mem_size_out = r.size_out;

    // Pads held in reset.
    if (r.blk_43c_held_first) bus.modify(reg::BLK_43C, reg::blk_43c::enable, 0);
    if (r.pads_all_ones)
        bus.write(reg::SYS_000, 0xffffffff);
    else
        bus.modify(reg::SYS_000, 0, reg::sys_000::pads_reset);
    if (r.pads_read_back) bus.read(reg::SYS_000);
    bus.ticks(pad_reset_ticks);
    bus.modify(reg::SYS_000, reg::sys_000::pads_reset, 0);

    // Lanes, then the controller words for the slow clock.
    static constexpr uint32_t lanes[] = {reg::DRC_LANE0, reg::DRC_LANE1, reg::DRC_LANE2, reg::DRC_LANE3};
    const uint32_t lane_count = r.all_lanes ? 4 : 2;
    bus.modify(reg::DRC_890, 0, reg::drc_890::lanes_follow);
    for (uint32_t i = 0; i < lane_count; ++i) bus.modify(lanes[i], reg::lane::off, reg::lane::on);
    bus.modify(reg::DRC_880, reg::lane::off, reg::lane::on);
    bus.modify(reg::DRC_CFG, ~r.cfg_kept, r.cfg);
    bus.modify(reg::DRC_814, ~0u, drc_814_slow);
    bus.modify(reg::DRC_818, ~r.drc_818_kept, r.drc_818);
    bus.modify(reg::DRC_81C, r.drc_81c_replaced, reg::drc_81c::reinit_slow);
    bus.ticks(hold_ticks);

    // The power-up list, each command waiting for the one before.
    const uint32_t first = r.cke_low_first ? 0 : 1;
    for (uint32_t i = first; i < dram::power_up_len && dram_wait_done(bus); ++i) {
        const dram::Command c = dram::power_up_command(r.commands, i);
        bus.modify(reg::DRC_CMD_WORD, ~dram::word_kept, c.word);
        bus.modify(reg::DRC_CMD, r.code_replaced, c.code);
        bus.ticks(hold_ticks);
        if (i - first < r.returned_to_idle) bus.write(reg::DRC_CMD, dram::idle);
    }

    if (r.hold_after_list) bus.ticks(hold_ticks);
    bus.write(reg::DRC_800, 0);
    bus.ticks(hold_ticks);
    if (r.drc_840_8a4) {
        bus.write(reg::DRC_840, 0x44444444);
        bus.write(reg::DRC_844, 0x44444444);
        bus.write(reg::DRC_8A0, 0xcccccccc);
        bus.write(reg::DRC_8A4, 0xcccccccc);
    }
    bus.modify(reg::BLK_43C, r.blk_43c_merged ? 0 : ~0u, reg::blk_43c::reinit_enable);
}

}  // namespace tov
