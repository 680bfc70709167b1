// Third controller family: one bring-up sequence (steps S1..S35) driven by a
// constant profile per init routine, plus the controller-only
// re-initialisation of the status-checked K4D551638F_TC40 routine.
#pragma once

#include <stdint.h>

#include "meminit/entry/meminit.h"
#include "meminit/hw/blocks.h"

namespace tov::varnel {

// Memory clock every third-family sequence sets up, in kHz.
constexpr uint32_t mem_clock_khz = 182250;

// Clock selectors that pick the alternate (half-width) form.
enum class AltSet : uint8_t {
    none,          // the routine has a single form
    clocks_10_11,  // clock_index 10, 11
    clocks_7_11,   // clock_index 7..11
};

// How the reported size derives from mem_size.
enum class Size : uint8_t {
    none,         // no rule at this level: fall through to the next one
    full,         // mem_size
    half,         // mem_size >> 1
    quarter,      // mem_size >> 2
    half_if_bus,  // mem_size >> 1 when bus_flag is set, else mem_size
};

// Size rule: an exact clock_index entry (5, 6, 11) wins, then the alternate
// form's rule, then `other`.
struct SizeRule {
    Size other;
    Size alt = Size::none;
    Size at5 = Size::none;
    Size at6 = Size::none;
    Size at11 = Size::none;
};

// What follows step S31.
enum class Ending : uint8_t {
    direct,       // 0x810 := set-up word without the pulse bits; 0x058 |= 0xeff
    pulse,        // S32, S33
    pulse_check,  // S32, S33, S34 and the frame-buffer check S35
};


// The controller timing words of step S27, in write order.
struct Timing {
    uint32_t r814;
    uint32_t r818;
    uint32_t r81c;
    uint32_t r808;
    uint32_t r80c = 0x24c00c4;
};

// Clock generator fields of step S10 (0x030 is the same in every routine).
constexpr ClockGenField gens_standard[3] = {
    {.reg = 0x010, .clear = 0x500, .set = 0x3a02, .release = true},
    {.reg = 0x018, .clear = 0x900, .set = 0x3602, .release = true},
    {.reg = 0x030, .clear = 0x2702, .set = 0x1800, .release = true},
};

// 0x810 set-up word per form.
struct CfgPair {
    uint32_t w[2];
};
// The usual pair: the alternate (half-width) word adds bit 28.
constexpr uint32_t half_width_bit = 0x10000000;
constexpr CfgPair both_widths(uint32_t w) { return {{w, w | half_width_bit}}; }

// One routine's values. Two-element arrays are indexed by form: [0] the
// default form, [1] the alternate form.
struct Profile {
    const char* entry;            // entry trace message
    bool checked = false;         // status-checked access: a failing primitive returns -1
    AltSet alt = AltSet::clocks_10_11;
    bool alt_unsupported = false; // alternate clocks: trace, report sizes, touch nothing
    const char* default_note = nullptr;  // traced in the default form before the outputs
    SizeRule size = {.other = Size::full, .alt = Size::half_if_bus};
    bool mode_058 = true;         // S6 follows mode_flag (else always 0x11000000)
    uint32_t sys_050[2];          // S15
    const ClockGenField* gens = gens_standard;  // S7, S10..S12
    uint32_t pad = 1;             // S19: one-hot value of 0x860/0x864 bits 12-15
    uint32_t pad_85c = 0x110000;  // S19
    uint8_t s24_ticks[2];         // S24: delay_ticks(1) count
    CfgPair cfg;                  // S26: 0x810 set-up word W
    Timing timing;                // S27
    PowerUpWords cmds;            // S28
    bool s30 = true;              // S30: early 0x43c bit 17
    Ending ending[2] = {Ending::pulse_check, Ending::pulse_check};
    uint32_t pulse_ticks = 1;     // S33: delay_ticks after each half of the pulse
    FbCheck check[2] = {FbCheck::plain, FbCheck::plain};
};


// Power-up words from the per-routine values (P3 and P6 always carry the
// same word).
constexpr PowerUpWords words(uint32_t long_count, uint32_t p3_p6, uint32_t p4, uint32_t p5,
                             uint32_t p7, uint32_t p8) {
    return power_up_words(long_count, p3_p6, p4, p5, p3_p6, p7, p8);
}

// Runs the standard sequence with a profile; 1, 0 or -1.
int32_t run(MemInitParams* p, const Profile& v);

// Controller-only re-initialisation at 25000 kHz (K1..K12), status-checked,
// after the routine's entry message.
int32_t reinit(MemInitParams* p, const char* entry);

}  // namespace tov::varnel
