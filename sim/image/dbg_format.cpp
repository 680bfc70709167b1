// SPDX-License-Identifier: Apache-2.0
#include "sim/image/dbg_format.h"

#include <algorithm>
#include <string_view>

#include "sim/image/pe_image.h"
#include "sim/printable.h"

namespace tov::sim::image {
namespace {

// A width or precision past the line's length pads nothing more: parsing
// saturates here, so that digits from the image cannot overflow.
constexpr size_t width_cap = 1'000'000;

enum class Size { plain, h, hh, l, ll, w, ptr, i32, i64 };

struct Conversion {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    size_t width = 0;
    bool has_precision = false;
    size_t precision = 0;
    Size size = Size::plain;
};

struct Formatter {
    const DbgPrintCall& c;
    size_t next = 3;  // the argument a conversion takes next: ComponentId, Level and Format come first
    std::string text;
    std::string refusal;

    size_t room() const { return dbg_print_max - text.size(); }
    void put(std::string_view s) { text.append(s.substr(0, room())); }
    void pad(char ch, size_t n) { text.append(std::min(n, room()), ch); }

    bool refuse(std::string why) {
        if (refusal.empty()) refusal = "DbgPrintEx " + std::move(why);
        return false;
    }

    // Argument `i` (0 = ComponentId) as its slot holds it: 32 bits on x86,
    // 64 on x64.
    bool slot(size_t i, uint64_t& v, std::string_view conversion) {
        if (c.x64 && i < 4) {
            v = c.regs[i];
            return true;
        }
        const uint64_t size = c.x64 ? 8 : 4;
        const uint64_t off = size + size * i;  // past the return address
        const uint64_t addr = c.sp + off;
        uint8_t b[8] = {};
        std::string why;
        const bool wraps = addr < c.sp || (!c.x64 && addr + size > 0x100000000);
        if (wraps || c.read(addr, size, b, why) != size) {
            // The format is the third argument; the conversions take the rest.
            const std::string what =
                i == 2 ? std::string("the format (argument 3)")
                       : "argument " + std::to_string(i + 1) + " (for '" + printable(conversion) + "')";
            return refuse("with " + what + " at " + hex(addr) + " in " + (wraps ? std::string("no address") : why) +
                          (i > 2 ? ": more conversions than the caller's stack holds arguments" : ""));
        }
        v = 0;
        for (uint64_t k = 0; k < size; ++k) v |= uint64_t(b[k]) << (8 * k);
        return true;
    }

    // The next argument: an integer of `bits`; a 64-bit one takes two
    // slots on x86, low word first.
    bool integer_arg(unsigned bits, uint64_t& v, std::string_view conversion) {
        if (!slot(next++, v, conversion)) return false;
        if (bits == 64 && !c.x64) {
            uint64_t hi = 0;
            if (!slot(next++, hi, conversion)) return false;
            v = (v & 0xffffffff) | (hi << 32);
        }
        if (bits < 64) v &= (uint64_t(1) << bits) - 1;
        return true;
    }

    // A NUL-terminated string of `unit`-byte characters at `addr`, at most
    // `max` characters, narrowed as the kernel does for a wide one (ASCII
    // and Latin-1 kept, anything else '?'). `what` names the string in a
    // refusal; it is only built for one.
    template <typename What>
    bool string_at(uint64_t addr, unsigned unit, size_t max, std::string& out, const What& what) {
        out.clear();
        uint8_t piece[256];
        size_t units = 0;
        while (units < max) {
            const uint64_t at = addr + units * unit;
            if (at < addr || (!c.x64 && at >= 0x100000000))
                return refuse(what() + " at " + hex(addr) + " runs past the end of the address space");
            const size_t want = std::min(sizeof piece / unit, max - units) * unit;
            std::string why;
            const size_t got = std::min(c.read(at, want, piece, why), want);
            for (size_t k = 0; k + unit <= got; k += unit) {
                const unsigned ch = unit == 1 ? piece[k] : unsigned(piece[k]) | unsigned(piece[k + 1]) << 8;
                if (ch == 0) return true;
                out.push_back(ch < 0x100 ? char(ch) : '?');
                if (++units == max) return true;
            }
            if (got < want) {
                const uint64_t stop = at + got;
                std::string msg = what();
                msg += " at ";
                msg += hex(addr);
                if (stop == addr) {
                    msg += " lies in ";
                    msg += why;
                    return refuse(msg);
                }
                msg += " runs into ";
                msg += why;
                msg += " at ";
                msg += hex(stop);
                msg += " before its terminating NUL";
                return refuse(msg);
            }
        }
        return true;
    }

    // Pads `prefix` + `body` to the width: with zeros after the prefix
    // when asked (and allowed), else with spaces on the side away from
    // the justification.
    void emit(std::string_view prefix, std::string_view body, const Conversion& s, bool zero_ok) {
        const size_t len = prefix.size() + body.size();
        const size_t fill = s.width > len ? s.width - len : 0;
        if (s.left) {
            put(prefix);
            put(body);
            pad(' ', fill);
        } else if (s.zero && zero_ok) {
            put(prefix);
            pad('0', fill);
            put(body);
        } else {
            pad(' ', fill);
            put(prefix);
            put(body);
        }
    }

    void number(uint64_t v, unsigned bits, bool is_signed, char conv, const Conversion& s) {
        bool negative = false;
        uint64_t mag = v;
        if (is_signed && bits < 64 && (v >> (bits - 1)) & 1) mag = v | ~((uint64_t(1) << bits) - 1);
        if (is_signed && int64_t(mag) < 0) {
            negative = true;
            mag = 0 - mag;
        }
        const unsigned base = conv == 'o' ? 8 : (conv == 'x' || conv == 'X') ? 16 : 10;
        const char* digits = conv == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
        std::string body;
        if (!(s.has_precision && s.precision == 0 && mag == 0)) {
            do {
                body.push_back(digits[mag % base]);
                mag /= base;
            } while (mag);
        }
        std::reverse(body.begin(), body.end());
        if (s.has_precision && s.precision > body.size())
            body.insert(0, std::min(s.precision, dbg_print_max) - body.size(), '0');
        std::string prefix;
        if (negative)
            prefix = "-";
        else if (is_signed && s.plus)
            prefix = "+";
        else if (is_signed && s.space)
            prefix = " ";
        if (s.alt && v != 0 && base == 16) prefix += conv == 'X' ? "0X" : "0x";
        if (s.alt && base == 8 && (body.empty() || body[0] != '0')) body.insert(0, 1, '0');
        emit(prefix, body, s, !s.has_precision);
    }

    bool conversion(std::string_view format, size_t& i) {
        const size_t from = i++;  // at the '%'
        Conversion s;
        for (; i < format.size(); ++i) {
            const char f = format[i];
            if (f == '-')
                s.left = true;
            else if (f == '+')
                s.plus = true;
            else if (f == ' ')
                s.space = true;
            else if (f == '#')
                s.alt = true;
            else if (f == '0')
                s.zero = true;
            else
                break;
        }
        auto conv_text = [&] { return format.substr(from, std::min(i + 1, format.size()) - from); };
        auto count = [&](size_t& n, bool& negative) -> bool {
            n = 0;
            negative = false;
            if (i < format.size() && format[i] == '*') {
                ++i;
                uint64_t v = 0;
                if (!slot(next++, v, "*")) return false;
                const int32_t x = int32_t(uint32_t(v));
                negative = x < 0;
                n = std::min<size_t>(negative ? 0 - size_t(int64_t(x)) : size_t(x), width_cap);
                return true;
            }
            while (i < format.size() && format[i] >= '0' && format[i] <= '9')
                n = std::min(n * 10 + size_t(format[i++] - '0'), width_cap);
            return true;
        };
        bool negative = false;
        if (!count(s.width, negative)) return false;
        if (negative) s.left = true;  // a negative '*' width left-justifies
        if (i < format.size() && format[i] == '.') {
            ++i;
            if (!count(s.precision, negative)) return false;
            s.has_precision = !negative;  // a negative '*' precision is none
        }
        if (format.substr(i, 3) == "I64")
            s.size = Size::i64, i += 3;
        else if (format.substr(i, 3) == "I32")
            s.size = Size::i32, i += 3;
        else if (format.substr(i, 2) == "ll")
            s.size = Size::ll, i += 2;
        else if (format.substr(i, 2) == "hh")
            s.size = Size::hh, i += 2;
        else if (i < format.size() && format[i] == 'I')
            s.size = Size::ptr, ++i;
        else if (i < format.size() && format[i] == 'l')
            s.size = Size::l, ++i;
        else if (i < format.size() && format[i] == 'h')
            s.size = Size::h, ++i;
        else if (i < format.size() && format[i] == 'w')
            s.size = Size::w, ++i;
        if (i >= format.size())
            return refuse("with an incomplete conversion '" + printable(conv_text()) + "' at the end of its format");
        const char conv = format[i];
        const unsigned ptr_bits = c.x64 ? 64 : 32;
        auto int_bits = [&] {
            switch (s.size) {
            case Size::hh: return 8u;
            case Size::h: return 16u;
            case Size::ll:
            case Size::i64: return 64u;
            case Size::ptr: return ptr_bits;
            default: return 32u;
            }
        };
        uint64_t v = 0;
        switch (conv) {
        case 'd':
        case 'i':
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            if (!integer_arg(int_bits(), v, conv_text())) return false;
            number(v, int_bits(), conv == 'd' || conv == 'i', conv, s);
            return true;
        case 'p': {
            if (!integer_arg(ptr_bits, v, conv_text())) return false;
            if (!s.has_precision) s.has_precision = true, s.precision = ptr_bits / 4;
            number(v, ptr_bits, false, 'X', s);
            return true;
        }
        case 'c':
        case 'C': {
            if (!slot(next++, v, conv_text())) return false;
            // %c of a narrow printf is a byte; %C, %lc and %wc a wide character.
            const bool wide = s.size == Size::l || s.size == Size::w || (conv == 'C' && s.size != Size::h);
            const unsigned ch = wide ? unsigned(v & 0xffff) : unsigned(v & 0xff);
            const char one = ch < 0x100 ? char(ch) : '?';
            emit("", std::string_view(&one, 1), s, true);
            return true;
        }
        case 's':
        case 'S': {
            if (!slot(next++, v, conv_text())) return false;
            // %s of a narrow printf is narrow; %S, %ls and %ws wide.
            const bool wide = s.size == Size::l || s.size == Size::w || (conv == 'S' && s.size != Size::h);
            if (!c.x64) v &= 0xffffffff;
            std::string str;
            if (v == 0)
                str = "(null)";  // as the kernel's printf prints a NULL string
            else {
                // With a precision the kernel reads at most that many
                // characters; without one it reads the string to its NUL
                // (and faults where there is none before unmapped memory),
                // however little of it fits the line.
                const size_t arg = next;
                auto what = [&] {
                    return "with a '" + printable(conv_text()) + "' argument (argument " + std::to_string(arg) + ")";
                };
                if (s.has_precision) {
                    if (!string_at(v, wide ? 2 : 1, std::min(s.precision, room()), str, what)) return false;
                } else {
                    if (!string_at(v, wide ? 2 : 1, dbg_string_max + 1, str, what)) return false;
                    if (str.size() > dbg_string_max)
                        return refuse(what() + " at " + hex(v) + " has no terminating NUL in its first " +
                                      std::to_string(dbg_string_max) + " characters");
                }
            }
            if (s.has_precision && str.size() > s.precision) str.resize(s.precision);
            emit("", str, s, true);
            return true;
        }
        case '%': put("%"); return true;
        case 'n': return refuse("with the conversion '" + printable(conv_text()) + "', which writes to memory");
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            return refuse("with the floating-point conversion '" + printable(conv_text()) +
                          "', which the runner does not format");
        case 'Z':
            return refuse("with the counted-string conversion '" + printable(conv_text()) +
                          "', which the runner does not format");
        default:
            return refuse("with the conversion '" + printable(conv_text()) + "', which the runner does not format");
        }
    }
};

}  // namespace

DbgPrinted format_dbg_print(const DbgPrintCall& call) {
    Formatter f{call, 3, {}, {}};
    DbgPrinted out;
    uint64_t at = 0;
    if (f.slot(2, at, "")) {
        if (!call.x64) at &= 0xffffffff;
        std::string format;
        if (at == 0)
            f.refuse("with a NULL format");
        else if (f.string_at(at, 1, dbg_format_max + 1, format, [] { return std::string("with a format"); })) {
            if (format.size() > dbg_format_max)
                f.refuse("with a format of more than " + std::to_string(dbg_format_max) + " bytes at " + hex(at));
            else
                for (size_t i = 0; i < format.size() && f.room() > 0 && f.refusal.empty();) {
                    if (format[i] != '%')
                        f.text.push_back(format[i++]);
                    else if (f.conversion(format, i))
                        ++i;
                }
        }
    }
    out.text = std::move(f.text);
    out.refusal = std::move(f.refusal);
    if (!out.refusal.empty()) out.text.clear();
    return out;
}

}  // namespace tov::sim::image
