// SPDX-License-Identifier: Apache-2.0
// The diagnostic image's side of the trace seam: every step and trace
// message is printed through DbgPrintEx as one "tovmem: {...}" line, which
// tovmem reads back (check, diff, vcd, import). The release image's seam
// prints nothing. Every format is a constant of diag_line.h: a trace message
// is formatted into a buffer on the stack and passed through "%s", so
// nothing the library prints is ever taken for a format. DbgPrintEx may be
// called at any IRQL up to DIRQL.
#include <stdint.h>

#include "meminit/hw/platform.h"
#include "platform/diag_line.h"

extern "C" __declspec(dllimport) unsigned long __cdecl DbgPrintEx(unsigned long component_id, unsigned long level,
                                                                  const char* format, ...);

namespace tov::platform {

void trace_message(uintptr_t reg_base, uint32_t seq, const char* format, __builtin_va_list args) {
    diag::Line line;
    diag::format_message(reg_base, seq, format, args, line);
    DbgPrintEx(diag::component_id, diag::level, "%s", line.text);
}

// A delay is printed when it ends, with its first and last clock readings.
void trace_delay(char, uint32_t) {}

// A step goes to DbgPrintEx as its constant format and numbers: no line
// buffer deep in the sequence, where most steps are noted.
void note_step(const StepNote& note) {
    diag::print_step(
        note, [](const char* format, auto... args) { DbgPrintEx(diag::component_id, diag::level, format, args...); });
}

}  // namespace tov::platform
