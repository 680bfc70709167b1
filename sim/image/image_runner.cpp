// SPDX-License-Identifier: Apache-2.0
#include "sim/image/image_runner.h"

#include <unicorn/unicorn.h>

#include "include/capture.h"
#include "sim/image/dbg_format.h"
#include "sim/image/insn.h"
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
#include <unordered_map>

namespace tov::sim::image {
namespace {

constexpr uint64_t page = 0x1000;
constexpr uint8_t stack_fill = 0xa7;

// The lowest byte of `stack` that no longer holds the fill: compared a
// block at a time, since most of a kernel stack stays untouched.
size_t first_written(const std::vector<uint8_t>& stack) {
    static constexpr size_t chunk = 256;
    static const std::array<uint8_t, chunk> fill = [] {
        std::array<uint8_t, chunk> f{};
        f.fill(stack_fill);
        return f;
    }();
    size_t low = 0;
    while (low + chunk <= stack.size() && std::memcmp(stack.data() + low, fill.data(), chunk) == 0) low += chunk;
    while (low < stack.size() && stack[low] == stack_fill) ++low;
    return low;
}

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
    size_t stack_written_from = 0;  // the lowest byte the last call wrote (the fill below it is intact)
    std::vector<uint8_t> caller;
    std::vector<uint8_t> thunks;
    std::vector<uint8_t> shared;  // x64: the shared user data page as the image last read it
    uint64_t entries[4] = {};
    uint64_t caller_entry = 0, caller_start = 0;      // the capture driver's DriverEntry and start routine
    std::vector<std::pair<uint64_t, uint64_t>> code;  // executable ranges of every module
    // The bytes of XMM6 to XMM15 that the engine gives back as written: only
    // those can be checked after a call.
    std::array<Xmm, saved_xmms> xmm_checked{};
    uc_engine* uc = nullptr;
    std::unique_ptr<Decoder> decoder;

    // A translated block as the emulator runs it: how many instructions it
    // holds (the bound counts whole blocks, so no per-instruction hook slows
    // every instruction) and, once an access of it needs attributing, its
    // instructions. A block in a section the image can write is decoded
    // anew each time it runs.
    struct Block {
        uint64_t address = 0;
        uint32_t bytes = 0;
        uint32_t count = 0;
        bool in_code = false;
        bool stable = true;
        bool decoded = false;
        // Runs with a code hook on its instructions, each access tied to the
        // one executing.
        bool watched = false;
        std::vector<Insn> insns;
    };
    std::unordered_map<uint64_t, Block> blocks;  // elements keep their place: `recent` points into it
    std::array<Block*, 1024> recent{};
    Block* block = nullptr;  // the block running
    bool mid_block = false;  // inside a block of the image's code, past its first instruction's start
    // The instructions of watched blocks, by address; `watched_now` the one
    // executing, if any. A block is watched once the registers alone could
    // not tie an access of its to one verdict: the call then runs again
    // from its start with the block hooked, the same way each time.
    std::unordered_map<uint64_t, Insn> watched;
    const Insn* watched_now = nullptr;
    bool rerun = false;   // the call in progress starts again
    bool in_run = false;  // the call is part of run(), which starts the whole bring-up again instead
    struct RunAgain {};
    std::vector<std::pair<uint64_t, uint64_t>> to_watch;      // blocks to hook before it does
    std::vector<std::pair<uint64_t, uint64_t>> watch_ranges;  // the blocks hooked

    // State of the call in progress.
    Simulator* sim = nullptr;
    std::string current;  // the function called
    uint64_t instructions = 0;
    std::chrono::steady_clock::time_point deadline;  // of the wall-time bound
    uint64_t pc = 0;                                 // the start of the block being executed
    uint64_t ticks = 0;                              // blocks run, for reading the wall clock
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

    // The run ends with `what`, placed at the instruction that caused it
    // when that is known; inside a block whose faulting instruction the
    // runner could not single out, at the block.
    void stop(const std::string& what, std::optional<uint64_t> insn = std::nullopt) {
        if (!fault) {
            if (insn)
                fault = what + " (instruction at " + hex(*insn) + ", in " + current + ")";
            else if (mid_block)
                fault = what + " (in the block at " + hex(pc) + ", in " + current + ")";
            else
                fault = what + " (instruction at " + hex(pc) + ", in " + current + ")";
        }
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

    // The wall-time backstop, read every 1024 blocks and after every
    // DbgPrintEx. It is minutes: the instruction, event and log bounds stop
    // a runaway image first, the same way on any machine.
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

    static void on_block(uc_engine*, uint64_t address, uint32_t size, void* user) {
        guarded(user, [&] { static_cast<Impl*>(user)->on_block_start(address, size); });
    }

    // The block at `address` as the emulator translated it, `size` bytes.
    Block& block_at(uint64_t address, uint32_t size) {
        // A direct-mapped front for the map: a bring-up's hot loops run the
        // same few dozen blocks millions of times.
        Block*& hot = recent[(address ^ (address >> 9)) % recent.size()];
        if (hot && hot->address == address && hot->bytes == size && hot->stable) return *hot;
        hot = &block_lookup(address, size);
        return *hot;
    }

    Block& block_lookup(uint64_t address, uint32_t size) {
        auto [it, fresh] = blocks.try_emplace(address);
        Block& b = it->second;
        if (!fresh && b.bytes == size && b.stable) return b;
        b.address = address;
        b.bytes = size;
        b.decoded = false;
        b.insns.clear();
        b.in_code = in_code(address);
        b.stable = true;
        for (const Module& m : mods)
            if (const Section* sec = m.img.section_at(address)) b.stable = !(sec->protection & prot_write);
        b.count = 1;
        if (b.in_code && size > 0) {
            decode(b);
            b.count = std::max<uint32_t>(1, uint32_t(b.insns.size()));
        }
        // Watched only where a hook covers all of it.
        b.watched = false;
        for (const auto& [lo, hi] : watch_ranges)
            if (lo <= address && size > 0 && address + size - 1 <= hi) b.watched = true;
        return b;
    }

    // Hooks every instruction of `b` from the call's next start on.
    void watch(Block& b) {
        b.watched = true;
        for (const Insn& in : b.insns) watched.insert_or_assign(in.address, in);
        to_watch.emplace_back(b.address, b.address + b.bytes - 1);
    }

    static void on_watched(uc_engine*, uint64_t address, uint32_t, void* user) {
        auto* self = static_cast<Impl*>(user);
        const auto it = self->watched.find(address);
        self->watched_now = it == self->watched.end() ? nullptr : &it->second;
    }

    void decode(Block& b) {
        if (b.decoded) return;
        std::vector<uint8_t> bytes(b.bytes);
        if (b.bytes > 0 && uc_mem_read(uc, b.address, bytes.data(), b.bytes) == UC_ERR_OK)
            b.insns = decoder->decode(bytes.data(), b.bytes, b.address);
        b.decoded = true;
    }

    void on_block_start(uint64_t address, uint32_t size) {
        pc = address;
        mid_block = false;
        block = nullptr;
        if (++ticks % 1024 == 0 && past_deadline()) return;
        watched_now = nullptr;
        Block& b = block_at(address, size);
        if (b.in_code) {
            instructions += b.count;
            if (instructions > opts.max_instructions)
                return stop("runaway image: no return after " + std::to_string(opts.max_instructions) +
                            " instructions");
            block = &b;
            mid_block = true;
            return;
        }
        if (!x64 && address == at.ke_query_interrupt_time()) {
            const uint64_t t = sim ? sim->interrupt_time() : 0;
            const uint32_t lo = uint32_t(t), hi = uint32_t(t >> 32);
            uc_reg_write(uc, UC_X86_REG_EAX, &lo);
            uc_reg_write(uc, UC_X86_REG_EDX, &hi);
            return;
        }
        if (address == at.dbg_print_ex()) {
            if (!fault) dbg_print_ex();
            if (!fault) past_deadline();
            return;
        }
        if (address == at.sentinel()) return;
        stop("instruction fetch at " + hex(address) + " " + region(address) + ", outside " +
             (mods.size() == 1 ? "the image's code" : "the images' code"));
    }

    // The general registers as they stand at an access inside a block (the
    // emulator keeps them current there; only the instruction pointer lags).
    Gprs gprs() {
        static constexpr int x86_ids[8] = {UC_X86_REG_EAX, UC_X86_REG_ECX, UC_X86_REG_EDX, UC_X86_REG_EBX,
                                           UC_X86_REG_ESP, UC_X86_REG_EBP, UC_X86_REG_ESI, UC_X86_REG_EDI};
        static constexpr int x64_ids[16] = {UC_X86_REG_RAX, UC_X86_REG_RCX, UC_X86_REG_RDX, UC_X86_REG_RBX,
                                            UC_X86_REG_RSP, UC_X86_REG_RBP, UC_X86_REG_RSI, UC_X86_REG_RDI,
                                            UC_X86_REG_R8,  UC_X86_REG_R9,  UC_X86_REG_R10, UC_X86_REG_R11,
                                            UC_X86_REG_R12, UC_X86_REG_R13, UC_X86_REG_R14, UC_X86_REG_R15};
        Gprs g;
        void* vals[16];
        for (int i = 0; i < 16; ++i) vals[i] = &g.r[i];
        uc_reg_read_batch(uc, const_cast<int*>(x64 ? x64_ids : x86_ids), vals, x64 ? 16 : 8);
        if (!x64)
            for (int i = 0; i < 8; ++i) g.r[i] &= 0xffffffff;
        return g;
    }

    // Which instruction of the running block made an access of `size`
    // bytes at `address`. In a watched block, the one executing. Elsewhere
    // each memory operand of the block is placed by the registers as they
    // stand now: the instruction that made the access is always among those
    // that cover it, but an operand of another, whose registers have moved
    // on since it ran or will change before it does, may cover it too.
    // `ambiguous` says that those found do not agree on a verdict. `mov` is
    // a plain mov of the access's direction (the one at exactly the access's
    // address when there is one), `other` the first instruction found that
    // is not a plain mov.
    struct Attribution {
        const Insn* other = nullptr;
        const MemRef* other_ref = nullptr;
        uint64_t other_at = 0;
        const Insn* mov = nullptr;
        uint64_t mov_at = 0;
        bool ambiguous = false;
    };
    Attribution attribute(uint64_t address, uint64_t size, bool store, const Gprs& g) {
        Attribution a;
        const auto consider = [&](const Insn& in, bool direction_known) {
            for (const MemRef& ref : in.refs) {
                if (ref.kind == MemRef::Kind::stack) continue;
                if (direction_known && in.plain_mov32 && (store ? !ref.write : !ref.read)) continue;
                uint64_t lo = 0;
                const bool placed = ref_address(ref, g, lo);
                if (placed && (address + size <= lo || address >= lo + ref.size)) continue;
                if (!in.plain_mov32) {
                    if (a.other && a.other != &in) a.ambiguous = true;
                    if (!a.other) {
                        a.other = &in;
                        a.other_ref = &ref;
                        a.other_at = placed ? lo : address;
                    }
                } else if (!a.mov) {
                    a.mov = &in;
                    a.mov_at = lo;
                } else if ((lo == address) != (a.mov_at == address)) {
                    a.ambiguous = true;
                }
            }
        };
        if (watched_now && block && block->watched) {
            consider(*watched_now, false);
            if (!a.other && !a.mov && !watched_now->plain_mov32) {
                // It made the access, wherever its operand lies.
                a.other = watched_now;
                a.other_at = address;
            }
            return a;
        }
        if (!block) return a;
        for (const Insn& in : block->insns) consider(in, true);
        if (a.other && a.mov) a.ambiguous = true;
        return a;
    }

    // The first instruction of the running block that uses the stack
    // implicitly (push, pop, call, ret...), for naming a stack in the chip.
    const Insn* stack_user() const {
        if (watched_now && block && block->watched) return watched_now;
        if (!block) return nullptr;
        for (const Insn& in : block->insns)
            for (const MemRef& ref : in.refs)
                if (ref.kind == MemRef::Kind::stack) return &in;
        return nullptr;
    }

    static bool on_invalid(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t, void* user) {
        guarded(user, [&] {
            auto* self = static_cast<Impl*>(user);
            self->stop(std::string(access_kind(type)) + " at " + hex(address) + " (" + std::to_string(size) +
                           (size == 1 ? " byte) " : " bytes) ") + self->region(address),
                       self->faulting_instruction(type, address, size));
        });
        return false;
    }

    // The instruction of the running block that faulted at `address`: for a
    // fetch, the block's last (the jump or the fall-through); for a data
    // access, the one whose memory reference covers it.
    std::optional<uint64_t> faulting_instruction(uc_mem_type type, uint64_t address, int size) {
        if (!block) return std::nullopt;
        if (type == UC_MEM_FETCH_UNMAPPED || type == UC_MEM_FETCH_PROT) {
            decode(*block);
            if (!block->insns.empty()) return block->insns.back().address;
            return std::nullopt;
        }
        const bool store = type == UC_MEM_WRITE_UNMAPPED || type == UC_MEM_WRITE_PROT;
        const Attribution a = attribute(address, uint64_t(size), store, gprs());
        if (a.other) return a.other->address;
        if (a.mov) return a.mov->address;
        return std::nullopt;
    }

    static constexpr const char* bus_rule = ": only a plain aligned 32-bit mov reaches the chip";

    struct ChipRegion {
        uint64_t lo, span;
        const char* name;
    };
    ChipRegion reg_region() const { return {at.reg_block, Simulator::reg_span, "the register block"}; }
    ChipRegion aux_region() const { return {at.aux_block, page, "the aux region"}; }

    // An access the emulator hands the MMIO callbacks: one piece of what
    // the instruction did (an 8-byte access comes as two 4-byte halves, an
    // unaligned one as the aligned words it covers). It reaches the chip
    // only when the one instruction that can have made it is a plain
    // aligned 32-bit mov inside the region, with the stack elsewhere.
    bool bus_ok(const ChipRegion& rg, uint64_t offset, unsigned size, bool store) {
        if (fault || rerun) return false;
        const char* kind = store ? "store" : "load";
        const uint64_t address = rg.lo + offset;
        const Gprs g = gprs();
        const Attribution a = attribute(address, size, store, g);
        if (a.ambiguous && sim && block && !block->watched) {
            // Not one verdict from the registers: the call runs again with
            // this block watched, and the access is tied to its instruction.
            watch(*block);
            rerun = true;
            uc_emu_stop(uc);
            return false;
        }
        // The stack in the chip, or just above it, where a push's store
        // lands in it before the stack pointer moves.
        const uint64_t sp = g.r[gpr_sp];
        for (const ChipRegion& r : {reg_region(), aux_region()})
            if (sp >= r.lo && sp - r.lo < r.span + stack_reach) {
                const Insn* in = a.other ? a.other : a.mov ? a.mov : stack_user();
                stop(std::string(kind) + " at " + hex(address) + " in " + rg.name +
                         (in ? " by '" + in->text + "'" : std::string()) + " with the stack pointer (" +
                         (x64 ? "RSP " : "ESP ") + hex(sp) + ") in " + r.name +
                         ": the stack must never lie in the chip's registers",
                     in ? std::optional<uint64_t>(in->address) : std::nullopt);
                return false;
            }
        if (a.other) {
            const Insn& in = *a.other;
            const bool sized = a.other_ref && a.other_ref->kind == MemRef::Kind::operand && a.other_ref->size > 0;
            stop((sized ? std::to_string(a.other_ref->size * 8) + "-bit " : std::string()) + kind + " at " +
                     hex(sized ? a.other_at : address) + " in " + rg.name + " by '" + in.text + "'" + bus_rule,
                 in.address);
            return false;
        }
        if (!a.mov) {
            stop(std::to_string(size * 8) + "-bit " + kind + " at " + hex(address) + " in " + rg.name +
                 " that no instruction of the block at " + hex(pc) + " can be tied to" + bus_rule);
            return false;
        }
        const Insn& mov = *a.mov;
        const auto where = [&] { return " at " + hex(a.mov_at) + " in " + rg.name; };
        if (a.mov_at < rg.lo || a.mov_at + 4 > rg.lo + rg.span) {
            stop("32-bit " + std::string(kind) + where() + " by '" + mov.text + "' runs past its edge", mov.address);
            return false;
        }
        if (a.mov_at % 4 != 0 || a.mov_at != address || size != 4) {
            stop("unaligned 32-bit " + std::string(kind) + where() + " by '" + mov.text + "'" + bus_rule, mov.address);
            return false;
        }
        if (!sim) {
            stop(
                std::string(kind) + " at " + hex(address) + " in " + rg.name + ", which " + current + " must not touch",
                mov.address);
            return false;
        }
        if (sim->events().size() >= opts.max_events) {
            stop("more than " + std::to_string(opts.max_events) +
                     " bus events in one call: the runner records no more (runaway image)",
                 mov.address);
            return false;
        }
        return true;
    }

    static uint64_t on_reg_read(uc_engine*, uint64_t offset, unsigned size, void* user) {
        return guarded(user, [&]() -> uint64_t {
            auto* self = static_cast<Impl*>(user);
            if (!self->bus_ok(self->reg_region(), offset, size, false)) return 0;
            return self->sim->mmio_load(self->sim->context()->reg_base + offset);
        });
    }

    static void on_reg_write(uc_engine*, uint64_t offset, unsigned size, uint64_t value, void* user) {
        guarded(user, [&] {
            auto* self = static_cast<Impl*>(user);
            if (!self->bus_ok(self->reg_region(), offset, size, true)) return;
            self->sim->mmio_store(self->sim->context()->reg_base + offset, uint32_t(value));
        });
    }

    // The aux region: the caller maps one word there, read-only for us.
    static uint64_t on_aux_read(uc_engine*, uint64_t offset, unsigned size, void* user) {
        return guarded(user, [&]() -> uint64_t {
            auto* self = static_cast<Impl*>(user);
            if (!self->bus_ok(self->aux_region(), offset, size, false)) return 0;
            if (offset != 0) {
                self->stop("load at " + hex(self->at.aux_block + offset) + " past the aux word");
                return 0;
            }
            return self->sim->mmio_load(Simulator::aux_base);
        });
    }

    static void on_aux_write(uc_engine*, uint64_t offset, unsigned size, uint64_t, void* user) {
        guarded(user, [&] {
            auto* self = static_cast<Impl*>(user);
            if (!self->bus_ok(self->aux_region(), offset, size, true)) return;
            self->stop("store at " + hex(self->at.aux_block + offset) + " to the aux region");
        });
    }

    // x64: the shared user data page, mapped as MMIO so that no memory hook
    // slows every other access. The image reads only InterruptTime
    // (KSYSTEM_TIME: LowPart +8, High1Time +0xc, High2Time +0x10), as the
    // WDK's KeQueryInterruptTime does: one 8-byte load at +8, which the
    // emulator hands over as two 4-byte halves, low first. A read of LowPart
    // is one clock reading, written into the page before the load completes;
    // High1Time and High2Time give the last reading's high half. Anything
    // else in the page is not modelled and stops the run; so does a write.
    static uint64_t on_shared_read(uc_engine*, uint64_t offset, unsigned size, void* user) {
        return guarded(user, [&]() -> uint64_t { return static_cast<Impl*>(user)->shared_read(offset, size); });
    }

    uint64_t shared_read(uint64_t off, unsigned size) {
        if (fault) return 0;
        if (off < interrupt_time_offset || off + size > interrupt_time_offset + 12) {
            stop(std::to_string(size * 8) + "-bit read at " + hex(shared_user_data + off) +
                 " in the shared user data page (offset " + hex(off) +
                 "): the runner models only InterruptTime at offset 8");
            return 0;
        }
        if (off == interrupt_time_offset) {
            const uint64_t t = sim ? sim->interrupt_time() : 0;
            const uint32_t words[3] = {uint32_t(t), uint32_t(t >> 32), uint32_t(t >> 32)};
            std::memcpy(shared.data() + interrupt_time_offset, words, sizeof words);
        }
        uint64_t v = 0;
        std::memcpy(&v, shared.data() + off, std::min<size_t>(size, sizeof v));
        return v;
    }

    static void on_shared_write(uc_engine*, uint64_t offset, unsigned size, uint64_t, void* user) {
        guarded(user, [&] {
            auto* self = static_cast<Impl*>(user);
            if (self->fault) return;
            const uint64_t address = shared_user_data + offset;
            const Attribution a = self->attribute(address, size, true, self->gprs());
            const Insn* in = a.other ? a.other : a.mov;
            uint32_t bytes = size;
            if (in)
                for (const MemRef& r : in->refs)
                    if (r.kind == MemRef::Kind::operand && r.write && r.size > 0) bytes = r.size;
            const uint64_t start = a.other ? a.other_at : a.mov ? a.mov_at : address;
            self->stop("write to read-only memory at " + hex(start) + " (" + std::to_string(bytes) +
                           (bytes == 1 ? " byte)" : " bytes)") + " in the shared user data page",
                       in ? std::optional<uint64_t>(in->address) : std::nullopt);
        });
    }

    // The stack is mapped as device memory backed by `stack`. Unicorn 2.0.1
    // sends every store to ordinary RAM through its code-invalidation path
    // (a search tree allocated and freed per store), four to five times the
    // cost of a callback, and nearly all of a routine's stores go to its
    // stack. Loads, nearly free from RAM, cost a callback here too; still
    // the shipped images run about an eighth faster this way, and the
    // diagnostic ones, which push a line's arguments at every step, a
    // third. The emulator splits an access that is unaligned or wider than
    // 4 bytes into ones the callbacks take, each inside the mapping; the
    // image sees ordinary memory (tests/bus_instruction_test.cpp,
    // StackMemory).
    uint8_t* stack_at(uint64_t offset, unsigned size) {
        const bool inside = offset <= stack.size() && size <= sizeof(uint64_t) && size <= stack.size() - offset;
        return inside ? stack.data() + offset : nullptr;
    }
    // One load of the access's own width (little-endian host, as the
    // image): copying `size` bytes into a wider variable and reading that
    // back stalls the host's store forwarding on every pop and return.
    static uint64_t on_stack_read(uc_engine*, uint64_t offset, unsigned size, void* user) {
        const uint8_t* p = static_cast<Impl*>(user)->stack_at(offset, size);
        if (!p) return 0;
        const auto load = [p]<typename T>(T v) -> uint64_t {
            std::memcpy(&v, p, sizeof v);
            return v;
        };
        switch (size) {
        case 1: return load(uint8_t{});
        case 2: return load(uint16_t{});
        case 4: return load(uint32_t{});
        case 8: return load(uint64_t{});
        default: {
            uint64_t v = 0;
            std::memcpy(&v, p, size);
            return v;
        }
        }
    }
    static void on_stack_write(uc_engine*, uint64_t offset, unsigned size, uint64_t value, void* user) {
        if (uint8_t* p = static_cast<Impl*>(user)->stack_at(offset, size)) std::memcpy(p, &value, size);
    }

    void map_ptr(uint64_t addr, std::vector<uint8_t>& mem, uint32_t perms, const std::string& what) {
        check(uc_mem_map_ptr(uc, addr, mem.size(), perms, mem.data()), "mapping " + what + " at " + hex(addr));
    }

    void setup() {
        check(uc_open(UC_ARCH_X86, x64 ? UC_MODE_64 : UC_MODE_32, &uc),
              x64 ? "opening an x86-64 engine" : "opening a 32-bit x86 engine");
        decoder = std::make_unique<Decoder>(x64);
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
        check(uc_mmio_map(uc, at.stack_bottom(), stack.size(), on_stack_read, this, on_stack_write, this),
              "mapping the stack at " + hex(at.stack_bottom()));
        map_ptr(at.caller_page, caller, UC_PROT_READ | UC_PROT_WRITE, "the caller's record");
        map_ptr(at.thunk_page, thunks, UC_PROT_READ | UC_PROT_EXEC, "the import thunks");
        check(uc_mmio_map(uc, at.reg_block, Simulator::reg_span, on_reg_read, this, on_reg_write, this),
              "mapping the register block");
        check(uc_mmio_map(uc, at.aux_block, page, on_aux_read, this, on_aux_write, this), "mapping the aux region");
        // One hook per translated block, none per instruction and none on
        // ordinary memory: every check of a chip access happens in the MMIO
        // callbacks, where the block's decoded instructions say which one
        // made it.
        uc_hook h;
        check(uc_hook_add(uc, &h, UC_HOOK_BLOCK, reinterpret_cast<void*>(on_block), this, 1, 0), "adding a block hook");
        check(uc_hook_add(uc, &h, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(on_invalid), this, 1, 0),
              "adding a memory hook");
        if (x64) {
            shared.assign(page, 0);
            check(uc_mmio_map(uc, shared_user_data, page, on_shared_read, this, on_shared_write, this),
                  "mapping the shared user data page");
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
            size_t avail = 0;
            const uint8_t* host = host_bytes(a, avail);
            if (!host) {
                why = "unmapped memory (" + region(a) + ")";
                break;
            }
            const size_t piece = std::min(n - done, avail);
            std::memcpy(out + done, host, piece);
            done += piece;
        }
        return done;
    }

    // Where the runner keeps the memory mapped at `a`, and how many bytes
    // from there belong to the same mapping: every region the image can
    // see is one of the runner's own buffers (the x64 shared user data page
    // as the image last read it), so a string is read without the emulator.
    const uint8_t* host_bytes(uint64_t a, size_t& avail) const {
        auto in = [&](uint64_t lo, uint64_t span, const uint8_t* base) -> const uint8_t* {
            if (a < lo || a - lo >= span) return nullptr;
            avail = size_t(span - (a - lo));
            return base + (a - lo);
        };
        for (const Module& m : mods) {
            const LoadedImage& img = m.img;
            if (const uint8_t* p = in(img.base, img.headers_span, img.memory.data())) return p;
            for (const Section& sec : img.sections)
                if (const uint8_t* p = in(img.base + sec.rva, sec.span, img.memory.data() + sec.rva)) return p;
        }
        if (const uint8_t* p = in(at.stack_bottom(), stack.size(), stack.data())) return p;
        if (const uint8_t* p = in(at.caller_page, caller.size(), caller.data())) return p;
        if (const uint8_t* p = in(at.thunk_page, thunks.size(), thunks.data())) return p;
        if (x64)
            if (const uint8_t* p = in(shared_user_data, shared.size(), shared.data())) return p;
        return nullptr;
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
        // Only what the last call wrote needs the fill again.
        std::fill(stack.begin() + std::ptrdiff_t(std::min(stack_written_from, stack.size())), stack.end(), stack_fill);
        stack_written_from = 0;  // a call that does not return whole leaves the whole stack to fill
        sim = target;
        current = name;
        instructions = 0;
        ticks = 0;
        log_bytes = 0;
        deadline = std::chrono::steady_clock::now() + opts.max_wall;
        rerun = false;
        // Inside run() the whole bring-up starts again on a fresh chip; a
        // call on a chip of the caller's keeps the chip's state to start
        // from again (a copy of every register: not for every sweep call).
        std::optional<Simulator::State> start_state;
        if (target && !in_run) start_state = target->state();
        const std::vector<uint8_t> caller_at_start = caller;  // the record and the device as the caller left them
        fault.reset();
        fault_without_message = false;
        const uint64_t sp_after = x64 ? enter_x64(args) : enter_x86(args);

        pc = start;
        uc_err err = uc_emu_start(uc, start, at.sentinel(), 0, 0);
        // An access that the registers could not tie to one verdict: the
        // block that made it is hooked, and the call starts again from the
        // same state, chip and clock included.
        while (rerun && !fault) {
            for (const auto& [lo, hi] : to_watch) {
                uc_hook h;
                check(uc_hook_add(uc, &h, UC_HOOK_CODE, reinterpret_cast<void*>(on_watched), this, lo, hi),
                      "adding a watch hook");
                uc_ctl_remove_cache(uc, lo, hi + 1);
                watch_ranges.emplace_back(lo, hi);
            }
            to_watch.clear();
            rerun = false;
            if (target && in_run) throw RunAgain{};
            if (target) target->restore(*start_state);
            std::copy(caller_at_start.begin(), caller_at_start.end(), caller.begin());
            restore_writable();
            std::fill(stack.begin(), stack.end(), stack_fill);
            instructions = 0;
            ticks = 0;
            log_bytes = 0;
            x64 ? enter_x64(args) : enter_x86(args);
            pc = start;
            err = uc_emu_start(uc, start, at.sentinel(), 0, 0);
        }
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
        const size_t low = first_written(stack);
        stack_written_from = low;
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

struct Region {
    uint64_t lo, hi;
    const char* what;
};

// The pages the runner maps for itself, which neither a module nor the
// register block may cover.
std::array<Region, 5> runner_pages(const Places& at) {
    return {{
        {at.aux_block, at.aux_block + page, "the aux region"},
        {at.thunk_page, at.thunk_page + page, "the runner's import thunks"},
        {at.caller_page, at.caller_page + page, "the runner's page for the caller's record"},
        {at.stack_bottom(), at.stack_top, "the stack the runner gives a call"},
        {shared_user_data, shared_user_data + page, "the shared user data page"},
    }};
}

// "overlaps R (lo to hi)" for the first region [lo, hi) overlaps, those
// given first, then the runner's pages; or "".
std::string overlap(uint64_t lo, uint64_t hi, std::initializer_list<Region> first,
                    const std::array<Region, 5>& runner) {
    const auto named = [](const Region& r) {
        return std::string("overlaps ") + r.what + " (" + hex(r.lo) + " to " + hex(r.hi) + ")";
    };
    for (const Region& r : first)
        if (lo < r.hi && r.lo < hi) return named(r);
    for (const Region& r : runner)
        if (lo < r.hi && r.lo < hi) return named(r);
    return {};
}

// A module's place must leave the runner's own pages, the register block and
// the low 64 KiB free; the refusal names the first region it overlaps.
void check_place(const LoadedImage& img, const Places& at, const std::string& label) {
    const uint64_t end = img.base + img.size;
    const std::string o = overlap(
        img.base, end,
        {{0, 0x10000, "the low 64 KiB"}, {at.reg_block, at.reg_block + Simulator::reg_span, "the register block"}},
        runner_pages(at));
    if (!o.empty()) throw ImageError(label + " at " + hex(img.base) + " to " + hex(end) + " " + o);
}

// The register block must leave the runner's own pages free, as a module
// must: the refusal names what it would cover.
void check_block_place(const Places& at) {
    const uint64_t lo = at.reg_block, hi = at.reg_block + Simulator::reg_span;
    const std::string o = overlap(lo, hi, {}, runner_pages(at));
    if (!o.empty())
        throw ImageError("the register block at " + hex(lo) + " to " + hex(hi) + " " + o + ": map it elsewhere");
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
        check_block_place(s.at);
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
    // An access the registers could not tie to one instruction hooks its
    // block and starts the bring-up again, from DriverEntry on a fresh chip:
    // once per such block, so a few times at most.
    struct InRun {
        bool& flag;
        explicit InRun(bool& f) : flag(f) { flag = true; }
        ~InRun() { flag = false; }
    } in_run(impl_->in_run);
    for (;;) {
        try {
            return run_once(req);
        } catch (const Impl::RunAgain&) {}
    }
}

RunResult ImageRunner::run_once(const RunRequest& req) {
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
