// SPDX-License-Identifier: Apache-2.0
// libFuzzer target over the trace and log readers: the input is read as a
// JSON-lines trace or a captured log and, when it is taken, checked against
// the power-up rules and compared with a real bring-up's trace by diff's
// alignment and drawn as a report (output thrown away). A refusal (UsageError) is the expected end
// for most inputs. Inputs that start with "#F" give two more bytes: the
// framing a capture tool may put the rest in (UTF-16 of either byte order,
// glued to another print, its lines interleaved in two halves, DebugView's
// columns) and the call to choose (--call, 0 for none).
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tools/tovmem/commands.h"
#include "tools/tovmem/report.h"
#include "tools/tovmem/rules.h"

namespace {

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', from)) {
        lines.push_back(text.substr(from, nl - from));
        from = nl + 1;
    }
    if (from < text.size()) lines.push_back(text.substr(from));
    return lines;
}

std::string frame(const std::string& text, unsigned framing) {
    std::string out;
    switch (framing) {
    case 1:  // WinDbg's .logopen /u: UTF-16LE with a byte-order mark
    case 2:  // UTF-16BE without one
        if (framing == 1) out = "\xff\xfe";
        for (char c : text) {
            out += framing == 1 ? c : '\0';
            out += framing == 1 ? '\0' : c;
        }
        return out;
    case 3:  // each line glued to another print's text
        for (const std::string& l : split(text)) out += "capture: waiting on tovmem: " + l + "\n";
        return out;
    case 4: {  // two calls' lines interleaved: the two halves by turns
        const std::vector<std::string> l = split(text);
        const size_t half = l.size() / 2;
        for (size_t i = 0; i < half || half + i < l.size(); ++i) {
            if (i < half) out += l[i] + "\n";
            if (half + i < l.size()) out += l[half + i] + "\n";
        }
        return out;
    }
    case 5: {  // DebugView's columns, CR LF
        size_t n = 0;
        for (const std::string& l : split(text)) out += std::to_string(++n) + "\t0.00012500\t[4242] " + l + "\r\n";
        return out;
    }
    default: return text;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::FILE* sink = [] {
        std::FILE* f = std::fopen("/dev/null", "w");
        tovmem::set_output(f);
        return f;
    }();
    static const tovmem::Bringup fixed = [] {
        tovmem::RunOptions o;
        o.req.config_id = 0x3000099;
        o.req.clock_index = 10;
        return tovmem::run_bringup(o);
    }();
    (void)sink;
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t call = 0;
    if (text.size() >= 4 && text.compare(0, 2, "#F") == 0) {
        const auto framing = static_cast<unsigned char>(text[2]) % 6;
        call = static_cast<unsigned char>(text[3]) % 4;
        text = frame(text.substr(4), framing);
    }
    std::istringstream in(text);
    try {
        tovmem::Bringup b = tovmem::read_trace(in, "fuzz", call);
        const tovmem::Analysis a = tovmem::analyse(b.r);
        (void)tovmem::check_rules(a.commands, b.r.record.mem_clock_khz);
        // The report of it, alone and beside the real one: whatever the
        // input holds, the page's only script is its own.
        for (const std::string& page : {tovmem::report_html({{b, 0}}), tovmem::comparison_html({b, 0}, {fixed, 0})}) {
            size_t scripts = 0;
            for (size_t at = page.find("<script"); at != std::string::npos; at = page.find("<script", at + 1))
                ++scripts;
            if (scripts != 1) __builtin_trap();
        }
        tovmem::diff_bringups(std::move(b), fixed);
    } catch (const tovmem::UsageError&) {}
    return 0;
}
