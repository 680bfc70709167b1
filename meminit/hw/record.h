// SPDX-License-Identifier: Apache-2.0
// The record, the register context, the routines' type and the results, as
// the library sees them: from the one public C header that capture drivers
// include, so the two can never disagree on the layout. The register
// primitives and the shared blocks (meminit/hw) take the record from here.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The image defines tov_mem_init rather than importing it.
#if defined(_WIN32) && !defined(TOVMEM_BUILDING_LIBRARY)
#error "the library is built with TOVMEM_BUILDING_LIBRARY defined"
#endif
#include "include/tovmem.h"

namespace tov {

using ::MemInitParams;
using ::RegContext;

// Every init routine: 1 success, 0 failure, -1 a status-checked primitive failed.
using InitRoutine = int32_t (*)(MemInitParams* p);

// A call in a build that notes its steps (the host and the diagnostic
// image). Each of its log lines carries its number in the call, from 1 at
// the record on entry, so that a reader sees a line the debugger lost. The
// library keeps nothing between calls and nothing global, and every
// primitive is given only the register context: so the call's routine runs
// on a copy of the caller's record whose reg_ctx points at `ctx` here, and
// the count of lines sits beside the context it reaches. The release image
// numbers nothing and passes the caller's record through.
struct NotedCall {
    RegContext ctx;              // first: a pointer to it is a pointer to the call
    mutable uint32_t lines = 0;  // lines noted so far
    MemInitParams record;        // the routine's copy of the caller's record
};
static_assert(offsetof(NotedCall, ctx) == 0, "a context pointer is its call's pointer");

// The number of the next line of the call whose context is ctx. Every
// context a noting build's primitives see is a NotedCall's: tov_mem_init's
// copy, or the host simulator's own for routines called directly.
inline uint32_t next_line(const RegContext* ctx) { return ++reinterpret_cast<const NotedCall*>(ctx)->lines; }

// The header's names for the results are the values the routines return
// (the comparison with -1 reads as redundant to the analyser: the macro is -1).
static_assert(TOVMEM_RESULT_OK == 1 && TOVMEM_RESULT_FAILED == 0 &&
                  TOVMEM_RESULT_REGISTER_FAULT == -1,  // NOLINT(misc-redundant-expression)
              "results as the routines return them");
// Equal on every target this builds for; the assertion guards a new one.
static_assert(sizeof(int) == sizeof(int32_t),  // NOLINT(misc-redundant-expression)
              "tov_mem_init returns the routine's 32-bit result");

}  // namespace tov
