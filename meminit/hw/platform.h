// The one seam between the kernel image and the host build: 32-bit MMIO,
// the interrupt-time clock and the trace sink. Everything above it is the
// same code on both sides.
#pragma once

#include <stdint.h>

namespace tov::platform {

// One 32-bit load or store at a mapped address, never cached or merged.
uint32_t mmio_load(uintptr_t addr);
void mmio_store(uintptr_t addr, uint32_t value);

// KeQueryInterruptTime: 100 ns units since boot.
uint64_t interrupt_time();

// Trace sink: a printf-style message, and a note of each delay primitive
// call (kind 't' for delay_ticks, 'm' for delay_ms). Both do nothing in the
// kernel image.
void trace_message(const char* format, __builtin_va_list args);
void trace_delay(char kind, uint32_t n);

}  // namespace tov::platform
