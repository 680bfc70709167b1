// SPDX-License-Identifier: Apache-2.0
// The simulated chip: the behaviour tests and tools rely on.
#include "tests/harness.h"

namespace tov::test::chip_model_test {
namespace {

TEST(ChipModel, DoneBitFollowsCommandsLatencyAndStuckCommand) {
    sim::ChipConfig c;
    c.cmd_latency = 2;
    c.cmd_stuck_at = 2;
    c.presets[0x828] = 0xf0;
    sim::Chip chip(c);
    EXPECT_EQ(chip.load(0x828), 0xf1u);  // no command yet: done
    chip.store(0x820, 0);                // zero does not start a command
    EXPECT_EQ(chip.commands_started(), 0u);
    chip.store(0x820, 0x81);
    EXPECT_EQ(chip.load(0x828), 0xf0u);
    EXPECT_EQ(chip.load(0x828), 0xf0u);
    EXPECT_EQ(chip.load(0x828), 0xf1u);
    chip.store(0x820, 0x91);  // the second command never completes
    for (int i = 0; i < 50; ++i) EXPECT_EQ(chip.load(0x828) & 1, 0u);
    chip.store(0x820, 0x91);
    EXPECT_EQ(chip.commands_started(), 3u);
    chip.load(0x828);
    chip.load(0x828);
    EXPECT_EQ(chip.load(0x828), 0xf1u);
}

TEST(ChipModel, CommandLatencyInTrueTime) {
    sim::ChipConfig c;
    c.cmd_latency_us = 150;  // 1500 units of 100 ns
    sim::Chip chip(c);
    chip.store(0x820, 0x81, 10000);
    EXPECT_EQ(chip.load(0x828, 10000) & 1, 0u);
    EXPECT_EQ(chip.load(0x828, 11499) & 1, 0u);
    EXPECT_EQ(chip.load(0x828, 11500) & 1, 1u);
    chip.store(0x820, 0x91, 20000);  // a new command is timed from its own issue
    EXPECT_EQ(chip.load(0x828, 21000) & 1, 0u);
    EXPECT_EQ(chip.load(0x828, 90000) & 1, 1u);
    // With a latency in loads too, both must have passed.
    c.cmd_latency = 2;
    sim::Chip both(c);
    both.store(0x820, 0x81, 0);
    EXPECT_EQ(both.load(0x828, 5000) & 1, 0u);
    EXPECT_EQ(both.load(0x828, 5000) & 1, 0u);
    EXPECT_EQ(both.load(0x828, 5000) & 1, 1u);
    both.store(0x820, 0x81, 0);
    EXPECT_EQ(both.load(0x828, 0) & 1, 0u);
    EXPECT_EQ(both.load(0x828, 0) & 1, 0u);
    EXPECT_EQ(both.load(0x828, 1499) & 1, 0u);
    EXPECT_EQ(both.load(0x828, 1500) & 1, 1u);
}

TEST(ChipModel, PreemptionLandsJustBeforeTheNextReading) {
    sim::ClockConfig cfg;
    cfg.start = 100;
    cfg.preempt = {{.after_reads = 2, .units = 70000}, {.after_reads = 3, .units = 5}};
    sim::VirtualClock clock(cfg);
    EXPECT_EQ(clock.read(), 100u);
    EXPECT_EQ(clock.read(), 5100u);
    // Whatever the thread does after the second reading still sees the old time.
    EXPECT_EQ(clock.now(), 10100u);
    EXPECT_EQ(clock.read(), 80100u);
    EXPECT_EQ(clock.read(), 85105u);
    EXPECT_EQ(clock.read(), 90105u);
    // On a coarse clock the reading after a preemption is still the last update.
    sim::ClockConfig coarse = sim::ClockConfig::coarse(156250, 0);
    coarse.preempt = {{.after_reads = 1, .units = 200000}};
    sim::VirtualClock w(coarse);
    EXPECT_EQ(w.read(), 156250u);
    EXPECT_EQ(w.read(), 312500u);  // true time 361250: the update at 2 periods
}

TEST(ChipModel, UnstableRegisterAlternates) {
    sim::ChipConfig c;
    c.unstable = {0x810, 0x828};
    sim::Chip chip(c);
    chip.store(0x810, 0x12);
    EXPECT_EQ(chip.load(0x810), ~0x12u);
    EXPECT_EQ(chip.load(0x810), 0x12u);
    EXPECT_EQ(chip.load(0x810), ~0x12u);
    EXPECT_EQ(chip.load(0x828), 0xfffffffeu);  // done bit applied first, then inverted
    EXPECT_EQ(chip.load(0x828), 1u);
}

TEST(ChipModel, TestClientSlots) {
    sim::ChipConfig c;
    c.fb_corrupt[1] = 0xff;
    sim::Chip chip(c);
    chip.store(0x874, 0x11111111);
    chip.store(0x870, 0x4);
    chip.store(0x874, 0x22222222);
    chip.store(0x870, 0x14);
    chip.store(0x870, 0x0);
    EXPECT_EQ(chip.load(0x874), 0x11111111u);
    chip.store(0x870, 0x10);
    EXPECT_EQ(chip.load(0x874), 0x222222ddu);
    EXPECT_EQ(chip.word(0x870), 0x10u);
}

TEST(ChipModel, AuxWordAndRegisterPresets) {
    sim::ChipConfig c;
    c.aux_value = 0xdeadbeef;
    c.presets[0x47c] = 1;
    sim::Simulator s(c);
    EXPECT_EQ(s.mmio_load(sim::Simulator::aux_base), 0xdeadbeefu);
    EXPECT_EQ(s.mmio_load(sim::Simulator::reg_base + 0x47c), 1u);
    EXPECT_EQ(s.mmio_load(sim::Simulator::reg_base + 0x480), 0u);
    EXPECT_EQ(compact(s.events()), (std::vector<std::string>{"A deadbeef", "R 47c 1", "R 480 0"}));
}

}  // namespace
}  // namespace tov::test::chip_model_test
