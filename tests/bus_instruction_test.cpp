// SPDX-License-Identifier: Apache-2.0
// What may reach the chip from a kernel image: one plain, aligned 32-bit mov
// per access, nothing else. A real bus turns a locked or unlocked
// read-modify-write, an exchange, a compare, a push or pop of a register, a
// string instruction or a narrower or wider access into other cycles (or
// none); a driver built that way fails on the board. Each class of
// instruction is written into tov_mem_init of the shipped x86 and x64
// images and must be refused in one line that names the instruction, its
// address and the register, before any bus event. Plain moves go through,
// even where an operand of another instruction in the same block lies in
// the register block by the registers of the moment.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/image/image_runner.h"
#include "sim/image/sweep.h"
#include "tests/kernel_builds.h"
#include "tests/patched_image.h"

namespace tov::sim::image::bus_instruction {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// reg_base into EAX / RAX from the record tov_mem_init gets: record ->
// reg_ctx -> reg_base. On x86 three 32-bit loads off the stack, on x64 two
// 64-bit loads (the second a pointer load from the caller's context, not
// from the chip).
const Bytes x86_reg_base = {0x8b, 0x44, 0x24, 0x04, 0x8b, 0x00, 0x8b, 0x00};  // mov eax,[esp+4]; mov eax,[eax] x2
const Bytes x64_reg_base = {0x48, 0x8b, 0x01, 0x48, 0x8b, 0x00};              // mov rax,[rcx]; mov rax,[rax]
// aux_base instead: the context's second pointer.
const Bytes x86_aux_base = {0x8b, 0x44, 0x24, 0x04, 0x8b, 0x00, 0x8b, 0x40, 0x04};  // ...; mov eax,[eax+4]
const Bytes x64_aux_base = {0x48, 0x8b, 0x01, 0x48, 0x8b, 0x40, 0x08};              // ...; mov rax,[rax+8]

struct Case {
    const char* name;
    Bytes x86, x64;    // after the base is loaded; the image returns after them
    bool aux = false;  // the base is aux_base
    std::string text;  // the instruction as the refusal names it (x86; x64 with rax for eax), empty: accepted
    std::string what = "in the register block";
    uint32_t loads = 0, stores = 0;  // bus events of an accepted case
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

// The same bytes on both architectures: every encoding below uses EAX/RAX
// as its base without a REX prefix, which x64 reads with the 64-bit register.
Case both(const char* name, Bytes code, std::string text, std::string what = "in the register block") {
    return Case{name, code, code, false, std::move(text), std::move(what)};
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        // Read-modify-write, locked and not.
        both("lock_or", {0xf0, 0x83, 0x88, 0x00, 0x08, 0x00, 0x00, 0x01}, "lock or dword ptr [eax + 0x800], 1"),
        both("or", {0x83, 0x88, 0x00, 0x08, 0x00, 0x00, 0x01}, "or dword ptr [eax + 0x800], 1"),
        both("add", {0x83, 0x80, 0x00, 0x08, 0x00, 0x00, 0x04}, "add dword ptr [eax + 0x800], 4"),
        both("inc", {0xff, 0x80, 0x00, 0x08, 0x00, 0x00}, "inc dword ptr [eax + 0x800]"),
        both("bts", {0x0f, 0xba, 0xa8, 0x00, 0x08, 0x00, 0x00, 0x03}, "bts dword ptr [eax + 0x800], 3"),
        both("and_from_register", {0x21, 0x88, 0x00, 0x08, 0x00, 0x00}, "and dword ptr [eax + 0x800], ecx"),
        // Exchanges and compares.
        both("xchg", {0x87, 0x88, 0x00, 0x08, 0x00, 0x00}, "xchg dword ptr [eax + 0x800], ecx"),
        both("cmpxchg", {0x0f, 0xb1, 0x88, 0x00, 0x08, 0x00, 0x00}, "cmpxchg dword ptr [eax + 0x800], ecx"),
        both("cmp", {0x83, 0xb8, 0x00, 0x08, 0x00, 0x00, 0x00}, "cmp dword ptr [eax + 0x800], 0"),
        both("test", {0x85, 0x88, 0x00, 0x08, 0x00, 0x00}, "test dword ptr [eax + 0x800], ecx"),
        // Push and pop of a register, and a call through one.
        both("push_memory", {0xff, 0xb0, 0x00, 0x08, 0x00, 0x00, 0x59}, "push"),
        both("pop_memory", {0x6a, 0x00, 0x8f, 0x80, 0x00, 0x08, 0x00, 0x00}, "pop"),
        both("call_through", {0xff, 0x90, 0x00, 0x08, 0x00, 0x00}, "call"),
        // String instructions (ESI/EDI set from the base first).
        Case{"lodsd",
             {0x8d, 0xb0, 0x00, 0x08, 0x00, 0x00, 0xad},
             {0x48, 0x8d, 0xb0, 0x00, 0x08, 0x00, 0x00, 0xad},
             false,
             "lodsd eax, dword ptr [esi]"},
        Case{"stosd",
             {0x8d, 0xb8, 0x00, 0x08, 0x00, 0x00, 0xab},
             {0x48, 0x8d, 0xb8, 0x00, 0x08, 0x00, 0x00, 0xab},
             false,
             "stosd dword ptr"},
        Case{"rep_movsd",
             {0x8d, 0xb0, 0x00, 0x08, 0x00, 0x00, 0x8d, 0x78, 0x10, 0xb9, 0x02, 0x00, 0x00, 0x00, 0xf3, 0xa5},
             {0x48, 0x8d, 0xb0, 0x00, 0x08, 0x00, 0x00, 0x48, 0x8d, 0x78, 0x10, 0xb9, 0x02, 0x00, 0x00, 0x00, 0xf3,
              0xa5},
             false,
             "movsd"},
        // Loads and stores of other sizes, and a 32-bit one off its word.
        both("word_load", {0x66, 0x8b, 0x88, 0x00, 0x08, 0x00, 0x00}, "16-bit load at"),
        both("byte_store", {0x88, 0x88, 0x04, 0x08, 0x00, 0x00}, "8-bit store at"),
        both("movzx_byte", {0x0f, 0xb6, 0x88, 0x00, 0x08, 0x00, 0x00}, "movzx ecx, byte ptr [eax + 0x800]"),
        Case{"wide_load",
             {0xf3, 0x0f, 0x7e, 0x80, 0x00, 0x08, 0x00, 0x00},  // movq xmm0, [eax+0x800]
             {0x48, 0x8b, 0x88, 0x00, 0x08, 0x00, 0x00},        // mov rcx, [rax+0x800]
             false,
             "64-bit load at"},
        both("unaligned", {0x8b, 0x88, 0x02, 0x08, 0x00, 0x00}, "unaligned 32-bit load at"),
        // The stack in the register block: a push lands there.
        Case{"stack_in_the_block",
             {0x8d, 0xa0, 0x00, 0x08, 0x00, 0x00, 0x51},
             {0x48, 0x8d, 0xa0, 0x00, 0x08, 0x00, 0x00, 0x51},
             false,
             "push",
             "with the stack pointer"},
        // enter's push, which the disassembler does not list as a stack
        // access, is still the instruction named.
        Case{"enter_with_the_stack_in_the_block",
             {0x8d, 0xa0, 0x00, 0x08, 0x00, 0x00, 0xc8, 0x00, 0x00, 0x00},
             {0x48, 0x8d, 0xa0, 0x00, 0x08, 0x00, 0x00, 0xc8, 0x00, 0x00, 0x00},
             false,
             "enter 0, 0",
             "with the stack pointer"},
        // enter at nesting level 2 copies the enclosing frame's pointer from
        // just below the frame pointer: here the block's word at 0x800.
        Case{"enter_copying_a_frame_pointer_from_the_block",
             {0x8d, 0xa8, 0x04, 0x08, 0x00, 0x00, 0xc8, 0x08, 0x00, 0x02},
             {0x48, 0x8d, 0xa8, 0x08, 0x08, 0x00, 0x00, 0xc8, 0x08, 0x00, 0x02},
             false,
             "by 'enter 8, 2'"},
        // The aux word is held to the same rule.
        Case{"aux_or", {0x83, 0x08, 0x01}, {0x83, 0x08, 0x01}, true, "or dword ptr [eax], 1", "in the aux region"},
        // Plain moves reach the chip: a load, a store of a register and of
        // an immediate.
        Case{"plain_load",
             {0x8b, 0x88, 0x00, 0x08, 0x00, 0x00},
             {0x8b, 0x88, 0x00, 0x08, 0x00, 0x00},
             false,
             "",
             "",
             1,
             0},
        Case{"plain_stores",
             {0x89, 0x88, 0x00, 0x08, 0x00, 0x00, 0xc7, 0x80, 0x04, 0x08, 0x00, 0x00, 0x78, 0x56, 0x34, 0x12},
             {0x89, 0x88, 0x00, 0x08, 0x00, 0x00, 0xc7, 0x80, 0x04, 0x08, 0x00, 0x00, 0x78, 0x56, 0x34, 0x12},
             false,
             "",
             "",
             0,
             2},
    };
    return all;
}

// The x64 text of an x86 expectation: the same operands on RAX, RSI, RDI.
std::string on_x64(std::string t) {
    for (const auto& [from, to] : {std::pair{"[eax", "[rax"}, {"[esi]", "[rsi]"}, {"[edi]", "[rdi]"}})
        for (size_t at = t.find(from); at != std::string::npos; at = t.find(from, at + 1))
            t.replace(at, std::string(from).size(), to);
    return t;
}

struct Outcome {
    std::string error;
    RunResult r;
};

Outcome run_with(const std::vector<uint8_t>& image, bool x64, const Bytes& code) {
    Patched p;
    p.file = image;
    const uint64_t base = x64 ? default_image_base_x64 : default_image_base;
    p.code(uint32_t(load_image(p.file, base).exports.at("tov_mem_init")), code);
    p.fix_checksum();
    Outcome o;
    try {
        ImageRunner runner(p.file, {.max_instructions = 100000});
        o.r = runner.run(request(0x3000099, 10));
    } catch (const ImageError& e) {
        o.error = e.what();
    }
    return o;
}

class BusInstruction : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE);
        TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE_X64);
    }
};

TEST_P(BusInstruction, OnlyAPlainAligned32BitMoveReachesTheChip) {
    const Case& c = GetParam();
    for (const bool x64 : {false, true}) {
        SCOPED_TRACE(x64 ? "x64" : "x86");
        const Bytes ret = x64 ? Bytes{0xc3} : Bytes{0xc2, 0x04, 0x00};
        const Bytes base = x64 ? (c.aux ? x64_aux_base : x64_reg_base) : (c.aux ? x86_aux_base : x86_reg_base);
        const Outcome o = run_with(test::file_bytes(x64 ? TOV_KERNEL_IMAGE_X64 : TOV_KERNEL_IMAGE), x64,
                                   base + (x64 ? c.x64 : c.x86) + ret);
        if (c.text.empty()) {
            EXPECT_EQ(o.error, "");
            uint32_t loads = 0, stores = 0;
            for (const Event& e : o.r.events) {
                loads += e.kind == EventKind::load;
                stores += e.kind == EventKind::store;
            }
            EXPECT_EQ(loads, c.loads);
            EXPECT_EQ(stores, c.stores);
            continue;
        }
        ASSERT_NE(o.error, "") << "not refused";
        const std::string text = x64 ? on_x64(c.text) : c.text;
        EXPECT_NE(o.error.find(text), std::string::npos) << o.error;
        EXPECT_NE(o.error.find(c.what), std::string::npos) << o.error;
        EXPECT_NE(o.error.find("(instruction at 0x"), std::string::npos) << o.error;
        EXPECT_NE(o.error.find(", in tov_mem_init)"), std::string::npos) << o.error;
        EXPECT_EQ(o.error.find('\n'), std::string::npos) << o.error;
    }
}

INSTANTIATE_TEST_SUITE_P(Classes, BusInstruction, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// An instruction ran earlier in the block with its base register pointing
// elsewhere; by the registers of the later plain load its operand lies in
// the register block too. The plain load is the one that reaches the chip,
// and it does, once, on both architectures. Before it the code adds one to
// the record's mem_clock_khz: a call that runs again to tie the access to
// its instruction starts from the record as the caller left it.
TEST(BusAttribution, AnEarlierOperandOverTheRegisterBlockDoesNotTakeTheBlame) {
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE);
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE_X64);
    // x86: inc dword [record+0x30]; movzx ecx, byte [eax+8] on the record;
    // then reg_base into EAX; mov edx, [eax+8] on the chip.
    const Bytes x86 = Bytes{0x8b, 0x4c, 0x24, 0x04, 0xff, 0x41, 0x30} +
                      Bytes{0x8b, 0x44, 0x24, 0x04, 0x0f, 0xb6, 0x48, 0x08, 0x8b, 0x00, 0x8b, 0x00} +
                      Bytes{0x8b, 0x50, 0x08, 0xc2, 0x04, 0x00};
    // x64: inc dword [record+0x34]; mov rax, [rax] loads reg_base (8 bytes
    // over the register block by the registers after it); mov ecx, [rax+4]
    // on the chip.
    const Bytes x64 = Bytes{0xff, 0x41, 0x34} + x64_reg_base + Bytes{0x8b, 0x48, 0x04, 0xc3};
    const uint32_t clock_khz = initial_record(0x3000099, 10, 0).mem_clock_khz;
    for (const auto& [arch, image, code, reg] :
         {std::tuple{"x86", TOV_KERNEL_IMAGE, x86, 8u}, std::tuple{"x64", TOV_KERNEL_IMAGE_X64, x64, 4u}}) {
        SCOPED_TRACE(arch);
        const Outcome o = run_with(test::file_bytes(image), std::string(arch) == "x64", code);
        EXPECT_EQ(o.error, "");
        ASSERT_EQ(o.r.events.size(), 1u);
        EXPECT_EQ(o.r.events[0].kind, EventKind::load);
        EXPECT_EQ(o.r.events[0].off, reg);
        EXPECT_EQ(o.r.record.mem_clock_khz, clock_khz + 1);
    }
}

}  // namespace
}  // namespace tov::sim::image::bus_instruction

namespace tov::sim::image::bus_instruction {
namespace {

// A register block placed over the runner's own pages is refused for what
// it covers, never left to the emulator's mapping error.
TEST(RegisterBlockPlace, OverTheRunnersOwnPagesIsRefusedByName) {
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE);
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE_X64);
    const struct {
        const char* image;
        uint64_t block;
        std::string covered;
    } cases[] = {
        {TOV_KERNEL_IMAGE, 0x80ef0000, "overlaps the stack the runner gives a call (0x80efd000 to 0x80f00000)"},
        {TOV_KERNEL_IMAGE, 0x80d00000, "overlaps the runner's import thunks"},
        {TOV_KERNEL_IMAGE, 0x80e00000, "overlaps the runner's page for the caller's record"},
        {TOV_KERNEL_IMAGE, 0x20000000, "overlaps the aux region"},
        {TOV_KERNEL_IMAGE_X64, 0x20000000, "overlaps the aux region"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(hex(c.block));
        std::string error;
        try {
            ImageRunner runner(test::file_bytes(c.image), {.reg_block = c.block});
        } catch (const ImageError& e) {
            error = e.what();
        }
        EXPECT_NE(error.find("the register block at "), std::string::npos) << error;
        EXPECT_NE(error.find(c.covered), std::string::npos) << error;
        EXPECT_EQ(error.find("emulator"), std::string::npos) << error;
    }
    // Beside them, not over them: the runner maps it there.
    EXPECT_NO_THROW(ImageRunner(test::file_bytes(TOV_KERNEL_IMAGE), {.reg_block = 0x80f00000}));
}

}  // namespace
}  // namespace tov::sim::image::bus_instruction

namespace tov::sim::image::bus_instruction {
namespace {

// The stack the runner gives a call is ordinary memory to the image,
// whatever the width and alignment of the access: unaligned words and
// halves, single bytes stored and loaded, 8- and 16-byte SSE moves, a
// string store, a push and a pop, and on x64 an unaligned 64-bit load.
// Each value read back is written to the chip by a plain store, so the bus
// shows what the stack held.
TEST(StackMemory, HoldsWhatEveryWidthAndAlignmentWrites) {
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE);
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE_X64);
    const Bytes to_chip = {0x89, 0x82, 0x00, 0x08, 0x00, 0x00};  // mov [edx/rdx + 0x800], eax
    // Eight known bytes at SP+1 (44 33 22 11 66 55 77 88), then read back
    // across the pieces they were written in.
    const Bytes pattern = Bytes{0xc7, 0x44, 0x24, 0x01, 0x44, 0x33, 0x22, 0x11} +  // mov dword [sp+1], 0x11223344
                          Bytes{0x66, 0xc7, 0x44, 0x24, 0x05, 0x66, 0x55} +        // mov word [sp+5], 0x5566
                          Bytes{0xc6, 0x44, 0x24, 0x07, 0x77} +                    // mov byte [sp+7], 0x77
                          Bytes{0xc6, 0x44, 0x24, 0x08, 0x88} +                    // mov byte [sp+8], 0x88
                          Bytes{0x8b, 0x44, 0x24, 0x02} + to_chip +                // mov eax, [sp+2]
                          Bytes{0x0f, 0xb6, 0x44, 0x24, 0x07} + to_chip +          // movzx eax, byte [sp+7]
                          Bytes{0x0f, 0xb7, 0x44, 0x24, 0x05} + to_chip +          // movzx eax, word [sp+5]
                          Bytes{0x0f, 0xb7, 0x44, 0x24, 0x06} + to_chip +          // movzx eax, word [sp+6]
                          Bytes{0xf3, 0x0f, 0x7e, 0x44, 0x24, 0x01} +              // movq xmm0, [sp+1]
                          Bytes{0x66, 0x0f, 0xd6, 0x44, 0x24, 0x09} +              // movq [sp+9], xmm0
                          Bytes{0x66, 0x0f, 0xd6, 0x44, 0x24, 0x13} +              // movq [sp+0x13], xmm0
                          Bytes{0x8b, 0x44, 0x24, 0x17} + to_chip +                // mov eax, [sp+0x17]
                          Bytes{0xf3, 0x0f, 0x6f, 0x4c, 0x24, 0x01} +              // movdqu xmm1, [sp+1]
                          Bytes{0xf3, 0x0f, 0x7f, 0x4c, 0x24, 0x21} +              // movdqu [sp+0x21], xmm1
                          Bytes{0x8b, 0x44, 0x24, 0x2b} + to_chip;                 // mov eax, [sp+0x2b]
    const Bytes string_store = Bytes{0xb9, 0x05, 0x00, 0x00, 0x00, 0xb8, 0x99, 0x00, 0x00, 0x00} +  // ecx 5, eax 0x99
                               Bytes{0xfc, 0xf3, 0xaa} +                                            // cld; rep stosb
                               Bytes{0x8b, 0x44, 0x24, 0x32} + to_chip;          // mov eax, [sp+0x32]
    const Bytes push_pop = Bytes{0x68, 0xdd, 0xcc, 0xbb, 0xaa, 0x58} + to_chip;  // push 0xaabbccdd; pop eax
    // x86: EDI saved; the record is the argument, reg_base two loads from it.
    const Bytes x86 = Bytes{0x57, 0x8b, 0x54, 0x24, 0x08, 0x8b, 0x12, 0x8b, 0x12, 0x83, 0xec, 0x40} + pattern +
                      Bytes{0x8d, 0x7c, 0x24, 0x31} + string_store + push_pop +  // lea edi, [esp+0x31]
                      Bytes{0x83, 0xc4, 0x40, 0x5f, 0x31, 0xc0, 0xc2, 0x04, 0x00};
    // x64: RDI saved; the record in RCX.
    const Bytes x64 = Bytes{0x57, 0x48, 0x8b, 0x11, 0x48, 0x8b, 0x12, 0x48, 0x83, 0xec, 0x40} + pattern +
                      Bytes{0x48, 0x8b, 0x44, 0x24, 0x03} + to_chip +                  // mov rax, [rsp+3]
                      Bytes{0x48, 0xc1, 0xe8, 0x20} + to_chip +                        // shr rax, 32
                      Bytes{0x48, 0x8d, 0x7c, 0x24, 0x31} + string_store + push_pop +  // lea rdi, [rsp+0x31]
                      Bytes{0x48, 0x83, 0xc4, 0x40, 0x5f, 0x31, 0xc0, 0xc3};
    const std::vector<uint32_t> from_pattern = {0x66112233, 0x77, 0x5566, 0x7755, 0x88775566, 0x55661122};
    const std::vector<uint32_t> rest = {0x99999999, 0xaabbccdd};
    for (const bool on_x64 : {false, true}) {
        SCOPED_TRACE(on_x64 ? "x64" : "x86");
        std::vector<uint32_t> want = from_pattern;
        if (on_x64) want.insert(want.end(), {0x55661122, 0x33448877});
        want.insert(want.end(), rest.begin(), rest.end());
        // The image's preferred base set to where the runner loads it: the
        // base relocations then change nothing, and the code may run over
        // the words they name.
        Patched at_base;
        at_base.file = test::file_bytes(on_x64 ? TOV_KERNEL_IMAGE_X64 : TOV_KERNEL_IMAGE);
        if (on_x64) {
            at_base.write32(at_base.optional_header() + 24, uint32_t(default_image_base_x64));
            at_base.write32(at_base.optional_header() + 28, uint32_t(default_image_base_x64 >> 32));
        } else {
            at_base.write32(at_base.optional_header() + 28, uint32_t(default_image_base));
        }
        at_base.fix_checksum();
        const Outcome o = run_with(at_base.file, on_x64, on_x64 ? x64 : x86);
        EXPECT_EQ(o.error, "");
        std::vector<uint32_t> got;
        for (const Event& e : o.r.events) {
            EXPECT_EQ(e.kind, EventKind::store);
            EXPECT_EQ(e.off, 0x800u);
            got.push_back(e.val);
        }
        EXPECT_EQ(got, want);
    }
}

}  // namespace
}  // namespace tov::sim::image::bus_instruction
