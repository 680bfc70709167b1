// SPDX-License-Identifier: Apache-2.0
// The x64 image in the runner's x86-64 mode, beyond the sweeps: where it is
// loaded, the Microsoft x64 convention held to its callee-saved registers and
// stack, the shared user data page as the interrupt-time clock (one reading
// per load of InterruptTime), and the containment of register and page
// accesses, each with its one-line report. Patched copies of the image put
// a few instructions at an entry point.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/image/image_runner.h"
#include "sim/image/sweep.h"
#include "tests/kernel_builds.h"
#include "tests/patched_image.h"

// A namespace of its own: unity batches put test files side by side.
namespace tov::sim::image::x64_runner {
namespace {

const std::vector<uint8_t>& x64_image() { return test::file_bytes(TOV_KERNEL_IMAGE_X64); }

class X64Runner : public ::testing::Test {
protected:
    void SetUp() override { TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE_X64); }
};

// A copy of the x64 image with `code` at an export's entry.
std::vector<uint8_t> with_code(const std::string& entry, const std::vector<uint8_t>& code) {
    Patched p;
    p.file = x64_image();
    p.code(uint32_t(load_image(p.file, default_image_base_x64).exports.at(entry)), code);
    p.fix_checksum();
    return p.file;
}

// Little-endian bytes of a 64-bit address, for moffs64 operands.
std::vector<uint8_t> le64(uint64_t v) {
    std::vector<uint8_t> b;
    for (int i = 0; i < 8; ++i) b.push_back(uint8_t(v >> (8 * i)));
    return b;
}
std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(X64Runner, LoadsAboveFourGibAndRunsAsTheHostBuildAtAnyBase) {
    // Two bases in the kernel's half and one in the low half: every DIR64
    // relocation applied, the same bus traffic.
    const RunRequest req = request(0x3000099, 10);
    const RunResult host = run_bring_up(req);
    for (const std::optional<uint64_t> base : {std::optional<uint64_t>(), std::optional<uint64_t>(0xfffff80012340000),
                                               std::optional<uint64_t>(0x180000000)}) {
        ImageRunner runner(x64_image(), {.image_base = base});
        EXPECT_TRUE(runner.is_64_bit());
        EXPECT_TRUE(runner.image().is_64_bit());
        EXPECT_EQ(runner.image().base, base.value_or(default_image_base_x64));
        EXPECT_NE(runner.image().base, runner.image().preferred_base);
        EXPECT_GT(runner.image().relocations, 10u) << "the routine tables hold 64-bit addresses";
        const RunResult image = runner.run(req);
        EXPECT_EQ(first_difference(host, image), "") << hex(base.value_or(0));
        EXPECT_TRUE(image.image.x64);
        EXPECT_GT(image.image.stack_bytes, 40u);
        EXPECT_LE(image.image.stack_bytes, 768u);
    }
    // Not 64 KiB aligned, and not canonical.
    EXPECT_THROW(ImageRunner(x64_image(), {.image_base = 0xfffff80000a01000}), ImageError);
    EXPECT_THROW(ImageRunner(x64_image(), {.image_base = 0x0000800000000000}), ImageError);
}

TEST_F(X64Runner, EntryPointsReturnZeroAndKeepTheCalleeSavedRegisters) {
    ImageRunner runner(x64_image());
    for (Entry e : {Entry::driver_entry, Entry::dll_initialize, Entry::dll_unload}) {
        const CallOutcome o =
            runner.call(e, e == Entry::driver_entry ? std::vector<uint64_t>{0, 0} : std::vector<uint64_t>{0});
        EXPECT_EQ(o.ret, 0) << entry_name(e);
        // The return address, nothing more.
        EXPECT_EQ(o.stats.stack_bytes, 8u) << entry_name(e);
    }
}

// One way of breaking the x64 convention or the containment, and the report.
struct Misdeed {
    const char* name;
    std::string entry;
    std::vector<uint8_t> code;
    std::string expected;  // part of the one-line error
};
void PrintTo(const Misdeed& m, std::ostream* os) { *os << m.name; }

class X64Refusal : public X64Runner, public ::testing::WithParamInterface<Misdeed> {};

TEST_P(X64Refusal, StopsTheRunWithOneLine) {
    const Misdeed& m = GetParam();
    ImageRunner runner(with_code(m.entry, m.code), {.max_instructions = 100000});
    std::string error;
    try {
        if (m.entry == "tov_mem_init")
            runner.run(request(0x3000099, 10));
        else
            runner.call(Entry::dll_initialize, {0});
    } catch (const ImageError& e) {
        error = e.what();
    }
    ASSERT_FALSE(error.empty()) << "not refused";
    EXPECT_NE(error.find(m.expected), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

const uint8_t ret = 0xc3;
const std::vector<uint8_t> xor_eax = {0x31, 0xc0};
const std::vector<uint8_t> load_reg_base = {0x48, 0x8b, 0x01, 0x48, 0x8b, 0x00};  // mov rax,[rcx]; mov rax,[rax]

INSTANTIATE_TEST_SUITE_P(
    X64, X64Refusal,
    ::testing::Values(
        Misdeed{"rbx", "DllInitialize", {0x31, 0xdb, 0x31, 0xc0, ret}, "DllInitialize returned with RBX changed"},
        Misdeed{"rdi", "DllInitialize", {0x31, 0xff, 0x31, 0xc0, ret}, "with RDI changed"},
        Misdeed{"r12", "DllInitialize", {0x45, 0x31, 0xe4, 0x31, 0xc0, ret}, "with R12 changed"},
        Misdeed{"r15", "DllInitialize", {0x45, 0x31, 0xff, 0x31, 0xc0, ret}, "with R15 changed"},
        Misdeed{"xmm6", "DllInitialize", {0x0f, 0x57, 0xf6, 0x31, 0xc0, ret}, "with XMM6 changed"},
        Misdeed{"xmm9_high_half",
                "DllInitialize",
                {0x44, 0x0f, 0x16, 0xc8, 0x31, 0xc0, ret},  // movlhps xmm9, xmm0: only the high half changes
                "with XMM9 changed (byte 8"},
        Misdeed{"xmm15", "DllInitialize", {0x45, 0x0f, 0x57, 0xff, 0x31, 0xc0, ret}, "with XMM15 changed"},
        Misdeed{"rsp", "DllInitialize", {0x59, 0x31, 0xc0, 0x51, 0x51, ret}, "returned with RSP"},
        Misdeed{"shared_page_other_field", "DllInitialize",
                std::vector<uint8_t>{0x48, 0xa1} + le64(shared_user_data + 0x14) + std::vector<uint8_t>{ret},
                "the runner models only InterruptTime"},
        Misdeed{"shared_page_write", "DllInitialize",
                std::vector<uint8_t>{0x48, 0xa3} + le64(shared_user_data + 8) + std::vector<uint8_t>{ret},
                "write to read-only memory at 0xfffff78000000008 (8 bytes) in the shared user data page"},
        Misdeed{"register_64_bit_load", "tov_mem_init", load_reg_base + std::vector<uint8_t>{0x48, 0x8b, 0x00, ret},
                "64-bit load at 0xffffd00010000000 in the register block"},
        Misdeed{"register_unaligned_load", "tov_mem_init", load_reg_base + std::vector<uint8_t>{0x8b, 0x40, 0x02, ret},
                "32-bit load at 0xffffd00010000002 in the register block"},
        Misdeed{"register_64_bit_store", "tov_mem_init",
                load_reg_base + std::vector<uint8_t>{0x48, 0x89, 0x40, 0x10, ret},
                "64-bit store at 0xffffd00010000010 in the register block"},
        Misdeed{"pointer_cut_to_32_bits", "tov_mem_init",
                std::vector<uint8_t>{0x8b, 0x01, 0x8b, 0x00, ret},  // mov eax,[rcx]; mov eax,[rax]
                "outside every region the caller maps"}),
    [](const auto& info) { return std::string(info.param.name); });

// InterruptTime as the WDK reads it: one 8-byte load at +8 is one clock
// reading, its low half in LowPart, its high half in High1Time, whatever the
// emulator makes of the load.
struct ClockRead {
    const char* name;
    std::vector<uint8_t> code;
    uint64_t readings;  // clock readings the code makes
    bool high;          // the code returns the high half of the last one
};
void PrintTo(const ClockRead& c, std::ostream* os) { *os << c.name; }

class InterruptTime : public X64Runner, public ::testing::WithParamInterface<ClockRead> {};

TEST_P(InterruptTime, EachLoadOfInterruptTimeIsOneReading) {
    const ClockRead& c = GetParam();
    ImageRunner runner(with_code("DllInitialize", c.code));
    for (const uint64_t start : {uint64_t(0x123456789), uint64_t(0xfffffffffff0000), uint64_t(5)}) {
        ClockConfig cfg;
        cfg.start = start;
        cfg.step = 0x10001;
        Simulator sim(ChipConfig{}, cfg);
        VirtualClock reference(cfg);
        uint64_t last = 0;
        for (uint64_t i = 0; i < c.readings; ++i) last = reference.read();
        const CallOutcome o = runner.call(Entry::dll_initialize, {0}, &sim);
        EXPECT_EQ(uint32_t(o.ret), c.high ? uint32_t(last >> 32) : uint32_t(last)) << hex(start);
        EXPECT_EQ(sim.clock().reads(), c.readings) << hex(start);
    }
}

std::vector<uint8_t> load_interrupt_time() { return std::vector<uint8_t>{0x48, 0xa1} + le64(shared_user_data + 8); }

INSTANTIATE_TEST_SUITE_P(
    X64, InterruptTime,
    ::testing::Values(
        ClockRead{"low_half", load_interrupt_time() + std::vector<uint8_t>{ret}, 1, false},
        ClockRead{"high_half", load_interrupt_time() + std::vector<uint8_t>{0x48, 0xc1, 0xe8, 0x20, ret}, 1, true},
        ClockRead{"two_loads", load_interrupt_time() + load_interrupt_time() + std::vector<uint8_t>{ret}, 2, false},
        // High1Time read on its own after the load: the same reading's high half.
        ClockRead{"high1time_after_load",
                  load_interrupt_time() + std::vector<uint8_t>{0xa1} + le64(shared_user_data + 0xc) +
                      std::vector<uint8_t>{ret},
                  1, true},
        ClockRead{"lowpart_alone", std::vector<uint8_t>{0xa1} + le64(shared_user_data + 8) + std::vector<uint8_t>{ret},
                  1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(X64Runner, CallerOfTheOtherArchitectureIsRefused) {
    TOV_REQUIRE_BUILD(TOV_CAPTURE_IMAGE);
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE);
    const std::pair<const char*, const char*> pairs[] = {{TOV_KERNEL_IMAGE_X64, TOV_CAPTURE_IMAGE},
                                                         {TOV_KERNEL_IMAGE, TOV_CAPTURE_IMAGE_X64}};
    for (const auto& [image, caller] : pairs) {
        try {
            ImageRunner runner(test::file_bytes(image), test::file_bytes(caller), {});
            ADD_FAILURE() << "loaded " << caller << " with " << image;
        } catch (const CallerError& e) {
            EXPECT_NE(std::string(e.what()).find("both must be built for one architecture"), std::string::npos)
                << e.what();
        }
    }
}

}  // namespace
}  // namespace tov::sim::image::x64_runner
