// SPDX-License-Identifier: Apache-2.0
// Controller-only re-initialisation, the reserved clock values of all three
// families: the clock generators stay as they are; the pads are held in
// reset for a second, the lanes and controller words are set for the slow
// clock, and the power-up list is sent again with every command held for 20
// ticks. One runner; each family's variants are rows.
#pragma once

#include <stdint.h>

#include "meminit/hw/bus.h"
#include "meminit/hw/dram.h"
#include "meminit/hw/record.h"

namespace tov {

// The power-up list at the slow clock: a 10000-cycle wait with CKE high,
// precharge of every bank by A10 alone, bank address 3 on the opening
// commands, and short counts.
constexpr dram::PowerUpList slow_power_up(uint8_t mode) {
    return {.cke_high_cycles = 10000,
            .emrs_cycles = 1,
            .dll_reset_cycles = 2,
            .mode = mode,
            .final_cycles = 4,
            .cke_low_cycles = 2,
            .precharge_address = dram::a10,
            .opening_bank = 3,
            .closing_cycles = 2};
}

// One variant: the outputs it reports and what its controller needs.
struct ControllerReinit {
    uint32_t khz;                     // reported memory clock
    uint32_t size_out;                // reported size
    bool blk_43c_held_first = false;  // BLK_43C bit 17 cleared before the pads are touched
    bool pads_all_ones = false;       // SYS_000 := 0xffffffff (else only its bit 4 set)
    bool pads_read_back = false;      // one read of SYS_000 after that store
    bool all_lanes = false;           // DRC_LANE2 and DRC_LANE3 brought up too
    uint32_t cfg_kept;                // DRC_CFG bits kept ...
    uint32_t cfg;                     // ... and the value merged into the others
    uint32_t drc_818_kept;            // DRC_818 bits kept (0: the value read is dropped) ...
    uint32_t drc_818;                 // ... and the value merged into the others
    uint32_t drc_81c_replaced;        // DRC_81C bits cleared before its slow setting is set
    dram::PowerUpList commands;
    bool cke_low_first;            // the list starts at P0 (else at P1)
    uint32_t code_replaced;        // DRC_CMD bits each command code replaces
    uint32_t returned_to_idle;     // the first commands after which DRC_CMD goes back to 0 (power_up_len: all)
    bool hold_after_list = false;  // one more hold before DRC_800 is cleared
    bool drc_840_8a4 = false;      // DRC_840, DRC_844 := 0x44444444; DRC_8A0, DRC_8A4 := 0xcccccccc
    bool blk_43c_merged = false;   // BLK_43C |= 0x30000 (else := 0x30000, the value read dropped)
};

// Runs one variant on the call's bus; a command the controller never
// reported done halts it.
void controller_reinit(Bus& bus, MemInitParams* p, const ControllerReinit& r);

}  // namespace tov
