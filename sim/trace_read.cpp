// SPDX-License-Identifier: Apache-2.0
#include "sim/trace_read.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

#include "meminit/hw/access.h"
#include "meminit/hw/dram.h"
#include "meminit/hw/regs.h"
#include "sim/command_decode.h"
#include "sim/diag_log.h"
#include "sim/printable.h"

namespace tov::sim {

namespace {

using nlohmann::json;

// One member of a line, or what is wrong with it.
struct Field {
    uint64_t value = 0;
    std::string error;
};

Field field(const json& j, const char* key, uint64_t max = ~uint64_t(0)) {
    const auto it = j.find(key);
    if (it == j.end() || !it->is_number_integer() || (!it->is_number_unsigned() && it->get<int64_t>() < 0))
        return {0, std::string("\"") + key + "\" missing or not an unsigned integer"};
    const auto v = it->get<uint64_t>();
    if (v > max) return {0, std::string("\"") + key + "\" is not a 32-bit value"};
    return {v, {}};
}

// Reads the named members into the given places; stops at the first fault.
struct Fields {
    const json& j;
    std::string error;
    template <typename T>
    Fields& get(const char* key, T& into) {
        if (!error.empty()) return *this;
        const Field f = field(j, key, sizeof(T) < 8 ? 0xffffffffull : ~uint64_t(0));
        error = f.error;
        into = static_cast<T>(f.value);
        return *this;
    }
};

// One line as one JSON object, strictly: no control byte, no key twice,
// nothing after the object.
std::string parse_object(const std::string& line, json& j, size_t column_base = 0) {
    // Outside its strings, JSON allows blanks only; a control byte inside a
    // string is escaped. The parser would take a NUL for the end of the input
    // and ignore what follows it.
    for (size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c < 0x20 && c != '\t' && c != '\r')
            return "control byte " + printable(std::string(1, char(c))) + " at column " +
                   std::to_string(column_base + i + 1);
    }
    // Each object's keys are unique: with two, which one a reader takes is
    // a guess.
    std::vector<std::set<std::string>> keys;
    std::string duplicate;
    const json::parser_callback_t unique_keys = [&](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::object_start)
            keys.emplace_back();
        else if (event == json::parse_event_t::object_end && !keys.empty())
            keys.pop_back();
        else if (event == json::parse_event_t::key && !keys.empty() &&
                 !keys.back().insert(parsed.get<std::string>()).second && duplicate.empty())
            duplicate = parsed.get<std::string>();
        return true;
    };
    j = json::parse(line, unique_keys, false);
    if (j.is_discarded()) return "not a JSON object (or bytes after it)";
    if (!duplicate.empty()) return "key \"" + printable(duplicate) + "\" given twice";
    if (!j.is_object() || !j.contains("ev") || !j["ev"].is_string()) return "not an event object with \"ev\"";
    return {};
}

}  // namespace

std::string read_jsonl_line(const std::string& line, RunResult& r, bool& is_result) {
    TraceLine t;
    const std::string error = read_jsonl_line(line, r, t);
    is_result = t.is_result;
    return error;
}

std::string read_jsonl_line(const std::string& line, RunResult& r, TraceLine& t) {
    t = {};
    json j;
    if (std::string error = parse_object(line, j); !error.empty()) return error;

    const std::string ev = j["ev"];
    Fields f{j, {}};
    const auto text = [&](const char* key, std::string& into) {
        const auto it = j.find(key);
        if (it == j.end()) return true;
        if (!it->is_string()) return false;
        into = printable(it->get<std::string>());
        return true;
    };
    if (ev == "result") {
        if (!text("unknown", t.unknown) || !text("starts_late", t.starts_late) || !text("times", t.times))
            return "\"unknown\", \"starts_late\" or \"times\" is not a string";
        const auto ret = j.find("ret");
        // A result the capture did not hold is null, with why.
        const bool unknown = ret != j.end() && ret->is_null();
        if (unknown && t.unknown.empty()) return "\"ret\" is null without \"unknown\" saying why";
        if (!unknown && !t.unknown.empty()) return "\"unknown\" given with a result";
        if (!unknown && (ret == j.end() || !ret->is_number_integer())) return "\"ret\" missing";
        const int64_t v = unknown ? 0 : ret->get<int64_t>();
        if (v < INT32_MIN || v > INT32_MAX) return "\"ret\" is not a 32-bit value";
        MemInitParams& p = r.record;
        uint64_t elapsed = 0;
        f.get("config_id", p.config_id).get("clock_index", p.clock_index).get("mem_size", p.mem_size);
        f.get("bus_flag", p.bus_flag).get("mode_flag", p.mode_flag).get("power_mode", p.power_mode);
        f.get("mem_clock_khz", p.mem_clock_khz).get("mem_size_out", p.mem_size_out).get("map_value", p.map_value);
        f.get("t", r.end_time).get("elapsed", elapsed);
        if (j.contains("stack_bytes"))
            f.get("stack_bytes", r.image.stack_bytes).get("instructions", r.image.instructions);
        if (!f.error.empty()) return f.error;
        if (const auto w = j.find("reserved"); w != j.end()) {
            uint32_t* words[] = {&p.reserved_a[0], &p.reserved_a[1], &p.reserved_a[2], &p.reserved_b[0],
                                 &p.reserved_b[1]};
            if (!w->is_array() || w->size() != 5) return "\"reserved\" is not five words";
            for (size_t i = 0; i < 5; ++i) {
                const json& x = (*w)[i];
                if (!x.is_number_unsigned() || x.get<uint64_t>() > 0xffffffffull)
                    return "\"reserved\" holds a value that is not a 32-bit word";
                *words[i] = static_cast<uint32_t>(x.get<uint64_t>());
            }
        }
        if (!r.events.empty() && r.end_time < r.events.back().time) return "\"t\" before the last event's time";
        r.ret = static_cast<int32_t>(v);
        r.start_time = r.end_time >= elapsed ? r.end_time - elapsed : 0;
        r.from_image = j.contains("stack_bytes");
        t.is_result = true;
        t.ret_known = !unknown;
        return {};
    }
    Event e{};
    if (ev == "store" || ev == "load") {
        e.kind = ev == "store" ? EventKind::store : EventKind::load;
        f.get("off", e.off).get("val", e.val);
    } else if (ev == "aux_load") {
        e.kind = EventKind::aux_load;
        f.get("val", e.val);
    } else if (ev == "delay_ticks" || ev == "delay_ms") {
        e.kind = ev == "delay_ticks" ? EventKind::delay_ticks : EventKind::delay_ms;
        f.get("n", e.val);
    } else if (ev == "trace") {
        e.kind = EventKind::trace;
        if (!j.contains("msg") || !j["msg"].is_string()) return "\"msg\" missing";
        e.msg = j["msg"].get<std::string>();
    } else {
        return "unknown event \"" + printable(ev) + "\"";
    }
    f.get("t", e.time);
    if (!f.error.empty()) return f.error;
    if ((e.kind == EventKind::store || e.kind == EventKind::load) && (e.off % 4 != 0 || e.off >= Simulator::reg_span))
        return "\"off\" is not a register offset";
    // Times never go back: every reader places the events by them.
    if (!r.events.empty() && e.time < r.events.back().time) return "\"t\" before the one of the event before";
    r.events.push_back(std::move(e));
    return {};
}

}  // namespace tov::sim

// ---- the diagnostic image's log ----

namespace tov::sim {
namespace {

// A value that differs from `v` in every bit a stable read compares
// (the low nibble of 0x0f8 excepted): loads of it never agree with v.
constexpr uint32_t disagreeing(uint32_t v) { return v ^ 0x80000000u; }

// The loads of one stable read of `off` that settled on `v` after `n` loads
// (or, unsettled, ended on `v` after n): before the agreeing three, values
// that could not have agreed.
void push_read(LoggedCall& c, uint32_t off, uint32_t v, uint32_t n, bool settled) {
    const uint32_t w = disagreeing(v);
    std::vector<Event>& ev = c.r.events;
    auto load = [&](uint32_t val) { ev.push_back({EventKind::load, off, val, c.now, {}}); };
    if (read_twice(off)) {
        load(v);
        load(v);
    } else if (settled) {
        for (uint32_t i = 0; i + 3 < n; ++i) load((n - 4 - i) % 2 == 0 ? w : v);
        load(v);
        load(v);
        load(v);
    } else {
        for (uint32_t i = 0; i < n; ++i) load((n - 1 - i) % 2 == 0 ? v : w);
    }
    c.loads += n;
}

// A read's load count as the library can make it.
bool possible_loads(uint32_t off, uint32_t n, bool settled) {
    if (read_twice(off)) return settled && n == read_twice_loads;
    return settled ? n >= stable_read_agreeing_loads && n <= stable_read_max_loads : n == stable_read_max_loads;
}

// A step that gave clock readings: the steps before the first reading took
// place at or before it; readings never go back.
std::string take_readings(LoggedCall& c, uint64_t t, uint64_t t_end) {
    if (t_end < t) return "\"t_end\" before \"t\"";
    if (c.timed && t < c.now) return "a clock reading before the one of the step before";
    if (!c.timed) {
        for (Event& e : c.r.events) e.time = t;
        c.r.start_time = t;
        c.timed = true;
    }
    c.now = t;
    return {};
}

struct Poll {
    uint32_t val;
    bool settled;
    uint32_t loads;
};

// The polls of a done-bit wait from its one line: the busy ones first, then
// any that never settled, then the last; the loads spread so that each
// poll's count is one the library can make.
std::string rebuild_wait(const json& j, LoggedCall& c, uint64_t loads_left) {
    uint32_t off = 0, polls = 0, busy = 0, loads = 0, val = 0, busy_val = 0;
    uint64_t t = 0, t_end = 0;
    Fields f{j, {}};
    f.get("off", off).get("polls", polls).get("busy", busy).get("loads", loads).get("val", val);
    f.get("busy_val", busy_val).get("t", t).get("t_end", t_end);
    if (!f.error.empty()) return f.error;
    const auto flag = [&](const char* key, bool& into) {
        const auto it = j.find(key);
        if (it == j.end() || !it->is_boolean()) return false;
        into = it->get<bool>();
        return true;
    };
    bool settled = true, done = false;
    if (!flag("settled", settled) || !flag("done", done)) return "\"settled\" or \"done\" missing or not true/false";
    if (read_twice(off)) return "a wait on a register read in two loads";
    if (polls == 0 || busy > polls) return "a wait of no polls, or more busy polls than polls";
    if (loads > loads_left) return "more loads than a log may rebuild";
    // The last poll: done, gave up busy, or never settled (a status-checked wait).
    const bool last_busy = !done && settled;
    if (done != ((val & dram::status_done) != 0) && settled) return "the last poll's done bit disagrees with \"done\"";
    const uint32_t busy_before = busy - (last_busy ? 1 : 0);
    if (busy_before > polls - 1) return "more busy polls than polls";
    // Counted before anything is built: a line may claim any number of polls.
    const uint64_t least = uint64_t{busy_before} * stable_read_agreeing_loads +
                           uint64_t{polls - 1 - busy_before} * stable_read_max_loads +
                           (settled ? stable_read_agreeing_loads : stable_read_max_loads);
    if (loads < least) return "fewer loads than its polls need";
    std::vector<Poll> p;
    for (uint32_t i = 0; i < busy_before; ++i) p.push_back({busy_val, true, stable_read_agreeing_loads});
    for (uint32_t i = busy_before; i + 1 < polls; ++i) p.push_back({busy_val & ~1u, false, stable_read_max_loads});
    p.push_back({val, settled, settled ? stable_read_agreeing_loads : stable_read_max_loads});
    uint64_t extra = loads - least;
    for (Poll& q : p) {
        if (!q.settled || extra == 0) continue;
        const uint32_t add = static_cast<uint32_t>(std::min<uint64_t>(extra, stable_read_max_loads - q.loads));
        q.loads += add;
        extra -= add;
    }
    if (extra != 0) return "more loads than its polls can make";
    // Taken only now that the line is known to be whole.
    if (std::string error = take_readings(c, t, t_end); !error.empty()) return error;
    // The polls spread evenly over the wait's readings.
    for (size_t i = 0; i < p.size(); ++i) {
        c.now = t + (p.size() > 1 ? (t_end - t) / (p.size() - 1) * i : 0);
        push_read(c, off, p[i].val, p[i].loads, p[i].settled);
    }
    c.now = t_end;
    return {};
}

}  // namespace

namespace {

// A call's tag: what platform/diag_line.h prints, four hex digits.
bool is_tag(const std::string& t) {
    if (t.empty() || t.size() > 8) return false;
    for (char ch : t)
        if (!((ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f'))) return false;
    return true;
}

// Whether a step no healthy call makes in this order shows that a line
// before it was lost. Every routine issues a DRAM command the same way: the
// command word stored (its old value read first in some), then the command
// code (DRC_CMD read first in some), then the completion polled or the
// code returned to idle. So a command word is followed by the command, a
// command is preceded by its word, and the next word or the result never
// follows a command directly. Sets the call's gap.
bool lost_before(const std::string& ev, const json& j, LoggedCall& c) {
    using Last = LoggedCall::Last;
    uint64_t off = 0, val = 0;
    if (const auto o = j.find("off"); o != j.end() && o->is_number_unsigned()) off = o->get<uint64_t>();
    if (const auto v = j.find("val"); v != j.end() && v->is_number_unsigned()) val = v->get<uint64_t>();
    const bool bus = ev == "store" || ev == "read" || ev == "aux_load" || ev == "wait";
    if (ev != "result" && !bus) return false;
    // A step that names no register is refused as it stands, not taken for a lost line.
    if (bus && ev != "aux_load" && (off % 4 != 0 || off >= Simulator::reg_span || val > 0xffffffffull)) return false;
    const bool command = ev == "store" && starts_command(static_cast<uint32_t>(off), static_cast<uint32_t>(val));
    const bool word = ev == "store" && off == reg::DRC_CMD_WORD;
    const bool reads_cmd = ev == "read" && off == reg::DRC_CMD;
    if (c.last_step == Last::word && !command && !reads_cmd) {
        c.gap = "a command word stored with no DRAM command after it: the line of the command is missing";
        return true;
    }
    if (command && c.last_step != Last::word && c.last_step != Last::read_cmd && c.last_step != Last::none) {
        c.gap = "a DRAM command with no command word stored before it: a line before it is missing";
        return true;
    }
    if (c.last_step == Last::command && (word || ev == "result")) {
        c.gap = "a DRAM command whose completion is never polled: the line of its wait is missing";
        return true;
    }
    if (bus) c.last_step = word ? Last::word : command ? Last::command : reads_cmd ? Last::read_cmd : Last::other;
    return false;
}

std::string read_log_step(const json& j, LoggedCall& c, uint64_t loads_left) {
    const std::string ev = j["ev"];
    // Past a lost line the evidence is incomplete: only the result the call
    // ends with is noted.
    if (c.gap.empty() && !c.returned) lost_before(ev, j, c);
    if (!c.gap.empty() && !c.returned) {
        if (ev == "result") {
            const auto ret = j.find("ret");
            if (ret == j.end() || !ret->is_number_integer()) return "\"ret\" missing";
            const int64_t v = ret->get<int64_t>();
            if (v < INT32_MIN || v > INT32_MAX) return "\"ret\" is not a 32-bit value";
            c.returned = true;
            c.result_after_gap = true;
            c.ret_after_gap = static_cast<int32_t>(v);
        }
        return {};
    }
    Fields f{j, {}};
    MemInitParams& p = c.r.record;
    auto record = [&] {
        f.get("config_id", p.config_id).get("clock_index", p.clock_index).get("mem_size", p.mem_size);
        f.get("bus_flag", p.bus_flag).get("mode_flag", p.mode_flag).get("power_mode", p.power_mode);
        f.get("mem_clock_khz", p.mem_clock_khz).get("mem_size_out", p.mem_size_out).get("map_value", p.map_value);
        const auto r = j.find("reserved");
        if (r == j.end() || !r->is_array() || r->size() != 5) {
            if (f.error.empty()) f.error = "\"reserved\" missing or not five words";
            return;
        }
        uint32_t* words[] = {&p.reserved_a[0], &p.reserved_a[1], &p.reserved_a[2], &p.reserved_b[0], &p.reserved_b[1]};
        for (size_t i = 0; i < 5; ++i) {
            const json& w = (*r)[i];
            if (!w.is_number_unsigned() || w.get<uint64_t>() > 0xffffffffull) {
                if (f.error.empty()) f.error = "\"reserved\" holds a value that is not a 32-bit word";
                return;
            }
            *words[i] = static_cast<uint32_t>(w.get<uint64_t>());
        }
    };
    if (c.returned) return "a step after the call's result";
    if (ev == "enter") {
        if (c.entered || !c.r.events.empty() || c.loads != 0) return "a second record on entry in one call";
        record();
        if (!f.error.empty()) return f.error;
        c.entered = true;
        c.entry = p;
        return {};
    }
    if (ev == "result") {
        const auto ret = j.find("ret");
        if (ret == j.end() || !ret->is_number_integer()) return "\"ret\" missing";
        const int64_t v = ret->get<int64_t>();
        if (v < INT32_MIN || v > INT32_MAX) return "\"ret\" is not a 32-bit value";
        record();
        if (!f.error.empty()) return f.error;
        c.r.ret = static_cast<int32_t>(v);
        c.returned = true;
        return {};
    }
    std::vector<Event>& ev_out = c.r.events;
    const auto register_offset = [](uint32_t off) { return off % 4 == 0 && off < Simulator::reg_span; };
    if (ev == "store" || ev == "aux_load") {
        Event e{ev == "store" ? EventKind::store : EventKind::aux_load, 0, 0, c.now, {}};
        if (ev == "store") f.get("off", e.off);
        f.get("val", e.val);
        if (!f.error.empty()) return f.error;
        if (!register_offset(e.off)) return "\"off\" is not a register offset";
        ev_out.push_back(e);
    } else if (ev == "read") {
        uint32_t off = 0, val = 0, loads = 0;
        f.get("off", off).get("val", val).get("loads", loads);
        if (!f.error.empty()) return f.error;
        const auto s = j.find("settled");
        if (s == j.end() || !s->is_boolean()) return "\"settled\" missing or not true/false";
        if (!register_offset(off)) return "\"off\" is not a register offset";
        if (!possible_loads(off, loads, s->get<bool>())) return "a load count no stable read makes";
        if (loads > loads_left) return "more loads than a log may rebuild";
        push_read(c, off, val, loads, s->get<bool>());
    } else if (ev == "wait") {
        uint32_t off = 0;
        f.get("off", off);
        if (!f.error.empty()) return f.error;
        if (!register_offset(off)) return "\"off\" is not a register offset";
        if (std::string error = rebuild_wait(j, c, loads_left); !error.empty()) return error;
    } else if (ev == "delay_ticks" || ev == "delay_ms") {
        uint32_t n = 0;
        uint64_t t = 0, t_end = 0;
        f.get("n", n).get("t", t).get("t_end", t_end);
        if (!f.error.empty()) return f.error;
        if (std::string error = take_readings(c, t, t_end); !error.empty()) return error;
        ev_out.push_back({ev == "delay_ticks" ? EventKind::delay_ticks : EventKind::delay_ms, 0, n, t, {}});
        c.now = t_end;
    } else if (ev == "trace") {
        if (!j.contains("msg") || !j["msg"].is_string()) return "\"msg\" missing";
        ev_out.push_back({EventKind::trace, 0, 0, c.now, j["msg"].get<std::string>()});
    } else {
        return "unknown step \"" + printable(ev) + "\"";
    }
    return {};
}

}  // namespace

ObjectError read_log_object(const std::string& object, const CallPicker& pick, uint64_t loads_left, size_t column) {
    json j;
    if (std::string error = parse_object(object, j, column); !error.empty()) return {error, false, true};
    ObjectHead head{j["ev"], {}};
    if (const auto t = j.find("call"); t != j.end()) {
        if (!t->is_string() || !is_tag(t->get<std::string>())) return {"\"call\" is not a call's tag"};
        head.tag = t->get<std::string>();
    }
    if (j.contains("seq")) {
        const Field seq = field(j, "seq", 0xffffffffull);
        if (!seq.error.empty() || seq.value == 0) return {"\"seq\" is not a line number of the call (from 1)"};
        head.numbered = true;
        head.seq = seq.value;
    }
    std::string refusal;
    LoggedCall* c = pick(head, refusal);
    if (c == nullptr) return {refusal, true};
    return {read_log_step(j, *c, loads_left)};
}

std::string read_log_object(const std::string& object, LoggedCall& call, uint64_t loads_left) {
    return read_log_object(
               object, [&](const ObjectHead&, std::string&) { return &call; }, loads_left)
        .text;
}

}  // namespace tov::sim
