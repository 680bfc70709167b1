// SPDX-License-Identifier: Apache-2.0
// The one seam between the kernel images and the host build: 32-bit MMIO,
// the interrupt-time clock and the trace sink. Everything above it is the
// same code on all sides.
#pragma once

#include <stdint.h>

#include "meminit/hw/record.h"

namespace tov::platform {

// One 32-bit load or store at a mapped address, never cached or merged.
uint32_t mmio_load(uintptr_t addr);
void mmio_store(uintptr_t addr, uint32_t value);

// KeQueryInterruptTime: 100 ns units since boot.
uint64_t interrupt_time();

// Trace sink: a printf-style message, and a note of each delay primitive
// call (kind 't' for delay_ticks, 'm' for delay_ms). Both do nothing in the
// release image.
// A message is given the register block's address of the call that
// prints it, as every step's note is: the diagnostic lines of two chips'
// calls in flight at once are told apart by it.
// `seq` is the message's line number in its call, as a step's (0: none).
void trace_message(uintptr_t reg_base, uint32_t seq, const char* format, __builtin_va_list args);
void trace_delay(char kind, uint32_t n);

// A bus step as the library sees it, for the diagnostic image's log: the
// record on entry and on return, a store, a stable read with its number of
// loads, the aux load, a done-bit wait as one step (not one per poll), and
// a delay with its first and last clock readings. Notes take no clock
// reading and no bus access, so a noting build keeps the release image's
// timing on the bus. The release image compiles every note away.
enum class Step : uint8_t { enter, leave, store, read, aux_load, wait, delay_ticks, delay_ms };

struct StepNote {
    Step kind;
    bool settled = true;                    // read, wait: the (last) stable read settled
    bool done = false;                      // wait: the done bit was seen
    uint32_t off = 0;                       // store, read, wait: register offset
    uint32_t val = 0;                       // store, read, aux_load: the value; wait: the last poll's value
    uint32_t count = 0;                     // read: loads; wait: polls; delays: n
    uint32_t busy = 0;                      // wait: polls that saw the command busy
    uint32_t loads = 0;                     // wait: loads of all its polls
    uint32_t busy_val = 0;                  // wait: the value of the last busy poll
    uint64_t first = 0;                     // delays, wait: first clock reading
    uint64_t last = 0;                      // delays, wait: last clock reading
    const MemInitParams* record = nullptr;  // enter, leave
    int32_t result = 0;                     // leave
    uint32_t seq = 0;                       // the line's number in its call, from 1 at the record on entry
    uintptr_t reg_base = 0;                 // the call's register block (0: not known)
};

#if defined(TOV_HOST) || defined(TOV_DIAG)
#define TOV_STEPS_NOTED 1
#else
#define TOV_STEPS_NOTED 0
#endif
inline constexpr bool steps_noted = TOV_STEPS_NOTED;

void note_step(const StepNote& note);

}  // namespace tov::platform
