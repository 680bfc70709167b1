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

const char* encoding_name(Encoding e) {
    return e == Encoding::utf16le ? "UTF-16LE" : e == Encoding::utf16be ? "UTF-16BE" : "UTF-8";
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

// A byte-order mark at b[0..n): its length and encoding, or 0.
size_t byte_order_mark(const unsigned char* b, size_t n, Encoding& e) {
    if (n >= 3 && b[0] == 0xef && b[1] == 0xbb && b[2] == 0xbf) {
        e = Encoding::bytes;
        return 3;
    }
    if (n >= 2 && b[0] == 0xff && b[1] == 0xfe) {
        e = Encoding::utf16le;
        return 2;
    }
    if (n >= 2 && b[0] == 0xfe && b[1] == 0xff) {
        e = Encoding::utf16be;
        return 2;
    }
    return 0;
}

// How a line's bytes look in an encoding: not at all (`fits` false), or so
// plainly that the encoding may change to it (`plain`). ASCII text in UTF-16
// has a NUL in every other byte (WinDbg's .logopen /u is not promised to
// write a mark); in UTF-8 it has none.
struct Look {
    bool fits = false;
    bool plain = false;
};

constexpr size_t look_window = 512;

Look look(const unsigned char* b, size_t n, Encoding e) {
    n = std::min(n, look_window);
    if (e == Encoding::bytes) {
        size_t i = 0;
        bool controls = false;
        for (; i < n && b[i] != '\n'; ++i) {
            if (b[i] == 0) return {};
            controls |= b[i] < 0x20 && b[i] != '\t' && b[i] != '\r';
        }
        // A UTF-16LE line would leave the NUL of its newline after it.
        return {true, i > 0 && !controls && !(i + 1 < n && b[i + 1] == 0)};
    }
    size_t units = 0, ascii = 0;
    for (size_t i = 0; i + 1 < n; i += 2) {
        const unsigned lo = e == Encoding::utf16le ? b[i] : b[i + 1];
        const unsigned hi = e == Encoding::utf16le ? b[i + 1] : b[i];
        if (hi == 0 && lo == '\n') break;
        ++units;
        ascii += hi == 0 && lo != 0;
    }
    const bool most = ascii * 2 >= units;
    return {most, units > 0 && most};
}

// The lines of a trace or log, decoded, each within trace_line_max and all
// within trace_lines_max and trace_bytes_max. Each line is read in the
// encoding its bytes show (UTF-8, or UTF-16 of either byte order): a file
// that two captures in different encodings were appended into is read
// piece by piece, and each change of encoding noted.
class Lines {
public:
    Lines(std::istream& in, std::string name) : in_(in), name_(std::move(name)) {}

    // The next line without its newline; false at the end.
    bool next(std::string& line) {
        ensure(look_window);
        if (at_ >= raw_.size()) return false;
        choose();
        ensure(look_window);
        if (at_ >= raw_.size()) return false;
        size_t end = 0, skip = 0;
        while (!line_end(end, skip)) {
            if (raw_.size() - at_ > 2 * trace_line_max + 4) too_long();
            if (!more()) {
                end = raw_.size();
                skip = 0;
                break;
            }
        }
        decode(end, line);
        at_ = end + skip;
        if (line.size() > trace_line_max) too_long();
        if (++number_ > trace_lines_max)
            usage_fail(strf("%s: more than %zu lines or %llu MiB: too long for a trace", name_.c_str(), trace_lines_max,
                            static_cast<unsigned long long>(trace_bytes_max >> 20)));
        return true;
    }
    size_t number() const { return number_; }
    // The encoding of the line last read: nullptr for UTF-8.
    const char* encoding() const { return enc_ == Encoding::bytes ? nullptr : encoding_name(enc_); }
    // Where the encoding changed, or a byte-order mark stood, after the start.
    std::vector<std::string> notes() const {
        std::vector<std::string> n = changes_;
        if (changes_count_ > changes_.size())
            n.push_back(strf("%zu more changes of encoding", changes_count_ - changes_.size()));
        return n;
    }

private:
    [[noreturn]] void too_long() const {
        usage_fail(strf("%s line %zu: longer than %zu KiB: not a trace line", name_.c_str(), number_ + 1,
                        trace_line_max >> 10));
    }

    // Reads a chunk; false at the end of the input.
    bool more() {
        if (ended_) return false;
        if (at_ > (1u << 20)) {
            raw_.erase(0, at_);
            at_ = 0;
        }
        char buf[1 << 16];
        in_.read(buf, sizeof buf);
        if (in_.bad()) usage_fail("cannot read " + name_ + ": " + std::strerror(errno ? errno : EIO));
        const size_t n = static_cast<size_t>(in_.gcount());
        bytes_ += n;
        if (bytes_ > trace_bytes_max)
            usage_fail(strf("%s: more than %zu lines or %llu MiB: too long for a trace", name_.c_str(), trace_lines_max,
                            static_cast<unsigned long long>(trace_bytes_max >> 20)));
        if (n == 0) ended_ = true;
        raw_.append(buf, n);
        return n != 0;
    }
    void ensure(size_t n) {
        while (raw_.size() - at_ < n && more()) {}
    }
    const unsigned char* at(size_t i) const { return reinterpret_cast<const unsigned char*>(raw_.data()) + i; }

    // At a line's start: a byte-order mark, or the look of the line, says
    // its encoding; the one before stays while the line fits it.
    void choose() {
        const size_t n = raw_.size() - at_;
        Encoding e = enc_;
        const size_t mark = byte_order_mark(at(at_), n, e);
        if (mark != 0) {
            at_ += mark;
            if (number_ > 0)
                change(strf("line %zu: a byte-order mark (%s)%s", number_ + 1, encoding_name(e),
                            e == enc_ ? ": another capture appended?" : ""),
                       e);
            enc_ = e;
            return;
        }
        if (look(at(at_), n, enc_).fits) return;
        for (Encoding other : {Encoding::utf16le, Encoding::utf16be, Encoding::bytes})
            if (other != enc_ && look(at(at_), n, other).plain) {
                if (number_ > 0) change(strf("line %zu", number_ + 1), other);
                enc_ = other;
                return;
            }
    }
    void change(const std::string& where, Encoding to) {
        ++changes_count_;
        if (changes_.size() < 4)
            changes_.push_back(where + (to == enc_ ? ""
                                                   : strf(": the encoding changes from %s to %s (two captures "
                                                          "in one file?); each part is read in its own",
                                                          encoding_name(enc_), encoding_name(to))));
    }

    // The end of the line from at_ in its encoding, and the newline's bytes
    // after it; false when the bytes read so far hold no end. A byte-order
    // mark in the middle of a line ends it: another capture starts there.
    bool line_end(size_t& end, size_t& skip) const {
        const size_t unit = enc_ == Encoding::bytes ? 1 : 2;
        Encoding ignored;
        for (size_t i = at_; i + unit <= raw_.size(); i += unit) {
            const unsigned char* b = at(i);
            const bool nl = enc_ == Encoding::bytes     ? b[0] == '\n'
                            : enc_ == Encoding::utf16le ? b[0] == '\n' && b[1] == 0
                                                        : b[0] == 0 && b[1] == '\n';
            if (nl) {
                end = i;
                skip = unit;
                return true;
            }
            if (i > at_ && byte_order_mark(b, raw_.size() - i, ignored) != 0) {
                end = i;
                skip = 0;
                return true;
            }
        }
        return false;
    }

    void decode(size_t end, std::string& line) {
        line.clear();
        if (enc_ == Encoding::bytes) {
            line.assign(raw_, at_, end - at_);
            return;
        }
        uint32_t high = 0;
        // A capture cut in the middle of a character leaves an odd byte to
        // the torn last line: it is dropped.
        for (size_t i = at_; i + 2 <= end; i += 2) {
            const unsigned char* b = at(i);
            const uint32_t unit = enc_ == Encoding::utf16le ? (b[0] | (b[1] << 8)) : ((b[0] << 8) | b[1]);
            if (high != 0) {
                if (unit < 0xdc00 || unit > 0xdfff) undecodable(i);
                put_utf8(line, 0x10000 + ((high - 0xd800) << 10) + (unit - 0xdc00));
                high = 0;
            } else if (unit >= 0xd800 && unit <= 0xdbff) {
                high = unit;
            } else if (unit >= 0xdc00 && unit <= 0xdfff) {
                undecodable(i);
            } else {
                put_utf8(line, unit);
            }
        }
        if (high != 0 && !(ended_ && end == raw_.size())) undecodable(end - 2);
    }
    [[noreturn]] void undecodable(size_t i) const {
        usage_fail(strf("%s line %zu: not valid %s: an unpaired surrogate at byte %llu", name_.c_str(), number_ + 1,
                        encoding_name(enc_), static_cast<unsigned long long>(bytes_ - (raw_.size() - i))));
    }

    std::istream& in_;
    std::string name_;
    std::string raw_;  // bytes read, from at_ on not yet taken
    size_t at_ = 0;
    size_t number_ = 0;
    uint64_t bytes_ = 0;
    bool ended_ = false;
    Encoding enc_ = Encoding::bytes;
    std::vector<std::string> changes_;
    size_t changes_count_ = 0;
};

std::string call_text(const tov::sim::CallSummary& c) {
    const std::string config =
        c.record_known ? strf("config 0x%x, clock_index %s, power_mode %u", c.config_id,
                              clock_text(c.clock_index).c_str(), c.power_mode)
                       : std::string("configuration unknown (the capture starts after its record on entry)");
    const std::string result = !c.gap.empty() ? "result unknown (" + c.gap + ")"
                               : c.returned   ? strf("result %d", c.ret)
                                              : std::string("result unknown (no result line)");
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
        const std::vector<std::string> changes = lines.notes();
        b.notes.insert(b.notes.begin(), changes.begin(), changes.end());
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
        if (c.entered) b.entry = c.entry;
        b.tag = c.tag;
        if (!c.entered)
            b.starts_late = "the capture starts late: no record on entry, so the call's first steps may be missing";
        if (!c.gap.empty()) {
            // The evidence stops short: whatever a result line after it says,
            // the steps that led there are not all held.
            b.ret_known = false;
            b.cut_at = c.ended_by_entry
                           ? strf("line %zu, where a new call entered on the same register block", c.gap_line)
                           : strf("line %zu, where a line of the call is missing", c.gap_line);
            b.unknown = strf("line %zu: %s; the evidence is incomplete from there, so the result is unknown%s",
                             c.gap_line, c.gap.c_str(),
                             c.result_after_gap ? strf(" (the call's result line says %d)", c.ret_after_gap).c_str()
                             : c.ended_by_entry ? ", and the record shown is the one on entry"
                                                : "");
        } else if (!c.returned) {
            b.ret_known = false;
            b.unknown = strf(
                "the capture ends before the call's result line (its last line read is line %zu): the "
                "result is unknown, and the record shown is the one on entry",
                c.last_line);
        }
        b.times =
            "rebuilt from the capture's clock readings: the log reads the clock only at delays and waits, so each "
            "other step carries the reading before it and can show earlier than it ran";
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
    b.times = result.times;
    b.r.commands = tov::sim::commands_started(b.r.events);
    return b;
}

Bringup read_trace_file(const std::string& path, size_t call, bool where_several) {
    if (path == "-") return read_trace(std::cin, "standard input", call, where_several);
    std::ifstream f = open_input("trace file", path);
    return read_trace(f, path, call, where_several);
}

}  // namespace tovmem
