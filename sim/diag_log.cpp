// SPDX-License-Identifier: Apache-2.0
#include "sim/diag_log.h"

#include <cstring>

#include "sim/printable.h"

namespace tov::sim {
namespace {

// Where our object starts on a line: after the prefix, wherever the capture
// put it (DebugView's line-number and time columns come first).
size_t object_start(const std::string& line) {
    const size_t at = line.find(log_prefix);
    if (at == std::string::npos) return std::string::npos;
    const size_t from = at + std::strlen(log_prefix);
    return from < line.size() && line[from] == '{' ? from : std::string::npos;
}

std::string trimmed(const std::string& s, size_t from) {
    size_t end = s.size();
    while (end > from && (s[end - 1] == '\r' || s[end - 1] == ' ' || s[end - 1] == '\t')) --end;
    return s.substr(from, end - from);
}

}  // namespace

bool looks_like_log(const std::string& first_line) {
    const size_t from = first_line.find_first_not_of(" \t\r");
    return from != std::string::npos && first_line[from] != '{';
}

std::string LogReader::take(const std::string& line, size_t number) {
    const size_t from = object_start(line);
    if (from == std::string::npos) {
        ++skipped_;
        return {};
    }
    ++ours_;
    // A line that does not parse is torn: acceptable only as the log's last
    // line of ours (the capture ended in the middle of it).
    if (torn_line_ != 0)
        return "line " + std::to_string(torn_line_) + ": " + torn_error_ + " (a torn line is taken only at the end)";
    const std::string object = trimmed(line, from);
    // A new call starts at its record on entry.
    if (object.rfind("{\"ev\":\"enter\"", 0) == 0 || calls_.empty() || calls_.back().returned) calls_.emplace_back();
    const std::string error = read_log_object(object, calls_.back(), log_loads_max - loads_);
    if (!error.empty()) {
        torn_line_ = number;
        torn_error_ = printable(error);
        return {};
    }
    loads_ = 0;
    for (const LoggedCall& c : calls_) loads_ += c.loads;
    return {};
}

std::string LogReader::finish(RunResult& out, std::vector<std::string>& notes) {
    const bool nothing = calls_.empty() || (calls_.size() == 1 && calls_.back().r.events.empty() &&
                                            !calls_.back().entered && !calls_.back().returned);
    if (nothing && torn_line_ != 0) return name_ + " line " + std::to_string(torn_line_) + ": " + torn_error_;
    if (nothing)
        return name_ + ": no line of the diagnostic image (\"" + std::string(log_prefix) + "{...}\") in " +
               std::to_string(skipped_ + ours_) + " lines";
    const LoggedCall& c = calls_.back();
    if (calls_.size() > 1)
        notes.push_back("the log holds " + std::to_string(calls_.size()) + " calls of tov_mem_init; this is the last");
    if (!c.entered)
        notes.push_back("the capture starts late: no record on entry, so the call's first steps may be missing");
    if (torn_line_ != 0)
        notes.push_back("the capture ends early: line " + std::to_string(torn_line_) + " is torn (" + torn_error_ +
                        ")");
    if (!c.returned)
        notes.push_back(
            "the capture ends early: no result line, so the result and the record shown are not the call's");
    out = c.r;
    if (!c.timed) out.start_time = 0;
    out.end_time = c.now;
    out.commands = 0;
    return {};
}

}  // namespace tov::sim
