// SPDX-License-Identifier: Apache-2.0
// The scenarios on which the kernel image must behave exactly as the host
// build, and the comparison of the two runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "meminit/entry/config_table.h"
#include "sim/random_registers.h"
#include "sim/simulator.h"

namespace tov::sim::image {

struct Scenario {
    std::string name;
    RunRequest req;
};

// A healthy-chip request for one ID, clock_index and power mode.
RunRequest request(uint32_t config_id, uint32_t clock_index, uint32_t power_mode = 0);

// The reserved clock_index values of every family (the table data beside
// the dispatcher), in ascending order; every routine sees them all, as the
// dispatcher passes them through.
std::vector<uint32_t> every_reserved_clock();

// The chips of a sweep start from random register contents drawn from
// `rng_seed` (sim/random_registers.h), one draw per scenario; std::nullopt keeps
// every register at 0.
using RegisterSeed = std::optional<uint64_t>;

// Every ID of the family's table at clock_index 0..13 and the reserved
// values; the first family also at every power mode 0..4.
std::vector<Scenario> table_sweep(Family f, RegisterSeed rng_seed = register_seed());

// Every init routine through the first row naming it, at clock_index 0..13
// and the reserved values (which select its forms), power mode 0.
std::vector<Scenario> routine_sweep(RegisterSeed rng_seed = register_seed());

// Windows' default clock: it moves only every 15.625 ms.
constexpr uint64_t windows_clock_period = 156250;

// The routine sweep on Windows' default 15.625 ms clock, the phase of its
// updates moving from scenario to scenario, and every third scenario with
// one DRAM command stuck, so that waits and time-outs start at every point
// of a clock period.
std::vector<Scenario> coarse_clock_sweep(RegisterSeed rng_seed = register_seed());

// Every init routine (the first row naming it) at clock_index 0 and 10 under
// each fault the chip model can inject: command latency, a stuck command,
// corrupted test-client slots, an unstable register, register presets, no
// aux region (aux_base 0), and the virtual clock about to wrap its low 32
// bits. Also IDs
// that no table lists and IDs outside the families.
std::vector<Scenario> fault_sweep(RegisterSeed rng_seed = register_seed());

// The host run without the trace sink's events (message, delay notes),
// which the image's silent sink never produces.
std::vector<Event> bus_events(const std::vector<Event>& events);

// The first difference between a host run and an image run of one scenario
// (bus events with their times, result, record, start and end time), or ""
// when they agree.
std::string first_difference(const RunResult& host, const RunResult& image);

}  // namespace tov::sim::image
