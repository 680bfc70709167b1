// SPDX-License-Identifier: Apache-2.0
// The second family's register programs: the standard bring-up, the short
// clock-only sequence and the slow 25 MHz controller re-initialisation, plus
// the case dispatch that every routine of the family shares.
#include "meminit/hw/access.h"
#include "meminit/hw/blocks.h"
#include "meminit/hw/regs.h"
#include "meminit/orlit/orlit.h"

namespace tov::orlit {
namespace {

constexpr uint32_t final_068 = 0x478;

uint32_t size_for(SizeRule rule, const MemInitParams* p) {
    switch (rule) {
    case SizeRule::half_if_bus: return p->bus_flag != 0 ? p->mem_size >> 1 : p->mem_size;
    case SizeRule::half_or_quarter:
        // bus_flag is 0 or 1 (table rows): halved, or quartered on the narrow bus.
        return p->bus_flag != 0 ? p->mem_size >> 2 : p->mem_size >> 1;
    case SizeRule::as_form:
    case SizeRule::full: break;
    }
    return p->mem_size;
}

// The full bring-up with one form's values. 1, or 0 when a command timed out.
int32_t run_standard(MemInitParams* p, const OrlitFormSettings& f, SizeRule size) {
    const RegContext* ctx = p->reg_ctx;
    p->mem_clock_khz = f.clock_khz;
    p->mem_size_out = size_for(size == SizeRule::as_form ? f.size : size, p);

    reg_modify(ctx, reg::BLK_43C, reg::blk_43c::enable, 0);
    reg_write(ctx, reg::BLK_418, 0);
    reg_write(ctx, reg::BLK_420, 0);
    reg_write(ctx, reg::BLK_430, 0);
    reg_write(ctx, reg::SYS_000, f.hold_word);
    reg_write(ctx, reg::SYS_058,
              f.first_058 == First058::follows_mode && p->mode_flag != 0 ? 0x1000000 | reg::sys_058::mode : 0x1000000);

    clock_gen_hold(ctx, f.gens, 3);
    reg_write(ctx, reg::SYS_05C, 0xfffd);
    reg_write(ctx, reg::SYS_070, f.word_070);
    clock_gen_set_fields(ctx, f.gens, 3);
    clock_gen_release(ctx, f.gens, 3, f.settle_ticks);

    reg_write(ctx, reg::SYS_050, f.word_050);
    reg_modify(ctx, reg::SYS_058, 0, reg::sys_058::orlit_on);
    reg_write(ctx, reg::SYS_05C, 0xf000000);
    reg_write(ctx, reg::SYS_060, f.word_060);
    reg_write(ctx, reg::SYS_008, 0x800ffab7);
    reg_write(ctx, reg::SYS_068, f.early_068);
    reg_modify(ctx, reg::SYS_000, f.release_mask, 0);
    lanes_on(ctx, {.lanes = 2, .half = false, .read_back = true, .settle_ticks = f.settle_ticks});

    reg_write(ctx, reg::DRC_CFG, f.word_810);
    reg_write(ctx, reg::DRC_814, f.word_814);
    reg_write(ctx, reg::DRC_818, f.word_818);
    reg_write(ctx, reg::DRC_81C, f.word_81c);
    if (f.word_808 != not_written) {
        reg_write(ctx, reg::DRC_808, f.word_808);
        reg_write(ctx, reg::DRC_80C, f.word_80c);
    }

    const dram::PowerUpList list = {.cke_high_cycles = f.cke_high_cycles,
                                    .emrs_cycles = f.emrs_cycles,
                                    .dll_reset_cycles = 2,
                                    .mode = f.mode,
                                    .final_cycles = f.final_cycles};
    if (dram_power_up_waited(ctx, list, f.settle_ticks) != 1) return 0;

    reg_write(ctx, reg::DRC_CMD, dram::idle);
    reg_write(ctx, reg::DRC_850, 0);
    reg_write(ctx, reg::DRC_840, f.word_840);
    reg_write(ctx, reg::DRC_844, f.word_840);
    reg_write(ctx, reg::DRC_848, 0xf);
    config_pulse_bit30(ctx, f.settle_ticks, f.pulse == PulseClear::fresh);
    reg_modify(ctx, reg::BLK_43C, 0, reg::blk_43c::enable);
    reg_write(ctx, reg::BLK_400, 0xf9c);
    if (f.final_068) reg_write(ctx, reg::SYS_068, final_068);
    return 1;
}

// Clock and pad set-up only, at 162 MHz; the controller is left alone.
int32_t run_short(MemInitParams* p) {
    const RegContext* ctx = p->reg_ctx;
    p->mem_clock_khz = 162000;
    p->mem_size_out = size_for(SizeRule::half_if_bus, p);
    delay_ticks(ctx, 1);
    reg_write(ctx, reg::SYS_000, 0xf2a6);
    reg_write(ctx, reg::SYS_05C, 0x69);
    reg_write(ctx, reg::SYS_060, 0xffffffff);
    reg_modify(ctx, reg::SYS_058, reg::sys_058::orlit_on, 0);
    delay_ticks(ctx, 1);
    reg_write(ctx, reg::CLKGEN_010, reg::clkgen::held);
    reg_write(ctx, reg::CLKGEN_018, reg::clkgen::held);
    reg_write(ctx, reg::CLKGEN_030, reg::clkgen::held);
    reg_write(ctx, reg::DRC_880, 1);
    reg_write(ctx, reg::SYS_070, 0x1000000);
    reg_write(ctx, reg::SYS_070, 2);
    constexpr uint32_t low_050 = reg::sys_050::low.place(0xee);
    reg_modify(ctx, reg::SYS_050, reg::sys_050::low.mask() & ~low_050, low_050);
    reg_modify(ctx, reg::SYS_058, 0, reg::sys_058::orlit_short_on);
    delay_ticks(ctx, 1);
    reg_write(ctx, reg::SYS_000, 0);
    delay_ticks(ctx, 1);
    reg_write(ctx, reg::SYS_068, final_068);
    return 1;
}

// The controller-only re-initialisation, then the final 0x068 word.
int32_t run_reinit(MemInitParams* p, const ControllerReinit& v) {
    if (controller_reinit(p, v) != 1) return 0;
    reg_write(p->reg_ctx, reg::SYS_068, final_068);
    return 1;
}

}  // namespace

int32_t run_routine(MemInitParams* p, const OrlitRoutine& r) {
    const uint32_t clock = p->clock_index;
    const OrlitCase* c = &r.cases[r.case_count - 1];
    for (uint32_t i = 0; i < r.case_count; ++i) {
        if (clock >= r.cases[i].lo && clock <= r.cases[i].hi) {
            c = &r.cases[i];
            break;
        }
    }
    // A clock the routine does not serve initialises nothing: not a success.
    if (c->path == Path::none) return 0;

    if (r.entering) mem_trace(p->reg_ctx, r.entering);
    if (c->message) mem_trace(p->reg_ctx, c->message);
    int32_t result = 0;
    switch (c->path) {
    case Path::standard: result = run_standard(p, *c->form, c->size); break;
    case Path::short_seq: result = run_short(p); break;
    case Path::reinit: result = run_reinit(p, *c->reinit); break;
    case Path::none: break;
    }
    if (result != 1) return result;
    if (r.leaving) mem_trace(p->reg_ctx, r.leaving);
    return 1;
}

}  // namespace tov::orlit
