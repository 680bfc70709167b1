// SPDX-License-Identifier: Apache-2.0
#include "meminit/hw/blocks.h"

#include "meminit/hw/access.h"
#include "meminit/hw/platform.h"
#include "meminit/hw/regs.h"

namespace tov {

void dram_cmd(Bus& bus, uint32_t word, uint32_t code, uint32_t ticks) {
    bus.write(reg::DRC_CMD, dram::idle);
    dram_cmd_nc(bus, word, code, ticks);
}

void dram_cmd_nc(Bus& bus, uint32_t word, uint32_t code, uint32_t ticks) {
    bus.write(reg::DRC_CMD_WORD, word);
    bus.write(reg::DRC_CMD, code);
    bus.ticks(ticks);
}

namespace {
// The whole wait is one step of the diagnostic log; its result goes to the
// bus. Inlined: the release image keeps no note on the stack.
[[gnu::always_inline]] inline bool noted_wait(Bus& bus, platform::StepNote& n, int32_t result) {
    note_step(bus.ctx(), n);
    return bus.done(result);
}
}  // namespace

bool dram_wait_done(Bus& bus) {
    if (bus.halted()) return false;
    const RegContext* ctx = bus.ctx();
    WaitClock clock;
    // The last reading is the first until the wait reads the clock again.
    platform::StepNote n{
        .kind = platform::Step::wait, .off = reg::DRC_CMD_STATUS, .first = clock.first, .last = clock.first};
    // A time-out is reported only by a poll made after the bound had surely
    // passed: the thread may lose the processor (preemption, an interrupt)
    // between a poll and the clock reading after it, for longer than the
    // bound, while the command completes.
    bool expired = false;
    for (;;) {
        uint32_t v = 0, loads = 0;
        const bool settled = reg_poll(ctx, reg::DRC_CMD_STATUS, &v, &loads);
        ++n.count;
        n.loads += loads;
        n.val = v;
        n.settled = settled;
        if (!settled && bus.checked()) return noted_wait(bus, n, status_fail);
        if (v & dram::status_done) {
            n.done = true;
            return noted_wait(bus, n, 1);
        }
        if (settled) {
            ++n.busy;
            n.busy_val = v;
        }
        if (expired) return noted_wait(bus, n, 0);
        const uint64_t now = clock.read();
        if constexpr (platform::steps_noted) n.last = now;
        expired = clock.waited(now) >= done_wait_bound;
        spin_pause();
    }
}

bool dram_cmd_poll(Bus& bus, uint32_t word, uint32_t code) {
    bus.write(reg::DRC_CMD_WORD, word);
    bus.write(reg::DRC_CMD, code);
    return dram_wait_done(bus);
}

void dram_power_up_polled(Bus& bus, const dram::PowerUpList& l) {
    for (uint32_t i = 0; i < dram::power_up_len; ++i) {
        const dram::Command c = dram::power_up_command(l, i);
        if (!dram_cmd_poll(bus, c.word, c.code)) return;
    }
}

void dram_power_up_waited(Bus& bus, const dram::PowerUpList& l, uint32_t ticks, uint32_t last, DoneCheck check) {
    for (uint32_t i = 1; i <= last; ++i) {
        const dram::Command c = dram::power_up_command(l, i);
        if (i == 1)
            dram_cmd_nc(bus, c.word, c.code, ticks);
        else
            dram_cmd(bus, c.word, c.code, ticks);
        const bool done = check == DoneCheck::poll ? dram_wait_done(bus) : dram_done_after(bus, 1);
        if (!done) return;
    }
}

void clock_gen_hold(Bus& bus, const ClockGenField* g, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) bus.modify(g[i].reg, 0, reg::clkgen::held);
}

void clock_gen_set_fields(Bus& bus, const ClockGenField* g, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) bus.modify(g[i].reg, g[i].clear, g[i].set);
}

void clock_gen_release(Bus& bus, const ClockGenField* g, uint32_t n, uint32_t ticks, bool pause) {
    // Bit 23 first, then bit 22: the generator must leave hold in that order.
    constexpr uint32_t stages[2] = {reg::clkgen::hold_first, reg::clkgen::hold_second};
    for (uint32_t bit : stages) {
        for (uint32_t i = 0; i < n; ++i)
            if (g[i].release) bus.modify(g[i].reg, bit, 0);
        if (pause && bit == stages[0]) bus.ticks(ticks);
    }
    bus.ticks(ticks);
}

void config_pulse_high(Bus& bus, uint32_t w, uint32_t ticks) {
    bus.write(reg::DRC_CFG, w | reg::drc_cfg::pulse_both);
    bus.ticks(ticks);
    bus.write(reg::DRC_CFG, w);
    bus.ticks(ticks);
}

void config_pulse_bit30(Bus& bus, uint32_t ticks, bool fresh_clear) {
    const uint32_t v = bus.read(reg::DRC_CFG);
    bus.write(reg::DRC_CFG, v | reg::drc_cfg::pulse_low);
    bus.ticks(ticks);
    const uint32_t base = fresh_clear ? bus.read(reg::DRC_CFG) : v;
    bus.write(reg::DRC_CFG, base & ~reg::drc_cfg::pulse_low);
}

namespace {

// The register test client check: two patterns written to test slots 0 and
// 0x10 and read back, each step followed by a wait, the comparison after it.
struct CheckStep {
    uint32_t off;
    uint32_t value;  // stored, or expected on a read-back
    bool read_back = false;
    const char* failed = nullptr;  // messages of the traced flavour
    const char* expected = nullptr;
};

namespace test_ctrl = reg::drc_test_ctrl;
constexpr uint32_t slot_0x10 = test_ctrl::slot.place(1);

constexpr CheckStep check_steps[12] = {
    {.off = reg::DRC_TEST_DATA, .value = 0x12345678},
    {.off = reg::DRC_878, .value = 0x1f00},
    {.off = reg::DRC_TEST_CTRL, .value = test_ctrl::write},  // write slot 0
    {.off = reg::DRC_TEST_DATA, .value = 0x87654321},
    {.off = reg::DRC_878, .value = 0x1f00},
    {.off = reg::DRC_TEST_CTRL, .value = test_ctrl::write | slot_0x10},
    {.off = reg::DRC_TEST_CTRL, .value = 0},  // read slot 0
    {.off = reg::DRC_878, .value = 0},
    {.off = reg::DRC_TEST_DATA,
     .value = 0x12345678,
     .read_back = true,
     .failed = "Frame Buffer Read/Write using Register test client 0x12345678 failed\n",
     .expected = "expected 0x12345678, actual 0x%8x\n"},
    {.off = reg::DRC_TEST_CTRL, .value = slot_0x10},
    {.off = reg::DRC_878, .value = 0},
    {.off = reg::DRC_TEST_DATA,
     .value = 0x87654321,
     .read_back = true,
     .failed = "Frame Buffer Read/Write using Register test client 0x87654321 failed\n",
     .expected = "expected 0x87654321, actual 0x%8x\n"},
};
constexpr uint32_t check_tail_from = 9;  // steps 10..12

}  // namespace

void fb_register_test(Bus& bus, FbCheck flavour) {
    for (uint32_t i = 0; i < 12 && !bus.halted(); ++i) {
        const CheckStep& s = check_steps[i];
        uint32_t v = 0;
        if (s.read_back)
            v = bus.read(s.off);
        else
            bus.write(s.off, s.value);
        if (flavour == FbCheck::tick_tail && i >= check_tail_from)
            bus.ticks(1);
        else
            bus.ms(2);
        if (s.read_back && v != s.value && !bus.halted()) {
            if (flavour == FbCheck::traced) {
                mem_trace(bus.ctx(), s.failed);
                mem_trace(bus.ctx(), s.expected, v);
            }
            bus.halt(0);
        }
    }
}

void lanes_on(Bus& bus, LaneBringUp l) {
    static constexpr uint32_t lane[] = {reg::DRC_LANE0, reg::DRC_LANE1, reg::DRC_LANE2, reg::DRC_LANE3};
    auto parked = [&l](uint32_t i) { return l.half && i >= 2; };
    bus.modify(reg::DRC_890, 0, reg::drc_890::lanes_follow);
    for (uint32_t i = 0; i < l.lanes; ++i)
        bus.modify(lane[i], parked(i) ? 0 : reg::lane::off, parked(i) ? reg::lane::off : 0);
    bus.modify(reg::DRC_880, reg::lane::off, reg::lane::bit6);
    if (l.read_back) bus.read(reg::DRC_880);  // the controller needs the read before the delay
    bus.ticks(l.settle_ticks);
    for (uint32_t i = 0; i < l.lanes; ++i)
        if (!parked(i)) bus.modify(lane[i], 0, reg::lane::on);
    bus.modify(reg::DRC_880, 0, reg::lane::on);
}

}  // namespace tov
