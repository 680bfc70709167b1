// SPDX-License-Identifier: Apache-2.0
#include "sim/image/insn.h"

#include <capstone/capstone.h>

#include <stdexcept>

namespace tov::sim::image {
namespace {

struct GprName {
    x86_reg reg;
    int8_t index;
    uint8_t bits;
};
// Every spelling of a general register that an address can use.
constexpr GprName gpr_names[] = {
    {X86_REG_RAX, 0, 64},   {X86_REG_RCX, 1, 64},   {X86_REG_RDX, 2, 64},   {X86_REG_RBX, 3, 64},
    {X86_REG_RSP, 4, 64},   {X86_REG_RBP, 5, 64},   {X86_REG_RSI, 6, 64},   {X86_REG_RDI, 7, 64},
    {X86_REG_R8, 8, 64},    {X86_REG_R9, 9, 64},    {X86_REG_R10, 10, 64},  {X86_REG_R11, 11, 64},
    {X86_REG_R12, 12, 64},  {X86_REG_R13, 13, 64},  {X86_REG_R14, 14, 64},  {X86_REG_R15, 15, 64},
    {X86_REG_EAX, 0, 32},   {X86_REG_ECX, 1, 32},   {X86_REG_EDX, 2, 32},   {X86_REG_EBX, 3, 32},
    {X86_REG_ESP, 4, 32},   {X86_REG_EBP, 5, 32},   {X86_REG_ESI, 6, 32},   {X86_REG_EDI, 7, 32},
    {X86_REG_R8D, 8, 32},   {X86_REG_R9D, 9, 32},   {X86_REG_R10D, 10, 32}, {X86_REG_R11D, 11, 32},
    {X86_REG_R12D, 12, 32}, {X86_REG_R13D, 13, 32}, {X86_REG_R14D, 14, 32}, {X86_REG_R15D, 15, 32},
    {X86_REG_AX, 0, 16},    {X86_REG_CX, 1, 16},    {X86_REG_DX, 2, 16},    {X86_REG_BX, 3, 16},
    {X86_REG_SP, 4, 16},    {X86_REG_BP, 5, 16},    {X86_REG_SI, 6, 16},    {X86_REG_DI, 7, 16},
};

const GprName* gpr(unsigned reg) {
    for (const GprName& g : gpr_names)
        if (unsigned(g.reg) == reg) return &g;
    return nullptr;
}

bool is_stack_pointer(unsigned reg) { return reg == X86_REG_RSP || reg == X86_REG_ESP || reg == X86_REG_SP; }

// A 32-bit general register: what a plain 32-bit move carries.
bool gpr32(unsigned reg) {
    const GprName* g = gpr(reg);
    return g && g->bits == 32;
}

bool flat_segment(unsigned seg) {
    return seg == X86_REG_INVALID || seg == X86_REG_DS || seg == X86_REG_SS || seg == X86_REG_ES || seg == X86_REG_CS;
}

uint64_t mask(unsigned bits) { return bits >= 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1; }

// Instructions whose memory operand is an address, not an access.
bool touches_no_memory(unsigned id) {
    switch (id) {
    case X86_INS_LEA:
    case X86_INS_NOP:
    case X86_INS_PREFETCH:
    case X86_INS_PREFETCHNTA:
    case X86_INS_PREFETCHT0:
    case X86_INS_PREFETCHT1:
    case X86_INS_PREFETCHT2:
    case X86_INS_PREFETCHW: return true;
    default: return false;
    }
}

// Instructions that move the stack pointer and touch the stack without
// the disassembler listing the stack pointer among their registers (its
// tables leave it out for these): enter's push of the frame pointer, the
// far returns and interrupt returns' pops, a segment register's push or
// pop, and an interrupt's frame.
bool stack_unlisted(unsigned id) {
    switch (id) {
    case X86_INS_ENTER:
    case X86_INS_PUSH:
    case X86_INS_POP:
    case X86_INS_RETF:
    case X86_INS_RETFQ:
    case X86_INS_IRET:
    case X86_INS_IRETD:
    case X86_INS_IRETQ:
    case X86_INS_INT:
    case X86_INS_INT1:
    case X86_INS_INT3:
    case X86_INS_INTO: return true;
    default: return false;
    }
}

// Bit-string instructions with the bit offset in a register reach any
// byte from their operand on.
bool bit_string(unsigned id) { return id == X86_INS_BT || id == X86_INS_BTS || id == X86_INS_BTR || id == X86_INS_BTC; }

Insn describe(const cs_insn& ci, bool x64) {
    Insn in;
    in.address = ci.address;
    in.length = uint8_t(ci.size);
    in.text = ci.mnemonic;
    if (ci.op_str[0]) {
        in.text += ' ';
        in.text += ci.op_str;
    }
    const cs_x86& x = ci.detail->x86;
    const unsigned addr_bits = x.addr_size ? x.addr_size * 8u : (x64 ? 64u : 32u);
    bool register_bit_offset = false;
    for (uint8_t i = 0; i < x.op_count; ++i)
        if (x.operands[i].type == X86_OP_REG) register_bit_offset = true;
    int mem_ops = 0, other_ok = 0;
    bool mem32 = false, flat = true;
    if (!touches_no_memory(ci.id)) {
        for (uint8_t i = 0; i < x.op_count; ++i) {
            const cs_x86_op& op = x.operands[i];
            if (op.type != X86_OP_MEM) {
                if ((op.type == X86_OP_REG && gpr32(op.reg)) || op.type == X86_OP_IMM) ++other_ok;
                continue;
            }
            ++mem_ops;
            mem32 = op.size == 4;
            MemRef r;
            r.size = op.size;
            r.addr_bits = uint8_t(addr_bits);
            r.read = (op.access & CS_AC_READ) != 0;
            r.write = (op.access & CS_AC_WRITE) != 0;
            r.disp = op.mem.disp;
            r.scale = uint8_t(op.mem.scale > 0 ? op.mem.scale : 1);
            flat = flat && flat_segment(op.mem.segment);
            bool modelled = flat_segment(op.mem.segment) && op.size > 0 && !(bit_string(ci.id) && register_bit_offset);
            if (op.mem.base == X86_REG_RIP || op.mem.base == X86_REG_EIP) {
                r.disp = int64_t(ci.address + ci.size) + op.mem.disp;
            } else if (op.mem.base != X86_REG_INVALID) {
                const GprName* g = gpr(op.mem.base);
                if (g) {
                    r.base = g->index;
                    r.base_bits = g->bits;
                } else {
                    modelled = false;
                }
            }
            if (op.mem.index != X86_REG_INVALID) {
                const GprName* g = gpr(op.mem.index);
                if (g) {
                    r.index = g->index;
                    r.index_bits = g->bits;
                } else {
                    modelled = false;  // a vector index (gather, scatter)
                }
            }
            if (!modelled) r.kind = MemRef::Kind::anywhere;
            in.refs.push_back(r);
        }
    }
    // What Capstone does not list as an operand: the stack of push, pop,
    // call, ret, enter, leave, pushf and the like (an instruction that reads
    // or moves the stack pointer implicitly; an explicit operand on it, as
    // in mov [esp+4], eax, is an operand like any other); leave's load at
    // EBP; xlat's table; the implicit destination of maskmov.
    bool implicit_stack = stack_unlisted(ci.id);
    for (uint8_t i = 0; i < ci.detail->regs_read_count; ++i)
        if (is_stack_pointer(ci.detail->regs_read[i])) implicit_stack = true;
    for (uint8_t i = 0; i < ci.detail->regs_write_count; ++i)
        if (is_stack_pointer(ci.detail->regs_write[i])) implicit_stack = true;
    if (implicit_stack) {
        MemRef r;
        r.kind = MemRef::Kind::stack;
        r.read = r.write = true;
        r.size = uint32_t(2 * stack_reach);
        in.refs.push_back(r);
    }
    // Loads at the frame pointer that no operand names: leave's pop of the
    // saved frame pointer, and enter's copies of the enclosing frames'
    // pointers from below it (at a nesting level above one, before it
    // pushes them).
    const uint32_t word = x64 ? 8 : 4;
    const auto frame_load = [&](int64_t disp, uint32_t size) {
        MemRef r;
        r.base = gpr_bp;
        r.base_bits = x64 ? 64 : 32;
        r.addr_bits = uint8_t(addr_bits);
        r.disp = disp;
        r.size = size;
        r.read = true;
        in.refs.push_back(r);
    };
    if (ci.id == X86_INS_LEAVE) frame_load(0, word);
    if (ci.id == X86_INS_ENTER && x.op_count == 2 && x.operands[1].type == X86_OP_IMM && (x.operands[1].imm & 31) > 1) {
        const uint32_t copied = uint32_t((x.operands[1].imm & 31) - 1) * word;
        frame_load(-int64_t(copied), copied);
    }
    if (ci.id == X86_INS_XLATB || ci.id == X86_INS_MASKMOVQ || ci.id == X86_INS_MASKMOVDQU ||
        ci.id == X86_INS_VMASKMOVDQU) {
        MemRef r;
        r.kind = MemRef::Kind::anywhere;
        r.read = ci.id == X86_INS_XLATB;
        r.write = !r.read;
        in.refs.push_back(r);
    }
    in.plain_mov32 = (ci.id == X86_INS_MOV || ci.id == X86_INS_MOVABS) && x.op_count == 2 && mem_ops == 1 && mem32 &&
                     other_ok == 1 && flat && x.prefix[0] == 0 && !implicit_stack;
    return in;
}

}  // namespace

bool ref_address(const MemRef& ref, const Gprs& g, uint64_t& at) {
    switch (ref.kind) {
    case MemRef::Kind::anywhere: return false;
    case MemRef::Kind::stack: at = g.r[gpr_sp] - stack_reach; return true;
    case MemRef::Kind::operand: break;
    }
    uint64_t a = uint64_t(ref.disp);
    if (ref.base >= 0) a += g.r[ref.base] & mask(ref.base_bits);
    if (ref.index >= 0) a += (g.r[ref.index] & mask(ref.index_bits)) * ref.scale;
    at = a & mask(ref.addr_bits);
    return true;
}

struct Decoder::Impl {
    csh detailed = 0, plain = 0;
    bool x64 = false;
};

Decoder::Decoder(bool x64) : impl_(new Impl) {
    impl_->x64 = x64;
    const cs_mode mode = x64 ? CS_MODE_64 : CS_MODE_32;
    if (cs_open(CS_ARCH_X86, mode, &impl_->detailed) != CS_ERR_OK ||
        cs_open(CS_ARCH_X86, mode, &impl_->plain) != CS_ERR_OK)
        throw std::runtime_error("the disassembler cannot be opened");
    cs_option(impl_->detailed, CS_OPT_DETAIL, CS_OPT_ON);
}

Decoder::~Decoder() {
    if (impl_->detailed) cs_close(&impl_->detailed);
    if (impl_->plain) cs_close(&impl_->plain);
}

std::vector<Insn> Decoder::decode(const uint8_t* code, size_t n, uint64_t address, bool* complete) const {
    std::vector<Insn> out;
    cs_insn* ci = cs_malloc(impl_->detailed);
    if (!ci) throw std::bad_alloc();
    const uint8_t* p = code;
    size_t left = n;
    uint64_t at = address;
    while (left > 0 && cs_disasm_iter(impl_->detailed, &p, &left, &at, ci)) out.push_back(describe(*ci, impl_->x64));
    cs_free(ci, 1);
    if (complete) *complete = left == 0;
    return out;
}

uint32_t Decoder::count(const uint8_t* code, size_t n, uint64_t address) const {
    cs_insn* ci = cs_malloc(impl_->plain);
    if (!ci) throw std::bad_alloc();
    const uint8_t* p = code;
    size_t left = n;
    uint64_t at = address;
    uint32_t k = 0;
    while (left > 0 && cs_disasm_iter(impl_->plain, &p, &left, &at, ci)) ++k;
    cs_free(ci, 1);
    // Bytes that do not decode still run as one instruction (that faults).
    return k + (left > 0 || k == 0 ? 1 : 0);
}

}  // namespace tov::sim::image
