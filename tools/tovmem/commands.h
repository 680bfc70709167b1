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

// Renderings shared between commands.
void print_text(const Bringup& b);
void print_jsonl(const Bringup& b);
// `notes` go into $comment sections, where a waveform viewer ignores them.
void print_vcd(const tov::sim::RunResult& r, const std::string& title, const std::vector<std::string>& notes = {});

// diff's comparison of two bring-ups, printed; exit_ok when identical.
int diff_bringups(Bringup a, Bringup b);

// The result line of JSON lines with the tool's "config_id_hex", "cause" and "note" keys.
std::string result_line(const Bringup& b);

}  // namespace tovmem
