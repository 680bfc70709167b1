// SPDX-License-Identifier: Apache-2.0
// Kernel side of the platform seam: volatile MMIO on the caller's mapping,
// the kernel's interrupt-time clock, and a trace sink that does nothing.
#include <stdint.h>

#include "meminit/hw/platform.h"

// The one kernel import (ntoskrnl.exe). The driver-kit headers are C-only,
// so it is declared here.
extern "C" __declspec(dllimport) uint64_t __stdcall KeQueryInterruptTime();

namespace tov::platform {

// The caller's mapped register block reaches the library as an address in an
// integer (RegContext); turning it back into a pointer is the point.
uint32_t mmio_load(uintptr_t addr) {
    return *reinterpret_cast<volatile const uint32_t*>(addr);  // NOLINT(performance-no-int-to-ptr)
}

void mmio_store(uintptr_t addr, uint32_t value) {
    *reinterpret_cast<volatile uint32_t*>(addr) = value;  // NOLINT(performance-no-int-to-ptr)
}

uint64_t interrupt_time() { return KeQueryInterruptTime(); }

#if !defined(TOV_DIAG)  // the diagnostic image prints them (platform/kernel_diag.cpp)
void trace_message(uintptr_t, uint32_t, const char*, __builtin_va_list) {}

void trace_delay(char, uint32_t) {}
#endif

}  // namespace tov::platform
