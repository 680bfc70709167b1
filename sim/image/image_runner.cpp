#include "sim/image/image_runner.h"

#include <unicorn/unicorn.h>

#include <cstdio>
#include <cstring>
#include <optional>

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

struct ImageRunner::Impl {
    RunnerOptions opts;
    LoadedImage img;
    std::vector<uint8_t> pristine;  // the image as loaded, to restore its writable pages
    std::vector<uint8_t> stack;
    std::vector<uint8_t> caller;
    std::vector<uint8_t> thunks;
    uint32_t entries[4] = {};
    uint32_t code_lo = 0, code_hi = 0;  // the image's executable range
    uc_engine* uc = nullptr;

    // State of the call in progress.
    Simulator* sim = nullptr;
    Entry current = Entry::driver_entry;
    uint64_t instructions = 0;
    uint32_t pc = 0;  // the instruction being executed
    std::optional<std::string> fault;

    ~Impl() {
        if (uc) uc_close(uc);
    }

    // Where an address lies, for fault messages.
    std::string region(uint64_t addr) const {
        if (const Section* s = img.section_at(uint32_t(addr)); s && addr < 0x100000000ull)
            return "in the image's " + s->name;
        if (addr >= img.base && addr < uint64_t(img.base) + img.headers_span) return "in the image's headers";
        if (addr >= img.base && addr < uint64_t(img.base) + img.size) return "in a gap of the image";
        const uint32_t bottom = stack_top - stack_size;
        if (addr < bottom && addr + 0x10000 >= bottom) return "below the stack (overflow)";
        if (addr < 0x10000) return "near address 0";
        return "outside every region the caller maps";
    }

    void stop(const std::string& what) {
        if (!fault) fault = what + " (instruction at " + hex(pc) + ", in " + entry_name(current) + ")";
        uc_emu_stop(uc);
    }

    static void on_code(uc_engine*, uint64_t address, uint32_t, void* user) {
        auto* self = static_cast<Impl*>(user);
        self->pc = uint32_t(address);
        if (address >= self->code_lo && address < self->code_hi) {
            if (++self->instructions > self->opts.max_instructions)
                self->stop("runaway image: no return after " + std::to_string(self->opts.max_instructions) +
                           " instructions");
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
        self->stop("instruction fetch at " + hex(address) + " " + self->region(address) + ", outside the image's code");
    }

    static bool on_invalid(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t, void* user) {
        auto* self = static_cast<Impl*>(user);
        self->stop(std::string(access_kind(type)) + " at " + hex(address) + " (" + std::to_string(size) +
                   (size == 1 ? " byte) " : " bytes) ") + self->region(address));
        return false;
    }

    // The register block: 32-bit aligned loads and stores only, each one bus
    // event of the simulator.
    bool bus_ok(uint64_t offset, unsigned size, const char* kind, uint64_t base) {
        if (size != 4 || offset % 4 != 0) {
            stop(std::to_string(size * 8) + "-bit " + kind + " at " + hex(base + offset) +
                 " in the register block (only aligned 32-bit accesses reach the chip)");
            return false;
        }
        if (!sim) {
            stop(std::string(kind) + " at " + hex(base + offset) + " in the register block, which " +
                 entry_name(current) + " must not touch");
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
        if (offset != 0) {
            self->stop("load at " + hex(Simulator::aux_base + offset) + " past the aux word");
            return 0;
        }
        if (!self->bus_ok(offset, size, "load", Simulator::aux_base)) return 0;
        return self->sim->mmio_load(Simulator::aux_base);
    }

    static void on_aux_write(uc_engine*, uint64_t offset, unsigned, uint64_t, void* user) {
        static_cast<Impl*>(user)->stop("store at " + hex(Simulator::aux_base + offset) + " to the aux region");
    }

    void map_ptr(uint32_t addr, std::vector<uint8_t>& mem, uint32_t perms, const std::string& what) {
        check(uc_mem_map_ptr(uc, addr, mem.size(), perms, mem.data()), "mapping " + what + " at " + hex(addr));
    }

    void setup() {
        check(uc_open(UC_ARCH_X86, UC_MODE_32, &uc), "opening a 32-bit x86 engine");
        // Headers read-only, each section with its own protection.
        check(uc_mem_map_ptr(uc, img.base, img.headers_span, UC_PROT_READ, img.memory.data()),
              "mapping the image headers");
        for (const Section& s : img.sections) {
            check(uc_mem_map_ptr(uc, uint64_t(img.base) + s.rva, s.span, s.protection, img.memory.data() + s.rva),
                  "mapping section " + s.name);
            if (s.protection & prot_exec) {
                if (code_hi == 0 || img.base + s.rva < code_lo) code_lo = img.base + s.rva;
                if (img.base + s.rva + s.span > code_hi) code_hi = img.base + s.rva + s.span;
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
    }

    void restore_writable() {
        for (const Section& s : img.sections)
            if (s.protection & prot_write)
                std::memcpy(img.memory.data() + s.rva, pristine.data() + s.rva, s.span);
    }

    void write_word(uint32_t addr, uint32_t v) {
        check(uc_mem_write(uc, addr, &v, 4), "writing the caller's memory at " + hex(addr));
    }

    CallOutcome call(Entry e, const std::vector<uint32_t>& args, Simulator* target) {
        restore_writable();
        std::fill(stack.begin(), stack.end(), stack_fill);
        sim = target;
        current = e;
        instructions = 0;
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

        const uint32_t start = entries[static_cast<int>(e)];
        pc = start;
        const uc_err err = uc_emu_start(uc, start, sentinel, 0, 0);
        sim = nullptr;
        if (fault) throw ImageError(*fault);
        if (err != UC_ERR_OK)
            throw ImageError(std::string("emulator stopped in ") + entry_name(e) + ": " + uc_strerror(err) +
                             " (instruction at " + hex(pc) + ")");
        uint32_t eip = 0, esp_after = 0, eax = 0;
        uc_reg_read(uc, UC_X86_REG_EIP, &eip);
        uc_reg_read(uc, UC_X86_REG_ESP, &esp_after);
        uc_reg_read(uc, UC_X86_REG_EAX, &eax);
        if (eip != sentinel)
            throw ImageError(std::string(entry_name(e)) + " stopped at " + hex(eip) + " without returning");
        if (esp_after != stack_top)
            throw ImageError(std::string(entry_name(e)) + " returned with ESP " + hex(esp_after) + ", expected " +
                             hex(stack_top) + ": it must pop its " + std::to_string(4 * args.size()) +
                             " argument bytes (__stdcall)");
        for (size_t i = 0; i < 4; ++i) {
            uint32_t v = 0;
            uc_reg_read(uc, saved_regs[i], &v);
            if (v != saved_values[i])
                throw ImageError(std::string(entry_name(e)) + " returned with " + saved_names[i] + " changed (" +
                                 hex(saved_values[i]) + " -> " + hex(v) + "); it must preserve it");
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

ImageRunner::ImageRunner(const std::vector<uint8_t>& file, const RunnerOptions& opts) : impl_(new Impl) {
    Impl& s = *impl_;
    s.opts = opts;
    s.img = load_image(file, opts.image_base);
    const uint64_t end = uint64_t(s.img.base) + s.img.size;
    auto overlaps = [&](uint64_t lo, uint64_t hi) { return s.img.base < hi && lo < end; };
    if (overlaps(thunk_page, thunk_page + page) || overlaps(caller_page, caller_page + page) ||
        overlaps(stack_top - stack_size, stack_top) ||
        overlaps(Simulator::reg_base, Simulator::reg_base + Simulator::reg_span) ||
        overlaps(Simulator::aux_base, Simulator::aux_base + page) || s.img.base < 0x10000)
        throw ImageError("image base " + hex(s.img.base) + " overlaps the stack, the record, the import thunks, "
                         "the register block or the low 64 KiB");
    bind_imports(s.img, [](const std::string& module, const std::string& name) -> uint32_t {
        return module == "ntoskrnl.exe" && name == "KeQueryInterruptTime" ? ke_query_interrupt_time : 0;
    });
    s.entries[int(Entry::driver_entry)] = s.img.base + s.img.entry_rva;
    for (Entry e : {Entry::dll_initialize, Entry::tov_mem_init, Entry::dll_unload})
        s.entries[int(e)] = s.img.export_address(entry_name(e));
    for (uint32_t a : s.entries) {
        const Section* sec = s.img.section_at(a);
        if (!sec || !(sec->protection & prot_exec)) throw ImageError("entry point " + hex(a) + " is not in a code section");
    }
    s.pristine = s.img.memory;
    s.setup();
}

ImageRunner::~ImageRunner() = default;

const LoadedImage& ImageRunner::image() const { return impl_->img; }

CallOutcome ImageRunner::call(Entry e, const std::vector<uint32_t>& args, Simulator* sim) {
    return impl_->call(e, args, sim);
}

RunResult ImageRunner::run(const RunRequest& req) {
    for (auto [e, args] : {std::pair{Entry::driver_entry, std::vector<uint32_t>{0, 0}},
                           std::pair{Entry::dll_initialize, std::vector<uint32_t>{0}}}) {
        const CallOutcome o = call(e, args);
        if (o.ret != 0) throw ImageError(std::string(entry_name(e)) + " returned " + hex(uint32_t(o.ret)) + ", not 0");
    }

    Simulator sim(req.chip, req.clock);
    // The caller's register context and record, as 32-bit words.
    impl_->write_word(context_addr, Simulator::reg_base);
    impl_->write_word(context_addr + 4, req.no_aux ? 0 : Simulator::aux_base);
    uint32_t fields[record_words];
    record_to_words(initial_record(req.config_id, req.clock_index, req.power_mode), fields);
    impl_->write_word(record_addr, context_addr);
    check(uc_mem_write(impl_->uc, record_addr + 4, fields, sizeof fields), "writing the record");

    RunResult r;
    r.start_time = sim.clock().now();
    const CallOutcome o = call(Entry::tov_mem_init, {record_addr}, &sim);
    r.end_time = sim.clock().now();
    r.ret = o.ret;
    r.from_image = true;
    r.image = o.stats;

    uint32_t ctx = 0;
    check(uc_mem_read(impl_->uc, record_addr, &ctx, 4), "reading the record");
    check(uc_mem_read(impl_->uc, record_addr + 4, fields, sizeof fields), "reading the record");
    if (ctx != context_addr) throw ImageError("tov_mem_init overwrote the record's reg_ctx");
    r.record = record_from_words(fields);
    r.events = sim.events();
    r.commands = sim.chip().commands_started();

    const CallOutcome u = call(Entry::dll_unload, {});
    if (u.ret != 0) throw ImageError(std::string("DllUnload returned ") + hex(uint32_t(u.ret)) + ", not 0");
    return r;
}

}  // namespace tov::sim::image
