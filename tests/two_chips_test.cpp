// SPDX-License-Identifier: Apache-2.0
// Two chips brought up from two threads at the same time: a capture driver
// with two boards may call the library for both at once, since the library
// keeps nothing writable of its own. Each thread drives its own simulated
// chip, and each bring-up must match the same bring-up run alone.
#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include "tests/harness.h"

namespace tov::test::two_chips_test {
namespace {

std::vector<sim::RunRequest> mixed_requests() {
    std::vector<sim::RunRequest> out;
    auto add = [&](uint32_t id, uint32_t clock, uint32_t mode, auto tweak) {
        sim::RunRequest q;
        q.config_id = id;
        q.clock_index = clock;
        q.power_mode = mode;
        tweak(q);
        out.push_back(q);
    };
    auto plain = [](sim::RunRequest&) {};
    add(0x3000099, 10, 0, plain);
    add(0x3000002, 3, 0, [](sim::RunRequest& q) { q.chip.unstable = {0x810}; });
    add(0x3000002, 0xffff0004, 0, plain);
    add(0x1000001, 11, 0, [](sim::RunRequest& q) { q.chip.cmd_latency = 5; });
    add(0x1000000, 0xffff0004, 0, [](sim::RunRequest& q) { q.chip.cmd_stuck_at = 4; });
    add(0x0, 1, 0, plain);
    add(0x24, 0, 2, [](sim::RunRequest& q) { q.no_aux = true; });
    add(0x12, 8, 0, [](sim::RunRequest& q) { q.clock.start = 0xffffffffull - 300000; });
    add(0x30000bd, 6, 0, [](sim::RunRequest& q) { q.chip.fb_corrupt[1] = 0x100; });
    return out;
}

struct Outcome {
    int32_t ret;
    std::vector<std::string> trace;
    uint64_t end_time;
    bool operator==(const Outcome&) const = default;
};

Outcome outcome_of(const sim::RunRequest& q) {
    const RunResult r = sim::run_bring_up(q);
    return {r.ret, trace_of(r), r.end_time};
}

TEST(TwoChips, BringUpsOnTwoThreadsMatchTheSameBringUpsAlone) {
    const std::vector<sim::RunRequest> reqs = mixed_requests();
    std::vector<Outcome> alone;
    for (const auto& q : reqs) alone.push_back(outcome_of(q));

    // Both threads start every round together; the second walks the list
    // backwards so that different bring-ups overlap.
    constexpr size_t rounds = 12;
    const size_t n = reqs.size();
    std::barrier sync(2);
    std::vector<std::string> mismatches[2];
    auto chip = [&](int which) {
        for (size_t round = 0; round < rounds; ++round) {
            for (size_t k = 0; k < n; ++k) {
                const size_t i = which == 0 ? k : n - 1 - k;
                sync.arrive_and_wait();
                if (!(outcome_of(reqs[i]) == alone[i]))
                    mismatches[which].push_back("thread " + std::to_string(which) + ", round " + std::to_string(round) +
                                                ", request " + std::to_string(i));
            }
        }
    };
    std::thread a(chip, 0), b(chip, 1);
    a.join();
    b.join();
    for (const auto& m : mismatches)
        for (const std::string& s : m) ADD_FAILURE() << "differs from the run alone: " << s;
    EXPECT_EQ(sim::Simulator::active(), nullptr) << "a thread's simulator leaked into this one";
}

TEST(TwoChips, EachThreadSeesOnlyItsOwnSimulator) {
    sim::Simulator here;
    sim::Simulator* there = &here;
    std::thread t([&] { there = sim::Simulator::active(); });
    t.join();
    EXPECT_EQ(sim::Simulator::active(), &here);
    EXPECT_EQ(there, nullptr);
}

}  // namespace
}  // namespace tov::test::two_chips_test
