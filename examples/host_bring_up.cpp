// SPDX-License-Identifier: Apache-2.0
// A bring-up on the host: the library as the capture driver calls it, with a
// simulated chip standing in for the mapped register block.
#include <cstdio>

#include "meminit/entry/meminit.h"
#include "sim/simulator.h"

int main() {
    tov::sim::Simulator chip;    // while it exists, every register access goes to it
    tov::MemInitParams p{};      // reserved words are never touched
    p.reg_ctx = chip.context();  // reg_base and aux_base of the simulated block
    p.config_id = 0x3000099;
    p.clock_index = 10;
    p.power_mode = 0;
    const int32_t r = tov_mem_init(&p);  // 1, 0 or -1
    std::printf("result %d, %u kHz, %u MiB, map value %u, clock_index %u, %zu events traced\n", r, p.mem_clock_khz,
                p.mem_size_out / 0x100000, p.map_value, p.clock_index, chip.events().size());
    return r == 1 ? 0 : 1;
}
