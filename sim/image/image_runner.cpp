// SPDX-License-Identifier: Apache-2.0
#include "sim/image/image_runner.h"

#include <unicorn/unicorn.h>

#include "include/capture.h"
#include "sim/image/dbg_format.h"
#include "sim/printable.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <span>
#include <tuple>

namespace tov::sim::image {
namespace {

constexpr uint64_t page = 0x1000;
constexpr uint8_t stack_fill = 0xa7;

// Where the runner maps what a kernel gives a driver, per architecture: a
// page of thunks (the return address of every call, a `hlt` that is never
// executed since emulation stops on reaching it, and on x86 the one import,
// KeQueryInterruptTime: a `ret` with the clock in EDX:EAX), the caller's
// page (record, register context, the capture driver's device), the stack,
// and the register block and aux word. The simulator sees register offsets,
// wherever the block is mapped.
struct Places {
    uint64_t image_base, caller_base;
    uint64_t thunk_page, caller_page, stack_top;
    uint32_t stack_size;
    uint64_t reg_block, aux_block;

    uint64_t ke_query_interrupt_time() const { return thunk_page; }
    uint64_t sentinel() const { return thunk_page + 0x10; }
    uint64_t dbg_print_ex() const { return thunk_page + 0x20; }
    uint64_t record() const { return caller_page; }
    uint64_t context() const { return caller_page + 0x100; }
    uint64_t device() const { return caller_page + 0x200; }
    uint64_t stack_bottom() const { return stack_top - stack_size; }
};
constexpr Places x86_places{.image_base = default_image_base,
                            .caller_base = default_caller_base,
                            .thunk_page = 0x80d00000,
                            .caller_page = 0x80e00000,
                            .stack_top = 0x80f00000,
                            .stack_size = ImageRunner::stack_size_x86,
                            .reg_block = Simulator::reg_base,
                            .aux_block = Simulator::aux_base};
constexpr Places x64_places{.image_base = default_image_base_x64,
                            .caller_base = default_caller_base_x64,
                            .thunk_page = 0xfffff80000d00000,
                            .caller_page = 0xfffff80000e00000,
                            .stack_top = 0xfffff80000f00000,
                            .stack_size = ImageRunner::stack_size_x64,
                            .reg_block = 0xffffd00010000000,
                            .aux_block = 0xffffd00020000000};

// Callee-saved registers of each convention, and the values the caller
// leaves in them to see that they come back unchanged.
struct Saved {
    uc_x86_reg reg;
    const char* name;
    uint64_t value;
};
constexpr Saved saved_x86[] = {{UC_X86_REG_EBX, "EBX", 0x0b0b0b0b},
                               {UC_X86_REG_ESI, "ESI", 0x51515151},
                               {UC_X86_REG_EDI, "EDI", 0xd1d1d1d1},
                               {UC_X86_REG_EBP, "EBP", 0xbeb0beb0}};
constexpr Saved saved_x64[] = {
    {UC_X86_REG_RBX, "RBX", 0x0b0b0b0b0b0b0b0b}, {UC_X86_REG_RBP, "RBP", 0xbeb0beb0beb0beb0},
    {UC_X86_REG_RDI, "RDI", 0xd1d1d1d1d1d1d1d1}, {UC_X86_REG_RSI, "RSI", 0x5151515151515151},
    {UC_X86_REG_R12, "R12", 0x1212121212121212}, {UC_X86_REG_R13, "R13", 0x1313131313131313},
    {UC_X86_REG_R14, "R14", 0x1414141414141414}, {UC_X86_REG_R15, "R15", 0x1515151515151515}};
// XMM6 to XMM15 are callee-saved on x64 too: 128 bits each, filled with a
// pattern of their own.
constexpr int first_saved_xmm = 6, saved_xmms = 10;
using Xmm = std::array<uint8_t, 16>;
Xmm xmm_pattern(int n) {
    Xmm x;
    for (int i = 0; i < 16; ++i) x[i] = uint8_t(0x10 * n + i + 1);
    return x;
}
uc_x86_reg xmm_reg(int n) { return uc_x86_reg(UC_X86_REG_XMM0 + n); }
// x64 argument registers, in order.
constexpr uc_x86_reg x64_args[] = {UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_R8, UC_X86_REG_R9};
constexpr uint32_t shadow_space = 32;

const char* access_kind(uc_mem_type t) {
    switch (t) {
    case UC_MEM_READ_UNMAPPED: return "read of unmapped memory";
    case UC_MEM_WRITE_UNMAPPED: return "write to unmapped memory";
    case UC_MEM_FETCH_UNMAPPED: return "instruction fetch from unmapped memory";
    case UC_MEM_WRITE_PROT: return "write to read-only memory";
    case UC_MEM_READ_PROT: return "read of unreadable memory";
    case UC_MEM_FETCH_PROT: return "instruction fetch from non-executable memory";
    default: return "memory access";
    }
}

// What an instruction that reaches the register block or the aux word is,
// when it is not a plain move: a string instruction (one access per
// repetition), or an SSE, MMX or x87 one. The library reaches the chip with
// single 32-bit moves only; anything else is refused whatever its size. In
// 64-bit code a REX prefix (0x40 to 0x4f) may follow the others.
const char* unusual_instruction(const uint8_t* code, size_t n, bool x64) {
    size_t i = 0;
    auto prefix = [](uint8_t b) {
        return b == 0xf0 || b == 0xf2 || b == 0xf3 || b == 0x2e || b == 0x36 || b == 0x3e || b == 0x26 || b == 0x64 ||
               b == 0x65 || b == 0x66 || b == 0x67;
    };
    while (i < n && prefix(code[i])) ++i;
    if (x64 && i < n && (code[i] & 0xf0) == 0x40) ++i;
    if (i >= n) return nullptr;
    const uint8_t op = code[i];
    if ((op >= 0xa4 && op <= 0xa7) || (op >= 0xaa && op <= 0xaf) || (op >= 0x6c && op <= 0x6f))
        return "string instruction";
    if (op >= 0xd8 && op <= 0xdf) return "x87 instruction";
    if (op == 0x0f && i + 1 < n) {
        const uint8_t op2 = code[i + 1];
        if ((op2 >= 0x10 && op2 <= 0x17) || (op2 >= 0x28 && op2 <= 0x2f) || (op2 >= 0x50 && op2 <= 0x7f) ||
            (op2 >= 0xc2 && op2 <= 0xc6) || op2 >= 0xd0 || op2 == 0x38 || op2 == 0x3a)
            return "SSE or MMX instruction";
    }
    return nullptr;
}

void check(uc_err err, const std::string& what) {
    if (err != UC_ERR_OK) throw ImageError("emulator: " + what + ": " + uc_strerror(err));
}

}  // namespace

const char* entry_name(Entry e) {
    switch (e) {
    case Entry::driver_entry: return "DriverEntry";
    case Entry::dll_initialize: return "DllInitialize";
    case Entry::tov_mem_init: return "tov_mem_init";
    case Entry::dll_unload: return "DllUnload";
    }
    return "?";
}

// One loaded image: tovmem.sys first, then the capture driver if any.
struct Module {
    std::string label;  // "tovmem.sys", "capture.sys"
    LoadedImage img;
    std::vector<uint8_t> pristine;  // the image as loaded, to restore its writable pages
};

struct ImageRunner::Impl {
    RunnerOptions opts;
    bool x64 = false;
    Places at = x86_places;
    std::vector<Module> mods;
    std::vector<uint8_t> stack;
    std::vector<uint8_t> caller;
    std::vector<uint8_t> thunks;
    std::vector<uint8_t> shared;  // x64: the shared user data page
    uint64_t entries[4] = {};
    uint64_t caller_entry = 0, caller_start = 0;      // the capture driver's DriverEntry and start routine
    std::vector<std::pair<uint64_t, uint64_t>> code;  // executable ranges of every module
    // The bytes of XMM6 to XMM15 that the engine gives back as written: only
    // those can be checked after a call.
    std::array<Xmm, saved_xmms> xmm_checked{};
    uc_engine* uc = nullptr;

    // State of the call in progress.
    Simulator* sim = nullptr;
    std::string current;  // the function called
    uint64_t instructions = 0;
    std::chrono::steady_clock::time_point deadline;  // of the wall-time bound
    uint64_t pc = 0;                                 // the instruction being executed
    uint64_t ticks = 0;                              // hook calls, for reading the wall clock
    size_t log_bytes = 0;                            // printed by the call so far
    std::optional<std::string> fault;
    // An error inside a hook that left no room for its message.
    bool fault_without_message = false;

    ~Impl() {
        if (uc) uc_close(uc);
    }

    const LoadedImage& img() const { return mods.front().img; }
    const char* ip_name() const { return x64 ? "RIP" : "EIP"; }

    // Where an address lies, for fault messages.
    std::string region(uint64_t addr) const {
        for (const Module& m : mods) {
            const LoadedImage& i = m.img;
            const std::string whose = mods.size() == 1 ? "the image's" : m.label + "'s";
            if (const Section* s = i.section_at(addr)) return "in " + whose + " " + s->name;
            if (addr >= i.base && addr - i.base < i.headers_span) return "in " + whose + " headers";
            if (addr >= i.base && addr - i.base < i.size)
                return "in a gap of " + (mods.size() == 1 ? std::string("the image") : m.label);
        }
        const uint64_t bottom = at.stack_bottom();
        if (addr < bottom && addr + 0x10000 >= bottom) return "below the stack (overflow)";
        if (x64 && addr >= shared_user_data && addr - shared_user_data < page) return "in the shared user data page";
        if (addr < 0x10000) return "near address 0";
        return "outside every region the caller maps";
    }

    void stop(const std::string& what) {
        if (!fault) fault = what + " (instruction at " + hex(pc) + ", in " + current + ")";
        uc_emu_stop(uc);
    }

    // The emulator calls the hooks from C: an exception must not leave
    // them. Whatever a hook throws stops the emulation, and the call ends
    // with the error as its message.
    template <typename F>
    static auto guarded(void* user, F&& body) noexcept -> decltype(body()) {
        auto* self = static_cast<Impl*>(user);
        try {
            return body();
        } catch (const ImageError& e) {
            self->stop_noexcept(e.what());
        } catch (const std::bad_alloc&) {
            self->stop_noexcept("the runner ran out of memory");
        } catch (const std::exception& e) {
            self->stop_noexcept(std::string("the runner failed: ") + e.what());
        } catch (...) {
            self->stop_noexcept("the runner failed");
        }
        return decltype(body())();
    }

    void stop_noexcept(const char* what) noexcept {
        try {
            stop(what);
        } catch (...) {
            fault_without_message = true;
            uc_emu_stop(uc);
        }
    }
    void stop_noexcept(const std::string& what) noexcept { stop_noexcept(what.c_str()); }

    // The wall-time bound, read every 1024 hook calls (microseconds at
    // most, sanitizers included) and after every DbgPrintEx.
    bool past_deadline() {
        if (std::chrono::steady_clock::now() <= deadline) return false;
        stop("runaway image: no return after " + std::to_string(opts.max_wall.count()) + " ms of wall time (" +
             std::to_string(instructions) + " instructions)");
        return true;
    }

    bool in_code(uint64_t address) const {
        for (auto [lo, hi] : code)
            if (address >= lo && address < hi) return true;
        return false;
    }

    static void on_code(uc_engine*, uint64_t address, uint32_t, void* user) {
        guarded(user, [&] { static_cast<Impl*>(user)->on_instruction(address); });
    }

    void on_instruction(uint64_t address) {
        Impl* self = this;
        self->pc = address;
        if (++ticks % 1024 == 0 && past_deadline()) return;
        if (self->in_code(address)) {
            if (++self->instructions > self->opts.max_instructions)
                self->stop("runaway image: no return after " + std::to_string(self->opts.max_instructions) +
                           " instructions");
            return;
        }
        if (!self->x64 && address == self->at.ke_query_interrupt_time()) {
            const uint64_t t = self->sim ? self->sim->interrupt_time() : 0;
            const uint32_t lo = uint32_t(t), hi = uint32_t(t >> 32);
            uc_reg_write(self->uc, UC_X86_REG_EAX, &lo);
            uc_reg_write(self->uc, UC_X86_REG_EDX, &hi);
            return;
        }
        if (address == self->at.dbg_print_ex()) {
            if (!fault) self->dbg_print_ex();
            if (!fault) past_deadline();
            return;
        }
        if (address == self->at.sentinel()) return;
        self->stop("instruction fetch at " + hex(address) + " " + self->region(address) + ", outside " +
                   (self->mods.size() == 1 ? "the image's code" : "the images' code"));
    }

    static bool on_invalid(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t, void* user) {
        guarded(user, [&] {
            auto* self = static_cast<Impl*>(user);
            self->stop(std::string(access_kind(type)) + " at " + hex(address) + " (" + std::to_string(size) +
                       (size == 1 ? " byte) " : " bytes) ") + self->region(address));
        });
        return false;
    }

    // Every access that touches the register block or the aux page, as the
    // instruction made it: the emulator splits an unaligned or wide access
    // into aligned words before the MMIO callbacks below see them. Only one
    // aligned 32-bit load or store by a plain instruction reaches the chip.
    static void on_mem(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t, void* user) {
        guarded(user, [&] { static_cast<Impl*>(user)->mem(type, address, size); });
    }

    void mem(uc_mem_type type, uint64_t address, int size) {
        Impl* self = this;
        const char* kind = type == UC_MEM_WRITE ? "store" : "load";
        const uint64_t end = address + uint64_t(size);
        for (const auto& [lo, span, what] :
             {std::tuple{self->at.reg_block, uint64_t(Simulator::reg_span), "the register block"},
              std::tuple{self->at.aux_block, page, "the aux region"}}) {
            if (end <= lo || address >= lo + span) continue;
            const std::string at = " at " + hex(address) + " in " + what;
            if (address < lo || end > lo + span)
                self->stop(std::to_string(size * 8) + "-bit " + kind + at + " runs past its edge");
            else if (size != 4)
                self->stop(std::to_string(size * 8) + "-bit " + kind + at + bus_rule);
            else if (address % 4 != 0)
                self->stop("unaligned 32-bit " + std::string(kind) + at + bus_rule);
            else {
                uint8_t code[15] = {};
                size_t n = sizeof code;
                while (n > 0 && uc_mem_read(self->uc, self->pc, code, n) != UC_ERR_OK) --n;
                if (const char* unusual = unusual_instruction(code, n, self->x64))
                    self->stop(std::string(kind) + at + " by a " + unusual + bus_rule);
            }
        }
    }

    static constexpr const char* bus_rule = " (only aligned 32-bit loads and stores reach the chip)";

    // The register block: 32-bit aligned loads and stores only, each one bus
    // event of the simulator.
    bool bus_ok(uint64_t offset, unsigned size, const char* kind, uint64_t block) {
        if (fault) return false;  // refused by on_mem: no bus event
        if (size != 4 || offset % 4 != 0) {
            stop(std::to_string(size * 8) + "-bit " + kind + " at " + hex(block + offset) +
                 " in the register block (only aligned 32-bit accesses reach the chip)");
            return false;
        }
        if (!sim) {
            stop(std::string(kind) + " at " + hex(block + offset) + " in the register block, which " + current +
                 " must not touch");
            return false;
        }
        if (sim->events().size() >= opts.max_events) {
            stop("more than " + std::to_string(opts.max_events) +
                 " bus events in one call: the runner records no more (runaway image)");
            return false;
        }
        return true;
    }

    static uint64_t on_reg_read(uc_engine*, uint64_t offset, unsigned size, void* user) {
        return guarded(user, [&]() -> uint64_t {
            auto* self = static_cast<Impl*>(user);
            if (!self->bus_ok(offset, size, "load", self->at.reg_block)) return 0;
            return self->sim->mmio_load(self->sim->context()->reg_base + offset);
        });
    }

    static void on_reg_write(uc_engine*, uint64_t offset, unsigned size, uint64_t value, void* user) {
        guarded(user, [&] {
            auto* self = static_cast<Impl*>(user);
            if (!self->bus_ok(offset, size, "store", self->at.reg_block)) return;
            self->sim->mmio_store(self->sim->context()->reg_base + offset, uint32_t(value));
        });
    }

    // The aux region: the caller maps one word there, read-only for us.
    static uint64_t on_aux_read(uc_engine*, uint64_t offset, unsigned size, void* user) {
        return guarded(user, [&]() -> uint64_t {
            auto* self = static_cast<Impl*>(user);
            if (self->fault) return 0;
            if (offset != 0) {
                self->stop("load at " + hex(self->at.aux_block + offset) + " past the aux word");
                return 0;
            }
            if (!self->bus_ok(offset, size, "load", self->at.aux_block)) return 0;
            return self->sim->mmio_load(Simulator::aux_base);
        });
    }

    static void on_aux_write(uc_engine*, uint64_t offset, unsigned, uint64_t, void* user) {
        guarded(user, [&] {
            auto* self = static_cast<Impl*>(user);
            if (self->fault) return;
            self->stop("store at " + hex(self->at.aux_block + offset) + " to the aux region");
        });
    }

    // x64: a read of the shared user data page. The image reads only
    // InterruptTime (KSYSTEM_TIME: LowPart +8, High1Time +0xc, High2Time
    // +0x10), as the WDK's KeQueryInterruptTime does: one 8-byte load at +8.
    // A read that starts at +8 is one clock reading, written into the page
    // before the load completes (a 4-byte read of LowPart too); High1Time
    // and High2Time read alone give the last reading's high half. Anything
    // else in the page is not modelled and stops the run.
    static void on_shared_read(uc_engine*, uc_mem_type, uint64_t address, int size, int64_t, void* user) {
        guarded(user, [&] { static_cast<Impl*>(user)->shared_read(address, size); });
    }

    void shared_read(uint64_t address, int size) {
        Impl* self = this;
        const uint64_t off = address - shared_user_data;
        if (off < interrupt_time_offset || off + size > interrupt_time_offset + 12) {
            self->stop(std::to_string(size * 8) + "-bit read at " + hex(address) +
                       " in the shared user data page (offset " + hex(off) +
                       "): the runner models only InterruptTime at offset 8");
            return;
        }
        if (off != interrupt_time_offset) return;
        const uint64_t t = self->sim ? self->sim->interrupt_time() : 0;
        const uint32_t words[3] = {uint32_t(t), uint32_t(t >> 32), uint32_t(t >> 32)};
        std::memcpy(self->shared.data() + interrupt_time_offset, words, sizeof words);
    }

    void map_ptr(uint64_t addr, std::vector<uint8_t>& mem, uint32_t perms, const std::string& what) {
        check(uc_mem_map_ptr(uc, addr, mem.size(), perms, mem.data()), "mapping " + what + " at " + hex(addr));
    }

    void setup() {
        check(uc_open(UC_ARCH_X86, x64 ? UC_MODE_64 : UC_MODE_32, &uc),
              x64 ? "opening an x86-64 engine" : "opening a 32-bit x86 engine");
        // Headers read-only, each section with its own protection.
        for (Module& m : mods) {
            LoadedImage& img = m.img;
            check(uc_mem_map_ptr(uc, img.base, img.headers_span, UC_PROT_READ, img.memory.data()),
                  "mapping the " + m.label + " headers");
            for (const Section& s : img.sections) {
                check(uc_mem_map_ptr(uc, img.base + s.rva, s.span, s.protection, img.memory.data() + s.rva),
                      "mapping section " + s.name + " of " + m.label);
                if (s.protection & prot_exec) code.emplace_back(img.base + s.rva, img.base + s.rva + s.span);
            }
        }
        stack.assign(at.stack_size, stack_fill);
        caller.assign(page, 0);
        thunks.assign(page, 0xcc);
        if (!x64) thunks[at.ke_query_interrupt_time() - at.thunk_page] = 0xc3;  // ret
        thunks[at.sentinel() - at.thunk_page] = 0xf4;                           // hlt
        thunks[at.dbg_print_ex() - at.thunk_page] = 0xc3;                       // ret (the caller pops)
        map_ptr(at.stack_bottom(), stack, UC_PROT_READ | UC_PROT_WRITE, "the stack");
        map_ptr(at.caller_page, caller, UC_PROT_READ | UC_PROT_WRITE, "the caller's record");
        map_ptr(at.thunk_page, thunks, UC_PROT_READ | UC_PROT_EXEC, "the import thunks");
        check(uc_mmio_map(uc, at.reg_block, Simulator::reg_span, on_reg_read, this, on_reg_write, this),
              "mapping the register block");
        check(uc_mmio_map(uc, at.aux_block, page, on_aux_read, this, on_aux_write, this), "mapping the aux region");
        uc_hook h;
        check(uc_hook_add(uc, &h, UC_HOOK_CODE, reinterpret_cast<void*>(on_code), this, 1, 0), "adding a code hook");
        check(uc_hook_add(uc, &h, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(on_invalid), this, 1, 0),
              "adding a memory hook");
        // From a word below each region, to see an access that runs into it.
        for (const auto& [lo, span] :
             {std::pair{at.reg_block, uint64_t(Simulator::reg_span)}, std::pair{at.aux_block, page}})
            check(uc_hook_add(uc, &h, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE, reinterpret_cast<void*>(on_mem), this,
                              lo - 8, lo + span - 1),
                  "adding a register block hook");
        if (x64) {
            shared.assign(page, 0);
            map_ptr(shared_user_data, shared, UC_PROT_READ, "the shared user data page");
            check(uc_hook_add(uc, &h, UC_HOOK_MEM_READ, reinterpret_cast<void*>(on_shared_read), this, shared_user_data,
                              shared_user_data + page - 1),
                  "adding the shared user data hook");
            // What of XMM6 to XMM15 comes back as written can be checked.
            for (int n = 0; n < saved_xmms; ++n) {
                const Xmm want = xmm_pattern(first_saved_xmm + n);
                Xmm got{};
                check(uc_reg_write(uc, xmm_reg(first_saved_xmm + n), want.data()), "writing an XMM register");
                check(uc_reg_read(uc, xmm_reg(first_saved_xmm + n), got.data()), "reading an XMM register");
                for (int i = 0; i < 16; ++i) xmm_checked[n][i] = got[i] == want[i];
            }
        }
    }

    void restore_writable() {
        for (Module& m : mods)
            for (const Section& s : m.img.sections)
                if (s.protection & prot_write)
                    std::memcpy(m.img.memory.data() + s.rva, m.pristine.data() + s.rva, s.span);
    }

    void write_mem(uint64_t addr, uint64_t v, uint32_t bytes) {
        check(uc_mem_write(uc, addr, &v, bytes), "writing the caller's memory at " + hex(addr));
    }
    void write_word(uint64_t addr, uint32_t v) { write_mem(addr, v, 4); }
    // A pointer of the image's size.
    void write_pointer(uint64_t addr, uint64_t v) { write_mem(addr, v, x64 ? 8 : 4); }

    uint64_t read_mem(uint64_t addr, uint32_t bytes) {
        uint64_t v = 0;
        check(uc_mem_read(uc, addr, &v, bytes), "reading the caller's memory at " + hex(addr));
        return v;
    }
    uint32_t read_word(uint64_t addr) { return uint32_t(read_mem(addr, 4)); }

    // Where the chip is: the register block or the aux region, both whole
    // pages.
    const char* chip_region(uint64_t addr) const {
        if (addr >= at.reg_block && addr - at.reg_block < Simulator::reg_span) return "the register block";
        if (addr >= at.aux_block && addr - at.aux_block < page) return "the aux region";
        return nullptr;
    }

    // The image's memory as DbgPrintEx reads it, a page's piece at a time:
    // never the chip (reading there through the emulator would be bus
    // traffic the image did not make), never past what is mapped.
    size_t print_read(uint64_t addr, size_t n, uint8_t* out, std::string& why) {
        size_t done = 0;
        while (done < n) {
            const uint64_t a = addr + done;
            if (a < addr || (!x64 && a > 0xffffffff)) {
                why = "no address (past the end of the address space)";
                break;
            }
            if (const char* chip = chip_region(a)) {
                why = std::string(chip) + ", which the runner never reads for a string";
                break;
            }
            const size_t piece = std::min<size_t>(n - done, page - (a & (page - 1)));
            if (uc_mem_read(uc, a, out + done, piece) != UC_ERR_OK) {
                why = "unmapped memory (" + region(a) + ")";
                break;
            }
            done += piece;
        }
        return done;
    }

    // DbgPrintEx(ComponentId, Level, Format, ...), as the kernel formats it
    // (sim/image/dbg_format.h); a call it refuses stops the run. The line
    // goes to the simulator's log, as many lines and bytes as the options
    // allow. cdecl on x86 (arguments on the stack above the return
    // address), the x64 convention there (RCX, RDX, R8, R9, then the stack
    // above 32 bytes of shadow space).
    void dbg_print_ex() {
        DbgPrintCall c;
        c.x64 = x64;
        static constexpr uc_x86_reg regs[] = {UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_R8, UC_X86_REG_R9};
        if (x64)
            for (int i = 0; i < 4; ++i) uc_reg_read(uc, regs[i], &c.regs[i]);
        uc_reg_read(uc, x64 ? UC_X86_REG_RSP : UC_X86_REG_ESP, &c.sp);
        if (!x64) c.sp &= 0xffffffff;
        c.read = [this](uint64_t addr, size_t n, uint8_t* out, std::string& why) {
            return print_read(addr, n, out, why);
        };
        const DbgPrinted p = format_dbg_print(c);
        if (!p.refusal.empty()) return stop(p.refusal);
        if (sim) {
            if (sim->log().size() >= opts.max_log_lines || log_bytes + p.text.size() > opts.max_log_bytes)
                return stop("the image printed more than " + std::to_string(opts.max_log_lines) + " lines or " +
                            std::to_string(opts.max_log_bytes >> 20) +
                            " MiB through DbgPrintEx in one call: the runner keeps no more (runaway image)");
            log_bytes += p.text.size();
            sim->record_log_line(p.text.c_str());
        }
        const uint64_t status = 0;  // STATUS_SUCCESS
        uc_reg_write(uc, x64 ? UC_X86_REG_RAX : UC_X86_REG_EAX, &status);
    }
    uint64_t read_pointer(uint64_t addr) { return read_mem(addr, x64 ? 8 : 4); }

    CallOutcome call(Entry e, const std::vector<uint64_t>& args, Simulator* target) {
        return call_at(entries[static_cast<int>(e)], entry_name(e), args, target);
    }

    // `name` at `start` called with `args` on a fresh stack, in the
    // convention of the image's architecture.
    CallOutcome call_at(uint64_t start, const std::string& name, const std::vector<uint64_t>& args, Simulator* target) {
        restore_writable();
        std::fill(stack.begin(), stack.end(), stack_fill);
        sim = target;
        current = name;
        instructions = 0;
        ticks = 0;
        log_bytes = 0;
        deadline = std::chrono::steady_clock::now() + opts.max_wall;
        fault.reset();
        fault_without_message = false;
        const uint64_t sp_after = x64 ? enter_x64(args) : enter_x86(args);

        pc = start;
        const uc_err err = uc_emu_start(uc, start, at.sentinel(), 0, 0);
        sim = nullptr;
        if (fault) throw ImageError(*fault);
        if (fault_without_message) throw ImageError("the runner ran out of memory in " + name);
        if (err != UC_ERR_OK)
            throw ImageError("emulator stopped in " + name + ": " + uc_strerror(err) + " (instruction at " + hex(pc) +
                             ")");
        uint64_t ip = 0, sp = 0, ret = 0;
        uc_reg_read(uc, x64 ? UC_X86_REG_RIP : UC_X86_REG_EIP, &ip);
        uc_reg_read(uc, x64 ? UC_X86_REG_RSP : UC_X86_REG_ESP, &sp);
        uc_reg_read(uc, x64 ? UC_X86_REG_RAX : UC_X86_REG_EAX, &ret);
        if (!x64) {
            ip &= 0xffffffff;
            sp &= 0xffffffff;
        }
        if (ip != at.sentinel()) throw ImageError(name + " stopped at " + hex(ip) + " without returning");
        if (sp != sp_after) {
            if (x64)
                throw ImageError(name + " returned with RSP " + hex(sp) + ", expected " + hex(sp_after) +
                                 ": it must return to its caller's frame (the x64 caller owns its arguments)");
            throw ImageError(name + " returned with ESP " + hex(sp) + ", expected " + hex(sp_after) +
                             ": it must pop its " + std::to_string(4 * args.size()) + " argument bytes (__stdcall)");
        }
        check_saved(name);
        CallOutcome out;
        out.ret = static_cast<int32_t>(uint32_t(ret));  // NTSTATUS and int: EAX
        out.stats.instructions = instructions;
        out.stats.x64 = x64;
        // The deepest byte written, counted from the caller's stack pointer
        // before it pushed the arguments (x86) or from its RSP at the call
        // (x64: the return address and below; the 32 bytes of shadow space
        // above are the caller's frame, reserved by every x64 caller).
        size_t low = 0;
        while (low < stack.size() && stack[low] == stack_fill) ++low;
        const size_t top = x64 ? stack.size() - shadow_space : stack.size();
        out.stats.stack_bytes = uint32_t(low < top ? top - low : 0);
        return out;
    }

    // x86: the arguments and the return address pushed; the callee pops both.
    uint64_t enter_x86(const std::vector<uint64_t>& args) {
        uint64_t esp = at.stack_top;
        for (auto it = args.rbegin(); it != args.rend(); ++it) {
            if (*it > 0xffffffff) throw ImageError("argument " + hex(*it) + " does not fit a 32-bit word");
            esp -= 4;
            write_word(esp, uint32_t(*it));
        }
        esp -= 4;
        write_word(esp, uint32_t(at.sentinel()));
        const uint32_t eflags = 0x202;  // IF set, DF clear, as the kernel calls
        const uint32_t esp32 = uint32_t(esp), zero = 0;
        check(uc_reg_write(uc, UC_X86_REG_ESP, &esp32), "setting ESP");
        check(uc_reg_write(uc, UC_X86_REG_EFLAGS, &eflags), "setting EFLAGS");
        for (auto r : {UC_X86_REG_EAX, UC_X86_REG_ECX, UC_X86_REG_EDX}) uc_reg_write(uc, r, &zero);
        for (const Saved& s : saved_x86) {
            const uint32_t v = uint32_t(s.value);
            uc_reg_write(uc, s.reg, &v);
        }
        return at.stack_top;
    }

    // x64: up to four arguments in RCX, RDX, R8, R9; the caller's 32 bytes
    // of shadow space (home slots for them) above the return address; RSP
    // 16-byte aligned before the call pushes it. The callee returns with RSP
    // just above the return address.
    uint64_t enter_x64(const std::vector<uint64_t>& args) {
        if (args.size() > 4) throw ImageError("the runner passes at most four arguments, in registers");
        const uint64_t frame = at.stack_top - shadow_space;  // 16-byte aligned
        const uint64_t rsp = frame - 8;
        write_mem(rsp, at.sentinel(), 8);
        const uint64_t rflags = 0x202, zero = 0;
        check(uc_reg_write(uc, UC_X86_REG_RSP, &rsp), "setting RSP");
        check(uc_reg_write(uc, UC_X86_REG_RFLAGS, &rflags), "setting RFLAGS");
        for (auto r : {UC_X86_REG_RAX, UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_R8, UC_X86_REG_R9, UC_X86_REG_R10,
                       UC_X86_REG_R11})
            uc_reg_write(uc, r, &zero);
        for (size_t i = 0; i < args.size(); ++i) uc_reg_write(uc, x64_args[i], &args[i]);
        for (const Saved& s : saved_x64) uc_reg_write(uc, s.reg, &s.value);
        for (int n = 0; n < saved_xmms; ++n) {
            const Xmm x = xmm_pattern(first_saved_xmm + n);
            uc_reg_write(uc, xmm_reg(first_saved_xmm + n), x.data());
        }
        return frame;
    }

    void check_saved(const std::string& name) {
        for (const Saved& s : x64 ? std::span<const Saved>(saved_x64) : std::span<const Saved>(saved_x86)) {
            uint64_t v = 0;
            uc_reg_read(uc, s.reg, &v);
            if (!x64) v &= 0xffffffff;
            const uint64_t want = x64 ? s.value : uint32_t(s.value);
            if (v != want)
                throw ImageError(name + " returned with " + s.name + " changed (" + hex(want) + " -> " + hex(v) +
                                 "); it must preserve it");
        }
        if (!x64) return;
        for (int n = 0; n < saved_xmms; ++n) {
            const Xmm want = xmm_pattern(first_saved_xmm + n);
            Xmm got{};
            uc_reg_read(uc, xmm_reg(first_saved_xmm + n), got.data());
            for (int i = 0; i < 16; ++i)
                if (xmm_checked[n][i] && got[i] != want[i])
                    throw ImageError(name + " returned with XMM" + std::to_string(first_saved_xmm + n) +
                                     " changed (byte " + std::to_string(i) + ": " + hex(want[i]) + " -> " +
                                     hex(got[i]) + "); it must preserve it");
        }
    }
};

namespace {

// A module's place must leave the runner's own pages, the register block and
// the low 64 KiB free; the refusal names the first region it overlaps.
void check_place(const LoadedImage& img, const Places& at, const std::string& label) {
    const uint64_t end = img.base + img.size;
    const std::tuple<uint64_t, uint64_t, const char*> regions[] = {
        {0, 0x10000, "the low 64 KiB"},
        {at.reg_block, at.reg_block + Simulator::reg_span, "the register block"},
        {at.aux_block, at.aux_block + page, "the aux region"},
        {at.thunk_page, at.thunk_page + page, "the import thunks"},
        {at.caller_page, at.caller_page + page, "the record"},
        {at.stack_bottom(), at.stack_top, "the stack"},
        {shared_user_data, shared_user_data + page, "the shared user data page"},
    };
    for (const auto& [lo, hi, what] : regions)
        if (img.base < hi && lo < end)
            throw ImageError(label + " at " + hex(img.base) + " to " + hex(end) + " overlaps " + what + " (" + hex(lo) +
                             " to " + hex(hi) + ")");
}

uint64_t code_address(const LoadedImage& img, uint64_t a, const std::string& what) {
    const Section* sec = img.section_at(a);
    if (!sec || !(sec->protection & prot_exec)) throw ImageError(what + " " + hex(a) + " is not in a code section");
    return a;
}

std::string machine_name(uint16_t m) {
    return m == machine_amd64 ? "AMD64" : m == machine_i386 ? "i386" : "machine " + hex(m);
}

}  // namespace

ImageRunner::ImageRunner(const std::vector<uint8_t>& file, const RunnerOptions& opts) : impl_(new Impl) {
    load(file, nullptr, opts);
}

ImageRunner::ImageRunner(const std::vector<uint8_t>& file, const std::vector<uint8_t>& caller,
                         const RunnerOptions& opts)
    : impl_(new Impl) {
    load(file, &caller, opts);
}

void ImageRunner::load(const std::vector<uint8_t>& file, const std::vector<uint8_t>* caller,
                       const RunnerOptions& opts) {
    Impl& s = *impl_;
    s.opts = opts;
    // The file says which CPU runs it; the places follow.
    s.x64 = image_machine(file) == machine_amd64;
    s.at = s.x64 ? x64_places : x86_places;
    s.at.image_base = opts.image_base.value_or(s.at.image_base);
    s.at.caller_base = opts.caller_base.value_or(s.at.caller_base);
    if (opts.reg_block) {
        if (*opts.reg_block == 0 || *opts.reg_block > 0xffffffffu || *opts.reg_block % Simulator::reg_span != 0)
            throw ImageError("the register block's address " + hex(*opts.reg_block) +
                             " is not a nonzero 64 KiB aligned address below 4 GiB");
        s.at.reg_block = (s.x64 ? x64_places.reg_block & ~uint64_t{0xffffffff} : 0) | *opts.reg_block;
    }
    s.mods.push_back({"tovmem.sys", load_image(file, s.at.image_base), {}});
    check_place(s.mods[0].img, s.at, "image");
    if (caller) {
        // A capture driver is a driver, not a DLL: it only exports what the
        // runner calls. An empty file is no more a driver than any other.
        // It runs on the CPU that runs tovmem.sys.
        try {
            const LoadedImage& t = s.mods[0].img;
            if (const uint16_t m = image_machine(*caller); m != t.machine)
                throw ImageError("capture driver is " + machine_name(m) + " but tovmem.sys is " +
                                 machine_name(t.machine) + ": both must be built for one architecture");
            LoadedImage c = load_image(*caller, s.at.caller_base, /*dll=*/false);
            check_place(c, s.at, "caller");
            if (c.base < t.base + t.size && t.base < c.base + c.size)
                throw ImageError("caller base " + hex(c.base) + " overlaps the image at " + hex(t.base));
            s.mods.push_back({"capture.sys", std::move(c), {}});
        } catch (const CallerError&) {
            throw;
        } catch (const ImageError& e) {
            throw CallerError(e.what());
        }
    }

    // Imports: by name from the images loaded here, then the kernel's one
    // service on x86. The tovmem image itself may import only that service;
    // on x64 it imports nothing (the interrupt time is in the shared user
    // data page).
    for (size_t k = 0; k < s.mods.size(); ++k) {
        Module& m = s.mods[k];
        bind_imports(m.img, [&](const std::string& module, const std::string& name) -> uint64_t {
            const std::string what = m.label + " imports " + printable(module) + "!" + printable(name);
            for (size_t j = 0; j < s.mods.size(); ++j) {
                const LoadedImage& other = s.mods[j].img;
                if (j == k || other.name != module) continue;
                const auto it = other.exports.find(name);
                if (it == other.exports.end())
                    throw ImageError(what + ", which " + printable(module) + " does not export");
                return other.base + it->second;
            }
            if (!s.x64 && module == "ntoskrnl.exe" && name == "KeQueryInterruptTime")
                return s.at.ke_query_interrupt_time();
            // The diagnostic image's one addition.
            if (module == "ntoskrnl.exe" && name == "DbgPrintEx") return s.at.dbg_print_ex();
            throw ImageError(what + ", which the kernel runner does not provide (no loaded image is " +
                             printable(module) +
                             (s.x64 ? "; of the x64 kernel nothing: the interrupt time is in the shared user data "
                                      "page)"
                                    : "; of the kernel only ntoskrnl.exe!KeQueryInterruptTime)"));
        });
    }

    const LoadedImage& img = s.mods[0].img;
    s.entries[int(Entry::driver_entry)] = code_address(img, img.base + img.entry_rva, "entry point");
    for (Entry e : {Entry::dll_initialize, Entry::tov_mem_init, Entry::dll_unload})
        s.entries[int(e)] = code_address(img, img.export_address(entry_name(e)), "entry point");
    if (s.mods.size() > 1) {
        const LoadedImage& c = s.mods[1].img;
        s.caller_entry = code_address(c, c.base + c.entry_rva, "capture driver entry point");
        s.caller_start = code_address(c, c.export_address("capture_start_memory"), "capture_start_memory");
    }
    for (Module& m : s.mods) m.pristine = m.img.memory;
    s.setup();
}

ImageRunner::~ImageRunner() = default;

const LoadedImage& ImageRunner::image() const { return impl_->img(); }

bool ImageRunner::has_caller() const { return impl_->mods.size() > 1; }

bool ImageRunner::is_64_bit() const { return impl_->x64; }

const LoadedImage& ImageRunner::caller_image() const {
    if (!has_caller()) throw ImageError("no capture driver is loaded");
    return impl_->mods[1].img;
}

CallOutcome ImageRunner::call(Entry e, const std::vector<uint64_t>& args, Simulator* sim) {
    return impl_->call(e, args, sim);
}

RunResult ImageRunner::run(const RunRequest& req) {
    Impl& s = *impl_;
    const Places& at = s.at;
    auto must_return_zero = [](const CallOutcome& o, const std::string& name) {
        if (o.ret != 0) throw ImageError(name + " returned " + hex(uint32_t(o.ret)) + ", not 0");
    };
    // The system loads tovmem.sys for the driver that imports it and calls
    // its DllInitialize; loaded on its own, it gets DriverEntry first.
    if (!has_caller()) must_return_zero(call(Entry::driver_entry, {0, 0}), "DriverEntry");
    must_return_zero(call(Entry::dll_initialize, {0}), "DllInitialize");
    if (has_caller())
        must_return_zero(s.call_at(s.caller_entry, "capture.sys DriverEntry", {0, 0}, nullptr),
                         "capture.sys DriverEntry");

    // The simulator's block stands where the image's caller has it mapped,
    // so that the image's diagnostic lines name the call as a host run does.
    const uint64_t block = at.reg_block & 0xffffffffu;
    if (req.reg_base != block)
        throw ImageError("the request's register block " + hex(req.reg_base) + " is not where this runner maps it, " +
                         hex(block));
    Simulator sim(req.chip, req.clock);
    sim.context()->reg_base = req.reg_base;
    // The caller's register context and record: reg_ctx and the two
    // addresses are pointer-sized, the fourteen words after reg_ctx 32-bit
    // (the header's layout of the image's architecture). The record's other
    // fields hold fill words, so that a field written by mistake shows.
    const uint32_t ptr = s.x64 ? 8 : 4;
    uint32_t fields[record_words];
    record_to_words(initial_record(req.config_id, req.clock_index, req.power_mode), fields);
    const uint64_t aux = req.no_aux ? 0 : at.aux_block;
    uint64_t record = at.record(), context = at.context();
    // The capture driver's device, at the offsets of its architecture.
    struct DeviceLayout {
        uint32_t regs, config_id, clock, power_mode, mem, result, status;
    };
    const DeviceLayout dev =
        s.x64 ? DeviceLayout{CAPTURE_DEVICE64_REGS,       CAPTURE_DEVICE64_CONFIG_ID, CAPTURE_DEVICE64_CLOCK,
                             CAPTURE_DEVICE64_POWER_MODE, CAPTURE_DEVICE64_MEM,       CAPTURE_DEVICE64_RESULT,
                             CAPTURE_DEVICE64_STATUS}
              : DeviceLayout{CAPTURE_DEVICE_REGS,       CAPTURE_DEVICE_CONFIG_ID, CAPTURE_DEVICE_CLOCK,
                             CAPTURE_DEVICE_POWER_MODE, CAPTURE_DEVICE_MEM,       CAPTURE_DEVICE_RESULT,
                             CAPTURE_DEVICE_STATUS};
    const uint64_t device = at.device();
    if (has_caller()) {
        // Mapped registers and board values filled by its start path; the
        // record inside it is the device's own.
        record = device + dev.mem;
        context = device + dev.regs;
        s.write_word(device + dev.config_id, req.config_id);
        s.write_word(device + dev.clock, req.clock_index);
        s.write_word(device + dev.power_mode, req.power_mode);
        s.write_word(device + dev.result, fill_word);
        s.write_word(device + dev.status, fill_word);
        s.write_mem(record, s.x64 ? 0xa5a5a5a5a5a5a5a5 : fill_word, ptr);
    } else {
        s.write_pointer(record, context);
    }
    s.write_pointer(context, at.reg_block);
    s.write_pointer(context + ptr, aux);
    check(uc_mem_write(s.uc, record + ptr, fields, sizeof fields), "writing the record");

    RunResult r;
    r.start_time = sim.clock().now();
    const CallOutcome o = has_caller() ? s.call_at(s.caller_start, "capture_start_memory", {device}, &sim)
                                       : call(Entry::tov_mem_init, {record}, &sim);
    r.end_time = sim.clock().now();
    r.from_image = true;
    r.image = o.stats;
    r.ret = o.ret;
    if (has_caller()) {
        r.ret = static_cast<int32_t>(s.read_word(device + dev.result));
        r.image.through_caller = true;
        r.image.caller_status = s.read_word(device + dev.status);
        if (r.image.caller_status != uint32_t(o.ret))
            throw ImageError("capture_start_memory returned " + hex(uint32_t(o.ret)) + " but recorded status " +
                             hex(r.image.caller_status));
    }

    check(uc_mem_read(s.uc, record + ptr, fields, sizeof fields), "reading the record");
    if (s.read_pointer(record) != context)
        throw ImageError("the record's reg_ctx does not point at the register context after the call");
    r.record = record_from_words(fields);
    r.events = sim.events();
    r.log = sim.log();  // what a diagnostic image printed
    r.commands = sim.chip().commands_started();

    must_return_zero(call(Entry::dll_unload, {}), "DllUnload");
    return r;
}

}  // namespace tov::sim::image
