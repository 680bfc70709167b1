// Every healthy bring-up of the table sweep (every table ID at clock_index
// 0..13 and the reserved values, the first family at power modes 0..4) on a
// chip whose registers start at 0, against a checked-in digest of its bus
// events with their times, its result and its record. A changed table row,
// routine or dispatcher rule changes some digest. TOV_GOLDEN_UPDATE=1
// rewrites tests/golden/table_sweep.txt from the current build.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sim/image/sweep.h"

namespace tov::test {
namespace {

const std::string golden_path = std::string(TOV_SOURCE_DIR) + "/tests/golden/table_sweep.txt";

// FNV-1a, 64 bits, over little-endian words.
class Fnv {
public:
    void byte(uint8_t b) {
        h_ ^= b;
        h_ *= 0x100000001b3ull;
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) byte(static_cast<uint8_t>(v >> (8 * i)));
    }
    void u64(uint64_t v) {
        u32(static_cast<uint32_t>(v));
        u32(static_cast<uint32_t>(v >> 32));
    }
    uint64_t value() const { return h_; }

private:
    uint64_t h_ = 0xcbf29ce484222325ull;
};

uint64_t digest(const sim::RunResult& r) {
    Fnv h;
    for (const sim::Event& e : sim::image::bus_events(r.events)) {
        h.byte(static_cast<uint8_t>(e.kind));
        h.u32(e.off);
        h.u32(e.val);
        h.u64(e.time);
    }
    h.u32(static_cast<uint32_t>(r.ret));
    uint32_t w[sim::record_words];
    sim::record_to_words(r.record, w);
    for (uint32_t v : w) h.u32(v);
    h.u64(r.end_time - r.start_time);
    return h.value();
}

struct Entry {
    std::string key;
    std::string options;
    std::string digest;
};

// "config clock power_mode", as a line of the golden file begins.
std::string key_of(const sim::RunRequest& q) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%#x %#x %u", q.config_id, q.clock_index, q.power_mode);
    return buf;
}

// The tovmem options that repeat a scenario.
std::string options_of(const sim::RunRequest& q) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "--config %#x --clock %#x --power-mode %u --aux-value %#x", q.config_id,
                  q.clock_index, q.power_mode, q.chip.aux_value);
    return buf;
}

std::string hex64(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

std::vector<sim::image::Scenario> scenarios() {
    std::vector<sim::image::Scenario> all;
    for (Family f : {Family::halden, Family::orlit, Family::varnel}) {
        auto s = sim::image::table_sweep(f, std::nullopt);
        all.insert(all.end(), s.begin(), s.end());
    }
    return all;
}

// "CONFIG CLOCK POWER DIGEST" lines; '#' starts a comment.
std::map<std::string, std::string> read_golden() {
    std::map<std::string, std::string> out;
    std::ifstream in(golden_path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t at = line.rfind(' ');
        if (at == std::string::npos) continue;
        out[line.substr(0, at)] = line.substr(at + 1);
    }
    return out;
}

std::string how_to_see(const std::string& options) {
    return "see the run with `tovmem run " + options +
           " --format jsonl > now.jsonl`, the same from the last good build into was.jsonl, and compare them "
           "with `tovmem diff was.jsonl now.jsonl`; if the change is meant, rerun this test with "
           "TOV_GOLDEN_UPDATE=1 to rewrite tests/golden/table_sweep.txt";
}

TEST(GoldenTraces, EveryHealthyBringUpAsRecorded) {
    const auto all = scenarios();
    std::vector<Entry> now;
    for (const auto& s : all)
        now.push_back({key_of(s.req), options_of(s.req), hex64(digest(sim::run_bring_up(s.req)))});

    const char* update = std::getenv("TOV_GOLDEN_UPDATE");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream out(golden_path);
        out << "# Every healthy bring-up of the table sweep on a chip whose registers start at 0, one line\n"
               "# per scenario: config_id, clock_index, power_mode, then the FNV-1a 64 digest of its bus\n"
               "# events with their times, result, record and call time. The aux word is 0x5a5a0000 | row.\n"
               "# Checked by GoldenTraces.EveryHealthyBringUpAsRecorded; TOV_GOLDEN_UPDATE=1 rewrites it.\n";
        for (const Entry& e : now) out << e.key << " " << e.digest << "\n";
        ASSERT_TRUE(out.good()) << "cannot write " << golden_path;
        std::printf("golden traces: %zu scenarios written to %s\n", now.size(), golden_path.c_str());
        return;
    }

    const std::map<std::string, std::string> golden = read_golden();
    ASSERT_FALSE(golden.empty()) << "no digests in " << golden_path << " (TOV_GOLDEN_UPDATE=1 writes them)";
    size_t changed = 0, missing = 0;
    std::map<std::string, bool> seen;
    for (const Entry& e : now) {
        seen[e.key] = true;
        const auto it = golden.find(e.key);
        if (it == golden.end()) {
            if (++missing <= 10)
                ADD_FAILURE() << "scenario " << e.options << " has no golden digest; " << how_to_see(e.options);
            continue;
        }
        if (it->second != e.digest && ++changed <= 10)
            ADD_FAILURE() << "scenario " << e.options << ": digest " << e.digest << ", golden " << it->second << "; "
                          << how_to_see(e.options);
    }
    for (const auto& [key, d] : golden)
        if (!seen.count(key)) ADD_FAILURE() << "golden scenario (config clock power) " << key << " is no longer swept";
    EXPECT_EQ(changed, 0u) << "scenarios whose bring-up changed (the first 10 named above)";
    EXPECT_EQ(missing, 0u);
    EXPECT_EQ(golden.size(), now.size());
    RecordProperty("scenarios", static_cast<int>(now.size()));
}

// The digest sees every part it covers.
TEST(GoldenTraces, DigestCoversEventsTimesResultAndRecord) {
    sim::RunRequest q;
    q.config_id = 0x3000099;
    q.clock_index = 10;
    const sim::RunResult base = sim::run_bring_up(q);
    const uint64_t d = digest(base);
    EXPECT_EQ(digest(sim::run_bring_up(q)), d) << "a run is repeatable";
    auto changed = [&](auto edit) {
        sim::RunResult r = base;
        edit(r);
        return digest(r) != d;
    };
    EXPECT_TRUE(changed([](sim::RunResult& r) { r.ret = 0; }));
    EXPECT_TRUE(changed([](sim::RunResult& r) { r.record.map_value ^= 1; }));
    EXPECT_TRUE(changed([](sim::RunResult& r) { r.record.clock_index ^= 1; }));
    EXPECT_TRUE(changed([](sim::RunResult& r) { r.end_time += 1; }));
    for (size_t i = 0; i < base.events.size(); i += 97) {
        if (base.events[i].kind != sim::EventKind::store && base.events[i].kind != sim::EventKind::load) continue;
        EXPECT_TRUE(changed([i](sim::RunResult& r) { r.events[i].val ^= 0x100; })) << i;
        EXPECT_TRUE(changed([i](sim::RunResult& r) { r.events[i].off ^= 4; })) << i;
        EXPECT_TRUE(changed([i](sim::RunResult& r) { r.events[i].time += 1; })) << i;
    }
    // Trace messages and delay notes are not bus events: the image never makes them.
    EXPECT_FALSE(changed([](sim::RunResult& r) { r.events.push_back({sim::EventKind::trace, 0, 0, 0, "x"}); }));
}

}  // namespace
}  // namespace tov::test
