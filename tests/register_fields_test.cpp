// SPDX-License-Identifier: Apache-2.0
// The register fields of regs.h: a constant that does not fit its field does
// not compile, a run-time value is cut to the field's width and never reaches
// the bits beside it, and of() reads back what place() put.
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

constexpr reg::Field fields[] = {reg::sys_058::per_clock, reg::clkgen::rate,  reg::blk_43c::before_check,
                                 reg::lane::pads,         reg::drc_890::tail, reg::drc_test_ctrl::slot};

// Each field at the top of its width and one past it.
static_assert(places<reg::sys_058::per_clock, 0x7f> && !places<reg::sys_058::per_clock, 0x80>);
static_assert(places<reg::clkgen::rate, 0x3f> && !places<reg::clkgen::rate, 0x40>);
static_assert(places<reg::blk_43c::before_check, 0x7f> && !places<reg::blk_43c::before_check, 0x80>);
static_assert(places<reg::lane::pads, 0xf> && !places<reg::lane::pads, 0x10>);
static_assert(places<reg::drc_890::tail, 0xff> && !places<reg::drc_890::tail, 0x100>);
static_assert(places<reg::drc_test_ctrl::slot, 1> && !places<reg::drc_test_ctrl::slot, 2>);
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

}  // namespace
}  // namespace tov::test::register_fields_test
