// SPDX-License-Identifier: Apache-2.0
// A plain register file for writing out expected bus traffic, written apart
// from the simulator: registers start at a chip's presets (0 elsewhere), the
// done bit of 0x828 always reads set, and a store to the test client's
// control word 0x870 writes the data word 0x874 into slot bit 4 (with bit 2)
// or reads that slot back into 0x874 (without). It emits the compact lines
// accesses() gives for a run ("W off val", "R off val", "A val", "T n",
// "M n", "X msg"). Read-modify-writes keep the bits the model's caller says
// they keep, from whatever the register holds.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tov::test {

class RegisterModel {
public:
    explicit RegisterModel(const std::map<uint32_t, uint32_t>& presets = {}, uint32_t aux = 0)
        : regs_(presets), aux_(aux) {}

    std::vector<std::string> lines;
    const std::vector<std::string>& out() const { return lines; }

    void w(uint32_t off, uint32_t v) {
        put("W", off, v);
        regs_[off] = v;
        if (off != 0x870) return;
        if (v & 4)
            slots_[(v >> 4) & 1] = regs_[0x874];
        else
            regs_[0x874] = slots_[(v >> 4) & 1];
    }
    uint32_t r(uint32_t off) {
        const uint32_t v = off == 0x828 ? regs_[off] | 1u : regs_[off];
        put("R", off, v);
        return v;
    }
    // off := (off & ~clear) | set, from one read.
    uint32_t rmw(uint32_t off, uint32_t clear, uint32_t set) {
        const uint32_t v = (r(off) & ~clear) | set;
        w(off, v);
        return v;
    }
    uint32_t value(uint32_t off) const {
        const auto it = regs_.find(off);
        return it == regs_.end() ? 0 : it->second;
    }
    void a() { lines.push_back("A " + hex(aux_)); }
    void t(uint32_t n) { lines.push_back("T " + std::to_string(n)); }
    void ms(uint32_t n) { lines.push_back("M " + std::to_string(n)); }
    void x(const std::string& msg) { lines.push_back("X " + msg); }

private:
    static std::string hex(uint32_t v) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%x", v);
        return buf;
    }
    void put(const char* k, uint32_t off, uint32_t v) {
        lines.push_back(std::string(k) + " " + hex(off) + " " + hex(v));
    }
    std::map<uint32_t, uint32_t> regs_;
    uint32_t aux_;
    uint32_t slots_[2] = {0, 0};
};

}  // namespace tov::test
