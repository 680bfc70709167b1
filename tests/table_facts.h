// SPDX-License-Identifier: Apache-2.0
// Counts and positions the tests compare against, taken from the library's
// own tables and routine list, so that a new row or routine moves them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "meminit/entry/config_table.h"

namespace tov::test::facts {

inline constexpr Family families[] = {Family::halden, Family::orlit, Family::varnel};

// Init routines in meminit/entry/routines.def.
inline constexpr size_t routine_count = 0
#define TOV_ROUTINE(family, name, settings) +1
#include "meminit/entry/routines.def"
#undef TOV_ROUTINE
    ;

// Rows of every table.
inline uint32_t table_rows() {
    uint32_t n = 0;
    for (Family f : families) n += family_table(f).count;
    return n;
}

// Row of an ID in its family's table, or -1.
inline long row_of(uint32_t id) {
    const ConfigTable t = family_table(classify(id));
    for (uint32_t i = 0; i < t.count; ++i)
        if (t.rows[i].id == id) return i;
    return -1;
}

}  // namespace tov::test::facts
