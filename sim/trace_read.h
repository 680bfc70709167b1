// SPDX-License-Identifier: Apache-2.0
// Reading back the JSON-lines trace that sim/trace_format.h writes. Kept
// apart from the writer's file so that only the programs that read traces
// compile the JSON parser.
#pragma once

#include <string>

#include "sim/simulator.h"

namespace tov::sim {

// Reads back one line that event_jsonl or result_jsonl wrote (any valid JSON
// with those members): an event is appended to r.events; the result line
// fills r.ret, r.record, the times and the image figures, and sets
// `is_result`. Returns what is wrong with the line, or "" when it was taken.
std::string read_jsonl_line(const std::string& line, RunResult& r, bool& is_result);

// What a result line says beyond the run: a result the capture did not hold
// (import writes "ret": null and why in "unknown"), a capture that started
// late ("starts_late", why) and times rebuilt from a capture ("times", how).
struct TraceLine {
    bool is_result = false;
    bool ret_known = true;
    std::string unknown;
    std::string starts_late;
    std::string times;  // how its times were made, when not the call's own ("times")
};
std::string read_jsonl_line(const std::string& line, RunResult& r, TraceLine& t);

}  // namespace tov::sim
