// Sequences shared by the three families: DRAM command issue and completion,
// the DDR power-up list, clock-generator programming, the configuration-word
// pulse and the frame-buffer check through the register test client.
#pragma once

#include <stdint.h>

#include "meminit/entry/meminit.h"

namespace tov {

// DRAM command codes (DRC_CMD); bits 4-7 are CKE, RAS#, CAS#, WE#.
namespace cmd {
constexpr uint32_t nop_cke_low = 0x1171;   // P0
constexpr uint32_t nop_cke_high = 0x11f1;  // P1, long wait with the clock enabled
constexpr uint32_t precharge_all = 0x10a1; // P2
constexpr uint32_t emrs = 0x1081;          // P3, extended mode register
constexpr uint32_t mrs = 0x81;             // P4, P8
constexpr uint32_t precharge = 0xa1;       // P5
constexpr uint32_t refresh = 0x91;         // P6, P7
constexpr uint32_t close = 0x1f3;          // P9
}  // namespace cmd

// Positions P0..P9 of the JEDEC DDR power-up list.
constexpr uint32_t power_up_len = 10;
constexpr uint32_t power_up_codes[power_up_len] = {
    cmd::nop_cke_low, cmd::nop_cke_high, cmd::precharge_all, cmd::emrs, cmd::mrs,
    cmd::precharge,   cmd::refresh,      cmd::refresh,       cmd::mrs,  cmd::close,
};
// Command words of one routine, indexed by position (P0 is 0x10000, P2
// 0x1ffff and P9 0xc80000 in every routine).
struct PowerUpWords {
    uint32_t word[power_up_len];
};
// Builds the ten words from the per-routine values.
constexpr PowerUpWords power_up_words(uint32_t long_count, uint32_t p3, uint32_t p4,
                                      uint32_t p5, uint32_t p6, uint32_t p7, uint32_t p8) {
    return {{0x10000, long_count << 16, 0x1ffff, p3, p4, p5, p6, p7, p8, 0xc80000}};
}

// DRC_CMD := 0; DRC_CMD_WORD := word; DRC_CMD := code; delay_ticks(ticks).
void dram_cmd(const RegContext* ctx, uint32_t word, uint32_t code, uint32_t ticks = 1);
// DRC_CMD_WORD := word; DRC_CMD := code; delay_ticks(ticks).
void dram_cmd_nc(const RegContext* ctx, uint32_t word, uint32_t code, uint32_t ticks = 1);

// Polls the done bit of DRC_CMD_STATUS with stable reads, no pause between
// them, for at most done_wait_bound of interrupt time. 1 done, 0 timed out,
// -1 (checked only) a read that never settled.
int32_t dram_wait_done(const RegContext* ctx, bool checked = false);

// DRC_CMD_WORD := word; DRC_CMD := code; dram_wait_done.
int32_t dram_cmd_poll(const RegContext* ctx, uint32_t word, uint32_t code, bool checked = false);

// Third-family issue form: P0..P9 each by dram_cmd_poll. 1, 0 or -1 from the
// first command that did not complete.
int32_t dram_power_up_polled(const RegContext* ctx, const PowerUpWords& w, bool checked = false);

// Second-family issue form: P1 by dram_cmd_nc, P2..P9 by dram_cmd, each
// followed by dram_wait_done. 1, or 0 at the first command that timed out.
int32_t dram_power_up_waited(const RegContext* ctx, const PowerUpWords& w, uint32_t ticks = 1);

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
// Steps 4-6: bit 23 off for each released register, then bit 22, then delay_ticks(ticks).
int32_t clock_gen_release(const RegContext* ctx, const ClockGenField* g, uint32_t n, uint32_t ticks = 1,
                          bool checked = false);
// Third-family pulse: DRC_CFG := w | 0xc0000000; delay_ticks(ticks); DRC_CFG := w;
// delay_ticks(ticks).
void config_pulse_high(const RegContext* ctx, uint32_t w, uint32_t ticks = 1);
// Second-family pulse on bit 30: v := DRC_CFG; DRC_CFG := v | bit 30; delay_ticks(ticks);
// DRC_CFG := v & ~bit 30, or a fresh read & ~bit 30 when fresh_clear is set.
void config_pulse_bit30(const RegContext* ctx, uint32_t ticks, bool fresh_clear);

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
