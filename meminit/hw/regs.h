// SPDX-License-Identifier: Apache-2.0
// Register map of the chip block behind reg_base: byte offsets of every
// 32-bit register the library touches, and the fields of those registers that
// the code names. The command interface's fields (DRC_CMD, DRC_CMD_WORD,
// DRC_CMD_STATUS) are defined in dram.h and listed here with the others.
#pragma once

#include <stdint.h>

#include "meminit/hw/dram.h"

namespace tov::reg {

constexpr uint32_t SYS_000 = 0x000;
constexpr uint32_t SYS_008 = 0x008;
constexpr uint32_t CLKGEN_010 = 0x010;
constexpr uint32_t CLKGEN_018 = 0x018;
constexpr uint32_t CLKGEN_020 = 0x020;
constexpr uint32_t CLKGEN_028 = 0x028;
constexpr uint32_t CLKGEN_030 = 0x030;
constexpr uint32_t SYS_050 = 0x050;
constexpr uint32_t SYS_054 = 0x054;
constexpr uint32_t SYS_058 = 0x058;
constexpr uint32_t SYS_05C = 0x05c;
constexpr uint32_t SYS_060 = 0x060;
constexpr uint32_t SYS_068 = 0x068;
constexpr uint32_t SYS_070 = 0x070;
constexpr uint32_t SYS_0C0 = 0x0c0;
constexpr uint32_t SYS_0F8 = 0x0f8;
constexpr uint32_t BLK_400 = 0x400;
constexpr uint32_t BLK_414 = 0x414;
constexpr uint32_t BLK_418 = 0x418;
constexpr uint32_t BLK_420 = 0x420;
constexpr uint32_t BLK_428 = 0x428;
constexpr uint32_t BLK_430 = 0x430;
constexpr uint32_t BLK_43C = 0x43c;
constexpr uint32_t BLK_47C = 0x47c;
constexpr uint32_t DRC_800 = 0x800;
constexpr uint32_t DRC_808 = 0x808;
constexpr uint32_t DRC_80C = 0x80c;
constexpr uint32_t DRC_CFG = 0x810;
constexpr uint32_t DRC_814 = 0x814;
constexpr uint32_t DRC_818 = 0x818;
constexpr uint32_t DRC_81C = 0x81c;
constexpr uint32_t DRC_CMD = 0x820;
constexpr uint32_t DRC_CMD_WORD = 0x824;
constexpr uint32_t DRC_CMD_STATUS = 0x828;
constexpr uint32_t DRC_840 = 0x840;
constexpr uint32_t DRC_844 = 0x844;
constexpr uint32_t DRC_848 = 0x848;
constexpr uint32_t DRC_84C = 0x84c;
constexpr uint32_t DRC_850 = 0x850;
constexpr uint32_t DRC_85C = 0x85c;
constexpr uint32_t DRC_LANE0 = 0x860;
constexpr uint32_t DRC_LANE1 = 0x864;
constexpr uint32_t DRC_LANE2 = 0x868;
constexpr uint32_t DRC_LANE3 = 0x86c;
constexpr uint32_t DRC_TEST_CTRL = 0x870;
constexpr uint32_t DRC_TEST_DATA = 0x874;
constexpr uint32_t DRC_878 = 0x878;
constexpr uint32_t DRC_880 = 0x880;
constexpr uint32_t DRC_890 = 0x890;
constexpr uint32_t DRC_894 = 0x894;
constexpr uint32_t DRC_898 = 0x898;
constexpr uint32_t DRC_89C = 0x89c;
constexpr uint32_t DRC_8A0 = 0x8a0;
constexpr uint32_t DRC_8A4 = 0x8a4;
constexpr uint32_t REG_6130 = 0x6130;
constexpr uint32_t REG_6134 = 0x6134;

// ---------------------------------------------------------------------------
// Fields, under the register's name in lower case. Every family, the chip
// model and tovmem spell a bit through these; values that are only written
// whole (timing words, per-form words) stay with the tables that own them.
// ---------------------------------------------------------------------------

constexpr uint32_t bit(uint32_t n) { return 1u << n; }

// `width` bits from `shift`.
// Not constexpr: a constant expression that reaches it does not compile.
inline void field_value_does_not_fit() {}

struct Field {
    uint32_t shift;
    uint32_t width;
    constexpr uint32_t max() const { return width >= 32 ? ~0u : (1u << width) - 1u; }
    constexpr uint32_t mask() const { return max() << shift; }
    // The field holding `v`. A constant that does not fit the field does not
    // compile (tables of field values are constant expressions); a value
    // known only at run time is cut to the field's width, so that it never
    // reaches the bits beside it.
    constexpr uint32_t place(uint32_t v) const {
        if (__builtin_is_constant_evaluated() && v > max()) field_value_does_not_fit();
        return (v & max()) << shift;
    }
    constexpr uint32_t of(uint32_t word) const { return (word & mask()) >> shift; }
};

// A field as the tools name it (tovmem's report on hover): its name and bits.
struct NamedField {
    const char* name;
    uint32_t mask;
};

// True when no two of a register's fields share a bit. Every register lists
// its fields (`fields`), and field_map below, which holds every list, does
// not compile when two fields of one register share a bit.
constexpr bool disjoint(const NamedField* fields, uint32_t count) {
    uint32_t seen = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if ((seen & fields[i].mask) != 0) return false;
        seen |= fields[i].mask;
    }
    return true;
}
template <uint32_t N>
constexpr bool disjoint(const NamedField (&fields)[N]) {
    return disjoint(fields, N);
}

namespace sys_000 {
constexpr uint32_t pads_reset = bit(4);  // pads held in reset while clocks change; released before the controller
constexpr uint32_t bit9 = bit(9);        // the second family's form A holds it clear and releases it with the pads
constexpr NamedField fields[] = {{"pads_reset", pads_reset}, {"bit9", bit9}};
}  // namespace sys_000

namespace sys_050 {
constexpr Field low{.shift = 0, .width = 8};  // the second family's short sequence: := 0xee
constexpr NamedField fields[] = {{"low", low.mask()}};
}  // namespace sys_050

namespace sys_058 {
constexpr uint32_t mode = bit(25);                  // set in the first write when the caller's mode_flag asks for it
constexpr Field per_clock{.shift = 0, .width = 7};  // first family: from the clock set
constexpr uint32_t bit7 = bit(7);
constexpr uint32_t bit9 = bit(9);  // third family: set once the generators are released
constexpr uint32_t bit10 = bit(10);
constexpr uint32_t bit11 = bit(11);
constexpr NamedField fields[] = {{"mode", mode},   {"per_clock", per_clock.mask()},
                                 {"bit7", bit7},   {"bit9", bit9},
                                 {"bit10", bit10}, {"bit11", bit11}};
// What the second and third families set (the first writes per_clock): the
// second after its generators (its short sequence clears these bits, then
// sets orlit_short_on at its end), the third at its end.
constexpr uint32_t orlit_on = bit9 | per_clock.place(0x6f);
constexpr uint32_t orlit_short_on = per_clock.place(6);
constexpr uint32_t varnel_done = bit11 | bit10 | bit9 | bit7 | per_clock.mask();
}  // namespace sys_058

namespace sys_070 {
constexpr uint32_t bit24 = bit(24);  // third family: cleared once the generators are released
constexpr NamedField fields[] = {{"bit24", bit24}};
}  // namespace sys_070

namespace sys_0f8 {
constexpr Field moving{.shift = 0, .width = 4};  // changes on its own: a stable read compares only the bits above
constexpr NamedField fields[] = {{"moving", moving.mask()}};
}  // namespace sys_0f8

// CLKGEN_010 ... CLKGEN_030: one clock generator each.
namespace clkgen {
constexpr uint32_t hold_first = bit(23);             // released first
constexpr uint32_t hold_second = bit(22);            // released after it
constexpr uint32_t held = hold_first | hold_second;  // set together before the generator is programmed
constexpr Field rate{.shift = 8, .width = 6};        // per clock case
constexpr uint32_t bit1 = bit(1);                    // third family: set or cleared with the rate
constexpr NamedField fields[] = {
    {"hold_first", hold_first}, {"hold_second", hold_second}, {"rate", rate.mask()}, {"bit1", bit1}};
}  // namespace clkgen

namespace blk_43c {
constexpr uint32_t enable = bit(17);                   // the blocks run; cleared while clocks and controller change
constexpr uint32_t bit16 = bit(16);                    // set with enable by a re-initialisation
constexpr Field before_check{.shift = 8, .width = 7};  // cleared before the frame-buffer check
constexpr NamedField fields[] = {{"enable", enable}, {"bit16", bit16}, {"before_check", before_check.mask()}};
constexpr uint32_t reinit_enable = bit16 | enable;  // what a re-initialisation sets when it is done
}  // namespace blk_43c

namespace drc_cfg {
constexpr uint32_t half_width = bit(28);  // the alternate clock with half the data width
constexpr uint32_t pulse_low = bit(30);   // pulsed once the controller is set up
constexpr uint32_t pulse_high = bit(31);  // the third family pulses it with pulse_low
constexpr NamedField fields[] = {{"half_width", half_width}, {"pulse_low", pulse_low}, {"pulse_high", pulse_high}};
constexpr uint32_t pulse_both = pulse_high | pulse_low;
constexpr uint32_t reinit_kept = 0xc880e080;  // bits a re-initialisation's field write leaves alone
}  // namespace drc_cfg

namespace drc_818 {
// The bits a re-initialisation writes. The first two families' first
// variants keep the others (reinit_kept); the rest drop the value read.
constexpr Field reinit{.shift = 0, .width = 28};
constexpr uint32_t reinit_kept = ~reinit.mask();
constexpr NamedField fields[] = {{"reinit", reinit.mask()}};
}  // namespace drc_818

namespace drc_81c {
constexpr Field reinit{.shift = 0, .width = 9};       // what a re-initialisation replaces ...
constexpr uint32_t reinit_slow = reinit.place(0x21);  // ... with the slow clock's setting
// The third family clears only the bits of that field the slow setting
// leaves clear before it sets the setting: the same word.
constexpr uint32_t reinit_cleared = reinit.mask() & ~reinit_slow;
constexpr NamedField fields[] = {{"reinit", reinit.mask()}};
}  // namespace drc_81c

// The command interface, as dram.h defines it.
namespace drc_cmd {
constexpr NamedField fields[] = {{"start", dram::code_start},         {"closing", dram::code_closing},
                                 {"RAS#/CAS#/WE#", dram::lines_mask}, {"CKE", dram::code_cke},
                                 {"deselect", dram::code_deselect},   {"bank", dram::bank_mask}};
}  // namespace drc_cmd

namespace drc_cmd_word {
constexpr NamedField fields[] = {{"cycles", ~0u << dram::cycles_shift}, {"address", dram::address_mask}};
}  // namespace drc_cmd_word

namespace drc_cmd_status {
constexpr NamedField fields[] = {{"done", dram::status_done}};
}  // namespace drc_cmd_status

// DRC_LANE0 ... DRC_LANE3; DRC_880 has the same low bits.
namespace lane {
constexpr uint32_t off = bit(0);                // lane parked
constexpr uint32_t on = bit(1);                 // set once the lane has settled
constexpr uint32_t bit6 = bit(6);               // set with the lane words (DRC_880 with bit 0 cleared)
constexpr Field pads{.shift = 12, .width = 4};  // third family: a one-hot pad setting
constexpr NamedField fields[] = {{"off", off}, {"on", on}, {"bit6", bit6}, {"pads", pads.mask()}};
}  // namespace lane

namespace drc_890 {
constexpr uint32_t lanes_follow = bit(2);       // set before the lane words
constexpr uint32_t bit1 = bit(1);               // the third family clears it after bit 2
constexpr Field tail{.shift = 20, .width = 8};  // first family, after the last command
constexpr NamedField fields[] = {{"lanes_follow", lanes_follow}, {"bit1", bit1}, {"tail", tail.mask()}};
}  // namespace drc_890

// The register test client: a control store moves one test slot.
namespace drc_test_ctrl {
constexpr uint32_t write = bit(2);             // DRC_TEST_DATA into the slot; without it, the slot into DRC_TEST_DATA
constexpr Field slot{.shift = 4, .width = 1};  // slot 0 or slot 0x10
constexpr NamedField fields[] = {{"write", write}, {"slot", slot.mask()}};
}  // namespace drc_test_ctrl

// Every register's fields, by offset: the list each register's bits are
// checked in, and the one tovmem names them from.
struct RegFields {
    uint32_t off;
    const NamedField* fields;
    uint32_t count;
};

// Not constexpr: field_map does not compile with a register two of whose
// fields share a bit.
inline void two_fields_of_the_register_share_a_bit() {}

template <uint32_t N>
constexpr RegFields fields_of(uint32_t off, const NamedField (&fields)[N]) {
    if (!disjoint(fields)) two_fields_of_the_register_share_a_bit();
    return {off, fields, N};
}

constexpr RegFields field_map[] = {
    fields_of(SYS_000, sys_000::fields),
    fields_of(CLKGEN_010, clkgen::fields),
    fields_of(CLKGEN_018, clkgen::fields),
    fields_of(CLKGEN_020, clkgen::fields),
    fields_of(CLKGEN_028, clkgen::fields),
    fields_of(CLKGEN_030, clkgen::fields),
    fields_of(SYS_050, sys_050::fields),
    fields_of(SYS_058, sys_058::fields),
    fields_of(SYS_070, sys_070::fields),
    fields_of(SYS_0F8, sys_0f8::fields),
    fields_of(BLK_43C, blk_43c::fields),
    fields_of(DRC_CFG, drc_cfg::fields),
    fields_of(DRC_818, drc_818::fields),
    fields_of(DRC_81C, drc_81c::fields),
    fields_of(DRC_CMD, drc_cmd::fields),
    fields_of(DRC_CMD_WORD, drc_cmd_word::fields),
    fields_of(DRC_CMD_STATUS, drc_cmd_status::fields),
    fields_of(DRC_LANE0, lane::fields),
    fields_of(DRC_LANE1, lane::fields),
    fields_of(DRC_LANE2, lane::fields),
    fields_of(DRC_LANE3, lane::fields),
    fields_of(DRC_TEST_CTRL, drc_test_ctrl::fields),
    fields_of(DRC_880, lane::fields),
    fields_of(DRC_890, drc_890::fields),
};

// The named fields of the register at `off`; none (count 0) for a register
// whose bits the code does not name.
constexpr RegFields named_fields(uint32_t off) {
    for (const RegFields& r : field_map)
        if (r.off == off) return r;
    return {off, nullptr, 0};
}

static_assert(clkgen::rate.mask() == 0x3f00 && blk_43c::before_check.mask() == 0x7f00 &&
              drc_890::tail.mask() == 0xff00000 && lane::pads.mask() == 0xf000);
static_assert(drc_818::reinit_kept == 0xf0000000 && drc_81c::reinit.mask() == 0x1ff &&
              drc_81c::reinit_cleared == 0x1de && sys_0f8::moving.mask() == 0xf);

struct RegName {
    uint32_t off;
    const char* name;
};

constexpr RegName names[] = {
    {SYS_000, "SYS_000"},
    {SYS_008, "SYS_008"},
    {CLKGEN_010, "CLKGEN_010"},
    {CLKGEN_018, "CLKGEN_018"},
    {CLKGEN_020, "CLKGEN_020"},
    {CLKGEN_028, "CLKGEN_028"},
    {CLKGEN_030, "CLKGEN_030"},
    {SYS_050, "SYS_050"},
    {SYS_054, "SYS_054"},
    {SYS_058, "SYS_058"},
    {SYS_05C, "SYS_05C"},
    {SYS_060, "SYS_060"},
    {SYS_068, "SYS_068"},
    {SYS_070, "SYS_070"},
    {SYS_0C0, "SYS_0C0"},
    {SYS_0F8, "SYS_0F8"},
    {BLK_400, "BLK_400"},
    {BLK_414, "BLK_414"},
    {BLK_418, "BLK_418"},
    {BLK_420, "BLK_420"},
    {BLK_428, "BLK_428"},
    {BLK_430, "BLK_430"},
    {BLK_43C, "BLK_43C"},
    {BLK_47C, "BLK_47C"},
    {DRC_800, "DRC_800"},
    {DRC_808, "DRC_808"},
    {DRC_80C, "DRC_80C"},
    {DRC_CFG, "DRC_CFG"},
    {DRC_814, "DRC_814"},
    {DRC_818, "DRC_818"},
    {DRC_81C, "DRC_81C"},
    {DRC_CMD, "DRC_CMD"},
    {DRC_CMD_WORD, "DRC_CMD_WORD"},
    {DRC_CMD_STATUS, "DRC_CMD_STATUS"},
    {DRC_840, "DRC_840"},
    {DRC_844, "DRC_844"},
    {DRC_848, "DRC_848"},
    {DRC_84C, "DRC_84C"},
    {DRC_850, "DRC_850"},
    {DRC_85C, "DRC_85C"},
    {DRC_LANE0, "DRC_LANE0"},
    {DRC_LANE1, "DRC_LANE1"},
    {DRC_LANE2, "DRC_LANE2"},
    {DRC_LANE3, "DRC_LANE3"},
    {DRC_TEST_CTRL, "DRC_TEST_CTRL"},
    {DRC_TEST_DATA, "DRC_TEST_DATA"},
    {DRC_878, "DRC_878"},
    {DRC_880, "DRC_880"},
    {DRC_890, "DRC_890"},
    {DRC_894, "DRC_894"},
    {DRC_898, "DRC_898"},
    {DRC_89C, "DRC_89C"},
    {DRC_8A0, "DRC_8A0"},
    {DRC_8A4, "DRC_8A4"},
    {REG_6130, "REG_6130"},
    {REG_6134, "REG_6134"},
};

// Map name of an offset, or nullptr for one outside the map.
constexpr const char* name_of(uint32_t off) {
    for (const RegName& r : names)
        if (r.off == off) return r.name;
    return nullptr;
}

}  // namespace tov::reg
