// SPDX-License-Identifier: Apache-2.0
// Reading back what the diagnostic image printed through DbgPrintEx: a
// WinDbg log (.logopen), a DebugView log (its line-number and time columns)
// or a plain file of the lines. Each of our objects is "tovmem: " and one
// JSON object of the trace format, wherever it stands on its line (another
// print without a newline may come before it); other lines are skipped.
// Every object names its call by a tag (platform/diag_line.h), so that the
// interleaved lines of two chips' calls part. A call's steps are rebuilt as
// the loads and stores of a trace, so that every reader of a trace (check,
// diff, vcd) reads a log too: a stable read becomes its loads (the value it
// settled on, after loads that could not have agreed), a done-bit wait its
// polls. What the log cannot tell (the values of the loads before a read
// agreed, the time of a step between two delays) is rebuilt so that the
// steps come out as the image saw them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
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
    std::string tag;        // the tag its lines carry ("" in a log without tags)
    size_t index = 0;       // among the log's calls, from 0
    bool entered = false;   // the record on entry was seen
    MemInitParams entry{};  // that record, when seen
    bool returned = false;  // the result line was seen
    uint64_t loads = 0;     // loads rebuilt (bounded by log_loads_max over the log)
    uint64_t now = 0;       // the last clock reading the log gave
    bool timed = false;     // a delay gave a reading
    size_t last_line = 0;   // the last line of the call read
    // Lines numbered per call ("seq", from 1 at the record on entry), when
    // the image numbers them: the last number read.
    bool numbered = false;
    uint64_t seq = 0;
    // Where the evidence of the call stops short of its end: a lost line (a
    // gap in the numbers, or steps no healthy image prints in that order)
    // or a new call entering on the same block (`ended_by_entry`). Lines
    // after it are read only for the result they would give.
    std::string gap;
    size_t gap_line = 0;            // the log line where it shows
    bool ended_by_entry = false;    // cut by a new call's record on entry
    bool result_after_gap = false;  // a result line came after the gap
    int32_t ret_after_gap = 0;
    // The last bus step as the order of a DRAM command's steps sees it
    // (none before the first step the capture holds).
    enum class Last : uint8_t { none, word, read_cmd, command, other };
    Last last_step = Last::none;
};

// What a log says of each call, to choose one by.
struct CallSummary {
    size_t first_line = 0;
    std::string tag;
    bool entered = false;
    bool returned = false;
    bool record_known = false;  // a record (on entry or with the result) was read
    int32_t ret = 0;            // when returned
    uint32_t config_id = 0, clock_index = 0, power_mode = 0;
    std::string gap;  // why its result is unknown although a result line may follow
};

// What an object of ours says before its step: its event and its call's tag.
struct ObjectHead {
    std::string ev;
    std::string tag;
    bool numbered = false;  // "seq" given
    uint64_t seq = 0;
};

// Takes one of our objects (the text after the prefix) into the call that
// `pick` gives for its head. The result: what is wrong with the object, and
// whether that is a refusal of the whole log (`pick` said so) rather than a
// line the capture tore.
struct ObjectError {
    std::string text;
    bool refusal = false;
    bool not_object = false;  // not one JSON object: nothing was taken
};
using CallPicker = std::function<LoggedCall*(const ObjectHead&, std::string& refusal)>;
// `column`: where the object starts on its line, so that a column an error
// names is the line's.
ObjectError read_log_object(const std::string& object, const CallPicker& pick, uint64_t loads_left, size_t column = 0);
// The same for a log of one call.
std::string read_log_object(const std::string& object, LoggedCall& call, uint64_t loads_left);

// Reads a whole log, line by line, in time linear in its length: the steps
// of the chosen call are kept, of every other call only its summary.
class LogReader {
public:
    // `want`: the call to read, from 1; 0 for the only one. With
    // `where_several`, `want` applies only to a log of several calls.
    explicit LogReader(std::string name, size_t want = 0, bool where_several = false)
        : name_(std::move(name)), want_(want), where_several_(where_several) {}
    // One line of the file, numbered from 1. Returns an error, or "".
    std::string take(const std::string& line, size_t number);
    // The chosen call (its `entered` and `returned` tell whether the capture
    // holds its start and its end), with notes on a torn last line and the
    // log's other calls; or an error. With several calls and none chosen,
    // `several()` is set and `calls()` lists them.
    std::string finish(LoggedCall& out, std::vector<std::string>& notes);
    bool several() const { return want_ == 0 && calls_.size() > 1; }
    const std::vector<CallSummary>& calls() const { return calls_; }

private:
    bool kept(size_t index) const { return index + 1 == want_ || (index == 0 && (want_ == 0 || where_several_)); }
    LoggedCall* pick(const ObjectHead& head, size_t number, std::string& refusal);
    // One object of a line; false when it is not a JSON object (nothing
    // taken; `error` says why).
    bool take_object(const std::string& object, size_t column, size_t number, std::string& error);
    // Ends a call in flight: its summary kept, its steps too if chosen.
    void close(LoggedCall& c);

    std::string name_;
    size_t want_;
    bool where_several_;
    std::vector<CallSummary> calls_;
    std::map<std::string, LoggedCall> open_;  // calls in flight, by tag
    std::vector<LoggedCall> returned_;        // the kept calls that ended (two at most)
    // A call a new one's record on entry ended, by tag: its lines numbered
    // on after that record show two calls truly in flight on one block.
    struct Cut {
        size_t index = 0, first_line = 0, entry_line = 0;
        uint64_t seq = 0;
    };
    std::map<std::string, Cut> cut_;
    std::vector<size_t> glued_;  // lines that held more than one object (the first few)
    size_t glued_count_ = 0;
    uint64_t loads_ = 0;
    size_t ours_ = 0, skipped_ = 0;
    size_t torn_line_ = 0;  // the last of our lines that did not parse, if any
    std::string torn_error_;
};

// Where an object of ours may start on a line at or after `from` (just
// after a prefix followed by '{'), or npos. Another print's "tovmem: "
// followed by anything else is passed over.
size_t log_object_start(const std::string& line, size_t from = 0);

// Just past the '}' that closes the object starting at `from` (strings and
// their escapes skipped), or npos when the line ends first.
size_t log_object_end(const std::string& line, size_t from);

// Whether a file's first line is one of a log rather than of a JSON-lines trace.
bool looks_like_log(const std::string& first_line);

}  // namespace tov::sim
