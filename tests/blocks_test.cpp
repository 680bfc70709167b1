// SPDX-License-Identifier: Apache-2.0
// The shared blocks: DRAM command issue forms, bounded done-bit waits, the
// power-up list, clock-generator programming, configuration pulses and the
// frame-buffer check, each checked store by store on the simulated chip.
#include "meminit/hw/blocks.h"
#include "meminit/hw/access.h"
#include "meminit/hw/regs.h"
#include "tests/harness.h"

namespace tov::test::blocks_test {
namespace {

// A chip whose register test client flips `bits` of what is written to its slot.
sim::ChipConfig fb_corrupt(int slot, uint32_t bits) {
    sim::ChipConfig c;
    c.fb_corrupt[slot] = bits;
    return c;
}

using Lines = std::vector<std::string>;

Lines folded(const sim::Simulator& s) {
    RunResult r;
    r.events = s.events();
    return accesses(r);
}

TEST(CommandBlocks, IssueFormsStoreExactly) {
    {
        sim::Simulator s;
        Bus bus(s.context(), false);
        dram_cmd(bus, 0x1ffff, 0x10a1);
        EXPECT_EQ(compact(s.events()), (Lines{"W 820 0", "W 824 1ffff", "W 820 10a1", "T 1"}));
    }
    {
        sim::Simulator s;
        Bus bus(s.context(), false);
        dram_cmd_nc(bus, 0x98ef0000, 0x11f1, 3);
        EXPECT_EQ(compact(s.events()), (Lines{"W 824 98ef0000", "W 820 11f1", "T 3"}));
    }
    {
        // Polling form: no zero write, no delay, returns at the first stable read with bit 0 set.
        sim::ChipConfig c;
        c.cmd_latency = 2;
        sim::Simulator s(c);
        Bus bus(s.context(), false);
        EXPECT_TRUE(dram_cmd_poll(bus, 0x20132, 0x81));
        EXPECT_EQ(bus.result(), 1);
        EXPECT_EQ(compact(s.events()),
                  (Lines{"W 824 20132", "W 820 81", "R 828 0", "R 828 0", "R 828 1", "R 828 1", "R 828 1"}));
    }
}

TEST(CommandBlocks, DoneWaitGivesUpWithinItsBound) {
    for (bool checked : {false, true}) {
        sim::ChipConfig c;
        c.cmd_stuck_at = 1;
        sim::Simulator s(c);
        const uint64_t t0 = s.clock().now();
        Bus bus(s.context(), checked);
        EXPECT_FALSE(dram_cmd_poll(bus, 0x10000, 0x1171));
        EXPECT_EQ(bus.result(), 0);
        const uint64_t waited = s.clock().now() - t0;
        EXPECT_GE(waited, done_wait_bound);
        EXPECT_LE(waited, done_wait_bound + 2 * sim::ClockConfig::default_step);
        size_t loads = 0;
        for (const Event& e : s.events()) loads += e.kind == EventKind::load;
        EXPECT_LE(loads, 1000u) << "a time-out must stay cheap to simulate";
        EXPECT_GT(loads, 100u);
    }
}

TEST(CommandBlocks, CheckedWaitFailsOnAStatusThatNeverSettles) {
    sim::ChipConfig c;
    c.unstable.insert(0x828);
    {
        sim::Simulator s(c);
        Bus bus(s.context(), true);
        EXPECT_FALSE(dram_wait_done(bus));
        EXPECT_EQ(bus.result(), -1);
        EXPECT_EQ(s.events().size(), 32u);
        // Halted, a further wait touches nothing.
        EXPECT_FALSE(dram_wait_done(bus));
        EXPECT_EQ(s.events().size(), 32u);
    }
    {
        // Unchecked, the 32nd load (the true value, done) ends the wait.
        sim::Simulator s(c);
        Bus bus(s.context(), false);
        EXPECT_TRUE(dram_wait_done(bus));
        EXPECT_EQ(bus.result(), 1);
    }
}

TEST(PowerUp, ListPositionsAndIssueForms) {
    const dram::PowerUpList w = {
        .cke_high_cycles = 0x98ef, .emrs_cycles = 2, .dll_reset_cycles = 2, .mode = 0x32, .final_cycles = 0x14};
    {
        sim::Simulator s;
        Bus bus(s.context(), false);
        dram_power_up_polled(bus, w);
        EXPECT_EQ(bus.result(), 1);
        RunResult r;
        r.events = s.events();
        EXPECT_EQ(commands(r), (std::vector<Command>{{0x1171, 0x10000},
                                                     {0x11f1, 0x98ef0000},
                                                     {0x10a1, 0x1ffff},
                                                     {0x1081, 0x20000},
                                                     {0x81, 0x20132},
                                                     {0xa1, 0x2ffff},
                                                     {0x91, 0x20000},
                                                     {0x91, 0x140000},
                                                     {0x81, 0x140032},
                                                     {0x1f3, 0xc80000}}));
        EXPECT_EQ(stores_to(r, 0x820),
                  (std::vector<uint32_t>{0x1171, 0x11f1, 0x10a1, 0x1081, 0x81, 0xa1, 0x91, 0x91, 0x81, 0x1f3}));
    }
    {
        // Second family: P1 without the zero write, P2..P9 with it, a wait after each.
        sim::Simulator s;
        Bus bus(s.context(), false);
        dram_power_up_waited(bus, w);
        EXPECT_EQ(bus.result(), 1);
        const Lines f = folded(s);
        EXPECT_EQ((Lines{f.begin(), f.begin() + 9}), (Lines{"W 824 98ef0000", "W 820 11f1", "T 1", "R 828 1", "W 820 0",
                                                            "W 824 1ffff", "W 820 10a1", "T 1", "R 828 1"}));
        RunResult r;
        r.events = s.events();
        EXPECT_EQ(commands(r).size(), 9u);
        EXPECT_EQ(commands(r).back(), (Command{0x1f3, 0xc80000}));
    }
    {
        sim::ChipConfig c;
        c.cmd_stuck_at = 4;
        sim::Simulator s(c);
        Bus bus(s.context(), false);
        dram_power_up_waited(bus, w);
        EXPECT_EQ(bus.result(), 0);
        EXPECT_EQ(s.chip().commands_started(), 4u);
        // The fourth command's wait is the last event: nothing follows the halt.
        EXPECT_EQ(s.events().back().off, 0x828u);
    }
}

TEST(ClockGen, HoldFieldReleaseInListOrder) {
    const ClockGenField gens[] = {
        {.reg = 0x010,
         .clear = reg::clkgen::rate.mask() | reg::clkgen::bit1,
         .set = reg::clkgen::rate.place(0x3a) | reg::clkgen::bit1,
         .release = true},
        {.reg = 0x018, .clear = reg::clkgen::rate.mask(), .set = reg::clkgen::rate.place(0x17), .release = false},
        {.reg = 0x030, .clear = reg::clkgen::rate.mask(), .set = reg::clkgen::rate.place(0x14), .release = true},
    };
    sim::Simulator s;
    Bus bus(s.context(), false);
    clock_gen_hold(bus, gens, 3);
    clock_gen_set_fields(bus, gens, 3);
    clock_gen_release(bus, gens, 3);
    EXPECT_EQ(bus.result(), 1);
    EXPECT_EQ(
        folded(s),
        (Lines{"R 10 0",      "W 10 c00000", "R 18 0",      "W 18 c00000", "R 30 0",      "W 30 c00000", "R 10 c00000",
               "W 10 c03a02", "R 18 c00000", "W 18 c01700", "R 30 c00000", "W 30 c01400", "R 10 c03a02", "W 10 403a02",
               "R 30 c01400", "W 30 401400", "R 10 403a02", "W 10 3a02",   "R 30 401400", "W 30 1400",   "T 1"}));
    // The generator that was not released stays held.
    EXPECT_EQ(s.chip().word(0x018), 0xc01700u);
}

TEST(ConfigPulse, BothForms) {
    {
        sim::Simulator s;
        Bus bus(s.context(), false);
        config_pulse_high(bus, 0x26a0936);
        EXPECT_EQ(compact(s.events()), (Lines{"W 810 c26a0936", "T 1", "W 810 26a0936", "T 1"}));
    }
    for (bool fresh : {false, true}) {
        sim::ChipConfig c;
        c.presets[0x810] = 0x126a0936;
        sim::Simulator s(c);
        Bus bus(s.context(), false);
        config_pulse_bit30(bus, 3, fresh);
        Lines expect{"R 810 126a0936", "W 810 526a0936", "T 3"};
        if (fresh) expect.push_back("R 810 526a0936");
        expect.push_back("W 810 126a0936");
        EXPECT_EQ(folded(s), expect) << fresh;
    }
}

TEST(FrameBufferCheck, PassesAndFailsPerWord) {
    const Lines writes{"W 874 12345678", "M 2", "W 878 1f00", "M 2", "W 870 4", "M 2", "W 874 87654321", "M 2",
                       "W 878 1f00",     "M 2", "W 870 14",   "M 2", "W 870 0", "M 2", "W 878 0",        "M 2"};
    {
        sim::Simulator s;
        Bus bus(s.context(), false);
        fb_register_test(bus, FbCheck::plain);
        EXPECT_EQ(bus.result(), 1);
        Lines expect = writes;
        expect.insert(expect.end(),
                      {"R 874 12345678", "M 2", "W 870 10", "M 2", "W 878 0", "M 2", "R 874 87654321", "M 2"});
        EXPECT_EQ(folded(s), expect);
        EXPECT_EQ(s.chip().test_slot(0), 0x12345678u);
        EXPECT_EQ(s.chip().test_slot(1), 0x87654321u);
    }
    {
        // Wrong first word: nine steps, no further write to the control register.
        sim::Simulator s(fb_corrupt(0, 1));
        Bus bus(s.context(), false);
        fb_register_test(bus, FbCheck::plain);
        EXPECT_EQ(bus.result(), 0);
        Lines expect = writes;
        expect.insert(expect.end(), {"R 874 12345679", "M 2"});
        EXPECT_EQ(folded(s), expect);
    }
    {
        // Wrong second word: all twelve steps; failures traced when asked.
        sim::Simulator s(fb_corrupt(1, 0x80000000));
        Bus bus(s.context(), false);
        fb_register_test(bus, FbCheck::traced);
        EXPECT_EQ(bus.result(), 0);
        RunResult r;
        r.events = s.events();
        EXPECT_EQ(messages(r), (Lines{"Frame Buffer Read/Write using Register test client 0x87654321 failed\n",
                                      "expected 0x87654321, actual 0x 7654321\n"}));
        EXPECT_EQ(stores_to(r, 0x870), (std::vector<uint32_t>{4, 0x14, 0, 0x10}));
    }
    {
        sim::ChipConfig c;
        c.unstable.insert(0x874);
        sim::Simulator s(c);
        Bus bus(s.context(), true);
        fb_register_test(bus, FbCheck::traced);
        EXPECT_EQ(bus.result(), -1);
        // Halted at the first read-back: no wait after it, no message, no further step.
        RunResult r;
        r.events = s.events();
        EXPECT_TRUE(messages(r).empty());
        EXPECT_EQ(s.events().back().kind, EventKind::load);
        EXPECT_EQ(stores_to(r, 0x870), (std::vector<uint32_t>{4, 0x14, 0}));
    }
}

}  // namespace
}  // namespace tov::test::blocks_test
