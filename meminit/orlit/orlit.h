// SPDX-License-Identifier: Apache-2.0
// Second controller family (configuration IDs 0x01xxxxxx): one register
// program for every routine, driven by constant per-form settings and a
// per-routine table that maps clock_index to a form.
#pragma once

#include <stdint.h>

#include "meminit/entry/meminit.h"
#include "meminit/hw/blocks.h"
#include "meminit/hw/regs.h"
#include "meminit/hw/reinit.h"

namespace tov::orlit {

// How mem_size_out follows from mem_size and bus_flag.
enum class SizeRule : uint8_t {
    as_form,          // (case override only) the form's own rule
    full,             // mem_size
    half_if_bus,      // mem_size >> 1 when bus_flag != 0, else mem_size
    half_or_quarter,  // mem_size >> (bus_flag + 1)
};

// First value written to 0x058.
enum class First058 : uint8_t {
    fixed_1000000,
    follows_mode,  // 0x3000000 when mode_flag != 0, else 0x1000000
};

enum class PulseClear : uint8_t {
    held,   // bit 30 cleared in the 0x810 value read before the pulse
    fresh,  // bit 30 cleared in a fresh read of 0x810
};

// Generators released by the clock set-up (bit set: released).
constexpr uint8_t gen_010 = 1;
constexpr uint8_t gen_018 = 2;
constexpr uint8_t gen_030 = 4;
constexpr uint8_t gen_all = gen_010 | gen_018 | gen_030;

// 0x808 and 0x80c are never 0 where a form writes them; 0 means both stay untouched.
constexpr uint32_t not_written = 0;

// The values one form feeds into the standard sequence. The defaults are the
// values shared by the member routines; the fields are declared in the order
// of the member routines' value rows (clock, first 0x058, 0x070, 0x810 ...).
struct OrlitFormSettings {
    uint32_t clock_khz = 0;
    SizeRule size = SizeRule::full;
    uint32_t hold_word = 0xffffffff;
    uint32_t release_mask = reg::sys_000::pads_reset;
    First058 first_058 = First058::fixed_1000000;
    uint32_t word_070 = 0;
    uint8_t gen_field[3] = {0x17, 0x17, 0x17};  // bits 8-13 of 0x010, 0x018, 0x030
    uint8_t released = gen_all;
    uint8_t settle_ticks = 1;  // tick count of every delay of the sequence
    uint32_t word_050 = 0x9b0fd0;
    uint32_t word_060 = 0;
    uint32_t early_068 = 0x478;
    uint32_t word_810 = 0;
    uint32_t word_814 = 0;
    uint32_t word_818 = 0;
    uint32_t word_81c = 0;
    uint32_t word_808 = not_written;
    uint32_t word_80c = not_written;
    // The power-up list (dram::PowerUpList); the DLL reset and the precharge
    // after it are held for 2 cycles in every form.
    uint16_t cke_high_cycles = 31051;
    uint8_t emrs_cycles = 0;
    uint8_t mode = 0;
    uint8_t final_cycles = 0;
    uint32_t word_840 = 0;  // written to 0x840 and 0x844
    bool final_068 = false;
    PulseClear pulse = PulseClear::fresh;
    // The generator list the sequence programs, from gen_field and released:
    // filled in by generator_list when the form table is built, so that the
    // sequence keeps no copy of it on the stack.
    ClockGenField gens[3] = {};
};

constexpr void generator_list(OrlitFormSettings& f) {
    constexpr uint32_t regs[3] = {reg::CLKGEN_010, reg::CLKGEN_018, reg::CLKGEN_030};
    constexpr uint8_t bits[3] = {gen_010, gen_018, gen_030};
    constexpr reg::Field rate = reg::clkgen::rate;
    for (int i = 0; i < 3; ++i)
        f.gens[i] = {regs[i], rate.mask(), rate.place(f.gen_field[i]), (f.released & bits[i]) != 0};
}

enum class Path : uint8_t {
    standard,   // the standard sequence with the case's form
    short_seq,  // the short sequence (no DRAM command)
    reinit,     // a 25 MHz controller-only re-initialisation
    none,       // nothing to do for this clock: return 0 untouched
};

// One row of a routine's case table: clock_index in [lo, hi] (unsigned)
// selects the path; the first matching row wins.
struct OrlitCase {
    uint32_t lo;
    uint32_t hi;
    Path path = Path::standard;
    const OrlitFormSettings* form = nullptr;
    SizeRule size = SizeRule::as_form;
    const ControllerReinit* reinit = nullptr;
    const char* message = nullptr;  // traced before anything else of the case
};

constexpr uint32_t any_hi = 0xffffffff;

struct OrlitRoutine {
    const char* entering;  // nullptr: no message
    const char* leaving;
    const OrlitCase* cases;
    uint32_t case_count;  // the last row covers every value
};

// Runs one routine: its case, its messages. 1 when every command completed,
// 0 when a command timed out or the clock is not served (no leaving message).
int32_t run_routine(MemInitParams* p, const OrlitRoutine& r);

}  // namespace tov::orlit
