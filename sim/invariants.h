// SPDX-License-Identifier: Apache-2.0
// Properties every bring-up keeps whatever the chip does: a command that
// never completes, a register that never settles, a corrupted test slot, a
// clock near the wrap of its low 32 bits. Checked after every fuzzed run and
// every scenario of the fault matrix.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "meminit/hw/access.h"
#include "sim/simulator.h"

namespace tov::sim {

// A stable read replayed from the loads of one register: how many loads it
// took, whether it settled, and the value it returned.
struct ReplayedRead {
    uint32_t loads;
    bool settled;
    uint32_t value;
};

// One stable read replayed load by load from a recorded trace, by the
// library's rule (meminit/hw/access.h): the invariant checker and tovmem's
// analysis both read traces through it.
class StableRead {
public:
    explicit StableRead(uint32_t off) : twice_(read_twice(off)), mask_(stable_read_mask(off)) {}
    // Takes the next load; true once the read is over, settled or given up.
    bool take(uint32_t v);
    // The loads taken, whether they settled, and the agreed value (unsettled,
    // the last load's, masked).
    ReplayedRead result() const { return {loads_, settled_, value_}; }

private:
    bool twice_;
    uint32_t mask_;
    uint32_t loads_ = 0, agreeing_ = 0, value_ = 0;
    bool settled_ = false;
};

// Replays the library's stable read over successive load values of `off`,
// starting at values[from]; a trace that ends inside the read gives the
// loads it has, unsettled.
ReplayedRead replay_stable_read(uint32_t off, const std::vector<uint32_t>& values, size_t from);

// The invariants, each violation one line (empty: the run keeps them all):
// - the result is -1, 0 or 1;
// - config_id, power_mode and the five reserved words are as the caller left them;
// - a done-bit wait that gives up is the last thing that reaches the chip, and
//   the result is then 0 (or -1 when its last read never settled);
// - -1 comes only right after a stable read that never settled;
// - no done-bit wait lasts longer than its bound, no delay longer than its
//   count allows (nor shorter, also across the wrap of the low 32 bits);
// - every access is a word of the register block, and the aux word is loaded
//   only when the caller mapped it.
// Timing is checked only with an unscripted clock.
std::vector<std::string> check_invariants(const RunRequest& req, const RunResult& r);

}  // namespace tov::sim
