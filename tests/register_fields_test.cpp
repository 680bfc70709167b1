// SPDX-License-Identifier: Apache-2.0
// The register fields of regs.h: a constant that does not fit its field does
// not compile, a run-time value is cut to the field's width and never reaches
// the bits beside it, of() reads back what place() put, and no two fields of a
// register share a bit: field_map, which holds every register's list, does
// not compile when two do.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "meminit/hw/regs.h"
#include "tests/generated_file.h"

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
void expect_overlaps_refused(const reg::RegFields& r) {
    const char* name = reg::name_of(r.off);
    ASSERT_NE(name, nullptr) << "field_map holds an offset outside the map: " << r.off;
    const std::vector<reg::NamedField> fields(r.fields, r.fields + r.count);
    ASSERT_TRUE(reg::disjoint(fields.data(), r.count)) << name;
    uint32_t held = 0;
    int bits = 0;
    for (const reg::NamedField& f : fields) {
        EXPECT_NE(f.mask, 0u) << name << " " << f.name << " holds no bit";
        held |= f.mask;
        bits += __builtin_popcount(f.mask);
    }
    ASSERT_EQ(__builtin_popcount(held), bits) << name << ": its fields overlap";
    for (uint32_t b = 0; b < 32; ++b) {
        std::vector<reg::NamedField> with = fields;
        with.push_back({"added", 1u << b});
        EXPECT_EQ(reg::disjoint(with.data(), r.count + 1), (held >> b & 1u) == 0) << name << " with bit " << b;
    }
    for (uint32_t i = 0; i < r.count; ++i) {
        std::vector<reg::NamedField> twice = fields;
        twice.push_back(fields[i]);
        EXPECT_FALSE(reg::disjoint(twice.data(), r.count + 1)) << name << ": " << fields[i].name << " listed twice";
    }
}

// True when field_map could hold `table`: fields_of(table) is a constant
// expression.
template <const auto& table>
concept mappable = requires {
    typename std::integral_constant<uint32_t, reg::fields_of(0, table).count>;
};

constexpr reg::NamedField inside[] = {{"rate", reg::Field{.shift = 8, .width = 6}.mask()}, {"bit13", reg::bit(13)}};
constexpr reg::NamedField beside[] = {
    {"rate", reg::Field{.shift = 8, .width = 6}.mask()}, {"bit14", reg::bit(14)}, {"bit7", reg::bit(7)}};
constexpr reg::NamedField twice[] = {{"bit3", reg::bit(3)}, {"again", reg::bit(3)}};
static_assert(!reg::disjoint(inside) && reg::disjoint(beside) && !reg::disjoint(twice));
// A register two of whose fields share a bit does not compile into the map.
static_assert(!mappable<inside> && mappable<beside> && !mappable<twice>);
static_assert(mappable<reg::clkgen::fields> && mappable<reg::drc_cmd::fields>);

TEST(RegisterFields, NoTwoFieldsOfARegisterOverlap) {
    size_t several = 0;
    for (const reg::RegFields& r : reg::field_map) {
        several += r.count > 1;
        expect_overlaps_refused(r);
    }
    EXPECT_GE(several, 10u) << "the registers with more than one field";
}

// Every field list regs.h declares is in field_map, which refuses an
// overlap when it compiles; each register at most once; and the registers
// the code names bits of are there, the command interface's with them.
TEST(RegisterFields, EveryListIsInTheMap) {
    const std::string regs = generated::read_text(generated::source_path("meminit/hw/regs.h"));
    size_t declared = 0;
    for (size_t at = regs.find("constexpr NamedField fields[]"); at != std::string::npos;
         at = regs.find("constexpr NamedField fields[]", at + 1))
        ++declared;
    std::set<const reg::NamedField*> mapped;
    std::set<uint32_t> offsets;
    for (const reg::RegFields& r : reg::field_map) {
        mapped.insert(r.fields);
        EXPECT_TRUE(offsets.insert(r.off).second) << "register " << r.off << " twice in field_map";
    }
    EXPECT_EQ(mapped.size(), declared) << "a field list of regs.h that field_map does not hold";
    for (uint32_t off :
         {0x000u, 0x010u, 0x018u, 0x020u, 0x028u, 0x030u, 0x050u, 0x058u, 0x070u, 0x0f8u, 0x43cu, 0x810u,
          0x818u, 0x81cu, 0x820u, 0x824u, 0x828u, 0x860u, 0x864u, 0x868u, 0x86cu, 0x870u, 0x880u, 0x890u})
        EXPECT_TRUE(offsets.count(off)) << "no fields named for register 0x" << std::hex << off;
    EXPECT_EQ(reg::named_fields(0x814).count, 0u) << "DRC_814 is written whole";
    // The lanes and DRC_880 share their list, as do the five clock generators.
    EXPECT_EQ(reg::named_fields(0x880).fields, reg::named_fields(0x860).fields);
    EXPECT_EQ(reg::named_fields(0x030).fields, reg::named_fields(0x010).fields);
}

}  // namespace
}  // namespace tov::test::register_fields_test
