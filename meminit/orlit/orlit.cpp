// SPDX-License-Identifier: Apache-2.0
// Second-family init routines: the values of every form, each routine's
// clock_index cases, and the routines' entries, generated from the routine
// list.
#include "meminit/orlit/orlit.h"
#include "meminit/entry/routines.h"
#include "meminit/hw/derive.h"

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

// Form B of a member routine: its form A on the half-width clock.
constexpr OrlitFormSettings form_b(OrlitFormSettings a) {
    a.size = SizeRule::half_if_bus;
    a.word_810 |= reg::drc_cfg::half_width;
    return a;
}

// What sets a form apart from the members' common values (the
// OrlitFormSettings defaults): one row per form, a column per value that
// varies. Every form bursts 4; the CAS latency column completes the mode.
struct FormRow {
    Form form;
    uint32_t clock_khz;
    First058 first_058;
    uint32_t word_070, word_810, word_814, word_818, word_81c, word_808, word_80c;
    uint8_t emrs_cycles;
    CasLatency cas;
    uint8_t final_cycles;
    uint32_t word_840;
    bool final_068;
};

constexpr auto mode = First058::follows_mode;
constexpr auto fixed = First058::fixed_1000000;
constexpr uint32_t none = not_written;

// Rows for uccc_b, id7d_b, id18_b and id73_b give the values of their form A,
// which those routines never run; form_b makes the form they do.
// clang-format off
constexpr FormRow form_rows[] = {
    // form     kHz     0x058  0x070      0x810      0x814      0x818       0x81c  0x808       0x80c      P3 CL       P7  0x840       0x068
    {tccc_a,   162000, mode,  0x1000000, 0x26a0936, 0x4bb0937, 0x223230b,  0x31,  none,       none,      3, cas_3,   11, 0x88888888, true},
    {uccc_a,   155250, fixed, 0x10003fc, 0x26a0936, 0x4bb0937, 0x223230b,  0x31,  0xb0c00c8,  0x1d2009c, 3, cas_3,   11, 0xffffffff, false},
    {uccc_b,   135000, mode,  0x1000000, 0x26a0936, 0x4bb0a37, 0x223230c,  0x121, none,       none,      3, cas_2_5, 12, 0x88888888, false},
    {id27_a,   162000, mode,  0x10003a8, 0x26a0936, 0x4bb0a37, 0x213230c,  0x121, 0xc0c00c8,  0x1d10136, 3, cas_2_5, 12, 0x88888888, false},
    {id30_a,   155250, mode,  0x10003fc, 0x26a0936, 0x4bb0a37, 0x213230c,  0x121, 0xc0c00c8,  0x1d20137, 3, cas_2_5, 12, 0xffffffff, false},
    {id33_a,   155250, mode,  0x10003fc, 0x26a0936, 0x4bb0a37, 0x113230c,  0x121, 0xc0c00c8,  0x1d2009c, 3, cas_2_5, 12, 0xffffffff, false},
    {id47_a,   155250, mode,  0x10003fc, 0x26a0932, 0x4bb0d48, 0x424240e,  0x31,  0xec800c8,  0x1d2009c, 4, cas_3,   14, 0xffffffff, false},
    {id50_a,   155250, fixed, 0x10003fc, 0x26a0936, 0x4bb0a37, 0x213230c,  0x121, 0xc0c00c8,  0x1d20137, 3, cas_2_5, 12, 0xffffffff, false},
    {id51_a,   155250, mode,  0x10003fc, 0x26a0936, 0x4bb0a37, 0x213230c,  0x121, 0xcc800c8,  0x1d20137, 3, cas_2_5, 12, 0x88888888, false},
    {id54_a,   155250, fixed, 0x10003fc, 0x126a0936,0x4bb0937, 0x123230b,  0x31,  0xb4b00c8,  0x1d2009c, 3, cas_3,   11, 0x88888888, false},
    {id55_a,   155250, fixed, 0x10003fc, 0x26a0936, 0x4bb0a37, 0x123230c,  0x31,  0xc4b00c8,  0x1d2009c, 3, cas_3,   12, 0xffffffff, false},
    {id60_a,   155250, mode,  0x10003fc, 0x26a0936, 0x4bb0937, 0x223230b,  0x121, 0xb0b00c8,  0x1d20137, 3, cas_2_5, 11, 0x88888888, true},
    {id61_a,   155250, mode,  0x1000000, 0x26a0932, 0x9760a37, 0x223230c,  0x121, none,       none,      3, cas_2_5, 12, 0x88888888, true},
    {id63_a,   155250, mode,  0x10003fc, 0x26a0936, 0x4bb0a37, 0x223230c,  0x121, 0xc2000c8,  0x1d20137, 3, cas_2_5, 12, 0x88888888, true},
    {id7d_a,   135000, mode,  0x10002ee, 0x26a0936, 0x41e0936, 0x223230a,  0x121, none,       none,      3, cas_2_5, 10, 0x88888888, true},
    {id7d_b,   135000, mode,  0x1000000, 0x26a0936, 0x4bb0a37, 0x223230c,  0x121, none,       none,      3, cas_2_5, 12, 0x88888888, true},
    {id18_b,   155250, fixed, 0x10003fc, 0x26a0932, 0x9760b47, 0x113240c,  0x21,  0xc0c00c8,  0x1d2009c, 4, cas_2,   12, 0xffffffff, false},
    {id19_a,   155250, fixed, 0x10003fc, 0x26a0932, 0x9760a37, 0x113230c,  0x121, 0xc0d00c8,  0x1d2009c, 3, cas_2_5, 12, 0xffffffff, false},
    {id1e_a,   155250, fixed, 0x10003fc, 0x26a0936, 0x4bb0a37, 0x213230c,  0x121, 0xc0c00c8,  0x1d2009c, 3, cas_2_5, 12, 0xffffffff, false},
    {id49_a,   155250, fixed, 0x10003fc, 0x26a0932, 0x9760a47, 0x213230c,  0x121, 0xc4b00c8,  0x1d2009c, 3, cas_2_5, 12, 0xffffffff, false},
    {id73_b,   155250, fixed, 0x10003fc, 0x26a0936, 0x4bb0937, 0x123230b,  0x31,  0xb0c00c8,  0x1d2009c, 3, cas_3,   11, 0xffffffff, false},
    {id2a_a,   155250, fixed, 0x10003fc, 0x26a0936, 0x4bb0937, 0x223230b,  0x31,  0xb0c00c8,  0x1d2009c, 3, cas_3,   11, 0xffffffff, false},
    {id1d_a,   155250, fixed, 0x10003fc, 0x26a0936, 0x4bb0a47, 0x244240b,  0x31,  0xac800c8,  0x1d2009c, 4, cas_3,   11, 0xffffffff, false},
    {lc50_a,   155250, fixed, 0x10003fc, 0x26a0936, 0x4bb0d47, 0x743440b,  0x31,  0xbc800c8,  0x1d2009c, 4, cas_3,   11, 0xffffffff, false},
};
// clang-format on

constexpr OrlitFormSettings from_row(const FormRow& r) {
    OrlitFormSettings f{};
    f.clock_khz = r.clock_khz;
    f.first_058 = r.first_058;
    f.word_070 = r.word_070;
    f.word_810 = r.word_810;
    f.word_814 = r.word_814;
    f.word_818 = r.word_818;
    f.word_81c = r.word_81c;
    f.word_808 = r.word_808;
    f.word_80c = r.word_80c;
    f.emrs_cycles = r.emrs_cycles;
    f.mode = uint8_t(mode_register(r.cas, burst_4));
    f.final_cycles = r.final_cycles;
    f.word_840 = r.word_840;
    f.final_068 = r.final_068;
    return f;
}

constexpr FormTable make_forms() {
    FormTable t{};
    OrlitFormSettings* f = t.f;
    for (const FormRow& r : form_rows) f[r.form] = from_row(r);

    // Form B by the rule: {form B, its form A}; a routine with only form B
    // derives it from its own row.
    constexpr Form by_rule[][2] = {
        {tccc_b, tccc_a}, {uccc_b, uccc_b}, {id30_b, id30_a}, {id33_b, id33_a}, {id47_b, id47_a}, {id51_b, id51_a},
        {id60_b, id60_a}, {id61_b, id61_a}, {id63_b, id63_a}, {id7d_b, id7d_b}, {id18_b, id18_b}, {id19_b, id19_a},
        {id1e_b, id1e_a}, {id49_b, id49_a}, {id73_b, id73_b}, {id2a_b, id2a_a}, {id1d_b, id1d_a}, {lc50_b, lc50_a},
    };
    for (const auto& [b, a] : by_rule) f[b] = form_b(f[a]);

    // What the rows and the rule leave out.
    using S = OrlitFormSettings;
    // Main routine: form A keeps SYS_000 bit 9 clear and releases it with the
    // pads; form B writes 0x068 only at its end and pulses bit 30 from the
    // value held.
    f[tccc_b] = derive(f[tccc_b], [](S& s) {
        s.early_068 = 0;
        s.pulse = PulseClear::held;
    });
    f[tccc_b12] = derive(f[tccc_b], [](S& s) {
        s.released = gen_010;
        s.word_050 = 0xdd0fd4;
    });
    f[tccc_a] = derive(f[tccc_a], [](S& s) {
        s.hold_word = 0xfffffdff;
        s.release_mask = reg::sys_000::pads_reset | reg::sys_000::bit9;
    });

    f[uccc_b].pulse = PulseClear::held;
    f[id7d_b].pulse = PulseClear::held;
    f[lc50_b].clock_khz = 135000;

    f[id7d_a] = derive(f[id7d_a], [](S& s) {
        s.gen_field[0] = 0x14;
        s.gen_field[1] = 0x16;
        s.gen_field[2] = 0x1e;
        s.released = gen_010 | gen_018;
        s.word_050 = 0x5d0fd0;
        s.cke_high_cycles = 27001;
        s.pulse = PulseClear::held;
    });

    f[id27_a].settle_ticks = 3;
    f[id27_b] = form_b(f[id27_a]);
    // Size stays full, settle ticks stay 3.
    f[id27_x] = derive(f[id27_a], [](S& s) {
        s.word_810 |= reg::drc_cfg::half_width;
        s.released = gen_010;
        s.word_050 = 0xdd0fd4;
        s.word_060 = 0x40;
    });

    f[id54_b] = derive(form_b(f[id54_a]), [](S& s) { s.word_840 = 0xffffffff; });
    f[id54_b12] = derive(f[id54_b], [](S& s) {
        s.released = gen_010;
        s.word_050 = 0xdd0fd4;
    });

    f[id63_a135] = derive(f[id63_a], [](S& s) {
        s.clock_khz = 135500;
        s.gen_field[0] = s.gen_field[1] = s.gen_field[2] = 0x14;
        s.word_050 = 0x9d0fd0;
        s.word_814 = 0x41e0936;
        s.word_818 = 0x223230a;
        s.word_808 = 0xa1c00c8;
        s.word_80c = 0x1960088;
        s.cke_high_cycles = 27001;
        s.final_cycles = 10;
        s.word_840 = 0xffffffff;
    });
    f[id63_b135] = form_b(f[id63_a135]);
    for (OrlitFormSettings& s : t.f) generator_list(s);
    return t;
}

constexpr FormTable forms = make_forms();

constexpr bool every_form_filled() {
    for (const OrlitFormSettings& s : forms.f)
        if (s.clock_khz == 0 || s.word_810 == 0 || s.emrs_cycles == 0 || s.word_840 == 0) return false;
    return true;
}
static_assert(every_form_filled(), "a form row is missing");

constexpr const OrlitFormSettings* form(Form id) { return &forms.f[id]; }

// 25 MHz controller-only re-initialisations: the first with bursts of 8 from
// P1, the other two with bursts of 4 from P0, the DRC_840..8A4 words and bit
// 2 of the command code cleared too.
// clang-format off
constexpr ControllerReinit reinit_1 = {
    .khz = 25000, .size_out = 0x2000000,
    .cfg_kept = reg::drc_cfg::reinit_kept, .cfg = 0x36a0936, .drc_818_kept = reg::drc_818::reinit_kept, .drc_818 = 0x1222104,
    .drc_81c_replaced = reg::drc_81c::reinit.mask(), .commands = slow_power_up(mode_register(cas_2, burst_8)), .cke_low_first = false,
    .code_replaced = code_fields, .returned_to_idle = 7,
};
constexpr ControllerReinit reinit_2 = {
    .khz = 25000, .size_out = 0x4000000, .blk_43c_held_first = true, .pads_all_ones = true, .pads_read_back = true,
    .cfg_kept = reg::drc_cfg::reinit_kept, .cfg = 0x26a0936, .drc_818_kept = 0, .drc_818 = 0x11222104,
    .drc_81c_replaced = reg::drc_81c::reinit.mask(), .commands = slow_power_up(mode_register(cas_2, burst_4)), .cke_low_first = true,
    .code_replaced = code_fields_with_bit2, .returned_to_idle = 7, .drc_840_8a4 = true,
};
constexpr ControllerReinit reinit_3 = {
    .khz = 25000, .size_out = 0x1000000, .pads_all_ones = true,
    .cfg_kept = reg::drc_cfg::reinit_kept, .cfg = 0x126a0936, .drc_818_kept = 0, .drc_818 = 0x11222104,
    .drc_81c_replaced = reg::drc_81c::reinit.mask(), .commands = slow_power_up(mode_register(cas_2, burst_4)), .cke_low_first = true,
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
