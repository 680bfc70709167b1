// SPDX-License-Identifier: Apache-2.0
// The controller-only re-initialisation at 25 MHz written out from its
// register program, from the pads' release to the closing store to 0x800:
// the part every family's reserved clock values share. Each family's test
// writes its own entry and closing steps around it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "meminit/hw/dram.h"
#include "meminit/hw/regs.h"
#include "tests/register_model.h"

namespace tov::test {

struct ReinitSteps {
    std::vector<uint32_t> lanes;                      // lane registers switched from bit 0 to bit 1 before 0x880
    uint32_t cfg_kept, cfg;                           // 0x810 keeps cfg_kept, the rest becomes cfg
    uint32_t drc_818_kept, drc_818;                   // likewise 0x818
    uint32_t drc_81c_clear;                           // the 0x81c bits cleared before 0x21 is set
    uint32_t cmd_field;                               // the 0x820 bits each command code replaces
    std::vector<std::pair<uint32_t, uint32_t>> cmds;  // (0x824 word, 0x820 code) in issue order
    size_t cleared_cmds;                              // the first commands followed by 0x820 := 0
    bool settle_before_close = false;                 // 20 more ticks before 0x800 := 0
};

inline void reinit_steps(RegisterModel& m, const ReinitSteps& s) {
    m.t(100);
    m.rmw(0x000, reg::sys_000::pads_reset, 0);
    m.rmw(0x890, 0, reg::drc_890::lanes_follow);
    for (uint32_t lane : s.lanes) m.rmw(lane, reg::lane::off, reg::lane::on);
    m.rmw(0x880, reg::lane::off, reg::lane::on);
    m.rmw(0x810, ~s.cfg_kept, s.cfg);
    m.rmw(0x814, ~0u, 0x1860413);
    m.rmw(0x818, ~s.drc_818_kept, s.drc_818);
    m.rmw(0x81c, s.drc_81c_clear, 0x21);
    m.t(20);
    for (size_t i = 0; i < s.cmds.size(); ++i) {
        m.r(0x828);
        m.rmw(0x824, ~dram::word_kept, s.cmds[i].first);
        m.rmw(0x820, s.cmd_field, s.cmds[i].second);
        m.t(20);
        if (i < s.cleared_cmds) m.w(0x820, 0);
    }
    if (s.settle_before_close) m.t(20);
    m.w(0x800, 0);
    m.t(20);
}

}  // namespace tov::test
