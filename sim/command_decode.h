// DRAM command decoding: what the controller drives onto the DDR command
// lines for a code written to DRC_CMD with the word in DRC_CMD_WORD. One
// decoder for every reader of a bus trace (text trace, rule check, diff,
// waveform).
#pragma once

#include <cstdint>
#include <string>

namespace tov::sim {

// The command the RAS#/CAS#/WE# lines (code bits 6, 5, 4; active low) carry.
enum class DramOp {
    nop,                     // 111
    active,                  // 011
    read,                    // 101
    write,                   // 100
    burst_terminate,         // 110
    precharge,               // 010
    auto_refresh,            // 001
    mode_register,           // 000, code bit 12 clear: base mode register
    extended_mode_register,  // 000, code bit 12 set: extended mode register (bank address 1)
    closing,                 // code bit 1: the controller's own closing command
};

struct DramCommand {
    uint32_t code = 0;
    uint32_t word = 0;
    DramOp op = DramOp::nop;
    bool cke = false;     // code bit 7: clock-enable line
    uint32_t count = 0;   // word bits 16-31: memory-clock cycles the controller holds the command
    uint32_t address = 0; // word bits 0-15: address bus (mode register value)

    // Mode register (base) fields.
    uint32_t burst_length() const;     // 2, 4 or 8; 0 for a reserved code
    bool burst_interleaved() const { return (address & 8) != 0; }
    uint32_t cas_latency_tenths() const;  // 20, 25, 30 or 40; 0 for a reserved code
    bool dll_reset() const { return (address & 0x100) != 0; }
    // Extended mode register fields.
    bool dll_disabled() const { return (address & 1) != 0; }
    bool reduced_drive() const { return (address & 2) != 0; }
    // Precharge: A10 high closes every bank.
    bool all_banks() const { return (address & 0x400) != 0; }
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
