// SPDX-License-Identifier: Apache-2.0
// DbgPrintEx's formatting against the C library's printf, on a memory of
// its own: x86 (arguments in 32-bit stack slots, a 64-bit one in two) and
// x64 (four in registers, the rest above the shadow space). What the kernel
// prints its own way (wide strings, %p, I64) and what the runner refuses
// (each refusal naming what really happened) are checked by hand.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "sim/image/dbg_format.h"

namespace tov::sim::image::dbg_format_test {
namespace {

// A flat memory: one mapped range holding the stack and the strings, with
// an unmapped hole in it, a stand-in for the chip's register block,
// nothing else: the reader refuses the chip as the runner's does.
struct Memory {
    static constexpr uint64_t base = 0x80e00000, size = 0x4000;
    static constexpr uint64_t chip = 0x10000000, chip_size = 0x10000;
    static constexpr uint64_t hole = base + 0x1000, hole_size = 0x1000;
    std::vector<uint8_t> bytes = std::vector<uint8_t>(size, 0);
    uint64_t next_string = base + 0x2000;
    bool x64 = false;
    std::vector<uint64_t> slots;  // argument slots from ComponentId on

    explicit Memory(bool wide) : x64(wide) {}

    uint64_t put_bytes(const void* data, size_t n) {
        const uint64_t at = next_string;
        std::memcpy(&bytes[at - base], data, n);
        next_string += (n + 15) / 16 * 16 + 16;
        return at;
    }
    uint64_t put(const std::string& s) { return put_bytes(s.c_str(), s.size() + 1); }
    uint64_t put_wide(const std::u16string& s) { return put_bytes(s.c_str(), 2 * (s.size() + 1)); }

    // The stack pointer of the call: the return address there, the slots
    // above it (x64: from the fifth on, past 32 bytes of shadow space),
    // and the last slot right below the end of the mapped range, so that
    // one more lies in unmapped memory.
    DbgPrintCall call() {
        const uint64_t slot = x64 ? 8 : 4;
        DbgPrintCall c;
        c.x64 = x64;
        const size_t on_stack = x64 ? std::max<size_t>(slots.size(), 4) : slots.size();
        c.sp = base + size - slot * (on_stack + 1);
        for (size_t i = 0; i < slots.size(); ++i) {
            if (x64 && i < 4) c.regs[i] = slots[i];
            std::memcpy(&bytes[c.sp + slot * (i + 1) - base], &slots[i], slot);
        }
        c.read = [this](uint64_t addr, size_t n, uint8_t* out, std::string& why) -> size_t {
            size_t done = 0;
            for (; done < n; ++done) {
                const uint64_t a = addr + done;
                if (a >= chip && a < chip + chip_size) {
                    why = "the register block";
                    break;
                }
                if (a < base || a >= base + size || (a >= hole && a < hole + hole_size)) {
                    why = "unmapped memory";
                    break;
                }
                out[done] = bytes[a - base];
            }
            return done;
        };
        return c;
    }
};

DbgPrinted print(bool x64, const std::string& format, std::vector<uint64_t> args, Memory* mem = nullptr) {
    Memory own(x64);
    Memory& m = mem ? *mem : own;
    m.slots = {0x4d, 3, m.put(format)};
    m.slots.insert(m.slots.end(), args.begin(), args.end());
    return format_dbg_print(m.call());
}

std::string c_printf(const char* fmt, auto... args) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

class DbgFormat : public ::testing::TestWithParam<bool> {};

// Every flag, width and precision the image may give an integer or a
// string, on the values at the edges of each size, as printf prints them.
TEST_P(DbgFormat, NumbersAndStringsAsPrintfPrintsThem) {
    const bool x64 = GetParam();
    const char* int_formats[] = {"%d",    "%i",    "%u",  "%x",   "%X",   "%o",   "%5d|", "%-5d|",
                                 "%05d",  "%+d",   "% d", "%.3d", "%.0d", "%#x",  "%#o",  "%08X",
                                 "%-08x", "%+.4i", "%hd", "%hu",  "%hx",  "%hhx", "%hhd", "%12.8x|"};
    const int64_t values[] = {0, 1, -1, 7, 255, 256, 65535, 65536, INT_MAX, INT_MIN, 0x12345678, -0x1234};
    for (const char* f : int_formats)
        for (const int64_t v : values) {
            const DbgPrinted p = print(x64, f, {uint64_t(uint32_t(int32_t(v)))});
            EXPECT_EQ(p.refusal, "") << f << " " << v;
            EXPECT_EQ(p.text, c_printf(f, int(v))) << f << " " << v << (x64 ? " x64" : " x86");
        }
    // 64-bit conversions: two slots on x86, low word first; one on x64.
    const int64_t wide_values[] = {0, -1, INT64_MIN, INT64_MAX, 0x123456789abcdef0, 0x100000000};
    for (const auto& [ours, theirs] : {std::pair{"%I64d", "%lld"}, std::pair{"%I64x", "%llx"},
                                       std::pair{"%llu", "%llu"}, std::pair{"%020lld", "%020lld"}})
        for (const int64_t v : wide_values) {
            const std::vector<uint64_t> args = x64 ? std::vector<uint64_t>{uint64_t(v)}
                                                   : std::vector<uint64_t>{uint64_t(v) & 0xffffffff, uint64_t(v) >> 32};
            const DbgPrinted p = print(x64, std::string(ours) + "|%d", [&] {
                std::vector<uint64_t> a = args;
                a.push_back(42);  // the slot after it is the next argument
                return a;
            }());
            EXPECT_EQ(p.text, c_printf((std::string(theirs) + "|%d").c_str(), (long long)v, 42)) << ours << " " << v;
        }
    const char* str_formats[] = {"%s", "%10s|", "%-10s|", "%.2s", "%.0s|", "%3.1s|", "[%s][%s]"};
    for (const char* f : str_formats)
        for (const std::string s : {"", "a", "hello", "exactly ten"}) {
            Memory m(x64);
            const uint64_t at = m.put(s);
            const DbgPrinted p = print(x64, f, {at, at}, &m);
            EXPECT_EQ(p.text, c_printf(f, s.c_str(), s.c_str())) << f << " '" << s << "'";
        }
    // A width or precision from the arguments, a negative one too.
    for (const int w : {0, 3, -3, 12, -12}) {
        EXPECT_EQ(print(x64, "%*d|", {uint64_t(uint32_t(w)), 42}).text, c_printf("%*d|", w, 42)) << w;
        Memory m(x64);
        const uint64_t at = m.put("abcdef");
        EXPECT_EQ(print(x64, "%.*s|", {uint64_t(uint32_t(w)), at}, &m).text, c_printf("%.*s|", w, "abcdef")) << w;
    }
    EXPECT_EQ(print(x64, "%c%c%%", {'o', 0x14b}).text, "oK%");
    // A long is 32 bits on Windows, x64 too.
    EXPECT_EQ(print(x64, "%ld %lx", {0xffffffff, 0x1ffffffff}).text, "-1 ffffffff");
    EXPECT_EQ(print(x64, "%s", {0}).text, "(null)");
}

// Wide strings and characters, %p and the kernel's size prefixes.
TEST_P(DbgFormat, TheKernelsOwnConversions) {
    const bool x64 = GetParam();
    Memory m(x64);
    const uint64_t ab = m.put_wide(u"AB"), accented = m.put_wide(u"caf\u00e9 \u20ac");
    for (const char* f : {"%ls", "%ws", "%S"}) EXPECT_EQ(print(x64, f, {ab}, &m).text, "AB") << f;
    EXPECT_EQ(print(x64, "%hs|%hS", {m.put("n"), m.put("m")}, &m).text, "n|m");
    EXPECT_EQ(print(x64, "[%5ls][%-4S][%.1ws]", {ab, ab, ab}, &m).text, "[   AB][AB  ][A]");
    // Latin-1 kept as its byte; anything beyond becomes '?'.
    EXPECT_EQ(print(x64, "%ls", {accented}, &m).text, "caf\xe9 ?");
    EXPECT_EQ(print(x64, "%C%lc%wc", {'A', 'B', 0x263a}).text, "AB?");
    EXPECT_EQ(print(x64, "%ls", {0}).text, "(null)");
    // %p: the pointer's width in upper-case hex digits.
    EXPECT_EQ(print(x64, "%p", {0xabc}).text, x64 ? "0000000000000ABC" : "00000ABC");
    EXPECT_EQ(print(x64, "%Ix", {x64 ? 0x123456789u : 0x12345678u}).text, x64 ? "123456789" : "12345678");
    EXPECT_EQ(print(x64, "%I32x", {0xfedcba98}).text, "fedcba98");
    EXPECT_EQ(print(x64, "%99s", {m.put("x")}, &m).text, std::string(98, ' ') + "x");
    // The line stops at 512 bytes; an enormous width costs no more.
    EXPECT_EQ(print(x64, "%999999999999d!", {1}).text.size(), dbg_print_max);
    EXPECT_EQ(print(x64, "%600s", {m.put("y")}, &m).text, std::string(dbg_print_max, ' '));
    // A precision bounds what is read: no NUL needed within it, before the
    // hole or not.
    Memory f(x64);
    std::memset(&f.bytes[0], 'z', Memory::hole - Memory::base);
    EXPECT_EQ(print(x64, "%.3s|", {Memory::hole - 3}, &f).text, "zzz|");
    // A string longer than the line: read to its NUL, the line cut at 512.
    const uint64_t long_string = f.put(std::string(3000, 'q'));
    EXPECT_EQ(print(x64, "%s", {long_string}, &f).text, std::string(dbg_print_max, 'q'));
    // A %c of 0 puts a NUL into the line; the runner keeps the text up to it.
    const DbgPrinted nul = print(x64, "ab%cc", {0}, &f);
    EXPECT_EQ(std::string(nul.text.c_str()), "ab");
}

struct Refusal {
    const char* name;
    std::function<DbgPrinted(bool x64, Memory&)> make;
    std::string expected;  // part of the one line
};
void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

const Refusal refusals[] = {
    {"null_format",
     [](bool, Memory& m) {
         m.slots = {0, 0, 0};
         return format_dbg_print(m.call());
     },
     "DbgPrintEx with a NULL format"},
    {"format_into_unmapped_memory",
     [](bool, Memory& m) {
         // "ok" and no NUL before the hole.
         m.bytes[Memory::hole - Memory::base - 2] = 'o';
         m.bytes[Memory::hole - Memory::base - 1] = 'k';
         m.slots = {0, 0, Memory::hole - 2};
         return format_dbg_print(m.call());
     },
     "with a format at 0x80e00ffe runs into unmapped memory at 0x80e01000 before its terminating NUL"},
    {"format_at_unmapped_address",
     [](bool, Memory& m) {
         m.slots = {0, 0, 0x1234};
         return format_dbg_print(m.call());
     },
     "with a format at 0x1234 lies in unmapped memory"},
    {"format_too_long", [](bool x64, Memory& m) { return print(x64, std::string(600, 'a'), {}, &m); },
     "with a format of more than 512 bytes"},
    // A string with no NUL before unmapped memory: 4 KiB of 'x' up to the
    // hole. The kernel reads to the NUL even when the line has no room left.
    {"string_without_its_nul",
     [](bool x64, Memory& m) {
         std::memset(&m.bytes[0], 'x', Memory::hole - Memory::base);
         return print(x64, "%s", {Memory::base}, &m);
     },
     "with a '%s' argument (argument 4) at 0x80e00000 runs into unmapped memory at 0x80e01000 before its "
     "terminating NUL"},
    {"wide_string_without_its_nul",
     [](bool x64, Memory& m) {
         std::memset(&m.bytes[0], 'x', Memory::hole - Memory::base);
         return print(x64, "%ls", {Memory::base + 0x100}, &m);
     },
     "with a '%ls' argument (argument 4) at 0x80e00100 runs into unmapped memory at 0x80e01000"},
    {"string_at_unmapped_address", [](bool x64, Memory& m) { return print(x64, "%s", {0x5000}, &m); },
     "with a '%s' argument (argument 4) at 0x5000 lies in unmapped memory"},
    {"string_in_the_register_block",
     [](bool x64, Memory& m) { return print(x64, "ab %s", {Memory::chip + 0x800}, &m); },
     "with a '%s' argument (argument 4) at 0x10000800 lies in the register block"},
    {"wide_string_in_the_register_block",
     [](bool x64, Memory& m) { return print(x64, "%ls", {Memory::chip + 0x10}, &m); },
     "with a '%ls' argument (argument 4) at 0x10000010 lies in the register block"},
    {"format_in_the_register_block",
     [](bool, Memory& m) {
         m.slots = {0, 0, Memory::chip};
         return format_dbg_print(m.call());
     },
     "with a format at 0x10000000 lies in the register block"},
    {"more_conversions_than_arguments",
     [](bool x64, Memory& m) {
         return print(x64, "%x %x %x %x %x %x %x", {1, 2}, &m);
     },
     "for '%x') at 0x80e04000 in unmapped memory: more conversions than the caller's stack holds arguments"},
    {"writes_to_memory", [](bool x64, Memory& m) { return print(x64, "a%n", {0}, &m); }, "'%n', which writes"},
    {"floating_point", [](bool x64, Memory& m) { return print(x64, "%5.2f", {0}, &m); },
     "the floating-point conversion '%5.2f'"},
    {"counted_string", [](bool x64, Memory& m) { return print(x64, "%wZ", {0}, &m); }, "conversion '%wZ'"},
    {"unknown_conversion", [](bool x64, Memory& m) { return print(x64, "%q", {0}, &m); },
     "the conversion '%q', which the runner does not format"},
    {"control_byte_conversion", [](bool x64, Memory& m) { return print(x64, "%\x1b", {0}, &m); },
     "the conversion '%\\x1b'"},
    {"lone_percent", [](bool x64, Memory& m) { return print(x64, "50%", {}, &m); }, "incomplete conversion '%'"},
};

class DbgFormatRefusal : public ::testing::TestWithParam<std::tuple<Refusal, bool>> {};

TEST_P(DbgFormatRefusal, IsOnePrintableLine) {
    const auto& [r, x64] = GetParam();
    Memory m(x64);
    const DbgPrinted p = r.make(x64, m);
    EXPECT_EQ(p.text, "");
    EXPECT_NE(p.refusal.find(r.expected), std::string::npos) << p.refusal;
    EXPECT_EQ(p.refusal.rfind("DbgPrintEx ", 0), 0u) << p.refusal;
    for (const char ch : p.refusal) EXPECT_TRUE(ch >= 0x20 && ch < 0x7f) << p.refusal;
}

INSTANTIATE_TEST_SUITE_P(Both, DbgFormat, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "x64" : "x86"); });
INSTANTIATE_TEST_SUITE_P(Both, DbgFormatRefusal, ::testing::Combine(::testing::ValuesIn(refusals), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_x64" : "_x86");
                         });

}  // namespace
}  // namespace tov::sim::image::dbg_format_test
