/* SPDX-License-Identifier: Apache-2.0 */
/*
 * tovmem.h - the interface of the DDR frame-buffer bring-up export driver
 * tovmem.sys, x86 and x64, for the capture driver that imports it.
 *
 * Plain C89; also valid C99/C11 and C++98 or later. Needs only <stddef.h>.
 * Every name this header defines starts with tov_, TOV_ or TOVMEM_, except
 * the two record types MemInitParams and RegContext. Import libraries:
 * x86/tovmem.lib (MSVC, lld-link), x86/libtovmem.a (mingw), x64/tovmem.lib.
 * Which layout applies where: see the layout checks below the record.
 * The driver is built with TOVMEM_BUILDING_LIBRARY defined, which drops the
 * dllimport declaration.
 */
#ifndef TOVMEM_H
#define TOVMEM_H

#include <stddef.h>

/* x86: __stdcall, the kernel convention (the callee pops its argument). */
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define TOVMEM_CALL __stdcall
#else
#define TOVMEM_CALL /* x64: its one convention, the record in RCX */
#endif

#if defined(_WIN32) && !defined(TOVMEM_BUILDING_LIBRARY)
#define TOVMEM_IMPORT __declspec(dllimport)
#else
#define TOVMEM_IMPORT
#endif

/* An address in the caller's mapping: 32 bits on x86, 64 on x64 (C89 has no 64-bit type by name). */
#if defined(_WIN64) && (defined(__GNUC__) || defined(__clang__))
__extension__ typedef unsigned long long tov_uintptr;
#elif defined(_WIN64)
typedef unsigned __int64 tov_uintptr;
#else
typedef unsigned long tov_uintptr;
#endif

/* Results of tov_mem_init. Memory is up: */
#define TOVMEM_RESULT_OK 1
/* A DRAM command never completed, the frame-buffer check read back a wrong
 * value, or the ID is in no family. */
#define TOVMEM_RESULT_FAILED 0
/* A register never read the same value three times. */
#define TOVMEM_RESULT_REGISTER_FAULT (-1)

/* Caller-owned register context of one chip: 8 bytes on x86, 16 on x64. */
typedef struct RegContext {
    tov_uintptr reg_base; /* mapped register block: register = 32-bit word at reg_base + offset */
    tov_uintptr aux_base; /* second mapped region, its first word read once by the first
                           * family's reset pulse; 0 when the board maps none */
} RegContext;

/* Caller-owned in/out record: reg_ctx, then fourteen 32-bit words; 60 bytes
 * on x86, 64 on x64. Fill reg_ctx, config_id, clock_index and power_mode,
 * and zero the five reserved words (this version never reads them; a later
 * one may give them meaning); read the out words after the call. */
typedef struct MemInitParams {
    RegContext *reg_ctx;        /*  1 in */
    unsigned int config_id;     /*  2 in: the board's memory configuration ID */
    unsigned int clock_index;   /*  3 in: memory clock selector; remapped by some table rows */
    unsigned int mem_size;      /*  4 set from the table row (bytes) */
    unsigned int bus_flag;      /*  5 set from the table row */
    unsigned int mode_flag;     /*  6 set from the table row */
    unsigned int reserved_a[3]; /*  7-9 never touched */
    unsigned int power_mode;    /* 10 in: 0 to 3, read by the first family only */
    unsigned int reserved_b[2]; /* 11-12 never touched */
    unsigned int mem_clock_khz; /* 13 out: the memory clock set up, kHz */
    unsigned int mem_size_out;  /* 14 out: usable memory, bytes */
    unsigned int map_value;     /* 15 out: the table row's map value (third family: 5 for
                                 * 32 MiB, 6 for 16 MiB) */
} MemInitParams;

/* Layout checks, valid in C89 and C++: a false condition gives an array of
 * negative size. The two layouts, each word n (1 to 15) at its offset:
 *   x86 (32-bit pointers, the i386 image and its callers): reg_ctx at 0,
 *     word n at 4 * (n - 1); 60 bytes. RegContext: two 4-byte addresses.
 *   x64 (64-bit pointers, the AMD64 image and its callers): reg_ctx, an
 *     8-byte pointer, at 0, word n at 8 + 4 * (n - 2); 64 bytes, no padding.
 *     RegContext: two 8-byte addresses, 16 bytes.
 * A host build with 64-bit pointers has the x64 layout. */
#define TOVMEM_LAYOUT_CHECK(name, cond) typedef char tovmem_layout_##name[(cond) ? 1 : -1]
#define TOVMEM_WORD_AT(field, n) \
    TOVMEM_LAYOUT_CHECK(field, offsetof(MemInitParams, field) == sizeof(RegContext *) + 4 * ((n)-2))
TOVMEM_LAYOUT_CHECK(word_is_32_bits, sizeof(unsigned int) == 4);
TOVMEM_LAYOUT_CHECK(address_is_pointer_sized, sizeof(tov_uintptr) == sizeof(void *));
TOVMEM_LAYOUT_CHECK(reg_context_size, sizeof(RegContext) == 2 * sizeof(void *));
TOVMEM_LAYOUT_CHECK(record_size, sizeof(MemInitParams) == sizeof(RegContext *) + 14 * 4);
TOVMEM_LAYOUT_CHECK(record_is_60_bytes_on_32_bit, sizeof(void *) != 4 || sizeof(MemInitParams) == 60);
TOVMEM_LAYOUT_CHECK(record_is_64_bytes_on_64_bit, sizeof(void *) != 8 || sizeof(MemInitParams) == 64);
TOVMEM_LAYOUT_CHECK(reg_context_is_16_bytes_on_64_bit, sizeof(void *) != 8 || sizeof(RegContext) == 16);
TOVMEM_LAYOUT_CHECK(reg_ctx, offsetof(MemInitParams, reg_ctx) == 0);
TOVMEM_WORD_AT(config_id, 2);
TOVMEM_WORD_AT(clock_index, 3);
TOVMEM_WORD_AT(mem_size, 4);
TOVMEM_WORD_AT(bus_flag, 5);
TOVMEM_WORD_AT(mode_flag, 6);
TOVMEM_WORD_AT(reserved_a, 7);
TOVMEM_WORD_AT(power_mode, 10);
TOVMEM_WORD_AT(reserved_b, 11);
TOVMEM_WORD_AT(mem_clock_khz, 13);
TOVMEM_WORD_AT(mem_size_out, 14);
TOVMEM_WORD_AT(map_value, 15);
#undef TOVMEM_WORD_AT

/* The version of this interface and of the driver built from it; the
 * driver's version resource carries the same numbers. Semantic versioning:
 * a new MINOR keeps the record's layout, the meaning of every word and
 * result that exists and the exports, and may give a reserved word a
 * meaning (zero keeps the old behaviour); a new MAJOR may change any of
 * them; a new PATCH changes neither the header's interface nor the layout. */
#define TOVMEM_VERSION_MAJOR 1
#define TOVMEM_VERSION_MINOR 0
#define TOVMEM_VERSION_PATCH 0

/* True for the result of a call that brought the memory up. The result is
 * NOT an NTSTATUS: failure is 0, which NT_SUCCESS() takes for success.
 * Test it with TOVMEM_SUCCEEDED, or map it to a status of your own. */
#define TOVMEM_SUCCEEDED(r) ((r) == TOVMEM_RESULT_OK)

/* Code-analysis annotations: the WDK's own (sal.h, driverspecs.h) when a
 * driver includes them before this header, nothing otherwise. */
#if defined(_IRQL_requires_max_)
#if defined(DISPATCH_LEVEL)
#define TOVMEM_IRQL_REQUIRES_MAX_DISPATCH _IRQL_requires_max_(DISPATCH_LEVEL)
#else
#define TOVMEM_IRQL_REQUIRES_MAX_DISPATCH _IRQL_requires_max_(2)
#endif
#else
#define TOVMEM_IRQL_REQUIRES_MAX_DISPATCH
#endif
#if defined(_Must_inspect_result_)
#define TOVMEM_MUST_INSPECT_RESULT _Must_inspect_result_
#else
#define TOVMEM_MUST_INSPECT_RESULT
#endif
#if defined(_Inout_)
#define TOVMEM_INOUT _Inout_
#else
#define TOVMEM_INOUT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Brings up the frame buffer of the chip behind params->reg_ctx with the
 * routine that params->config_id selects. Synchronous: busy-waits on the
 * interrupt-time clock, takes no lock, allocates nothing. It tolerates
 * IRQL <= DISPATCH_LEVEL (the record then in non-paged memory), but holds
 * the processor for the whole bring-up: on Windows' default clock up to
 * about 0.72 s on a healthy chip and 3.6 s on the reserved clock paths, far
 * beyond what a DPC may take. Call it at PASSIVE_LEVEL (start-device and
 * set-power paths, or a work item). Calls for one chip must be serialised
 * by the caller; calls for different chips may run at once.
 *
 * Returns TOVMEM_RESULT_OK, _FAILED or _REGISTER_FAULT: NOT an NTSTATUS
 * (NT_SUCCESS(TOVMEM_RESULT_FAILED) is true). Test it with TOVMEM_SUCCEEDED
 * or map it to an NTSTATUS, as the sample capture driver does. A null
 * record, a null reg_ctx or a zero reg_base returns 0 and touches nothing.
 */
TOVMEM_MUST_INSPECT_RESULT TOVMEM_IRQL_REQUIRES_MAX_DISPATCH TOVMEM_IMPORT int TOVMEM_CALL
tov_mem_init(TOVMEM_INOUT MemInitParams *params);

#ifdef __cplusplus
}
#endif

#endif /* TOVMEM_H */
