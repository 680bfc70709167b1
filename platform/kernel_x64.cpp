// SPDX-License-Identifier: Apache-2.0
// Kernel side of the platform seam in the x64 image: volatile MMIO on the
// caller's mapping, the interrupt-time clock, and a trace sink that does
// nothing. The x86 image's side is kernel.cpp.
#include <stdint.h>

#include "meminit/hw/platform.h"

namespace tov::platform {
namespace {

// On x64, KeQueryInterruptTime is not a kernel export but what the WDK makes
// of it: one 64-bit load of InterruptTime (KSYSTEM_TIME: LowPart, then
// High1Time) at offset 8 of the shared user data page, KI_USER_SHARED_DATA,
// which the kernel maps read-only at this address in every address space and
// updates on each clock interrupt. An aligned 8-byte load is atomic, so the
// High2Time retry of 32-bit readers is not needed, and the image imports
// nothing.
constexpr uintptr_t ki_user_shared_data = 0xfffff78000000000ull;
constexpr uintptr_t interrupt_time_va = ki_user_shared_data + 8;

}  // namespace

// The caller's mapped register block reaches the library as an address in an
// integer (RegContext); turning it back into a pointer is the point.
uint32_t mmio_load(uintptr_t addr) {
    return *reinterpret_cast<volatile const uint32_t*>(addr);  // NOLINT(performance-no-int-to-ptr)
}

void mmio_store(uintptr_t addr, uint32_t value) {
    *reinterpret_cast<volatile uint32_t*>(addr) = value;  // NOLINT(performance-no-int-to-ptr)
}

// A fixed kernel address, the same in every address space.
uint64_t interrupt_time() {
    return *reinterpret_cast<volatile const uint64_t*>(interrupt_time_va);  // NOLINT(performance-no-int-to-ptr)
}

#if !defined(TOV_DIAG)  // the diagnostic image prints them (platform/kernel_diag.cpp)
void trace_message(uintptr_t, uint32_t, const char*, __builtin_va_list) {}

void trace_delay(char, uint32_t) {}
#endif

}  // namespace tov::platform
