// SPDX-License-Identifier: Apache-2.0
// tovmem report: a bring-up as one HTML page. The steps are laid out on a
// time axis that gives every step a slot of its own (the bus runs many steps
// on one clock reading), scales the time between readings, and breaks long
// idle stretches and the inside of long done-bit waits, saying so. Lanes
// below the axis show the DRAM commands, CKE, the polls, the delays, the
// stores by block, the reads, the frame-buffer test, the messages and the
// rule verdicts; the page is cut into strips of one width, so that it reads
// and prints without sideways scrolling. Everything from a file is escaped.
#include "tools/tovmem/report.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <string_view>

#include "meminit/hw/access.h"
#include "meminit/hw/dram.h"
#include "meminit/hw/regs.h"
#include "sim/command_decode.h"
#include "sim/printable.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/commands.h"
#include "tools/tovmem/rules.h"
#include "tov_version.h"

namespace tovmem {

using tov::sim::Event;
using tov::sim::EventKind;
namespace reg = tov::reg;
namespace dram = tov::dram;

std::string fields_text(uint32_t off, uint32_t v) {
    const reg::RegFields r = reg::named_fields(off);
    std::string t;
    for (uint32_t i = 0; i < r.count; ++i) {
        const reg::NamedField& f = r.fields[i];
        const uint32_t shift = static_cast<uint32_t>(__builtin_ctz(f.mask));
        const uint32_t x = (v & f.mask) >> shift;
        const bool one_bit = (f.mask >> shift) == 1;
        t += strf("%s%s %s", t.empty() ? "\nfields: " : ", ", f.name,
                  one_bit ? strf("%u", x).c_str() : strf("0x%x", x).c_str());
    }
    return t;
}

namespace report_page {
namespace {

// ---- text ----

// Text for the page: bytes outside printable ASCII as \xNN (as everything
// tovmem prints from a file), then the characters markup gives meaning to
// as entities, so that no file can put an element or a script on the page.
std::string esc(std::string_view s) {
    std::string o;
    for (char c : tov::sim::printable(s)) {
        switch (c) {
        case '&': o += "&amp;"; break;
        case '<': o += "&lt;"; break;
        case '>': o += "&gt;"; break;
        case '"': o += "&quot;"; break;
        case '\'': o += "&#39;"; break;
        default: o += c;
        }
    }
    return o;
}

// A message on one line: its line breaks shown as \n.
std::string one_line(const std::string& s) {
    std::string o;
    for (char c : s) o += c == '\n' ? std::string("\\n") : std::string(1, c);
    return o;
}

std::string num(double v) {
    std::string s = strf("%.1f", v);
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    return s;
}

// The block a register belongs to: its map name up to the first '_'.
std::string block_of(uint32_t off) {
    if (!reg::name_of(off)) return "other";
    const std::string n = reg_name(off);
    return n.substr(0, n.find('_'));
}

// ---- geometry ----

constexpr double label_w = 112;  // lane names
constexpr double plot_w = 1080;  // the plotted area of a strip
constexpr double svg_w = label_w + plot_w + 8;
constexpr double slot = 7;               // one step
constexpr double px_per_ms = 10;         // time between clock readings
constexpr uint64_t break_after = 40000;  // 4 ms: a longer idle stretch is broken
constexpr double break_w = 34;
constexpr double wait_w = 42;    // the inside of a long done-bit wait
constexpr size_t wait_kept = 2;  // polls kept at full width at each end of a wait
constexpr double late_w = 70;    // "not captured" before a capture that starts late

enum class Lane { axis, steps, cmd, cke, polls, delays, store, reads, fb, msgs, rules };

struct LaneRow {
    Lane lane;
    std::string name;   // shown at the left
    std::string block;  // stores: the block
    double y = 0, h = 0;
};

// One bring-up as drawn: its analysis, verdicts and where each step sits.
struct Side {
    const ReportCall* call = nullptr;
    std::string id;    // element ids: "s12" or "a-s12", "c2-s12"
    std::string name;  // "" or "A", "B"
    Analysis a;
    Judgement j;
    std::vector<size_t> bus;       // step indices of the bus steps
    std::vector<size_t> bus_no;    // per step: its bus step number from 1 (0: not a bus step)
    std::vector<double> interior;  // per step: its width inside a long wait, 0 outside one
    std::vector<long> poll_of;     // per step: the command (index) whose wait it polls, or -1
    struct Band {
        size_t from, to, command;
    };
    std::vector<Band> bands;    // the insides of long waits, drawn compressed
    std::vector<double> x;      // per step: x inside its strip
    std::vector<size_t> strip;  // per step
    std::string cause;
    size_t fail_step = 0;  // the step the cause names (steps.size(): none)
    bool failed = false;
    std::vector<LaneRow> lanes;
    double y0 = 0, height = 0;
    const tov::sim::RunResult& r() const { return call->b.r; }
    uint64_t t(size_t step) const { return r().events[a.steps[step].first].time - r().start_time; }
    uint64_t t_end(size_t step) const { return r().events[a.steps[step].last].time - r().start_time; }
    const LaneRow* lane(Lane l, const std::string& block = "") const {
        for (const LaneRow& row : lanes)
            if (row.lane == l && row.block == block) return &row;
        return nullptr;
    }
};

void prepare(Side& s, const ReportCall& c, const std::string& id, const std::string& name) {
    s.call = &c;
    s.id = id;
    s.name = name;
    s.a = analyse(c.b.r);
    s.j = judge(c.b, s.a);
    const size_t n = s.a.steps.size();
    s.bus_no.assign(n, 0);
    for (size_t i = 0; i < n; ++i)
        if (s.a.steps[i].kind != StepKind::other) {
            s.bus.push_back(i);
            s.bus_no[i] = s.bus.size();
        }
    s.interior.assign(n, 0);
    s.poll_of.assign(n, -1);
    for (size_t k = 0; k < s.a.commands.size(); ++k) {
        const CommandInfo& c2 = s.a.commands[k];
        if (!c2.polls) continue;
        std::vector<size_t> polls;
        for (size_t i = c2.step + 1; i <= c2.last_poll; ++i)
            if (s.a.steps[i].kind == StepKind::read && s.a.steps[i].off == reg::DRC_CMD_STATUS) {
                s.poll_of[i] = long(k);
                polls.push_back(i);
            }
        if (polls.size() <= 2 * wait_kept + 2) continue;
        // The steps from the first poll inside to the last one share the band.
        const size_t from = polls[wait_kept], to = polls[polls.size() - 1 - wait_kept];
        for (size_t i = from; i <= to; ++i) s.interior[i] = wait_w / double(to - from + 1);
        s.bands.push_back({from, to, k});
    }
    s.failed = c.b.ret_known && c.b.r.ret != 1;
    s.fail_step = n;
    if (s.failed) s.cause = cause_of(c.b.r, s.a, &s.fail_step);
    s.x.assign(n, 0);
    s.strip.assign(n, 0);
}

// The lanes of a side, from what its steps hold.
void lay_lanes(Side& s, double y0) {
    std::vector<std::string> blocks;
    for (const Step& st : s.a.steps)
        if (st.kind == StepKind::store && std::find(blocks.begin(), blocks.end(), block_of(st.off)) == blocks.end())
            blocks.push_back(block_of(st.off));
    std::sort(blocks.begin(), blocks.end());
    auto add = [&](Lane l, std::string name, double h, std::string block = "") {
        s.lanes.push_back({l, std::move(name), std::move(block), 0, h});
    };
    const std::string p = s.name.empty() ? "" : s.name + ": ";
    add(Lane::axis, p + "time ms", 16);
    add(Lane::steps, p + "bus step", 14);
    add(Lane::cmd, "DRAM command", 32);
    add(Lane::cke, "CKE", 14);
    add(Lane::polls, "done-bit polls", 14);
    add(Lane::delays, "delays", 16);
    for (const std::string& b : blocks) add(Lane::store, "stores " + b, 14, b);
    add(Lane::reads, "reads", 14);
    if (!s.a.readbacks.empty()) add(Lane::fb, "frame-buffer test", 14);
    if (s.a.messages) add(Lane::msgs, "messages", 14);
    if (!s.j.rules.empty()) add(Lane::rules, "rules", 46);
    double y = y0;
    for (LaneRow& row : s.lanes) {
        row.y = y;
        y += row.h;
    }
    s.y0 = y0;
    s.height = y - y0;
}

// ---- the axis ----

// One slot on the axis: a step of one side or of both (aligned).
struct Column {
    std::array<long, 2> step{{-1, -1}};
    double x = 0;
    size_t strip = 0;
    std::array<uint64_t, 2> broken{{0, 0}};  // the idle time broken before it, per side
};

struct Axis {
    std::vector<Column> cols;
    size_t strips = 1;
};

// Positions every column: the slot of its step plus the time since the
// side's previous step, broken where it is long, strip by strip.
Axis place(std::vector<Column> cols, std::vector<Side*> sides, bool late_start) {
    Axis ax;
    std::array<long, 2> prev{{-1, -1}};
    double x = late_start ? late_w : 0;
    size_t strip = 0;
    for (Column& c : cols) {
        double gap = 0;
        for (size_t k = 0; k < sides.size(); ++k) {
            if (c.step[k] < 0) continue;
            const Side& s = *sides[k];
            const size_t i = size_t(c.step[k]);
            const uint64_t before = prev[k] < 0 ? 0 : s.t_end(size_t(prev[k]));
            const uint64_t dt = s.t(i) > before ? s.t(i) - before : 0;
            double g = s.interior[i] > 0 ? s.interior[i] : slot;
            if (s.interior[i] == 0 && dt > break_after) {
                g += break_w;
                c.broken[k] = dt;
            } else if (s.interior[i] == 0) {
                g += px_per_ms * ms(dt);
            }
            gap = std::max(gap, g);
            prev[k] = long(i);
        }
        if (x + gap > plot_w - slot) {
            ++strip;
            x = 0;
            gap = std::min(gap, slot + break_w);
        }
        x += gap;
        c.x = x;
        c.strip = strip;
        for (size_t k = 0; k < sides.size(); ++k)
            if (c.step[k] >= 0) {
                sides[k]->x[size_t(c.step[k])] = x;
                sides[k]->strip[size_t(c.step[k])] = strip;
            }
    }
    ax.cols = std::move(cols);
    ax.strips = strip + 1;
    return ax;
}

// ---- drawing ----

// Labels placed on a few shelves of a lane so that they do not overlap.
struct Shelves {
    std::vector<double> right;
    explicit Shelves(size_t n) : right(n, -1e9) {}
    int take(double x, double w) {
        for (size_t i = 0; i < right.size(); ++i)
            if (x >= right[i] + 3) {
                right[i] = x + w;
                return int(i);
            }
        return -1;
    }
};
double text_w(const std::string& s) { return 6.0 * double(s.size()); }

// A step's text with its column padding folded to single blanks.
std::string squeeze_text(const std::string& s) {
    std::string o;
    for (char c : s)
        if (c != ' ' || (!o.empty() && o.back() != ' ')) o.push_back(c);
    return o;
}

struct Canvas {
    std::vector<std::string> strips;
    std::vector<std::unique_ptr<Shelves>> cmd_shelves, rule_shelves, axis_shelf, step_shelf;
    explicit Canvas(size_t n) : strips(n) {
        for (size_t i = 0; i < n; ++i) {
            cmd_shelves.push_back(std::make_unique<Shelves>(2));
            rule_shelves.push_back(std::make_unique<Shelves>(3));
            axis_shelf.push_back(std::make_unique<Shelves>(1));
            step_shelf.push_back(std::make_unique<Shelves>(1));
        }
    }
    void reset_shelves() {
        for (auto* v : {&cmd_shelves, &rule_shelves, &axis_shelf, &step_shelf})
            for (auto& s : *v) std::fill(s->right.begin(), s->right.end(), -1e9);
    }
};

double X(double x) { return label_w + x; }

std::string step_attrs(const Side& s, size_t i) {
    const Step& st = s.a.steps[i];
    std::string a = strf(" data-e=\"%zu\" data-n=\"%zu\"", st.first, st.last - st.first + 1);
    if (s.bus_no[i]) a += strf(" data-s=\"%zu\" id=\"%ss%zu\"", s.bus_no[i], s.id.c_str(), s.bus_no[i]);
    return a;
}

std::string when(const Side& s, size_t i) {
    const std::string step = s.bus_no[i] ? strf("bus step %zu, ", s.bus_no[i]) : std::string();
    return step + strf("%.3f ms", ms(s.t(i)));
}

// A bar from one step's slot to another's, cut at the strips it crosses.
void bar(Canvas& cv, const Side& s, size_t from, size_t to, double y, double h, const std::string& cls,
         const std::string& inner, const std::string& attrs_first = "") {
    const double x0 = s.x[from] - slot / 2, x1 = std::max(s.x[to] + slot / 2, x0 + 2);
    for (size_t k = s.strip[from]; k <= s.strip[to]; ++k) {
        const double a = k == s.strip[from] ? x0 : 0;
        const double b = k == s.strip[to] ? x1 : plot_w;
        cv.strips[k] +=
            strf("<rect class=\"%s\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"%s>%s</rect>", cls.c_str(),
                 X(a), y, std::max(b - a, 1.0), h, k == s.strip[from] ? attrs_first.c_str() : "", inner.c_str());
    }
}

std::string title(const std::string& t) { return "<title>" + esc(t) + "</title>"; }

// The step that ends a command's bar: its last poll, or the step before the next command.
size_t command_end(const Side& s, size_t k) {
    const CommandInfo& c = s.a.commands[k];
    if (c.polls) return c.last_poll;
    return c.step;
}

std::string wait_text(const CommandInfo& c) {
    if (!c.polls) return "no done-bit wait after it";
    if (c.gave_up())
        return strf("not done after %.1f ms: %u of %u polls saw it busy; the wait gave up", ms(c.wait_end - c.time),
                    c.busy, c.polls);
    if (c.unsettled) return strf("its last poll never settled (%u polls, %u busy)", c.polls, c.busy);
    return strf("done after %u poll%s, %u saw it busy, %.1f ms", c.polls, c.polls == 1 ? "" : "s", c.busy,
                ms(c.wait_end - c.time));
}

// Pins a rule's verdict to the command its finding names ("command 5").
long pinned_command(const RuleResult& r) {
    const std::string& f = r.finding;
    for (size_t at = f.find("command "); at != std::string::npos; at = f.find("command ", at + 1)) {
        size_t i = at + 8;
        long n = 0;
        bool digits = false;
        while (i < f.size() && f[i] >= '0' && f[i] <= '9' && n < 100000) {
            n = n * 10 + (f[i++] - '0');
            digits = true;
        }
        if (digits) return n;
    }
    return -1;
}

const char* verdict_word(Verdict v) {
    switch (v) {
    case Verdict::pass: return "pass";
    case Verdict::fail: return "fail";
    case Verdict::not_reached: return "not reached";
    case Verdict::not_applicable: return "n/a";
    }
    return "";
}

void draw_side(Canvas& cv, const Side& s, size_t strips, bool compared = false) {
    cv.reset_shelves();
    const auto& ev = s.r().events;
    const auto& steps = s.a.steps;
    const size_t n = steps.size();
    // Lane backgrounds and names, and the plotted area the self-check measures.
    for (size_t k = 0; k < strips; ++k) {
        std::string& o = cv.strips[k];
        bool alt = false;
        for (const LaneRow& row : s.lanes) {
            o += strf("<rect class=\"%s\" x=\"0\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>", alt ? "ln2" : "ln",
                      row.y, svg_w, row.h);
            o += strf("<text class=\"lname\" x=\"4\" y=\"%.1f\">%s</text>", row.y + row.h - 4, esc(row.name).c_str());
            alt = !alt;
        }
        o += strf("<rect class=\"plotarea chk\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>", X(0), s.y0,
                  plot_w, s.height);
    }
    // A capture that starts late: what came before is not captured.
    const Bringup& b = s.call->b;
    if (!b.starts_late.empty() && !compared)
        cv.strips[0] += strf(
            "<g class=\"nc chk\"><rect class=\"hatch\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/><text "
            "class=\"nctext\" x=\"%.1f\" y=\"%.1f\">not captured</text>%s</g>",
            X(0), s.y0, late_w - slot, s.height, X(2), s.y0 + s.height / 2, title(b.starts_late).c_str());
    // The axis: times where they change, bus-step numbers, breaks.
    const LaneRow* axis = s.lane(Lane::axis);
    const LaneRow* stepno = s.lane(Lane::steps);
    uint64_t last_t = ~uint64_t(0);
    for (size_t i = 0; i < n; ++i) {
        std::string& o = cv.strips[s.strip[i]];
        const uint64_t t = s.t(i);
        if (t != last_t) {
            const std::string lbl = ms_text(t);
            if (cv.axis_shelf[s.strip[i]]->take(s.x[i], text_w(lbl)) >= 0)
                o += strf(
                    "<text class=\"tick\" x=\"%.1f\" y=\"%.1f\">%s</text><rect class=\"tickmark\" x=\"%.1f\" "
                    "y=\"%.1f\" width=\"1\" height=\"4\"/>",
                    X(s.x[i]) - 2, axis->y + 10, lbl.c_str(), X(s.x[i]), axis->y + axis->h - 4);
            last_t = t;
        }
        if (s.bus_no[i] && (s.bus_no[i] == 1 || s.bus_no[i] % 10 == 0)) {
            const std::string lbl = strf("%zu", s.bus_no[i]);
            if (cv.step_shelf[s.strip[i]]->take(s.x[i], text_w(lbl)) >= 0)
                o += strf("<text class=\"stepno\" x=\"%.1f\" y=\"%.1f\">%s</text>", X(s.x[i]) - 2,
                          stepno->y + stepno->h - 3, lbl.c_str());
        }
    }
    // Breaks: the inside of long waits, and idle stretches.
    for (const Side::Band& band : s.bands) {
        const size_t i = band.from, e = band.to;
        if (s.strip[e] != s.strip[i]) continue;
        uint32_t count = 0;
        for (size_t k = i; k <= e; ++k) count += s.poll_of[k] >= 0;
        const double x0 = s.x[i] - slot / 2, x1 = s.x[e] + slot / 2;
        cv.strips[s.strip[i]] += strf(
            "<g class=\"brk\"><rect class=\"brkband\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>"
            "<text class=\"brktext\" x=\"%.1f\" y=\"%.1f\">%s ms</text>%s</g>",
            X(x0), axis->y, x1 - x0, s.height, X(x0), axis->y + 24, num(ms(s.t_end(e) - s.t(i))).c_str(),
            title(strf("axis compressed: %u polls of DRAM command %d over %.1f ms drawn in %.0f px", count,
                       s.a.commands[band.command].number, ms(s.t_end(e) - s.t(i)), x1 - x0))
                .c_str());
    }
    for (size_t i = 1; i < n; ++i) {
        const uint64_t dt = s.t(i) > s.t_end(i - 1) ? s.t(i) - s.t_end(i - 1) : 0;
        if (dt <= break_after || s.interior[i] > 0) continue;
        const double xb = s.x[i] - slot / 2 - break_w / 2 - 2;
        if (xb < 0 && s.strip[i] > 0) continue;
        cv.strips[s.strip[i]] += strf(
            "<g class=\"brk\"><path class=\"brkline\" d=\"M%.1f %.1fl4 4l-4 4l4 4M%.1f %.1fl4 4l-4 4l4 4\"/><text "
            "class=\"brktext\" x=\"%.1f\" y=\"%.1f\">%s ms</text>%s</g>",
            X(xb) - 3, axis->y + 2, X(xb) + 3, axis->y + 2, X(xb) - 10, axis->y + 24, num(ms(dt)).c_str(),
            title(strf("axis broken: %.1f ms without a bus step drawn in %.0f px", ms(dt), break_w)).c_str());
    }
    // DRAM commands with their duration, and CKE.
    const LaneRow* cmd = s.lane(Lane::cmd);
    const LaneRow* cke = s.lane(Lane::cke);
    int level = -1;
    size_t level_from = 0;
    auto cke_run = [&](size_t to, bool end) {
        if (level < 0) return;
        const double y = level ? cke->y + 3 : cke->y + cke->h - 4;
        const size_t last = end ? to : to;
        for (size_t k = s.strip[level_from]; k <= s.strip[last]; ++k) {
            const double a = k == s.strip[level_from] ? s.x[level_from] : 0;
            const double bx = k == s.strip[last] ? s.x[last] : plot_w;
            cv.strips[k] += strf("<rect class=\"cke%d\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"2\"/>", level,
                                 X(a), y, std::max(bx - a, 1.0));
        }
    };
    for (size_t k = 0; k < s.a.commands.size(); ++k) {
        const CommandInfo& c = s.a.commands[k];
        const size_t end = command_end(s, k);
        const bool bad = c.gave_up() || c.unsettled;
        const std::string tip =
            strf("%s\n%s\n%s", when(s, c.step).c_str(), command_text(c).c_str(), wait_text(c).c_str());
        bar(cv, s, c.step, end, cmd->y + 23, 7, bad ? "cmd bad" : "cmd", title(tip));
        const std::string lbl = strf("%d %s", c.number, short_name(c.cmd).c_str());
        const int shelf = cv.cmd_shelves[s.strip[c.step]]->take(s.x[c.step], text_w(lbl));
        if (shelf >= 0)
            cv.strips[s.strip[c.step]] += strf("<text class=\"cmdname\" x=\"%.1f\" y=\"%.1f\">%s</text>",
                                               X(s.x[c.step]) - slot / 2, cmd->y + 10 + 10 * shelf, esc(lbl).c_str());
        if (c.cmd.op != tov::sim::DramOp::closing && int(c.cmd.cke) != level) {
            cke_run(c.step, false);
            level = c.cmd.cke;
            level_from = c.step;
        }
    }
    if (level >= 0 && n) cke_run(n - 1, true);
    // Every step once, in its lane.
    const LaneRow* polls = s.lane(Lane::polls);
    const LaneRow* delays = s.lane(Lane::delays);
    const LaneRow* reads = s.lane(Lane::reads);
    const LaneRow* fb = s.lane(Lane::fb);
    const LaneRow* msgs = s.lane(Lane::msgs);
    // The inside of a long wait is one mark, its polls and their events
    // counted in it: a capture of a fast bus may hold a hundred thousand.
    for (const Side::Band& band : s.bands) {
        const CommandInfo& c = s.a.commands[band.command];
        uint32_t polled = 0, busy = 0, unsettled = 0;
        size_t s0 = 0, s1 = 0;
        for (size_t i = band.from; i <= band.to; ++i) {
            if (s.bus_no[i]) s1 = s.bus_no[i], s0 = s0 ? s0 : s.bus_no[i];
            if (s.poll_of[i] < 0) continue;
            ++polled;
            busy += steps[i].settled && !(steps[i].val & dram::status_done);
            unsettled += !steps[i].settled;
        }
        const std::string tip = strf(
            "%s to bus step %zu, %.3f to %.3f ms\n%u polls for DRAM command %d, drawn compressed: %u busy, %u "
            "done, %u never settled",
            when(s, band.from).c_str(), s1, ms(s.t(band.from)), ms(s.t_end(band.to)), polled, c.number, busy,
            polled - busy - unsettled, unsettled);
        bar(cv, s, band.from, band.to, polls->y + 2, polls->h - 4,
            unsettled ? "poll bad"
            : busy    ? "poll busy"
                      : "poll",
            title(tip),
            strf(" data-e=\"%zu\" data-n=\"%zu\" data-s0=\"%zu\" data-s1=\"%zu\" id=\"%ss%zu\"", steps[band.from].first,
                 steps[band.to].last - steps[band.from].first + 1, s0, s1, s.id.c_str(), s0));
    }
    std::map<uint32_t, uint32_t> written;  // the value last stored to each register
    for (size_t i = 0; i < n; ++i) {
        if (s.interior[i] > 0) continue;
        const Step& st = steps[i];
        const Event& e = ev[st.first];
        std::string& o = cv.strips[s.strip[i]];
        const double w = slot - 2;
        const double x = X(s.x[i]) - w / 2;
        const std::string attrs = step_attrs(s, i);
        auto tick = [&](const LaneRow* row, const char* cls, const std::string& tip) {
            o += strf("<rect class=\"%s\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"%s>%s</rect>", cls, x,
                      row->y + 2, w, row->h - 4, attrs.c_str(), title(tip).c_str());
        };
        const std::string head = when(s, i) + "\n";
        switch (st.kind) {
        case StepKind::store: {
            const CommandInfo* c = s.a.command_at(i);
            std::string tip = head + squeeze_text(step_text(st, ev)) + fields_text(st.off, st.val);
            if (c) tip += "\n" + command_text(*c);
            tick(s.lane(Lane::store, block_of(st.off)), c ? "st cmdst" : "st", tip);
            written[st.off] = st.val;
            break;
        }
        case StepKind::read:
        case StepKind::aux_read: {
            std::string tip = head + squeeze_text(step_text(st, ev));
            if (st.kind == StepKind::read) tip += fields_text(st.off, st.val);
            if (s.poll_of[i] >= 0) {
                const CommandInfo& c = s.a.commands[size_t(s.poll_of[i])];
                const bool busy = st.settled && !(st.val & dram::status_done);
                tip += strf("\npoll for DRAM command %d: %s", c.number,
                            !st.settled ? "never settled"
                            : busy      ? "busy"
                                        : "done");
                tick(polls, !st.settled ? "poll bad" : busy ? "poll busy" : "poll", tip);
                break;
            }
            const FbReadBack* f = nullptr;
            for (const FbReadBack& r : s.a.readbacks)
                if (r.step == i) f = &r;
            if (f && fb) {
                tip += f->written ? strf("\nframe-buffer test slot %u: expected 0x%08x, read 0x%08x%s", f->slot,
                                         f->expected, f->actual,
                                         f->ok() ? " (as written)"
                                                 : strf(", bits 0x%x differ", f->expected ^ f->actual).c_str())
                                  : strf("\nframe-buffer test slot %u read before it was written", f->slot);
                tick(fb, f->ok() ? "fbt" : "fbt bad", tip);
                break;
            }
            if (!st.settled) tip += "\nnever settled: no three loads agreed";
            // A register that reads back other than it was last written: its
            // read-only or self-clearing bits, or a bus that does not hold it.
            const auto w = written.find(st.off);
            const bool odd = st.kind == StepKind::read && st.settled && w != written.end() && w->second != st.val;
            if (odd)
                tip += strf("\nunexpected: the value last written was 0x%08x (bits 0x%x differ)", w->second,
                            w->second ^ st.val);
            tick(reads, !st.settled ? "rd bad" : odd ? "rd odd" : st.kind == StepKind::aux_read ? "rd aux" : "rd", tip);
            break;
        }
        case StepKind::other: {
            if (e.kind == EventKind::trace) {
                tick(msgs, "msg", head + "message: " + one_line(e.msg));
                break;
            }
            // A delay: from its slot to the next step's; the minimum drawn inside.
            const uint64_t next = i + 1 < n ? s.t(i + 1) : s.r().end_time - s.r().start_time;
            const uint64_t actual = next > s.t(i) ? next - s.t(i) : 0;
            const bool ticks = e.kind == EventKind::delay_ticks;
            const uint64_t minimum = uint64_t(e.val) * (ticks ? tov::tick_units : 10000);
            const std::string tip = head + strf("%s(%u): %.1f ms, at least %.1f ms", ticks ? "delay_ticks" : "delay_ms",
                                                e.val, ms(actual), ms(minimum));
            const size_t to = i + 1 < n ? i + 1 : i;
            bar(cv, s, i, to, delays->y + 2, delays->h - 4, actual < minimum ? "dl bad" : "dl", title(tip), attrs);
            const double full = (s.strip[to] == s.strip[i] ? s.x[to] - s.x[i] : plot_w - s.x[i]) + slot;
            const double part = actual ? full * std::min(1.0, double(minimum) / double(actual)) : 0;
            o += strf("<rect class=\"dlmin\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"3\"/>", X(s.x[i]) - slot / 2,
                      delays->y + delays->h - 5, std::max(part, 1.0));
            break;
        }
        }
    }
    // Rules, pinned to the commands they judge; those not reached at the stop.
    if (const LaneRow* rules = s.lane(Lane::rules)) {
        for (size_t k = 0; k < s.j.rules.size(); ++k) {
            const RuleResult& r = s.j.rules[k];
            long at = -1;
            const long cmdno = pinned_command(r);
            if (cmdno >= 1 && size_t(cmdno) <= s.a.commands.size()) at = long(s.a.commands[size_t(cmdno - 1)].step);
            if (r.verdict == Verdict::not_reached) at = long(std::min(s.fail_step, n - 1));
            if (at < 0) at = long(s.a.commands.front().step);
            const size_t i = size_t(at);
            const char* cls = r.verdict == Verdict::pass   ? "rule ok"
                              : r.verdict == Verdict::fail ? (r.expected ? "rule exp" : "rule bad")
                                                           : "rule nr";
            std::string lbl = strf("%s %s",
                                   r.verdict == Verdict::pass   ? "ok"
                                   : r.verdict == Verdict::fail ? "FAIL"
                                                                : "--",
                                   r.name);
            if (!r.measured.empty()) lbl += " " + r.measured;
            // Three rows of labelled marks; a mark without room for its label below them.
            int shelf = cv.rule_shelves[s.strip[i]]->take(s.x[i], text_w(lbl) + 8);
            const double y = rules->y + 2 + 11 * (shelf >= 0 ? shelf : 3);
            const std::string tip = strf("rule %s: %s%s\n%s", r.name, verdict_word(r.verdict),
                                         r.expected ? " (expected for this family)" : "", r.finding.c_str());
            cv.strips[s.strip[i]] +=
                strf("<g class=\"%s\" data-rule=\"%s\"><rect x=\"%.1f\" y=\"%.1f\" width=\"6\" height=\"9\"/>%s%s</g>",
                     cls, r.name, X(s.x[i]) - 3, y, title(tip).c_str(),
                     shelf >= 0
                         ? strf("<text x=\"%.1f\" y=\"%.1f\">%s</text>", X(s.x[i]) + 5, y + 8, esc(lbl).c_str()).c_str()
                         : "");
        }
    }
    // Where the call stopped, and what a cut capture does not hold.
    if (s.failed) {
        // At the step the cause names, or where the routine returned when it names none.
        const bool named = s.fail_step < n;
        const double x = named ? s.x[s.fail_step] : n ? std::min(s.x[n - 1] + slot, plot_w - 2) : slot;
        const size_t k = named ? s.strip[s.fail_step] : n ? s.strip[n - 1] : 0;
        const bool right = x > plot_w * 0.6;
        const std::string where =
            named ? "the call stopped here (" + when(s, s.fail_step) + ")"
                  : strf("the routine returned %d here (%.3f ms)", s.r().ret, ms(s.r().end_time - s.r().start_time));
        cv.strips[k] += strf(
            "<g class=\"fail\"><rect class=\"failmark chk\" x=\"%.1f\" y=\"%.1f\" width=\"3\" height=\"%.1f\"/>"
            "<text class=\"failtext\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\">%s</text>%s</g>",
            X(x) - 1.5, s.y0 + 1, s.height - 2, X(x) + (right ? -6 : 6), s.lane(Lane::cmd)->y + 6,
            right ? "end" : "start", esc("stopped: result " + std::to_string(s.r().ret)).c_str(),
            title(where + ": " + s.cause).c_str());
    }
    if (!b.ret_known && !compared) {
        const size_t k = n ? s.strip[n - 1] : 0;
        const double x0 = n ? s.x[n - 1] + slot : 0;
        const double w = std::max(plot_w - x0, 24.0);
        const double xa = std::min(x0, plot_w - w);
        cv.strips[k] += strf(
            "<g class=\"nc chk\"><rect class=\"hatch\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/><text "
            "class=\"nctext\" x=\"%.1f\" y=\"%.1f\">not captured</text>%s</g>",
            X(xa), s.y0, w, s.height, X(xa) + 4, s.y0 + s.height / 2, title(b.unknown).c_str());
    }
}

// ---- the page ----

const char* style_text = R"(body{font:13px/1.35 sans-serif;margin:14px;color:#222;background:#fff;max-width:1220px}
h1{font-size:19px;margin:0 0 6px}h2{font-size:16px;margin:18px 0 6px;border-top:2px solid #999;padding-top:8px}
h3{font-size:14px;margin:12px 0 4px}
table{border-collapse:collapse;margin:4px 0}td,th{border:1px solid #ccc;padding:2px 6px;text-align:left;vertical-align:top}
th{background:#f0f0f0;font-weight:600}.mono{font-family:monospace}
.res{font-weight:700;padding:1px 6px;border-radius:3px}.res-ok{background:#cfc;color:#050}
.res-fail{background:#d00;color:#fff}.res-unknown{background:#ddd;color:#333}
.banner{border:2px solid #d00;background:#fee;padding:4px 8px;margin:6px 0;font-weight:600}
.banner.unknown{border-color:#888;background:#eee}.banner.diff{border-color:#b0b;background:#fdf}
svg.strip{display:block;width:100%;height:auto;margin:2px 0 8px}
svg text{font-family:sans-serif;font-size:10px;fill:#333}
.ln{fill:#f6f6f6}.ln2{fill:#fff}.plotarea{fill:none;stroke:#bbb}.lname{font-weight:600;fill:#444}
.tick{fill:#555}.tickmark{fill:#888}.stepno{fill:#777}
.brkband{fill:#000;fill-opacity:.05}.brkline{stroke:#555;fill:none}.brktext{fill:#555;font-style:italic}
.cmd{fill:#bcd3f0;stroke:#36a}.cmd.bad{fill:#f99;stroke:#d00}.cmdname{fill:#124}
.cke0,.cke1{fill:#147}
.st{fill:#37a}.st.cmdst{fill:#135}.rd{fill:#3a6}.rd.aux{fill:#8a3}.rd.bad{fill:#e00}.rd.odd{fill:#f90}
.poll{fill:#6b6}.poll.busy{fill:#f90}.poll.bad{fill:#e00}
.fbt{fill:#3a6}.fbt.bad{fill:#e00}.msg{fill:#999}
.dl{fill:#e4dcf4;stroke:#86b}.dl.bad{fill:#f99}.dlmin{fill:#639}
.rule rect{stroke:#333;stroke-width:.5}.rule.ok rect{fill:#5b5}.rule.bad rect{fill:#e00}.rule.exp rect{fill:#e90}
.rule.nr rect{fill:#ccc}.rule.bad text{fill:#c00;font-weight:700}.rule.nr text{fill:#777}
.failmark{fill:#f0f}.failtext{fill:#d0d;font-weight:700;font-size:10px}
.hatch{fill:url(#tovhatch);stroke:#888}.nctext{fill:#555;font-weight:700}
.dchg{fill:#fe6;fill-opacity:.45}.donly{fill:#f88;fill-opacity:.35}.firstdiff{fill:#b0b}
.fdtext{fill:#b0b;font-weight:700;font-size:10px}
[id]:target{stroke:#f0f;stroke-width:2}
.bits span{font-family:monospace}.bits .x{background:#e00;color:#fff}
#selfcheck{white-space:pre;font-family:monospace}
footer{margin-top:16px;color:#666;font-size:11px}
@page{size:A4 landscape;margin:8mm}
@media print{body{margin:0;max-width:none;font-size:10px}svg.strip{break-inside:avoid}
section.call{break-before:page}section.call:first-of-type{break-before:auto}.noprint{display:none}})";

// The self-check, run when the page is opened with #selfcheck: every element
// marked for it laid out with a size and on the page, each failure marker
// inside its plotted area, no resource fetched, no error; the result is
// written into the page for a headless browser to dump.
const char* script_text = R"((function(){var errs=[];
window.addEventListener('error',function(e){errs.push('error: '+e.message)});
document.addEventListener('securitypolicyviolation',function(e){errs.push('blocked: '+e.violatedDirective+' '+e.blockedURI)});
if(location.hash!=='#selfcheck')return;
function box(el){var r=el.getBoundingClientRect();return{l:r.left+scrollX,t:r.top+scrollY,r:r.right+scrollX,b:r.bottom+scrollY,w:r.width,h:r.height}}
function name(el){return el.tagName+'.'+(el.getAttribute('class')||'')}
var out=[],bad=0,n=0,W=document.documentElement.scrollWidth,H=document.documentElement.scrollHeight;
document.querySelectorAll('.chk').forEach(function(el){n++;var b=box(el);
if(!(b.w>0&&b.h>0)){bad++;out.push('zero size: '+name(el))}
else if(b.l<-.5||b.t<-.5||b.r>W+.5||b.b>H+.5){bad++;out.push('off the page: '+name(el))}});
var fm=document.querySelectorAll('.failmark'),fin=0;
fm.forEach(function(el){var p=null,g=el.parentNode;var areas=el.ownerSVGElement.querySelectorAll('.plotarea');var b=box(el);
areas.forEach(function(a){var q=box(a);if(b.l>=q.l-.5&&b.r<=q.r+.5&&b.t>=q.t-.5&&b.b<=q.b+.5)p=a});if(p)fin++;else out.push('failure marker outside the plot')});
var res=performance.getEntriesByType('resource').length;
out.unshift('selfcheck: elements '+n+', bad '+bad+', failure markers '+fm.length+', inside '+fin+', steps '+document.querySelectorAll('[data-s]').length+', resources '+res+', errors '+errs.length);
errs.forEach(function(e){out.push(e)});
var s=document.getElementById('selfcheck');s.textContent=out.join('\n');s.setAttribute('data-ok',(bad===0&&fin===fm.length&&res===0&&errs.length===0)?'1':'0')})();)";

std::string result_text(const Bringup& b) {
    if (!b.ret_known) return "unknown";
    return strf("%d (%s)", b.r.ret, b.r.ret == 1 ? "memory up" : b.r.ret == 0 ? "failed" : "register access failed");
}

// The simulated chip's faults and the clock of a run, as its options say them.
std::string conditions(const RunOptions& o) {
    const tov::sim::ChipConfig& c = o.req.chip;
    std::string t;
    auto add = [&](const std::string& s) { t += (t.empty() ? "" : " ") + s; };
    for (const auto& [off, v] : c.presets) add(strf("--reg 0x%x=0x%x", off, v));
    if (c.cmd_latency) add(strf("--cmd-latency %u", c.cmd_latency));
    if (c.cmd_latency_us) add(strf("--cmd-latency-us %u", c.cmd_latency_us));
    if (c.cmd_stuck_at) add(strf("--cmd-stuck-at %u", c.cmd_stuck_at));
    for (uint32_t slot = 0; slot < 2; ++slot)
        if (c.fb_corrupt[slot]) add(strf("--fb-corrupt %u=0x%x", slot, c.fb_corrupt[slot]));
    for (uint32_t off : c.unstable) add(strf("--unstable 0x%x", off));
    if (o.aux_value_given) add(strf("--aux-value 0x%x", c.aux_value));
    if (o.req.no_aux) add("--no-aux");
    if (o.req.clock.period)
        add("--clock-period " + ms_text(o.req.clock.period) + " --clock-phase " + ms_text(o.req.clock.phase));
    for (const tov::sim::Preemption& p : o.req.clock.preempt)
        add(strf("--preempt %llu:%s", static_cast<unsigned long long>(p.after_reads), ms_text(p.units).c_str()));
    if (o.req.reg_base != tov::sim::Simulator::reg_base)
        add(strf("--reg-base 0x%llx", static_cast<unsigned long long>(o.req.reg_base)));
    return t;
}

std::string evidence(const ReportCall& c) {
    const Bringup& b = c.b;
    if (b.executed) {
        std::string s = b.r.from_image ? "kernel image " + b.opts.image + " in the emulator (" +
                                             (b.r.image.x64 ? "x64" : "x86") + ")"
                                       : std::string("simulated chip, host build of the library");
        if (!b.opts.caller.empty()) s += ", through the capture driver " + b.opts.caller;
        const std::string faults = conditions(b.opts);
        return s + "; " + b.source + (faults.empty() ? "" : "; with " + faults);
    }
    std::string s = (b.from_log ? "captured log " : "JSON-lines trace ") + b.source;
    if (c.call) s += strf(", call %zu", c.call);
    return s;
}

std::string field_or(uint32_t v, const char* unit = "") {
    return v == tov::sim::fill_word ? std::string("not written") : strf("%u%s", v, unit);
}

// The record is known from the call's entry or its result line; a capture
// that starts late and ends early holds neither.
bool record_known(const Bringup& b) { return b.ret_known || b.starts_late.empty(); }

std::string call_title(const Bringup& b) {
    if (!record_known(b)) return "configuration unknown";
    return strf("config 0x%x, clock_index %s", b.r.record.config_id, clock_text(b.r.record.clock_index).c_str());
}

std::string header_table(const Side& s) {
    const Bringup& b = s.call->b;
    const tov::sim::RunResult& r = b.r;
    const tov::MemInitParams& p = r.record;
    std::string o = "<table class=\"hdr chk\">";
    auto row = [&](const char* k, const std::string& v, bool raw = false) {
        o += strf("<tr><th>%s</th><td>%s</td></tr>", k, raw ? v.c_str() : esc(v).c_str());
    };
    if (record_known(b)) {
        row("configuration ID", strf("0x%x", p.config_id));
        row("routine", routine_of(p.config_id));
        std::string clock = clock_text(p.clock_index);
        if (b.executed && b.opts.req.clock_index != p.clock_index)
            clock = clock_text(b.opts.req.clock_index) + " given, " + clock + " after dispatch";
        row("clock_index", clock);
        row("power_mode", strf("%u", p.power_mode));
    } else {
        for (const char* k : {"configuration ID", "routine", "clock_index", "power_mode"})
            row(k, "unknown: the capture holds neither the record on entry nor the result");
    }
    const char* cls = !b.ret_known ? "res-unknown" : r.ret == 1 ? "res-ok" : "res-fail";
    row("result", strf("<span class=\"res %s\">%s</span>", cls, esc(result_text(b)).c_str()), true);
    if (!b.ret_known)
        row("cause", "unknown: " + b.unknown);
    else if (!s.cause.empty())
        row("cause", s.cause);
    if (!s.j.stop.empty()) row("stopped at", s.j.stop);
    row("call length",
        strf("%.3f ms of virtual time, %zu bus steps, %zu DRAM commands, %zu delays, %zu messages",
             ms(r.end_time - r.start_time), s.bus.size(), s.a.commands.size(), s.a.delays, s.a.messages));
    if (b.ret_known)
        row("record",
            "memory clock " + field_or(p.mem_clock_khz, " kHz") + ", size " +
                (p.mem_size_out == tov::sim::fill_word ? std::string("not written") : size_text(p.mem_size_out)) +
                ", map value " + field_or(p.map_value));
    row("evidence", evidence(*s.call));
    if (r.from_image)
        row("kernel image",
            strf("%u stack bytes, %llu %s instructions", r.image.stack_bytes,
                 static_cast<unsigned long long>(r.image.instructions), r.image.x64 ? "x64" : "x86") +
                (r.image.through_caller ? strf("; capture driver status 0x%08x", r.image.caller_status) : ""));
    row("tool", "tovmem " TOVMEM_VERSION_STRING);
    return o + "</table>";
}

std::string bits_html(uint32_t expected, uint32_t actual) {
    std::string o = "<span class=\"bits\">";
    for (int i = 31; i >= 0; --i) {
        const bool differ = ((expected ^ actual) >> i) & 1;
        o += strf("<span%s>%u</span>", differ ? " class=\"x\"" : "", (actual >> i) & 1);
        if (i % 8 == 0 && i) o += " ";
    }
    return o + "</span>";
}

std::string tables(const Side& s) {
    std::string o;
    // The frame-buffer test.
    if (!s.a.readbacks.empty()) {
        o += "<h3>Frame-buffer test</h3><table><tr><th>bus "
             "step</th><th>slot</th><th>expected</th><th>read</th><th>read, "
             "bit by bit (differing bits marked)</th></tr>";
        for (const FbReadBack& f : s.a.readbacks)
            o += strf(
                "<tr><td><a href=\"#%ss%zu\">%zu</a></td><td>%u</td><td class=\"mono\">%s</td><td "
                "class=\"mono\">0x%08x</td><td>%s</td></tr>",
                s.id.c_str(), s.bus_no[f.step], s.bus_no[f.step], f.slot,
                f.written ? strf("0x%08x", f.expected).c_str() : "not written", f.actual,
                f.written ? bits_html(f.expected, f.actual).c_str() : "");
        o += "</table>";
    }
    // The rules.
    if (!s.a.commands.empty() && s.j.rules.empty())
        o += "<p>No power-up list: only the closing command was sent; the rules are not about it.</p>";
    if (!s.j.rules.empty()) {
        o += strf(
            "<h3>Rules (check), counts read at %s</h3><table><tr><th>rule</th><th>verdict</th><th>at "
            "command</th><th>finding</th></tr>",
            s.j.khz ? strf("%u kHz", s.j.khz).c_str() : "an unknown clock");
        for (size_t k = 0; k < s.j.rules.size(); ++k) {
            const RuleResult& r = s.j.rules[k];
            const long c = pinned_command(r);
            std::string at = "-";
            if (c >= 1 && size_t(c) <= s.a.commands.size()) {
                const size_t bn = s.bus_no[s.a.commands[size_t(c - 1)].step];
                at = strf("<a href=\"#%ss%zu\">%ld (bus step %zu)</a>", s.id.c_str(), bn, c, bn);
            }
            o += strf("<tr><td class=\"mono\">%s</td><td>%s%s</td><td>%s</td><td>%s</td></tr>", r.name,
                      verdict_word(r.verdict), r.expected ? " (expected for this family)" : "", at.c_str(),
                      esc(r.finding).c_str());
        }
        o += "</table>";
    }
    // The DRAM commands.
    if (!s.a.commands.empty()) {
        o +=
            "<h3>DRAM commands</h3><table><tr><th>#</th><th>bus step</th><th>ms</th><th>command</th><th>wait</th></tr>";
        for (const CommandInfo& c : s.a.commands)
            o += strf("<tr><td>%d</td><td><a href=\"#%ss%zu\">%zu</a></td><td>%.3f</td><td>%s</td><td>%s</td></tr>",
                      c.number, s.id.c_str(), s.bus_no[c.step], s.bus_no[c.step], ms(c.time - s.r().start_time),
                      esc(describe(c.cmd) + strf(" (word 0x%x)", c.cmd.word)).c_str(), esc(wait_text(c)).c_str());
        o += "</table>";
    }
    const std::vector<std::string> notes = notes_of(s.call->b, s.a);
    if (!notes.empty()) {
        o += "<h3>Notes</h3><ul>";
        for (const std::string& n : notes) o += "<li>" + esc(n) + "</li>";
        o += "</ul>";
    }
    return o;
}

std::string page_head(const std::string& title) {
    const std::string csp = "default-src 'none'; style-src 'sha256-" + sha256_base64(report_style()) +
                            "'; script-src 'sha256-" + sha256_base64(report_script()) + "'";
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<meta "
           "http-equiv=\"Content-Security-Policy\" "
           "content=\"" +
           csp + "\">\n<meta name=\"viewport\" content=\"width=device-width\">\n<title>" + esc(title) +
           "</title>\n<style>" + report_style() +
           "</style></head>\n<body>\n<svg width=\"0\" height=\"0\" aria-hidden=\"true\"><defs><pattern id=\"tovhatch\" "
           "width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" patternTransform=\"rotate(45)\"><rect width=\"6\" "
           "height=\"6\" fill=\"#f4f4f4\"/><rect width=\"2\" height=\"6\" fill=\"#bbb\"/></pattern></defs></svg>\n";
}

std::string page_tail() {
    return "<p id=\"selfcheck\" class=\"noprint\"></p>\n<footer>written by tovmem " TOVMEM_VERSION_STRING
           "; a step's details show on hover; #s12 in the address finds bus step 12</footer>\n<script>" +
           report_script() + "</script>\n</body></html>\n";
}

std::string legend() {
    return "<p class=\"noprint\">Each step has a slot of its own; the time between clock readings is drawn at "
           "10 px per ms, idle stretches over 4 ms and the inside of long done-bit waits are broken (zigzag, or a "
           "shaded band) and labelled with the time they take. Hover a mark for its step; the bus-step numbers "
           "are those check and diff print.</p>\n";
}

std::string strips_html(const Canvas& cv, double height, const std::string& label) {
    std::string o;
    for (size_t k = 0; k < cv.strips.size(); ++k)
        o += strf(
                 "<svg class=\"strip chk\" viewBox=\"0 0 %.0f %.0f\" width=\"%.0f\" height=\"%.0f\" role=\"img\" "
                 "aria-label=\"%s, strip %zu of %zu\">",
                 svg_w, height, svg_w, height, esc(label).c_str(), k + 1, cv.strips.size()) +
             cv.strips[k] + "</svg>\n";
    return o;
}

std::string banner(const Side& s) {
    const Bringup& b = s.call->b;
    if (!b.ret_known)
        return "<div class=\"banner unknown chk\">Result unknown: " + esc(b.unknown) +
               ". What the capture does not hold is drawn as not captured.</div>\n";
    if (s.failed)
        return "<div class=\"banner chk\">The call failed (result " + std::to_string(b.r.ret) + "): " + esc(s.cause) +
               (s.j.stop.empty() ? "" : ". It stopped at " + esc(s.j.stop)) + ".</div>\n";
    return "";
}

std::string section(const ReportCall& c, size_t index, bool several) {
    Side s;
    const std::string id = several ? strf("c%zu-", index) : std::string();
    prepare(s, c, id, "");
    lay_lanes(s, 4);
    std::vector<Column> cols;
    for (size_t i = 0; i < s.a.steps.size(); ++i) cols.push_back({{{long(i), -1}}});
    const Axis ax = place(std::move(cols), {&s}, !c.b.starts_late.empty());
    Canvas cv(ax.strips);
    draw_side(cv, s, ax.strips);
    const std::string title = call_title(c.b);
    std::string o = strf("<section class=\"call\" id=\"%scall\"><h2>%s%s</h2>\n", id.c_str(),
                         several ? strf("Call %zu: ", c.call).c_str() : "", esc(title).c_str());
    o += header_table(s) + "\n" + banner(s) + legend();
    o += "<div data-side=\"\">" + strips_html(cv, s.y0 + s.height + 4, title) + "</div>";
    return o + tables(s) + "</section>\n";
}

std::string page_of(const std::vector<ReportCall>& calls, const std::string& more) {
    const bool several = calls.size() > 1;
    std::string title = "tovmem report";
    if (calls.size() == 1) title += ": " + call_title(calls[0].b);
    std::string o = page_head(title);
    o += "<h1>" + esc(title) + "</h1>\n";
    if (several) {
        o += strf("<p>%s holds %zu calls of tov_mem_init, each in its own section:</p><ul>",
                  esc(calls[0].b.source).c_str(), calls.size());
        for (size_t k = 0; k < calls.size(); ++k)
            o += strf("<li><a href=\"#c%zu-call\">call %zu</a>: %s, result %s</li>", k + 1, calls[k].call,
                      esc(call_title(calls[k].b)).c_str(), esc(result_text(calls[k].b)).c_str());
        o += "</ul>\n";
    }
    if (!more.empty()) o += "<p>" + esc(more) + "</p>\n";
    for (size_t k = 0; k < calls.size(); ++k) o += section(calls[k], k + 1, several);
    return o + page_tail();
}

std::string comparison_page(const ReportCall& ca, const ReportCall& cb) {
    const Comparison cmp = compare_bringups(ca.b, cb.b);
    Side a, b;
    prepare(a, ca, "a-", "A");
    prepare(b, cb, "b-", "B");
    lay_lanes(a, 4);
    lay_lanes(b, a.y0 + a.height + 14);
    // Columns: the aligned bus steps, each side's other steps (delays,
    // messages) in columns of their own before the bus step they precede.
    std::vector<Column> cols;
    size_t next_a = 0, next_b = 0;
    auto others = [&](size_t& next, size_t upto, size_t side) {
        for (; next < upto; ++next) {
            Column c;
            c.step[side] = long(next);
            cols.push_back(c);
        }
    };
    std::vector<ComparedStep::Kind> kinds;
    for (const ComparedStep& r : cmp.steps) {
        Column c;
        if (r.a >= 0) {
            others(next_a, a.bus[size_t(r.a)], 0);
            c.step[0] = long(a.bus[size_t(r.a)]);
            next_a = size_t(c.step[0]) + 1;
        }
        if (r.b >= 0) {
            others(next_b, b.bus[size_t(r.b)], 1);
            c.step[1] = long(b.bus[size_t(r.b)]);
            next_b = size_t(c.step[1]) + 1;
        }
        while (kinds.size() < cols.size()) kinds.push_back(ComparedStep::alike);
        cols.push_back(c);
        kinds.push_back(r.kind);
    }
    others(next_a, a.a.steps.size(), 0);
    others(next_b, b.a.steps.size(), 1);
    while (kinds.size() < cols.size()) kinds.push_back(ComparedStep::alike);
    const Axis ax = place(cols, {&a, &b}, !ca.b.starts_late.empty() || !cb.b.starts_late.empty());
    Canvas cv(ax.strips);
    draw_side(cv, a, ax.strips, true);
    draw_side(cv, b, ax.strips, true);
    // Differences over the lanes, the marks showing through: a changed step
    // shaded yellow, a step only one side has red, what a partial capture does not hold hatched.
    const double top = a.y0, bottom = b.y0 + b.height;
    for (size_t k = 0; k < ax.cols.size(); ++k) {
        const Column& c = ax.cols[k];
        const ComparedStep::Kind kind = kinds[k];
        std::string& o = cv.strips[c.strip];
        const double x = X(c.x) - slot / 2;
        if (kind == ComparedStep::changed || kind == ComparedStep::only_a || kind == ComparedStep::only_b)
            o += strf("<rect class=\"%s\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>",
                      kind == ComparedStep::changed ? "dchg" : "donly", x, top, slot, bottom - top);
    }
    // What one side's capture does not hold: runs of the other side's steps
    // outside it, hatched from the first to the last, strip by strip.
    for (size_t side = 0; side < 2; ++side) {
        const Side& s = side == 0 ? a : b;
        const ComparedStep::Kind outside = side == 0 ? ComparedStep::outside_a : ComparedStep::outside_b;
        for (size_t k = 0; k < ax.cols.size();) {
            if (kinds[k] != outside) {
                ++k;
                continue;
            }
            size_t last = k, e = k;
            for (; e < ax.cols.size() && ax.cols[e].step[side] < 0; ++e)
                if (kinds[e] == outside) last = e;
            const Column& c0 = ax.cols[k];
            const Column& c1 = ax.cols[last];
            for (size_t st = c0.strip; st <= c1.strip; ++st) {
                const double x0 = st == c0.strip ? c0.x - slot / 2 : 0;
                const double x1 = st == c1.strip ? c1.x + slot / 2 : plot_w;
                cv.strips[st] += strf(
                    "<g class=\"nc%s\"><rect class=\"hatch\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" "
                    "height=\"%.1f\"/>%s%s</g>",
                    st == c0.strip ? " chk" : "", X(x0), s.y0, x1 - x0, s.height,
                    x1 - x0 > 80 ? strf("<text class=\"nctext\" x=\"%.1f\" y=\"%.1f\">not captured</text>", X(x0) + 4,
                                        s.y0 + s.height / 2)
                                       .c_str()
                                 : "",
                    title(s.name + ": not captured (" +
                          (s.call->b.ret_known ? "before the capture starts" : "after the capture ends") +
                          "), not compared")
                        .c_str());
            }
            k = last + 1;
        }
    }
    // The first difference.
    std::string first;
    if (cmp.first_difference) {
        long col = -1;
        for (size_t k = 0; k < ax.cols.size() && col < 0; ++k) {
            const Column& c = ax.cols[k];
            if ((cmp.first_a >= 0 && c.step[0] == long(a.bus[size_t(cmp.first_a)])) ||
                (cmp.first_b >= 0 && c.step[1] == long(b.bus[size_t(cmp.first_b)])))
                col = long(k);
        }
        if (col < 0 && !ax.cols.empty()) col = long(ax.cols.size() - 1);
        auto text = [](const Side& s, long i) {
            return i >= 0 ? squeeze_text(step_text(s.a.steps[s.bus[size_t(i)]], s.r().events))
                          : std::string("nothing more");
        };
        first = strf("first difference at bus step %zu: A %s, B %s", cmp.first_difference, text(a, cmp.first_a).c_str(),
                     text(b, cmp.first_b).c_str());
        if (col >= 0) {
            const Column& c = ax.cols[size_t(col)];
            const bool right = c.x > plot_w * 0.6;
            cv.strips[c.strip] += strf(
                "<g><rect class=\"firstdiff chk\" x=\"%.1f\" y=\"%.1f\" width=\"2\" height=\"%.1f\"/><text "
                "class=\"fdtext\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\">first difference: bus step %zu</text>%s</g>",
                X(c.x) - 1, top, bottom - top, X(c.x) + (right ? -5 : 5), b.y0 - 3, right ? "end" : "start",
                cmp.first_difference, title(first).c_str());
        }
    }
    const std::string title = "tovmem report: comparison";
    std::string o = page_head(title) + "<h1>Comparison of two bring-ups</h1>\n";
    const std::string verdict =
        strf("%s: %zu steps alike, %zu only in A, %zu only in B, %zu stores and %zu reads with other values%s",
             !cmp.same     ? "different"
             : cmp.partial ? "no difference in the steps both captures hold"
                           : "identical",
             cmp.alike, cmp.only_a, cmp.only_b, cmp.stores, cmp.reads,
             !cmp.same_result    ? "; the results differ"
             : cmp.results_known ? ""
                                 : "; a result is unknown, so not compared");
    o += "<div class=\"banner diff chk\">" + esc(verdict) + (first.empty() ? "" : "<br>" + esc(first)) + "</div>\n";
    const auto paragraph = [&o](const std::string& text) { o += "<p>" + esc(text) + "</p>\n"; };
    if (cmp.beyond_a || cmp.beyond_b)
        paragraph(
            strf("%zu bus steps of B lie outside A's capture and %zu of A outside B's: drawn hatched, as not "
                 "captured, and not compared.",
                 cmp.beyond_a, cmp.beyond_b));
    if (cmp.gave_up_a || cmp.gave_up_b)
        paragraph(
            strf("The traces differ too widely to align in bounded time: %zu steps of A and %zu of B are shown "
                 "as only in A and only in B.",
                 cmp.gave_up_a, cmp.gave_up_b));
    o += "<table class=\"sides\"><tr><th>A</th><th>B</th></tr><tr><td>" + header_table(a) + banner(a) + "</td><td>" +
         header_table(b) + banner(b) + "</td></tr></table>\n";
    o += legend() +
         "<p class=\"noprint\">A above B, aligned as diff aligns them: a step changed is shaded yellow, a step only "
         "one side has red; the magenta line is the first difference.</p>\n";
    o += "<div data-side=\"ab\">" + strips_html(cv, bottom + 4, "comparison") + "</div>\n";
    o += "<section class=\"side\" data-side=\"a\"><h2>A</h2>" + tables(a) + "</section>\n";
    o += "<section class=\"side\" data-side=\"b\"><h2>B</h2>" + tables(b) + "</section>\n";
    return o + page_tail();
}

}  // namespace
}  // namespace report_page

const std::string& report_style() {
    static const std::string s = report_page::style_text;
    return s;
}

const std::string& report_script() {
    static const std::string s = report_page::script_text;
    return s;
}

std::string report_html(const std::vector<ReportCall>& calls, const std::string& more) {
    return report_page::page_of(calls, more);
}

std::string comparison_html(const ReportCall& a, const ReportCall& b) { return report_page::comparison_page(a, b); }

// ---- SHA-256, for the page's content policy ----

std::string sha256_base64(const std::string& bytes) {
    static constexpr uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
        0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
        0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
        0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
        0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
        0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
    uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::string m = bytes;
    const uint64_t bits = uint64_t(bytes.size()) * 8;
    m.push_back(char(0x80));
    while (m.size() % 64 != 56) m.push_back('\0');
    for (int i = 7; i >= 0; --i) m.push_back(char((bits >> (8 * i)) & 0xff));
    auto rotr = [](uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
    for (size_t at = 0; at < m.size(); at += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(uint8_t(m[at + 4 * i])) << 24 | uint32_t(uint8_t(m[at + 4 * i + 1])) << 16 |
                   uint32_t(uint8_t(m[at + 4 * i + 2])) << 8 | uint32_t(uint8_t(m[at + 4 * i + 3]));
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t v[8];
        std::copy(h, h + 8, v);
        for (int i = 0; i < 64; ++i) {
            const uint32_t S1 = rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25);
            const uint32_t ch = (v[4] & v[5]) ^ (~v[4] & v[6]);
            const uint32_t t1 = v[7] + S1 + ch + k[i] + w[i];
            const uint32_t S0 = rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22);
            const uint32_t maj = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
            const uint32_t t2 = S0 + maj;
            v[7] = v[6];
            v[6] = v[5];
            v[5] = v[4];
            v[4] = v[3] + t1;
            v[3] = v[2];
            v[2] = v[1];
            v[1] = v[0];
            v[0] = t1 + t2;
        }
        for (int i = 0; i < 8; ++i) h[i] += v[i];
    }
    uint8_t d[32];
    for (int i = 0; i < 8; ++i)
        for (int b = 0; b < 4; ++b) d[4 * i + b] = uint8_t(h[i] >> (24 - 8 * b));
    static constexpr char b64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string o;
    for (size_t i = 0; i < 32; i += 3) {
        const uint32_t n =
            uint32_t(d[i]) << 16 | (i + 1 < 32 ? uint32_t(d[i + 1]) << 8 : 0) | (i + 2 < 32 ? d[i + 2] : 0);
        o += b64[(n >> 18) & 63];
        o += b64[(n >> 12) & 63];
        o += i + 1 < 32 ? b64[(n >> 6) & 63] : '=';
        o += i + 2 < 32 ? b64[n & 63] : '=';
    }
    return o;
}

// ---- the command ----

Command add_report(CLI::App& app) {
    struct State {
        RunArgs args;
        std::vector<std::string> traces, calls;
    };
    auto st = std::make_shared<State>();
    CLI::App* cmd = app.add_subcommand("report", "write a bring-up as one self-contained HTML page");
    cmd->footer(
        "Draws a run (--config, --clock and every run option), a JSON-lines trace or captured log (TRACE; a log of\n"
        "several calls gives each call its own section unless --call chooses one), or two of them one above the\n"
        "other, aligned as diff aligns them (TRACE_A TRACE_B, or a run and a TRACE: the run is B). The page needs\n"
        "no network: its style and script are inline, allowed by their digests. Opened with #selfcheck at the end\n"
        "of its address, it checks its own layout and writes the result into the page. Exit status: 0 when the\n"
        "page is written, 2 on bad arguments or an unreadable file.");
    add_run_options(*cmd, st->args, false);
    cmd->add_option("TRACE", st->traces, "one or two JSON-lines traces or captured logs (- for standard input)");
    cmd->add_option("--call", st->calls,
                    "the call of a log of several to draw (from 1); with two files, the call of A, then of B")
        ->type_name("N")
        ->allow_extra_args(false);
    return {cmd, [st] {
                const std::vector<std::string> given = st->args.given();
                const bool run = !given.empty();
                if (run && (st->args.config.empty() || st->args.clock.empty()))
                    usage_fail("report of a run needs both --config ID and --clock N");
                const size_t sources = st->traces.size() + (run ? 1 : 0);
                if (sources == 0) usage_fail("report needs --config ID --clock N, a trace file, or two of them");
                if (sources > 2)
                    usage_fail("report draws one bring-up or compares two, not " + std::to_string(sources));
                if (st->traces.size() == 2 && st->traces[0] == "-" && st->traces[1] == "-")
                    usage_fail("report reads one trace from standard input ('-'), not both");
                if (st->calls.size() > st->traces.size())
                    usage_fail("--call chooses a call of a trace file or log, once per file");
                auto call_of = [&](size_t k) { return k < st->calls.size() ? CallOption{st->calls[k]}.value() : 0; };
                if (sources == 2) {
                    ReportCall a, b;
                    if (run) {
                        a = {read_trace_file(st->traces[0], call_of(0)), call_of(0)};
                        b = {run_bringup(resolve(st->args)), 0};
                    } else {
                        a = {read_trace_file(st->traces[0], call_of(0)), call_of(0)};
                        b = {read_trace_file(st->traces[1], call_of(1)), call_of(1)};
                    }
                    out("%s", comparison_html(a, b).c_str());
                    return exit_ok;
                }
                if (run) {
                    out("%s", report_html({{run_bringup(resolve(st->args)), 0}}).c_str());
                    return exit_ok;
                }
                const std::string& path = st->traces[0];
                if (!st->calls.empty()) {
                    out("%s", report_html({{read_trace_file(path, call_of(0)), call_of(0)}}).c_str());
                    return exit_ok;
                }
                // Every call of a log of several, each in its own section, up to a bound.
                constexpr size_t max_calls = 16;
                std::vector<ReportCall> calls;
                try {
                    calls.push_back({read_trace_file(path), 0});
                } catch (const UsageError& e) {
                    if (!e.block || path == "-") throw;
                    for (size_t k = 1; k <= max_calls + 1; ++k) {
                        try {
                            Bringup b = read_trace_file(path, k);
                            if (k > max_calls) break;
                            calls.push_back({std::move(b), k});
                        } catch (const UsageError& beyond) {
                            // Past the last call; any other refusal stands.
                            if (k == 1 || beyond.msg.find("but the log holds") == std::string::npos) throw;
                            break;
                        }
                    }
                    std::string more;
                    if (calls.size() == max_calls)
                        more = strf("The log may hold more calls: the first %zu are drawn; --call N draws any one.",
                                    max_calls);
                    out("%s", report_html(calls, more).c_str());
                    return exit_ok;
                }
                out("%s", report_html(calls).c_str());
                return exit_ok;
            }};
}

}  // namespace tovmem
