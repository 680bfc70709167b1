// SPDX-License-Identifier: Apache-2.0
// The register fields of regs.h: a constant that does not fit its field does
// not compile, a run-time value is cut to the field's width and never reaches
// the bits beside it, of() reads back what place() put, and no two fields of a
// register share a bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>

#include "meminit/hw/regs.h"

namespace tov::test::register_fields_test {
namespace {

// True when place(v) is a constant expression: v fits the field.
template <reg::Field f, uint32_t v>
concept places = requires {
    typename std::integral_constant<uint32_t, f.place(v)>;
};

constexpr reg::Field fields[] = {reg::sys_050::low,          reg::sys_058::per_clock, reg::clkgen::rate,
                                 reg::blk_43c::before_check, reg::lane::pads,         reg::drc_890::tail,
                                 reg::drc_test_ctrl::slot,   reg::sys_0f8::moving,    reg::drc_818::reinit,
                                 reg::drc_81c::reinit};

// Each field at the top of its width and one past it.
static_assert(places<reg::sys_058::per_clock, 0x7f> && !places<reg::sys_058::per_clock, 0x80>);
static_assert(places<reg::clkgen::rate, 0x3f> && !places<reg::clkgen::rate, 0x40>);
static_assert(places<reg::blk_43c::before_check, 0x7f> && !places<reg::blk_43c::before_check, 0x80>);
static_assert(places<reg::lane::pads, 0xf> && !places<reg::lane::pads, 0x10>);
static_assert(places<reg::drc_890::tail, 0xff> && !places<reg::drc_890::tail, 0x100>);
static_assert(places<reg::drc_test_ctrl::slot, 1> && !places<reg::drc_test_ctrl::slot, 2>);
static_assert(places<reg::sys_0f8::moving, 0xf> && !places<reg::sys_0f8::moving, 0x10>);
static_assert(places<reg::drc_818::reinit, 0xfffffff> && !places<reg::drc_818::reinit, 0x10000000>);
static_assert(places<reg::drc_81c::reinit, 0x1ff> && !places<reg::drc_81c::reinit, 0x200>);
static_assert(!places<reg::clkgen::rate, 0xffffffff>);

// The field's bits of v, placed bit by bit.
uint32_t bit_by_bit(const reg::Field& f, uint32_t v) {
    uint32_t out = 0;
    for (uint32_t i = 0; i < f.width && f.shift + i < 32; ++i) out |= ((v >> i) & 1u) << (f.shift + i);
    return out;
}

TEST(RegisterFields, RunTimeValuesAreCutToTheField) {
    volatile uint32_t start = 0x9e3779b9;  // run-time values, whatever the optimiser sees
    for (const reg::Field& f : fields) {
        uint32_t v = start;
        for (int k = 0; k < 64; ++k, v = v * 1664525u + 1013904223u) {
            const uint32_t placed = f.place(v);
            EXPECT_EQ(placed, bit_by_bit(f, v)) << "shift " << f.shift << " width " << f.width << " value " << v;
            EXPECT_EQ(placed & ~f.mask(), 0u) << "bits beside the field";
            EXPECT_EQ(f.of(placed), v & ((1u << f.width) - 1u));
            EXPECT_EQ(f.of(placed | ~f.mask()), f.of(placed)) << "of() reads the field alone";
        }
    }
}

// The check that no two fields of a register share a bit: each register's
// list with one more bit added refuses exactly the bits one of its fields
// holds, and a field listed twice or a bit inside a wider field is refused.
template <uint32_t N>
void expect_overlaps_refused(const char* reg_name, const uint32_t (&fields)[N]) {
    ASSERT_TRUE(reg::disjoint(fields)) << reg_name;
    uint32_t held = 0;
    int bits = 0;
    for (uint32_t f : fields) {
        held |= f;
        bits += __builtin_popcount(f);
    }
    ASSERT_EQ(__builtin_popcount(held), bits) << reg_name << ": its fields overlap";
    for (uint32_t b = 0; b < 32; ++b) {
        uint32_t with[N + 1];
        for (uint32_t i = 0; i < N; ++i) with[i] = fields[i];
        with[N] = 1u << b;
        EXPECT_EQ(reg::disjoint(with), (held >> b & 1u) == 0) << reg_name << " with bit " << b;
    }
    for (uint32_t i = 0; i < N; ++i) {
        uint32_t twice[N + 1];
        for (uint32_t k = 0; k < N; ++k) twice[k] = fields[k];
        twice[N] = fields[i];
        EXPECT_FALSE(reg::disjoint(twice)) << reg_name << ": field " << i << " listed twice";
    }
}

TEST(RegisterFields, NoTwoFieldsOfARegisterOverlap) {
    constexpr uint32_t inside[] = {reg::Field{.shift = 8, .width = 6}.mask(), reg::bit(13)};
    constexpr uint32_t beside[] = {reg::Field{.shift = 8, .width = 6}.mask(), reg::bit(14), reg::bit(7)};
    static_assert(!reg::disjoint(inside) && reg::disjoint(beside));
    expect_overlaps_refused("SYS_000", reg::sys_000::fields);
    expect_overlaps_refused("SYS_058", reg::sys_058::fields);
    expect_overlaps_refused("CLKGEN", reg::clkgen::fields);
    expect_overlaps_refused("BLK_43C", reg::blk_43c::fields);
    expect_overlaps_refused("DRC_CFG", reg::drc_cfg::fields);
    expect_overlaps_refused("lanes", reg::lane::fields);
    expect_overlaps_refused("DRC_890", reg::drc_890::fields);
    expect_overlaps_refused("DRC_TEST_CTRL", reg::drc_test_ctrl::fields);
}

}  // namespace
}  // namespace tov::test::register_fields_test
