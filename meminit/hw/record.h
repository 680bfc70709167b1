// SPDX-License-Identifier: Apache-2.0
// The record, the register context, the routines' type and the results, as
// the library sees them: from the one public C header that capture drivers
// include, so the two can never disagree on the layout. The register
// primitives and the shared blocks (meminit/hw) take the record from here.
#pragma once

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

// The header's names for the results are the values the routines return
// (the comparison with -1 reads as redundant to the analyser: the macro is -1).
static_assert(TOVMEM_RESULT_OK == 1 && TOVMEM_RESULT_FAILED == 0 &&
                  TOVMEM_RESULT_REGISTER_FAULT == -1,  // NOLINT(misc-redundant-expression)
              "results as the routines return them");
// Equal on every target this builds for; the assertion guards a new one.
static_assert(sizeof(int) == sizeof(int32_t),  // NOLINT(misc-redundant-expression)
              "tov_mem_init returns the routine's 32-bit result");

}  // namespace tov
