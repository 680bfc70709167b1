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
constexpr uint32_t drc_81c_slow = 0x21;

bool ok(int32_t status) { return status == status_ok; }

// A stable read whose value is not used; status-checked, it must settle.
bool read_ok(const RegContext* ctx, uint32_t off, bool checked) {
    uint32_t v = 0;
    return reg_read_stable(ctx, off, &v) || !checked;
}

}  // namespace

int32_t controller_reinit(MemInitParams* p, const ControllerReinit& r) {
    const RegContext* ctx = p->reg_ctx;
    const bool checked = r.checked;
    p->mem_clock_khz = r.khz;
    p->mem_size_out = r.size_out;

    // Pads held in reset.
    if (r.blk_43c_held_first && !ok(reg_modify(ctx, reg::BLK_43C, reg::blk_43c::enable, 0, checked)))
        return status_fail;
    if (r.pads_all_ones)
        reg_write(ctx, reg::SYS_000, 0xffffffff);
    else if (!ok(reg_modify(ctx, reg::SYS_000, 0, reg::sys_000::pads_reset, checked)))
        return status_fail;
    if (r.pads_read_back && !read_ok(ctx, reg::SYS_000, checked)) return status_fail;
    delay_ticks(ctx, pad_reset_ticks);
    if (!ok(reg_modify(ctx, reg::SYS_000, reg::sys_000::pads_reset, 0, checked))) return status_fail;

    // Lanes, then the controller words for the slow clock.
    static constexpr uint32_t lanes[] = {reg::DRC_LANE0, reg::DRC_LANE1, reg::DRC_LANE2, reg::DRC_LANE3};
    const uint32_t lane_count = r.all_lanes ? 4 : 2;
    if (!ok(reg_modify(ctx, reg::DRC_890, 0, reg::drc_890::lanes_follow, checked))) return status_fail;
    for (uint32_t i = 0; i < lane_count; ++i)
        if (!ok(reg_modify(ctx, lanes[i], reg::lane::off, reg::lane::on, checked))) return status_fail;
    if (!ok(reg_modify(ctx, reg::DRC_880, reg::lane::off, reg::lane::on, checked))) return status_fail;
    if (!ok(reg_modify(ctx, reg::DRC_CFG, ~r.cfg_kept, r.cfg, checked))) return status_fail;
    if (!ok(reg_modify(ctx, reg::DRC_814, ~0u, drc_814_slow, checked))) return status_fail;
    if (!ok(reg_modify(ctx, reg::DRC_818, ~r.drc_818_kept, r.drc_818, checked))) return status_fail;
    if (!ok(reg_modify(ctx, reg::DRC_81C, r.drc_81c_replaced, drc_81c_slow, checked))) return status_fail;
    delay_ticks(ctx, hold_ticks);

    // The power-up list, each command waiting for the one before.
    const uint32_t first = r.cke_low_first ? 0 : 1;
    for (uint32_t i = first; i < dram::power_up_len; ++i) {
        const int32_t done = dram_wait_done(ctx, checked);
        if (done != 1) return done;
        const dram::Command c = dram::power_up_command(r.commands, i);
        if (!ok(reg_modify(ctx, reg::DRC_CMD_WORD, ~dram::word_kept, c.word, checked))) return status_fail;
        if (!ok(reg_modify(ctx, reg::DRC_CMD, r.code_replaced, c.code, checked))) return status_fail;
        delay_ticks(ctx, hold_ticks);
        if (i - first < r.returned_to_idle) reg_write(ctx, reg::DRC_CMD, dram::idle);
    }

    if (r.hold_after_list) delay_ticks(ctx, hold_ticks);
    reg_write(ctx, reg::DRC_800, 0);
    delay_ticks(ctx, hold_ticks);
    if (r.drc_840_8a4) {
        reg_write(ctx, reg::DRC_840, 0x44444444);
        reg_write(ctx, reg::DRC_844, 0x44444444);
        reg_write(ctx, reg::DRC_8A0, 0xcccccccc);
        reg_write(ctx, reg::DRC_8A4, 0xcccccccc);
    }
    if (!ok(reg_modify(ctx, reg::BLK_43C, r.blk_43c_merged ? 0 : ~0u, reg::blk_43c::reinit_enable, checked)))
        return status_fail;
    return 1;
}

}  // namespace tov
