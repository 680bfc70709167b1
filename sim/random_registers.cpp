// SPDX-License-Identifier: Apache-2.0
#include "sim/random_registers.h"

#include <cstdio>
#include <cstdlib>

#include "meminit/hw/regs.h"

namespace tov::sim {
namespace {

uint64_t mix(uint64_t x) {
    // splitmix64 finaliser
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

}  // namespace

uint64_t register_seed() {
    const char* s = std::getenv("TOV_SEED");
    if (s == nullptr || *s == 0) return default_register_seed;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(s, &end, 0);
    if (end == s || *end != 0) {
        std::fprintf(stderr, "TOV_SEED '%s' is not a number; using the default rng_seed %#llx\n", s,
                     static_cast<unsigned long long>(default_register_seed));
        return default_register_seed;
    }
    return v;
}

std::string seed_note(uint64_t rng_seed) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "random register contents from rng_seed %#llx (TOV_SEED=%#llx repeats them)",
                  static_cast<unsigned long long>(rng_seed), static_cast<unsigned long long>(rng_seed));
    return buf;
}

uint32_t random_register(uint64_t rng_seed, uint64_t scenario, uint32_t off) {
    return static_cast<uint32_t>(mix(mix(rng_seed ^ mix(scenario)) ^ off) >> 16);
}

uint64_t scenario_key(uint32_t config_id, uint32_t clock_index, uint32_t power_mode) {
    return (static_cast<uint64_t>(config_id) << 32) ^ (static_cast<uint64_t>(clock_index) * 0x10001u) ^
           (static_cast<uint64_t>(power_mode) << 56);
}

void add_random_registers(ChipConfig& chip, uint64_t rng_seed, uint64_t scenario) {
    for (const reg::RegName& r : reg::names) chip.presets.emplace(r.off, random_register(rng_seed, scenario, r.off));
}

}  // namespace tov::sim
