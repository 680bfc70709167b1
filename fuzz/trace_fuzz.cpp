// SPDX-License-Identifier: Apache-2.0
// libFuzzer target over the trace reader: the input is read as a JSON-lines
// trace and, when it is taken, checked against the power-up rules and
// compared with a real bring-up's trace by diff's alignment (output thrown
// away). A refusal (UsageError) is the expected end for most inputs.
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "tools/tovmem/check.h"
#include "tools/tovmem/commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::FILE* sink = [] {
        std::FILE* f = std::fopen("/dev/null", "w");
        tovmem::set_output(f);
        return f;
    }();
    static const tovmem::Bringup fixed = [] {
        tovmem::RunOptions o;
        o.req.config_id = 0x3000099;
        o.req.clock_index = 10;
        return tovmem::run_bringup(o);
    }();
    (void)sink;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        tovmem::Bringup b = tovmem::read_trace(in, "fuzz");
        const tovmem::Analysis a = tovmem::analyse(b.r);
        (void)tovmem::check_rules(a.commands, b.r.record.mem_clock_khz);
        tovmem::diff_bringups(std::move(b), fixed);
    } catch (const tovmem::UsageError&) {}
    return 0;
}
