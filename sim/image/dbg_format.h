// SPDX-License-Identifier: Apache-2.0
// DbgPrintEx(ComponentId, Level, Format, ...) formatted as the kernel's
// printf does it, from an image's memory that the caller reads for it. The
// format and every argument come from the image, so nothing here trusts
// them: each string is read through `read`, which never reaches the chip
// (a string or argument slot in the register block or the aux region is a
// refusal, never bus traffic); the line is at most 512 bytes, as the kernel
// passes on; a conversion the kernel's printf would take but this one does
// not format (floating point, %n, counted strings) is refused by name. A %c
// of 0 puts a NUL in the line, which ends it where the kernel passes it on,
// as the kernel's does: the caller takes the text up to its first NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tov::sim::image {

// What DbgPrintEx passes on per call.
constexpr size_t dbg_print_max = 512;
// The longest format the runner reads; a longer one is refused.
constexpr size_t dbg_format_max = 512;
// The longest string a %s or %ls without a precision may be: the runner
// reads it to its NUL, as the kernel's formatter does, and refuses one whose
// NUL is not there (unmapped memory first, or more than this many
// characters), where the kernel would fault or read on unbounded.
constexpr size_t dbg_string_max = size_t{64} << 10;

struct DbgPrintCall {
    bool x64 = false;
    // x64: RCX, RDX, R8, R9 (ComponentId, Level, Format, the first argument).
    uint64_t regs[4] = {};
    // The stack pointer at the call's first instruction: the return
    // address there, x86 arguments above it, x64 ones above 32 bytes of
    // shadow space.
    uint64_t sp = 0;
    // Copies up to `n` bytes at `addr` into `out` and returns how many it
    // could: it stops before the first byte that is unmapped or lies in the
    // chip's register block or aux region, and then sets `why` to where
    // that byte lies ("unmapped memory", "the register block").
    std::function<size_t(uint64_t addr, size_t n, uint8_t* out, std::string& why)> read;
};

struct DbgPrinted {
    std::string text;     // the line as the kernel would pass it on
    std::string refusal;  // or, when not empty, why the runner does not format it (one line)
};

DbgPrinted format_dbg_print(const DbgPrintCall& call);

}  // namespace tov::sim::image
