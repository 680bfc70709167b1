// SPDX-License-Identifier: Apache-2.0
// libFuzzer target over DbgPrintEx's formatting: the format, the argument
// slots and the memory they point into all come from the input. The first
// byte picks x86 or x64, the next 64 bytes are the stack above the return
// address (the argument slots), the rest is memory mapped at 0x1000 (the
// format at its start); 0x100000 to 0x110000 stands for the chip's
// register block, everything else is unmapped. A line past 512 bytes, a
// refusal that is not one printable line, a line beside a refusal, reading
// more than a bounded amount, or any crash is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/image/dbg_format.h"

using namespace tov::sim::image;

namespace {

constexpr uint64_t memory_at = 0x1000, stack_at = 0x80000, chip_at = 0x100000, chip_size = 0x10000;
constexpr size_t stack_bytes = 64;
// A call reads its format and its strings, each at most a line's worth
// (and in pieces), and its argument slots: far below this.
constexpr size_t read_budget = 256 * 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 + stack_bytes) return 0;
    const bool x64 = data[0] & 1;
    std::vector<uint8_t> stack(8, 0);  // the return address
    stack.insert(stack.end(), data + 1, data + 1 + stack_bytes);
    const std::vector<uint8_t> memory(data + 1 + stack_bytes, data + size);
    size_t requested = 0;

    DbgPrintCall c;
    c.x64 = x64;
    c.sp = stack_at;
    // x64: the register arguments come from the first slots too, with the
    // format at the start of the memory.
    for (int i = 0; i < 4; ++i) std::memcpy(&c.regs[i], &stack[8 + 8 * i], 8);
    if (x64)
        c.regs[2] = memory_at;
    else  // the third 32-bit slot, past the 4-byte return address
        for (int i = 0; i < 4; ++i) stack[4 + 4 * 2 + i] = uint8_t(memory_at >> (8 * i));
    c.read = [&](uint64_t addr, size_t n, uint8_t* out, std::string& why) -> size_t {
        requested += n;
        if (requested > read_budget) {
            std::fprintf(stderr, "unbounded reading: %zu bytes requested\n", requested);
            std::abort();
        }
        size_t done = 0;
        for (; done < n; ++done) {
            const uint64_t a = addr + done;
            if (a >= chip_at && a - chip_at < chip_size) {
                why = "the register block";
                break;
            }
            if (a >= memory_at && a - memory_at < memory.size())
                out[done] = memory[a - memory_at];
            else if (a >= stack_at && a - stack_at < stack.size())
                out[done] = stack[a - stack_at];
            else {
                why = "unmapped memory";
                break;
            }
        }
        return done;
    };
    const DbgPrinted p = format_dbg_print(c);
    bool ok = p.text.size() <= dbg_print_max;
    if (!p.refusal.empty()) {
        ok = ok && p.text.empty() && p.refusal.rfind("DbgPrintEx ", 0) == 0;
        for (const char ch : p.refusal) ok = ok && ch >= 0x20 && ch < 0x7f;
    }
    if (!ok) {
        std::fprintf(stderr, "bad result: %zu bytes of text, refusal '%s'\n", p.text.size(), p.refusal.c_str());
        std::abort();
    }
    return 0;
}
