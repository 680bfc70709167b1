// Second-family init routines: the values of every form, each routine's
// clock_index cases, and the routines' entries, generated from the routine
// list.
#include "meminit/orlit/orlit.h"
#include "meminit/entry/routines.h"

namespace tov {
namespace orlit {
namespace {

using namespace dram;

// clang-format off
enum Form : uint8_t {
    tccc_a, tccc_b, tccc_b12,
    uccc_a, uccc_b,
    id27_a, id27_b, id27_x,
    id30_a, id30_b,
    id33_a, id33_b,
    id47_a, id47_b,
    id50_a,
    id51_a, id51_b,
    id54_a, id54_b, id54_b12,
    id55_a,
    id60_a, id60_b,
    id61_a, id61_b,
    id63_a, id63_b, id63_a135, id63_b135,
    id7d_a, id7d_b,
    id18_b,
    id19_a, id19_b,
    id1e_a, id1e_b,
    id49_a, id49_b,
    id73_b,
    id2a_a, id2a_b,
    id1d_a, id1d_b,
    lc50_a, lc50_b,
    form_count
};
// clang-format on

struct FormTable {
    OrlitFormSettings f[form_count];
};

constexpr uint32_t cfg_half_width = 0x10000000;  // 0x810 bit 28: the half-width clock

// Form B of a member routine: its form A on the half-width clock.
constexpr OrlitFormSettings form_b(OrlitFormSettings a) {
    a.size = SizeRule::half_if_bus;
    a.word_810 |= cfg_half_width;
    return a;
}

constexpr FormTable make_forms() {
    constexpr auto follows_mode = First058::follows_mode;
    constexpr auto fixed_1000000 = First058::fixed_1000000;
    constexpr auto full = SizeRule::full;
    constexpr auto half_if_bus = SizeRule::half_if_bus;
    constexpr auto held = PulseClear::held;
    constexpr auto fresh = PulseClear::fresh;
    FormTable t{};
    OrlitFormSettings* f = t.f;

    // Main routine, every value written out.
    f[tccc_a] = {.clock_khz = 162000,
                 .size = full,
                 .hold_word = 0xfffffdff,
                 .release_mask = 0x210,
                 .first_058 = follows_mode,
                 .word_070 = 0x1000000,
                 .gen_field = {0x17, 0x17, 0x17},
                 .released = gen_all,
                 .settle_ticks = 1,
                 .word_050 = 0x9b0fd0,
                 .word_060 = 0,
                 .early_068 = 0x478,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0937,
                 .word_818 = 0x223230b,
                 .word_81c = 0x31,
                 .cke_high_cycles = 31051,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_3, burst_4),
                 .final_cycles = 11,
                 .word_840 = 0x88888888,
                 .final_068 = true,
                 .pulse = fresh};
    f[tccc_b] = {.clock_khz = 162000,
                 .size = half_if_bus,
                 .hold_word = 0xffffffff,
                 .release_mask = 0x10,
                 .first_058 = follows_mode,
                 .word_070 = 0x1000000,
                 .gen_field = {0x17, 0x17, 0x17},
                 .released = gen_all,
                 .settle_ticks = 1,
                 .word_050 = 0x9b0fd0,
                 .word_060 = 0,
                 .early_068 = 0,
                 .word_810 = 0x126a0936,
                 .word_814 = 0x4bb0937,
                 .word_818 = 0x223230b,
                 .word_81c = 0x31,
                 .cke_high_cycles = 31051,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_3, burst_4),
                 .final_cycles = 11,
                 .word_840 = 0x88888888,
                 .final_068 = true,
                 .pulse = held};
    f[tccc_b12] = {.clock_khz = 162000,
                   .size = half_if_bus,
                   .hold_word = 0xffffffff,
                   .release_mask = 0x10,
                   .first_058 = follows_mode,
                   .word_070 = 0x1000000,
                   .gen_field = {0x17, 0x17, 0x17},
                   .released = gen_010,
                   .settle_ticks = 1,
                   .word_050 = 0xdd0fd4,
                   .word_060 = 0,
                   .early_068 = 0,
                   .word_810 = 0x126a0936,
                   .word_814 = 0x4bb0937,
                   .word_818 = 0x223230b,
                   .word_81c = 0x31,
                   .cke_high_cycles = 31051,
                   .emrs_cycles = 3,
                   .mode = mode_register(cas_3, burst_4),
                   .final_cycles = 11,
                   .word_840 = 0x88888888,
                   .final_068 = true,
                   .pulse = held};

    // Member routines: form A (form B for the routines that have only form B);
    // the other values are the members' common ones (OrlitFormSettings defaults).
    f[uccc_a] = {.clock_khz = 155250,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0937,
                 .word_818 = 0x223230b,
                 .word_81c = 0x31,
                 .word_808 = 0xb0c00c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_3, burst_4),
                 .final_cycles = 11,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id27_a] = {.clock_khz = 162000,
                 .first_058 = follows_mode,
                 .word_070 = 0x10003a8,
                 .settle_ticks = 3,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0a37,
                 .word_818 = 0x213230c,
                 .word_81c = 0x121,
                 .word_808 = 0xc0c00c8,
                 .word_80c = 0x1d10136,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0x88888888,
                 .final_068 = false};
    f[id30_a] = {.clock_khz = 155250,
                 .first_058 = follows_mode,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0a37,
                 .word_818 = 0x213230c,
                 .word_81c = 0x121,
                 .word_808 = 0xc0c00c8,
                 .word_80c = 0x1d20137,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id33_a] = {.clock_khz = 155250,
                 .first_058 = follows_mode,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0a37,
                 .word_818 = 0x113230c,
                 .word_81c = 0x121,
                 .word_808 = 0xc0c00c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id47_a] = {.clock_khz = 155250,
                 .first_058 = follows_mode,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0932,
                 .word_814 = 0x4bb0d48,
                 .word_818 = 0x424240e,
                 .word_81c = 0x31,
                 .word_808 = 0xec800c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 4,
                 .mode = mode_register(cas_3, burst_4),
                 .final_cycles = 14,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id50_a] = {.clock_khz = 155250,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0a37,
                 .word_818 = 0x213230c,
                 .word_81c = 0x121,
                 .word_808 = 0xc0c00c8,
                 .word_80c = 0x1d20137,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id51_a] = {.clock_khz = 155250,
                 .first_058 = follows_mode,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0a37,
                 .word_818 = 0x213230c,
                 .word_81c = 0x121,
                 .word_808 = 0xcc800c8,
                 .word_80c = 0x1d20137,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0x88888888,
                 .final_068 = false};
    f[id54_a] = {.clock_khz = 155250,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x126a0936,
                 .word_814 = 0x4bb0937,
                 .word_818 = 0x123230b,
                 .word_81c = 0x31,
                 .word_808 = 0xb4b00c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_3, burst_4),
                 .final_cycles = 11,
                 .word_840 = 0x88888888,
                 .final_068 = false};
    f[id55_a] = {.clock_khz = 155250,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0a37,
                 .word_818 = 0x123230c,
                 .word_81c = 0x31,
                 .word_808 = 0xc4b00c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_3, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id60_a] = {.clock_khz = 155250,
                 .first_058 = follows_mode,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0937,
                 .word_818 = 0x223230b,
                 .word_81c = 0x121,
                 .word_808 = 0xb0b00c8,
                 .word_80c = 0x1d20137,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 11,
                 .word_840 = 0x88888888,
                 .final_068 = true};
    f[id61_a] = {.clock_khz = 155250,
                 .first_058 = follows_mode,
                 .word_070 = 0x1000000,
                 .word_810 = 0x26a0932,
                 .word_814 = 0x9760a37,
                 .word_818 = 0x223230c,
                 .word_81c = 0x121,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0x88888888,
                 .final_068 = true};
    f[id63_a] = {.clock_khz = 155250,
                 .first_058 = follows_mode,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0a37,
                 .word_818 = 0x223230c,
                 .word_81c = 0x121,
                 .word_808 = 0xc2000c8,
                 .word_80c = 0x1d20137,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0x88888888,
                 .final_068 = true};
    f[id7d_a] = {.clock_khz = 135000,
                 .first_058 = follows_mode,
                 .word_070 = 0x10002ee,
                 .gen_field = {0x14, 0x16, 0x1e},
                 .released = gen_010 | gen_018,
                 .word_050 = 0x5d0fd0,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x41e0936,
                 .word_818 = 0x223230a,
                 .word_81c = 0x121,
                 .cke_high_cycles = 27001,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 10,
                 .word_840 = 0x88888888,
                 .final_068 = true,
                 .pulse = held};
    f[id18_b] = {.clock_khz = 155250,
                 .size = half_if_bus,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x126a0932,
                 .word_814 = 0x9760b47,
                 .word_818 = 0x113240c,
                 .word_81c = 0x21,
                 .word_808 = 0xc0c00c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 4,
                 .mode = mode_register(cas_2, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id19_a] = {.clock_khz = 155250,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0932,
                 .word_814 = 0x9760a37,
                 .word_818 = 0x113230c,
                 .word_81c = 0x121,
                 .word_808 = 0xc0d00c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id1e_a] = {.clock_khz = 155250,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0a37,
                 .word_818 = 0x213230c,
                 .word_81c = 0x121,
                 .word_808 = 0xc0c00c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id49_a] = {.clock_khz = 155250,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0932,
                 .word_814 = 0x9760a47,
                 .word_818 = 0x213230c,
                 .word_81c = 0x121,
                 .word_808 = 0xc4b00c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id73_b] = {.clock_khz = 155250,
                 .size = half_if_bus,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x126a0936,
                 .word_814 = 0x4bb0937,
                 .word_818 = 0x123230b,
                 .word_81c = 0x31,
                 .word_808 = 0xb0c00c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_3, burst_4),
                 .final_cycles = 11,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id2a_a] = {.clock_khz = 155250,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0937,
                 .word_818 = 0x223230b,
                 .word_81c = 0x31,
                 .word_808 = 0xb0c00c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_3, burst_4),
                 .final_cycles = 11,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[id1d_a] = {.clock_khz = 155250,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0a47,
                 .word_818 = 0x244240b,
                 .word_81c = 0x31,
                 .word_808 = 0xac800c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 4,
                 .mode = mode_register(cas_3, burst_4),
                 .final_cycles = 11,
                 .word_840 = 0xffffffff,
                 .final_068 = false};
    f[lc50_a] = {.clock_khz = 155250,
                 .first_058 = fixed_1000000,
                 .word_070 = 0x10003fc,
                 .word_810 = 0x26a0936,
                 .word_814 = 0x4bb0d47,
                 .word_818 = 0x743440b,
                 .word_81c = 0x31,
                 .word_808 = 0xbc800c8,
                 .word_80c = 0x1d2009c,
                 .emrs_cycles = 4,
                 .mode = mode_register(cas_3, burst_4),
                 .final_cycles = 11,
                 .word_840 = 0xffffffff,
                 .final_068 = false};

    // Form B by the rule: {form B, its form A}.
    constexpr Form by_rule[][2] = {
        {id27_b, id27_a}, {id30_b, id30_a}, {id33_b, id33_a}, {id47_b, id47_a}, {id51_b, id51_a},
        {id60_b, id60_a}, {id61_b, id61_a}, {id63_b, id63_a}, {id19_b, id19_a}, {id1e_b, id1e_a},
        {id49_b, id49_a}, {id2a_b, id2a_a}, {id1d_b, id1d_a},
    };
    for (const auto& [b, a] : by_rule) f[b] = form_b(f[a]);

    // The exceptions.
    f[uccc_b] = {.clock_khz = 135000,
                 .size = half_if_bus,
                 .first_058 = follows_mode,
                 .word_070 = 0x1000000,
                 .word_810 = 0x126a0936,
                 .word_814 = 0x4bb0a37,
                 .word_818 = 0x223230c,
                 .word_81c = 0x121,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0x88888888,
                 .final_068 = false,
                 .pulse = held};
    f[id7d_b] = {.clock_khz = 135000,
                 .size = half_if_bus,
                 .first_058 = follows_mode,
                 .word_070 = 0x1000000,
                 .word_810 = 0x126a0936,
                 .word_814 = 0x4bb0a37,
                 .word_818 = 0x223230c,
                 .word_81c = 0x121,
                 .emrs_cycles = 3,
                 .mode = mode_register(cas_2_5, burst_4),
                 .final_cycles = 12,
                 .word_840 = 0x88888888,
                 .final_068 = true,
                 .pulse = held};

    f[lc50_b] = form_b(f[lc50_a]);
    f[lc50_b].clock_khz = 135000;

    f[id54_b] = form_b(f[id54_a]);
    f[id54_b].word_840 = 0xffffffff;
    f[id54_b12] = f[id54_b];
    f[id54_b12].released = gen_010;
    f[id54_b12].word_050 = 0xdd0fd4;

    f[id63_a135] = f[id63_a];
    f[id63_a135].clock_khz = 135500;
    f[id63_a135].gen_field[0] = f[id63_a135].gen_field[1] = f[id63_a135].gen_field[2] = 0x14;
    f[id63_a135].word_050 = 0x9d0fd0;
    f[id63_a135].word_814 = 0x41e0936;
    f[id63_a135].word_818 = 0x223230a;
    f[id63_a135].word_808 = 0xa1c00c8;
    f[id63_a135].word_80c = 0x1960088;
    f[id63_a135].cke_high_cycles = 27001;
    f[id63_a135].final_cycles = 10;
    f[id63_a135].word_840 = 0xffffffff;
    f[id63_b135] = form_b(f[id63_a135]);  // 0x810 becomes 0x126a0936

    f[id27_x] = f[id27_a];  // size stays full, settle ticks stay 3
    f[id27_x].word_810 = 0x126a0936;
    f[id27_x].released = gen_010;
    f[id27_x].word_050 = 0xdd0fd4;
    f[id27_x].word_060 = 0x40;
    return t;
}

constexpr FormTable forms = make_forms();

constexpr bool every_form_filled() {
    for (const OrlitFormSettings& s : forms.f)
        if (s.clock_khz == 0 || s.word_810 == 0 || s.emrs_cycles == 0 || s.word_840 == 0) return false;
    return true;
}
static_assert(every_form_filled(), "a form row is missing");
static_assert(forms.f[id63_b135].word_810 == 0x126a0936);
// The mode values the written-out forms have always sent (the others copy them).
struct SentMode {
    Form form;
    uint32_t mode;
};
// clang-format off
constexpr SentMode sent_modes[] = {
    {tccc_a, 0x32}, {tccc_b, 0x32}, {tccc_b12, 0x32}, {uccc_a, 0x32}, {id27_a, 0x62}, {id30_a, 0x62}, {id33_a,
    0x62}, {id47_a, 0x32}, {id50_a, 0x62}, {id51_a, 0x62}, {id54_a, 0x32}, {id55_a, 0x32}, {id60_a, 0x62},
    {id61_a, 0x62}, {id63_a, 0x62}, {id7d_a, 0x62}, {id18_b, 0x22}, {id19_a, 0x62}, {id1e_a, 0x62}, {id49_a,
    0x62}, {id73_b, 0x32}, {id2a_a, 0x32}, {id1d_a, 0x32}, {lc50_a, 0x32}, {uccc_b, 0x62}, {id7d_b, 0x62}
};
// clang-format on
constexpr bool modes_as_sent() {
    for (const SentMode& m : sent_modes)
        if (forms.f[m.form].mode != m.mode) return false;
    return true;
}
static_assert(modes_as_sent());

constexpr const OrlitFormSettings* form(Form id) { return &forms.f[id]; }

// 25 MHz controller-only re-initialisations: the first with bursts of 8 from
// P1, the other two with bursts of 4 from P0, the DRC_840..8A4 words and bit
// 2 of the command code cleared too.
// clang-format off
constexpr ControllerReinit reinit_1 = {
    .khz = 25000, .size_out = 0x2000000,
    .cfg_kept = 0xc880e080, .cfg = 0x36a0936, .drc_818_kept = 0xf0000000, .drc_818 = 0x1222104,
    .drc_81c_replaced = 0x1ff, .commands = slow_power_up(mode_register(cas_2, burst_8)), .cke_low_first = false,
    .code_replaced = code_fields, .returned_to_idle = 7,
};
constexpr ControllerReinit reinit_2 = {
    .khz = 25000, .size_out = 0x4000000, .blk_43c_held_first = true, .pads_all_ones = true, .pads_read_back = true,
    .cfg_kept = 0xc880e080, .cfg = 0x26a0936, .drc_818_kept = 0, .drc_818 = 0x11222104,
    .drc_81c_replaced = 0x1ff, .commands = slow_power_up(mode_register(cas_2, burst_4)), .cke_low_first = true,
    .code_replaced = code_fields_with_bit2, .returned_to_idle = 7, .drc_840_8a4 = true,
};
constexpr ControllerReinit reinit_3 = {
    .khz = 25000, .size_out = 0x1000000, .pads_all_ones = true,
    .cfg_kept = 0xc880e080, .cfg = 0x126a0936, .drc_818_kept = 0, .drc_818 = 0x11222104,
    .drc_81c_replaced = 0x1ff, .commands = slow_power_up(mode_register(cas_2, burst_4)), .cke_low_first = true,
    .code_replaced = code_fields_with_bit2, .returned_to_idle = 7, .drc_840_8a4 = true,
};
// clang-format on

constexpr auto half_if_bus = SizeRule::half_if_bus;
constexpr auto half_or_quarter = SizeRule::half_or_quarter;

// Case tables: first matching row wins; the last row takes every other value.
// clang-format off
constexpr OrlitCase tccc_cases[] = {
    {.lo = 1, .hi = 1, .path = Path::short_seq},
    {.lo = 2, .hi = 2, .form = form(tccc_a), .size = half_if_bus},
    {.lo = 7, .hi = 10, .form = form(tccc_b)},
    {.lo = 11, .hi = 11, .form = form(tccc_b), .size = half_or_quarter},
    {.lo = 12, .hi = 12, .form = form(tccc_b12)},
    {.lo = 0x1000000, .hi = 0x1000000, .path = Path::reinit, .reinit = &reinit_1},
    {.lo = 0xffff0003, .hi = 0xffff0003, .path = Path::reinit, .reinit = &reinit_1},
    {.lo = 0xffff0004, .hi = 0xffff0004, .path = Path::reinit, .reinit = &reinit_2},
    {.lo = 0xffff0005, .hi = 0xffff0005, .path = Path::reinit, .reinit = &reinit_3},
    {.lo = 0, .hi = any_hi, .form = form(tccc_a)},
};
// clang-format on

// The members' usual selection: 7-11 form B, else form A.
struct TwoCases {
    OrlitCase c[2];
};
constexpr TwoCases b_for_7_to_11(Form a, Form b) {
    return {{{.lo = 7, .hi = 11, .form = form(b)}, {.lo = 0, .hi = any_hi, .form = form(a)}}};
}
constexpr OrlitCase only(Form f) { return {.lo = 0, .hi = any_hi, .form = form(f)}; }

constexpr TwoCases uccc_cases = b_for_7_to_11(uccc_a, uccc_b);
constexpr TwoCases id30_cases = b_for_7_to_11(id30_a, id30_b);
constexpr TwoCases id33_cases = b_for_7_to_11(id33_a, id33_b);
constexpr TwoCases id47_cases = b_for_7_to_11(id47_a, id47_b);
constexpr TwoCases id51_cases = b_for_7_to_11(id51_a, id51_b);
constexpr TwoCases id60_cases = b_for_7_to_11(id60_a, id60_b);
constexpr TwoCases id61_cases = b_for_7_to_11(id61_a, id61_b);
constexpr TwoCases id7d_cases = b_for_7_to_11(id7d_a, id7d_b);
constexpr TwoCases id19_cases = b_for_7_to_11(id19_a, id19_b);
constexpr TwoCases id1e_cases = b_for_7_to_11(id1e_a, id1e_b);
constexpr TwoCases id49_cases = b_for_7_to_11(id49_a, id49_b);
constexpr TwoCases id2a_cases = b_for_7_to_11(id2a_a, id2a_b);
constexpr TwoCases id1d_cases = b_for_7_to_11(id1d_a, id1d_b);
constexpr TwoCases lc50_cases = b_for_7_to_11(lc50_a, lc50_b);
constexpr OrlitCase id50_cases[] = {only(id50_a)};
constexpr OrlitCase id55_cases[] = {only(id55_a)};
constexpr OrlitCase id18_cases[] = {only(id18_b)};
constexpr OrlitCase id73_cases[] = {only(id73_b)};

// clang-format off
constexpr OrlitCase id27_cases[] = {
    {.lo = 2, .hi = 6, .form = form(id27_a)},
    {.lo = 7, .hi = 11, .form = form(id27_b)},
    {.lo = 0, .hi = any_hi, .form = form(id27_x)},  // 0, 1, 12 and above
};

constexpr OrlitCase id63_cases[] = {
    {.lo = 5, .hi = 5, .form = form(id63_a135)},
    {.lo = 10, .hi = 10, .form = form(id63_b135)},
    {.lo = 7, .hi = 9, .form = form(id63_b)},
    {.lo = 11, .hi = 11, .form = form(id63_b)},
    {.lo = 0, .hi = any_hi, .form = form(id63_a)},
};

constexpr OrlitCase id54_cases[] = {
    {.lo = 2, .hi = 6, .form = form(id54_a)},
    {.lo = 11, .hi = 11, .form = form(id54_b), .message = "using POWER_MODE_0010\n"},
    {.lo = 12, .hi = 12, .form = form(id54_b12), .message = "using POWER_MODE_0011\n"},
    {.lo = 0, .hi = any_hi, .path = Path::none},  // 0, 1, 7 to 10, 13 and above
};
// clang-format on

template <uint32_t N>
constexpr OrlitRoutine routine(const OrlitCase (&c)[N], const char* entering = nullptr, const char* leaving = nullptr) {
    return {.entering = entering, .leaving = leaving, .cases = c, .case_count = N};
}
constexpr OrlitRoutine routine(const TwoCases& c, const char* entering = nullptr, const char* leaving = nullptr) {
    return routine(c.c, entering, leaving);
}

constexpr OrlitRoutine tccc =
    routine(tccc_cases, "entering meminit_orlit_K4H561638F_TCCC\n", "leaving meminit_orlit_K4H561638F_TCCC\n");
constexpr OrlitRoutine uccc =
    routine(uccc_cases, "entering meminit_orlit_K4H561638F_UCCC\n", "leaving meminit_orlit_K4H561638F_UCCC\n");
constexpr OrlitRoutine lc50 = routine(lc50_cases, "entering meminit_orlit_Common_NT5DS16M16CS_5T_K4D551638F_LC50\n");
constexpr OrlitRoutine id18 = routine(id18_cases);
constexpr OrlitRoutine id19 = routine(id19_cases);
constexpr OrlitRoutine id1d = routine(id1d_cases);
constexpr OrlitRoutine id1e = routine(id1e_cases);
constexpr OrlitRoutine id27 = routine(id27_cases);
constexpr OrlitRoutine id2a = routine(id2a_cases);
constexpr OrlitRoutine id30 = routine(id30_cases);
constexpr OrlitRoutine id33 = routine(id33_cases);
constexpr OrlitRoutine id47 = routine(id47_cases);
constexpr OrlitRoutine id49 = routine(id49_cases);
constexpr OrlitRoutine id50 = routine(id50_cases);
constexpr OrlitRoutine id51 = routine(id51_cases);
constexpr OrlitRoutine id54 = routine(id54_cases);
constexpr OrlitRoutine id55 = routine(id55_cases);
constexpr OrlitRoutine id60 = routine(id60_cases);
constexpr OrlitRoutine id61 = routine(id61_cases);
constexpr OrlitRoutine id63 = routine(id63_cases);
constexpr OrlitRoutine id73 = routine(id73_cases);
constexpr OrlitRoutine id7d = routine(id7d_cases);

}  // namespace
}  // namespace orlit

// The routines of the second ConfigTable: each runs the family's case dispatch with its cases.
#define TOV_ENTRY_orlit(name, routine) \
    int32_t name(MemInitParams* p) { return orlit::run_routine(p, orlit::routine); }
#include "meminit/entry/routine_entries.inc"

}  // namespace tov
