// SPDX-License-Identifier: Apache-2.0
// Third controller family: one bring-up sequence driven by a
// constant profile per init routine; the status-checked K4D551638F_TC40
// routine adds the controller-only re-initialisation.
#pragma once

#include <stdint.h>

#include "meminit/entry/meminit.h"
#include "meminit/hw/blocks.h"
#include "meminit/hw/regs.h"
#include "meminit/hw/reinit.h"

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

// What follows the BLK_400 word.
enum class Ending : uint8_t {
    direct,       // 0x810 := set-up word without the pulse bits; SYS_058 |= varnel_done
    pulse,        // SYS_058 |= varnel_done, then the controller pulse
    pulse_check,  // the pulse, the blocks running again, then the frame-buffer check
};

// The controller timing words written after the set-up word, in write order.
struct Timing {
    uint32_t drc_814;
    uint32_t drc_818;
    uint32_t drc_81c;
    uint32_t drc_808;
    uint32_t drc_80c = 0x24c00c4;
};

// A generator's rate and bit 1, written as one field write (the mask clears
// only the bits the new value leaves 0), then released.
constexpr ClockGenField gen(uint32_t r, uint32_t rate, bool bit1) {
    const uint32_t set = reg::clkgen::rate.place(rate) | (bit1 ? reg::clkgen::bit1 : 0);
    return {.reg = r, .clear = (reg::clkgen::rate.mask() | reg::clkgen::bit1) & ~set, .set = set, .release = true};
}

// Clock generator fields (0x030 is the same in every routine).
constexpr ClockGenField gens_standard[3] = {
    gen(reg::CLKGEN_010, 0x3a, true),
    gen(reg::CLKGEN_018, 0x36, true),
    gen(reg::CLKGEN_030, 0x18, false),
};

// 0x810 set-up word per form.
struct CfgPair {
    uint32_t word[2];
};
// The usual pair: the alternate word adds the half-width bit.
constexpr CfgPair both_widths(uint32_t w) { return {{w, w | reg::drc_cfg::half_width}}; }

// One routine's values. Two-element arrays are indexed by form: [0] the
// default form, [1] the alternate form.
struct Profile {
    const char* entry;     // entry trace message
    bool checked = false;  // a status-checked bus: a read that never settles returns -1
    AltSet alt = AltSet::clocks_10_11;
    bool alt_unsupported = false;        // alternate clocks: trace, report sizes, touch nothing
    const char* default_note = nullptr;  // traced in the default form before the outputs
    SizeRule size = {.other = Size::full, .alt = Size::half_if_bus};
    bool mode_058 = true;                          // the SYS_058 start word follows mode_flag (else always 0x11000000)
    uint32_t sys_050[2] = {0xf006700, 0xf006700};  // per form
    const ClockGenField* gens = gens_standard;     // held, programmed and released
    uint32_t pad = 1;                              // one-hot value of 0x860/0x864 bits 12-15
    uint32_t pad_85c = 0x110000;                   // DRC_85C beside the pads
    uint8_t lane_settle_ticks[2] = {1, 1};         // lanes settling: delay_ticks(1) count
    CfgPair cfg;                                   // 0x810 set-up word W
    Timing timing;                                 // after W
    dram::PowerUpList power_up;                    // after the timing words
    bool early_43c_enable = true;                  // 0x43c bit 17 set before 0x400
    Ending ending[2] = {Ending::pulse_check, Ending::pulse_check};
    uint32_t pulse_ticks = 1;  // delay_ticks after each half of the pulse
    FbCheck check[2] = {FbCheck::plain, FbCheck::plain};
    const ControllerReinit* reinit = nullptr;  // what clock_index 0xffff0004 runs instead, on the same bus
};

// clock_index that selects a profile's controller-only re-initialisation.
constexpr uint32_t reinit_clock = 0xffff0004;

// Runs the routine of a profile: its entry message, then the standard
// sequence or its re-initialisation; 1, 0 or -1.
int32_t run(MemInitParams* p, const Profile& v);

}  // namespace tov::varnel
