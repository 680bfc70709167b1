// SPDX-License-Identifier: Apache-2.0
// How long a call holds the CPU: recomputes docs/call-times.md's table of virtual
// call times (healthy, and the longest with a DRAM command stuck) from the
// simulated chip and fails when the document says anything else.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

// Longest run of a form with each of its commands stuck in turn, on the
// form's clock or on `clock`. Each such run ends within one wait bound of
// the healthy run's time (and, on a coarse clock, two clock periods).
uint64_t longest_stuck(const Form& f, const sim::ClockConfig* clock = nullptr, uint64_t healthy = 0) {
    uint64_t worst = 0;
    if (!clock) healthy = took(f.healthy);
    const uint64_t slack = sim::ClockConfig::default_step + (clock ? 2 * clock->period : 0);
    for (uint32_t n = 1; n <= f.healthy.commands; ++n) {
        sim::RunRequest q = with_stuck_command(f, n);
        if (clock) q.clock = *clock;
        const RunResult r = sim::run_bring_up(q);
        EXPECT_LE(took(r), healthy + done_wait_bound + slack)
            << "id " << hex(f.req.config_id) << " clock_index " << f.req.clock_index << " command " << n;
        worst = std::max(worst, took(r));
    }
    return worst;
}

// The worst calls again on Windows' default clock, which moves every
// 15.625 ms: the worst over eight phases of its updates.
struct Worst {
    uint64_t healthy = 0, stuck = 0, reserved = 0;
};

Worst worst_on_windows_clock() {
    constexpr uint64_t period = 156250;
    Worst w;
    for (uint64_t k = 0; k < 8; ++k) {
        const sim::ClockConfig clock = sim::ClockConfig::coarse(period, k * period / 8);
        for (const RoutineRow& rr : first_rows())
            for (const Form& f : forms_of(rr)) {
                if (f.req.power_mode != 0) continue;
                sim::RunRequest q = f.req;
                q.clock = clock;
                const uint64_t healthy = took(sim::run_bring_up(q));
                const uint64_t stuck = longest_stuck(f, &clock, healthy);
                if (is_reserved_clock(f.req.clock_index)) {
                    w.reserved = std::max({w.reserved, healthy, stuck});
                } else {
                    w.healthy = std::max(w.healthy, healthy);
                    w.stuck = std::max(w.stuck, stuck);
                }
            }
    }
    return w;
}

struct Figures {
    std::string table;
    uint64_t longest_healthy = 0;
    uint64_t longest_stuck = 0;
    uint64_t longest_reserved = 0;
};

Figures compute() {
    Figures fig;
    std::ostringstream main, reserved;
    main << "| routine | first row | slowest clock_index | healthy (ms) | longest, a command stuck (ms) |\n"
         << "|---|---|---|---|---|\n";
    reserved << "| routine | clock_index | healthy (ms) | longest, a command stuck (ms) |\n"
             << "|---|---|---|---|\n";
    for (const RoutineRow& rr : first_rows()) {
        uint64_t slowest = 0, stuck = 0;
        uint32_t slowest_clock = 0;
        for (const Form& f : forms_of(rr)) {
            if (f.req.power_mode != 0) continue;
            if (is_reserved_clock(f.req.clock_index)) {
                const uint64_t s = longest_stuck(f);
                reserved << "| `" << rr.name << "` | " << hex(f.req.clock_index) << " | " << ms(took(f.healthy))
                         << " | " << ms(s) << " |\n";
                fig.longest_reserved = std::max({fig.longest_reserved, took(f.healthy), s});
                continue;
            }
            if (took(f.healthy) > slowest) {
                slowest = took(f.healthy);
                slowest_clock = f.req.clock_index;
            }
            stuck = std::max(stuck, longest_stuck(f));
        }
        main << "| `" << rr.name << "` | " << hex(rr.row->id) << " | " << slowest_clock << " | " << ms(slowest) << " | "
             << ms(stuck) << " |\n";
        fig.longest_healthy = std::max(fig.longest_healthy, slowest);
        fig.longest_stuck = std::max(fig.longest_stuck, stuck);
    }
    std::ostringstream all;
    all << main.str() << "\nReserved clock values (re-initialisation and polled paths):\n\n"
        << reserved.str() << "\nLongest call on a healthy chip: " << ms(fig.longest_healthy)
        << " ms; with a command stuck: " << ms(fig.longest_stuck)
        << " ms; on a reserved path, either way: " << ms(fig.longest_reserved) << " ms.\n";
    const Worst w = worst_on_windows_clock();
    all << "\nOn Windows' default clock, which moves only every 15.625 ms (the worst of eight phases of its "
           "updates):\nlongest call on a healthy chip: "
        << ms(w.healthy) << " ms; with a command stuck: " << ms(w.stuck)
        << " ms; on a reserved path, either way: " << ms(w.reserved) << " ms.\n";
    fig.table = all.str();
    return fig;
}

TEST(CallTime, ReadmeTableMatchesTheSimulatedChip) {
    const Figures fig = compute();
    // TOV_CALL_TIME_TABLE=file writes the table there, for updating the document.
    if (const char* out = std::getenv("TOV_CALL_TIME_TABLE")) std::ofstream(out) << fig.table;
    // A stuck command costs at most one wait bound beyond the healthy call.
    EXPECT_LE(fig.longest_stuck, fig.longest_healthy + done_wait_bound + sim::ClockConfig::default_step);
    generated::expect_block("docs/call-times.md", begin_marker, end_marker, fig.table);
}

}  // namespace
}  // namespace tov::test::call_time_test
