// SPDX-License-Identifier: Apache-2.0
// Reserved clock values of the first family's default routine: a complete
// bring-up that polls every command's done bit, and two slow controller
// re-initialisations that leave the clocks and pads alone.
#include "meminit/halden/halden.h"

#include "meminit/hw/access.h"
#include "meminit/hw/blocks.h"
#include "meminit/hw/regs.h"
#include "meminit/hw/reinit.h"

namespace tov::halden {
namespace {

using namespace dram;

// 97875 kHz with only the two generators in use released.
// clang-format off
constexpr HaldenClockSet polled_clocks = clock_set({
    .field = {0x1d, 0x1d, 0x1e, 0x1e, 0x1e}, .released = g010 | g018, .sys_050 = 0xfdddfd1,
    .field_058 = 0x7f, .held_again = no_gens, .cke_high_cycles = 19576,
});
constexpr HaldenCaseSettings polled_case = {
    .khz = 97875, .clocks = &polled_clocks, .width = Width::full,
    .drc_810 = 0x26a0936, .drc_814 = 0x2fc0624, .drc_818 = 0x1222207, .drc_81c = 0x31, .field_890 = 0x80,
    .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = mode_register(cas_3, burst_4), .final_cycles = 7,
    .closing_in_list = true,
};
// clang-format on
constexpr uint32_t polled_size = 0x8000000;

// The two re-initialisations: all four lanes at 97875 kHz, two at 25000 kHz.
// clang-format off
constexpr ControllerReinit reinit_97875 = {
    .khz = 97875, .size_out = 0x8000000, .all_lanes = true,
    .cfg_kept = reg::drc_cfg::reinit_kept, .cfg = 0x36a0936, .drc_818_kept = reg::drc_818::reinit_kept, .drc_818 = 0x1222104,
    .drc_81c_replaced = reg::drc_81c::reinit.mask(), .commands = slow_power_up(mode_register(cas_2, burst_8)), .cke_low_first = false,
    .code_replaced = code_fields, .returned_to_idle = power_up_len, .hold_after_list = true, .blk_43c_merged = true,
};
constexpr ControllerReinit reinit_25000 = {
    .khz = 25000, .size_out = 0x2000000, .all_lanes = false,
    .cfg_kept = reg::drc_cfg::reinit_kept, .cfg = 0x136a0936, .drc_818_kept = reg::drc_818::reinit_kept, .drc_818 = 0x1222104,
    .drc_81c_replaced = reg::drc_81c::reinit.mask(), .commands = slow_power_up(mode_register(cas_2, burst_8)), .cke_low_first = false,
    .code_replaced = code_fields, .returned_to_idle = power_up_len, .hold_after_list = true, .blk_43c_merged = true,
};
// clang-format on

}  // namespace

void polled_init(Bus& bus, MemInitParams* p) {
    p->mem_clock_khz = polled_case.khz;
    p->mem_size_out = polled_size;

    bus.modify(reg::BLK_43C, reg::blk_43c::enable, 0);
    start_generators(bus, first_058(p, true), polled_clocks);
    clock_gen_release(bus, polled_clocks.gens, gen_count, 1, true);  // a tick between the stages
    clock_words(bus, polled_clocks);
    lanes_on(bus, {.lanes = 4, .half = false, .read_back = false, .settle_ticks = 1});
    bus.ticks(1);
    controller_words(bus, polled_case);
    dram_power_up_waited(bus, power_up_list(polled_case));
    controller_finish(bus, polled_case.field_890);
    tail(bus, polled_clocks);
}

void reserved_reinit(Bus& bus, MemInitParams* p) {
    controller_reinit(bus, p, p->clock_index == clock_reinit_97875 ? reinit_97875 : reinit_25000);
}

}  // namespace tov::halden
