// First-family (halden) DDR bring-up: one sequence, driven by the calling
// routine's traits, the case row that clock_index selects and the shared
// clock sets. The default routine adds three reserved clock values with
// sequences of their own.
#pragma once

#include <stdint.h>

#include "meminit/entry/meminit.h"

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

// One clock set: generator fields, which generators leave hold, the clock
// words and the word of the clock-enable command.
struct HaldenClockSet {
    uint8_t field[gen_count];  // bits 8-13 of 0x010, 0x018, 0x020, 0x028, 0x030
    GenMask released;          // taken out of hold (bit 23, then bit 22)
    uint32_t sys_050;          // 0x050
    uint8_t field_058;         // bits 0-6 of 0x058
    GenMask held_again;        // put back in hold at the end of a full bring-up
    uint32_t first_word;       // 0x824 word of the first power-up command
};

// Bus width of a case. full_size_halved: everything as full width, only the
// reported size follows bus_flag as in a half-width case.
enum class Width : uint8_t { full, half, full_size_halved };

// One row of a routine's case table.
struct HaldenCaseSettings {
    bool any_other = false;  // the row for every clock_index without a row of its own (last row)
    uint32_t clock = 0;      // clock_index of the row
    uint32_t clock_to = 0;   // last clock_index of a range row (0: the row is `clock` alone)
    uint32_t khz;         // reported memory clock
    const HaldenClockSet* clocks;
    Width width;
    uint32_t drc_810;
    uint32_t drc_814;
    uint32_t drc_818;
    uint32_t drc_81c;
    uint8_t a;            // counts and mode values of the power-up command words
    uint8_t e;
    uint8_t b;
    uint8_t mr;
    uint8_t r;
    uint8_t field_890;    // bits 20-27 of 0x890 in the controller finish
    bool ninth = false;   // the closing command also ends the power-up list
};

// When the clock_index 1 tail runs (it needs clock_index exactly 1).
enum class ClockOneTail : uint8_t { none, full_modes, every_mode };

// What sets one routine apart from its siblings.
struct HaldenTraits {
    const HaldenCaseSettings* cases;  // ends with its any_other row
    bool sys_058_follows_mode;        // first 0x058 value: bit 25 from mode_flag, else fixed 0x1000000
    uint32_t sys_0c0;                 // written after the pads are released; 0: not written
    bool reset_pulse;                 // pulse in power modes 2 and 3
    bool power_mode_honoured;         // false: every call is a full bring-up
    ClockOneTail clock_one_tail;
    bool reserved_clocks;             // 0xffff0001..0xffff0003 select their own sequences
    const char* entering;             // trace at entry, or nullptr
    const char* leaving;              // trace before returning 1, or nullptr
};

// The family sequence for one routine.
int32_t run(MemInitParams* p, const HaldenTraits& t);

// Steps shared by the sequence and the reserved sequences.
uint32_t first_058(const MemInitParams* p, bool follows_mode);
void modify_generators(const RegContext* ctx, GenMask gens, uint32_t clear, uint32_t set);
void start_generators(const RegContext* ctx, uint32_t first_058, const HaldenClockSet& s);
void clock_words(const RegContext* ctx, const HaldenClockSet& s);
void lanes_on(const RegContext* ctx, bool half, bool read_back);
void controller_words(const RegContext* ctx, const HaldenCaseSettings& row);
enum class Completion : uint8_t { tick_check, poll };
int32_t power_up(const RegContext* ctx, const HaldenCaseSettings& row, Completion c);
void controller_finish(const RegContext* ctx, uint8_t field_890);
void tail(const RegContext* ctx, GenMask held_again);

// Reserved clock values of the default routine (after its entry trace and
// reset pulse). Both return 1, or 0 when the controller never reported done.
int32_t polled_init(MemInitParams* p);
int32_t controller_reinit(MemInitParams* p);
constexpr uint32_t clock_polled_init = 0xffff0001;
constexpr uint32_t clock_reinit_97875 = 0xffff0002;
constexpr uint32_t clock_reinit_25000 = 0xffff0003;
constexpr bool is_reserved_clock(uint32_t clock) {
    return clock == clock_polled_init || clock == clock_reinit_97875 || clock == clock_reinit_25000;
}

}  // namespace tov::halden
