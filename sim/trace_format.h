// SPDX-License-Identifier: Apache-2.0
// Renderings of a simulated bus trace: JSON lines for programs (read back by
// sim/trace_read.h), a compact
// one-line-per-event form for tests, and DRAM commands for people.
#pragma once

#include <string>
#include <vector>

#include "sim/simulator.h"

namespace tov::sim {

std::string json_escape(const std::string& s);
std::string event_jsonl(const Event& e);
std::string result_jsonl(const RunResult& r);

// "W 810 26a0936" store, "R 828 1" load, "A 0" aux load, "T 1" delay_ticks,
// "M 2" delay_ms, "X text" trace message (hex values without 0x).
std::string event_compact(const Event& e);
std::vector<std::string> compact(const std::vector<Event>& events);

// Human reading of a DRAM command (describe(decode_command(code, word)) of
// sim/command_decode.h): its JEDEC meaning and, for mode-register commands,
// the decoded mode value.
std::string describe_command(uint32_t code, uint32_t word);

}  // namespace tov::sim
