// SPDX-License-Identifier: Apache-2.0
#include "tools/tovmem/cli.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>

#include "meminit/entry/config_table.h"
#include "meminit/hw/regs.h"
#ifndef TOV_NO_IMAGE_RUNNER
#include "sim/image/image_runner.h"
#endif
#include "sim/printable.h"
#include "tools/tovmem/analysis.h"

namespace tovmem {
namespace {
// A clock that moves less often than this is not a clock any system runs.
constexpr uint64_t max_clock_period = 1000 * 10000;
// A preemption of up to a minute; a command latency of up to a second.
constexpr uint64_t max_preemption = 60000 * 10000;
constexpr uint32_t max_cmd_latency_us = 1000000;
}  // namespace

using tov::sim::Event;
using tov::sim::EventKind;

void usage_fail(const std::string& msg) { throw UsageError{msg}; }

namespace {

// A number of at most `max`, decimal or 0x-hex, digits only.
uint64_t parse_unsigned(const std::string& what, const std::string& s, uint64_t max, const char* bits) {
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const size_t from = hex ? 2 : 0;
    uint64_t v = 0;
    // 16 hex digits or 20 decimal ones hold 2^64 - 1; a decimal step is
    // checked for overflow below.
    bool ok = s.size() > from && s.size() - from <= (hex ? 16u : 20u);
    for (size_t i = from; ok && i < s.size(); ++i) {
        const char c = s[i];
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else {
            ok = false;
            break;
        }
        const uint64_t base = hex ? 16 : 10;
        if (v > (~uint64_t(0) - d) / base) {
            ok = false;
            break;
        }
        v = v * base + d;
        ok = v <= max;
    }
    if (!ok) usage_fail(what + " expects a " + bits + " number (decimal or 0x-hex), not '" + s + "'");
    return v;
}

}  // namespace

uint32_t parse_u32(const std::string& what, const std::string& s) {
    return static_cast<uint32_t>(parse_unsigned(what, s, 0xffffffff, "32-bit"));
}

uint64_t parse_u64(const std::string& what, const std::string& s) {
    return parse_unsigned(what, s, ~uint64_t(0), "64-bit");
}

uint32_t parse_offset(const std::string& what, const std::string& s) {
    const uint32_t off = parse_u32(what, s);
    if (off % 4 != 0 || off >= tov::sim::Simulator::reg_span)
        usage_fail(what + " expects a register offset (a multiple of 4 below 0x10000), not '" + s + "'");
    return off;
}

uint64_t parse_ms(const std::string& what, const std::string& s) {
    // Whole milliseconds, then at most four decimals: 100 ns is the clock's unit.
    uint64_t units = 0;
    size_t i = 0, whole = 0, decimals = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9' && whole < 7; ++i, ++whole) units = units * 10 + (s[i] - '0');
    if (i < s.size() && s[i] == '.' && whole > 0)
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9' && decimals < 4; ++i, ++decimals)
            units = units * 10 + (s[i] - '0');
    if (whole == 0 || i != s.size() || s.back() == '.')
        usage_fail(what + " expects milliseconds with at most 4 decimals (such as 15.625), not '" + s + "'");
    for (; decimals < 4; ++decimals) units *= 10;
    return units;
}

std::pair<std::string, std::string> split_pair(const std::string& what, const std::string& s) {
    const size_t eq = s.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == s.size()) usage_fail(what + " expects A=B, not '" + s + "'");
    return {s.substr(0, eq), s.substr(eq + 1)};
}

namespace {
std::FILE* output = nullptr;  // standard output
}  // namespace

void set_output(std::FILE* f) { output = f; }

void out(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vfprintf(output ? output : stdout, fmt, ap);
    va_end(ap);
}

std::string strf(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    char buf[512];
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof buf) return std::string(buf, n);
    std::string big(n + 1, '\0');
    va_start(ap, fmt);
    std::vsnprintf(big.data(), big.size(), fmt, ap);
    va_end(ap);
    big.resize(n);
    return big;
}

std::string reg_name(uint32_t off) {
    const char* n = tov::reg::name_of(off);
    return n ? n : strf("R_%03x", off);
}

std::string reg_text(uint32_t off) {
    const char* n = tov::reg::name_of(off);
    return n ? strf("%s 0x%03x", n, off) : strf("register 0x%x", off);
}

std::string clock_text(uint32_t clock_index) {
    return clock_index <= 0xffff ? strf("%u", clock_index) : strf("0x%x", clock_index);
}

std::string reg_label(uint32_t off) { return strf("%-14s 0x%03x", reg_name(off).c_str(), off); }

double ms(uint64_t units) { return static_cast<double>(units) / 10000.0; }

std::string ms_text(uint64_t units) {
    std::string s = strf("%llu.%04llu", static_cast<unsigned long long>(units / 10000),
                         static_cast<unsigned long long>(units % 10000));
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string size_text(uint32_t bytes) {
    if (bytes % 0x100000 == 0) return strf("%u MiB", bytes / 0x100000);
    return strf("0x%x bytes", bytes);
}

void add_run_options(CLI::App& cmd, RunArgs& a, bool required) {
    auto add = [&](CLI::Option* o) {
        a.options.push_back(o);
        return o;
    };
    auto* config = add(cmd.add_option("--config", a.config, "configuration ID (config_id)")->type_name("ID"));
    auto* clock = add(cmd.add_option("--clock", a.clock, "memory clock selector (clock_index)")->type_name("N"));
    if (required) {
        config->required();
        clock->required();
    }
    auto* power = add(
        cmd.add_option("--power-mode", a.power_modes, "power mode, 0 to 3 (default 0; only the first family reads it)")
            ->type_name("N")
            ->allow_extra_args(false));
    // One run takes one power mode; check --all runs each one given.
    if (required) power->expected(1);
    add(cmd.add_flag("--no-aux", a.no_aux, "the caller maps no aux region: aux_base is 0")
            ->multi_option_policy(CLI::MultiOptionPolicy::Throw));
    const char* clock_group = "Interrupt-time clock";
    add(cmd.add_option("--clock-period", a.clock_period,
                       "the clock moves only every MS milliseconds, as Windows' does (15.625 by default there); "
                       "without it every reading is fresh")
            ->type_name("MS")
            ->group(clock_group));
    add(cmd.add_option("--clock-phase", a.clock_phase,
                       "the clock's first update comes MS after the call's start (below the period; default 0)")
            ->type_name("MS")
            ->group(clock_group));
    add(cmd.add_option("--preempt", a.preempts,
                       "after the Nth clock reading of the call the thread loses the processor for MS "
                       "milliseconds, just before its next reading (repeatable)")
            ->type_name("N:MS")
            ->allow_extra_args(false)
            ->group(clock_group));
    const char* image = "Kernel image";
    add(cmd.add_option("--image", a.image,
                       "run this tovmem.sys (x86 or x64, as the file says) in an emulator instead of the host build")
            ->type_name("PATH")
            ->group(image));
    add(cmd.add_option("--image-base", a.image_base,
                       "where the image is loaded (default 0x80a00000 on x86, 0xfffff80000a00000 on x64, 64 KiB "
                       "aligned)")
            ->type_name("ADDR")
            ->group(image));
    add(cmd.add_option("--caller", a.caller,
                       "bring the memory up through this capture driver, which imports tov_mem_init from the image")
            ->type_name("PATH")
            ->group(image));
    const char* chip = "Simulated chip";
    add(cmd.add_option("--reg-base", a.reg_base,
                       "the simulated register block's address, which the call's diagnostic lines are tagged by "
                       "(default 0x10000000; 64 KiB aligned)")
            ->type_name("ADDR")
            ->group(chip));
    add(cmd.add_option("--reg", a.regs, "register OFF holds VAL at the start (repeatable)")
            ->type_name("OFF=VAL")
            ->allow_extra_args(false)
            ->group(chip));
    a.cmd_latency_opt = add(cmd.add_option("--cmd-latency", a.cmd_latency,
                                           "each DRAM command stays in flight for the next K loads of 0x828")
                                ->type_name("K")
                                ->group(chip));
    add(cmd.add_option("--cmd-latency-us", a.cmd_latency_us,
                       "each DRAM command stays in flight for U microseconds of true time after it was issued")
            ->type_name("U")
            ->group(chip));
    add(cmd.add_option("--cmd-stuck-at", a.cmd_stuck_at, "the Nth DRAM command (from 1) never completes")
            ->type_name("N")
            ->group(chip));
    add(cmd.add_option("--fb-corrupt", a.fb_corrupt,
                       "test-client writes to slot 0 or 1 are XORed with MASK (repeatable)")
            ->type_name("SLOT=MASK")
            ->allow_extra_args(false)
            ->group(chip));
    add(cmd.add_option("--unstable", a.unstable, "odd-numbered loads of OFF return the inverted value (repeatable)")
            ->type_name("OFF")
            ->allow_extra_args(false)
            ->group(chip));
    a.aux_value_opt = add(cmd.add_option("--aux-value", a.aux_value, "the word behind aux_base (default 0)")
                              ->type_name("V")
                              ->group(chip));
}

std::vector<std::string> RunArgs::given() const {
    std::vector<std::string> names;
    for (const CLI::Option* o : options)
        if (o->count()) names.push_back(o->get_name());
    return names;
}

std::string RunArgs::given_text() const {
    std::string text;
    auto add = [&text](const std::string& word) {
        if (!text.empty()) text.push_back(' ');
        text.append(word);
    };
    for (const CLI::Option* o : options) {
        if (!o->count()) continue;
        if (o->get_expected_max() == 0) {  // a flag
            add(o->get_name());
            continue;
        }
        for (const std::string& v : o->results()) {
            add(o->get_name());
            add(v);
        }
    }
    return text;
}

RunOptions resolve(const RunArgs& a, const std::string* power_mode) {
    RunOptions o;
    tov::sim::RunRequest& q = o.req;
    if (!a.config.empty()) q.config_id = parse_u32("--config", a.config);
    if (!a.clock.empty()) q.clock_index = parse_u32("--clock", a.clock);
    // Slips worth a word: an ID written without its 0x, a clock outside the selectors.
    const auto listed = [](uint64_t id) {
        const tov::Family f = tov::classify(static_cast<uint32_t>(id));
        bool matched = false;
        if (id > 0xffffffffull || f == tov::Family::none) return false;
        tov::lookup(tov::family_table(f), static_cast<uint32_t>(id), &matched);
        return matched;
    };
    if (!a.config.empty() && a.config.find_first_not_of("0123456789") == std::string::npos && a.config.size() <= 8 &&
        !listed(q.config_id) && listed(std::stoull(a.config, nullptr, 16)))
        o.notes.push_back(strf("--config %s is read as decimal (0x%x), which no table lists; did you mean 0x%s?",
                               a.config.c_str(), q.config_id, a.config.c_str()));
    if (!a.clock.empty() && q.clock_index > 13) {
        const tov::ClockList reserved = tov::reserved_clocks(tov::classify(q.config_id));
        bool known = false;
        for (uint32_t i = 0; i < reserved.count; ++i) known |= reserved.values[i] == q.clock_index;
        if (!known)
            o.notes.push_back(strf("--clock %s is outside clock_index 0 to 13, the selectors the routines document%s",
                                   clock_text(q.clock_index).c_str(),
                                   reserved.count ? ", and is none of the family's reserved values" : ""));
    }
    if (!power_mode && a.power_modes.size() > 1)
        usage_fail("--power-mode is given more than once (only check --all runs several)");
    if (!power_mode && !a.power_modes.empty()) power_mode = &a.power_modes.front();
    if (power_mode) q.power_mode = parse_u32("--power-mode", *power_mode);
    if (q.power_mode > 3)
        o.notes.push_back(
            strf("--power-mode %u is outside 0 to 3, the modes the record defines: the first family's "
                 "routines then skip the clocks, pads and power-up list",
                 q.power_mode));
    q.no_aux = a.no_aux;
    if (!a.clock_period.empty()) {
        q.clock.period = parse_ms("--clock-period", a.clock_period);
        if (q.clock.period == 0 || q.clock.period > max_clock_period)
            usage_fail("--clock-period must be above 0 and at most 1000 ms, not '" + a.clock_period + "'");
    }
    if (!a.clock_phase.empty()) {
        if (a.clock_period.empty()) usage_fail("--clock-phase needs --clock-period MS");
        const uint64_t phase = parse_ms("--clock-phase", a.clock_phase);
        if (phase >= q.clock.period)
            usage_fail("--clock-phase must be below the clock period (" + a.clock_period + " ms), not '" +
                       a.clock_phase + "'");
        q.clock = tov::sim::ClockConfig::coarse(q.clock.period, phase);
    } else if (q.clock.period) {
        q.clock = tov::sim::ClockConfig::coarse(q.clock.period, 0);
    }
    for (const std::string& p : a.preempts) {
        const size_t colon = p.find(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 == p.size())
            usage_fail("--preempt expects N:MS, not '" + p + "'");
        const uint64_t after = parse_u64("--preempt", p.substr(0, colon));
        if (after == 0) usage_fail("--preempt counts clock readings from 1, not '" + p + "'");
        const uint64_t units = parse_ms("--preempt", p.substr(colon + 1));
        if (units > max_preemption) usage_fail("--preempt lasts at most 60000 ms, not '" + p + "'");
        q.clock.preempt.push_back({.after_reads = after, .units = units});
    }
    o.image = a.image;
    if (!a.image_base.empty()) o.image_base = parse_u64("--image-base", a.image_base);
    if (!a.image_base.empty() && a.image.empty()) usage_fail("--image-base needs --image PATH");
    if (!a.reg_base.empty()) {
        const uint64_t base = parse_u64("--reg-base", a.reg_base);
        const uint64_t aux = tov::sim::Simulator::aux_base, span = tov::sim::Simulator::reg_span;
        // The block and the aux word apart, and the block inside a 32-bit
        // address space, where an x86 caller maps it.
        if (base == 0 || base % span != 0 || base > 0xffffffffull - span + 1 || (aux >= base && aux - base < span))
            usage_fail("--reg-base expects a nonzero 64 KiB aligned address below 4 GiB, apart from the aux word at " +
                       strf("0x%llx", static_cast<unsigned long long>(aux)) + ", not '" + a.reg_base + "'");
        q.reg_base = static_cast<uintptr_t>(base);
    }
    o.caller = a.caller;
    if (!a.caller.empty() && a.image.empty()) usage_fail("--caller needs --image PATH (the tovmem.sys it imports)");
    // A target given twice is not an error (the last value applies, as a
    // script that appends options expects), but it is likely a slip.
    std::map<uint32_t, int> regs_given;
    for (const std::string& r : a.regs) {
        const auto [off, v] = split_pair("--reg", r);
        const uint32_t at = parse_offset("--reg", off);
        q.chip.presets[at] = parse_u32("--reg", v);
        if (++regs_given[at] == 2)
            o.notes.push_back(strf("--reg %s is given more than once: the last value applies", reg_text(at).c_str()));
    }
    if (a.cmd_latency_opt && a.cmd_latency_opt->count()) {
        q.chip.cmd_latency = parse_u32("--cmd-latency", a.cmd_latency);
        o.cmd_latency_given = true;
    }
    if (!a.cmd_latency_us.empty()) {
        q.chip.cmd_latency_us = parse_u32("--cmd-latency-us", a.cmd_latency_us);
        if (q.chip.cmd_latency_us > max_cmd_latency_us)
            usage_fail("--cmd-latency-us is at most 1000000 (one second), not '" + a.cmd_latency_us + "'");
    }
    if (!a.cmd_stuck_at.empty()) {
        q.chip.cmd_stuck_at = parse_u32("--cmd-stuck-at", a.cmd_stuck_at);
        if (q.chip.cmd_stuck_at == 0) usage_fail("--cmd-stuck-at counts commands from 1");
    }
    int slots_given[2] = {0, 0};
    for (const std::string& f : a.fb_corrupt) {
        const auto [slot, mask] = split_pair("--fb-corrupt", f);
        const uint32_t s = parse_u32("--fb-corrupt", slot);
        if (s > 1) usage_fail("--fb-corrupt slot must be 0 or 1, not '" + slot + "'");
        q.chip.fb_corrupt[s] = parse_u32("--fb-corrupt", mask);
        if (++slots_given[s] == 2)
            o.notes.push_back(strf("--fb-corrupt slot %u is given more than once: the last mask applies", s));
    }
    for (const std::string& u : a.unstable)
        if (!q.chip.unstable.insert(parse_offset("--unstable", u)).second)
            o.notes.push_back(
                strf("--unstable %s is given more than once", reg_text(parse_offset("--unstable", u)).c_str()));
    if (a.aux_value_opt && a.aux_value_opt->count()) {
        q.chip.aux_value = parse_u32("--aux-value", a.aux_value);
        o.aux_value_given = true;
    }
    return o;
}

std::ifstream open_input(const std::string& what, const std::string& path) {
    auto fail = [&](int err) { usage_fail("cannot read " + what + " '" + path + "': " + std::strerror(err)); };
#ifdef _WIN32
    // The path is UTF-8 (main converts the arguments): opened by its wide
    // name, whatever the code page.
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    struct _stat64 st;
    if (::_wstat64(name.c_str(), &st) != 0) fail(errno);
    if ((st.st_mode & _S_IFMT) == _S_IFDIR) fail(EISDIR);
#else
    const std::string& name = path;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) fail(errno);
    if (S_ISDIR(st.st_mode)) fail(EISDIR);
#endif
    errno = 0;
    std::ifstream f(name, std::ios::binary);
    if (!f) fail(errno ? errno : EIO);
    return f;
}

#ifndef TOV_NO_IMAGE_RUNNER
namespace {

namespace image = tov::sim::image;

// A kernel image is some tens of KiB; past this it is not one (or never ends).
constexpr size_t image_bytes_max = 64u << 20;

std::vector<uint8_t> read_image(const std::string& path) {
    std::ifstream f = open_input("kernel image", path);
    std::vector<uint8_t> bytes;
    char buf[65536];
    while (f.read(buf, sizeof buf) || f.gcount() > 0) {
        bytes.insert(bytes.end(), buf, buf + f.gcount());
        if (bytes.size() > image_bytes_max)
            usage_fail(strf("kernel image '%s' is larger than %zu MiB: not a kernel image", path.c_str(),
                            image_bytes_max >> 20));
    }
    if (f.bad()) usage_fail("cannot read kernel image '" + path + "': " + std::strerror(errno ? errno : EIO));
    return bytes;
}

// The image (and the capture driver that calls it, if any) is loaded once
// per process: check --all runs it for every configuration.
image::ImageRunner& image_runner(const RunOptions& o) {
    static std::unique_ptr<image::ImageRunner> runner;
    static std::string path, caller_path;
    static std::optional<uint64_t> base;
    if (!runner || path != o.image || base != o.image_base || caller_path != o.caller) {
        const std::vector<uint8_t> bytes = read_image(o.image);
        const image::RunnerOptions opts{.image_base = o.image_base, .reg_block = o.req.reg_base};
        runner.reset();
        try {
            runner = o.caller.empty() ? std::make_unique<image::ImageRunner>(bytes, opts)
                                      : std::make_unique<image::ImageRunner>(bytes, read_image(o.caller), opts);
        } catch (const image::CallerError& e) {
            usage_fail("capture driver " + o.caller + ": " + e.what());
        } catch (const image::ImageError& e) {
            usage_fail((o.caller.empty() ? o.image : o.image + " with " + o.caller) + ": " + e.what());
        }
        path = o.image;
        caller_path = o.caller;
        base = o.image_base;
    }
    return *runner;
}

}  // namespace
#endif

tov::sim::RunResult execute(const RunOptions& o) {
    if (o.image.empty()) return tov::sim::run_bring_up(o.req);
#ifdef TOV_NO_IMAGE_RUNNER
    usage_fail("this build runs no kernel image: use the Linux build of tovmem");
#else
    image::ImageRunner& runner = image_runner(o);
    try {
        return runner.run(o.req);
    } catch (const image::ImageError& e) {
        usage_fail((o.caller.empty() ? o.image : o.image + " with " + o.caller) + ": " + e.what());
    }
#endif
}

Bringup run_bringup(const RunOptions& o) {
    Bringup b;
    b.r = execute(o);
    b.executed = true;
    b.opts = o;
    b.source = strf("config 0x%x, clock_index %s", o.req.config_id, clock_text(o.req.clock_index).c_str());
    if (o.req.power_mode) b.source += strf(", power_mode %u", o.req.power_mode);
    if (o.req.clock.period)
        b.source += strf(", clock period %s ms phase %s ms", ms_text(o.req.clock.period).c_str(),
                         ms_text(o.req.clock.phase).c_str());
    b.source += ": " + routine_of(o.req.config_id);
    return b;
}

}  // namespace tovmem
