// SPDX-License-Identifier: Apache-2.0
// The diagnostic image's log line: a fixed prefix and the JSON object of one
// bus step, in the trace format that tovmem reads. Freestanding, so that the
// kernel image and the host build format a step the same way.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "meminit/hw/platform.h"

namespace tov::platform::diag {

// DbgPrintEx's filter: component DPFLTR_IHVDRIVER_ID, level DPFLTR_INFO_LEVEL,
// so the lines show once bit 3 (0x8) of the IHVDRIVER mask is set.
constexpr uint32_t component_id = 77;
constexpr uint32_t level = 3;
#define TOV_DIAG_PREFIX "tovmem: "
constexpr char prefix[] = TOV_DIAG_PREFIX;

// A trace message's line, formatted on the stack where the library traces:
// room for the longest the library prints (84 characters of text, a
// 148-byte line with its newline and a ten-digit line number) with room to
// spare, and the NUL. A longer message is cut, its JSON kept whole.
constexpr size_t line_max = 160;

struct Line {
    char text[line_max];
    size_t len;
};

// A 64-bit clock reading as decimal text, for a %s: DbgPrintEx and the
// host's snprintf agree on %u, %d and %s, not on one 64-bit conversion.
struct Decimal {
    char text[21];
};

// v /= 10, returning the remainder, in 16-bit steps: the x86 kernel image
// has no helper for 64-bit division (each step's dividend stays below 2^20).
[[gnu::always_inline]] inline uint32_t divide_by_10(uint64_t& v) {
    uint64_t q = 0;
    uint32_t rem = 0;
    for (int shift = 48; shift >= 0; shift -= 16) {
        const uint32_t cur = (rem << 16) | static_cast<uint32_t>((v >> shift) & 0xffff);
        q |= static_cast<uint64_t>(cur / 10) << shift;
        rem = cur % 10;
    }
    v = q;
    return rem;
}

// Inlined where a line is printed: no frame of its own beneath the print.
[[gnu::always_inline]] inline Decimal decimal(uint64_t v) {
    Decimal out{};
    int n = 0;
    do out.text[n++] = static_cast<char>('0' + divide_by_10(v));
    while (v != 0);
    for (int i = 0; i < n / 2; ++i) {
        const char c = out.text[i];
        out.text[i] = out.text[n - 1 - i];
        out.text[n - 1 - i] = c;
    }
    return out;
}

inline const char* boolean(bool v) { return v ? "true" : "false"; }

// The tag of a call's lines: bits 16 to 31 of its register block's address,
// printed in hex ("%x"). Two chips' blocks lie at least their 64 KiB span
// apart, so the lines of two calls in flight at once carry different tags
// (unless their blocks lie a multiple of 4 GiB apart) and a reader can part
// them; the bits above 31 say where a 64-bit system maps its kernel space,
// not which chip.
inline uint32_t tag(uintptr_t reg_base) {
    return static_cast<uint32_t>(static_cast<uint64_t>(reg_base) >> 16) & 0xffff;
}

// The record's words, after the fields a line gives first.
#define TOV_DIAG_RECORD                                                                                        \
    ",\"config_id\":%u,\"clock_index\":%u,\"mem_size\":%u,\"bus_flag\":%u,\"mode_flag\":%u,\"power_mode\":%u," \
    "\"mem_clock_khz\":%u,\"mem_size_out\":%u,\"map_value\":%u,\"reserved\":[%u,%u,%u,%u,%u]}\n"

template <class Print, class... Lead>
void print_record(Print& print, const char* format, const MemInitParams& p, Lead... lead) {
    print(format, lead..., p.config_id, p.clock_index, p.mem_size, p.bus_flag, p.mode_flag, p.power_mode,
          p.mem_clock_khz, p.mem_size_out, p.map_value, p.reserved_a[0], p.reserved_a[1], p.reserved_a[2],
          p.reserved_b[0], p.reserved_b[1]);
}

// DbgPrintEx sends at most 512 bytes a call; the longest step line (a record
// with every word and its line number at 4294967295) is 347 with its newline.
constexpr size_t step_line_max = 512;

// Each kind of line is printed out of line with only its own arguments
// (the record's and the timed steps' are many, with two Decimals), so that
// the call of a line noted deep in the sequence takes only its own frame.
template <class Print>
[[gnu::noinline]] void print_record_step(const StepNote& n, Print& print) {
    const uint32_t t = tag(n.reg_base);
    if (n.kind == Step::enter)
        print_record(print, TOV_DIAG_PREFIX "{\"ev\":\"enter\",\"call\":\"%x\",\"seq\":%u" TOV_DIAG_RECORD, *n.record,
                     t, n.seq);
    else
        print_record(print, TOV_DIAG_PREFIX "{\"ev\":\"result\",\"call\":\"%x\",\"seq\":%u,\"ret\":%d" TOV_DIAG_RECORD,
                     *n.record, t, n.seq, n.result);
}

// A done-bit wait: the most numbers of any step, so the largest call.
template <class Print>
[[gnu::noinline]] void print_wait_step(const StepNote& n, Print& print) {
    const Decimal first = decimal(n.first), last = decimal(n.last);
    print(TOV_DIAG_PREFIX
          "{\"ev\":\"wait\",\"call\":\"%x\",\"seq\":%u,\"off\":%u,\"polls\":%u,\"busy\":%u,\"loads\":%u,\"val\":%u,"
          "\"busy_"
          "val\":%u,"
          "\"settled\":%s,\"done\":%s,\"t\":%s,\"t_end\":%s}\n",
          tag(n.reg_base), n.seq, n.off, n.count, n.busy, n.loads, n.val, n.busy_val, boolean(n.settled),
          boolean(n.done), first.text, last.text);
}

// A delay: noted deepest of the timed steps (a clock generator's release
// waits a tick inside a register block's sequence), so a smaller call than
// the wait's.
template <class Print>
[[gnu::noinline]] void print_delay_step(const StepNote& n, Print& print) {
    const Decimal first = decimal(n.first), last = decimal(n.last);
    print(TOV_DIAG_PREFIX "{\"ev\":\"%s\",\"call\":\"%x\",\"seq\":%u,\"n\":%u,\"t\":%s,\"t_end\":%s}\n",
          n.kind == Step::delay_ticks ? "delay_ticks" : "delay_ms", tag(n.reg_base), n.seq, n.count, first.text,
          last.text);
}

// A store, a read or the aux load: the steps noted deepest in the sequence.
template <class Print>
[[gnu::noinline]] void print_bus_step(const StepNote& n, Print& print) {
    const uint32_t t = tag(n.reg_base);
    if (n.kind == Step::store)
        print(TOV_DIAG_PREFIX "{\"ev\":\"store\",\"call\":\"%x\",\"seq\":%u,\"off\":%u,\"val\":%u}\n", t, n.seq, n.off,
              n.val);
    else if (n.kind == Step::read)
        print(TOV_DIAG_PREFIX
              "{\"ev\":\"read\",\"call\":\"%x\",\"seq\":%u,\"off\":%u,\"val\":%u,\"loads\":%u,\"settled\":%s}\n",
              t, n.seq, n.off, n.val, n.count, boolean(n.settled));
    else
        print(TOV_DIAG_PREFIX "{\"ev\":\"aux_load\",\"call\":\"%x\",\"seq\":%u,\"val\":%u}\n", t, n.seq, n.val);
}

// "tovmem: {...}\n" for a step, as print(format, arguments...): a constant
// format and 32-bit numbers and strings, so that the kernel image hands them
// to DbgPrintEx with no buffer of its own and the host formats the same line
// with snprintf. Each kind is printed out of line and this only picks one,
// so that no step's line is formatted on top of another's frame.
template <class Print>
void print_step(const StepNote& n, Print&& print) {
    switch (n.kind) {
    case Step::enter:
    case Step::leave: print_record_step(n, print); return;
    case Step::store:
    case Step::read:
    case Step::aux_load: print_bus_step(n, print); return;
    case Step::wait: print_wait_step(n, print); return;
    case Step::delay_ticks:
    case Step::delay_ms: print_delay_step(n, print); return;
    }
}

// "tovmem: {"ev":"trace","call":"1000","seq":7,"msg":"..."}\n" for a trace message and its
// arguments (%d %i %u %x %X %c %s %%, with a 0 flag, a width and an
// ignored l; anything else is printed as written).
void format_message(uintptr_t reg_base, uint32_t seq, const char* format, __builtin_va_list args, Line& out);

}  // namespace tov::platform::diag
