/* SPDX-License-Identifier: Apache-2.0 */
/* The header included after the DDK's <ddk/wdm.h>, as a WDM, KMDF or
 * AVStream driver includes it: with the kernel's types and NTSTATUS, and
 * with the WDK's annotation macros (sal.h, driverspecs.h) defined, so that
 * tov_mem_init carries the WDK's own annotations. */
#include <ddk/wdm.h>

#if !defined(_IRQL_requires_max_) || !defined(_Must_inspect_result_) || !defined(_Inout_)
#error "the DDK defines no SAL or IRQL annotations: this caller would test the header without them"
#endif

#ifdef HEADER_WDM_DISCARD_RESULT
/* A code-analysis build gives _Must_inspect_result_ a meaning; here the
 * compiler's nearest one, so that a caller that drops the result is told. */
#undef _Must_inspect_result_
#define _Must_inspect_result_ __attribute__((warn_unused_result))
#endif

#include "tovmem.h"

NTSTATUS header_wdm_start(RegContext* ctx, ULONG id, ULONG clock);

NTSTATUS header_wdm_start(RegContext* ctx, ULONG id, ULONG clock) {
    MemInitParams p;
    int r;
    unsigned int i;
    for (i = 0; i < 3; ++i) p.reserved_a[i] = 0;
    for (i = 0; i < 2; ++i) p.reserved_b[i] = 0;
    p.reg_ctx = ctx;
    p.config_id = id;
    p.clock_index = clock;
    p.power_mode = 0;
#ifdef HEADER_WDM_DISCARD_RESULT
    tov_mem_init(&p);
    r = TOVMEM_RESULT_OK;
#else
    r = tov_mem_init(&p);
#endif
    if (TOVMEM_SUCCEEDED(r)) return STATUS_SUCCESS;
    return r == TOVMEM_RESULT_REGISTER_FAULT ? STATUS_DEVICE_DATA_ERROR : STATUS_IO_DEVICE_ERROR;
}
