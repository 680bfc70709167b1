// SPDX-License-Identifier: Apache-2.0
// The argument and output layer shared by tovmem's commands: strict number
// parsing, usage errors, the run options every bring-up command takes, the
// one call that executes a bring-up, and JSON-lines traces read back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <istream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "sim/simulator.h"

namespace tovmem {

constexpr int exit_ok = 0;
constexpr int exit_failed = 1;
constexpr int exit_usage = 2;
// The evidence is incomplete: a verdict would rest on what the capture does
// not hold (a cut, a lost line, a late start, an unknown result).
constexpr int exit_incomplete = 3;

// A bad argument or input: main prints it as one line and exits 2.
struct UsageError {
    std::string msg;
    bool block = false;  // several lines, printed as they are (a list to choose from)
};
[[noreturn]] void usage_fail(const std::string& msg);

// Decimal or 0x-hex, digits only (no sign, no blanks), at most 32 bits.
uint32_t parse_u32(const std::string& what, const std::string& s);
uint64_t parse_u64(const std::string& what, const std::string& s);
// A register offset: a multiple of 4 inside the register block.
uint32_t parse_offset(const std::string& what, const std::string& s);
// Milliseconds with up to four decimals ("15.625"), in 100 ns units.
uint64_t parse_ms(const std::string& what, const std::string& s);
std::pair<std::string, std::string> split_pair(const std::string& what, const std::string& s);

// printf to standard output (or where set_output points it, for the
// benchmarks); main checks for write errors before exiting.
void out(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void set_output(std::FILE* f);
std::string strf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

std::string reg_name(uint32_t off);   // "DRC_CFG", or "R_fffc" outside the map
std::string reg_label(uint32_t off);  // "DRC_CFG        0x810"
std::string reg_text(uint32_t off);   // "DRC_CFG 0x810", or "register 0xfffc" outside the map
// A clock_index as people read it: the selectors 0..13 in decimal, reserved
// values (0xffff0004, 0x1000000) and anything else past 0xffff in hex.
std::string clock_text(uint32_t clock_index);
double ms(uint64_t units);            // virtual time units (100 ns) to ms
std::string ms_text(uint64_t units);  // "15.625", "0": no trailing zeros
std::string size_text(uint32_t bytes);

// One bring-up to execute, as the options of run, check and diff describe it.
struct RunOptions {
    tov::sim::RunRequest req;
    // Which fault options were given, for noting the ones without effect.
    bool aux_value_given = false;
    bool cmd_latency_given = false;
    // Kernel image to run in the emulator instead of the host build.
    std::string image;
    std::optional<uint64_t> image_base;  // without a value, the default of the image's architecture
    // A capture driver that imports tov_mem_init from the image and brings
    // the memory up through its own start routine.
    std::string caller;
    // About the arguments themselves: a --reg or --fb-corrupt target given twice.
    std::vector<std::string> notes;
};

// Raw option strings as CLI11 collects them; `resolve` turns them into a
// RunOptions with strict parsing.
struct RunArgs {
    std::string config, clock;
    std::vector<std::string> power_modes;  // one, except for check --all
    std::vector<std::string> regs, fb_corrupt, unstable;
    std::string cmd_latency, cmd_stuck_at, aux_value;
    std::string clock_period, clock_phase;
    std::vector<std::string> preempts;  // N:MS
    std::string cmd_latency_us;
    bool no_aux = false;
    std::string image, image_base, caller;
    std::string reg_base;
    CLI::Option* aux_value_opt = nullptr;
    CLI::Option* cmd_latency_opt = nullptr;
    std::vector<CLI::Option*> options;  // every run option, to tell which were given
    // The run options given, as "--image" and the like, in the order added.
    std::vector<std::string> given() const;
    // The run options given with their values: "--image x.sys --power-mode 2".
    std::string given_text() const;
};

// Adds --config, --clock, --power-mode, --no-aux and the chip fault options.
void add_run_options(CLI::App& cmd, RunArgs& a, bool required);
// One run's options; `power_mode` overrides --power-mode (check --all runs each one given).
RunOptions resolve(const RunArgs& a, const std::string* power_mode = nullptr);

// Executes one bring-up: the single place a request turns into a result.
tov::sim::RunResult execute(const RunOptions& o);

// A bring-up to inspect: executed here or read from a JSON-lines trace.
struct Bringup {
    tov::sim::RunResult r;
    bool executed = false;  // `opts` holds the request
    RunOptions opts;
    std::string source;              // "config 0x3000099, clock_index 10" or the file name
    bool from_log = false;           // read from the diagnostic image's log
    std::vector<std::string> notes;  // about the file read: a late start, an early end
    // What the capture did not hold: the result, when it ends before the
    // call's result line (`unknown` says so; r.ret means nothing then), and
    // the call's first steps, when it starts late (`starts_late` says so).
    bool ret_known = true;
    std::string unknown;
    std::string starts_late;
    // How the times were made when they are not the call's own (a log's
    // are rebuilt from its clock readings); "" for a run.
    std::string times;
    // A captured call's record on entry (the configuration, clock and
    // power mode the caller passed) and the tag of its register block.
    std::optional<tov::MemInitParams> entry;
    std::string tag;
    // Where the evidence of the call stops, when not at the capture's end
    // (a lost line, a new call entering): "line 84, where ...".
    std::string cut_at;
    // Whether any verdict on the call rests on evidence the capture does not hold.
    bool incomplete() const { return !ret_known || !starts_late.empty(); }
};

Bringup run_bringup(const RunOptions& o);

// Opens a file to read, or fails naming it and the reason:
// "cannot read trace file 'x': Is a directory".
std::ifstream open_input(const std::string& what, const std::string& path);

// Bounds on a trace, so that an endless or binary input (/dev/zero) ends in
// an error instead of filling memory. A real trace has some thousands of
// lines of under 200 bytes.
constexpr size_t trace_line_max = 64 * 1024;
// At this bound a diff of two traces stays within about 300 MiB.
constexpr size_t trace_lines_max = 1024 * 1024;
constexpr uint64_t trace_bytes_max = uint64_t(256) << 20;

// Reads the JSON lines of `run --format jsonl` ("-" is standard input); a
// trace without its result line is truncated, and an error. A file whose
// first line is not a JSON object is read as a captured log of the
// diagnostic image (sim/diag_log.h), in UTF-8 or UTF-16 (either byte order,
// told by a byte-order mark or by its NUL bytes); a log that ends early is
// read with its result unknown. `call` chooses a call (from 1); without it,
// a file of several calls is refused with a list of them. With
// `where_several`, the call is chosen only in a log of several calls.
Bringup read_trace_file(const std::string& path, size_t call = 0, bool where_several = false);
Bringup read_trace(std::istream& in, const std::string& name, size_t call = 0, bool where_several = false);

// Adds --call N to a command that reads traces and logs; its value, 0 when not given.
struct CallOption {
    std::string text;
    size_t value() const;
};
void add_call_option(CLI::App& cmd, CallOption& c);

}  // namespace tovmem
