// SPDX-License-Identifier: Apache-2.0
#include "meminit/hw/access.h"

#include "meminit/hw/dram.h"
#include "meminit/hw/platform.h"
#include "meminit/hw/regs.h"

namespace tov {
namespace {

// A delay outside a call (ctx null: the release image's plain waits) is
// not noted. Inlined into the wait, so that its note adds no frame.
[[gnu::always_inline]] inline void note_delay(platform::Step kind, uint32_t n, uint64_t first, uint64_t last,
                                              const RegContext* ctx) {
    if constexpr (platform::steps_noted)
        if (ctx != nullptr) note_step(ctx, {.kind = kind, .count = n, .first = first, .last = last});
}

constexpr uint32_t ticks_per_wrap = 42950;  // tick values 0..42949

uint32_t tick_of(uint64_t interrupt_time) { return static_cast<uint32_t>(interrupt_time) / tick_units; }

}  // namespace

int32_t reg_write(const RegContext* ctx, uint32_t off, uint32_t value) {
    platform::mmio_store(ctx->reg_base + off, value);
    note_step(ctx, {.kind = platform::Step::store, .off = off, .val = value});
    return status_ok;
}

namespace {

uint32_t load(const RegContext* ctx, uint32_t off) { return platform::mmio_load(ctx->reg_base + off); }

// The stable read; only a noting build counts its loads.
[[gnu::always_inline]] inline bool stable_read(const RegContext* ctx, uint32_t off, uint32_t* out, uint32_t* loads) {
    static_assert(stable_read_agreeing_loads == 3 && read_twice_loads == 2, "a window of three loads, or two");
    uint32_t a = load(ctx, off);
    uint32_t b = load(ctx, off);
    if (read_twice(off)) {
        *out = a;
        if constexpr (platform::steps_noted) *loads = read_twice_loads;
        return true;
    }
    const uint32_t mask = stable_read_mask(off);
    a &= mask;
    b &= mask;
    for (uint32_t n = 2; n < stable_read_max_loads; ++n) {
        const uint32_t c = load(ctx, off) & mask;
        if (a == b && b == c) {
            *out = a;
            if constexpr (platform::steps_noted) *loads = n + 1;
            return true;
        }
        a = b;
        b = c;
    }
    *out = b;
    if constexpr (platform::steps_noted) *loads = stable_read_max_loads;
    return false;
}
}  // namespace

bool reg_read_stable(const RegContext* ctx, uint32_t off, uint32_t* out) {
    uint32_t loads = 0;
    const bool settled = stable_read(ctx, off, out, &loads);
    note_step(ctx, {.kind = platform::Step::read, .settled = settled, .off = off, .val = *out, .count = loads});
    return settled;
}

uint32_t reg_read(const RegContext* ctx, uint32_t off) {
    uint32_t v = 0;
    reg_read_stable(ctx, off, &v);
    return v;
}

int32_t reg_read_to(const RegContext* ctx, uint32_t* out, uint32_t off) {
    return reg_read_stable(ctx, off, out) ? status_ok : status_fail;
}

uint32_t aux_read(const RegContext* ctx) {
    const uint32_t v = platform::mmio_load(ctx->aux_base);
    note_step(ctx, {.kind = platform::Step::aux_load, .val = v});
    return v;
}

uint32_t tick_now() { return tick_of(platform::interrupt_time()); }

WaitClock::WaitClock() : first(platform::interrupt_time()), moved_at(first) {}

uint64_t WaitClock::read() {
    const uint64_t now = platform::interrupt_time();
    if (!moved && now != first) {
        moved = true;
        moved_at = now;
    }
    return now;
}

namespace {
// A delay's wait; `ctx` only names and numbers the delay's note.
[[gnu::always_inline]] inline void ticks_wait(uint32_t n, const RegContext* ctx) {
    platform::trace_delay('t', n);
    const uint32_t target = n + 1;  // 32-bit, as the hardware timing was specified
    const uint64_t hold = uint64_t{n} * tick_units;
    WaitClock clock;
    uint32_t prev = tick_of(clock.first);
    uint32_t passed = 0;
    for (;;) {
        spin_pause();
        const uint64_t now = clock.read();
        const uint32_t t = tick_of(now);
        // The tick falls back to 0 when the low 32 bits of the interrupt time
        // wrap; that fall is one boundary, not a jump of 4 billion.
        if (passed < target) passed += t >= prev ? t - prev : (ticks_per_wrap - prev) + t;
        prev = t;
        if (passed >= target && clock.waited(now) >= hold) {
            note_delay(platform::Step::delay_ticks, n, clock.first, now, ctx);
            return;
        }
    }
}

[[gnu::always_inline]] inline uint32_t ms_wait(uint32_t n, const RegContext* ctx) {
    platform::trace_delay('m', n);
    WaitClock clock;
    const uint64_t target = static_cast<uint64_t>(n) * 10000u;
    if (target == 0) {
        note_delay(platform::Step::delay_ms, n, clock.first, clock.first, ctx);
        return 0;
    }
    uint64_t now;
    do {
        spin_pause();
        now = clock.read();
    } while (clock.waited(now) < target);
    note_delay(platform::Step::delay_ms, n, clock.first, now, ctx);
    return static_cast<uint32_t>(now - clock.first);
}
}  // namespace

void delay_ticks(uint32_t n) { ticks_wait(n, nullptr); }
uint32_t delay_ms(uint32_t n) { return ms_wait(n, nullptr); }

int32_t dram_cmd_wait(const RegContext* ctx, uint32_t ticks) {
    delay_ticks(ctx, ticks);
    return (reg_read(ctx, reg::DRC_CMD_STATUS) & dram::status_done) ? 1 : 0;
}

// The routines pass printf-style messages with their arguments, as the
// kernel's own DbgPrintEx takes them; a parameter pack is not C's calling
// convention, which the diagnostic image's sink forwards to.
void mem_trace(const RegContext* ctx, const char* format, ...) {  // NOLINT(cert-dcl50-cpp)
    __builtin_va_list args;
    __builtin_va_start(args, format);
    if constexpr (platform::steps_noted)
        platform::trace_message(ctx->reg_base, next_line(ctx), format, args);
    else
        platform::trace_message(0, 0, format, args);
    __builtin_va_end(args);
}

#if TOV_STEPS_NOTED
// Only where steps are noted: the release image has no noted poll, so the
// notes add no code to it.
bool reg_poll_noted(const RegContext* ctx, uint32_t off, uint32_t* out, uint32_t* loads) {
    return stable_read(ctx, off, out, loads);
}
void delay_ticks_noted(const RegContext* ctx, uint32_t n) { ticks_wait(n, ctx); }
uint32_t delay_ms_noted(const RegContext* ctx, uint32_t n) { return ms_wait(n, ctx); }
#endif

}  // namespace tov
