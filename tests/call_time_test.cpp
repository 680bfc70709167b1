// SPDX-License-Identifier: Apache-2.0
// How long a call holds the CPU: recomputes docs/call-times.md's table of virtual
// call times (healthy, and the longest with a DRAM command stuck) from the
// simulated chip and fails when the document says anything else.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include "meminit/hw/access.h"
#include "tests/generated_file.h"
#include "tests/harness.h"
#include "tests/routine_forms.h"

namespace tov::test::call_time_test {
namespace {

constexpr const char* begin_marker = "<!-- call-time table: begin -->";
constexpr const char* end_marker = "<!-- call-time table: end -->";

std::string ms(uint64_t units) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", static_cast<double>(units) / 10000.0);
    return buf;
}

std::string hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%#x", v);
    return v == 0 ? "0" : buf;
}

uint64_t took(const RunResult& r) { return r.end_time - r.start_time; }

// Longest run of a form with each of its commands stuck in turn. Each such
// run ends within one wait bound of the healthy run's time.
uint64_t longest_stuck(const Form& f) {
    uint64_t worst = 0;
    for (uint32_t n = 1; n <= f.healthy.commands; ++n) {
        sim::RunRequest q = with_stuck_command(f, n);
        q.keep = sim::Simulator::Keep::nothing;
        const RunResult r = sim::run_bring_up(q);
        EXPECT_LE(took(r), took(f.healthy) + done_wait_bound + sim::ClockConfig::default_step)
            << "id " << hex(f.req.config_id) << " clock_index " << f.req.clock_index << " command " << n;
        worst = std::max(worst, took(r));
    }
    return worst;
}

// Windows' default clock moves every 15.625 ms. A call on it depends on the
// phase of its updates only through which of the simulated readings (every
// 0.5 ms) and which 10 ms tick boundaries each update falls between; both
// change only at multiples of 0.125 ms of phase. The multiples of 0.0625 ms
// therefore take every change point and a phase between each two: every
// behaviour the clock can give, so the worst of them is the worst of all.
constexpr uint64_t windows_period = 156250;
constexpr uint64_t phase_step = 625;

// The longest a request's call takes on Windows' clock, over every phase;
// requests with one timing skeleton are swept once.
class WindowsClock {
public:
    uint64_t worst(const sim::RunRequest& req) {
        sim::RunRequest q = req;
        q.keep = sim::Simulator::Keep::events;
        const std::string key = timing_skeleton(sim::run_bring_up(q));
        const auto known = worst_.find(key);
        if (known != worst_.end()) return known->second;
        q.keep = sim::Simulator::Keep::nothing;
        uint64_t w = 0;
        for (uint64_t phase = 0; phase < windows_period; phase += phase_step) {
            q.clock = sim::ClockConfig::coarse(windows_period, phase);
            w = std::max(w, took(sim::run_bring_up(q)));
        }
        // Phases off the swept grid give nothing longer.
        for (int i = 0; i < 3; ++i) {
            const uint64_t phase =
                (rng_() % (windows_period / phase_step)) * phase_step + 1 + rng_() % (phase_step - 1);
            q.clock = sim::ClockConfig::coarse(windows_period, phase);
            EXPECT_LE(took(sim::run_bring_up(q)), w)
                << "id " << hex(q.config_id) << " clock_index " << q.clock_index << " phase " << phase;
        }
        return worst_[key] = w;
    }

private:
    std::map<std::string, uint64_t> worst_;
    std::mt19937_64 rng_{0x15625};
};

struct Worst {
    uint64_t healthy = 0, stuck = 0;
};

Worst worst_on_windows_clock(const Form& f, WindowsClock& clock) {
    Worst w;
    w.healthy = clock.worst(f.req);
    for (uint32_t n = 1; n <= f.healthy.commands; ++n) {
        const uint64_t stuck = clock.worst(with_stuck_command(f, n));
        // A stuck command costs at most one wait bound and two clock periods
        // beyond the healthy call.
        EXPECT_LE(stuck, w.healthy + done_wait_bound + sim::ClockConfig::default_step + 2 * windows_period)
            << "id " << hex(f.req.config_id) << " clock_index " << f.req.clock_index << " command " << n;
        w.stuck = std::max(w.stuck, stuck);
    }
    return w;
}

struct Figures {
    std::string table;
    uint64_t longest_healthy = 0;
    uint64_t longest_stuck = 0;
    uint64_t longest_reserved = 0;
    Worst windows, windows_reserved;
};

Figures compute() {
    Figures fig;
    std::ostringstream main, reserved;
    WindowsClock windows_clock;
    main << "| routine | first row | slowest clock_index | healthy (ms) | longest, a command stuck (ms) | "
            "15.625 ms clock: healthy (ms) | 15.625 ms clock: a command stuck (ms) |\n"
         << "|---|---|---|---|---|---|---|\n";
    reserved
        << "| routine | clock_index | healthy (ms) | longest, a command stuck (ms) | 15.625 ms clock: healthy (ms) | "
           "15.625 ms clock: a command stuck (ms) |\n"
        << "|---|---|---|---|---|---|\n";
    for (const RoutineRow& rr : first_rows()) {
        uint64_t slowest = 0, stuck = 0;
        uint32_t slowest_clock = 0;
        Worst windows;
        for (const Form& f : forms_of(rr)) {
            if (f.req.power_mode != 0) continue;
            const Worst w = worst_on_windows_clock(f, windows_clock);
            if (is_reserved_clock(f.req.clock_index)) {
                const uint64_t s = longest_stuck(f);
                reserved << "| `" << rr.name << "` | " << hex(f.req.clock_index) << " | " << ms(took(f.healthy))
                         << " | " << ms(s) << " | " << ms(w.healthy) << " | " << ms(w.stuck) << " |\n";
                fig.longest_reserved = std::max({fig.longest_reserved, took(f.healthy), s});
                fig.windows_reserved.healthy = std::max(fig.windows_reserved.healthy, w.healthy);
                fig.windows_reserved.stuck = std::max(fig.windows_reserved.stuck, w.stuck);
                continue;
            }
            if (took(f.healthy) > slowest) {
                slowest = took(f.healthy);
                slowest_clock = f.req.clock_index;
            }
            stuck = std::max(stuck, longest_stuck(f));
            windows.healthy = std::max(windows.healthy, w.healthy);
            windows.stuck = std::max(windows.stuck, w.stuck);
        }
        main << "| `" << rr.name << "` | " << hex(rr.row->id) << " | " << slowest_clock << " | " << ms(slowest) << " | "
             << ms(stuck) << " | " << ms(windows.healthy) << " | " << ms(windows.stuck) << " |\n";
        fig.longest_healthy = std::max(fig.longest_healthy, slowest);
        fig.longest_stuck = std::max(fig.longest_stuck, stuck);
        fig.windows.healthy = std::max(fig.windows.healthy, windows.healthy);
        fig.windows.stuck = std::max(fig.windows.stuck, windows.stuck);
    }
    std::ostringstream all;
    all << main.str() << "\nReserved clock values (re-initialisation and polled paths):\n\n"
        << reserved.str() << "\nLongest call on a healthy chip: " << ms(fig.longest_healthy)
        << " ms; with a command stuck: " << ms(fig.longest_stuck)
        << " ms; on a reserved path, either way: " << ms(fig.longest_reserved) << " ms.\n"
        << "\nOn Windows' default clock, which moves only every 15.625 ms (the worst over every phase of its "
           "updates):\nlongest call on a healthy chip: "
        << ms(fig.windows.healthy) << " ms; with a command stuck: " << ms(fig.windows.stuck)
        << " ms; on a reserved path, either way: "
        << ms(std::max(fig.windows_reserved.healthy, fig.windows_reserved.stuck)) << " ms.\n";
    fig.table = all.str();
    return fig;
}

std::string read_text(const std::string& path) {
    std::ifstream in(std::string(TOV_SOURCE_DIR) + "/" + path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(CallTime, ReadmeTableMatchesTheSimulatedChip) {
    const Figures fig = compute();
    // The kit's README and the integrators' document budget with the coarse
    // clock's worst cases.
    const uint64_t reserved = std::max(fig.windows_reserved.healthy, fig.windows_reserved.stuck);
    const std::string kit = read_text("driver/kit_readme.txt.in");
    for (const uint64_t figure : {fig.windows.healthy, fig.windows.stuck, reserved})
        EXPECT_NE(kit.find(ms(figure) + " ms"), std::string::npos)
            << "driver/kit_readme.txt.in should quote the worst call on Windows' clock, " << ms(figure) << " ms";
    const std::string doc = read_text("docs/driver-kit.md");
    for (const uint64_t figure : {fig.windows.healthy, reserved})
        EXPECT_NE(doc.find(ms(figure) + " ms"), std::string::npos)
            << "docs/driver-kit.md should quote the worst call on Windows' clock, " << ms(figure) << " ms";
    // TOV_CALL_TIME_TABLE=file writes the table there, for updating the document.
    if (const char* out = std::getenv("TOV_CALL_TIME_TABLE")) std::ofstream(out) << fig.table;
    // A stuck command costs at most one wait bound beyond the healthy call.
    EXPECT_LE(fig.longest_stuck, fig.longest_healthy + done_wait_bound + sim::ClockConfig::default_step);
    generated::expect_block("docs/call-times.md", begin_marker, end_marker, fig.table);
}

}  // namespace
}  // namespace tov::test::call_time_test
