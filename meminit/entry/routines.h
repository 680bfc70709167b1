// SPDX-License-Identifier: Apache-2.0
// Declarations of all init routines (each family defines its own from the
// same list, through routine_entries.inc).
#pragma once

#include "meminit/entry/meminit.h"

namespace tov {
#define TOV_ROUTINE(family, name, settings) int32_t name(MemInitParams* p);
#include "meminit/entry/routines.def"
#undef TOV_ROUTINE
}  // namespace tov
