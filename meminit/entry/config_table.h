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

// The family's table, or a table of no rows for Family::none.
ConfigTable family_table(Family f);

// Row that the dispatcher uses for config_id within its family (row 0 when no row matches).
const ConfigEntry* lookup(const ConfigTable& t, uint32_t config_id, bool* matched);

// Routine name for tools and tests (host only; not referenced by the kernel image).
const char* routine_name(InitRoutine r);

}  // namespace tov
