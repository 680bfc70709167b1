// SPDX-License-Identifier: Apache-2.0
// First-family (halden) DDR bring-up: one sequence, driven by the calling
// routine's traits, the case row that clock_index selects and the shared
// clock sets. The default routine adds three reserved clock values with
// sequences of their own.
#pragma once

#include <stdint.h>

#include "meminit/entry/meminit.h"
#include "meminit/hw/blocks.h"
#include "meminit/hw/dram.h"
#include "meminit/hw/regs.h"

namespace tov::halden {

// Clock generators, one bit each, in the order the hardware needs them
// handled: 0x010, 0x018, 0x020, 0x028, 0x030.
using GenMask = uint8_t;
constexpr GenMask g010 = 1u << 0;
constexpr GenMask g018 = 1u << 1;
constexpr GenMask g020 = 1u << 2;
constexpr GenMask g028 = 1u << 3;
constexpr GenMask g030 = 1u << 4;
constexpr GenMask all_gens = g010 | g018 | g020 | g028 | g030;
constexpr GenMask no_gens = 0;
constexpr uint32_t gen_count = 5;
constexpr uint32_t gen_regs[gen_count] = {
    reg::CLKGEN_010, reg::CLKGEN_018, reg::CLKGEN_020, reg::CLKGEN_028, reg::CLKGEN_030,
};

// One clock set as the tables write it: generator fields, which generators
// leave hold, the clock words, which are put back in hold at the end of a
// full bring-up (always the last ones of the list), and the clock-enable wait.
struct HaldenClocks {
    uint8_t field[gen_count];  // bits 8-13 of 0x010, 0x018, 0x020, 0x028, 0x030
    GenMask released;          // taken out of hold (bit 23, then bit 22)
    uint32_t sys_050;          // 0x050
    uint8_t field_058;         // bits 0-6 of 0x058
    GenMask held_again;
    uint16_t cke_high_cycles;  // count of the power-up NOP that raises CKE
};

// The same set as the shared clock-generator blocks take it.
struct HaldenClockSet {
    ClockGenField gens[gen_count];
    uint32_t held_again_from;  // the generators from this one on are held again
    uint32_t sys_050;
    uint8_t field_058;
    uint16_t cke_high_cycles;
};

// Reached only when a set's held-again generators are not the last ones of the list.
void held_again_not_at_the_end();

consteval HaldenClockSet clock_set(const HaldenClocks& c) {
    HaldenClockSet s{};
    for (uint32_t i = 0; i < gen_count; ++i)
        s.gens[i] = {.reg = gen_regs[i],
                     .clear = reg::clkgen::rate.mask(),
                     .set = reg::clkgen::rate.place(c.field[i]),
                     .release = (c.released & (1u << i)) != 0};
    s.held_again_from = gen_count;
    while (s.held_again_from > 0 && (c.held_again & (1u << (s.held_again_from - 1)))) --s.held_again_from;
    if (c.held_again != ((all_gens >> s.held_again_from) << s.held_again_from)) held_again_not_at_the_end();
    s.sys_050 = c.sys_050;
    s.field_058 = c.field_058;
    s.cke_high_cycles = c.cke_high_cycles;
    return s;
}

// Bus width of a case. full_size_halved: everything as full width, only the
// reported size follows bus_flag as in a half-width case.
enum class Width : uint8_t { full, half, full_size_halved };

// One row of a routine's case table.
struct HaldenCaseSettings {
    bool any_other = false;  // the row for every clock_index without a row of its own (last row)
    uint32_t clock = 0;      // clock_index of the row
    uint32_t clock_to = 0;   // last clock_index of a range row (0: the row is `clock` alone)
    uint32_t khz;            // reported memory clock
    const HaldenClockSet* clocks;
    Width width;
    uint32_t drc_810;
    uint32_t drc_814;
    uint32_t drc_818;
    uint32_t drc_81c;
    uint8_t field_890;  // bits 20-27 of 0x890 in the controller finish
    // The power-up list (dram::PowerUpList; its clock-enable wait is the clock set's).
    uint8_t emrs_cycles;
    uint8_t extended_mode = dram::extended_mode(dram::Drive::full);
    uint8_t dll_reset_cycles;
    uint8_t mode;
    uint8_t final_cycles;
    bool closing_in_list = false;  // the closing command also ends the power-up list
};

// When the clock_index 1 tail runs (it needs clock_index exactly 1).
enum class ClockOneTail : uint8_t { none, full_modes, every_mode };

// What sets one routine apart from its siblings.
// The defaults are what most routines do; a routine's traits name only
// where it differs.
struct HaldenTraits {
    const HaldenCaseSettings* cases = nullptr;  // ends with its any_other row
    bool sys_058_follows_mode = false;          // first 0x058 value: bit 25 from mode_flag, else fixed 0x1000000
    uint32_t sys_0c0 = 0;                       // written after the pads are released; 0: not written
    bool reset_pulse = true;                    // pulse in power modes 2 and 3
    bool power_mode_honoured = true;            // false: every call is a full bring-up
    ClockOneTail clock_one_tail = ClockOneTail::none;
    bool reserved_clocks = false;    // 0xffff0001..0xffff0003 select their own sequences
    const char* entering = nullptr;  // trace at entry, or nullptr
    const char* leaving = nullptr;   // trace before returning 1, or nullptr
};

// The family sequence for one routine.
int32_t run(MemInitParams* p, const HaldenTraits& t);

// Steps shared by the sequence and the reserved sequences.
uint32_t first_058(const MemInitParams* p, bool follows_mode);
void start_generators(Bus& bus, uint32_t first_058, const HaldenClockSet& s);
void clock_words(Bus& bus, const HaldenClockSet& s);
void controller_words(Bus& bus, const HaldenCaseSettings& row);
dram::PowerUpList power_up_list(const HaldenCaseSettings& row);
void controller_finish(Bus& bus, uint8_t field_890);
void tail(Bus& bus, const HaldenClockSet& s);

// Reserved clock values of the default routine (after its entry trace and
// reset pulse); a command the controller never reported done halts the bus.
void polled_init(Bus& bus, MemInitParams* p);
void reserved_reinit(Bus& bus, MemInitParams* p);
constexpr uint32_t clock_polled_init = 0xffff0001;
constexpr uint32_t clock_reinit_97875 = 0xffff0002;
constexpr uint32_t clock_reinit_25000 = 0xffff0003;
constexpr bool is_reserved_clock(uint32_t clock) {
    return clock == clock_polled_init || clock == clock_reinit_97875 || clock == clock_reinit_25000;
}

}  // namespace tov::halden
