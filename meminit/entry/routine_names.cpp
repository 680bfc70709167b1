// SPDX-License-Identifier: Apache-2.0
// Routine names for the host tools and tests; not part of the kernel image.
#include "meminit/entry/config_table.h"
#include "meminit/entry/routines.h"

namespace tov {

const char* routine_name(InitRoutine r) {
// `name` is an identifier: &(name) would not name the routine any better.
#define TOV_ROUTINE(family, name, settings) \
    if (r == &name) return #name;  // NOLINT(bugprone-macro-parentheses)
#include "meminit/entry/routines.def"
#undef TOV_ROUTINE
    return "?";
}

}  // namespace tov
