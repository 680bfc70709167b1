// SPDX-License-Identifier: Apache-2.0
// The first family's bring-up sequence, written once for all its routines.
#include "meminit/halden/halden.h"

#include "meminit/hw/access.h"
#include "meminit/hw/blocks.h"
#include "meminit/hw/regs.h"

namespace tov::halden {
namespace {

// Steps each power_mode runs. The lane and controller set-up, the final
// command and the controller finish run in every mode.
struct HaldenModeSteps {
    bool reset_pulse;  // only in routines with the trait
    bool clocks_and_pads;
    bool power_up;
    bool tails;  // re-enable, re-hold, and the clock_index 1 tail where it follows the full modes
};
constexpr HaldenModeSteps mode_steps[] = {
    /* 0 */ {.reset_pulse = false, .clocks_and_pads = true, .power_up = true, .tails = true},
    /* 1 */ {.reset_pulse = false, .clocks_and_pads = true, .power_up = true, .tails = true},
    /* 2 */ {.reset_pulse = true, .clocks_and_pads = false, .power_up = false, .tails = false},
    /* 3 */ {.reset_pulse = true, .clocks_and_pads = false, .power_up = false, .tails = false},
    /* any other value */
    {.reset_pulse = false, .clocks_and_pads = false, .power_up = false, .tails = false},
};
constexpr uint32_t mode_other = 4;

const HaldenModeSteps& steps_for(const MemInitParams* p, const HaldenTraits& t) {
    if (!t.power_mode_honoured) return mode_steps[0];
    return mode_steps[p->power_mode < mode_other ? p->power_mode : mode_other];
}

// Power modes 2 and 3: the configuration word rewritten and read back, one
// load from the aux region, then bit 4 of 0x000 pulsed from a single read
// (both edges written from the same value, nothing in between). The aux value
// is never used, so a caller that maps no aux region (aux_base 0) gets the
// pulse without that load instead of a load from address 0.
void reset_pulse(Bus& bus) {
    bus.write(reg::DRC_CFG, 0x16a0936);
    bus.read(reg::DRC_CFG);
    if (bus.ctx()->aux_base != 0) bus.aux();
    const uint32_t v = bus.read(reg::SYS_000);
    bus.write(reg::SYS_000, v | reg::sys_000::pads_reset);
    bus.write(reg::SYS_000, v & ~reg::sys_000::pads_reset);
}

const HaldenCaseSettings& select_case(const HaldenCaseSettings* rows, uint32_t clock) {
    for (;; ++rows) {
        if (rows->any_other || clock == rows->clock) return *rows;
        if (rows->clock_to != 0 && clock > rows->clock && clock <= rows->clock_to) return *rows;
    }
}

uint32_t size_out(const MemInitParams* p, Width w) {
    if (w == Width::full || p->bus_flag == 0) return p->mem_size;
    return p->mem_size >> 1;
}

void clocks_and_pads(Bus& bus, const MemInitParams* p, const HaldenTraits& t, const HaldenClockSet& s) {
    bus.modify(reg::BLK_43C, reg::blk_43c::enable, 0);
    bus.write(reg::BLK_418, 0);
    bus.write(reg::BLK_420, 0);
    bus.write(reg::BLK_428, 0);
    bus.write(reg::BLK_430, 0);
    start_generators(bus, first_058(p, t.sys_058_follows_mode), s);
    clock_gen_release(bus, s.gens, gen_count);
    clock_words(bus, s);
    if (t.sys_0c0 != 0) bus.write(reg::SYS_0C0, t.sys_0c0);
}

void clock_one_tail(Bus& bus) {
    bus.ticks(1);
    bus.write(reg::SYS_060, 0x701df0);
    bus.ticks(1);
    bus.write(reg::SYS_05C, 0x18);
    bus.ticks(1);
}

bool wants_clock_one_tail(const MemInitParams* p, const HaldenTraits& t, const HaldenModeSteps& steps) {
    if (p->clock_index != 1) return false;
    return t.clock_one_tail == ClockOneTail::every_mode ||
           (t.clock_one_tail == ClockOneTail::full_modes && steps.tails);
}

// The entry steps of every call: the entry trace, then the reset pulse
// where the trait and the power mode ask for it.
void enter(Bus& bus, const MemInitParams* p, const HaldenTraits& t) {
    if (t.entering != nullptr) bus.trace(t.entering);
    if (t.reset_pulse && steps_for(p, t).reset_pulse) reset_pulse(bus);
}

int32_t leave(Bus& bus, const HaldenTraits& t) {
    if (t.leaving != nullptr) bus.trace(t.leaving);
    return bus.result();
}

}  // namespace

uint32_t first_058(const MemInitParams* p, bool follows_mode) {
    return follows_mode && p->mode_flag != 0 ? 0x1000000 | reg::sys_058::mode : 0x1000000;
}

void start_generators(Bus& bus, uint32_t first_058, const HaldenClockSet& s) {
    bus.write(reg::SYS_000, 0xffffffff);
    bus.write(reg::SYS_058, first_058);
    clock_gen_hold(bus, s.gens, gen_count);
    bus.write(reg::SYS_05C, 0xfffd);
    clock_gen_set_fields(bus, s.gens, gen_count);
}

void clock_words(Bus& bus, const HaldenClockSet& s) {
    bus.write(reg::SYS_050, s.sys_050);
    bus.modify(reg::SYS_058, reg::sys_058::per_clock.mask(), s.field_058);
    bus.write(reg::SYS_05C, 0xf000000);
    bus.write(reg::SYS_060, 0);
    bus.write(reg::SYS_008, 0x800ffeff);
    bus.modify(reg::SYS_000, reg::sys_000::pads_reset, 0);
}

void controller_words(Bus& bus, const HaldenCaseSettings& row) {
    bus.write(reg::DRC_CFG, row.drc_810);
    bus.write(reg::DRC_814, row.drc_814);
    bus.write(reg::DRC_818, row.drc_818);
    bus.write(reg::DRC_81C, row.drc_81c);
}

// The JEDEC power-up list from the row's counts and modes and the clock set's
// clock-enable wait.
dram::PowerUpList power_up_list(const HaldenCaseSettings& row) {
    return {.cke_high_cycles = row.clocks->cke_high_cycles,
            .emrs_cycles = row.emrs_cycles,
            .extended_mode = row.extended_mode,
            .dll_reset_cycles = row.dll_reset_cycles,
            .mode = row.mode,
            .final_cycles = row.final_cycles};
}

void controller_finish(Bus& bus, uint8_t field_890) {
    bus.write(reg::DRC_CMD, dram::idle);
    bus.write(reg::DRC_850, 0);
    bus.write(reg::DRC_840, 0x88888888);
    bus.write(reg::DRC_844, 0x88888888);
    bus.write(reg::DRC_848, 0xf);
    bus.modify(reg::DRC_890, reg::drc_890::tail.mask(), reg::drc_890::tail.place(field_890));
}

void tail(Bus& bus, const HaldenClockSet& s) {
    bus.modify(reg::BLK_43C, 0, reg::blk_43c::enable);
    bus.write(reg::BLK_400, 0x39c);
    clock_gen_hold(bus, s.gens + s.held_again_from, gen_count - s.held_again_from);
}

namespace {

// The sequences after the entry's trace and reset pulse, each reached by a
// tail call with its own bus: the reserved clocks' sequences, the deepest of
// the family, run with no frame of the standard sequence's beneath them. The
// family's routines are never status-checked.
[[gnu::noinline]] int32_t run_reserved(MemInitParams* p, const HaldenTraits& t) {
    Bus bus(p->reg_ctx, false);
    enter(bus, p, t);
    if (p->clock_index == clock_polled_init)
        polled_init(bus, p);
    else
        reserved_reinit(bus, p);
    return leave(bus, t);
}

[[gnu::noinline]] int32_t run_standard(MemInitParams* p, const HaldenTraits& t) {
    Bus bus(p->reg_ctx, false);
    enter(bus, p, t);
    const HaldenModeSteps& steps = steps_for(p, t);
    const HaldenCaseSettings& row = select_case(t.cases, p->clock_index);
    p->mem_clock_khz = row.khz;
    p->mem_size_out = size_out(p, row.width);
    const HaldenClockSet& s = *row.clocks;

    if (steps.clocks_and_pads) clocks_and_pads(bus, p, t, s);
    // Lanes and controller words in every power mode.
    lanes_on(bus, {.lanes = 4, .half = row.width == Width::half, .read_back = true, .settle_ticks = 1});
    controller_words(bus, row);
    if (steps.power_up) {
        // P1..P8, or P9 too; each command must report done before the next.
        const uint32_t last = row.closing_in_list ? 9 : 8;
        dram_power_up_waited(bus, power_up_list(row), 1, last, DoneCheck::after_tick);
        bus.write(reg::DRC_CMD, dram::idle);
    }
    // The closing command in every power mode; in the short ones 0x820 still
    // holds its last value.
    dram_cmd_nc(bus, dram::word(dram::closing_cycles), dram::closing());
    dram_done_after(bus, 1);
    controller_finish(bus, row.field_890);
    if (steps.tails) tail(bus, s);
    if (wants_clock_one_tail(p, t, steps)) clock_one_tail(bus);
    return leave(bus, t);
}

}  // namespace

int32_t run(MemInitParams* p, const HaldenTraits& t) {
    if (t.reserved_clocks && is_reserved_clock(p->clock_index)) return run_reserved(p, t);
    return run_standard(p, t);
}

}  // namespace tov::halden
