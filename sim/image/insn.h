// SPDX-License-Identifier: Apache-2.0
// The image's instructions as the runner needs to know them, decoded with
// Capstone: how many a translated block holds (the instruction bound
// counts whole blocks), and for each one the memory it can reach, so that
// an access the emulator reports only by its address (an MMIO callback, an
// unmapped or protected page) is tied to the instruction that made it.
//
// The chip sees plain 32-bit moves only: a device register read or written
// by anything else (a locked or unlocked read-modify-write, xchg, a string
// instruction, push or pop, a load or store of another size) behaves
// differently on a real bus, or not at all. `plain_mov32` marks the one
// kind that may reach it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tov::sim::image {

// The general registers, in the order of their encoding (RAX, RCX, RDX,
// RBX, RSP, RBP, RSI, RDI, R8 to R15); x86 uses the first eight.
struct Gprs {
    uint64_t r[16] = {};
};
constexpr int gpr_sp = 4, gpr_bp = 5;

// How far from the stack pointer an instruction that uses the stack
// implicitly may reach: pushad's 32 bytes, a far call's or an interrupt's
// frame, with room to spare either side.
constexpr uint64_t stack_reach = 64;

// One stretch of memory an instruction can touch, relative to the
// registers as they stand when it makes the access.
struct MemRef {
    enum class Kind : uint8_t {
        operand,   // base + index * scale + disp, `size` bytes
        stack,     // near the stack pointer (push, pop, call, ret, leave...)
        anywhere,  // not modelled (a bit offset in a register, FS or GS): any address
    };
    Kind kind = Kind::operand;
    int8_t base = -1, index = -1;  // Gprs indices, -1 for none
    uint8_t base_bits = 64, index_bits = 64;
    uint8_t scale = 1;
    uint8_t addr_bits = 64;  // the address size the instruction computes with
    uint32_t size = 0;       // bytes
    int64_t disp = 0;        // RIP-relative: already the absolute target
    bool write = false, read = false;
};

struct Insn {
    uint64_t address = 0;
    uint8_t length = 0;
    std::string text;  // "lock or dword ptr [eax], 1"
    // A mov (or movabs) of a 32-bit general register or immediate to or from
    // one 32-bit memory operand, without a lock, repeat or FS/GS prefix.
    bool plain_mov32 = false;
    std::vector<MemRef> refs;
};

// Where `ref` begins for the registers `g` (the first byte it can touch);
// false for a reference that is not tied to one address.
bool ref_address(const MemRef& ref, const Gprs& g, uint64_t& at);

class Decoder {
public:
    explicit Decoder(bool x64);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // The instructions in `n` bytes at `address`. Bytes that do not decode
    // end the list; `complete` says whether they all did.
    std::vector<Insn> decode(const uint8_t* code, size_t n, uint64_t address, bool* complete = nullptr) const;
    // Only how many instructions those bytes hold, at least 1.
    uint32_t count(const uint8_t* code, size_t n, uint64_t address) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tov::sim::image
