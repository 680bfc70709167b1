// Public interface of the DDR bring-up library: the record the capture driver
// fills, its register context and the one working entry, tov_mem_init.
#pragma once

#include <stdint.h>

#if defined(_WIN32) && !defined(__x86_64__) && !defined(TOV_HOST)
#define TOV_API __stdcall
#else
#define TOV_API
#endif

namespace tov {

// Caller-owned register context of one chip.
struct RegContext {
    uintptr_t reg_base;  // mapped register block; register = word at reg_base + offset
    uintptr_t aux_base;  // second mapped region; read once by the first family's reset pulse
};

// Caller-owned in/out record. Fifteen 32-bit words on the kernel target; the
// layout is shared with the capture driver and must not change.
struct MemInitParams {
    RegContext* reg_ctx;      //  1 in
    uint32_t config_id;       //  2 in
    uint32_t clock_index;     //  3 in, remapped by the dispatcher
    uint32_t mem_size;        //  4 from the table row
    uint32_t bus_flag;        //  5 from the table row
    uint32_t mode_flag;       //  6 from the table row
    uint32_t reserved_a[3];   //  7-9 never touched
    uint32_t power_mode;      // 10 in (first family only)
    uint32_t reserved_b[2];   // 11-12 never touched
    uint32_t mem_clock_khz;   // 13 out
    uint32_t mem_size_out;    // 14 out
    uint32_t map_value;       // 15 from the table row, replaced for the third family
};

// Every init routine: 1 success, 0 failure, -1 a status-checked primitive failed.
using InitRoutine = int32_t (*)(MemInitParams* p);

#if UINTPTR_MAX == 0xffffffffu
static_assert(sizeof(RegContext) == 8, "RegContext is two 32-bit words");
static_assert(sizeof(MemInitParams) == 60, "MemInitParams is fifteen 32-bit words");
static_assert(__builtin_offsetof(MemInitParams, reg_ctx) == 0);
static_assert(__builtin_offsetof(MemInitParams, config_id) == 4);
static_assert(__builtin_offsetof(MemInitParams, clock_index) == 8);
static_assert(__builtin_offsetof(MemInitParams, mem_size) == 12);
static_assert(__builtin_offsetof(MemInitParams, bus_flag) == 16);
static_assert(__builtin_offsetof(MemInitParams, mode_flag) == 20);
static_assert(__builtin_offsetof(MemInitParams, reserved_a) == 24);
static_assert(__builtin_offsetof(MemInitParams, power_mode) == 36);
static_assert(__builtin_offsetof(MemInitParams, reserved_b) == 40);
static_assert(__builtin_offsetof(MemInitParams, mem_clock_khz) == 48);
static_assert(__builtin_offsetof(MemInitParams, mem_size_out) == 52);
static_assert(__builtin_offsetof(MemInitParams, map_value) == 56);
#endif

}  // namespace tov

extern "C" {
// Runs the bring-up that the record's config_id names. Returns the routine's
// result, or 0 (record and chip untouched) for an ID outside the families or
// a record without a usable register context.
int32_t TOV_API tov_mem_init(tov::MemInitParams* params);
}
