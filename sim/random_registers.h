// SPDX-License-Identifier: Apache-2.0
// A register file of random contents for the simulated chip: every register
// of the library's map preset to a value drawn from an rng_seed, so that every
// read-modify-write shows the bits it keeps. Fixed rng_seed by default; TOV_SEED
// (decimal or 0x hex) picks another, and a failing test names the rng_seed.
#pragma once

#include <cstdint>
#include <string>

#include "sim/chip.h"

namespace tov::sim {

constexpr uint64_t default_register_seed = 0x7ae51c3d;

// TOV_SEED when set (and a number), else default_register_seed.
uint64_t register_seed();

// How to run a test again with the same register contents.
std::string seed_note(uint64_t rng_seed);

// One register's start value for one scenario. Scenarios differ in their
// values, so that a bit kept by mistake shows in some of them.
uint32_t random_register(uint64_t rng_seed, uint64_t scenario, uint32_t off);

// Scenario key of a bring-up request.
uint64_t scenario_key(uint32_t config_id, uint32_t clock_index, uint32_t power_mode);

// The word behind aux_base in a sweep's scenario: the low 12 bits of the ID
// and of clock_index, so that the read shows whose scenario it is and a new
// table row changes no other scenario's inputs.
constexpr uint32_t scenario_aux_word(uint32_t config_id, uint32_t clock_index) {
    return 0x5a000000u | (config_id & 0xfffu) << 12 | (clock_index & 0xfffu);
}

// Every register of the map not already preset in `chip` preset to its
// random value; presets already there (a test's own) stay.
void add_random_registers(ChipConfig& chip, uint64_t rng_seed, uint64_t scenario);

}  // namespace tov::sim
