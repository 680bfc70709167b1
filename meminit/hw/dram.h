// SPDX-License-Identifier: Apache-2.0
// The DRAM controller's command vocabulary. A code written to DRC_CMD drives
// the DDR command lines; the word in DRC_CMD_WORD holds the address bus (a
// mode-register value, A10 for a precharge of every bank) and how many
// memory-clock cycles the controller holds the command. Every command the
// library sends is built here, and the trace decoder reads codes and words
// with the same fields, so the two cannot disagree.
#pragma once

#include <stdint.h>

namespace tov::dram {

// ---------------------------------------------------------------------------
// DRC_CMD: the command code.
// ---------------------------------------------------------------------------

constexpr uint32_t idle = 0;                // a stored 0 returns the register to idle; any other code starts a command
constexpr uint32_t code_start = 1u << 0;    // carried by every command code
constexpr uint32_t code_closing = 1u << 1;  // the controller's own closing command
constexpr uint32_t lines_shift = 4;         // RAS#, CAS#, WE# in bits 6, 5, 4 (active low)
constexpr uint32_t lines_mask = 7u << lines_shift;
constexpr uint32_t code_cke = 1u << 7;           // clock-enable line
constexpr uint32_t code_deselect = 1u << 8;      // CS# high: the devices ignore the other lines (every NOP carries it)
constexpr uint32_t bank_shift = 12;              // BA1:BA0 in bits 13:12
constexpr uint32_t code_ba0 = 1u << bank_shift;  // with the mode-register lines: the extended mode register
constexpr uint32_t bank_mask = 3u << bank_shift;
// The bits a command code occupies; a code field replaced in place may also
// take bit 2, which no code sets.
constexpr uint32_t code_fields = code_start | code_closing | lines_mask | code_cke | code_deselect | bank_mask;
constexpr uint32_t code_fields_with_bit2 = code_fields | (1u << 2);

// The RAS#, CAS#, WE# levels (1 high) of each DDR command.
constexpr uint32_t lines_mode_register = 0b000;
constexpr uint32_t lines_auto_refresh = 0b001;
constexpr uint32_t lines_precharge = 0b010;
constexpr uint32_t lines_active = 0b011;
constexpr uint32_t lines_write = 0b100;
constexpr uint32_t lines_read = 0b101;
constexpr uint32_t lines_burst_terminate = 0b110;
constexpr uint32_t lines_nop = 0b111;

constexpr uint32_t lines_of(uint32_t code) { return (code & lines_mask) >> lines_shift; }

enum class Cke : bool { low, high };

// A command code: the lines, CKE and the bank address.
constexpr uint32_t code(uint32_t lines, Cke cke, uint32_t bank = 0) {
    return code_start | (lines << lines_shift) | (cke == Cke::high ? code_cke : 0) | (bank << bank_shift);
}
// NOP with the devices deselected; the bank address is the controller's, the devices ignore it.
constexpr uint32_t nop(Cke cke, uint32_t bank = 0) { return code(lines_nop, cke, bank) | code_deselect; }
// Precharge; whether of every bank is the word's A10.
constexpr uint32_t precharge(uint32_t bank = 0) { return code(lines_precharge, Cke::high, bank); }
constexpr uint32_t auto_refresh() { return code(lines_auto_refresh, Cke::high); }
constexpr uint32_t mode_register_set() { return code(lines_mode_register, Cke::high); }
constexpr uint32_t extended_mode_register_set() { return code(lines_mode_register, Cke::high, 1); }
constexpr uint32_t closing() { return nop(Cke::high) | code_closing; }

// ---------------------------------------------------------------------------
// DRC_CMD_STATUS: read only.
// ---------------------------------------------------------------------------

constexpr uint32_t status_done = 1u << 0;  // the last command has completed

// ---------------------------------------------------------------------------
// DRC_CMD_WORD: cycles held and address bus.
// ---------------------------------------------------------------------------

constexpr uint32_t cycles_shift = 16;  // bits 16-31: memory-clock cycles the controller holds the command
constexpr uint32_t address_mask = 0xffff;
constexpr uint32_t a10 = 0x400;  // precharge: every bank
constexpr uint32_t all_address_lines = 0xffff;

// A field write of the word (re-initialisations) keeps bits 13-15.
constexpr uint32_t word_kept = 0xe000;

constexpr uint32_t word(uint32_t cycles, uint32_t address = 0) { return (cycles << cycles_shift) | address; }
constexpr uint32_t cycles_of(uint32_t word) { return word >> cycles_shift; }
constexpr uint32_t address_of(uint32_t word) { return word & address_mask; }

// Base mode register: burst length in bits 0-2, interleaved burst bit 3, CAS
// latency in bits 4-6, DLL reset bit 8.
struct CasLatency {
    uint32_t field;
};
constexpr CasLatency cas_2{2};
constexpr CasLatency cas_2_5{6};
constexpr CasLatency cas_3{3};
constexpr CasLatency cas_4{4};  // not a DDR latency, yet some routines select it
constexpr uint32_t cas_shift = 4;
constexpr uint32_t cas_mask = 7u << cas_shift;

struct BurstLength {
    uint32_t field;
};
constexpr BurstLength burst_2{1};
constexpr BurstLength burst_4{2};
constexpr BurstLength burst_8{3};
constexpr uint32_t burst_mask = 7;
constexpr uint32_t burst_interleaved = 1u << 3;
constexpr uint32_t dll_reset = 1u << 8;

constexpr uint32_t mode_register(CasLatency cl, BurstLength bl) { return (cl.field << cas_shift) | bl.field; }

// Extended mode register: bit 0 disables the DLL, bit 1 selects reduced drive strength.
constexpr uint32_t emrs_dll_disable = 1u << 0;
constexpr uint32_t emrs_reduced_drive = 1u << 1;
enum class Drive : bool { full, reduced };
constexpr uint32_t extended_mode(Drive d) { return d == Drive::reduced ? emrs_reduced_drive : 0; }

// ---------------------------------------------------------------------------
// The JEDEC DDR power-up list, positions P0..P9.
// ---------------------------------------------------------------------------

constexpr uint32_t power_up_len = 10;
constexpr uint32_t closing_cycles = 200;

struct Command {
    uint32_t code;
    uint32_t word;
    constexpr bool operator==(const Command&) const = default;
};

// What sets one list apart: the counts and mode values the controller sends,
// then what its own bring-up drives around them (the slow re-initialisation
// drives other values there).
// Narrow fields: a list built at run time stays small on the kernel stack.
struct PowerUpList {
    uint16_t cke_high_cycles;                                  // P1: NOP raising CKE, held for the devices' 200 us
    uint8_t emrs_cycles;                                       // P3: extended mode register set; P6: first auto refresh
    uint8_t extended_mode = dram::extended_mode(Drive::full);  // P3's value (DLL enabled)
    uint8_t dll_reset_cycles;    // P4: mode register set with DLL reset; P5: precharge of every bank
    uint8_t mode;                // P4 and P8: CAS latency and burst
    uint8_t final_cycles;        // P7: second auto refresh; P8: mode register set without DLL reset
    uint8_t cke_low_cycles = 1;  // P0: NOP with CKE low
    uint16_t precharge_address = all_address_lines;  // P2 and P5 (A10 high at least)
    uint8_t opening_bank = 1;                        // bank address of P0..P2
    uint8_t closing_cycles = dram::closing_cycles;   // P9: the closing command
};

// Code and word of one position of the list.
constexpr Command power_up_command(const PowerUpList& l, uint32_t position) {
    switch (position) {
    case 0: return {nop(Cke::low, l.opening_bank), word(l.cke_low_cycles)};
    case 1: return {nop(Cke::high, l.opening_bank), word(l.cke_high_cycles)};
    case 2: return {precharge(l.opening_bank), word(1, l.precharge_address)};
    case 3: return {extended_mode_register_set(), word(l.emrs_cycles, l.extended_mode)};
    case 4: return {mode_register_set(), word(l.dll_reset_cycles, l.mode | dll_reset)};
    case 5: return {precharge(), word(l.dll_reset_cycles, l.precharge_address)};
    case 6: return {auto_refresh(), word(l.emrs_cycles)};
    case 7: return {auto_refresh(), word(l.final_cycles)};
    case 8: return {mode_register_set(), word(l.final_cycles, l.mode)};
    default: return {closing(), word(l.closing_cycles)};
    }
}

// The codes the controllers take, written out: the builders above must give exactly these.
static_assert(nop(Cke::low, 1) == 0x1171 && nop(Cke::high, 1) == 0x11f1 && precharge(1) == 0x10a1 &&
              extended_mode_register_set() == 0x1081 && mode_register_set() == 0x81 && precharge() == 0xa1 &&
              auto_refresh() == 0x91 && closing() == 0x1f3);
static_assert(nop(Cke::low, 3) == 0x3171 && nop(Cke::high, 3) == 0x31f1 && precharge(3) == 0x30a1);
static_assert(code_fields == 0x31f3 && code_fields_with_bit2 == 0x31f7);

}  // namespace tov::dram
