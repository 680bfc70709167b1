// SPDX-License-Identifier: Apache-2.0
// The library's command vocabulary read back through the trace decoder, the
// trace readers' replay of a stable read against the library's own reads, and
// the count of started commands against the stores that start them.
#include <random>

#include "meminit/hw/access.h"
#include "meminit/hw/dram.h"
#include "sim/invariants.h"
#include "tests/harness.h"

namespace tov::test::dram_vocabulary_test {
namespace {

using namespace dram;

std::string said(uint32_t code, uint32_t word) { return sim::describe(sim::decode_command(code, word)); }

TEST(DramVocabulary, SaysWhatItBuilds) {
    EXPECT_EQ(said(nop(Cke::low, 3), word(2)), "NOP, CKE low, count 2");
    EXPECT_EQ(said(nop(Cke::high), word(31051)), "NOP, CKE high, count 31051");
    EXPECT_EQ(said(precharge(1), word(1, a10)), "precharge all, count 1");
    EXPECT_EQ(said(precharge(), word(2)), "precharge bank, count 2");
    EXPECT_EQ(said(extended_mode_register_set(), word(3, extended_mode(Drive::full))),
              "extended mode register set 0x0 (DLL enabled, normal drive), count 3");
    EXPECT_EQ(said(extended_mode_register_set(), word(2, extended_mode(Drive::reduced))),
              "extended mode register set 0x2 (DLL enabled, reduced drive), count 2");
    EXPECT_EQ(said(mode_register_set(), word(2, mode_register(cas_2_5, burst_8) | dll_reset)),
              "mode register set: CAS latency 2.5, burst 8, DLL reset, count 2");
    EXPECT_EQ(said(mode_register_set(), word(14, mode_register(cas_3, burst_4))),
              "mode register set: CAS latency 3, burst 4, count 14");
    EXPECT_EQ(said(mode_register_set(), word(4, mode_register(cas_2, burst_2))),
              "mode register set: CAS latency 2, burst 2, count 4");
    EXPECT_EQ(said(mode_register_set(), word(18, mode_register(cas_4, burst_4))),
              "mode register set: CAS latency 4, burst 4, count 18");
    EXPECT_EQ(said(auto_refresh(), word(11)), "auto refresh, count 11");
    EXPECT_EQ(said(closing(), word(closing_cycles)), "closing command, count 200");
}

TEST(DramVocabulary, PowerUpListInJedecOrder) {
    const PowerUpList l = {.cke_high_cycles = 100,
                           .emrs_cycles = 3,
                           .dll_reset_cycles = 2,
                           .mode = mode_register(cas_3, burst_4),
                           .final_cycles = 9};
    const std::vector<std::string> expected = {
        "NOP, CKE low, count 1",
        "NOP, CKE high, count 100",
        "precharge all, count 1",
        "extended mode register set 0x0 (DLL enabled, normal drive), count 3",
        "mode register set: CAS latency 3, burst 4, DLL reset, count 2",
        "precharge all, count 2",
        "auto refresh, count 3",
        "auto refresh, count 9",
        "mode register set: CAS latency 3, burst 4, count 9",
        "closing command, count 200",
    };
    for (uint32_t i = 0; i < power_up_len; ++i) {
        const dram::Command c = power_up_command(l, i);
        EXPECT_EQ(said(c.code, c.word), expected[i]) << "P" << i;
    }
}

// Every way a register can answer: steady, settling late, never settling, and
// the masked and read-twice registers. The replay of the loads the library
// took must come to the library's own result.
TEST(StableReadReplay, AgreesWithTheLibrary) {
    std::mt19937 rng(20240611);
    for (uint32_t off : {0x810u, 0x0f8u, 0x414u, 0x6134u, 0x828u}) {
        for (int round = 0; round < 400; ++round) {
            std::deque<uint32_t> script;
            const uint32_t spread = 1u + static_cast<uint32_t>(round % 4) * 7;  // 1: always the same value
            for (int i = 0; i < 40; ++i) script.push_back(0x1230 + rng() % spread);
            sim::ChipConfig c;
            c.load_script[off] = script;
            sim::Simulator s(c);
            uint32_t value = 0;
            const bool settled = reg_read_stable(s.context(), off, &value);

            std::vector<uint32_t> loads;
            for (const Event& e : s.events()) loads.push_back(e.val);
            const sim::ReplayedRead r = sim::replay_stable_read(off, loads, 0);
            ASSERT_EQ(r.loads, loads.size()) << std::hex << off;
            ASSERT_EQ(r.settled, settled) << std::hex << off;
            ASSERT_EQ(r.value, value) << std::hex << off;
        }
    }
}

TEST(CommandsStarted, CountsTheNonzeroStoresToTheCommandRegister) {
    for (uint32_t id : {0x0u, 0x1000001u, 0x3000099u}) {
        for (uint32_t clock : {3u, 10u, 0xffff0003u}) {
            const RunResult r = run(id, clock);
            uint32_t stores = 0;
            for (const Event& e : r.events) stores += e.kind == EventKind::store && e.off == 0x820 && e.val != 0;
            EXPECT_EQ(sim::commands_started(r.events), stores) << std::hex << id << " " << clock;
            EXPECT_EQ(r.commands, stores) << std::hex << id << " " << clock;
        }
    }
}

}  // namespace
}  // namespace tov::test::dram_vocabulary_test
