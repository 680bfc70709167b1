/* SPDX-License-Identifier: Apache-2.0 */
/*
 * capture.h - the memory bring-up part of a sample capture driver, the
 * caller of tovmem.sys: the device it prepares and what it reports. Plain
 * C89; the driver kit's headers are not needed. Beside tovmem.h, so that the
 * sample (examples/capture_driver), the image runner and tovmem, which
 * prepare the same device, read one layout.
 */
#ifndef CAPTURE_H
#define CAPTURE_H

#include "tovmem.h"

typedef long CAPTURE_NTSTATUS;

/* What the start-device path reports for each result of tov_mem_init. */
#define CAPTURE_STATUS_SUCCESS ((CAPTURE_NTSTATUS)0x00000000L)
/* 0: a DRAM command never completed, the frame-buffer check failed, or the
 * board's configuration ID is in no controller family: the frame buffer is
 * not usable. STATUS_IO_DEVICE_ERROR. */
#define CAPTURE_STATUS_MEMORY_FAILED ((CAPTURE_NTSTATUS)0xC0000185L)
/* -1: a chip register never read back the same value: the register block
 * itself is unreliable. STATUS_DEVICE_HARDWARE_ERROR. */
#define CAPTURE_STATUS_REGISTER_FAULT ((CAPTURE_NTSTATUS)0xC0000483L)
/* Any other value: the library and this driver disagree about the
 * interface. STATUS_REVISION_MISMATCH. */
#define CAPTURE_STATUS_BAD_RESULT ((CAPTURE_NTSTATUS)0xC0000059L)

/*
 * The part of the device extension that the memory bring-up uses. The
 * system zeroes a device extension when it creates the device; the start
 * path fills regs from the mapped BARs and the three board values from the
 * board's configuration before calling capture_start_memory.
 */
typedef struct CaptureDevice {
    RegContext regs;             /* +0  register block and aux window, mapped by the start path */
    unsigned int mem_config_id;  /* +8  the board's memory configuration ID */
    unsigned int mem_clock;      /* +12 the memory clock selector for this board */
    unsigned int power_mode;     /* +16 0 for a cold start */
    MemInitParams mem;           /* +20 this chip's record: one per device, never shared */
    int mem_result;              /* +80 what tov_mem_init returned */
    CAPTURE_NTSTATUS mem_status; /* +84 what the start path reports */
} CaptureDevice;

/* Offsets in the 32-bit and in the 64-bit driver, for tools that prepare a
 * device. On x64 the register context holds two 8-byte addresses and the
 * record, which starts with a pointer, is 8-byte aligned (4 bytes of
 * padding before it). The 64-bit checks apply where long is 32 bits, as on
 * 64-bit Windows; a 64-bit host that includes this for the offsets has an
 * 8-byte long. */
#define CAPTURE_DEVICE_REGS 0
#define CAPTURE_DEVICE_CONFIG_ID 8
#define CAPTURE_DEVICE_CLOCK 12
#define CAPTURE_DEVICE_POWER_MODE 16
#define CAPTURE_DEVICE_MEM 20
#define CAPTURE_DEVICE_RESULT 80
#define CAPTURE_DEVICE_STATUS 84
#define CAPTURE_DEVICE_SIZE 88

#define CAPTURE_DEVICE64_REGS 0
#define CAPTURE_DEVICE64_CONFIG_ID 16
#define CAPTURE_DEVICE64_CLOCK 20
#define CAPTURE_DEVICE64_POWER_MODE 24
#define CAPTURE_DEVICE64_MEM 32
#define CAPTURE_DEVICE64_RESULT 96
#define CAPTURE_DEVICE64_STATUS 100
#define CAPTURE_DEVICE64_SIZE 104

#define CAPTURE_LLP64 (sizeof(void *) == 8 && sizeof(long) == 4)
#define CAPTURE_LAYOUT_CHECK(name, cond) typedef char capture_layout_##name[(cond) ? 1 : -1]
#define CAPTURE_AT(field, off, off64)                                                            \
    CAPTURE_LAYOUT_CHECK(field, sizeof(void *) != 4 || offsetof(CaptureDevice, field) == (off)); \
    CAPTURE_LAYOUT_CHECK(field##_64, !CAPTURE_LLP64 || offsetof(CaptureDevice, field) == (off64))
CAPTURE_AT(regs, CAPTURE_DEVICE_REGS, CAPTURE_DEVICE64_REGS);
CAPTURE_AT(mem_config_id, CAPTURE_DEVICE_CONFIG_ID, CAPTURE_DEVICE64_CONFIG_ID);
CAPTURE_AT(mem_clock, CAPTURE_DEVICE_CLOCK, CAPTURE_DEVICE64_CLOCK);
CAPTURE_AT(power_mode, CAPTURE_DEVICE_POWER_MODE, CAPTURE_DEVICE64_POWER_MODE);
CAPTURE_AT(mem, CAPTURE_DEVICE_MEM, CAPTURE_DEVICE64_MEM);
CAPTURE_AT(mem_result, CAPTURE_DEVICE_RESULT, CAPTURE_DEVICE64_RESULT);
CAPTURE_AT(mem_status, CAPTURE_DEVICE_STATUS, CAPTURE_DEVICE64_STATUS);
CAPTURE_LAYOUT_CHECK(size, sizeof(void *) != 4 || sizeof(CaptureDevice) == CAPTURE_DEVICE_SIZE);
CAPTURE_LAYOUT_CHECK(size_64, !CAPTURE_LLP64 || sizeof(CaptureDevice) == CAPTURE_DEVICE64_SIZE);
#undef CAPTURE_AT
#undef CAPTURE_LLP64

/*
 * Brings up the frame buffer of one device, from its start-device path at
 * PASSIVE_LEVEL. (tov_mem_init tolerates DISPATCH_LEVEL, but it holds the
 * processor for the whole bring-up, up to about 0.72 s on a healthy chip on
 * Windows' default clock; nothing here needs that.) The caller serialises
 * calls for one device; two devices may start at once.
 */
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define CAPTURE_CALL __stdcall
#else
#define CAPTURE_CALL
#endif
CAPTURE_NTSTATUS CAPTURE_CALL capture_start_memory(CaptureDevice *dev);

#endif /* CAPTURE_H */
