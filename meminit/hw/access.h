// SPDX-License-Identifier: Apache-2.0
// Register access and timing primitives. Every register access is one 32-bit
// load or store at reg_base + offset; every wait is a busy-wait on the
// interrupt-time clock and every wait on the chip has a time bound.
#pragma once

#include <stdint.h>

#include "meminit/hw/platform.h"
#include "meminit/hw/record.h"
#include "meminit/hw/regs.h"

namespace tov {

constexpr int32_t status_ok = 0;
constexpr int32_t status_fail = -1;

// Longest wait on the controller's done bit, in 100 ns units (100 ms): far
// above any command's execution time, short enough to hold a CPU at raised IRQL.
constexpr uint64_t done_wait_bound = 1000000;
// Interrupt-time units per 10 ms tick.
constexpr uint32_t tick_units = 100000;

int32_t reg_write(const RegContext* ctx, uint32_t off, uint32_t value);

// A step of the call at ctx goes to the log, named by the call's register
// block and numbered in the call when it is noted, not when it began. The
// release image notes nothing.
[[gnu::always_inline]] inline void note_step(const RegContext* ctx, platform::StepNote& n) {
    if constexpr (platform::steps_noted) {
        n.reg_base = ctx->reg_base;
        n.seq = next_line(ctx);
        platform::note_step(n);
    }
}
[[gnu::always_inline]] inline void note_step(const RegContext* ctx, platform::StepNote&& n) { note_step(ctx, n); }

// The stable read: successive loads of a register until
// stable_read_agreeing_loads of them in a row agree, giving up after
// stable_read_max_loads loads. The low nibble of 0x0f8 moves on its own, so
// only its upper 28 bits must agree; 0x414, 0x418, 0x6130 and 0x6134 may
// legitimately differ on their second load, so their read is two loads and
// keeps the first. The library's reads and every replay of a recorded trace
// take these facts from here.
constexpr uint32_t stable_read_agreeing_loads = 3;
constexpr uint32_t stable_read_max_loads = 32;
constexpr uint32_t read_twice_loads = 2;
constexpr bool read_twice(uint32_t off) {
    return off == reg::BLK_414 || off == reg::BLK_418 || off == reg::REG_6130 || off == reg::REG_6134;
}
constexpr uint32_t stable_read_mask(uint32_t off) { return off == reg::SYS_0F8 ? ~reg::sys_0f8::moving.mask() : ~0u; }

// The value of one stable read, or false and the last load's value in *out
// when the register never settles.
bool reg_read_stable(const RegContext* ctx, uint32_t off, uint32_t* out);

// The same stable read, also giving its number of loads, and leaving its
// note to the caller: a done-bit wait notes all its polls as one step. The
// release image notes nothing, counts nothing and reads as reg_read_stable.
bool reg_poll_noted(const RegContext* ctx, uint32_t off, uint32_t* out, uint32_t* loads);
inline bool reg_poll(const RegContext* ctx, uint32_t off, uint32_t* out, uint32_t* loads) {
    if constexpr (platform::steps_noted) return reg_poll_noted(ctx, off, out, loads);
    return reg_read_stable(ctx, off, out);
}

// Stable read for the direct-access routines: the agreed value, or the last
// load's value when the register never settles.
uint32_t reg_read(const RegContext* ctx, uint32_t off);

// Stable read with a status: 0, or -1 when the register never settled.
int32_t reg_read_to(const RegContext* ctx, uint32_t* out, uint32_t off);

// One 32-bit load of the first word behind aux_base (the value is the
// caller's; the first family's reset pulse only needs the access).
uint32_t aux_read(const RegContext* ctx);

// Low 32 bits of the interrupt time in 10 ms ticks (0 to 42949).
uint32_t tick_now();

// The processor's spin-wait hint, executed between two clock readings of
// every busy-wait: it eases the pipeline and the sibling hyperthread.
inline void spin_pause() {
#if defined(__i386__) || defined(__x86_64__)
    __builtin_ia32_pause();
#endif
}

// A wait's view of the interrupt time. The clock moves only at each clock
// interrupt (every 15.625 ms by default, 0.5 ms at best), so the wait's first
// reading may be up to one period old and says little about when the wait
// began. The first reading that differs from it comes from an update made
// after the wait began: time counted from that update is a lower bound on
// the time waited, whatever the clock's period.
struct WaitClock {
    uint64_t first;     // the wait's first reading
    uint64_t moved_at;  // the first reading that differs from it
    bool moved = false;
    WaitClock();
    // One more reading (the caller pauses between readings).
    uint64_t read();
    // Time surely waited by the reading `now`: 0 until the clock has moved.
    uint64_t waited(uint64_t now) const { return moved ? now - moved_at : 0; }
};

// Waits until n + 1 tick boundaries have passed and at least n ticks of time
// surely have (WaitClock). A wait across the wrap of the low 32 bits still
// counts every boundary, so it never ends early.
void delay_ticks(uint32_t n);

// Waits until at least n ms surely have passed on the full 64-bit clock
// (WaitClock); returns the low 32 bits of the 100 ns count elapsed since the
// first reading. delay_ms(0) returns 0 at once.
uint32_t delay_ms(uint32_t n);

// The same waits in the call at ctx: a noting build notes the delay as a
// step of the call; the release image waits as above.
void delay_ticks_noted(const RegContext* ctx, uint32_t n);
uint32_t delay_ms_noted(const RegContext* ctx, uint32_t n);
inline void delay_ticks(const RegContext* ctx, uint32_t n) {
    if constexpr (platform::steps_noted)
        delay_ticks_noted(ctx, n);
    else
        delay_ticks(n);
}
inline uint32_t delay_ms(const RegContext* ctx, uint32_t n) {
    if constexpr (platform::steps_noted) return delay_ms_noted(ctx, n);
    return delay_ms(n);
}

// delay_ticks(ticks), then 1 if the done bit of DRC_CMD_STATUS is set, else 0.
int32_t dram_cmd_wait(const RegContext* ctx, uint32_t ticks = 1);

// Trace sink: printf-style message of the call on the block at ctx;
// produces nothing in the release kernel image.
void mem_trace(const RegContext* ctx, const char* format, ...);

}  // namespace tov
