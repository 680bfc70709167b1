/* SPDX-License-Identifier: Apache-2.0 */
/* A caller of the public header as a capture driver writes it, compiled in
 * every language mode and by every compiler a driver team may use. */
#include "tovmem.h"

int header_caller_bring_up(RegContext* ctx, unsigned int id, unsigned int clock, unsigned int* khz);

int header_caller_bring_up(RegContext* ctx, unsigned int id, unsigned int clock, unsigned int* khz) {
    MemInitParams p;
    int r;
    p.reg_ctx = ctx;
    p.config_id = id;
    p.clock_index = clock;
    p.power_mode = 0;
    r = tov_mem_init(&p);
    if (r == TOVMEM_RESULT_OK) *khz = p.mem_clock_khz;
    return r == TOVMEM_RESULT_REGISTER_FAULT ? -2 : (r == TOVMEM_RESULT_FAILED ? 0 : (int)p.mem_size_out);
}
