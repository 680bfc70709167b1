// SPDX-License-Identifier: Apache-2.0
#include "tools/tovmem/analysis.h"

#include <algorithm>
#include <map>
#include <set>

#include "meminit/hw/access.h"
#include "meminit/hw/dram.h"
#include "meminit/hw/regs.h"
#include "sim/invariants.h"

namespace tovmem {

using tov::sim::Event;
using tov::sim::EventKind;
namespace reg = tov::reg;
namespace dram = tov::dram;

namespace {

// Splits a run of loads of one register [i, end) into the stable reads that
// made it, by the library's own rule.
void split_reads(const std::vector<Event>& ev, size_t i, size_t end, std::vector<Step>& out) {
    while (i < end) {
        tov::sim::StableRead read(ev[i].off);
        for (size_t k = i; k < end && !read.take(ev[k].val); ++k) {}
        const tov::sim::ReplayedRead r = read.result();
        Step s;
        s.kind = StepKind::read;
        s.off = ev[i].off;
        s.first = i;
        s.loads = r.loads;
        s.last = i + r.loads - 1;
        s.settled = r.settled;
        s.val = r.value;
        out.push_back(s);
        i = s.last + 1;
    }
}

}  // namespace

std::vector<Step> steps_of(const std::vector<Event>& ev) {
    std::vector<Step> out;
    int commands = 0;
    for (size_t i = 0; i < ev.size(); ++i) {
        const Event& e = ev[i];
        if (e.kind == EventKind::load) {
            size_t j = i;
            while (j + 1 < ev.size() && ev[j + 1].kind == EventKind::load && ev[j + 1].off == e.off) ++j;
            split_reads(ev, i, j + 1, out);
            i = j;
            continue;
        }
        Step s;
        s.first = s.last = i;
        s.off = e.off;
        s.val = e.val;
        if (e.kind == EventKind::store) {
            s.kind = StepKind::store;
            if (tov::sim::starts_command(e)) s.command = ++commands;
        } else if (e.kind == EventKind::aux_load) {
            s.kind = StepKind::aux_read;
            s.loads = 1;
        }
        out.push_back(s);
    }
    return out;
}

const CommandInfo* Analysis::command_at(size_t step) const {
    // The commands are found in step order: a binary search.
    const auto it = std::lower_bound(commands.begin(), commands.end(), step,
                                     [](const CommandInfo& c, size_t s) { return c.step < s; });
    return it != commands.end() && it->step == step ? &*it : nullptr;
}

std::string loads_text(uint32_t n) { return strf("%u load%s", n, n == 1 ? "" : "s"); }

std::string step_text(const Step& s, const std::vector<tov::sim::Event>& events) {
    switch (s.kind) {
    case StepKind::store: return strf("write  %s := 0x%08x", reg_label(s.off).c_str(), s.val);
    case StepKind::read:
        if (s.settled)
            return strf("read   %s  = 0x%08x  (%s)", reg_label(s.off).c_str(), s.val, loads_text(s.loads).c_str());
        return strf("read   %s  never settled: %s without three agreeing, last 0x%08x", reg_label(s.off).c_str(),
                    loads_text(s.loads).c_str(), events[s.last].val);
    case StepKind::aux_read: return strf("read   %-20s = 0x%08x  (aux_base)", "AUX", s.val);
    case StepKind::other: break;
    }
    return {};
}

std::string command_text(const CommandInfo& c) {
    return strf("DRAM command %d: %s (word 0x%x)", c.number, describe(c.cmd).c_str(), c.cmd.word);
}

Analysis analyse(const tov::sim::RunResult& r) {
    Analysis a;
    const auto& ev = r.events;
    a.steps = steps_of(ev);
    for (const Event& e : ev) {
        a.loads += e.kind == EventKind::load || e.kind == EventKind::aux_load;
        a.stores += e.kind == EventKind::store;
        a.delays += e.kind == EventKind::delay_ticks || e.kind == EventKind::delay_ms;
        a.messages += e.kind == EventKind::trace;
    }
    uint32_t word = 0, data = 0;
    uint32_t written[2] = {0, 0};
    bool slot_written[2] = {false, false};
    int pending_slot = -1;
    CommandInfo* open = nullptr;  // command whose completion reads are being collected
    for (size_t i = 0; i < a.steps.size(); ++i) {
        const Step& s = a.steps[i];
        if (s.kind == StepKind::read && !s.settled) a.unsettled.push_back(i);
        if (s.kind == StepKind::store) {
            open = nullptr;
            if (s.off == reg::DRC_CMD_WORD) word = s.val;
            if (s.off == reg::DRC_TEST_DATA) data = s.val;
            if (s.off == reg::DRC_TEST_CTRL) {
                const uint32_t slot = (s.val >> 4) & 1;
                if (s.val & 4) {
                    written[slot] = data;
                    slot_written[slot] = true;
                    pending_slot = -1;
                } else {
                    pending_slot = static_cast<int>(slot);
                }
            }
            if (s.command) {
                CommandInfo c;
                c.number = s.command;
                c.step = i;
                c.cmd = tov::sim::decode_command(s.val, word);
                c.time = ev[s.first].time;
                a.commands.push_back(c);
                open = &a.commands.back();
            }
        } else if (s.kind == StepKind::read) {
            if (s.off == reg::DRC_CMD_STATUS && open) {
                ++open->polls;
                open->poll_loads += s.loads;
                open->last_poll = i;
                open->wait_end = ev[s.last].time;
                open->unsettled = !s.settled;
                open->done = s.settled && (s.val & dram::status_done);
                open->busy += s.settled && !(s.val & dram::status_done);
            } else {
                open = nullptr;
            }
            if (s.off == reg::DRC_TEST_DATA && pending_slot >= 0) {
                FbReadBack f;
                f.step = i;
                f.slot = static_cast<uint32_t>(pending_slot);
                f.expected = written[f.slot];
                f.written = slot_written[f.slot];
                f.actual = s.val;
                a.readbacks.push_back(f);
                pending_slot = -1;
            }
        } else if (s.kind == StepKind::aux_read) {
            open = nullptr;
        }
    }
    return a;
}

std::string routine_of(uint32_t config_id) {
    const tov::Family f = tov::classify(config_id);
    const tov::ConfigTable t = tov::family_table(f);
    bool matched = false;
    const tov::ConfigEntry* row = tov::lookup(t, config_id, &matched);
    if (!row) return "no routine (outside the three families)";
    return strf("%s (%s row %u%s)", tov::routine_name(row->routine), t.name, static_cast<unsigned>(row - t.rows),
                matched ? "" : ", default");
}

namespace {

bool touches_bus(const tov::sim::RunResult& x) {
    for (const Event& e : x.events)
        if (e.kind == EventKind::store || e.kind == EventKind::load || e.kind == EventKind::aux_load) return true;
    return false;
}

// The clocks an ID's routine serves, as the library itself answers for
// clock_index 0 to 13 (after dispatch, as the routine sees them). Kept per
// ID and power mode: check --all asks for each clock of an ID.
const std::vector<uint32_t>& served_clocks(uint32_t id, uint32_t power_mode) {
    static std::map<std::pair<uint32_t, uint32_t>, std::vector<uint32_t>> known;
    const auto it = known.find({id, power_mode});
    if (it != known.end()) return it->second;
    std::vector<uint32_t> served;
    for (uint32_t c = 0; c <= 13; ++c) {
        tov::sim::RunRequest q;
        q.config_id = id;
        q.clock_index = c;
        q.power_mode = power_mode;
        const tov::sim::RunResult x = tov::sim::run_bring_up(q);
        if (touches_bus(x) && std::find(served.begin(), served.end(), x.record.clock_index) == served.end())
            served.push_back(x.record.clock_index);
    }
    std::sort(served.begin(), served.end());
    return known[{id, power_mode}] = served;
}

}  // namespace

std::string served_clocks_text(const tov::sim::RunResult& r) {
    const uint32_t id = r.record.config_id, clock = r.record.clock_index;
    if (r.ret != 0 || touches_bus(r) || tov::classify(id) == tov::Family::none) return {};
    const std::vector<uint32_t>& served = served_clocks(id, r.record.power_mode);
    if (std::find(served.begin(), served.end(), clock) != served.end()) return {};
    if (served.empty()) return "none of clock_index 0 to 13";
    std::string list;
    for (size_t i = 0; i < served.size();) {
        size_t j = i;
        while (j + 1 < served.size() && served[j + 1] == served[j] + 1) ++j;
        list += list.empty() ? "" : ", ";
        list += j >= i + 2 ? strf("%u to %u", served[i], served[j]) : strf("%u", served[i]);
        if (j == i + 1) list += strf(", %u", served[j]);
        i = j + 1;
    }
    return list + " of clock_index 0 to 13";
}

std::string unsupported_clock(const tov::sim::RunResult& r) {
    const std::string served = served_clocks_text(r);
    if (served.empty()) return {};
    return strf("routine %s does not support clock_index %s (it supports %s): it returns 0 before touching the chip",
                routine_of(r.record.config_id).c_str(), clock_text(r.record.clock_index).c_str(), served.c_str());
}

std::string cause_of(const tov::sim::RunResult& r, const Analysis& a, size_t* step) {
    if (step) *step = a.steps.size();
    if (r.ret == 1) return {};
    // The last thing that went wrong on the bus is what ended the routine.
    size_t best_step = 0;
    std::string best;
    auto consider = [&](size_t step, std::string why) {
        if (best.empty() || step >= best_step) {
            best_step = step;
            best = std::move(why);
        }
    };
    for (size_t i : a.unsettled) {
        const Step& s = a.steps[i];
        consider(i, strf("register %s 0x%03x never settled: %u loads without three agreeing, last 0x%08x",
                         reg_name(s.off).c_str(), s.off, s.loads, r.events[s.last].val));
    }
    for (const CommandInfo& c : a.commands) {
        if (!c.gave_up()) continue;
        consider(c.last_poll, strf("DRAM command %d (%s) not done after %.1f ms: %u of %u polls saw it busy", c.number,
                                   describe(c.cmd).c_str(), ms(c.wait_end - c.time), c.busy, c.polls));
    }
    for (const FbReadBack& f : a.readbacks) {
        if (f.ok()) continue;
        consider(f.step, strf("frame-buffer check: test slot %u read back 0x%08x, expected 0x%08x (bits 0x%x differ)",
                              f.slot, f.actual, f.expected, f.actual ^ f.expected));
    }
    if (!best.empty()) {
        if (step) *step = best_step;
        return best;
    }
    if (r.events.empty() && tov::classify(r.record.config_id) == tov::Family::none)
        return strf("ID 0x%x is outside the three families: nothing was touched (%s)", r.record.config_id,
                    family_bits_text(r.record.config_id).c_str());
    const std::string unsupported = unsupported_clock(r);
    if (!unsupported.empty()) return unsupported;
    return strf("the routine returned %d without a failure visible on the bus", r.ret);
}

std::string family_bits_text(uint32_t config_id) {
    auto name = [](tov::Family f) { return tov::family_table(f).name; };
    return strf(
        "its family bits, ID & 0x%08x, are 0x%x; the dispatcher takes 0x%x as %s, 0x%x as %s and 0x%x or "
        "above as %s",
        tov::family_bits_mask, config_id & tov::family_bits_mask, tov::halden_family_bits, name(tov::Family::halden),
        tov::orlit_family_bits, name(tov::Family::orlit), tov::varnel_family_bits_from, name(tov::Family::varnel));
}

bool reads_power_mode(tov::Family f) { return f == tov::Family::halden; }

std::string power_mode_note(uint32_t config_id, uint32_t power_mode) {
    const tov::Family f = tov::classify(config_id);
    if (power_mode == 0 || f == tov::Family::none || reads_power_mode(f)) return {};
    return strf(
        "power_mode %u means nothing to the %s family: only the %s routines read it, so this is the bring-up "
        "of power_mode 0",
        power_mode, tov::family_table(f).name, tov::family_table(tov::Family::halden).name);
}

std::vector<std::string> notes_of(const Bringup& b, const Analysis& a) {
    std::vector<std::string> notes;
    const uint32_t id = b.r.record.config_id;
    const tov::Family f = tov::classify(id);
    if (f != tov::Family::none) {
        const tov::ConfigTable t = tov::family_table(f);
        bool matched = false;
        const tov::ConfigEntry* row = tov::lookup(t, id, &matched);
        if (!matched)
            notes.push_back(
                strf("ID 0x%x is not in the %s table; row 0 (ID 0x%x, %s) ran instead, with row 0's "
                     "values and clock_index as given",
                     id, t.name, row->id, tov::routine_name(row->routine)));
    }
    if (!b.unknown.empty()) notes.push_back(b.unknown);
    if (!b.starts_late.empty()) notes.push_back(b.starts_late);
    notes.insert(notes.end(), b.notes.begin(), b.notes.end());
    const std::string power = power_mode_note(id, b.r.record.power_mode);
    if (!power.empty()) notes.push_back(power);
    if (!b.executed) return notes;
    notes.insert(notes.end(), b.opts.notes.begin(), b.opts.notes.end());
    const tov::sim::ChipConfig& chip = b.opts.req.chip;
    std::set<uint32_t> loaded;
    for (const Event& e : b.r.events)
        if (e.kind == EventKind::load) loaded.insert(e.off);
    const uint32_t commands = static_cast<uint32_t>(a.commands.size());
    if (chip.cmd_stuck_at > commands)
        notes.push_back(strf("--cmd-stuck-at %u had no effect: the run started %u DRAM command%s", chip.cmd_stuck_at,
                             commands, commands == 1 ? "" : "s"));
    if (b.opts.cmd_latency_given && chip.cmd_latency > 0 && !loaded.count(reg::DRC_CMD_STATUS))
        notes.push_back(strf("--cmd-latency %u had no effect: DRC_CMD_STATUS 0x828 was never read", chip.cmd_latency));
    for (uint32_t slot = 0; slot < 2; ++slot) {
        if (chip.fb_corrupt[slot] == 0) continue;
        bool written = false;
        for (const Step& s : a.steps)
            written |= s.kind == StepKind::store && s.off == reg::DRC_TEST_CTRL &&
                       (s.val & reg::drc_test_ctrl::write) && reg::drc_test_ctrl::slot.of(s.val) == slot;
        if (!written)
            notes.push_back(strf("--fb-corrupt %u=0x%x had no effect: the test client never wrote slot %u", slot,
                                 chip.fb_corrupt[slot], slot));
    }
    for (uint32_t off : chip.unstable)
        if (!loaded.count(off))
            notes.push_back(strf("--unstable 0x%x had no effect: %s was never read", off, reg_text(off).c_str()));
    for (const auto& [off, v] : chip.presets)
        if (!loaded.count(off))
            notes.push_back(strf("--reg 0x%x=0x%x had no effect: %s was never read", off, v, reg_text(off).c_str()));
    bool aux = false;
    for (const Event& e : b.r.events) aux |= e.kind == EventKind::aux_load;
    if (b.opts.aux_value_given && !aux)
        notes.push_back(
            strf("--aux-value 0x%x had no effect: the word behind aux_base was never read", chip.aux_value));
    return notes;
}

std::string form_text(const tov::sim::RunResult& r, const Analysis& a) {
    // The controller's set-up words: what a wrong timing value changes.
    static constexpr uint32_t controller_words[] = {reg::DRC_CFG, reg::DRC_814, reg::DRC_818,
                                                    reg::DRC_81C, reg::DRC_808, reg::DRC_80C};
    std::string words;
    for (uint32_t off : controller_words) {
        std::string values;
        for (const Event& e : r.events)
            if (e.kind == EventKind::store && e.off == off)
                values += (values.empty() ? "" : ", ") + strf("0x%x", e.val);
        if (!values.empty()) words += (words.empty() ? "" : "; ") + reg_name(off) + " " + values;
    }
    const uint32_t khz = r.record.mem_clock_khz;
    std::string out =
        strf("  memory clock %s\n", khz == tov::sim::fill_word ? "not written" : strf("%u kHz", khz).c_str());
    out += "  controller   " + (words.empty() ? std::string("not written") : words) + "\n";
    for (const CommandInfo& c : a.commands) {
        // A command's count is in memory-clock cycles: at kHz, count * 10^6 / kHz ns.
        std::string held;
        if (khz != 0 && khz != tov::sim::fill_word) {
            const double ns = double(c.cmd.count) * 1e6 / khz;
            held = ns < 1000 ? strf(" = %.1f ns", ns) : strf(" = %.1f us", ns / 1000);
        }
        out += strf("  %2d  %s%s\n", c.number, tov::sim::describe(c.cmd).c_str(), held.c_str());
    }
    if (a.commands.empty()) out += "  no DRAM command\n";
    return out;
}

}  // namespace tovmem
