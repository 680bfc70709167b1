// SPDX-License-Identifier: Apache-2.0
#include "sim/diag_log.h"

#include <cstring>

#include "sim/printable.h"

namespace tov::sim {
namespace {

std::string trimmed(const std::string& s, size_t from) {
    size_t end = s.size();
    while (end > from && (s[end - 1] == '\r' || s[end - 1] == ' ' || s[end - 1] == '\t')) --end;
    return s.substr(from, end - from);
}

}  // namespace

size_t log_object_start(const std::string& line, size_t from) {
    const size_t n = std::strlen(log_prefix);
    for (size_t at = line.find(log_prefix, from); at != std::string::npos; at = line.find(log_prefix, at + 1)) {
        const size_t object = at + n;
        if (object < line.size() && line[object] == '{') return object;
    }
    return std::string::npos;
}

bool looks_like_log(const std::string& first_line) {
    const size_t from = first_line.find_first_not_of(" \t\r");
    return from != std::string::npos && first_line[from] != '{';
}

LoggedCall* LogReader::pick(const ObjectHead& head, size_t number, std::string& refusal) {
    const auto open = open_.find(head.tag);
    if (head.ev == "enter" && open != open_.end()) {
        const CallSummary& other = calls_[open->second.index];
        refusal = "line " + std::to_string(number) + ": a call enters while the call of line " +
                  std::to_string(other.first_line) + " with the same tag (\"" + printable(head.tag) +
                  "\") has not returned: two calls on one register block at once, whose lines cannot be told apart";
        return nullptr;
    }
    if (open != open_.end()) return &open->second;
    // A new call: at its record on entry, or where the capture starts.
    LoggedCall& c = open_[head.tag];
    c.tag = head.tag;
    c.index = calls_.size();
    calls_.push_back({number, head.tag, false, false, false, 0, 0, 0, 0});
    return &c;
}

std::string LogReader::take(const std::string& line, size_t number) {
    size_t from = log_object_start(line);
    if (from == std::string::npos) {
        ++skipped_;
        return {};
    }
    ++ours_;
    // A line that does not parse is torn: acceptable only as the log's last
    // line of ours (the capture ended in the middle of it).
    if (torn_line_ != 0)
        return "line " + std::to_string(torn_line_) + ": " + torn_error_ + " (a torn line is taken only at the end)";
    LoggedCall* call = nullptr;
    uint64_t loads_before = 0;
    const CallPicker picker = [&](const ObjectHead& head, std::string& refusal) {
        call = pick(head, number, refusal);
        if (call != nullptr) loads_before = call->loads;
        return call;
    };
    ObjectError error;
    for (;;) {
        error = read_log_object(trimmed(line, from), picker, log_loads_max - loads_);
        // Another print's text may hold "tovmem: {" before ours.
        const size_t next = error.not_object ? log_object_start(line, from) : std::string::npos;
        if (next == std::string::npos) break;
        from = next;
    }
    if (error.refusal) return error.text;
    if (!error.text.empty()) {
        // A call this line would have started is no call.
        if (call != nullptr && call->last_line == 0) {
            calls_.pop_back();
            open_.erase(call->tag);
        }
        torn_line_ = number;
        torn_error_ = printable(error.text);
        return {};
    }
    LoggedCall& c = *call;
    loads_ += c.loads - loads_before;
    c.last_line = number;
    CallSummary& s = calls_[c.index];
    s.entered = c.entered;
    s.returned = c.returned;
    s.ret = c.r.ret;
    if (c.entered || c.returned) {
        s.record_known = true;
        s.config_id = c.r.record.config_id;
        s.clock_index = c.r.record.clock_index;
        s.power_mode = c.r.record.power_mode;
    }
    // Only the chosen call's steps are kept.
    if (!kept(c.index)) {
        c.r.events.clear();
        c.r.events.shrink_to_fit();
    }
    if (c.returned) {
        if (kept(c.index)) returned_.push_back(std::move(c));
        open_.erase(s.tag);
    }
    return {};
}

std::string LogReader::finish(LoggedCall& out, std::vector<std::string>& notes) {
    if (calls_.empty() && torn_line_ != 0) return name_ + " line " + std::to_string(torn_line_) + ": " + torn_error_;
    if (calls_.empty())
        return name_ + ": no line of the diagnostic image (\"" + std::string(log_prefix) + "{...}\") in " +
               std::to_string(skipped_ + ours_) + " lines";
    if (several()) return {};
    if (where_several_ && calls_.size() == 1) want_ = 1;
    if (want_ > calls_.size())
        return name_ + ": --call " + std::to_string(want_) + ", but the log holds " + std::to_string(calls_.size()) +
               " call" + (calls_.size() == 1 ? "" : "s") + " of tov_mem_init";
    const size_t index = want_ == 0 ? 0 : want_ - 1;
    LoggedCall* chosen = nullptr;
    for (LoggedCall& c : returned_)
        if (c.index == index) chosen = &c;
    for (auto& [tag, c] : open_)
        if (c.index == index) chosen = &c;
    LoggedCall& c = *chosen;
    const CallSummary& s = calls_[index];
    if (calls_.size() > 1)
        notes.push_back("call " + std::to_string(index + 1) + " of the " + std::to_string(calls_.size()) +
                        " in the log, from line " + std::to_string(s.first_line));
    if (!c.returned && torn_line_ != 0)
        notes.push_back("the capture ends early: line " + std::to_string(torn_line_) + " is torn (" + torn_error_ +
                        ")");
    out = std::move(c);
    if (!out.timed) out.r.start_time = 0;
    out.r.end_time = out.now;
    out.r.commands = 0;
    return {};
}

}  // namespace tov::sim
