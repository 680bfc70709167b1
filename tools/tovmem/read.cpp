// SPDX-License-Identifier: Apache-2.0
// Traces and captured logs read back: the bytes decoded (UTF-8, or UTF-16 of
// either byte order), cut into bounded lines, and taken by the JSON-lines
// reader or the log reader; the call to read chosen among a log's calls.
#include <cerrno>
#include <cstring>
#include <iostream>

#include "sim/diag_log.h"
#include "sim/printable.h"
#include "sim/trace_read.h"
#include "tools/tovmem/analysis.h"
#include "tools/tovmem/cli.h"

namespace tovmem {
namespace {

enum class Encoding { bytes, utf16le, utf16be };

const char* encoding_name(Encoding e) { return e == Encoding::utf16le ? "UTF-16LE" : "UTF-16BE"; }

// The encoding of a file from its first bytes: a byte-order mark, or the NUL
// bytes that ASCII text in UTF-16 has in every other byte (WinDbg's .logopen
// /u is not promised to write a mark). Anything else is read as bytes
// (UTF-8 or ASCII): a binary file then fails as a trace or log would.
Encoding sniff(const unsigned char* b, size_t n, size_t& skip) {
    skip = 0;
    if (n >= 3 && b[0] == 0xef && b[1] == 0xbb && b[2] == 0xbf) {
        skip = 3;
        return Encoding::bytes;
    }
    if (n >= 2 && b[0] == 0xff && b[1] == 0xfe) {
        skip = 2;
        return Encoding::utf16le;
    }
    if (n >= 2 && b[0] == 0xfe && b[1] == 0xff) {
        skip = 2;
        return Encoding::utf16be;
    }
    const size_t pairs = std::min<size_t>(n, 4096) / 2;
    size_t nul_even = 0, nul_odd = 0;
    for (size_t i = 0; i < pairs; ++i) {
        nul_even += b[2 * i] == 0;
        nul_odd += b[2 * i + 1] == 0;
    }
    if (pairs == 0) return Encoding::bytes;
    if (nul_odd * 2 > pairs && nul_even * 8 < pairs) return Encoding::utf16le;
    if (nul_even * 2 > pairs && nul_odd * 8 < pairs) return Encoding::utf16be;
    return Encoding::bytes;
}

void put_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
    }
}

// The lines of a trace or log, decoded, each within trace_line_max and all
// within trace_lines_max and trace_bytes_max.
class Lines {
public:
    Lines(std::istream& in, std::string name) : in_(in), name_(std::move(name)) {}

    // The next line without its newline; false at the end.
    bool next(std::string& line) {
        for (;;) {
            const size_t nl = text_.find('\n', at_);
            if (nl != std::string::npos) return cut(line, nl, nl + 1);
            if (text_.size() - at_ > trace_line_max) too_long();
            if (ended_) {
                if (at_ >= text_.size()) return false;
                return cut(line, text_.size(), text_.size());
            }
            fill();
        }
    }
    size_t number() const { return number_; }
    const char* encoding() const { return enc_ == Encoding::bytes ? nullptr : encoding_name(enc_); }

private:
    bool cut(std::string& line, size_t end, size_t next) {
        line.assign(text_, at_, end - at_);
        at_ = next;
        if (line.size() > trace_line_max) too_long();
        if (++number_ > trace_lines_max)
            usage_fail(strf("%s: more than %zu lines or %llu MiB: too long for a trace", name_.c_str(), trace_lines_max,
                            static_cast<unsigned long long>(trace_bytes_max >> 20)));
        return true;
    }
    [[noreturn]] void too_long() const {
        usage_fail(strf("%s line %zu: longer than %zu KiB: not a trace line", name_.c_str(), number_ + 1,
                        trace_line_max >> 10));
    }

    void fill() {
        // What was taken is dropped, so the text held stays within a line and a chunk.
        text_.erase(0, at_);
        at_ = 0;
        char buf[1 << 16];
        in_.read(buf, sizeof buf);
        if (in_.bad()) usage_fail("cannot read " + name_ + ": " + std::strerror(errno ? errno : EIO));
        const size_t n = static_cast<size_t>(in_.gcount());
        bytes_ += n;
        if (bytes_ > trace_bytes_max)
            usage_fail(strf("%s: more than %zu lines or %llu MiB: too long for a trace", name_.c_str(), trace_lines_max,
                            static_cast<unsigned long long>(trace_bytes_max >> 20)));
        if (n == 0) ended_ = true;
        const auto* b = reinterpret_cast<const unsigned char*>(buf);
        size_t from = 0;
        if (first_) {
            first_ = false;
            enc_ = sniff(b, n, from);
        }
        if (enc_ == Encoding::bytes) {
            text_.append(buf + from, n - from);
            return;
        }
        for (size_t i = from; i < n; ++i) {
            odd_.push_back(b[i]);
            if (odd_.size() < 2) continue;
            const uint32_t lo = static_cast<unsigned char>(odd_[0]), hi = static_cast<unsigned char>(odd_[1]);
            const uint32_t unit = enc_ == Encoding::utf16le ? (lo | (hi << 8)) : ((lo << 8) | hi);
            odd_.clear();
            const uint64_t where = bytes_ - n + i - 1;
            if (high_ != 0) {
                if (unit < 0xdc00 || unit > 0xdfff) undecodable(where);
                put_utf8(text_, 0x10000 + ((high_ - 0xd800) << 10) + (unit - 0xdc00));
                high_ = 0;
            } else if (unit >= 0xd800 && unit <= 0xdbff) {
                high_ = unit;
            } else if (unit >= 0xdc00 && unit <= 0xdfff) {
                undecodable(where);
            } else {
                put_utf8(text_, unit);
            }
        }
        // A capture cut in the middle of a character leaves its bytes to the
        // torn last line: they are dropped.
    }
    [[noreturn]] void undecodable(uint64_t at) const {
        usage_fail(strf("%s: not valid %s: an unpaired surrogate at byte %llu", name_.c_str(), encoding_name(enc_),
                        static_cast<unsigned long long>(at)));
    }

    std::istream& in_;
    std::string name_;
    std::string text_;  // decoded, from at_ on not yet taken
    size_t at_ = 0;
    size_t number_ = 0;
    uint64_t bytes_ = 0;
    bool first_ = true, ended_ = false;
    Encoding enc_ = Encoding::bytes;
    std::string odd_;  // a UTF-16 unit's first byte
    uint32_t high_ = 0;
};

std::string call_text(const tov::sim::CallSummary& c) {
    const std::string config =
        c.record_known ? strf("config 0x%x, clock_index %s, power_mode %u", c.config_id,
                              clock_text(c.clock_index).c_str(), c.power_mode)
                       : std::string("configuration unknown (the capture starts after its record on entry)");
    const std::string result = c.returned ? strf("result %d", c.ret) : std::string("result unknown (no result line)");
    return strf("line %-7zu tag %-5s %s; %s", c.first_line, c.tag.empty() ? "-" : tov::sim::printable(c.tag).c_str(),
                config.c_str(), result.c_str());
}

}  // namespace

size_t CallOption::value() const {
    if (text.empty()) return 0;
    const uint32_t n = parse_u32("--call", text);
    if (n == 0) usage_fail("--call counts the calls of a log from 1");
    return n;
}

void add_call_option(CLI::App& cmd, CallOption& c) {
    cmd.add_option("--call", c.text,
                   "the call to read when a log holds several (from 1, in the order they start; without it such a "
                   "log is refused with a list of its calls)")
        ->type_name("N");
}

Bringup read_trace(std::istream& in, const std::string& name, size_t call, bool where_several) {
    Bringup b;
    b.source = tov::sim::printable(name);
    bool has_result = false;
    tov::sim::LogReader log(name, call, where_several);
    tov::sim::TraceLine result;
    Lines lines(in, name);
    std::string line;
    bool decided = false;  // trace or log, by the first line that is not blank
    while (lines.next(line)) {
        const size_t n = lines.number();
        const bool blank = line.find_first_not_of(" \t\r") == std::string::npos;
        if (!decided && !blank) {
            decided = true;
            b.from_log = lines.encoding() != nullptr || tov::sim::looks_like_log(line);
        }
        if (b.from_log) {
            const std::string error = log.take(line, n);
            if (!error.empty()) usage_fail(name + " " + error);
            continue;
        }
        if (blank) continue;
        const std::string where = name + " line " + std::to_string(n);
        if (has_result) usage_fail(where + ": events after the result line");
        const std::string error = tov::sim::read_jsonl_line(line, b.r, result);
        if (!error.empty()) usage_fail(where + ": " + error);
        has_result = result.is_result;
    }
    if (b.from_log) {
        tov::sim::LoggedCall c;
        const std::string error = log.finish(c, b.notes);
        if (!error.empty()) usage_fail(error);
        if (log.several()) {
            std::string list =
                strf("%s holds %zu calls of tov_mem_init; choose one with --call N:", tov::sim::printable(name).c_str(),
                     log.calls().size());
            // A list to read: the first calls and the last ones of a long log.
            const size_t n = log.calls().size(), shown = 40;
            for (size_t i = 0; i < n; ++i) {
                if (n > shown && i == shown / 2)
                    list += strf("\n  ... %zu calls more, from line %zu ...", n - shown, log.calls()[i].first_line);
                if (n > shown && i >= shown / 2 && i < n - shown / 2) continue;
                list += strf("\n  call %-3zu %s", i + 1, call_text(log.calls()[i]).c_str());
            }
            throw UsageError{list, true};
        }
        b.r = std::move(c.r);
        if (!c.entered)
            b.starts_late = "the capture starts late: no record on entry, so the call's first steps may be missing";
        if (!c.returned) {
            b.ret_known = false;
            b.unknown = strf(
                "the capture ends before the call's result line (its last line read is line %zu): the "
                "result is unknown, and the record shown is the one on entry",
                c.last_line);
        }
        b.r.commands = tov::sim::commands_started(b.r.events);
        return b;
    }
    if (b.r.events.empty() && !has_result) usage_fail(name + ": no events");
    if (!has_result)
        usage_fail(strf("%s: truncated: %zu events and no result line (the last line of 'run --format jsonl')",
                        name.c_str(), b.r.events.size()));
    if (call > 1 && !where_several)
        usage_fail(strf("%s: --call %zu, but a JSON-lines trace holds one call", name.c_str(), call));
    b.ret_known = result.ret_known;
    b.unknown = result.unknown;
    b.starts_late = result.starts_late;
    b.r.commands = tov::sim::commands_started(b.r.events);
    return b;
}

Bringup read_trace_file(const std::string& path, size_t call, bool where_several) {
    if (path == "-") return read_trace(std::cin, "standard input", call, where_several);
    std::ifstream f = open_input("trace file", path);
    return read_trace(f, path, call, where_several);
}

}  // namespace tovmem
