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

size_t log_object_end(const std::string& line, size_t from) {
    size_t depth = 0;
    bool in_string = false;
    for (size_t i = from; i < line.size(); ++i) {
        const char c = line[i];
        if (in_string) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if ((c == '}' || c == ']') && depth > 0 && --depth == 0) {
            return i + 1;
        }
    }
    return std::string::npos;
}

namespace {

std::string seq_gap(uint64_t last, uint64_t seq) {
    if (seq == last + 2) return "line " + std::to_string(last + 1) + " of the call is missing";
    if (seq > last + 2)
        return "lines " + std::to_string(last + 1) + " to " + std::to_string(seq - 1) + " of the call are missing";
    return "line " + std::to_string(seq) + " of the call comes after its line " + std::to_string(last) +
           " (a line repeated or out of order)";
}

}  // namespace

void LogReader::close(LoggedCall& c) {
    const std::string tag = c.tag;
    if (kept(c.index)) returned_.push_back(std::move(c));
    open_.erase(tag);
}

LoggedCall* LogReader::pick(const ObjectHead& head, size_t number, std::string& refusal) {
    auto open = open_.find(head.tag);
    // A line numbered on from a call that a new call's record on entry ended:
    // the two are in flight at once on one block, not a reset and a retry.
    if (head.ev != "enter" && head.numbered) {
        const auto cut = cut_.find(head.tag);
        const bool follows_open = open != open_.end() && open->second.numbered && head.seq == open->second.seq + 1;
        if (cut != cut_.end() && !follows_open && head.seq == cut->second.seq + 1) {
            refusal = "line " + std::to_string(number) + ": the lines' numbers show the call of line " +
                      std::to_string(cut->second.first_line) + " still in flight after the call of line " +
                      std::to_string(cut->second.entry_line) + " with the same tag (\"" + printable(head.tag) +
                      "\") entered: two calls on one register block at once, whose lines cannot be told apart";
            return nullptr;
        }
    }
    if (head.ev == "enter" && open != open_.end()) {
        // A reset or reboot: the call in flight never returns; a retry enters.
        LoggedCall& old = open->second;
        if (old.gap.empty()) {
            old.gap = "a new call entered on the same register block before it returned (a reset or reboot?)";
            old.gap_line = number;
            old.ended_by_entry = true;
        }
        calls_[old.index].gap = old.gap;
        cut_[head.tag] = {old.index, calls_[old.index].first_line, number, old.numbered ? old.seq : ~uint64_t(0) - 1};
        close(old);
        open = open_.end();
    }
    if (open != open_.end()) {
        LoggedCall& c = open->second;
        if (head.numbered) {
            if (c.numbered && c.gap.empty() && head.seq != c.seq + 1) c.gap = seq_gap(c.seq, head.seq);
            c.numbered = true;
            c.seq = head.seq;
        }
        return &c;
    }
    // A new call: at its record on entry, or where the capture starts.
    LoggedCall& c = open_[head.tag];
    c.tag = head.tag;
    c.index = calls_.size();
    c.numbered = head.numbered;
    c.seq = head.seq;
    if (head.numbered && head.ev == "enter" && head.seq != 1)
        c.gap = "its record on entry is numbered " + std::to_string(head.seq) + ", not 1";
    calls_.push_back({number, head.tag, false, false, false, 0, 0, 0, 0, {}});
    return &c;
}

bool LogReader::take_object(const std::string& object, size_t column, size_t number, std::string& out_error) {
    LoggedCall* call = nullptr;
    uint64_t loads_before = 0;
    const CallPicker picker = [&](const ObjectHead& head, std::string& refusal) {
        call = pick(head, number, refusal);
        if (call != nullptr) loads_before = call->loads;
        return call;
    };
    const ObjectError error = read_log_object(object, picker, log_loads_max - loads_, column);
    if (error.not_object) {
        out_error = error.text;
        return false;
    }
    if (error.refusal) {
        out_error = error.text;
        return true;
    }
    if (!error.text.empty()) {
        // A call this line would have started is no call.
        if (call != nullptr && call->last_line == 0) {
            calls_.pop_back();
            open_.erase(call->tag);
        }
        torn_line_ = number;
        torn_error_ = printable(error.text);
        return true;
    }
    LoggedCall& c = *call;
    loads_ += c.loads - loads_before;
    c.last_line = number;
    if (!c.gap.empty() && c.gap_line == 0) c.gap_line = number;
    CallSummary& s = calls_[c.index];
    s.entered = c.entered;
    s.returned = c.returned;
    s.ret = c.result_after_gap ? c.ret_after_gap : c.r.ret;
    s.gap = c.gap;
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
        cut_.erase(c.tag);
        close(c);
    }
    return true;
}

std::string LogReader::take(const std::string& line, size_t number) {
    size_t from = log_object_start(line);
    if (from == std::string::npos) {
        ++skipped_;
        return {};
    }
    ++ours_;
    size_t taken = 0;
    while (from != std::string::npos) {
        // A line that does not parse is torn: acceptable only as the log's
        // last line of ours (the capture ended in the middle of it).
        if (torn_line_ != 0)
            return "line " + std::to_string(torn_line_) + ": " + torn_error_ +
                   " (a torn line is taken only at the end)";
        // One object, up to its closing brace: a capture that lost a newline
        // glues the next line (ours or another print) to it.
        const size_t end = log_object_end(line, from);
        const std::string object = end == std::string::npos ? trimmed(line, from) : line.substr(from, end - from);
        std::string error;
        if (!take_object(object, from, number, error)) {
            // Another print's text may hold "tovmem: {" before ours.
            const size_t next = log_object_start(line, from);
            if (next != std::string::npos) {
                from = next;
                continue;
            }
            // Not an object at all: torn, as the parser says.
            torn_line_ = number;
            torn_error_ = printable(error);
            return {};
        }
        if (!error.empty()) return error;
        if (torn_line_ != 0) return {};
        ++taken;
        from = end == std::string::npos ? std::string::npos : log_object_start(line, end);
    }
    if (taken > 1) {
        if (glued_.size() < 3) glued_.push_back(number);
        ++glued_count_;
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
    if (glued_count_ != 0) {
        std::string where;
        for (size_t n : glued_) where += (where.empty() ? "" : ", ") + std::to_string(n);
        if (glued_count_ > glued_.size()) where += " and " + std::to_string(glued_count_ - glued_.size()) + " more";
        notes.push_back(std::string(glued_count_ == 1 ? "line " : "lines ") + where +
                        (glued_count_ == 1 ? " holds" : " each hold") +
                        " more than one of the image's lines (the capture lost a newline): each read on its own");
    }
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
    if (!c.returned && !c.ended_by_entry && torn_line_ != 0)
        notes.push_back("the capture ends early: line " + std::to_string(torn_line_) + " is torn (" + torn_error_ +
                        ")");
    out = std::move(c);
    if (!out.timed) out.r.start_time = 0;
    out.r.end_time = out.now;
    out.r.commands = 0;
    return {};
}

}  // namespace tov::sim
