#include "sim/image/image_runner.h"

#include <unicorn/unicorn.h>

#include "examples/capture_driver/capture.h"
#include "sim/printable.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <tuple>

namespace tov::sim::image {
namespace {

constexpr uint32_t page = 0x1000;
// Our side of the import and the return address of every call: a `ret` for
// KeQueryInterruptTime (no arguments, result in EDX:EAX) and a `hlt` that is
// never executed, since emulation stops on reaching it.
constexpr uint32_t thunk_page = 0x80d00000;
constexpr uint32_t ke_query_interrupt_time = thunk_page;
constexpr uint32_t sentinel = thunk_page + 0x10;
constexpr uint8_t stack_fill = 0xa7;
// Callee-saved registers of the x86 calling conventions, and the values the
// caller leaves in them to see that they come back unchanged.
constexpr uc_x86_reg saved_regs[] = {UC_X86_REG_EBX, UC_X86_REG_ESI, UC_X86_REG_EDI, UC_X86_REG_EBP};
constexpr const char* saved_names[] = {"EBX", "ESI", "EDI", "EBP"};
constexpr uint32_t saved_values[] = {0x0b0b0b0b, 0x51515151, 0xd1d1d1d1, 0xbeb0beb0};

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
// single 32-bit moves only; anything else is refused whatever its size.
const char* unusual_instruction(const uint8_t* code, size_t n) {
    size_t i = 0;
    auto prefix = [](uint8_t b) {
        return b == 0xf0 || b == 0xf2 || b == 0xf3 || b == 0x2e || b == 0x36 || b == 0x3e || b == 0x26 || b == 0x64 ||
               b == 0x65 || b == 0x66 || b == 0x67;
    };
    while (i < n && prefix(code[i])) ++i;
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
    std::vector<Module> mods;
    std::vector<uint8_t> stack;
    std::vector<uint8_t> caller;
    std::vector<uint8_t> thunks;
    uint32_t entries[4] = {};
    uint32_t caller_entry = 0, caller_start = 0;      // the capture driver's DriverEntry and start routine
    std::vector<std::pair<uint32_t, uint32_t>> code;  // executable ranges of every module
    uc_engine* uc = nullptr;

    // State of the call in progress.
    Simulator* sim = nullptr;
    std::string current;  // the function called
    uint64_t instructions = 0;
    std::chrono::steady_clock::time_point deadline;  // of the wall-time bound
    uint32_t pc = 0;                                 // the instruction being executed
    std::optional<std::string> fault;

    ~Impl() {
        if (uc) uc_close(uc);
    }

    const LoadedImage& img() const { return mods.front().img; }

    // Where an address lies, for fault messages.
    std::string region(uint64_t addr) const {
        for (const Module& m : mods) {
            const LoadedImage& i = m.img;
            const std::string whose = mods.size() == 1 ? "the image's" : m.label + "'s";
            if (const Section* s = i.section_at(uint32_t(addr)); s && addr < 0x100000000ull)
                return "in " + whose + " " + s->name;
            if (addr >= i.base && addr < uint64_t(i.base) + i.headers_span) return "in " + whose + " headers";
            if (addr >= i.base && addr < uint64_t(i.base) + i.size)
                return "in a gap of " + (mods.size() == 1 ? std::string("the image") : m.label);
        }
        const uint32_t bottom = stack_top - stack_size;
        if (addr < bottom && addr + 0x10000 >= bottom) return "below the stack (overflow)";
        if (addr < 0x10000) return "near address 0";
        return "outside every region the caller maps";
    }

    void stop(const std::string& what) {
        if (!fault) fault = what + " (instruction at " + hex(pc) + ", in " + current + ")";
        uc_emu_stop(uc);
    }

    bool in_code(uint64_t address) const {
        for (auto [lo, hi] : code)
            if (address >= lo && address < hi) return true;
        return false;
    }

    static void on_code(uc_engine*, uint64_t address, uint32_t, void* user) {
        auto* self = static_cast<Impl*>(user);
        self->pc = uint32_t(address);
        if (self->in_code(address)) {
            if (++self->instructions > self->opts.max_instructions)
                self->stop("runaway image: no return after " + std::to_string(self->opts.max_instructions) +
                           " instructions");
            // The clock is read every 64 Ki instructions (some milliseconds).
            else if (self->instructions % 0x10000 == 0 && std::chrono::steady_clock::now() > self->deadline)
                self->stop("runaway image: no return after " + std::to_string(self->opts.max_wall.count()) +
                           " ms of wall time (" + std::to_string(self->instructions) + " instructions)");
            return;
        }
        if (address == ke_query_interrupt_time) {
            const uint64_t t = self->sim ? self->sim->interrupt_time() : 0;
            const uint32_t lo = uint32_t(t), hi = uint32_t(t >> 32);
            uc_reg_write(self->uc, UC_X86_REG_EAX, &lo);
            uc_reg_write(self->uc, UC_X86_REG_EDX, &hi);
            return;
        }
        if (address == sentinel) return;
        self->stop("instruction fetch at " + hex(address) + " " + self->region(address) + ", outside " +
                   (self->mods.size() == 1 ? "the image's code" : "the images' code"));
    }

    static bool on_invalid(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t, void* user) {
        auto* self = static_cast<Impl*>(user);
        self->stop(std::string(access_kind(type)) + " at " + hex(address) + " (" + std::to_string(size) +
                   (size == 1 ? " byte) " : " bytes) ") + self->region(address));
        return false;
    }

    // Every access that touches the register block or the aux page, as the
    // instruction made it: the emulator splits an unaligned or wide access
    // into aligned words before the MMIO callbacks below see them. Only one
    // aligned 32-bit load or store by a plain instruction reaches the chip.
    static void on_mem(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t, void* user) {
        auto* self = static_cast<Impl*>(user);
        const char* kind = type == UC_MEM_WRITE ? "store" : "load";
        const uint64_t end = address + uint64_t(size);
        for (const auto& [lo, span, what] :
             {std::tuple{uint64_t(Simulator::reg_base), uint64_t(Simulator::reg_span), "the register block"},
              std::tuple{uint64_t(Simulator::aux_base), uint64_t(page), "the aux region"}}) {
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
                if (const char* unusual = unusual_instruction(code, n))
                    self->stop(std::string(kind) + at + " by a " + unusual + bus_rule);
            }
        }
    }

    static constexpr const char* bus_rule = " (only aligned 32-bit loads and stores reach the chip)";

    // The register block: 32-bit aligned loads and stores only, each one bus
    // event of the simulator.
    bool bus_ok(uint64_t offset, unsigned size, const char* kind, uint64_t base) {
        if (fault) return false;  // refused by on_mem: no bus event
        if (size != 4 || offset % 4 != 0) {
            stop(std::to_string(size * 8) + "-bit " + kind + " at " + hex(base + offset) +
                 " in the register block (only aligned 32-bit accesses reach the chip)");
            return false;
        }
        if (!sim) {
            stop(std::string(kind) + " at " + hex(base + offset) + " in the register block, which " + current +
                 " must not touch");
            return false;
        }
        return true;
    }

    static uint64_t on_reg_read(uc_engine*, uint64_t offset, unsigned size, void* user) {
        auto* self = static_cast<Impl*>(user);
        if (!self->bus_ok(offset, size, "load", Simulator::reg_base)) return 0;
        return self->sim->mmio_load(Simulator::reg_base + offset);
    }

    static void on_reg_write(uc_engine*, uint64_t offset, unsigned size, uint64_t value, void* user) {
        auto* self = static_cast<Impl*>(user);
        if (!self->bus_ok(offset, size, "store", Simulator::reg_base)) return;
        self->sim->mmio_store(Simulator::reg_base + offset, uint32_t(value));
    }

    // The aux region: the caller maps one word there, read-only for us.
    static uint64_t on_aux_read(uc_engine*, uint64_t offset, unsigned size, void* user) {
        auto* self = static_cast<Impl*>(user);
        if (self->fault) return 0;
        if (offset != 0) {
            self->stop("load at " + hex(Simulator::aux_base + offset) + " past the aux word");
            return 0;
        }
        if (!self->bus_ok(offset, size, "load", Simulator::aux_base)) return 0;
        return self->sim->mmio_load(Simulator::aux_base);
    }

    static void on_aux_write(uc_engine*, uint64_t offset, unsigned, uint64_t, void* user) {
        if (static_cast<Impl*>(user)->fault) return;
        static_cast<Impl*>(user)->stop("store at " + hex(Simulator::aux_base + offset) + " to the aux region");
    }

    void map_ptr(uint32_t addr, std::vector<uint8_t>& mem, uint32_t perms, const std::string& what) {
        check(uc_mem_map_ptr(uc, addr, mem.size(), perms, mem.data()), "mapping " + what + " at " + hex(addr));
    }

    void setup() {
        check(uc_open(UC_ARCH_X86, UC_MODE_32, &uc), "opening a 32-bit x86 engine");
        // Headers read-only, each section with its own protection.
        for (Module& m : mods) {
            LoadedImage& img = m.img;
            check(uc_mem_map_ptr(uc, img.base, img.headers_span, UC_PROT_READ, img.memory.data()),
                  "mapping the " + m.label + " headers");
            for (const Section& s : img.sections) {
                check(uc_mem_map_ptr(uc, uint64_t(img.base) + s.rva, s.span, s.protection, img.memory.data() + s.rva),
                      "mapping section " + s.name + " of " + m.label);
                if (s.protection & prot_exec) code.emplace_back(img.base + s.rva, img.base + s.rva + s.span);
            }
        }
        stack.assign(stack_size, stack_fill);
        caller.assign(page, 0);
        thunks.assign(page, 0xcc);
        thunks[ke_query_interrupt_time - thunk_page] = 0xc3;  // ret
        thunks[sentinel - thunk_page] = 0xf4;                 // hlt
        map_ptr(stack_top - stack_size, stack, UC_PROT_READ | UC_PROT_WRITE, "the stack");
        map_ptr(caller_page, caller, UC_PROT_READ | UC_PROT_WRITE, "the caller's record");
        map_ptr(thunk_page, thunks, UC_PROT_READ | UC_PROT_EXEC, "the import thunks");
        check(uc_mmio_map(uc, Simulator::reg_base, Simulator::reg_span, on_reg_read, this, on_reg_write, this),
              "mapping the register block");
        check(uc_mmio_map(uc, Simulator::aux_base, page, on_aux_read, this, on_aux_write, this),
              "mapping the aux region");
        uc_hook h;
        check(uc_hook_add(uc, &h, UC_HOOK_CODE, reinterpret_cast<void*>(on_code), this, 1, 0), "adding a code hook");
        check(uc_hook_add(uc, &h, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(on_invalid), this, 1, 0),
              "adding a memory hook");
        // From a word below each region, to see an access that runs into it.
        for (const auto& [lo, span] : {std::pair{uint64_t(Simulator::reg_base), uint64_t(Simulator::reg_span)},
                                       std::pair{uint64_t(Simulator::aux_base), uint64_t(page)}})
            check(uc_hook_add(uc, &h, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE, reinterpret_cast<void*>(on_mem), this,
                              lo - 8, lo + span - 1),
                  "adding a register block hook");
    }

    void restore_writable() {
        for (Module& m : mods)
            for (const Section& s : m.img.sections)
                if (s.protection & prot_write)
                    std::memcpy(m.img.memory.data() + s.rva, m.pristine.data() + s.rva, s.span);
    }

    void write_word(uint32_t addr, uint32_t v) {
        check(uc_mem_write(uc, addr, &v, 4), "writing the caller's memory at " + hex(addr));
    }

    uint32_t read_word(uint32_t addr) {
        uint32_t v = 0;
        check(uc_mem_read(uc, addr, &v, 4), "reading the caller's memory at " + hex(addr));
        return v;
    }

    CallOutcome call(Entry e, const std::vector<uint32_t>& args, Simulator* target) {
        return call_at(entries[static_cast<int>(e)], entry_name(e), args, target);
    }

    // `name` at `start` called with `args` (__stdcall) on a fresh stack.
    CallOutcome call_at(uint32_t start, const std::string& name, const std::vector<uint32_t>& args, Simulator* target) {
        restore_writable();
        std::fill(stack.begin(), stack.end(), stack_fill);
        sim = target;
        current = name;
        instructions = 0;
        deadline = std::chrono::steady_clock::now() + opts.max_wall;
        fault.reset();
        uint32_t esp = stack_top;
        for (auto it = args.rbegin(); it != args.rend(); ++it) {
            esp -= 4;
            write_word(esp, *it);
        }
        esp -= 4;
        write_word(esp, sentinel);
        const uint32_t eflags = 0x202;  // IF set, DF clear, as the kernel calls
        uint32_t zero = 0;
        check(uc_reg_write(uc, UC_X86_REG_ESP, &esp), "setting ESP");
        check(uc_reg_write(uc, UC_X86_REG_EFLAGS, &eflags), "setting EFLAGS");
        for (auto r : {UC_X86_REG_EAX, UC_X86_REG_ECX, UC_X86_REG_EDX}) uc_reg_write(uc, r, &zero);
        for (size_t i = 0; i < 4; ++i) uc_reg_write(uc, saved_regs[i], &saved_values[i]);

        pc = start;
        const uc_err err = uc_emu_start(uc, start, sentinel, 0, 0);
        sim = nullptr;
        if (fault) throw ImageError(*fault);
        if (err != UC_ERR_OK)
            throw ImageError("emulator stopped in " + name + ": " + uc_strerror(err) + " (instruction at " + hex(pc) +
                             ")");
        uint32_t eip = 0, esp_after = 0, eax = 0;
        uc_reg_read(uc, UC_X86_REG_EIP, &eip);
        uc_reg_read(uc, UC_X86_REG_ESP, &esp_after);
        uc_reg_read(uc, UC_X86_REG_EAX, &eax);
        if (eip != sentinel) throw ImageError(name + " stopped at " + hex(eip) + " without returning");
        if (esp_after != stack_top)
            throw ImageError(name + " returned with ESP " + hex(esp_after) + ", expected " + hex(stack_top) +
                             ": it must pop its " + std::to_string(4 * args.size()) + " argument bytes (__stdcall)");
        for (size_t i = 0; i < 4; ++i) {
            uint32_t v = 0;
            uc_reg_read(uc, saved_regs[i], &v);
            if (v != saved_values[i])
                throw ImageError(name + " returned with " + saved_names[i] + " changed (" + hex(saved_values[i]) +
                                 " -> " + hex(v) + "); it must preserve it");
        }
        CallOutcome out;
        out.ret = static_cast<int32_t>(eax);
        out.stats.instructions = instructions;
        size_t low = 0;
        while (low < stack.size() && stack[low] == stack_fill) ++low;
        out.stats.stack_bytes = uint32_t(stack.size() - low);
        return out;
    }
};

namespace {

// A module's place must leave the runner's own pages, the register block and
// the low 64 KiB free; the refusal names the first region it overlaps.
void check_place(const LoadedImage& img, const std::string& label) {
    const uint64_t end = uint64_t(img.base) + img.size;
    const std::tuple<uint64_t, uint64_t, const char*> regions[] = {
        {0, 0x10000, "the low 64 KiB"},
        {Simulator::reg_base, Simulator::reg_base + Simulator::reg_span, "the register block"},
        {Simulator::aux_base, Simulator::aux_base + page, "the aux region"},
        {thunk_page, thunk_page + page, "the import thunks"},
        {ImageRunner::caller_page, ImageRunner::caller_page + page, "the record"},
        {ImageRunner::stack_top - ImageRunner::stack_size, ImageRunner::stack_top, "the stack"},
    };
    for (const auto& [lo, hi, what] : regions)
        if (img.base < hi && lo < end)
            throw ImageError(label + " at " + hex(img.base) + " to " + hex(end) + " overlaps " + what + " (" + hex(lo) +
                             " to " + hex(hi) + ")");
}

uint32_t code_address(const LoadedImage& img, uint32_t a, const std::string& what) {
    const Section* sec = img.section_at(a);
    if (!sec || !(sec->protection & prot_exec)) throw ImageError(what + " " + hex(a) + " is not in a code section");
    return a;
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
    s.mods.push_back({"tovmem.sys", load_image(file, opts.image_base), {}});
    check_place(s.mods[0].img, "image");
    if (caller) {
        // A capture driver is a driver, not a DLL: it only exports what the
        // runner calls. An empty file is no more a driver than any other.
        try {
            LoadedImage c = load_image(*caller, opts.caller_base, /*dll=*/false);
            check_place(c, "caller");
            const LoadedImage& t = s.mods[0].img;
            if (c.base < uint64_t(t.base) + t.size && t.base < uint64_t(c.base) + c.size)
                throw ImageError("caller base " + hex(c.base) + " overlaps the image at " + hex(t.base));
            s.mods.push_back({"capture.sys", std::move(c), {}});
        } catch (const CallerError&) {
            throw;
        } catch (const ImageError& e) {
            throw CallerError(e.what());
        }
    }

    // Imports: by name from the images loaded here, then the kernel's one
    // service. The tovmem image itself may import only the kernel service.
    for (size_t k = 0; k < s.mods.size(); ++k) {
        Module& m = s.mods[k];
        bind_imports(m.img, [&](const std::string& module, const std::string& name) -> uint32_t {
            const std::string what = m.label + " imports " + printable(module) + "!" + printable(name);
            for (size_t j = 0; j < s.mods.size(); ++j) {
                const LoadedImage& other = s.mods[j].img;
                if (j == k || other.name != module) continue;
                const auto it = other.exports.find(name);
                if (it == other.exports.end())
                    throw ImageError(what + ", which " + printable(module) + " does not export");
                return other.base + it->second;
            }
            if (module == "ntoskrnl.exe" && name == "KeQueryInterruptTime") return ke_query_interrupt_time;
            throw ImageError(what + ", which the kernel runner does not provide (no loaded image is " +
                             printable(module) + "; of the kernel only ntoskrnl.exe!KeQueryInterruptTime)");
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

const LoadedImage& ImageRunner::caller_image() const {
    if (!has_caller()) throw ImageError("no capture driver is loaded");
    return impl_->mods[1].img;
}

CallOutcome ImageRunner::call(Entry e, const std::vector<uint32_t>& args, Simulator* sim) {
    return impl_->call(e, args, sim);
}

RunResult ImageRunner::run(const RunRequest& req) {
    Impl& s = *impl_;
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

    Simulator sim(req.chip, req.clock);
    // The caller's register context and record, as 32-bit words: the
    // record's other fields hold fill words, so that a field written by
    // mistake shows.
    uint32_t fields[record_words];
    record_to_words(initial_record(req.config_id, req.clock_index, req.power_mode), fields);
    const uint32_t aux = req.no_aux ? 0 : Simulator::aux_base;
    uint32_t record = record_addr, context = context_addr;
    if (has_caller()) {
        // The capture driver's device: mapped registers and board values
        // filled by its start path; the record inside it is the device's own.
        record = device_addr + CAPTURE_DEVICE_MEM;
        context = device_addr + CAPTURE_DEVICE_REGS;
        s.write_word(device_addr + CAPTURE_DEVICE_CONFIG_ID, req.config_id);
        s.write_word(device_addr + CAPTURE_DEVICE_CLOCK, req.clock_index);
        s.write_word(device_addr + CAPTURE_DEVICE_POWER_MODE, req.power_mode);
        s.write_word(device_addr + CAPTURE_DEVICE_RESULT, fill_word);
        s.write_word(device_addr + CAPTURE_DEVICE_STATUS, fill_word);
        s.write_word(record, fill_word);
    } else {
        s.write_word(record, context);
    }
    s.write_word(context, Simulator::reg_base);
    s.write_word(context + 4, aux);
    check(uc_mem_write(s.uc, record + 4, fields, sizeof fields), "writing the record");

    RunResult r;
    r.start_time = sim.clock().now();
    const CallOutcome o = has_caller() ? s.call_at(s.caller_start, "capture_start_memory", {device_addr}, &sim)
                                       : call(Entry::tov_mem_init, {record_addr}, &sim);
    r.end_time = sim.clock().now();
    r.from_image = true;
    r.image = o.stats;
    r.ret = o.ret;
    if (has_caller()) {
        r.ret = static_cast<int32_t>(s.read_word(device_addr + CAPTURE_DEVICE_RESULT));
        r.image.through_caller = true;
        r.image.caller_status = s.read_word(device_addr + CAPTURE_DEVICE_STATUS);
        if (r.image.caller_status != uint32_t(o.ret))
            throw ImageError("capture_start_memory returned " + hex(uint32_t(o.ret)) + " but recorded status " +
                             hex(r.image.caller_status));
    }

    check(uc_mem_read(s.uc, record + 4, fields, sizeof fields), "reading the record");
    if (s.read_word(record) != context)
        throw ImageError("the record's reg_ctx does not point at the register context after the call");
    r.record = record_from_words(fields);
    r.events = sim.events();
    r.commands = sim.chip().commands_started();

    must_return_zero(call(Entry::dll_unload, {}), "DllUnload");
    return r;
}

}  // namespace tov::sim::image
