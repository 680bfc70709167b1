// SPDX-License-Identifier: Apache-2.0
// DRAM command decoding: what the controller drives onto the DDR command
// lines for a code written to DRC_CMD with the word in DRC_CMD_WORD. One
// decoder for every reader of a bus trace (text trace, rule check, diff,
// waveform), reading the fields the library builds its commands with
// (meminit/hw/dram.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "meminit/hw/dram.h"
#include "meminit/hw/regs.h"
#include "sim/simulator.h"

namespace tov::sim {

// A store starts a DRAM command when it writes a code other than idle to
// DRC_CMD; the chip model, the trace readers and the tests count them so.
constexpr bool starts_command(uint32_t off, uint32_t value) { return off == reg::DRC_CMD && value != dram::idle; }
inline bool starts_command(const Event& e) { return e.kind == EventKind::store && starts_command(e.off, e.val); }
uint32_t commands_started(const std::vector<Event>& events);

// The command the RAS#/CAS#/WE# lines (code bits 6, 5, 4; active low) carry.
enum class DramOp {
    nop,                     // 111
    active,                  // 011
    read,                    // 101
    write,                   // 100
    burst_terminate,         // 110
    precharge,               // 010
    auto_refresh,            // 001
    mode_register,           // 000, code bit 12 (BA0) clear: base mode register
    extended_mode_register,  // 000, code bit 12 (BA0) set: extended mode register
    closing,                 // code bit 1: the controller's own closing command
};

struct DramCommand {
    uint32_t code = 0;
    uint32_t word = 0;
    DramOp op = DramOp::nop;
    bool cke = false;      // code bit 7: clock-enable line
    uint32_t count = 0;    // word bits 16-31: memory-clock cycles the controller holds the command
    uint32_t address = 0;  // word bits 0-15: address bus (mode register value)

    // Mode register (base) fields.
    uint32_t burst_length() const;  // 2, 4 or 8; 0 for a reserved code
    bool burst_interleaved() const { return (address & dram::burst_interleaved) != 0; }
    uint32_t cas_latency_tenths() const;  // 20, 25, 30 or 40; 0 for a reserved code
    bool dll_reset() const { return (address & dram::dll_reset) != 0; }
    // Extended mode register fields.
    bool dll_disabled() const { return (address & dram::emrs_dll_disable) != 0; }
    bool reduced_drive() const { return (address & dram::emrs_reduced_drive) != 0; }
    // Precharge: A10 high closes every bank.
    bool all_banks() const { return (address & dram::a10) != 0; }
    bool is_access() const { return op == DramOp::active || op == DramOp::read || op == DramOp::write; }
};

DramCommand decode_command(uint32_t code, uint32_t word);

// "mode register set: CAS latency 3, burst 4, DLL reset, count 2".
std::string describe(const DramCommand& c);

// Short name without spaces, for waveform viewers: "NOP_CKE_low", "PRE_all",
// "EMRS", "MRS_DLL_reset", "MRS", "REF", "CLOSE".
std::string short_name(const DramCommand& c);

// "3", "2.5"; "reserved" for a code JEDEC DDR does not define.
std::string cas_latency_text(const DramCommand& c);

}  // namespace tov::sim
