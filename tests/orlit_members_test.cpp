// SPDX-License-Identifier: Apache-2.0
// Member routines of the second family and a sweep of every second-family
// configuration ID over every clock selector.
#include <algorithm>
#include <cstdio>
#include <set>

#include "meminit/entry/routines.h"
#include "tests/harness.h"

namespace tov::test::orlit_members_test {
namespace {

// Store index of the first store to `off`, or -1.
long store_index(const RunResult& res, uint32_t off) {
    const auto s = stores(res);
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i].off == off) return static_cast<long>(i);
    return -1;
}

const uint32_t orlit_ids[] = {
    0x1000000, 0x1000001, 0x1000002, 0x1000003, 0x1000004, 0x1000005, 0x1000006, 0x1000007, 0x100000a,
    0x100000b, 0x100000d, 0x1000011, 0x1000012, 0x1000015, 0x1000018, 0x1000019, 0x100001d, 0x100001e,
    0x100001f, 0x1000026, 0x1000027, 0x100002a, 0x100002b, 0x1000030, 0x1000031, 0x1000032, 0x1000033,
    0x1000035, 0x1000036, 0x1000037, 0x1000041, 0x1000042, 0x1000043, 0x1000047, 0x1000048, 0x1000049,
    0x100004a, 0x1000050, 0x1000051, 0x1000052, 0x1000053, 0x1000054, 0x1000055, 0x1000056, 0x1000057,
    0x1000058, 0x1000059, 0x100005a, 0x100005b, 0x1000060, 0x1000061, 0x1000062, 0x1000063, 0x1000073,
    0x1000074, 0x1000076, 0x100007d, 0x100007e, 0x100007f, 0x1000008, 0x5000002,  // no row: the family's default
};

bool is_id54(uint32_t id) { return id == 0x1000054 || id == 0x1000056 || id == 0x100005a; }

}  // namespace

TEST(OrlitSweep, EveryIdEveryClock) {
    std::vector<uint32_t> clocks;
    for (uint32_t c = 0; c <= 13; ++c) clocks.push_back(c);
    clocks.insert(clocks.end(), {0x1000000, 0xffff0003, 0xffff0004, 0xffff0005});
    const std::set<uint32_t> clocks_khz = {162000, 155250, 135000, 135500, 25000};
    const uint32_t power_up_codes[9] = {0x11f1, 0x10a1, 0x1081, 0x81, 0xa1, 0x91, 0x91, 0x81, 0x1f3};

    for (uint32_t id : orlit_ids) {
        for (uint32_t clock : clocks) {
            SCOPED_TRACE(testing::Message() << std::hex << id << " clock " << clock);
            const RunResult res = run(id, clock, 0, random_chip(id, clock));
            const MemInitParams& p = res.record;
            EXPECT_EQ(p.map_value, 2u);
            if (is_id54(id) && !(p.clock_index >= 2 && p.clock_index <= 6) && p.clock_index != 11 &&
                p.clock_index != 12) {
                EXPECT_EQ(res.ret, 0);
                EXPECT_TRUE(res.events.empty());
                EXPECT_EQ(p.mem_clock_khz, sim::fill_word);
                EXPECT_EQ(p.mem_size_out, sim::fill_word);
                continue;
            }
            ASSERT_EQ(res.ret, 1);
            EXPECT_TRUE(clocks_khz.count(p.mem_clock_khz)) << p.mem_clock_khz;
            if (p.mem_clock_khz == 25000) {
                EXPECT_TRUE(p.mem_size_out == 0x1000000 || p.mem_size_out == 0x2000000 || p.mem_size_out == 0x4000000);
                EXPECT_EQ(last(stores_to(res, 0x43c)), 0x30000u);
                continue;
            }
            EXPECT_TRUE(p.mem_size_out == p.mem_size || p.mem_size_out == p.mem_size >> 1 ||
                        p.mem_size_out == p.mem_size >> 2);
            if (res.commands == 0) {  // the main routine's short sequence
                EXPECT_EQ(p.clock_index, 1u);
                EXPECT_EQ(stores_to(res, 0x000).back(), 0u);
                continue;
            }
            // The standard sequence: the nine power-up commands, 0x820 back at
            // idle, bit 17 of 0x43c set again, 0x400 finished.
            const auto cmds = commands(res);
            ASSERT_EQ(cmds.size(), 9u);
            for (int i = 0; i < 9; ++i) EXPECT_EQ(cmds[i].code, power_up_codes[i]);
            EXPECT_EQ(cmds[1].word, 0x1ffffu);
            EXPECT_EQ(cmds[4].word, 0x2ffffu);
            EXPECT_EQ(cmds[8].word, 0xc80000u);
            EXPECT_EQ(cmds[3].word & 0xffffff0f, 0x20102u);  // DLL reset, burst 4
            EXPECT_EQ(cmds[7].word & 0xff, cmds[3].word & 0xff);
            EXPECT_EQ(last(stores_to(res, 0x820)), 0u);
            EXPECT_EQ(last(stores_to(res, 0x43c)) & 0x20000, 0x20000u);
            EXPECT_EQ(stores_to(res, 0x400), (std::vector<uint32_t>{0xf9c}));
            EXPECT_EQ(last(stores_to(res, 0x810)) & 0x40000000, 0u);
            const uint32_t cfg = first(stores_to(res, 0x810));
            EXPECT_EQ(cfg & ~0x10000004u, 0x26a0932u) << std::hex << cfg;
        }
    }
}

// Form A and form B values of every member routine with a 7-11 split, at
// clock 4 and 9 (the IDs chosen have no clock remapping).
TEST(OrlitMembers, FormAAndBPerRoutine) {
    struct Row {
        uint32_t id;
        uint32_t cfg_a;  // 0x810 in form A (form B: bit 28 set)
        uint32_t w814, w818, w81c;
        uint32_t w808, w80c;  // 0: not written
        uint32_t a, mr, r;
        uint32_t w840;
        bool final_068;
    };
    const Row rows[] = {
        {0x1000030, 0x26a0936, 0x4bb0a37, 0x213230c, 0x121, 0xc0c00c8, 0x1d20137, 3, 0x62, 0xc, 0xffffffff, false},
        {0x1000033, 0x26a0936, 0x4bb0a37, 0x113230c, 0x121, 0xc0c00c8, 0x1d2009c, 3, 0x62, 0xc, 0xffffffff, false},
        {0x1000047, 0x26a0932, 0x4bb0d48, 0x424240e, 0x31, 0xec800c8, 0x1d2009c, 4, 0x32, 0xe, 0xffffffff, false},
        {0x1000051, 0x26a0936, 0x4bb0a37, 0x213230c, 0x121, 0xcc800c8, 0x1d20137, 3, 0x62, 0xc, 0x88888888, false},
        {0x1000060, 0x26a0936, 0x4bb0937, 0x223230b, 0x121, 0xb0b00c8, 0x1d20137, 3, 0x62, 0xb, 0x88888888, true},
        {0x1000062, 0x26a0932, 0x9760a37, 0x223230c, 0x121, 0, 0, 3, 0x62, 0xc, 0x88888888, true},
        {0x1000019, 0x26a0932, 0x9760a37, 0x113230c, 0x121, 0xc0d00c8, 0x1d2009c, 3, 0x62, 0xc, 0xffffffff, false},
        {0x100001f, 0x26a0936, 0x4bb0a37, 0x213230c, 0x121, 0xc0c00c8, 0x1d2009c, 3, 0x62, 0xc, 0xffffffff, false},
        {0x1000049, 0x26a0932, 0x9760a47, 0x213230c, 0x121, 0xc4b00c8, 0x1d2009c, 3, 0x62, 0xc, 0xffffffff, false},
        {0x100002b, 0x26a0936, 0x4bb0937, 0x223230b, 0x31, 0xb0c00c8, 0x1d2009c, 3, 0x32, 0xb, 0xffffffff, false},
        {0x1000043, 0x26a0936, 0x4bb0a47, 0x244240b, 0x31, 0xac800c8, 0x1d2009c, 4, 0x32, 0xb, 0xffffffff, false},
        {0x1000063, 0x26a0936, 0x4bb0a37, 0x223230c, 0x121, 0xc2000c8, 0x1d20137, 3, 0x62, 0xc, 0x88888888, true},
    };
    for (const Row& row : rows) {
        for (bool b : {false, true}) {
            SCOPED_TRACE(testing::Message() << std::hex << row.id << (b ? " form B" : " form A"));
            const RunResult res = run(row.id, b ? 9 : 4);
            ASSERT_EQ(res.ret, 1);
            EXPECT_EQ(res.record.mem_clock_khz, 155250u);
            EXPECT_EQ(res.record.mem_size_out,
                      b && res.record.bus_flag ? res.record.mem_size >> 1 : res.record.mem_size);
            EXPECT_EQ(stores_to(res, 0x810).front(), row.cfg_a | (b ? 0x10000000 : 0));
            EXPECT_EQ(stores_to(res, 0x814), (std::vector<uint32_t>{row.w814}));
            EXPECT_EQ(stores_to(res, 0x818), (std::vector<uint32_t>{row.w818}));
            EXPECT_EQ(stores_to(res, 0x81c), (std::vector<uint32_t>{row.w81c}));
            if (row.w808) {
                EXPECT_EQ(stores_to(res, 0x808), (std::vector<uint32_t>{row.w808}));
                EXPECT_EQ(stores_to(res, 0x80c), (std::vector<uint32_t>{row.w80c}));
                EXPECT_EQ(store_index(res, 0x808), store_index(res, 0x81c) + 1);
                EXPECT_EQ(store_index(res, 0x80c), store_index(res, 0x81c) + 2);
            } else {
                EXPECT_TRUE(stores_to(res, 0x808).empty());
                EXPECT_TRUE(stores_to(res, 0x80c).empty());
            }
            const auto cmds = commands(res);
            ASSERT_EQ(cmds.size(), 9u);
            EXPECT_EQ(cmds[0].word, 0x794b0000u);
            EXPECT_EQ(cmds[2].word, row.a << 16);
            EXPECT_EQ(cmds[3].word, 0x20100u + row.mr);
            EXPECT_EQ(cmds[5].word, row.a << 16);
            EXPECT_EQ(cmds[6].word, row.r << 16);
            EXPECT_EQ(cmds[7].word, (row.r << 16) + row.mr);
            EXPECT_EQ(stores_to(res, 0x840), (std::vector<uint32_t>{row.w840}));
            EXPECT_EQ(stores_to(res, 0x844), (std::vector<uint32_t>{row.w840}));
            EXPECT_EQ(stores_to(res, 0x068).size(), row.final_068 ? 2u : 1u);
            EXPECT_EQ(last(stores_to(res, 0x068)), 0x478u);
            // Members: all ones held, bit 4 released, fresh pulse clear.
            EXPECT_EQ(stores_to(res, 0x000), (std::vector<uint32_t>{0xffffffff, 0xffffffef}));
            EXPECT_EQ(stable_reads(res, 0x810), 2u);
            EXPECT_TRUE(messages(res).empty());
        }
    }
}

TEST(OrlitMembers, First058ModeWordOrFixed) {
    EXPECT_EQ(first(stores_to(run(0x1000001, 0), 0x058)), 0x3000000u);  // main routine, mode 1
    EXPECT_EQ(first(stores_to(run(0x1000006, 0), 0x058)), 0x1000000u);  // main routine, mode 0
    EXPECT_EQ(first(stores_to(run(0x1000030, 0), 0x058)), 0x3000000u);  // g, mode 1
    EXPECT_EQ(first(stores_to(run(0x1000032, 0), 0x058)), 0x1000000u);  // g, mode 0
    EXPECT_EQ(first(stores_to(run(0x1000019, 0), 0x058)), 0x1000000u);  // fixed, mode 1
    EXPECT_EQ(first(stores_to(run(0x1000018, 0), 0x058)), 0x1000000u);
    EXPECT_EQ(first(stores_to(run(0x100007f, 9), 0x058)), 0x3000000u);  // id7d form B: g
    EXPECT_EQ(first(stores_to(run(0x1000000, 9), 0x058)), 0x3000000u);  // UCCC form B: g
    EXPECT_EQ(first(stores_to(run(0x1000000, 0), 0x058)), 0x1000000u);  // UCCC form A: fixed
}

TEST(OrlitMembers, DefaultRoutineAndUnlistedIds) {
    for (uint32_t id : {0x1000000u, 0x1000008u, 0x5000002u}) {
        SCOPED_TRACE(id);
        const RunResult a = run(id, 0);
        EXPECT_EQ(a.record.clock_index, 0u);
        EXPECT_EQ(a.record.mem_size, 0x4000000u);
        EXPECT_EQ(a.record.mem_clock_khz, 155250u);
        EXPECT_EQ(a.record.mem_size_out, 0x4000000u);
        EXPECT_EQ(messages(a), (std::vector<std::string>{"entering meminit_orlit_K4H561638F_UCCC\n",
                                                         "leaving meminit_orlit_K4H561638F_UCCC\n"}));
        EXPECT_EQ(stores_to(a, 0x808), (std::vector<uint32_t>{0xb0c00c8}));
        EXPECT_EQ(stores_to(a, 0x840), (std::vector<uint32_t>{0xffffffff}));

        // Form B: its own values, no 0x808/0x80c, held pulse clear, no final 0x068.
        const RunResult b = run(id, 10);
        EXPECT_EQ(b.record.clock_index, 10u);
        EXPECT_EQ(b.record.mem_clock_khz, 135000u);
        EXPECT_EQ(b.record.mem_size_out, 0x2000000u);
        EXPECT_EQ(stores_to(b, 0x070), (std::vector<uint32_t>{0x1000000}));
        EXPECT_EQ(stores_to(b, 0x810), (std::vector<uint32_t>{0x126a0936, 0x526a0936, 0x126a0936}));
        EXPECT_EQ(stores_to(b, 0x814), (std::vector<uint32_t>{0x4bb0a37}));
        EXPECT_EQ(stores_to(b, 0x818), (std::vector<uint32_t>{0x223230c}));
        EXPECT_EQ(stores_to(b, 0x81c), (std::vector<uint32_t>{0x121}));
        EXPECT_TRUE(stores_to(b, 0x808).empty());
        EXPECT_TRUE(stores_to(b, 0x80c).empty());
        EXPECT_EQ(stores_to(b, 0x840), (std::vector<uint32_t>{0x88888888}));
        EXPECT_EQ(stores_to(b, 0x068), (std::vector<uint32_t>{0x478}));
        EXPECT_EQ(stable_reads(b, 0x810), 1u);  // held clear: one read, before the pulse
        EXPECT_EQ(commands(b)[7].word, 0xc0062u);
    }
    // The main routine's reserved clocks mean nothing here: form A.
    EXPECT_EQ(run(0x1000000, 0xffff0004).record.mem_clock_khz, 155250u);
}

TEST(OrlitMembers, SingleFormRoutines) {
    // Form B always, even for clocks the dispatcher does not remap.
    for (uint32_t clock : {0u, 3u, 12u, 0xffff0005u}) {
        SCOPED_TRACE(clock);
        const RunResult id73 = run(0x1000073, clock);
        EXPECT_EQ(id73.record.mem_size_out, 0x2000000u);  // bus 1: half
        EXPECT_EQ(stores_to(id73, 0x810).front(), 0x126a0936u);
        const RunResult id18 = run(0x1000018, clock);
        EXPECT_EQ(id18.record.mem_size_out, 0x1000000u);  // bus 0: full 16 MiB
        EXPECT_EQ(stores_to(id18, 0x810).front(), 0x126a0932u);
        EXPECT_EQ(stores_to(id18, 0x81c), (std::vector<uint32_t>{0x21}));
        // Form A always: full size.
        for (uint32_t id : {0x1000050u, 0x1000055u}) {
            const RunResult a = run(id, clock == 12 ? 9 : clock);
            EXPECT_EQ(a.record.mem_size_out, 0x4000000u);
            EXPECT_EQ(stores_to(a, 0x810).front(), 0x26a0936u);
        }
    }
    EXPECT_EQ(stores_to(run(0x1000055, 8), 0x818), (std::vector<uint32_t>{0x123230c}));
}

TEST(OrlitMembers, Id27SlowDelaysAndFormX) {
    // Every delay of the routine is 3 ticks, whatever the form.
    for (uint32_t clock : {0u, 2u, 6u, 12u}) {
        SCOPED_TRACE(clock);
        const RunResult res = run(0x1000027, clock);
        const auto d = tick_delays(res);
        EXPECT_EQ(d.size(), 12u);
        EXPECT_TRUE(std::all_of(d.begin(), d.end(), [](uint32_t n) { return n == 3; }));
        EXPECT_EQ(res.record.mem_clock_khz, 162000u);
        EXPECT_EQ(stores_to(res, 0x070), (std::vector<uint32_t>{0x10003a8}));
        EXPECT_EQ(stores_to(res, 0x80c), (std::vector<uint32_t>{0x1d10136}));
    }
    // Adjust row: 0 -> 5 (form A), 2 -> 7 (form B); 12 and above form X.
    const RunResult a = run(0x1000027, 0);
    EXPECT_EQ(a.record.clock_index, 5u);
    EXPECT_EQ(stores_to(a, 0x810).front(), 0x26a0936u);
    EXPECT_EQ(stores_to(a, 0x060), (std::vector<uint32_t>{0}));
    const RunResult b = run(0x1000027, 2);
    EXPECT_EQ(b.record.clock_index, 7u);
    EXPECT_EQ(stores_to(b, 0x810).front(), 0x126a0936u);
    EXPECT_EQ(stores_to(b, 0x050), (std::vector<uint32_t>{0x9b0fd0}));
    for (uint32_t clock : {12u, 13u, 0xffff0004u}) {
        SCOPED_TRACE(clock);
        const RunResult x = run(0x1000027, clock);
        EXPECT_EQ(x.record.mem_size_out, 0x2000000u);  // full
        EXPECT_EQ(stores_to(x, 0x810).front(), 0x126a0936u);
        EXPECT_EQ(stores_to(x, 0x060), (std::vector<uint32_t>{0x40}));
        EXPECT_EQ(stores_to(x, 0x050), (std::vector<uint32_t>{0xdd0fd4}));
        EXPECT_EQ(last(stores_to(x, 0x010)), 0x1700u);
        EXPECT_EQ(last(stores_to(x, 0x018)), 0xc01700u);
        EXPECT_EQ(last(stores_to(x, 0x030)), 0xc01700u);
    }
}

TEST(OrlitMembers, Id54CasesAndMessages) {
    // Served clocks: 2-6 form A, 11 form B, 12 form B12, each after its message.
    const RunResult a = run(0x1000054, 4);
    EXPECT_EQ(a.ret, 1);
    EXPECT_TRUE(messages(a).empty());
    EXPECT_EQ(a.record.mem_size_out, 0x4000000u);
    EXPECT_EQ(stores_to(a, 0x810).front(), 0x126a0936u);  // bit 28 in form A too
    EXPECT_EQ(stores_to(a, 0x840), (std::vector<uint32_t>{0x88888888}));

    const RunResult b = run(0x1000056, 11);
    EXPECT_EQ(b.ret, 1);
    EXPECT_EQ(messages(b), (std::vector<std::string>{"using POWER_MODE_0010\n"}));
    EXPECT_EQ(b.events.front().kind, EventKind::trace);
    EXPECT_EQ(b.record.mem_size_out, 0x2000000u);
    EXPECT_EQ(stores_to(b, 0x840), (std::vector<uint32_t>{0xffffffff}));
    EXPECT_EQ(stores_to(b, 0x050), (std::vector<uint32_t>{0x9b0fd0}));
    EXPECT_EQ(last(stores_to(b, 0x030)), 0x1700u);

    const RunResult b12 = run(0x100005a, 12);
    EXPECT_EQ(b12.ret, 1);
    EXPECT_EQ(messages(b12), (std::vector<std::string>{"using POWER_MODE_0011\n"}));
    EXPECT_EQ(b12.events.front().kind, EventKind::trace);
    EXPECT_EQ(stores_to(b12, 0x050), (std::vector<uint32_t>{0xdd0fd4}));
    EXPECT_EQ(stores_to(b12, 0x840), (std::vector<uint32_t>{0xffffffff}));
    EXPECT_EQ(last(stores_to(b12, 0x010)), 0x1700u);
    EXPECT_EQ(last(stores_to(b12, 0x018)), 0xc01700u);
    EXPECT_EQ(last(stores_to(b12, 0x030)), 0xc01700u);

    // Unserved clocks: nothing touched, nothing reported, not a success.
    for (uint32_t clock : {0u, 1u, 7u, 8u, 9u, 10u, 13u, 0x1000000u, 0xffff0004u}) {
        SCOPED_TRACE(clock);
        const RunResult none = run(0x1000054, clock);
        EXPECT_EQ(none.ret, 0);
        EXPECT_TRUE(none.events.empty());
        EXPECT_EQ(none.record.mem_clock_khz, sim::fill_word);
        EXPECT_EQ(none.record.mem_size_out, sim::fill_word);
        EXPECT_EQ(none.record.mem_size, 0x4000000u);  // the dispatcher still filled its part
    }
}

TEST(OrlitMembers, Id63ClockSets) {
    const RunResult a135 = run(0x1000063, 5);
    EXPECT_EQ(a135.record.mem_clock_khz, 135500u);
    EXPECT_EQ(a135.record.mem_size_out, 0x4000000u);
    EXPECT_EQ(stores_to(a135, 0x810).front(), 0x26a0936u);
    EXPECT_EQ(last(stores_to(a135, 0x018)), 0x1400u);
    EXPECT_EQ(stores_to(a135, 0x050), (std::vector<uint32_t>{0x9d0fd0}));
    EXPECT_EQ(stores_to(a135, 0x814), (std::vector<uint32_t>{0x41e0936}));
    EXPECT_EQ(stores_to(a135, 0x818), (std::vector<uint32_t>{0x223230a}));
    EXPECT_EQ(stores_to(a135, 0x808), (std::vector<uint32_t>{0xa1c00c8}));
    EXPECT_EQ(stores_to(a135, 0x80c), (std::vector<uint32_t>{0x1960088}));
    EXPECT_EQ(stores_to(a135, 0x840), (std::vector<uint32_t>{0xffffffff}));
    EXPECT_EQ(commands(a135)[0].word, 0x69790000u);
    EXPECT_EQ(commands(a135)[6].word, 0xa0000u);
    EXPECT_EQ(stores_to(a135, 0x068), (std::vector<uint32_t>{0x478, 0x478}));

    const RunResult b135 = run(0x1000063, 10);
    EXPECT_EQ(b135.record.mem_clock_khz, 135500u);
    EXPECT_EQ(b135.record.mem_size_out, 0x2000000u);
    EXPECT_EQ(stores_to(b135, 0x810).front(), 0x126a0936u);
    EXPECT_EQ(stores_to(b135, 0x814), (std::vector<uint32_t>{0x41e0936}));

    for (uint32_t clock : {7u, 8u, 9u, 11u}) {
        const RunResult b = run(0x1000063, clock);
        EXPECT_EQ(b.record.mem_clock_khz, 155250u) << clock;
        EXPECT_EQ(b.record.mem_size_out, 0x2000000u) << clock;
        EXPECT_EQ(stores_to(b, 0x814), (std::vector<uint32_t>{0x4bb0a37})) << clock;
    }
    for (uint32_t clock : {0u, 4u, 6u, 12u}) {
        const RunResult a = run(0x1000063, clock);
        EXPECT_EQ(a.record.mem_clock_khz, 155250u) << clock;
        EXPECT_EQ(a.record.mem_size_out, 0x4000000u) << clock;
    }
}

TEST(OrlitMembers, Id7dOwnClockSet) {
    const RunResult a = run(0x100007d, 0);
    EXPECT_EQ(a.record.mem_clock_khz, 135000u);
    EXPECT_EQ(a.record.mem_size_out, 0x4000000u);
    EXPECT_EQ(last(stores_to(a, 0x010)), 0x1400u);
    EXPECT_EQ(last(stores_to(a, 0x018)), 0x1600u);
    EXPECT_EQ(last(stores_to(a, 0x030)), 0xc01e00u);  // not released
    EXPECT_EQ(stores_to(a, 0x050), (std::vector<uint32_t>{0x5d0fd0}));
    EXPECT_EQ(stores_to(a, 0x070), (std::vector<uint32_t>{0x10002ee}));
    EXPECT_EQ(commands(a)[0].word, 0x69790000u);
    EXPECT_TRUE(stores_to(a, 0x808).empty());
    EXPECT_EQ(stable_reads(a, 0x810), 1u);  // held clear
    EXPECT_EQ(stores_to(a, 0x068), (std::vector<uint32_t>{0x478, 0x478}));

    const RunResult b = run(0x100007e, 9);
    EXPECT_EQ(b.record.mem_clock_khz, 135000u);
    EXPECT_EQ(b.record.mem_size_out, 0x2000000u);
    for (uint32_t off : {0x10u, 0x18u, 0x30u}) EXPECT_EQ(last(stores_to(b, off)), 0x1700u) << off;
    EXPECT_EQ(stores_to(b, 0x050), (std::vector<uint32_t>{0x9b0fd0}));
    EXPECT_EQ(stores_to(b, 0x070), (std::vector<uint32_t>{0x1000000}));
    EXPECT_EQ(stores_to(b, 0x814), (std::vector<uint32_t>{0x4bb0a37}));
    EXPECT_EQ(commands(b)[0].word, 0x794b0000u);
    EXPECT_EQ(commands(b)[6].word, 0xc0000u);
    EXPECT_EQ(stable_reads(b, 0x810), 1u);
    EXPECT_EQ(stores_to(b, 0x068), (std::vector<uint32_t>{0x478, 0x478}));
}

TEST(OrlitMembers, CommonLc50) {
    // 0x1000076 always reaches its routine with clock 12: form A.
    for (uint32_t clock : {0u, 3u, 9u}) {
        const RunResult res = run(0x1000076, clock);
        EXPECT_EQ(res.record.clock_index, 12u);
        EXPECT_EQ(res.record.mem_clock_khz, 155250u);
        EXPECT_EQ(res.record.mem_size_out, 0x4000000u);
        EXPECT_EQ(messages(res),
                  (std::vector<std::string>{"entering meminit_orlit_Common_NT5DS16M16CS_5T_K4D551638F_LC50\n"}));
    }
    const RunResult a = run(0x1000076, 0);
    EXPECT_EQ(stores_to(a, 0x818), (std::vector<uint32_t>{0x743440b}));
    EXPECT_EQ(stores_to(a, 0x814), (std::vector<uint32_t>{0x4bb0d47}));

    // Form B is out of the dispatcher's reach (the ID's clock is fixed), so
    // call the routine itself: only the clock and bit 28 of 0x810 differ.
    const RunResult b =
        sim::run_routine(meminit_orlit_Common_NT5DS16M16CS_5T_K4D551638F_LC50, routine_record(9, 0x4000000, 1, 1));
    EXPECT_EQ(b.ret, 1);
    EXPECT_EQ(b.record.mem_clock_khz, 135000u);
    EXPECT_EQ(b.record.mem_size_out, 0x2000000u);
    auto sa = stores(a);
    auto sb = stores(b);
    ASSERT_EQ(sa.size(), sb.size());
    for (size_t i = 0; i < sa.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sa[i].off, sb[i].off);
        EXPECT_EQ(sa[i].val | (sa[i].off == 0x810 ? 0x10000000 : 0), sb[i].val);
    }
}

}  // namespace tov::test::orlit_members_test
