// SPDX-License-Identifier: Apache-2.0
// Register access and timing primitives on the simulated chip and a scripted
// interrupt-time clock.
#include "meminit/hw/access.h"
#include "meminit/hw/bus.h"
#include "meminit/hw/regs.h"
#include "tests/harness.h"

namespace tov::test::primitives_test {
namespace {

// A chip whose CLKGEN_010 never reads the same twice.
sim::ChipConfig unsettled_010() {
    sim::ChipConfig c;
    c.unstable.insert(0x010);
    return c;
}

sim::ChipConfig scripted(uint32_t off, std::deque<uint32_t> values) {
    sim::ChipConfig c;
    c.load_script[off] = std::move(values);
    return c;
}

size_t load_count(const sim::Simulator& s) {
    size_t n = 0;
    for (const Event& e : s.events()) n += e.kind == EventKind::load;
    return n;
}

struct StableCase {
    uint32_t off;
    std::deque<uint32_t> loads;
    uint32_t expect;
    size_t expect_loads;
};

TEST(StableRead, ReturnsTheValueThreeLoadsAgreeOn) {
    const StableCase cases[] = {
        {0x810, {5, 5, 5}, 5, 3},       {0x810, {5, 6, 6, 6}, 6, 4},
        {0x810, {1, 2, 3, 3, 3}, 3, 5}, {0x0f8, {0x1237, 0x1234, 0x123f}, 0x1230, 3},  // low nibble ignored and cleared
        {0x414, {7, 9}, 7, 2},                                                         // read-twice registers
        {0x418, {7, 9}, 7, 2},          {0x6130, {1, 2}, 1, 2},
        {0x6134, {3, 4}, 3, 2},
    };
    for (const StableCase& c : cases) {
        sim::Simulator s(scripted(c.off, c.loads));
        uint32_t v = 0;
        EXPECT_EQ(reg_read_to(s.context(), &v, c.off), status_ok) << std::hex << c.off;
        EXPECT_EQ(v, c.expect) << std::hex << c.off;
        EXPECT_EQ(load_count(s), c.expect_loads) << std::hex << c.off;
    }
}

TEST(StableRead, GivesUpAfterThirtyTwoLoads) {
    sim::ChipConfig c;
    c.unstable.insert(0x810);
    c.presets[0x810] = 0x1234;
    {
        sim::Simulator s(c);
        uint32_t v = 0;
        EXPECT_EQ(reg_read_to(s.context(), &v, 0x810), status_fail);
        EXPECT_EQ(load_count(s), 32u);
    }
    {
        // Plain reg_read hands back the 32nd load: an even-numbered load, so the true value.
        sim::Simulator s(c);
        EXPECT_EQ(reg_read(s.context(), 0x810), 0x1234u);
        EXPECT_EQ(load_count(s), 32u);
        EXPECT_EQ(s.events().back().val, 0x1234u);
    }
    {
        // A value that settles on the last allowed load is still accepted.
        std::deque<uint32_t> loads;
        for (int i = 0; i < 29; ++i) loads.push_back(i);
        loads.insert(loads.end(), {77, 77, 77});
        sim::Simulator s(scripted(0x810, loads));
        uint32_t v = 0;
        EXPECT_EQ(reg_read_to(s.context(), &v, 0x810), status_ok);
        EXPECT_EQ(v, 77u);
        EXPECT_EQ(load_count(s), 32u);
    }
}

TEST(StableRead, ModifyIsOneReadAndOneStore) {
    sim::ChipConfig c;
    c.presets[0x010] = 0xffffffff;
    sim::Simulator s(c);
    // Field write of 0x17 into bits 8-13 keeps every other bit.
    Bus bus(s.context(), false);
    bus.modify(0x010, 0x3f00, 0x1700);
    EXPECT_EQ(bus.result(), 1);
    EXPECT_EQ(s.chip().word(0x010), 0xffffd7ffu);
    EXPECT_EQ(compact(s.events()),
              (std::vector<std::string>{"R 10 ffffffff", "R 10 ffffffff", "R 10 ffffffff", "W 10 ffffd7ff"}));
    EXPECT_EQ(reg_write(s.context(), 0x820, 0x81), status_ok);
}

TEST(StableRead, CheckedModifyStoresNothingWhenTheRegisterNeverSettles) {
    sim::Simulator s(unsettled_010());
    Bus bus(s.context(), true);
    bus.modify(0x010, 0, 1);
    EXPECT_EQ(bus.result(), status_fail);
    for (const Event& e : s.events()) EXPECT_NE(e.kind, EventKind::store);
}

TEST(Bus, UncheckedNeverFailsOnARegisterThatNeverSettles) {
    sim::Simulator s(unsettled_010());
    Bus bus(s.context(), false);
    bus.modify(0x010, 0, 1);
    bus.read(0x010);
    bus.write(0x820, 0x81);
    EXPECT_FALSE(bus.halted());
    EXPECT_EQ(bus.result(), 1);
    size_t stores = 0;
    for (const Event& e : s.events()) stores += e.kind == EventKind::store;
    EXPECT_EQ(stores, 2u);  // the modify's store and the write
}

TEST(Bus, NothingReachesTheChipAfterAHalt) {
    sim::Simulator s(unsettled_010());
    Bus bus(s.context(), true);
    bus.write(0x820, 0x81);
    bus.read(0x010);  // never settles: the halt
    EXPECT_TRUE(bus.halted());
    EXPECT_EQ(s.events().back().kind, EventKind::load);
    const size_t before = s.events().size();
    bus.write(0x820, 0x91);
    bus.modify(0x014, 0, 1);
    EXPECT_EQ(bus.read(0x828), 0u);
    bus.aux();
    bus.ticks(1);
    bus.ms(1);
    bus.trace("not traced\n");
    EXPECT_EQ(s.events().size(), before);
    // The first halt's result stands.
    bus.halt(0);
    EXPECT_EQ(bus.result(), status_fail);
}

TEST(Bus, ACommandNotDoneHaltsEitherBusWithZero) {
    for (bool checked : {false, true}) {
        Bus bus(nullptr, checked);
        EXPECT_TRUE(bus.done(1));
        EXPECT_FALSE(bus.halted());
        EXPECT_FALSE(bus.done(0));
        EXPECT_EQ(bus.result(), 0) << checked;
    }
}

// Virtual time a delay took: first clock reading to the clock after the call.
uint64_t run_delay(sim::ClockConfig clock, void (*f)()) {
    sim::Simulator s({}, clock);
    const uint64_t t0 = s.clock().now();
    f();
    return s.clock().now() - t0;
}

TEST(Delay, TicksWaitForNPlusOneBoundaries) {
    sim::ClockConfig clock;
    clock.step = 1000;                     // 0.1 ms per reading
    clock.start = 5 * tick_units + 99000;  // 0.1 ms before a boundary
    // delay_ticks(0) still waits for one boundary: here almost at once.
    EXPECT_LE(run_delay(clock, [] { delay_ticks(0); }), 2000u);
    // delay_ticks(1) from just before a boundary: just over one tick.
    const uint64_t one = run_delay(clock, [] { delay_ticks(1); });
    EXPECT_GE(one, tick_units);
    EXPECT_LE(one, tick_units + 3000);
    // From just after a boundary: almost two ticks.
    clock.start = 5 * tick_units + 1000;
    const uint64_t two = run_delay(clock, [] { delay_ticks(1); });
    EXPECT_GE(two, 2 * tick_units - 1000);
    EXPECT_LE(two, 2 * tick_units + 1000);
    // delay_ticks(10) lasts between 10 and 11 ticks.
    const uint64_t ten = run_delay(clock, [] { delay_ticks(10); });
    EXPECT_GE(ten, 10 * tick_units);
    EXPECT_LE(ten, 11 * tick_units);
}

TEST(Delay, TicksDoNotEndEarlyAcrossTheWrapOfTheLowWord) {
    sim::ClockConfig clock;
    clock.step = 1000;
    // Start half a tick before the low 32 bits wrap, far into the uptime.
    clock.start = (uint64_t{7} << 32) + 0xffffffffull - 50000;
    for (uint32_t n : {1u, 3u, 100u}) {
        sim::Simulator s({}, clock);
        const uint64_t t0 = s.clock().now();
        delay_ticks(n);
        EXPECT_GE(s.clock().now() - t0, uint64_t{n} * tick_units) << n;
        EXPECT_LE(s.clock().now() - t0, uint64_t{n + 2} * tick_units) << n;
    }
}

TEST(Delay, MillisecondsOnTheFullClock) {
    sim::ClockConfig clock;
    clock.step = 700;
    {
        sim::Simulator s({}, clock);
        EXPECT_EQ(delay_ms(0), 0u);
        EXPECT_LE(s.clock().reads(), 1u);
    }
    {
        sim::Simulator s({}, clock);
        const uint32_t e = delay_ms(2);
        // Counted from the first reading that moved: one reading more.
        EXPECT_GE(e, 20000u + 700);
        EXPECT_LT(e, 20000u + 2 * 700);
    }
    {
        // Across the wrap of the low word: the 64-bit difference is unaffected.
        clock.start = 0xffffffffull - 3000;
        sim::Simulator s({}, clock);
        EXPECT_GE(delay_ms(2), 20000u);
    }
    {
        // Counts beyond 4294 ms would wrap a 32-bit target; the 64-bit one does not.
        clock.start = 0;
        clock.step = 100000;
        sim::Simulator s({}, clock);
        const uint64_t t0 = s.clock().now();
        delay_ms(5000);
        EXPECT_GE(s.clock().now() - t0, 50000000u);
    }
}

TEST(Delay, EveryCallIsAnEvent) {
    sim::Simulator s;
    delay_ticks(3);
    delay_ms(2);
    EXPECT_EQ(compact(s.events()), (std::vector<std::string>{"T 3", "M 2"}));
}

TEST(DoneBit, CheckWaitsOneTickThenReadsOnce) {
    {
        sim::Simulator s;
        EXPECT_EQ(dram_cmd_wait(s.context()), 1);
        EXPECT_EQ(compact(s.events()), (std::vector<std::string>{"T 1", "R 828 1", "R 828 1", "R 828 1"}));
    }
    {
        // A command that never completes leaves bit 0 clear.
        sim::ChipConfig c;
        c.cmd_stuck_at = 1;
        c.presets[0x828] = 0xfffffffe;
        sim::Simulator s(c);
        reg_write(s.context(), 0x820, 0x81);
        EXPECT_EQ(dram_cmd_wait(s.context()), 0);
        EXPECT_EQ(s.events().back().val, 0xfffffffeu);
    }
}

}  // namespace
}  // namespace tov::test::primitives_test
