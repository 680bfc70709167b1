// SPDX-License-Identifier: Apache-2.0
// tovmem's commands: each file adds its subcommand to the application and
// returns what to run when it is chosen.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "tools/tovmem/cli.h"

namespace tovmem {

struct Command {
    CLI::App* app;
    std::function<int()> run;
};

Command add_run(CLI::App& app);
Command add_show(CLI::App& app);
Command add_list(CLI::App& app);
Command add_check(CLI::App& app);
Command add_diff(CLI::App& app);
Command add_vcd(CLI::App& app);
Command add_import(CLI::App& app);
Command add_report(CLI::App& app);

// Renderings shared between commands.
void print_text(const Bringup& b);
void print_jsonl(const Bringup& b);
// `notes` go into $comment sections, where a waveform viewer ignores them;
// `unknown`, when not empty, says why the result is unknown.
void print_vcd(const tov::sim::RunResult& r, const std::string& title, const std::vector<std::string>& notes = {},
               const std::string& unknown = "");

// diff's comparison of two bring-ups, printed; exit_ok when identical.
int diff_bringups(Bringup a, Bringup b);

// One row of diff's alignment: a bus step of A and of B (indices from 0 among
// each side's bus steps; -1 where the side has none). outside_a: a step of B
// that lies outside A's partial capture (not compared); outside_b: of A outside B's.
struct ComparedStep {
    enum Kind : uint8_t { alike, changed, only_a, only_b, outside_a, outside_b } kind;
    long a;
    long b;
};

// diff's alignment of two bring-ups: every bus step of both sides once, in order.
struct Comparison {
    std::vector<ComparedStep> steps;
    size_t alike = 0, only_a = 0, only_b = 0, stores = 0, reads = 0, beyond_a = 0, beyond_b = 0;
    size_t gave_up_a = 0, gave_up_b = 0;  // left unpaired: too wide apart to align in bounded time
    bool results_known = true, same_result = true, partial = false, same = true;
    // The bus step (from 1) where the two part, 0 when they do not; the
    // step of each side there (-1: that side has nothing more).
    size_t first_difference = 0;
    long first_a = -1, first_b = -1;
};
Comparison compare_bringups(const Bringup& a, const Bringup& b);

// The result line of JSON lines with the tool's "config_id_hex", "cause" and "note" keys.
std::string result_line(const Bringup& b);

}  // namespace tovmem
