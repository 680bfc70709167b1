// SPDX-License-Identifier: Apache-2.0
// Sequences shared by the three families: DRAM command issue and completion,
// the DDR power-up list, clock-generator programming, the configuration-word
// pulse and the frame-buffer check through the register test client.
#pragma once

#include <stdint.h>

#include "meminit/hw/bus.h"
#include "meminit/hw/dram.h"

namespace tov {

// Every block drives the chip through the call's Bus and does nothing once
// it has halted.

// DRC_CMD := 0; DRC_CMD_WORD := word; DRC_CMD := code; delay_ticks(ticks).
void dram_cmd(Bus& bus, uint32_t word, uint32_t code, uint32_t ticks = 1);
// DRC_CMD_WORD := word; DRC_CMD := code; delay_ticks(ticks).
void dram_cmd_nc(Bus& bus, uint32_t word, uint32_t code, uint32_t ticks = 1);

// Polls the done bit of DRC_CMD_STATUS with stable reads, no delay between
// them (only the spin-wait hint), and gives up when a poll made after
// done_wait_bound of interrupt time had surely passed (WaitClock) still sees
// the command in flight. True when done; a time-out halts the bus with 0, a
// status-checked read that never settled with -1.
bool dram_wait_done(Bus& bus);

// DRC_CMD_WORD := word; DRC_CMD := code; dram_wait_done.
bool dram_cmd_poll(Bus& bus, uint32_t word, uint32_t code);

// delay_ticks(ticks), then a single look at the done bit (dram_cmd_wait);
// true when done, else the bus halts with 0. Inline: the wait's frame is
// the primitive's.
inline bool dram_done_after(Bus& bus, uint32_t ticks) {
    if (bus.halted()) return false;
    return bus.done(dram_cmd_wait(bus.ctx(), ticks));
}

// How an issuing sequence learns that a command completed.
enum class DoneCheck : uint8_t {
    poll,        // dram_wait_done
    after_tick,  // dram_done_after: one tick more, then a single look at the done bit
};

// Third-family form: P0..P9 each by dram_cmd_poll, up to the first command
// that did not complete.
void dram_power_up_polled(Bus& bus, const dram::PowerUpList& l);

// First- and second-family form: P1 by dram_cmd_nc, P2..last by
// dram_cmd, each followed by the done check, up to the first command that
// was not done.
void dram_power_up_waited(Bus& bus, const dram::PowerUpList& l, uint32_t ticks = 1,
                          uint32_t last = dram::power_up_len - 1, DoneCheck check = DoneCheck::poll);

// One clock generator: its register (CLKGEN_*), the masks of its field write
// and whether this sequence releases it.
struct ClockGenField {
    uint32_t reg;
    uint32_t clear;
    uint32_t set;
    bool release;
};

// Step 1: each register |= 0xc00000 (both hold bits), in list order.
void clock_gen_hold(Bus& bus, const ClockGenField* g, uint32_t n);
// Step 3: each register := (x & ~clear) | set, in list order.
void clock_gen_set_fields(Bus& bus, const ClockGenField* g, uint32_t n);
// Steps 4-6: bit 23 off for each released register, then bit 22, then
// delay_ticks(ticks); with pause set, delay_ticks(ticks) between the two stages too.
void clock_gen_release(Bus& bus, const ClockGenField* g, uint32_t n, uint32_t ticks = 1, bool pause = false);
// Third-family pulse: DRC_CFG := w | 0xc0000000; delay_ticks(ticks); DRC_CFG := w;
// delay_ticks(ticks).
void config_pulse_high(Bus& bus, uint32_t w, uint32_t ticks = 1);
// Second-family pulse on bit 30: v := DRC_CFG; DRC_CFG := v | bit 30; delay_ticks(ticks);
// DRC_CFG := v & ~bit 30, or a fresh read & ~bit 30 when fresh_clear is set.
void config_pulse_bit30(Bus& bus, uint32_t ticks, bool fresh_clear);

// The data lanes and the 0x880 word switched off, then on after a settle
// delay (DRC_890 bit 2 first). `lanes` is 2 (LANE0-1) or 4 (LANE0-3); in a
// half-width case LANE2 and LANE3 are parked at bit 0 and stay off. With
// `read_back`, DRC_880 is read before the delay. Taken by value: a braced
// temporary bound to a reference would be placed in writable data by GCC.
struct LaneBringUp {
    uint32_t lanes;
    bool half;
    bool read_back;
    uint32_t settle_ticks;
};
void lanes_on(Bus& bus, LaneBringUp l);

// How the frame-buffer check waits and reports.
enum class FbCheck : uint8_t {
    plain,      // delay_ms(2) after every step
    tick_tail,  // the last three steps wait delay_ticks(1) instead
    traced,     // as plain, and a wrong read-back is reported through mem_trace
};

// Frame-buffer check through the register test client: two patterns written
// to test slots 0 and 0x10 and read back, a wait after every step, reads
// included, the comparison after it. A wrong read-back halts the bus with 0
// (the check stops there).
void fb_register_test(Bus& bus, FbCheck flavour);

}  // namespace tov
