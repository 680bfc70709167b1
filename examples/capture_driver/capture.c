/* SPDX-License-Identifier: Apache-2.0 */
/*
 * capture.c - the memory bring-up of a sample capture driver. The driver
 * owns the device and maps the chip; tovmem.sys, imported through its
 * import library, does the bring-up.
 */
#include "capture.h"

/* The status the start path reports for a result of tov_mem_init, which is
 * not an NTSTATUS: its failure, 0, would pass NT_SUCCESS(). */
static CAPTURE_NTSTATUS status_of(int result) {
    switch (result) {
    case TOVMEM_RESULT_OK: return CAPTURE_STATUS_SUCCESS;
    case TOVMEM_RESULT_FAILED: return CAPTURE_STATUS_MEMORY_FAILED;
    case TOVMEM_RESULT_REGISTER_FAULT: return CAPTURE_STATUS_REGISTER_FAULT;
    default: return CAPTURE_STATUS_BAD_RESULT;
    }
}

CAPTURE_NTSTATUS CAPTURE_CALL capture_start_memory(CaptureDevice *dev) {
    MemInitParams *p = &dev->mem;

    /* The record is this device's own; the library keeps no pointer to it
     * or to the register context after the call. The reserved words stay
     * zero, as the system zeroed the device extension: this version never
     * reads them, and a later one may give them a meaning. */
    p->reg_ctx = &dev->regs;
    p->config_id = dev->mem_config_id;
    p->clock_index = dev->mem_clock;
    p->power_mode = dev->power_mode;

    dev->mem_result = tov_mem_init(p);
    dev->mem_status = status_of(dev->mem_result);
    return dev->mem_status;
}

/* The driver's entry: a real capture driver registers its device
 * descriptor here; the memory comes up later, in the start-device path. */
CAPTURE_NTSTATUS CAPTURE_CALL DriverEntry(void *driver_object, void *registry_path);
CAPTURE_NTSTATUS CAPTURE_CALL DriverEntry(void *driver_object, void *registry_path) {
    (void)driver_object;
    (void)registry_path;
    return CAPTURE_STATUS_SUCCESS;
}
