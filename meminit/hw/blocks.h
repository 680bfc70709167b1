// SPDX-License-Identifier: Apache-2.0
// Sequences shared by the three families: DRAM command issue and completion,
// the DDR power-up list, clock-generator programming, the configuration-word
// pulse and the frame-buffer check through the register test client.
#pragma once

#include <stdint.h>

#include "meminit/hw/dram.h"
#include "meminit/hw/record.h"

namespace tov {

// DRC_CMD := 0; DRC_CMD_WORD := word; DRC_CMD := code; delay_ticks(ticks).
void dram_cmd(const RegContext* ctx, uint32_t word, uint32_t code, uint32_t ticks = 1);
// DRC_CMD_WORD := word; DRC_CMD := code; delay_ticks(ticks).
void dram_cmd_nc(const RegContext* ctx, uint32_t word, uint32_t code, uint32_t ticks = 1);

// Polls the done bit of DRC_CMD_STATUS with stable reads, no delay between
// them (only the spin-wait hint), and gives up when a poll made after
// done_wait_bound of interrupt time had surely passed (WaitClock) still sees
// the command in flight. 1 done, 0 timed out, -1 (checked only) a read that
// never settled.
int32_t dram_wait_done(const RegContext* ctx, bool checked = false);

// DRC_CMD_WORD := word; DRC_CMD := code; dram_wait_done.
int32_t dram_cmd_poll(const RegContext* ctx, uint32_t word, uint32_t code, bool checked = false);

// How an issuing sequence learns that a command completed.
enum class DoneCheck : uint8_t {
    poll,        // dram_wait_done
    after_tick,  // dram_cmd_wait: one tick more, then a single look at the done bit
};

// Third-family form: P0..P9 each by dram_cmd_poll. 1, 0 or -1 from the
// first command that did not complete.
int32_t dram_power_up_polled(const RegContext* ctx, const dram::PowerUpList& l, bool checked = false);

// First- and second-family form: P1 by dram_cmd_nc, P2..last by
// dram_cmd, each followed by the done check. 1, or 0 at the first command
// that was not done.
int32_t dram_power_up_waited(const RegContext* ctx, const dram::PowerUpList& l, uint32_t ticks = 1,
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
int32_t clock_gen_hold(const RegContext* ctx, const ClockGenField* g, uint32_t n, bool checked = false);
// Step 3: each register := (x & ~clear) | set, in list order.
int32_t clock_gen_set_fields(const RegContext* ctx, const ClockGenField* g, uint32_t n, bool checked = false);
// Steps 4-6: bit 23 off for each released register, then bit 22, then
// delay_ticks(ticks); with pause set, delay_ticks(ticks) between the two stages too.
int32_t clock_gen_release(const RegContext* ctx, const ClockGenField* g, uint32_t n, uint32_t ticks = 1,
                          bool checked = false, bool pause = false);
// Third-family pulse: DRC_CFG := w | 0xc0000000; delay_ticks(ticks); DRC_CFG := w;
// delay_ticks(ticks).
void config_pulse_high(const RegContext* ctx, uint32_t w, uint32_t ticks = 1);
// Second-family pulse on bit 30: v := DRC_CFG; DRC_CFG := v | bit 30; delay_ticks(ticks);
// DRC_CFG := v & ~bit 30, or a fresh read & ~bit 30 when fresh_clear is set.
void config_pulse_bit30(const RegContext* ctx, uint32_t ticks, bool fresh_clear);

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
void lanes_on(const RegContext* ctx, LaneBringUp l);

// How the frame-buffer check waits and reports.
enum class FbCheck : uint8_t {
    plain,      // delay_ms(2) after every step
    tick_tail,  // the last three steps wait delay_ticks(1) instead
    traced,     // as plain, and a wrong read-back is reported through mem_trace
};

// Frame-buffer check through the register test client: two patterns written
// to test slots 0 and 0x10 and read back, a wait after every step, reads
// included, the comparison after it. 1 pass, 0 a wrong read-back (the check
// stops there), -1 (checked only) a read-back that never settled.
int32_t fb_register_test(const RegContext* ctx, FbCheck flavour = FbCheck::plain, bool checked = false);

}  // namespace tov
