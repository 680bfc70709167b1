// SPDX-License-Identifier: Apache-2.0
// One bring-up on the simulated chip, from a project that only links tov::host.
#include <cstdio>

#include <tovmem.h>

#include "sim/simulator.h"

int main() {
    tov::sim::Simulator chip;
    MemInitParams p{};
    p.reg_ctx = chip.context();
    p.config_id = 0x3000099;
    p.clock_index = 10;
    const int r = tov_mem_init(&p);
    std::printf("result %d, %u kHz, %u MiB\n", r, p.mem_clock_khz, p.mem_size_out >> 20);
    return r == TOVMEM_RESULT_OK ? 0 : 1;
}
