// SPDX-License-Identifier: Apache-2.0
// Main routine of the second family (162 MHz part): standard forms, the
// short sequence, the 25 MHz re-initialisations and command time-outs.
#include <cstdio>
#include <map>

#include "meminit/hw/regs.h"
#include "tests/harness.h"
#include "tests/register_model.h"
#include "tests/reinit_model.h"

namespace tov::test::orlit_main_test {
namespace {

constexpr uint32_t main_id = 0x1000001;  // 64 MiB, bus 1, mode 1, no clock remapping
const std::string entering = "X entering meminit_orlit_K4H561638F_TCCC\n";
const std::string leaving = "X leaving meminit_orlit_K4H561638F_TCCC\n";

std::string w(uint32_t off, uint32_t v) {
    char b[40];
    std::snprintf(b, sizeof b, "W %x %x", off, v);
    return b;
}
std::string r(uint32_t off, uint32_t v) {
    char b[40];
    std::snprintf(b, sizeof b, "R %x %x", off, v);
    return b;
}
std::string t(uint32_t n) { return "T " + std::to_string(n); }

}  // namespace

// Form A, written out from the register program on a chip of random
// register contents: every load, store, delay and message in order, each
// read-modify-write keeping the bits outside its field.
static std::vector<std::string> form_a(const std::map<uint32_t, uint32_t>& presets) {
    RegisterModel m(presets);
    m.x(entering.substr(2));
    m.rmw(0x43c, reg::blk_43c::enable, 0);
    for (uint32_t off : {0x418u, 0x420u, 0x430u}) m.w(off, 0);
    m.w(0x000, 0xfffffdff);
    m.w(0x058, 0x3000000);  // mode_flag 1
    for (uint32_t off : {0x10u, 0x18u, 0x30u}) m.rmw(off, 0, reg::clkgen::held);
    m.w(0x05c, 0xfffd);
    m.w(0x070, 0x1000000);
    for (uint32_t off : {0x10u, 0x18u, 0x30u}) m.rmw(off, reg::clkgen::rate.mask(), reg::clkgen::rate.place(0x17));
    for (uint32_t off : {0x10u, 0x18u, 0x30u}) m.rmw(off, reg::clkgen::hold_first, 0);
    for (uint32_t off : {0x10u, 0x18u, 0x30u}) m.rmw(off, reg::clkgen::hold_second, 0);
    m.t(1);
    m.w(0x050, 0x9b0fd0);
    m.rmw(0x058, 0, 0x26f);
    m.w(0x05c, 0xf000000);
    m.w(0x060, 0);
    m.w(0x008, 0x800ffab7);
    m.w(0x068, 0x478);
    m.rmw(0x000, reg::sys_000::pads_reset | reg::sys_000::bit9, 0);
    m.rmw(0x890, 0, reg::drc_890::lanes_follow);
    m.rmw(0x860, reg::lane::off, 0);
    m.rmw(0x864, reg::lane::off, 0);
    m.rmw(0x880, reg::lane::off, reg::lane::bit6);
    m.r(0x880);
    m.t(1);
    m.rmw(0x860, 0, reg::lane::on);
    m.rmw(0x864, 0, reg::lane::on);
    m.rmw(0x880, 0, reg::lane::on);
    m.w(0x810, 0x26a0936);
    m.w(0x814, 0x4bb0937);
    m.w(0x818, 0x223230b);
    m.w(0x81c, 0x31);
    const uint32_t cmds[9][2] = {{0x794b0000, 0x11f1}, {0x1ffff, 0x10a1}, {0x30000, 0x1081},
                                 {0x20132, 0x81},      {0x2ffff, 0xa1},   {0x30000, 0x91},
                                 {0xb0000, 0x91},      {0xb0032, 0x81},   {0xc80000, 0x1f3}};
    for (int i = 0; i < 9; ++i) {
        if (i > 0) m.w(0x820, 0);
        m.w(0x824, cmds[i][0]);
        m.w(0x820, cmds[i][1]);
        m.t(1);
        m.r(0x828);
    }
    m.w(0x820, 0);
    m.w(0x850, 0);
    m.w(0x840, 0x88888888);
    m.w(0x844, 0x88888888);
    m.w(0x848, 0xf);
    m.rmw(0x810, 0, reg::drc_cfg::pulse_low);
    m.t(1);
    m.rmw(0x810, reg::drc_cfg::pulse_low, 0);  // fresh clear
    m.rmw(0x43c, 0, reg::blk_43c::enable);
    m.w(0x400, 0xf9c);
    m.w(0x068, 0x478);
    m.x(leaving.substr(2));
    return m.lines;
}

// Every clock_index that selects form A, each with several draws of the
// register file (the family ignores power_mode; it only varies the draw), so
// that every kept bit of every field write is seen both set and clear.
TEST(OrlitMain, FormAExactTraffic) {
    for (uint32_t clock : {0u, 2u, 3u, 4u, 5u, 6u, 13u})
        for (uint32_t draw = 0; draw < 4; ++draw) {
            SCOPED_TRACE(testing::Message() << "clock_index " << clock << ", draw " << draw);
            const sim::ChipConfig chip = random_chip(main_id, clock, draw);
            const RunResult res = run(main_id, clock, 0, chip);
            EXPECT_EQ(res.ret, 1);
            EXPECT_EQ(res.record.mem_clock_khz, 162000u);
            EXPECT_EQ(res.record.mem_size_out, clock == 2 ? 0x2000000u : 0x4000000u);
            EXPECT_TRUE(same_traffic(accesses(res), form_a(chip.presets)));
        }
}

// The same form on a chip that reads 0 everywhere.
TEST(OrlitMain, FormAOnZeroRegisters) {
    const RunResult res = run(main_id, 0);
    EXPECT_TRUE(same_traffic(accesses(res), form_a({})));
    EXPECT_EQ(accesses(res).size(), 123u);
}

TEST(OrlitMain, CaseSelectionAndSizes) {
    struct Row {
        uint32_t clock;
        uint32_t cfg;   // 0x810 before the commands
        uint32_t hold;  // first 0x000 word
        uint32_t size;  // 64 MiB row, bus 1
        uint32_t early_068;
    };
    const Row rows[] = {
        {0, 0x26a0936, 0xfffffdff, 0x4000000, 0x478},
        {2, 0x26a0936, 0xfffffdff, 0x2000000, 0x478},
        {3, 0x26a0936, 0xfffffdff, 0x4000000, 0x478},
        {6, 0x26a0936, 0xfffffdff, 0x4000000, 0x478},
        {7, 0x126a0936, 0xffffffff, 0x2000000, 0},
        {10, 0x126a0936, 0xffffffff, 0x2000000, 0},
        {11, 0x126a0936, 0xffffffff, 0x1000000, 0},
        {12, 0x126a0936, 0xffffffff, 0x2000000, 0},
        {13, 0x26a0936, 0xfffffdff, 0x4000000, 0x478},
        {0xffff0002, 0x26a0936, 0xfffffdff, 0x4000000, 0x478},
        {0xffff0006, 0x26a0936, 0xfffffdff, 0x4000000, 0x478},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.clock);
        const RunResult res = run(main_id, row.clock);
        EXPECT_EQ(res.ret, 1);
        EXPECT_EQ(res.record.mem_clock_khz, 162000u);
        EXPECT_EQ(res.record.mem_size_out, row.size);
        EXPECT_EQ(stores_to(res, 0x810).front(), row.cfg);
        EXPECT_EQ(stores_to(res, 0x000).front(), row.hold);
        // Form A releases bits 4 and 9 of 0x000, the others bit 4 only.
        EXPECT_EQ(last(stores_to(res, 0x000)), row.hold & ~(row.hold == 0xfffffdff ? 0x210u : 0x10u));
        EXPECT_EQ(stores_to(res, 0x068), (std::vector<uint32_t>{row.early_068, 0x478}));
        EXPECT_EQ(res.commands, 9u);
    }
}

TEST(OrlitMain, HalfOrQuarterFollowsBus) {
    // 0x1000007: 32 MiB, bus 0; clock 11 is above the remapped range.
    const RunResult narrow = run(0x1000007, 11);
    EXPECT_EQ(narrow.record.clock_index, 11u);
    EXPECT_EQ(narrow.record.mem_size_out, 0x1000000u);  // halved
    const RunResult wide = run(main_id, 11);
    EXPECT_EQ(wide.record.mem_size_out, 0x1000000u);  // 64 MiB quartered
    EXPECT_EQ(wide.record.mem_clock_khz, 162000u);
    // Clock 2 halves only on the wide bus.
    EXPECT_EQ(run(0x1000037, 2).record.mem_size_out, 0x2000000u);
    EXPECT_EQ(run(0x1000026, 7).record.mem_size_out, 0x2000000u);  // bus 0: form B keeps 32 MiB
}

TEST(OrlitMain, FormBPulseIsHeldAndB12ReleasesOnlyFirstGenerator) {
    const RunResult b = run(main_id, 8);
    EXPECT_TRUE(contains_run(b, {"W 848 f"}));
    // Held clear: the value read before the pulse, no second read of 0x810.
    const auto acc = accesses(b);
    const auto it = std::find(acc.begin(), acc.end(), "W 848 f");
    ASSERT_NE(it, acc.end());
    EXPECT_EQ(std::vector<std::string>(it + 1, it + 5),
              (std::vector<std::string>{"R 810 126a0936", "W 810 526a0936", "T 1", "W 810 126a0936"}));
    for (uint32_t off : {0x10u, 0x18u, 0x30u}) EXPECT_EQ(last(stores_to(b, off)), 0x1700u) << off;
    EXPECT_EQ(stores_to(b, 0x050), (std::vector<uint32_t>{0x9b0fd0}));

    const RunResult b12 = run(main_id, 12);
    EXPECT_EQ(last(stores_to(b12, 0x010)), 0x1700u);
    EXPECT_EQ(last(stores_to(b12, 0x018)), 0xc01700u);  // still held
    EXPECT_EQ(last(stores_to(b12, 0x030)), 0xc01700u);
    EXPECT_EQ(stores_to(b12, 0x050), (std::vector<uint32_t>{0xdd0fd4}));
    EXPECT_EQ(stores_to(b12, 0x810).back(), 0x126a0936u);

    // Form A clears bit 30 in a fresh read.
    const RunResult a = run(main_id, 4);
    EXPECT_TRUE(contains_run(a, {"W 810 426a0936", "T 1", "R 810 426a0936"}));
}

TEST(OrlitMain, ShortSequence) {
    const RunResult res = run(main_id, 1);
    const std::vector<std::string> x = {
        entering,
        t(1),
        w(0x000, 0xf2a6),
        w(0x05c, 0x69),
        w(0x060, 0xffffffff),
        r(0x058, 0),
        w(0x058, 0),
        t(1),
        w(0x010, 0xc00000),
        w(0x018, 0xc00000),
        w(0x030, 0xc00000),
        w(0x880, 1),
        w(0x070, 0x1000000),
        w(0x070, 2),
        r(0x050, 0),
        w(0x050, 0xee),
        r(0x058, 0),
        w(0x058, 6),
        t(1),
        w(0x000, 0),
        t(1),
        w(0x068, 0x478),
        leaving,
    };
    EXPECT_EQ(res.ret, 1);
    EXPECT_EQ(res.record.mem_clock_khz, 162000u);
    EXPECT_EQ(res.record.mem_size_out, 0x2000000u);  // half: bus 1
    EXPECT_EQ(res.commands, 0u);
    EXPECT_TRUE(same_traffic(accesses(res), x));

    // The field writes keep the other bits.
    sim::ChipConfig chip;
    chip.presets = {{0x050, 0xffffffff}, {0x058, 0xffffffff}};
    const RunResult kept = run(main_id, 1, 0, chip);
    EXPECT_EQ(stores_to(kept, 0x050), (std::vector<uint32_t>{0xffffffee}));
    EXPECT_EQ(stores_to(kept, 0x058), (std::vector<uint32_t>{0xfffffd90, 0xfffffd96}));
}

namespace {

// Expected traffic of a re-initialisation from its distinguishing values, on
// a chip that starts at `presets`.
struct Variant {
    uint32_t clock;
    uint32_t size;
    uint32_t cfg;
    uint32_t field;
    std::vector<std::pair<uint32_t, uint32_t>> cmds;
};

std::vector<std::string> reinit_traffic(const Variant& v, const std::map<uint32_t, uint32_t>& presets = {}) {
    RegisterModel m(presets);
    m.x(entering.substr(2));
    if (v.clock == 0xffff0004) {
        m.rmw(0x43c, reg::blk_43c::enable, 0);
        m.w(0x000, 0xffffffff);
        m.r(0x000);
    } else if (v.clock == 0xffff0005) {
        m.w(0x000, 0xffffffff);
    } else {
        m.rmw(0x000, 0, reg::sys_000::pads_reset);
    }
    const bool keeps_818_top = v.field == dram::code_fields;  // bits 28-31 kept
    reinit_steps(m, {.lanes = {0x860, 0x864},
                     .cfg_kept = reg::drc_cfg::reinit_kept,
                     .cfg = v.cfg,
                     .drc_818_kept = keeps_818_top ? reg::drc_818::reinit_kept : 0u,
                     .drc_818 = keeps_818_top ? 0x1222104u : 0x11222104u,
                     .drc_81c_clear = reg::drc_81c::reinit.mask(),
                     .cmd_field = v.field,
                     .cmds = v.cmds,
                     .cleared_cmds = 7});
    if (v.field == dram::code_fields_with_bit2)
        for (auto [off, val] :
             {std::pair{0x840u, 0x44444444u}, {0x844u, 0x44444444u}, {0x8a0u, 0xccccccccu}, {0x8a4u, 0xccccccccu}})
            m.w(off, val);
    m.rmw(0x43c, ~0u, reg::blk_43c::reinit_enable);
    m.w(0x068, 0x478);
    m.x(leaving.substr(2));
    return m.lines;
}

const std::vector<std::pair<uint32_t, uint32_t>> cmds_1 = {{0x27100000, 0x31f1}, {0x10400, 0x30a1}, {0x10000, 0x1081},
                                                           {0x20123, 0x81},      {0x20400, 0xa1},   {0x10000, 0x91},
                                                           {0x40000, 0x91},      {0x40023, 0x81},   {0x20000, 0x1f3}};
const std::vector<std::pair<uint32_t, uint32_t>> cmds_2 = {
    {0x20000, 0x3171}, {0x27100000, 0x31f1}, {0x10400, 0x30a1}, {0x10000, 0x1081}, {0x20122, 0x81},
    {0x20400, 0xa1},   {0x10000, 0x91},      {0x40000, 0x91},   {0x40022, 0x81},   {0x20000, 0x1f3}};

}  // namespace

TEST(OrlitReinit, ThreeVariantsExactTraffic) {
    const Variant variants[] = {
        {0x1000000, 0x2000000, 0x36a0936, dram::code_fields, cmds_1},
        {0xffff0003, 0x2000000, 0x36a0936, dram::code_fields, cmds_1},
        {0xffff0004, 0x4000000, 0x26a0936, dram::code_fields_with_bit2, cmds_2},
        {0xffff0005, 0x1000000, 0x126a0936, dram::code_fields_with_bit2, cmds_2},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.clock);
        const sim::ChipConfig chip = random_chip(main_id, v.clock);
        const RunResult res = run(main_id, v.clock, 0, chip);
        EXPECT_EQ(res.ret, 1);
        EXPECT_EQ(res.record.mem_clock_khz, 25000u);
        EXPECT_EQ(res.record.mem_size_out, v.size);
        EXPECT_EQ(res.record.clock_index, v.clock);  // passed through unchanged
        EXPECT_TRUE(same_traffic(accesses(res), reinit_traffic(v, chip.presets)));
        EXPECT_TRUE(same_traffic(accesses(run(main_id, v.clock)), reinit_traffic(v))) << "registers at 0";
        uint32_t ticks = 0;
        for (uint32_t n : tick_delays(res)) ticks += n;
        EXPECT_EQ(ticks, 100 + 20 * (v.cmds.size() + 2));
        for (uint32_t off : {0x10u, 0x18u, 0x30u, 0x50u, 0x58u, 0x5cu, 0x60u, 0x70u})
            EXPECT_TRUE(stores_to(res, off).empty()) << off;
    }
}

TEST(OrlitReinit, FirstVariantSameTrafficForBothClockValues) {
    EXPECT_TRUE(same_traffic(trace_of(run(main_id, 0x1000000)), trace_of(run(main_id, 0xffff0003))));
    // The second and third differ only in the start, 0x810 and the size.
    auto a = accesses(run(main_id, 0xffff0004));
    auto b = accesses(run(main_id, 0xffff0005));
    a.erase(a.begin() + 1, a.begin() + 5);  // 0x43c clear, all ones, read back
    b.erase(b.begin() + 1, b.begin() + 2);  // all ones
    ASSERT_EQ(a.size(), b.size());
    size_t differ = 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) {
            ++differ;
            EXPECT_EQ(a[i], "W 810 26a0936");
            EXPECT_EQ(b[i], "W 810 126a0936");
        }
    EXPECT_EQ(differ, 1u);
}

TEST(OrlitReinit, FieldWritesKeepTheirBits) {
    sim::ChipConfig chip;
    for (uint32_t off : {0x810u, 0x818u, 0x81cu, 0x824u, 0x820u, 0x860u}) chip.presets[off] = 0xffffffff;
    const RunResult v1 = run(main_id, 0x1000000, 0, chip);
    EXPECT_EQ(stores_to(v1, 0x810), (std::vector<uint32_t>{0xc880e080 | 0x36a0936}));
    EXPECT_EQ(stores_to(v1, 0x818), (std::vector<uint32_t>{0xf1222104}));
    EXPECT_EQ(stores_to(v1, 0x81c), (std::vector<uint32_t>{0xfffffe21}));
    EXPECT_EQ(stores_to(v1, 0x860), (std::vector<uint32_t>{0xfffffffe}));
    EXPECT_EQ(stores_to(v1, 0x824).front(), 0x2710e000u);            // bits 13-15 kept
    EXPECT_EQ(stores_to(v1, 0x820).front(), 0xffffce0cu | 0x31f1u);  // outside 0x31f3 kept
    const RunResult v2 = run(main_id, 0xffff0004, 0, chip);
    EXPECT_EQ(stores_to(v2, 0x818), (std::vector<uint32_t>{0x11222104}));  // plain after a read
    EXPECT_EQ(stores_to(v2, 0x820).front(), 0xffffce08u | 0x3171u);
}

TEST(OrlitMain, DispatcherFixedClocks) {
    for (uint32_t id : {0x1000002u, 0x1000003u}) {
        for (uint32_t clock : {0u, 1u, 3u, 11u, 0xffff0004u}) {
            SCOPED_TRACE(clock);
            const RunResult res = run(id, clock);
            EXPECT_EQ(res.record.clock_index, 10u);
            EXPECT_EQ(res.ret, 1);
            EXPECT_EQ(res.record.mem_clock_khz, 162000u);
            EXPECT_EQ(res.record.mem_size_out, 0x2000000u);  // form B, bus 0
            EXPECT_EQ(stores_to(res, 0x810).front(), 0x126a0936u);
            EXPECT_EQ(res.commands, 9u);
        }
    }
}

TEST(OrlitMain, StuckCommandEndsAtOnce) {
    for (uint32_t stuck : {1u, 3u, 9u}) {
        SCOPED_TRACE(stuck);
        sim::ChipConfig chip;
        chip.cmd_stuck_at = stuck;
        const RunResult res = run(main_id, 0, 0, chip);
        EXPECT_EQ(res.ret, 0);
        EXPECT_EQ(res.commands, stuck);
        EXPECT_EQ(res.record.mem_clock_khz, 162000u);  // outputs set before the first access
        EXPECT_EQ(messages(res), (std::vector<std::string>{entering.substr(2)}));
        // Nothing after the stuck command but its delay and the bounded polls of 0x828.
        const auto acc = accesses(res);
        ASSERT_GE(acc.size(), 3u);
        EXPECT_EQ(acc[acc.size() - 3].rfind("W 820 ", 0), 0u);
        EXPECT_EQ(acc[acc.size() - 2], "T 1");
        EXPECT_EQ(acc.back(), "R 828 0");
        EXPECT_LT(res.end_time - res.start_time, 50'000'000u);  // well under 5 s of interrupt time
    }
    // A controller that takes a while per command is not a failure.
    sim::ChipConfig slow;
    slow.cmd_latency = 5;
    EXPECT_EQ(run(main_id, 0, 0, slow).ret, 1);

    sim::ChipConfig chip;
    chip.cmd_stuck_at = 2;
    const RunResult re = run(main_id, 0xffff0005, 0, chip);
    EXPECT_EQ(re.ret, 0);
    EXPECT_EQ(re.commands, 2u);
    const auto acc = accesses(re);
    EXPECT_EQ(acc[acc.size() - 2], "W 820 0");  // the zero write after command 2, then only polls
    EXPECT_EQ(acc.back(), "R 828 0");
}

}  // namespace tov::test::orlit_main_test
