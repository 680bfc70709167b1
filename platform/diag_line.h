// SPDX-License-Identifier: Apache-2.0
// The diagnostic image's log line: a fixed prefix and the JSON object of one
// bus step, in the trace format that tovmem reads. Freestanding, so that the
// kernel image and the host build format a step the same way.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "meminit/hw/platform.h"

namespace tov::platform::diag {

// DbgPrintEx's filter: component DPFLTR_IHVDRIVER_ID, level DPFLTR_INFO_LEVEL,
// so the lines show once bit 3 (0x8) of the IHVDRIVER mask is set.
constexpr uint32_t component_id = 77;
constexpr uint32_t level = 3;
constexpr char prefix[] = "tovmem: ";

// Room for the longest line (a record with every word at 4294967295: 316
// bytes with its newline), its NUL and the writer's reserve; DbgPrintEx
// sends at most 512 bytes a call. It is the deepest buffer of the image's
// stack. A longer trace message is cut, its JSON kept whole.
constexpr size_t line_max = 328;

struct Line {
    char text[line_max];
    size_t len;
};

// "tovmem: {...}\n" for a step.
void format_step(const StepNote& note, Line& out);

// "tovmem: {"ev":"trace","msg":"..."}\n" for a trace message and its
// arguments (%d %i %u %x %X %c %s %%, with a 0 flag, a width and an
// ignored l; anything else is printed as written).
void format_message(const char* format, __builtin_va_list args, Line& out);

}  // namespace tov::platform::diag
