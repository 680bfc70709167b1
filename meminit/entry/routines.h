// Declarations of all init routines (each family defines its own).
#pragma once

#include "meminit/entry/meminit.h"

namespace tov {
#define TOV_ROUTINE(family, name) int32_t name(MemInitParams* p);
#include "meminit/entry/routines.def"
#undef TOV_ROUTINE
}  // namespace tov
