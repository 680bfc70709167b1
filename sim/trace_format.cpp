#include "sim/trace_format.h"

#include <cstdio>

namespace tov::sim {

std::string json_escape(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
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
                  r.ret, p.config_id, p.clock_index, p.mem_size, p.bus_flag, p.mode_flag,
                  p.power_mode, p.mem_clock_khz, p.mem_size_out, p.map_value, p.reserved_a[0],
                  p.reserved_a[1], p.reserved_a[2], p.reserved_b[0], p.reserved_b[1],
                  static_cast<unsigned long long>(r.end_time),
                  static_cast<unsigned long long>(r.end_time - r.start_time));
    std::string out = buf;
    if (r.from_image) {
        std::snprintf(buf, sizeof buf, R"(,"stack_bytes":%u,"instructions":%llu})", r.image.stack_bytes,
                      static_cast<unsigned long long>(r.image.instructions));
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

namespace {

std::string mode_register(uint32_t v) {
    static const char* const cas[8] = {"?", "?", "2", "3", "4", "?", "2.5", "?"};
    const uint32_t bl = v & 7;
    char buf[96];
    std::snprintf(buf, sizeof buf, "CAS latency %s, burst %u%s%s", cas[(v >> 4) & 7],
                  bl >= 1 && bl <= 3 ? 1u << bl : 0u, (v & 8) ? " interleaved" : "",
                  (v & 0x100) ? ", DLL reset" : "");
    return buf;
}

}  // namespace

std::string describe_command(uint32_t code, uint32_t word) {
    const uint32_t count = word >> 16;
    const uint32_t low = word & 0xffff;
    const bool cke = (code >> 7) & 1;
    const uint32_t lines = (code >> 4) & 7;  // RAS# CAS# WE#
    char buf[160];
    if (code == 0x1f3 || code == 0x1f7) {
        std::snprintf(buf, sizeof buf, "closing command, count %u", count);
        return buf;
    }
    switch (lines) {
    case 7:
        std::snprintf(buf, sizeof buf, "NOP, CKE %s, count %u", cke ? "high" : "low", count);
        return buf;
    case 2:
        std::snprintf(buf, sizeof buf, "precharge %s, count %u", (low & 0x400) ? "all" : "bank", count);
        return buf;
    case 1:
        std::snprintf(buf, sizeof buf, "auto refresh, count %u", count);
        return buf;
    case 0:
        if (code & 0x1000) {
            std::snprintf(buf, sizeof buf, "extended mode register set 0x%x (%s drive), count %u", low,
                          (low & 2) ? "reduced" : "normal", count);
        } else {
            std::snprintf(buf, sizeof buf, "mode register set: %s, count %u", mode_register(low).c_str(),
                          count);
        }
        return buf;
    default:
        std::snprintf(buf, sizeof buf, "command lines %x, count %u", lines, count);
        return buf;
    }
}

}  // namespace tov::sim
