// SPDX-License-Identifier: Apache-2.0
// The third family's bring-up sequence, written once: clock generators and
// block release, DRAM lanes and pads, the controller and the power-up list,
// then the ending the profile gives each form.
#include "meminit/hw/access.h"
#include "meminit/hw/regs.h"
#include "meminit/varnel/varnel.h"

namespace tov::varnel {
namespace {

bool alt_form(AltSet set, uint32_t clock) {
    switch (set) {
    case AltSet::clocks_10_11: return clock - 10u <= 1u;
    case AltSet::clocks_7_11: return clock - 7u <= 4u;
    case AltSet::none: break;
    }
    return false;
}

uint32_t sized(const SizeRule& rule, const MemInitParams* p, bool alt) {
    Size s = Size::none;
    if (p->clock_index == 5)
        s = rule.at5;
    else if (p->clock_index == 6)
        s = rule.at6;
    else if (p->clock_index == 11)
        s = rule.at11;
    if (s == Size::none && alt) s = rule.alt;
    if (s == Size::none) s = rule.other;
    switch (s) {
    case Size::half: return p->mem_size >> 1;
    case Size::quarter: return p->mem_size >> 2;
    case Size::half_if_bus: return p->bus_flag ? p->mem_size >> 1 : p->mem_size;
    case Size::full:
    case Size::none: break;
    }
    return p->mem_size;
}

// Everything up to the BLK_400 word, then the ending.
void sequence(Bus& bus, const MemInitParams* p, const Profile& v, uint32_t form) {
    const bool alt = form != 0;
    const uint32_t w = v.cfg.word[form];

    // Clock generators and block release.
    bus.modify(reg::BLK_43C, reg::blk_43c::enable, 0);  // blocks stopped while clocks change
    bus.write(reg::BLK_418, 0);
    bus.write(reg::BLK_420, 0);
    bus.write(reg::BLK_430, 0);
    bus.write(reg::SYS_000, 0xfffffdff);
    // The start word, with the mode bit when the caller asks for it.
    bus.write(reg::SYS_058, v.mode_058 && p->mode_flag ? 0x11000000 | reg::sys_058::mode : 0x11000000);
    clock_gen_hold(bus, v.gens, 3);
    bus.write(reg::SYS_05C, 0xf8ffff79);
    bus.write(reg::SYS_070, 0x10103fe);
    bus.write(reg::SYS_070, 0x1010002);
    clock_gen_set_fields(bus, v.gens, 3);
    clock_gen_release(bus, v.gens, 3);
    bus.modify(reg::SYS_070, reg::sys_070::bit24, 0);
    bus.write(reg::SYS_050, v.sys_050[form]);  // per form
    bus.write(reg::SYS_054, 0xf6);
    bus.modify(reg::SYS_058, 0, reg::sys_058::bit9);
    bus.write(reg::SYS_05C, 0xf000000);
    bus.write(reg::SYS_060, 0);
    bus.write(reg::SYS_008, 0xffffffff);
    bus.write(reg::SYS_068, 0xffffffff);
    bus.write(reg::SYS_000, 0);

    // DRAM lanes and pads.
    bus.modify(reg::DRC_890, 0, reg::drc_890::lanes_follow);
    bus.modify(reg::DRC_890, reg::drc_890::bit1, 0);
    const uint32_t pad_field = reg::lane::pads.place(v.pad);  // the profile's one-hot pad setting
    bus.modify(reg::DRC_LANE0, reg::lane::pads.mask() & ~pad_field, pad_field);
    bus.modify(reg::DRC_LANE1, reg::lane::pads.mask() & ~pad_field, pad_field);
    bus.write(reg::DRC_85C, v.pad_85c);
    bus.modify(reg::DRC_LANE0, 0, reg::lane::bit6);
    bus.modify(reg::DRC_LANE1, 0, reg::lane::bit6);
    bus.modify(reg::DRC_LANE0, 0, reg::lane::on);
    bus.modify(reg::DRC_LANE0, reg::lane::off, 0);
    if (alt) {
        bus.modify(reg::DRC_LANE1, 0, reg::lane::off);  // half width: second lane stays off
    } else {
        bus.modify(reg::DRC_LANE1, 0, reg::lane::on);
        bus.modify(reg::DRC_LANE1, reg::lane::off, 0);
    }
    bus.modify(reg::DRC_880, 0, reg::lane::on);
    bus.read(reg::DRC_880);
    for (uint32_t i = 0; i < v.lane_settle_ticks[form]; ++i) bus.ticks(1);  // the lanes settle, per form

    // DRAM controller and power-up.
    bus.write(reg::DRC_800, 0xf);
    bus.write(reg::DRC_800, 0);
    bus.write(reg::DRC_CFG, w);                 // the set-up word W
    bus.write(reg::DRC_814, v.timing.drc_814);  // timing words, in write order
    bus.write(reg::DRC_818, v.timing.drc_818);
    bus.write(reg::DRC_81C, v.timing.drc_81c);
    bus.write(reg::DRC_808, v.timing.drc_808);
    bus.write(reg::DRC_80C, v.timing.drc_80c);
    dram_power_up_polled(bus, v.power_up);  // the DRAM power-up list
    bus.write(reg::DRC_850, 0);
    bus.write(reg::DRC_840, 0xffffffff);
    bus.write(reg::DRC_844, 0xffffffff);
    bus.write(reg::DRC_8A0, 0x44444444);
    bus.write(reg::DRC_8A4, 0x44444444);
    bus.write(reg::DRC_848, 0);
    bus.write(reg::DRC_84C, 0xffd);
    bus.write(reg::DRC_894, 0x80800880);
    bus.write(reg::DRC_898, 0x80808080);
    bus.write(reg::DRC_89C, 0x80808080);
    // blocks enabled before the BLK_400 word
    if (v.early_43c_enable) bus.modify(reg::BLK_43C, 0, reg::blk_43c::enable);
    bus.write(reg::BLK_400, bus.read(reg::BLK_47C) != 0 ? 0xfdc : 0x390);

    const Ending ending = v.ending[form];
    if (ending == Ending::direct) {
        bus.write(reg::DRC_CFG, w & ~reg::drc_cfg::pulse_both);  // the set-up word without the pulse bits
        bus.modify(reg::SYS_058, 0, reg::sys_058::varnel_done);
        return;
    }
    bus.modify(reg::SYS_058, 0, reg::sys_058::varnel_done);
    config_pulse_high(bus, w, v.pulse_ticks);  // the controller pulse
    if (ending == Ending::pulse) return;
    bus.modify(reg::BLK_43C, 0, reg::blk_43c::enable);  // blocks running again
    bus.modify(reg::BLK_43C, reg::blk_43c::before_check.mask(), 0);
    fb_register_test(bus, v.check[form]);  // the form's frame-buffer check
}

}  // namespace

int32_t run(MemInitParams* p, const Profile& v) {
    Bus bus(p->reg_ctx, v.checked);
    bus.trace(v.entry);
    if (v.reinit != nullptr && p->clock_index == reinit_clock) {
        controller_reinit(bus, p, *v.reinit);
        return bus.result();
    }
    const bool alt = alt_form(v.alt, p->clock_index);
    if (!alt && v.default_note) bus.trace(v.default_note);
    // Outputs before the first register access: they hold whatever the result.
    p->mem_clock_khz = mem_clock_khz;
    p->mem_size_out = sized(v.size, p, alt);
    if (alt && v.alt_unsupported) {
        // Nothing is set up for this clock: report failure, so that the
        // caller never uses the memory.
        bus.trace("Don't support this power mode yet\n");
        return 0;
    }
    sequence(bus, p, v, alt ? 1 : 0);
    return bus.result();
}

}  // namespace tov::varnel
