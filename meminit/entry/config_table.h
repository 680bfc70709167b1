// SPDX-License-Identifier: Apache-2.0
// The three constant configuration tables and the dispatch over them.
#pragma once

#include "meminit/entry/meminit.h"

namespace tov {

constexpr uint32_t MiB = 0x100000;

struct ConfigEntry {
    uint32_t id;
    InitRoutine routine;
    uint32_t clock_adjust;
    uint32_t size;
    uint32_t bus;
    uint32_t mode;
    uint32_t map;
};

#if UINTPTR_MAX == 0xffffffffu
static_assert(sizeof(ConfigEntry) == 28, "ConfigEntry is seven 32-bit words");
#endif

struct ConfigTable {
    const ConfigEntry* rows;
    uint32_t count;
    const char* name;
};

enum class Family : uint32_t { none, halden, orlit, varnel };

// The family bits of an ID are bits 31-28 and 25-16 (bits 26, 27 and the low
// half are ignored): 0 selects the first table, 0x01000000 the second, and
// 0x03000000 or above the third; every other value selects none.
constexpr uint32_t family_bits_mask = 0xf3ff0000u;
constexpr uint32_t halden_family_bits = 0;
constexpr uint32_t orlit_family_bits = 0x01000000u;
constexpr uint32_t varnel_family_bits_from = 0x03000000u;

Family classify(uint32_t config_id);

// Dispatcher rules beside the tables, read by the dispatcher, the tools and
// the tests alike.

// Boards that only run at one memory clock, whatever the caller asks: on a
// listed ID (a row that matches exactly) clock_index is replaced after the
// row's remapping.
struct FixedClock {
    uint32_t id;
    uint32_t clock_index;
};
inline constexpr FixedClock fixed_clocks[] = {
    {.id = 0x1000002u, .clock_index = 10},
    {.id = 0x1000003u, .clock_index = 10},
    {.id = 0x1000076u, .clock_index = 12},
};

// The fixed clock_index of a listed ID, or nullptr.
constexpr const FixedClock* fixed_clock_of(uint32_t config_id) {
    for (const FixedClock& f : fixed_clocks)
        if (f.id == config_id) return &f;
    return nullptr;
}

// clock_index values that select a sequence of their own in some routines of
// a family. The dispatcher passes them on unchanged, also on rows that remap.
inline constexpr uint32_t halden_reserved_clocks[] = {0xffff0001u, 0xffff0002u, 0xffff0003u};
inline constexpr uint32_t orlit_reserved_clocks[] = {0x1000000u, 0xffff0003u, 0xffff0004u, 0xffff0005u};
inline constexpr uint32_t varnel_reserved_clocks[] = {0xffff0004u};

struct ClockList {
    const uint32_t* values;
    uint32_t count;
    constexpr const uint32_t* begin() const { return values; }
    constexpr const uint32_t* end() const { return values + count; }
};

constexpr ClockList reserved_clocks(Family f) {
    switch (f) {
    case Family::halden: return {halden_reserved_clocks, sizeof halden_reserved_clocks / sizeof(uint32_t)};
    case Family::orlit: return {orlit_reserved_clocks, sizeof orlit_reserved_clocks / sizeof(uint32_t)};
    case Family::varnel: return {varnel_reserved_clocks, sizeof varnel_reserved_clocks / sizeof(uint32_t)};
    case Family::none: break;
    }
    return {nullptr, 0};
}

// The third family's map value follows the size the routine reports: after
// the routine, a size listed here replaces the row's map value.
struct MapBySize {
    uint32_t size_out;
    uint32_t map;
};
inline constexpr MapBySize varnel_map_by_size[] = {
    {.size_out = 32 * MiB, .map = 5},
    {.size_out = 16 * MiB, .map = 6},
};
inline constexpr Family map_by_size_family = Family::varnel;

// The map value the dispatcher reports for a family, given the row's value
// and the size the routine reported.
constexpr uint32_t reported_map(Family f, uint32_t row_map, uint32_t size_out) {
    if (f != map_by_size_family) return row_map;
    for (const MapBySize& m : varnel_map_by_size)
        if (m.size_out == size_out) return m.map;
    return row_map;
}

// The family's table, or a table of no rows for Family::none.
const ConfigTable& family_table(Family f);

// Row that the dispatcher uses for config_id within its family (row 0 when no row matches).
const ConfigEntry* lookup(const ConfigTable& t, uint32_t config_id, bool* matched);

// Routine name for tools and tests (host only; not referenced by the kernel image).
const char* routine_name(InitRoutine r);

}  // namespace tov
