// SPDX-License-Identifier: Apache-2.0
// The register access of one init routine's call, and the library's one
// error rule. Every routine, in every family, drives the chip through a Bus:
//  - a status-checked bus needs every stable read to settle; the first that
//    does not halts the call with -1 (an unchecked read never fails);
//  - on any bus, a DRAM command that never reports done, or a wrong
//    frame-buffer read-back, halts the call with 0.
// After a halt nothing reaches the chip (no access, no delay, no message),
// so a sequence is written as a straight list of steps and the routine
// returns result(): 1, or the halt's result.
#pragma once

#include <stdint.h>

#include "meminit/hw/access.h"
#include "meminit/hw/record.h"

namespace tov {

class Bus {
public:
    Bus(const RegContext* ctx, bool checked) : ctx_(ctx), checked_(checked) {}

    const RegContext* ctx() const { return ctx_; }
    bool halted() const { return halted_; }
    // The routine's result: 1 when nothing halted the call.
    int32_t result() const { return halted_ ? result_ : 1; }

    // Stops the call with r (0 or -1); the first halt's result stands.
    void halt(int32_t r) {
        if (halted_) return;
        halted_ = true;
        result_ = r;
    }
    // A status-checked read that never settled halts the call.
    void read_settled(bool settled) {
        if (!settled && checked_) halt(status_fail);
    }
    // A DRAM command result, 1 done, else the halt's result; true when done.
    bool done(int32_t r) {
        if (r != 1) halt(r);
        return r == 1;
    }

    void write(uint32_t off, uint32_t v) {
        if (!halted_) reg_write(ctx_, off, v);
    }
    // One stable read and one store: off := (value & ~clear) | set. A
    // status-checked read that never settles stores nothing.
    void modify(uint32_t off, uint32_t clear, uint32_t set) {
        uint32_t v = 0;
        if (halted_) return;
        read_settled(reg_read_stable(ctx_, off, &v));
        write(off, (v & ~clear) | set);
    }
    // A stable read; 0 once halted.
    uint32_t read(uint32_t off) {
        uint32_t v = 0;
        if (!halted_) read_settled(reg_read_stable(ctx_, off, &v));
        return v;
    }
    // One load behind aux_base (its value is never used).
    void aux() {
        if (!halted_) aux_read(ctx_);
    }
    void ticks(uint32_t n) {
        if (!halted_) delay_ticks(ctx_, n);
    }
    void ms(uint32_t n) {
        if (!halted_) delay_ms(ctx_, n);
    }
    // A fixed message (no arguments).
    void trace(const char* message) {
        if (!halted_) mem_trace(ctx_, message);
    }
    bool checked() const { return checked_; }

private:
    const RegContext* ctx_;
    bool checked_;
    bool halted_ = false;
    int32_t result_ = 0;
};

}  // namespace tov
