// SPDX-License-Identifier: Apache-2.0
#include "sim/trace_format.h"

#include <cstdio>

#include "sim/command_decode.h"

namespace tov::sim {

std::string json_escape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        // DEL and the C1 controls (U+0080 to U+009F, two bytes in UTF-8; CSI
        // among them) act on a terminal as the C0 ones do: escaped as well.
        const auto next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0u;
        if (c == 0x7f || (c == 0xc2 && next >= 0x80 && next <= 0x9f)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c == 0x7f ? 0x7fu : next);
            out += buf;
            i += c == 0xc2;
            continue;
        }
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string event_jsonl(const Event& e) {
    char buf[128];
    const auto t = static_cast<unsigned long long>(e.time);
    switch (e.kind) {
    case EventKind::store:
        std::snprintf(buf, sizeof buf, R"({"ev":"store","off":%u,"val":%u,"t":%llu})", e.off, e.val, t);
        return buf;
    case EventKind::load:
        std::snprintf(buf, sizeof buf, R"({"ev":"load","off":%u,"val":%u,"t":%llu})", e.off, e.val, t);
        return buf;
    case EventKind::aux_load:
        std::snprintf(buf, sizeof buf, R"({"ev":"aux_load","val":%u,"t":%llu})", e.val, t);
        return buf;
    case EventKind::delay_ticks:
        std::snprintf(buf, sizeof buf, R"({"ev":"delay_ticks","n":%u,"t":%llu})", e.val, t);
        return buf;
    case EventKind::delay_ms:
        std::snprintf(buf, sizeof buf, R"({"ev":"delay_ms","n":%u,"t":%llu})", e.val, t);
        return buf;
    case EventKind::trace:
        std::snprintf(buf, sizeof buf, R"(,"t":%llu})", t);
        return R"({"ev":"trace","msg":")" + json_escape(e.msg) + "\"" + buf;
    }
    return "{}";
}

std::string result_jsonl(const RunResult& r) {
    const MemInitParams& p = r.record;
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  R"({"ev":"result","ret":%d,"config_id":%u,"clock_index":%u,"mem_size":%u,)"
                  R"("bus_flag":%u,"mode_flag":%u,"power_mode":%u,"mem_clock_khz":%u,)"
                  R"("mem_size_out":%u,"map_value":%u,"reserved":[%u,%u,%u,%u,%u],)"
                  R"("t":%llu,"elapsed":%llu})",
                  r.ret, p.config_id, p.clock_index, p.mem_size, p.bus_flag, p.mode_flag, p.power_mode, p.mem_clock_khz,
                  p.mem_size_out, p.map_value, p.reserved_a[0], p.reserved_a[1], p.reserved_a[2], p.reserved_b[0],
                  p.reserved_b[1], static_cast<unsigned long long>(r.end_time),
                  static_cast<unsigned long long>(r.end_time - r.start_time));
    std::string out = buf;
    if (r.from_image) {
        std::snprintf(buf, sizeof buf, R"(,"stack_bytes":%u,"instructions":%llu})", r.image.stack_bytes,
                      static_cast<unsigned long long>(r.image.instructions));
        out.pop_back();
        out += buf;
    }
    if (r.image.through_caller) {
        std::snprintf(buf, sizeof buf, R"(,"caller_status":"0x%08x"})", r.image.caller_status);
        out.pop_back();
        out += buf;
    }
    return out;
}

std::string event_compact(const Event& e) {
    char buf[64];
    switch (e.kind) {
    case EventKind::store: std::snprintf(buf, sizeof buf, "W %x %x", e.off, e.val); return buf;
    case EventKind::load: std::snprintf(buf, sizeof buf, "R %x %x", e.off, e.val); return buf;
    case EventKind::aux_load: std::snprintf(buf, sizeof buf, "A %x", e.val); return buf;
    case EventKind::delay_ticks: std::snprintf(buf, sizeof buf, "T %u", e.val); return buf;
    case EventKind::delay_ms: std::snprintf(buf, sizeof buf, "M %u", e.val); return buf;
    case EventKind::trace: return "X " + e.msg;
    }
    return "?";
}

std::vector<std::string> compact(const std::vector<Event>& events) {
    std::vector<std::string> out;
    out.reserve(events.size());
    for (const Event& e : events) out.push_back(event_compact(e));
    return out;
}

std::string describe_command(uint32_t code, uint32_t word) { return describe(decode_command(code, word)); }

}  // namespace tov::sim
