// SPDX-License-Identifier: Apache-2.0
// Every healthy bring-up of the table sweep (every table ID at clock_index
// 0..13 and the reserved values, the first family at power modes 0..4) on a
// chip whose registers start at 0, against a checked-in digest of its bus
// events with their times, its result and its record; and, for one scenario
// of each form of each routine, the whole trace as text beside it, so that a
// changed form shows as a unified diff in the failure. A scenario's inputs
// derive from its ID and clock alone, so a new row adds its own lines and
// moves no other. TOV_GOLDEN_UPDATE=1 rewrites tests/golden/ from the build.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "meminit/entry/routines.h"
#include "meminit/hw/regs.h"
#include "sim/image/sweep.h"
#include "sim/random_registers.h"
#include "sim/trace_format.h"
#include "tests/generated_file.h"
#include "tests/routine_forms.h"

namespace tov::test::golden_trace_test {
namespace {

const std::string golden_dir = std::string(TOV_SOURCE_DIR) + "/tests/golden";
const std::string golden_path = golden_dir + "/table_sweep.txt";
const std::string traces_dir = golden_dir + "/traces";
const std::string direct_path = golden_dir + "/direct_calls.txt";

using generated::unified_diff;
using generated::updating;

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

// ---------------------------------------------------------------------------
// Reference traces: one file per routine, one section per form.
// ---------------------------------------------------------------------------

// A message's newline and other control bytes escaped, so that it stays one line.
std::string one_line(const sim::Event& e) {
    return e.kind == sim::EventKind::trace ? "X \"" + sim::json_escape(e.msg) + "\"" : sim::event_compact(e);
}

// One line per event as `tovmem run` abbreviates it (W store, R load, A aux
// load, T delay_ticks, M delay_ms, X message) with the register's map name;
// repeats of an event in a row folded into one line ("x3"); a line "time +N
// ms" where the clock has moved, so that a changed wait changes one line. The
// result and the record close the section.
std::vector<std::string> trace_lines(const sim::RunResult& r) {
    std::vector<std::string> out;
    char buf[160];
    uint64_t t = r.start_time;
    size_t repeats = 0;
    auto flush = [&] {
        if (repeats > 1) out.back() += "  x" + std::to_string(repeats);
        repeats = 0;
    };
    for (size_t i = 0; i < r.events.size(); ++i) {
        const sim::Event& e = r.events[i];
        if (e.time != t) {
            flush();
            std::snprintf(buf, sizeof buf, "time +%llu.%04llu ms",
                          static_cast<unsigned long long>((e.time - t) / 10000),
                          static_cast<unsigned long long>((e.time - t) % 10000));
            out.push_back(buf);
            t = e.time;
        } else if (i > 0 && repeats > 0) {
            const sim::Event& p = r.events[i - 1];
            if (p.kind == e.kind && p.off == e.off && p.val == e.val && p.msg == e.msg) {
                ++repeats;
                continue;
            }
        }
        flush();
        const bool reg = e.kind == sim::EventKind::store || e.kind == sim::EventKind::load;
        const char* name = reg ? reg::name_of(e.off) : nullptr;
        out.push_back(name != nullptr ? one_line(e) + "  " + name : one_line(e));
        repeats = 1;
    }
    flush();
    if (r.end_time != t) {
        std::snprintf(buf, sizeof buf, "time +%llu.%04llu ms",
                      static_cast<unsigned long long>((r.end_time - t) / 10000),
                      static_cast<unsigned long long>((r.end_time - t) % 10000));
        out.push_back(buf);
    }
    const MemInitParams& p = r.record;
    std::snprintf(buf, sizeof buf, "result %d, %u kHz, mem_size_out %#x, map_value %u, clock_index %#x", r.ret,
                  p.mem_clock_khz, p.mem_size_out, p.map_value, p.clock_index);
    out.push_back(buf);
    return out;
}

struct Reference {
    std::string routine;
    std::string options;  // the section's heading
    std::vector<std::string> lines;
};

std::string section_heading(const std::string& options) { return "## tovmem run " + options; }

std::string trace_file(const std::string& routine) { return traces_dir + "/" + routine + ".txt"; }

// The sweep scenario of each form of each routine: forms are told apart on a
// chip without an aux word (routine_forms.h), then run as the sweep runs them.
std::vector<Reference> current_references() {
    std::vector<Reference> out;
    for (const RoutineRow& rr : first_rows())
        for (const Form& f : forms_of(rr)) {
            sim::RunRequest q = sim::image::request(f.req.config_id, f.req.clock_index, f.req.power_mode);
            q.chip.aux_value = sim::scenario_aux_word(q.config_id, q.clock_index);
            out.push_back({rr.name, options_of(q), trace_lines(sim::run_bring_up(q))});
        }
    return out;
}

// Sections of a routine's file, by heading.
std::map<std::string, std::vector<std::string>> read_trace_file(const std::string& routine) {
    std::map<std::string, std::vector<std::string>> out;
    std::ifstream in(trace_file(routine));
    std::string line;
    std::vector<std::string>* section = nullptr;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0)
            section = &out[line];
        else if (section != nullptr && !line.empty() && line[0] != '#')
            section->push_back(line);
    }
    return out;
}

void write_references(const std::vector<Reference>& refs) {
    std::filesystem::create_directories(traces_dir);
    std::set<std::string> written;
    std::map<std::string, std::ofstream> files;
    for (const Reference& r : refs) {
        auto it = files.find(r.routine);
        if (it == files.end()) {
            it = files.emplace(r.routine, std::ofstream(trace_file(r.routine))).first;
            it->second << "# " << r.routine
                       << ": one healthy bring-up of each form (registers start at 0), as the table sweep runs it.\n"
                          "# Checked by GoldenTraces.ReferenceTracesAsRecorded; TOV_GOLDEN_UPDATE=1 rewrites it.\n";
            written.insert(trace_file(r.routine));
        }
        it->second << "\n" << section_heading(r.options) << "\n";
        for (const std::string& l : r.lines) it->second << l << "\n";
    }
    for (auto& [name, f] : files) ASSERT_TRUE(f.good()) << "cannot write " << trace_file(name);
    for (const auto& entry : std::filesystem::directory_iterator(traces_dir))
        if (!written.count(entry.path().string())) std::filesystem::remove(entry.path());
}

std::string how_to_see(const std::string& options) {
    return "see it with `tovmem run " + options + "`; if the change is meant, " +
           std::string(generated::update_command) + " rewrites tests/golden/ and the generated documents";
}

TEST(GoldenTraces, EveryHealthyBringUpAsRecorded) {
    const auto all = scenarios();
    std::vector<std::pair<std::string, std::string>> now;  // key, digest
    std::map<std::string, std::string> options;
    for (const auto& s : all) {
        now.emplace_back(key_of(s.req), hex64(digest(sim::run_bring_up(s.req))));
        options[key_of(s.req)] = options_of(s.req);
    }

    if (updating()) {
        std::ofstream out(golden_path);
        out << "# Every healthy bring-up of the table sweep on a chip whose registers start at 0, one line\n"
               "# per scenario: config_id, clock_index, power_mode, then the FNV-1a 64 digest of its bus\n"
               "# events with their times, result, record and call time. The aux word derives from the ID\n"
               "# and the clock (sim::scenario_aux_word); traces/ holds one whole trace of each form.\n"
               "# Checked by GoldenTraces.EveryHealthyBringUpAsRecorded; TOV_GOLDEN_UPDATE=1 rewrites it.\n";
        for (const auto& [key, d] : now) out << key << " " << d << "\n";
        ASSERT_TRUE(out.good()) << "cannot write " << golden_path;
        std::printf("golden traces: %zu scenarios written to %s\n", now.size(), golden_path.c_str());
        return;
    }

    const std::map<std::string, std::string> golden = read_golden();
    ASSERT_FALSE(golden.empty()) << "no digests in " << golden_path << " (TOV_GOLDEN_UPDATE=1 writes them)";
    size_t changed = 0, missing = 0;
    std::set<std::string> seen;
    for (const auto& [key, d] : now) {
        seen.insert(key);
        const auto it = golden.find(key);
        if (it == golden.end()) {
            if (++missing <= 10)
                ADD_FAILURE() << "scenario " << options[key] << " has no golden digest; " << how_to_see(options[key]);
            continue;
        }
        if (it->second != d && ++changed <= 10)
            ADD_FAILURE() << "scenario " << options[key] << ": digest " << d << ", golden " << it->second << "; "
                          << how_to_see(options[key])
                          << " (GoldenTraces.ReferenceTracesAsRecorded shows the changed forms as diffs)";
    }
    for (const auto& [key, d] : golden)
        if (!seen.count(key)) ADD_FAILURE() << "golden scenario (config clock power) " << key << " is no longer swept";
    EXPECT_EQ(changed, 0u) << "scenarios whose bring-up changed (the first 10 named above)";
    EXPECT_EQ(missing, 0u);
    EXPECT_EQ(golden.size(), now.size());
    RecordProperty("scenarios", static_cast<int>(now.size()));
}

// ---------------------------------------------------------------------------
// Direct calls: every routine of the routine list called without the
// dispatcher, so that the rows and forms no table ID reaches (a clock the
// remapping skips, a Size or flag no row pairs with the routine) are recorded
// too. On random register contents from the default random-register key, so that a field
// write that keeps the wrong bits shows; keyed by routine name, so that they
// stay put when rows and routines come and go.
// ---------------------------------------------------------------------------

struct NamedRoutine {
    const char* name;
    InitRoutine routine;
    Family family;
};

constexpr NamedRoutine routine_list[] = {
#define TOV_ROUTINE(family, name, settings) {#name, name, Family::family},
#include "meminit/entry/routines.def"
#undef TOV_ROUTINE
};

uint64_t name_key(const char* name) {
    Fnv h;
    for (const char* c = name; *c; ++c) h.byte(static_cast<uint8_t>(*c));
    return h.value();
}

struct DirectCall {
    std::string key;  // "routine clock power_mode bus_flag mode_flag"
    sim::RunResult result;
};

std::vector<DirectCall> direct_calls() {
    std::vector<DirectCall> out;
    std::vector<uint32_t> clocks;
    for (uint32_t c = 0; c < 14; ++c) clocks.push_back(c);
    for (uint32_t c : sim::image::every_reserved_clock()) clocks.push_back(c);
    for (const NamedRoutine& r : routine_list) {
        const uint32_t modes = r.family == Family::halden ? 5 : 1;
        for (uint32_t clock : clocks)
            for (uint32_t pm = 0; pm < modes; ++pm)
                for (uint32_t flags : {0u, 1u}) {
                    MemInitParams p = sim::initial_record(0, clock, pm);
                    p.mem_size = 128 * MiB;
                    p.bus_flag = flags;
                    p.mode_flag = flags;
                    sim::ChipConfig chip;
                    chip.aux_value = sim::scenario_aux_word(0, clock);
                    sim::add_random_registers(chip, sim::default_register_seed,
                                              sim::scenario_key(static_cast<uint32_t>(name_key(r.name)), clock, pm));
                    char key[160];
                    std::snprintf(key, sizeof key, "%s %#x %u %u %u", r.name, clock, pm, flags, flags);
                    out.push_back({key, sim::run_routine(r.routine, p, chip)});
                }
    }
    return out;
}

TEST(GoldenTraces, EveryRoutineCalledDirectlyAsRecorded) {
    const std::vector<DirectCall> now = direct_calls();
    if (updating()) {
        std::ofstream out(direct_path);
        out << "# Every init routine called directly, without the dispatcher: routine, clock_index,\n"
               "# power_mode, bus_flag, mode_flag (mem_size 128 MiB), then the FNV-1a 64 digest as in\n"
               "# table_sweep.txt. Registers start from the default random-register key's contents.\n"
               "# Checked by GoldenTraces.EveryRoutineCalledDirectlyAsRecorded; TOV_GOLDEN_UPDATE=1 rewrites it.\n";
        for (const DirectCall& c : now) out << c.key << " " << hex64(digest(c.result)) << "\n";
        ASSERT_TRUE(out.good()) << "cannot write " << direct_path;
        std::printf("direct calls: %zu written to %s\n", now.size(), direct_path.c_str());
        return;
    }
    std::map<std::string, std::string> golden;
    {
        std::ifstream in(direct_path);
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#') continue;
            const size_t at = line.rfind(' ');
            if (at != std::string::npos) golden[line.substr(0, at)] = line.substr(at + 1);
        }
    }
    ASSERT_FALSE(golden.empty()) << "no digests in " << direct_path << " (TOV_GOLDEN_UPDATE=1 writes them)";
    size_t changed = 0, missing = 0;
    std::set<std::string> seen;
    for (const DirectCall& c : now) {
        seen.insert(c.key);
        const auto it = golden.find(c.key);
        if (it == golden.end()) {
            if (++missing <= 10)
                ADD_FAILURE() << "direct call (routine clock power_mode bus_flag mode_flag) \"" << c.key
                              << "\" has no golden digest: a new routine, or a new clock or flag value; if it is "
                                 "meant, "
                              << generated::update_command << " adds its lines to tests/golden/direct_calls.txt";
        } else if (it->second != hex64(digest(c.result)) && ++changed <= 10) {
            ADD_FAILURE() << "direct call (routine clock power_mode bus_flag mode_flag) \"" << c.key
                          << "\" changed; result " << c.result.ret << ", " << c.result.record.mem_clock_khz
                          << " kHz, mem_size_out " << c.result.record.mem_size_out
                          << "; the reference traces show the forms a table ID reaches; if the change is meant, "
                          << generated::update_command << " rewrites tests/golden/";
        }
    }
    for (const auto& [key, d] : golden)
        if (!seen.count(key))
            ADD_FAILURE() << "direct call \"" << key
                          << "\" is no longer made (a routine removed or renamed: " << generated::update_command
                          << " drops its lines)";
    EXPECT_EQ(changed, 0u);
    EXPECT_EQ(missing, 0u) << "direct calls without a golden digest (the first 10 named above)";
    RecordProperty("calls", static_cast<int>(now.size()));
}

// One whole trace per form of every routine, as text: a changed form prints
// as a unified diff against the recorded trace.
TEST(GoldenTraces, ReferenceTracesAsRecorded) {
    const std::vector<Reference> refs = current_references();
    if (updating()) {
        write_references(refs);
        std::printf("reference traces: %zu forms written to %s\n", refs.size(), traces_dir.c_str());
        return;
    }
    std::map<std::string, std::map<std::string, std::vector<std::string>>> recorded;
    std::set<std::string> current;
    size_t shown = 0;
    for (const Reference& r : refs) {
        auto it = recorded.find(r.routine);
        if (it == recorded.end()) it = recorded.emplace(r.routine, read_trace_file(r.routine)).first;
        const std::string heading = section_heading(r.options);
        current.insert(r.routine + "\n" + heading);
        const auto sec = it->second.find(heading);
        if (sec == it->second.end()) {
            ADD_FAILURE() << trace_file(r.routine) << " has no section \"" << heading << "\"; "
                          << how_to_see(r.options);
            continue;
        }
        if (sec->second == r.lines) continue;
        if (++shown <= 5)
            ADD_FAILURE() << r.routine << ", " << heading << " changed (- recorded, + now):\n"
                          << unified_diff(sec->second, r.lines) << how_to_see(r.options);
        else
            ADD_FAILURE() << r.routine << ", " << heading << " changed";
    }
    for (const auto& [routine, sections] : recorded)
        for (const auto& [heading, lines] : sections)
            if (!current.count(routine + "\n" + heading))
                ADD_FAILURE() << trace_file(routine) << ": \"" << heading << "\" is no longer a form of " << routine;
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(traces_dir)) {
        ++files;
        EXPECT_TRUE(recorded.count(entry.path().stem().string()))
            << entry.path() << " names no routine of the tables (TOV_GOLDEN_UPDATE=1 removes it)";
    }
    EXPECT_EQ(files, recorded.size());
    RecordProperty("forms", static_cast<int>(refs.size()));
}

// The diff names the changed lines with their context.
TEST(GoldenTraces, UnifiedDiffShowsTheChangedLines) {
    std::vector<std::string> a, b;
    for (int i = 0; i < 20; ++i) a.push_back("line " + std::to_string(i));
    b = a;
    b[10] = "line ten";
    b.erase(b.begin() + 15);
    const std::string d = unified_diff(a, b);
    EXPECT_NE(d.find("-line 10\n+line ten\n"), std::string::npos) << d;
    EXPECT_NE(d.find("-line 15\n"), std::string::npos) << d;
    EXPECT_NE(d.find(" line 9\n"), std::string::npos) << d;
    EXPECT_EQ(d.find("line 2\n"), std::string::npos) << d;
    EXPECT_EQ(unified_diff(a, a), "");
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
}  // namespace tov::test::golden_trace_test
