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

// Family of an ID from bits 31-28 and 25-16 (bits 26, 27 and the low half ignored).
Family classify(uint32_t config_id);

// The family's table, or a table of no rows for Family::none.
ConfigTable family_table(Family f);

// Row that the dispatcher uses for config_id within its family (row 0 when no row matches).
const ConfigEntry* lookup(const ConfigTable& t, uint32_t config_id, bool* matched);

// Routine name for tools and tests (host only; not referenced by the kernel image).
const char* routine_name(InitRoutine r);

}  // namespace tov
