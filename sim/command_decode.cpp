// SPDX-License-Identifier: Apache-2.0
#include "sim/command_decode.h"

#include <cstdio>

namespace tov::sim {

uint32_t commands_started(const std::vector<Event>& events) {
    uint32_t n = 0;
    for (const Event& e : events) n += starts_command(e);
    return n;
}

uint32_t DramCommand::burst_length() const {
    const uint32_t field = address & dram::burst_mask;
    return field >= dram::burst_2.field && field <= dram::burst_8.field ? 1u << field : 0u;
}

uint32_t DramCommand::cas_latency_tenths() const {
    const uint32_t field = (address & dram::cas_mask) >> dram::cas_shift;
    if (field == dram::cas_2.field) return 20;
    if (field == dram::cas_2_5.field) return 25;
    if (field == dram::cas_3.field) return 30;
    if (field == dram::cas_4.field) return 40;
    return 0;
}

DramCommand decode_command(uint32_t code, uint32_t word) {
    DramCommand c;
    c.code = code;
    c.word = word;
    c.cke = (code & dram::code_cke) != 0;
    c.count = dram::cycles_of(word);
    c.address = dram::address_of(word);
    if (code & dram::code_closing) {
        c.op = DramOp::closing;
        return c;
    }
    switch (dram::lines_of(code)) {
    case dram::lines_nop: c.op = DramOp::nop; break;
    case dram::lines_burst_terminate: c.op = DramOp::burst_terminate; break;
    case dram::lines_read: c.op = DramOp::read; break;
    case dram::lines_write: c.op = DramOp::write; break;
    case dram::lines_active: c.op = DramOp::active; break;
    case dram::lines_precharge: c.op = DramOp::precharge; break;
    case dram::lines_auto_refresh: c.op = DramOp::auto_refresh; break;
    default: c.op = (code & dram::code_ba0) ? DramOp::extended_mode_register : DramOp::mode_register; break;
    }
    return c;
}

std::string cas_latency_text(const DramCommand& c) {
    const uint32_t t = c.cas_latency_tenths();
    if (t == 0) return "reserved";
    char buf[16];
    if (t % 10)
        std::snprintf(buf, sizeof buf, "%u.%u", t / 10, t % 10);
    else
        std::snprintf(buf, sizeof buf, "%u", t / 10);
    return buf;
}

std::string describe(const DramCommand& c) {
    char buf[192];
    switch (c.op) {
    case DramOp::closing: std::snprintf(buf, sizeof buf, "closing command, count %u", c.count); break;
    case DramOp::nop: std::snprintf(buf, sizeof buf, "NOP, CKE %s, count %u", c.cke ? "high" : "low", c.count); break;
    case DramOp::precharge:
        std::snprintf(buf, sizeof buf, "precharge %s, count %u", c.all_banks() ? "all" : "bank", c.count);
        break;
    case DramOp::auto_refresh: std::snprintf(buf, sizeof buf, "auto refresh, count %u", c.count); break;
    case DramOp::extended_mode_register:
        std::snprintf(buf, sizeof buf, "extended mode register set 0x%x (DLL %s, %s drive), count %u", c.address,
                      c.dll_disabled() ? "disabled" : "enabled", c.reduced_drive() ? "reduced" : "normal", c.count);
        break;
    case DramOp::mode_register:
        std::snprintf(buf, sizeof buf, "mode register set: CAS latency %s, burst %u%s%s, count %u",
                      cas_latency_text(c).c_str(), c.burst_length(), c.burst_interleaved() ? " interleaved" : "",
                      c.dll_reset() ? ", DLL reset" : "", c.count);
        break;
    case DramOp::active: std::snprintf(buf, sizeof buf, "active, count %u", c.count); break;
    case DramOp::read: std::snprintf(buf, sizeof buf, "read, count %u", c.count); break;
    case DramOp::write: std::snprintf(buf, sizeof buf, "write, count %u", c.count); break;
    case DramOp::burst_terminate: std::snprintf(buf, sizeof buf, "burst terminate, count %u", c.count); break;
    }
    return buf;
}

std::string short_name(const DramCommand& c) {
    switch (c.op) {
    case DramOp::closing: return "CLOSE";
    case DramOp::nop: return c.cke ? "NOP_CKE_high" : "NOP_CKE_low";
    case DramOp::precharge: return c.all_banks() ? "PRE_all" : "PRE";
    case DramOp::auto_refresh: return "REF";
    case DramOp::extended_mode_register: return "EMRS";
    case DramOp::mode_register: return c.dll_reset() ? "MRS_DLL_reset" : "MRS";
    case DramOp::active: return "ACT";
    case DramOp::read: return "READ";
    case DramOp::write: return "WRITE";
    case DramOp::burst_terminate: return "BST";
    }
    return "?";
}

}  // namespace tov::sim
