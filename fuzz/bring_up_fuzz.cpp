// SPDX-License-Identifier: Apache-2.0
// Whole bring-ups driven by fuzzer input: the input picks the configuration
// ID, clock_index, power mode and aux region of the caller's record, and how
// the simulated chip behaves (register contents, command latency, a stuck
// command, unstable registers, a corrupted test slot, the clock's start near
// the wrap of its low 32 bits). Every run must keep the invariants; a
// violation aborts with the run's inputs.
#include <fuzzer/FuzzedDataProvider.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "meminit/entry/config_table.h"
#include "meminit/hw/regs.h"
#include "sim/invariants.h"
#include "sim/simulator.h"

namespace {

using namespace tov;

uint32_t pick_register(FuzzedDataProvider& in) {
    // Mostly registers the library touches, now and then any word of the block.
    if (in.ConsumeIntegralInRange<uint32_t>(0, 7) != 0) {
        constexpr uint32_t n = sizeof reg::names / sizeof reg::names[0];
        return reg::names[in.ConsumeIntegralInRange<uint32_t>(0, n - 1)].off;
    }
    return in.ConsumeIntegralInRange<uint32_t>(0, sim::Simulator::reg_span / 4 - 1) * 4;
}

uint32_t pick_config_id(FuzzedDataProvider& in) {
    const Family f = in.PickValueInArray({Family::halden, Family::orlit, Family::varnel});
    const ConfigTable t = family_table(f);
    const uint32_t id = t.rows[in.ConsumeIntegralInRange<uint32_t>(0, t.count - 1)].id;
    switch (in.ConsumeIntegralInRange<uint32_t>(0, 3)) {
    case 0: return id;                                                       // a table ID
    case 1: return id + in.ConsumeIntegralInRange<uint32_t>(0, 4) - 2;       // a neighbour
    case 2: return id ^ (1u << in.ConsumeIntegralInRange<uint32_t>(0, 31));  // one bit off
    default: return in.ConsumeIntegral<uint32_t>();                          // anything
    }
}

uint32_t pick_clock(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<uint32_t>(0, 2)) {
    case 0: return in.ConsumeIntegralInRange<uint32_t>(0, 15);
    case 1:
        return in.PickValueInArray<uint32_t>({0xffff0000, 0xffff0001, 0xffff0002, 0xffff0003, 0xffff0004, 0xffff0005,
                                              0xffff0006, 0x1000000, 0x80000000, 0xffffffff});
    default: return in.ConsumeIntegral<uint32_t>();
    }
}

sim::RunRequest request_from(FuzzedDataProvider& in) {
    sim::RunRequest q;
    q.config_id = pick_config_id(in);
    q.clock_index = pick_clock(in);
    q.power_mode = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 4) : in.ConsumeIntegral<uint32_t>();
    q.no_aux = in.ConsumeBool();
    q.chip.aux_value = in.ConsumeIntegral<uint32_t>();
    // Mostly small latencies; now and then one that outlasts a done-bit wait.
    q.chip.cmd_latency =
        in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 8) : in.ConsumeIntegralInRange<uint32_t>(0, 2000);
    q.chip.cmd_stuck_at = in.ConsumeIntegralInRange<uint32_t>(0, 12);
    for (uint32_t slot = 0; slot < 2; ++slot)
        if (in.ConsumeBool()) q.chip.fb_corrupt[slot] = in.ConsumeIntegral<uint32_t>();
    // The clock starts shortly before a wrap of its low 32 bits
    // (up to 6 s before it, longer than the longest call), or anywhere.
    const uint64_t wrap = (in.ConsumeIntegralInRange<uint64_t>(0, 3) + 1) << 32;
    q.clock.start = in.ConsumeBool() ? wrap - in.ConsumeIntegralInRange<uint64_t>(0, 60000000)
                                     : in.ConsumeIntegral<uint64_t>() >> 1;
    // Now and then a clock that moves only every 0.5 to 15.625 ms, as Windows' does.
    if (in.ConsumeBool()) {
        q.clock.period = in.ConsumeIntegralInRange<uint64_t>(5000, 156250);
        q.clock.phase = in.ConsumeIntegralInRange<uint64_t>(0, q.clock.period - 1);
    }
    for (uint32_t n = in.ConsumeIntegralInRange<uint32_t>(0, 2); n > 0; --n) q.chip.unstable.insert(pick_register(in));
    for (uint32_t n = in.ConsumeIntegralInRange<uint32_t>(0, 6); n > 0 && in.remaining_bytes() > 0; --n) {
        const uint32_t off = pick_register(in);
        q.chip.presets[off] = in.ConsumeIntegral<uint32_t>();
    }
    return q;
}

[[noreturn]] void report(const sim::RunRequest& q, const sim::RunResult& r, const std::vector<std::string>& bad) {
    std::fprintf(stderr,
                 "invariant violated: config 0x%" PRIx32 " clock 0x%" PRIx32 " power_mode 0x%" PRIx32
                 " no_aux %d latency %" PRIu32 " stuck_at %" PRIu32 " clock start 0x%" PRIx64 " period %" PRIu64
                 " phase %" PRIu64 " result %d\n",
                 q.config_id, q.clock_index, q.power_mode, q.no_aux ? 1 : 0, q.chip.cmd_latency, q.chip.cmd_stuck_at,
                 q.clock.start, q.clock.period, q.clock.phase, r.ret);
    for (uint32_t off : q.chip.unstable) std::fprintf(stderr, "  unstable 0x%" PRIx32 "\n", off);
    for (const auto& [off, v] : q.chip.presets) std::fprintf(stderr, "  reg 0x%" PRIx32 "=0x%" PRIx32 "\n", off, v);
    for (const std::string& b : bad) std::fprintf(stderr, "  %s\n", b.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const sim::RunRequest q = request_from(in);
    const sim::RunResult r = sim::run_bring_up(q);
    const std::vector<std::string> bad = sim::check_invariants(q, r);
    if (!bad.empty()) report(q, r, bad);
    return 0;
}
