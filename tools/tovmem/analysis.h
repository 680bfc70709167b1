// SPDX-License-Identifier: Apache-2.0
// What a bring-up did, read from its bus events alone (loads and stores with
// their times), so that it works for every trace, including those recorded
// without delay or message events: stable reads and whether they settled,
// DRAM commands and their completion waits, time-outs, frame-buffer
// read-backs, the cause of a failure and notes on the run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "meminit/entry/config_table.h"
#include "sim/command_decode.h"
#include "tools/tovmem/cli.h"

namespace tovmem {

enum class StepKind { store, read, aux_read, other };

// One bus access as the library makes it: a store, a stable read (the run of
// loads of one register until three agree, or gives up), an aux load; other
// events (delays, messages) are steps of kind `other`.
struct Step {
    StepKind kind = StepKind::other;
    uint32_t off = 0;
    uint32_t val = 0;  // stored value; settled (or last loaded) value of a read
    size_t first = 0;  // index of its first and last event
    size_t last = 0;
    uint32_t loads = 0;
    bool settled = true;
    int command = 0;  // store starting DRAM command n (from 1); 0 otherwise
};

std::vector<Step> steps_of(const std::vector<tov::sim::Event>& events);

// A DRAM command and what the completion reads after it saw.
struct CommandInfo {
    int number = 0;   // from 1
    size_t step = 0;  // the store to DRC_CMD
    tov::sim::DramCommand cmd;
    uint64_t time = 0;   // time of the store
    uint32_t polls = 0;  // reads of DRC_CMD_STATUS before the next store
    uint32_t busy = 0;   // of which settled with the done bit clear
    uint32_t poll_loads = 0;
    size_t last_poll = 0;    // step of the last poll (when polls > 0)
    uint64_t wait_end = 0;   // time of the last poll load
    bool done = false;       // last poll settled with the done bit set
    bool unsettled = false;  // last poll never settled
    bool gave_up() const { return polls > 0 && !done && !unsettled; }
};

// A read-back of the register test client and the word last written to its slot.
struct FbReadBack {
    size_t step = 0;
    uint32_t slot = 0;
    uint32_t expected = 0;
    uint32_t actual = 0;
    bool written = false;  // the slot was written before (expected is known)
    bool ok() const { return !written || expected == actual; }
};

struct Analysis {
    std::vector<Step> steps;
    std::vector<CommandInfo> commands;  // in step order
    std::vector<FbReadBack> readbacks;
    std::vector<size_t> unsettled;  // steps of reads that never settled
    size_t loads = 0, stores = 0, delays = 0, messages = 0;
    const CommandInfo* command_at(size_t step) const;
};

Analysis analyse(const tov::sim::RunResult& r);

// The one rendering of a bus step that run and diff print:
//   "write  DRC_CFG        0x810 := 0x0026a093"
//   "read   DRC_CMD_STATUS 0x828  = 0x00000001  (6 loads)"
//   "read   BLK_43C        0x43c  never settled: 32 loads without three agreeing, last 0x00000001"
//   "read   AUX                  = 0x00000000  (aux_base)"
std::string step_text(const Step& s, const std::vector<tov::sim::Event>& events);
std::string loads_text(uint32_t n);  // "1 load", "6 loads"
// "DRAM command 5: mode register set: CAS latency 3, burst 4, DLL reset, count 2 (word 0x20132)"
std::string command_text(const CommandInfo& c);

// What one bring-up sets up, the form it takes: its memory clock, the
// values it stores to the controller's set-up words (in order) and its DRAM
// commands decoded, each count also as time at that clock, one per line:
//   "  memory clock 182250 kHz\n"
//   "  controller   DRC_CFG 0x2ea0936, 0xc2ea0936, 0x2ea0936; DRC_814 0x5f70b38; ...\n"
//   "   2  NOP, CKE high, count 39151 = 214.8 us\n"
// Two bring-ups that give the same text run the same form (show groups
// clock_index values by it; the known-findings sweep names it).
std::string form_text(const tov::sim::RunResult& r, const Analysis& a);

// Why a failed bring-up failed, in one sentence, from its bus events; empty
// when the run returned 1. `step`, when given, is set to the step (index in
// a.steps) that the cause names, or to a.steps.size() when it names none.
std::string cause_of(const tov::sim::RunResult& r, const Analysis& a, size_t* step = nullptr);

// Why a call returned 0 without touching the chip, when its routine does not
// serve its clock_index: "routine R does not support clock_index N (it
// supports 2 to 6, 11, 12 of clock_index 0 to 13)..."; empty otherwise.
std::string unsupported_clock(const tov::sim::RunResult& r);
// The same clocks alone ("2 to 6, 11, 12 of clock_index 0 to 13"); empty
// when the call touched the chip or its routine serves its clock.
std::string served_clocks_text(const tov::sim::RunResult& r);

// Notes on a bring-up: an ID the table does not list, a power mode the
// family does not read, an option target given twice, fault options that had
// no effect on the run.
std::vector<std::string> notes_of(const Bringup& b, const Analysis& a);

// "meminit_... (varnel row 79)" for the routine an ID dispatches to.
std::string routine_of(uint32_t config_id);

// How the dispatcher picks the family of an ID, from its constants and table
// names: "its family bits, ID & 0xf3ff0000, are 0x2000000; the dispatcher
// takes 0 as halden, 0x1000000 as orlit and 0x3000000 or above as varnel".
std::string family_bits_text(uint32_t config_id);

// Only the first family's routines read power_mode; the others run the same
// bring-up whatever it is.
bool reads_power_mode(tov::Family f);
// A note when `power_mode` is not 0 and the ID's family does not read it; empty otherwise.
std::string power_mode_note(uint32_t config_id, uint32_t power_mode);

}  // namespace tovmem
