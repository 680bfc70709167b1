// SPDX-License-Identifier: Apache-2.0
#include "platform/diag_line.h"

namespace tov::platform::diag {
namespace {

// Appends to a line and never overflows it: room is kept for the object's
// closing characters, the newline and the NUL.
class Writer {
public:
    explicit Writer(Line& l) : l_(l) { l_.len = 0; }

    void put(char c) {
        if (l_.len + reserve_ < line_max) l_.text[l_.len++] = c;
    }
    void put(const char* s) {
        while (*s) put(*s++);
    }
    // One character of a JSON string, escaped as a whole or not at all, so
    // that a cut string still ends in valid JSON. Inlined: a number's digits
    // are written with no frame above the number's, deep in a trace.
    [[gnu::always_inline]] void json(char c) {
        static constexpr char hex[] = "0123456789abcdef";
        const unsigned char u = static_cast<unsigned char>(c);
        char e[6];
        size_t k = 0;
        if (c == '"' || c == '\\') {
            e[k++] = '\\';
            e[k++] = c;
        } else if (c == '\n' || c == '\r' || c == '\t') {
            e[k++] = '\\';
            e[k++] = c == '\n' ? 'n' : c == '\r' ? 'r' : 't';
        } else if (u < 0x20 || u >= 0x7f) {
            e[k++] = '\\';
            e[k++] = 'u';
            e[k++] = '0';
            e[k++] = '0';
            e[k++] = hex[u >> 4];
            e[k++] = hex[u & 15];
        } else {
            e[k++] = c;
        }
        if (full_ || l_.len + k + reserve_ >= line_max) {
            full_ = true;
            return;
        }
        for (size_t i = 0; i < k; ++i) l_.text[l_.len++] = e[i];
    }
    // Ends the object: the room kept for it is released.
    void end(const char* closing) {
        reserve_ = 2;  // newline and NUL
        put(closing);
        l_.text[l_.len++] = '\n';
        l_.text[l_.len] = '\0';
    }

private:
    Line& l_;
    size_t reserve_ = 8;  // `"}` and `]}` closings, newline, NUL, and slack
    bool full_ = false;   // a string was cut: nothing more of it
};

void begin(Writer& w, const char* ev) {
    w.put(prefix);
    w.put("{\"ev\":\"");
    w.put(ev);
    w.put('"');
}

// One conversion of a trace message's format: width, zero padding, radix.
void number(Writer& w, uint32_t v, bool negative, unsigned radix, bool upper, unsigned width, bool zero) {
    char digits[12];
    unsigned n = 0;
    do {
        const unsigned d = v % radix;
        digits[n++] = static_cast<char>(d < 10 ? '0' + d : (upper ? 'A' : 'a') + d - 10);
        v /= radix;
    } while (v != 0);
    const unsigned len = n + (negative ? 1 : 0);
    if (negative && zero) w.json('-');
    for (unsigned i = len; i < width; ++i) w.json(zero ? '0' : ' ');
    if (negative && !zero) w.json('-');
    while (n > 0) w.json(digits[--n]);
}

}  // namespace

void format_message(uintptr_t reg_base, uint32_t seq, const char* f, __builtin_va_list args, Line& out) {
    Writer w(out);
    begin(w, "trace");
    w.put(",\"call\":\"");
    number(w, tag(reg_base), false, 16, false, 0, false);
    w.put("\",\"seq\":");
    number(w, seq, false, 10, false, 0, false);
    w.put(",\"msg\":\"");
    while (*f) {
        if (*f != '%') {
            w.json(*f++);
            continue;
        }
        const char* conversion = f++;
        const bool zero = *f == '0';
        if (zero) ++f;
        unsigned width = 0;
        while (*f >= '0' && *f <= '9' && width < 100) width = width * 10 + static_cast<unsigned>(*f++ - '0');
        if (*f == 'l') ++f;
        switch (*f) {
        case 'd':
        case 'i': {
            const int32_t v = __builtin_va_arg(args, int32_t);
            number(w, v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v), v < 0, 10, false, width, zero);
            break;
        }
        case 'u': number(w, __builtin_va_arg(args, uint32_t), false, 10, false, width, zero); break;
        case 'x': number(w, __builtin_va_arg(args, uint32_t), false, 16, false, width, zero); break;
        case 'X': number(w, __builtin_va_arg(args, uint32_t), false, 16, true, width, zero); break;
        case 'c': w.json(static_cast<char>(__builtin_va_arg(args, int))); break;
        case 's': {
            const char* s = __builtin_va_arg(args, const char*);
            for (s = s ? s : "(null)"; *s; ++s) w.json(*s);
            break;
        }
        case '%': w.json('%'); break;
        default:
            // Not a conversion this library uses: shown as written.
            while (conversion <= f && *conversion) w.json(*conversion++);
            if (*f == '\0') --f;
            break;
        }
        ++f;
    }
    w.end("\"}");
}

}  // namespace tov::platform::diag
