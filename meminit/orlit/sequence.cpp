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

// The full bring-up with one form's values.
void run_standard(Bus& bus, MemInitParams* p, const OrlitFormSettings& f, SizeRule size) {
    p->mem_clock_khz = f.clock_khz;
    p->mem_size_out = size_for(size == SizeRule::as_form ? f.size : size, p);

    bus.modify(reg::BLK_43C, reg::blk_43c::enable, 0);
    bus.write(reg::BLK_418, 0);
    bus.write(reg::BLK_420, 0);
    bus.write(reg::BLK_430, 0);
    bus.write(reg::SYS_000, f.hold_word);
    bus.write(reg::SYS_058,
              f.first_058 == First058::follows_mode && p->mode_flag != 0 ? 0x1000000 | reg::sys_058::mode : 0x1000000);

    clock_gen_hold(bus, f.gens, 3);
    bus.write(reg::SYS_05C, 0xfffd);
    bus.write(reg::SYS_070, f.word_070);
    clock_gen_set_fields(bus, f.gens, 3);
    clock_gen_release(bus, f.gens, 3, f.settle_ticks);

    bus.write(reg::SYS_050, f.word_050);
    bus.modify(reg::SYS_058, 0, reg::sys_058::orlit_on);
    bus.write(reg::SYS_05C, 0xf000000);
    bus.write(reg::SYS_060, f.word_060);
    bus.write(reg::SYS_008, 0x800ffab7);
    bus.write(reg::SYS_068, f.early_068);
    bus.modify(reg::SYS_000, f.release_mask, 0);
    lanes_on(bus, {.lanes = 2, .half = false, .read_back = true, .settle_ticks = f.settle_ticks});

    bus.write(reg::DRC_CFG, f.word_810);
    bus.write(reg::DRC_814, f.word_814);
    bus.write(reg::DRC_818, f.word_818);
    bus.write(reg::DRC_81C, f.word_81c);
    if (f.word_808 != not_written) {
        bus.write(reg::DRC_808, f.word_808);
        bus.write(reg::DRC_80C, f.word_80c);
    }

    const dram::PowerUpList list = {.cke_high_cycles = f.cke_high_cycles,
                                    .emrs_cycles = f.emrs_cycles,
                                    .dll_reset_cycles = 2,
                                    .mode = f.mode,
                                    .final_cycles = f.final_cycles};
    dram_power_up_waited(bus, list, f.settle_ticks);

    bus.write(reg::DRC_CMD, dram::idle);
    bus.write(reg::DRC_850, 0);
    bus.write(reg::DRC_840, f.word_840);
    bus.write(reg::DRC_844, f.word_840);
    bus.write(reg::DRC_848, 0xf);
    config_pulse_bit30(bus, f.settle_ticks, f.pulse == PulseClear::fresh);
    bus.modify(reg::BLK_43C, 0, reg::blk_43c::enable);
    bus.write(reg::BLK_400, 0xf9c);
    if (f.final_068) bus.write(reg::SYS_068, final_068);
}

// Clock and pad set-up only, at 162 MHz; the controller is left alone.
void run_short(Bus& bus, MemInitParams* p) {
    p->mem_clock_khz = 162000;
    p->mem_size_out = size_for(SizeRule::half_if_bus, p);
    bus.ticks(1);
    bus.write(reg::SYS_000, 0xf2a6);
    bus.write(reg::SYS_05C, 0x69);
    bus.write(reg::SYS_060, 0xffffffff);
    bus.modify(reg::SYS_058, reg::sys_058::orlit_on, 0);
    bus.ticks(1);
    bus.write(reg::CLKGEN_010, reg::clkgen::held);
    bus.write(reg::CLKGEN_018, reg::clkgen::held);
    bus.write(reg::CLKGEN_030, reg::clkgen::held);
    bus.write(reg::DRC_880, 1);
    bus.write(reg::SYS_070, 0x1000000);
    bus.write(reg::SYS_070, 2);
    constexpr uint32_t low_050 = reg::sys_050::low.place(0xee);
    bus.modify(reg::SYS_050, reg::sys_050::low.mask() & ~low_050, low_050);
    bus.modify(reg::SYS_058, 0, reg::sys_058::orlit_short_on);
    bus.ticks(1);
    bus.write(reg::SYS_000, 0);
    bus.ticks(1);
    bus.write(reg::SYS_068, final_068);
}

// The controller-only re-initialisation, then the final 0x068 word.
void run_reinit(Bus& bus, MemInitParams* p, const ControllerReinit& v) {
    controller_reinit(bus, p, v);
    bus.write(reg::SYS_068, final_068);
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

    // The family's routines are never status-checked.
    Bus bus(p->reg_ctx, false);
    if (r.entering) bus.trace(r.entering);
    if (c->message) bus.trace(c->message);
    switch (c->path) {
    case Path::standard: run_standard(bus, p, *c->form, c->size); break;
    case Path::short_seq: run_short(bus, p); break;
    case Path::reinit: run_reinit(bus, p, *c->reinit); break;
    case Path::none: break;
    }
    if (r.leaving) bus.trace(r.leaving);
    return bus.result();
}

}  // namespace tov::orlit
