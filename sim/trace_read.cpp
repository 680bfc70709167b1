#include "sim/trace_read.h"

#include <cstdint>
#include <set>
#include <vector>

#include <nlohmann/json.hpp>

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

}  // namespace

std::string read_jsonl_line(const std::string& line, RunResult& r, bool& is_result) {
    is_result = false;
    // Outside its strings, JSON allows blanks only; a control byte inside a
    // string is escaped. The parser would take a NUL for the end of the input
    // and ignore what follows it.
    for (size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c < 0x20 && c != '\t' && c != '\r')
            return "control byte " + printable(std::string(1, char(c))) + " at column " + std::to_string(i + 1);
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
    json j = json::parse(line, unique_keys, false);
    if (j.is_discarded()) return "not a JSON object (or bytes after it)";
    if (!duplicate.empty()) return "key \"" + printable(duplicate) + "\" given twice";
    if (!j.is_object() || !j.contains("ev") || !j["ev"].is_string()) return "not an event object with \"ev\"";
    const std::string ev = j["ev"];
    Fields f{j, {}};
    if (ev == "result") {
        const auto ret = j.find("ret");
        if (ret == j.end() || !ret->is_number_integer()) return "\"ret\" missing";
        const int64_t v = ret->get<int64_t>();
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
        r.ret = static_cast<int32_t>(v);
        r.start_time = r.end_time >= elapsed ? r.end_time - elapsed : 0;
        r.from_image = j.contains("stack_bytes");
        is_result = true;
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
    r.events.push_back(std::move(e));
    return {};
}

}  // namespace tov::sim
