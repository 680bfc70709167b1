// SPDX-License-Identifier: Apache-2.0
// Diagnostic images made by an attacker: tov_mem_init replaced by code that
// calls DbgPrintEx with formats and arguments of its choosing, or loops.
// Each is refused in one printable line without touching the chip, in
// bounded memory and time; through tovmem the refusal is one line and
// status 2, a closed pipe ends the tool quietly, the printed bytes never
// reach the terminal raw, and a killed tool leaves no emulator behind.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "sim/image/contain.h"
#include "sim/image/image_runner.h"
#include "tests/kernel_builds.h"
#include "tests/patched_image.h"
#include "tests/tovmem_process.h"

namespace tov::sim::image::hostile_print_test {
namespace {

using test::expect_refused;
using test::lines;
using test::Outcome;
using test::run_shell;
using test::run_tovmem;
using test::TempFile;

constexpr uint32_t base = uint32_t(default_image_base);

// 32-bit x86 code, as bytes.
struct X86 {
    std::vector<uint8_t> b;
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
    }
    void push(uint32_t v) {
        b.push_back(0x68);
        u32(v);
    }
    // DbgPrintEx(0, 0, format, args...) through the import address table,
    // cdecl: the caller pops.
    void print(uint32_t iat, uint32_t format, const std::vector<uint32_t>& args = {}) {
        for (auto it = args.rbegin(); it != args.rend(); ++it) push(*it);
        push(format);
        push(0);
        push(0);
        b.insert(b.end(), {0xff, 0x15});  // call [iat]
        u32(iat);
        b.insert(b.end(), {0x81, 0xc4});  // add esp, n
        u32(uint32_t(4 * (args.size() + 3)));
    }
    void load(uint32_t addr) {  // mov eax, [addr]
        b.push_back(0xa1);
        u32(addr);
    }
    void jmp(size_t to) {  // jmp rel32
        b.push_back(0xe9);
        u32(uint32_t(int32_t(to) - int32_t(b.size() + 4)));
    }
    // dec dword [counter]; jnz to
    void loop_while(uint32_t counter, size_t to) {
        b.insert(b.end(), {0xff, 0x0d});
        u32(counter);
        b.insert(b.end(), {0x0f, 0x85});
        u32(uint32_t(int32_t(to) - int32_t(b.size() + 4)));
    }
    void return_zero() { b.insert(b.end(), {0x31, 0xc0, 0xc2, 0x04, 0x00}); }  // xor eax, eax; ret 4
};

// The x86 diagnostic image with tov_mem_init jumping to code of the test's
// own (a section of at most a page, placed at SizeOfImage), its strings in
// a data section after it, the last one: the page after its data is
// unmapped. Loaded at the default base, where the absolute addresses hold.
struct Crafted {
    static constexpr uint32_t code_max = 0x1000;
    Patched p;
    uint32_t code_rva = 0, data_rva = 0, iat = 0, init = 0;
    std::vector<uint8_t> data;
    X86 code;

    Crafted() {
        p.file = test::file_bytes(TOV_DIAG_IMAGE);
        const uint32_t align = p.read32(p.optional_header() + 32);
        code_rva = p.read32(p.optional_header() + 56);  // SizeOfImage
        data_rva = code_rva + (code_max + align - 1) / align * align;
        const LoadedImage li = load_image(p.file, default_image_base);
        init = li.exports.at("tov_mem_init");
        for (const Import& imp : li.imports)
            if (imp.name == "DbgPrintEx") iat = base + imp.iat_rva;
        EXPECT_NE(iat, 0u) << "no DbgPrintEx import";
    }
    uint32_t bytes(const void* s, size_t n) {
        const uint32_t at = base + data_rva + uint32_t(data.size());
        const auto* c = static_cast<const uint8_t*>(s);
        data.insert(data.end(), c, c + n);
        data.resize((data.size() + 15) / 16 * 16, 0);
        return at;
    }
    uint32_t str(const std::string& s) { return bytes(s.c_str(), s.size() + 1); }
    uint32_t wide(const std::u16string& s) { return bytes(s.c_str(), 2 * (s.size() + 1)); }
    uint32_t word(uint32_t v) { return bytes(&v, 4); }

    std::vector<uint8_t> file() {
        if (data.empty()) str("");
        EXPECT_LE(code.b.size(), code_max);
        code.b.resize(code_max, 0xcc);
        EXPECT_EQ(p.add_section(".hcode", code.b, 0x60000020), code_rva);
        EXPECT_EQ(p.add_section(".hdata", data), data_rva);
        std::vector<uint8_t> jump = {0xe9, 0, 0, 0, 0};
        const uint32_t rel = code_rva - (init + 5);
        std::memcpy(&jump[1], &rel, 4);
        p.code(init, jump);
        p.fix_checksum();
        return p.file;
    }
};

bool printable_line(const std::string& s) {
    for (const char c : s)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

class HostilePrint : public ::testing::Test {
protected:
    void SetUp() override { TOV_REQUIRE_BUILD(TOV_DIAG_IMAGE); }
};

// tov_mem_init of a crafted image on a chip of the test's own: the one
// line, and the bus events the call made.
struct Called {
    std::string error;
    size_t events = 0;
};
Called call(const std::vector<uint8_t>& file, const RunnerOptions& opts = {}) {
    Called c;
    ImageRunner runner(file, opts);
    Simulator chip;
    try {
        runner.call(Entry::tov_mem_init, {0}, &chip);
    } catch (const ImageError& e) {
        c.error = e.what();
    }
    c.events = chip.events().size();
    return c;
}

struct PrintCase {
    const char* name;
    std::function<void(Crafted&)> make;
    std::string expected;  // part of the one line
};

// A string, a format or an argument slot in the register block or the aux
// region is refused without a bus event; every other DbgPrintEx the runner
// cannot format ends the call in one line naming what happened.
TEST_F(HostilePrint, RefusedInOneLineWithoutBusTraffic) {
    const uint32_t regs = uint32_t(Simulator::reg_base), aux = uint32_t(Simulator::aux_base);
    const PrintCase cases[] = {
        {"string_in_the_register_block", [&](Crafted& c) { c.code.print(c.iat, c.str("value %s"), {regs + 0x800}); },
         "DbgPrintEx with a '%s' argument (argument 4) at 0x10000800 lies in the register block"},
        {"wide_string_in_the_aux_region", [&](Crafted& c) { c.code.print(c.iat, c.str("%ls"), {aux}); },
         "at 0x20000000 lies in the aux region"},
        {"format_in_the_register_block", [&](Crafted& c) { c.code.print(c.iat, regs + 0x10); },
         "DbgPrintEx with a format at 0x10000010 lies in the register block"},
        // More conversions than arguments: the slots run past the stack.
        {"more_conversions_than_arguments",
         [&](Crafted& c) {
             std::string f;
             for (int i = 0; i < 200; ++i) f += "%x";
             c.code.print(c.iat, c.str(f));
         },
         "more conversions than the caller's stack holds arguments"},
        {"null_format", [&](Crafted& c) { c.code.print(c.iat, 0); }, "DbgPrintEx with a NULL format"},
        {"string_at_an_unmapped_address", [&](Crafted& c) { c.code.print(c.iat, c.str("%s"), {0x1000}); },
         "at 0x1000 lies in unmapped memory (near address 0)"},
        {"format_into_unmapped_memory",
         [&](Crafted& c) {
             // The format's last bytes end the section's page without a NUL.
             c.data.assign(0x1000 - 3, 0);
             c.data.insert(c.data.end(), {'a', 'b', 'c'});
             c.code.print(c.iat, base + c.data_rva + 0x1000 - 3);
         },
         "runs into unmapped memory"},
        {"floating_point",
         [&](Crafted& c) {
             c.code.print(c.iat, c.str("%f"), {0, 0});
         },
         "the floating-point conversion '%f'"},
    };
    for (const PrintCase& pc : cases) {
        SCOPED_TRACE(pc.name);
        Crafted c;
        pc.make(c);
        c.code.return_zero();
        const Called r = call(c.file());
        EXPECT_NE(r.error.find(pc.expected), std::string::npos) << r.error;
        EXPECT_NE(r.error.find("in tov_mem_init)"), std::string::npos) << r.error;
        EXPECT_TRUE(printable_line(r.error)) << r.error;
        EXPECT_EQ(r.events, 0u) << "bus events the image never made";
    }
}

// Run in a child process: the one line, the growth of its resident memory
// and the wall time.
struct Measured {
    std::string error;
    long rss_growth_kib = -1;
    double seconds = 0;
};
Measured measure(const std::vector<uint8_t>& file, const RunnerOptions& opts) {
    const Contained k = contained([&] {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const auto t0 = std::chrono::steady_clock::now();
        std::string error = "(none)";
        try {
            ImageRunner runner(file, opts);
            RunRequest req;
            runner.run(req);
        } catch (const ImageError& e) {
            error = e.what();
        }
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        getrusage(RUSAGE_SELF, &after);
        std::fprintf(stderr, "%ld %.3f %s\n", after.ru_maxrss - before.ru_maxrss, s, error.c_str());
        return 0;
    });
    Measured m;
    EXPECT_TRUE(k.finished) << k.why;
    char text[1024] = {};
    if (std::sscanf(k.stderr_text.c_str(), "%ld %lf %1023[^\n]", &m.rss_growth_kib, &m.seconds, text) == 3)
        m.error = text;
    else
        ADD_FAILURE() << k.stderr_text;
    return m;
}

struct BoundCase {
    const char* name;
    std::function<void(Crafted&)> make;
    RunnerOptions opts;
    std::string expected;
};

// A call that never returns, printing or touching the chip as fast as it
// can, ends at the first bound it meets, far under 1 GiB and within 2.5 s
// of its wall-time bound.
TEST_F(HostilePrint, BoundedInMemoryAndTime) {
    using namespace std::chrono_literals;
    // The record bounds as set by default, or lower so that the sanitizer
    // build meets them in well under a second; the wall clock out of the way.
    RunnerOptions by_default{.max_wall = 60s};
    RunnerOptions fewer = by_default;
    fewer.max_events = 100'000;
    fewer.max_log_lines = 20'000;
    RunnerOptions short_wall{.max_instructions = uint64_t(1) << 62, .max_wall = 300ms};
    short_wall.max_log_lines = short_wall.max_log_bytes = size_t(1) << 40;
    const BoundCase cases[] = {
        {"printing_long_lines",
         [](Crafted& c) {
             c.code.print(c.iat, c.str("%500s\n"), {c.str("x")});
             c.code.jmp(0);
         },
         by_default, "the image printed more than 100000 lines or 8 MiB through DbgPrintEx in one call"},
        {"printing_empty_lines",
         [](Crafted& c) {
             c.code.print(c.iat, c.str(""));
             c.code.jmp(0);
         },
         fewer, "the image printed more than 20000 lines"},
        {"loading_a_register",
         [](Crafted& c) {
             c.code.load(uint32_t(Simulator::reg_base) + 0x800);
             c.code.jmp(0);
         },
         fewer, "more than 100000 bus events in one call"},
        // Only the wall clock stops these.
        {"spinning",
         [](Crafted& c) {
             c.code.b.insert(c.code.b.end(), {0x90});
             c.code.jmp(0);
         },
         short_wall, "ms of wall time"},
        {"formatting_at_length",
         [](Crafted& c) {
             std::string f;
             for (int i = 0; i < 60; ++i) f += "%-8.5s";
             const uint32_t s = c.str("abcdefgh");
             c.code.print(c.iat, c.str(f), std::vector<uint32_t>(60, s));
             c.code.jmp(0);
         },
         short_wall, "ms of wall time"},
    };
    for (const BoundCase& bc : cases) {
        SCOPED_TRACE(bc.name);
        Crafted c;
        bc.make(c);
        const Measured m = measure(c.file(), bc.opts);
        EXPECT_NE(m.error.find(bc.expected), std::string::npos) << m.error;
        EXPECT_TRUE(printable_line(m.error)) << m.error;
        EXPECT_LT(m.rss_growth_kib, 256 * 1024) << "KiB";
        EXPECT_LT(m.seconds, std::chrono::duration<double>(bc.opts.max_wall).count() + 2.5);
        std::printf("%s: %s; %.2f s, resident memory grew by %ld KiB\n", bc.name, m.error.c_str(), m.seconds,
                    m.rss_growth_kib);
    }
}

// A crafted image written where tovmem can read it.
struct ImageFile {
    TempFile f;
    explicit ImageFile(const std::vector<uint8_t>& bytes) {
        std::ofstream(f.path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

const std::string run_args = " --config 0x3000099 --clock 10";

// What tovmem makes of them: the '=' spelling takes the contained path;
// a refusal is one line and status 2; printed control bytes are escaped,
// wide strings and widths formatted as the kernel does; a closed pipe ends
// the tool quietly.
TEST_F(HostilePrint, ThroughTovmem) {
    {
        expect_refused("run --image=" + std::string(TOV_SOURCE_DIR) + "/tests/data/emulator_abort.sys" + run_args,
                       "the kernel image could not be run: the CPU emulator stopped");
    }
    {
        Crafted c;
        c.code.print(c.iat, c.str("%s"), {uint32_t(Simulator::reg_base)});
        c.code.return_zero();
        const ImageFile img(c.file());
        const Outcome o = expect_refused("run --image=" + img.f.path + run_args, "lies in the register block");
        EXPECT_FALSE(test::has(o.err, "signal")) << o.err;
        EXPECT_EQ(o.out, "");
    }
    {
        Crafted c;
        c.code.print(c.iat, c.str("\x1b[2J\a\b\r %ls|%99s|%-4d|\n"), {c.wide(u"AB"), c.str("w"), 7});
        c.code.print(c.iat, c.str("tab\there %c\n"), {0x9b});
        c.code.return_zero();
        const ImageFile img(c.file());
        const Outcome o = run_tovmem("run --image=" + img.f.path + run_args + " --format=log");
        EXPECT_EQ(o.status, 1) << o.err;  // the crafted call returns 0
        EXPECT_EQ(o.out, "\\x1b[2J\\x07\\x08\\x0d AB|" + std::string(98, ' ') + "w|7   |\ntab\\x09here \\x9b\n");
        EXPECT_EQ(o.err, "");
    }
    {
        // Some MiB of lines into a reader that takes one.
        Crafted c;
        const uint32_t counter = c.word(20000);
        const size_t top = c.code.b.size();
        c.code.print(c.iat, c.str("%300s\n"), {c.str("line")});
        c.code.loop_while(counter, top);
        c.code.return_zero();
        const ImageFile img(c.file());
        const Outcome o = run_shell("(" + std::string(TOVMEM_PATH) + " run --image " + img.f.path + run_args +
                                    " --format log | head -1)");
        EXPECT_EQ(lines(o.out).size(), 1u);
        EXPECT_EQ(o.err, "");
    }
}

// A killed tool takes its emulator with it: the child that runs the image
// (for some tenths of a second before its instruction bound) is gone within
// 0.2 s.
TEST_F(HostilePrint, KilledToolLeavesNoProcess) {
    Crafted c;
    c.code.jmp(0);
    const ImageFile img(c.file());
    const std::string script = std::string(TOVMEM_PATH) + " run --image " + img.f.path + run_args +
                               " >/dev/null 2>&1 & p=$!\n"
                               "c=; for i in $(seq 100); do c=$(cat /proc/$p/task/$p/children 2>/dev/null); c=${c%% "
                               "*}; [ -n \"$c\" ] && break; "
                               "sleep 0.02; done\n"
                               "kill -9 $p; wait $p 2>/dev/null\n"
                               "for i in $(seq 10); do s=$(awk '{print $3}' /proc/$c/stat 2>/dev/null); "
                               "case \"$s\" in ''|Z|X) echo \"gone $c\"; exit 0;; esac; sleep 0.02; done\n"
                               "echo \"alive $c\"; kill -9 $c\n";
    const Outcome o = run_shell("sh -c '" + [&] {
        std::string q;
        for (const char ch : script) q += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
        return q;
    }() + "'");
    EXPECT_TRUE(test::has(o.out, "gone ")) << o.out << o.err;
    EXPECT_FALSE(test::has(o.out, "gone \n")) << "no child seen: " << o.out;
}

}  // namespace
}  // namespace tov::sim::image::hostile_print_test
