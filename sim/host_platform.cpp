// SPDX-License-Identifier: Apache-2.0
// Host side of the platform seam (meminit/hw/platform.h), beside the
// simulator it reaches: every access goes to the calling thread's active
// simulator.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "meminit/hw/platform.h"
#include "platform/diag_line.h"
#include "sim/simulator.h"

namespace tov::platform {
namespace {
sim::Simulator& target() {
    sim::Simulator* s = sim::Simulator::active();
    if (s == nullptr) {
        // About to abort: nothing to do if the message cannot be written.
        std::fprintf(stderr, "host platform: register access without a simulator\n");  // NOLINT(cert-err33-c)
        std::abort();
    }
    return *s;
}
}  // namespace

uint32_t mmio_load(uintptr_t addr) { return target().mmio_load(addr); }
void mmio_store(uintptr_t addr, uint32_t value) { target().mmio_store(addr, value); }
uint64_t interrupt_time() { return target().interrupt_time(); }

void trace_message(uintptr_t reg_base, uint32_t seq, const char* format, __builtin_va_list args) {
    va_list copy;
    va_copy(copy, args);
    char buf[512];
    const int n = std::vsnprintf(buf, sizeof buf, format, copy);
    va_end(copy);
    std::string msg = n < 0 ? std::string() : std::string(buf, n < int(sizeof buf) ? n : sizeof buf - 1);
    target().record_trace(std::move(msg));
    if (!target().keeps_log()) return;
    diag::Line line;
    va_copy(copy, args);
    diag::format_message(reg_base, seq, format, copy, line);
    va_end(copy);
    target().record_log_line(line.text);
}

void trace_delay(char kind, uint32_t n) { target().record_delay(kind, n); }

// The host sees every load and store on its own; it also keeps the lines the
// diagnostic image would print, formatted by the same code.
void note_step(const StepNote& note) {
    if (!target().keeps_log()) return;
    diag::print_step(note, [](const char* format, auto... args) {
        char text[diag::step_line_max];
        const int n = std::snprintf(text, sizeof text, format, args...);
        target().record_log_line(n < 0 ? "" : text);
    });
}

}  // namespace tov::platform
