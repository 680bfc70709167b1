// SPDX-License-Identifier: Apache-2.0
// The random register file the sequence tests, the fault matrix and the image
// sweep start from: repeatable for an rng_seed, different per scenario, every
// register of the map covered, a test's own presets kept. A failing test
// names the rng_seed, so that TOV_SEED repeats its register contents.
#include <cstdlib>
#include <set>

#include "meminit/hw/regs.h"
#include "sim/image/sweep.h"
#include "tests/harness.h"

namespace tov::test::random_registers_test {
namespace {

// Prints the rng_seed after every failed test.
class SeedNote : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& t) override {
        if (t.result() != nullptr && t.result()->Failed())
            std::printf("[ rng_seed     ] %s.%s: %s\n", t.test_suite_name(), t.name(),
                        sim::seed_note(sim::register_seed()).c_str());
    }
};
const bool seed_note_installed = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new SeedNote);
    return true;
}();

TEST(RandomRegisters, EveryMappedRegisterPresetAndOwnPresetsKept) {
    ASSERT_TRUE(seed_note_installed);
    sim::ChipConfig own;
    own.presets[0x47c] = 0;
    own.presets[0x12345] = 7;
    const sim::ChipConfig c = random_chip(0x3000099, 10, 0, own);
    for (const reg::RegName& r : reg::names) EXPECT_EQ(c.presets.count(r.off), 1u) << r.name;
    EXPECT_EQ(c.presets.at(0x47c), 0u);
    EXPECT_EQ(c.presets.at(0x12345), 7u);
    EXPECT_EQ(c.presets.size(), std::size(reg::names) + 1);
}

TEST(RandomRegisters, RepeatablePerSeedAndDifferentPerScenario) {
    const uint64_t k1 = sim::scenario_key(0x3000099, 10, 0), k2 = sim::scenario_key(0x3000099, 11, 0),
                   k3 = sim::scenario_key(0x0, 3, 2), k4 = sim::scenario_key(0x0, 3, 3);
    EXPECT_EQ(std::set<uint64_t>({k1, k2, k3, k4}).size(), 4u);
    size_t differ_scenario = 0, differ_seed = 0, differ_register = 0;
    std::set<uint32_t> bits_seen_set;
    for (const reg::RegName& r : reg::names) {
        EXPECT_EQ(sim::random_register(5, k1, r.off), sim::random_register(5, k1, r.off));
        differ_scenario += sim::random_register(5, k1, r.off) != sim::random_register(5, k2, r.off);
        differ_seed += sim::random_register(5, k1, r.off) != sim::random_register(6, k1, r.off);
        differ_register += sim::random_register(5, k1, r.off) != sim::random_register(5, k1, r.off + 4);
        for (uint32_t b = 0; b < 32; ++b)
            if (sim::random_register(5, k3, r.off) >> b & 1) bits_seen_set.insert(b);
    }
    const size_t n = std::size(reg::names);
    EXPECT_EQ(differ_scenario, n);
    EXPECT_EQ(differ_seed, n);
    EXPECT_GE(differ_register, n - 1);
    EXPECT_EQ(bits_seen_set.size(), 32u) << "every bit position is set in some register";
}

TEST(RandomRegisters, SeedFromTheEnvironment) {
    const char* was = std::getenv("TOV_SEED");
    const std::string saved = was ? was : "";
    ::setenv("TOV_SEED", "0x1234", 1);
    EXPECT_EQ(sim::register_seed(), 0x1234u);
    ::setenv("TOV_SEED", "99", 1);
    EXPECT_EQ(sim::register_seed(), 99u);
    ::setenv("TOV_SEED", "twelve", 1);
    EXPECT_EQ(sim::register_seed(), sim::default_register_seed);
    ::unsetenv("TOV_SEED");
    EXPECT_EQ(sim::register_seed(), sim::default_register_seed);
    if (was) ::setenv("TOV_SEED", saved.c_str(), 1);
    EXPECT_NE(sim::seed_note(0xabc).find("TOV_SEED=0xabc"), std::string::npos);
}

// The sweeps run on the random register file of their rng_seed, or on zeros.
TEST(RandomRegisters, SweepsStartFromTheSeededFile) {
    const auto seeded = sim::image::table_sweep(Family::varnel, 77);
    const auto zero = sim::image::table_sweep(Family::varnel, std::nullopt);
    ASSERT_EQ(seeded.size(), zero.size());
    const sim::RunRequest& q = seeded[5].req;
    EXPECT_EQ(q.chip.presets.at(0x860),
              sim::random_register(77, sim::scenario_key(q.config_id, q.clock_index, q.power_mode), 0x860));
    EXPECT_TRUE(zero[5].req.chip.presets.empty());
    for (const auto& s : sim::image::fault_sweep(77))
        EXPECT_GE(s.req.chip.presets.size(), std::size(reg::names)) << s.name;
    for (const auto& s : sim::image::routine_sweep(77))
        EXPECT_EQ(s.req.chip.presets.size(), std::size(reg::names)) << s.name;
}

}  // namespace
}  // namespace tov::test::random_registers_test
