// A plain register file for writing out expected bus traffic: starts at a
// chip's presets (0 elsewhere), the done bit of 0x828 always set, and emits
// the compact lines accesses() gives for a run ("W off val", "R off val",
// "T n", "X msg"). Read-modify-writes keep the bits the model's caller
// says they keep, from whatever the register holds.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tov::test {

class RegisterModel {
public:
    explicit RegisterModel(const std::map<uint32_t, uint32_t>& presets = {}) : regs_(presets) {}

    std::vector<std::string> lines;

    void w(uint32_t off, uint32_t v) {
        regs_[off] = v;
        put("W", off, v);
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
    void t(uint32_t n) { lines.push_back("T " + std::to_string(n)); }
    void x(const std::string& msg) { lines.push_back("X " + msg); }

private:
    void put(const char* k, uint32_t off, uint32_t v) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%s %x %x", k, off, v);
        lines.push_back(buf);
    }
    std::map<uint32_t, uint32_t> regs_;
};

}  // namespace tov::test
