// How long a call holds the CPU: recomputes the README's table of virtual
// call times (healthy, and the longest with a DRAM command stuck) from the
// simulated chip and fails when the README says anything else.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "meminit/hw/access.h"
#include "tests/harness.h"
#include "tests/routine_forms.h"

namespace tov::test {
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
        const RunResult r = sim::run_bring_up(with_stuck_command(f, n));
        EXPECT_LE(took(r), took(f.healthy) + done_wait_bound + sim::ClockConfig::default_step)
            << "id " << hex(f.req.config_id) << " clock_index " << f.req.clock_index << " command " << n;
        worst = std::max(worst, took(r));
    }
    return worst;
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
    fig.table = all.str();
    return fig;
}

std::string readme_block() {
    std::ifstream in(std::string(TOV_SOURCE_DIR) + "/README.md");
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    const size_t b = text.find(begin_marker);
    const size_t e = text.find(end_marker);
    if (b == std::string::npos || e == std::string::npos || e < b) return "(no call-time table in README.md)";
    const size_t from = text.find('\n', b) + 1;
    return text.substr(from, e - from);
}

TEST(CallTime, ReadmeTableMatchesTheSimulatedChip) {
    const Figures fig = compute();
    // TOV_CALL_TIME_TABLE=file writes the table there, for updating the README.
    if (const char* out = std::getenv("TOV_CALL_TIME_TABLE")) std::ofstream(out) << fig.table;
    // A stuck command costs at most one wait bound beyond the healthy call.
    EXPECT_LE(fig.longest_stuck, fig.longest_healthy + done_wait_bound + sim::ClockConfig::default_step);
    EXPECT_EQ(readme_block(), fig.table) << "README.md between \"" << begin_marker << "\" and \"" << end_marker
                                         << "\" should read:\n"
                                         << fig.table;
}

}  // namespace
}  // namespace tov::test
