// SPDX-License-Identifier: Apache-2.0
// Reading back what the diagnostic image printed through DbgPrintEx: a
// WinDbg log (.logopen), a DebugView log (its line-number and time columns)
// or a plain file of the lines. Each of our lines is "tovmem: " and one JSON
// object of the trace format; other lines are skipped. A call's steps are
// rebuilt as the loads and stores of a trace, so that every reader of a
// trace (check, diff, vcd) reads a log too: a stable read becomes its loads
// (the value it settled on, after loads that could not have agreed), a
// done-bit wait its polls. What the log cannot tell (the values of the
// loads before a read agreed, the time of a step between two delays) is
// rebuilt so that the steps come out as the image saw them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/diag_line.h"
#include "sim/simulator.h"

namespace tov::sim {

// What the diagnostic image prints before each of its objects.
constexpr const char* log_prefix = platform::diag::prefix;

// The rebuilt loads of one log, at most: a real call makes some thousands;
// a wait that polls for its whole bound on a fast bus some hundred thousand.
constexpr uint64_t log_loads_max = 1u << 20;

// One call of tov_mem_init as its lines tell it.
struct LoggedCall {
    RunResult r;
    bool entered = false;   // the record on entry was seen
    bool returned = false;  // the result line was seen
    uint64_t loads = 0;     // loads rebuilt (bounded by log_loads_max over the log)
    uint64_t now = 0;       // the last clock reading the log gave
    bool timed = false;     // a delay gave a reading
    size_t untimed = 0;     // events before the first reading
};

// Takes one of our lines' JSON object (the text after the prefix) into
// `call`. Returns what is wrong with it, or "".
std::string read_log_object(const std::string& object, LoggedCall& call, uint64_t loads_left);

// Reads a whole log, line by line.
class LogReader {
public:
    explicit LogReader(std::string name) : name_(std::move(name)) {}
    // One line of the file, numbered from 1. Returns an error, or "".
    std::string take(const std::string& line, size_t number);
    // The last call of the log (with notes on a late start, an early end,
    // several calls), or an error when the log holds none of our lines.
    std::string finish(RunResult& out, std::vector<std::string>& notes);

private:
    std::string name_;
    std::vector<LoggedCall> calls_;
    uint64_t loads_ = 0;
    size_t ours_ = 0, skipped_ = 0;
    size_t torn_line_ = 0;  // the last of our lines that did not parse, if any
    std::string torn_error_;
};

// Whether a file's first line is one of a log rather than of a JSON-lines trace.
bool looks_like_log(const std::string& first_line);

}  // namespace tov::sim
