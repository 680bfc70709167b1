// SPDX-License-Identifier: Apache-2.0
// The shipped kernel images, executed in the emulator, against the host
// build: every scenario must give the same bus events at the same virtual
// times, the same result and the same record. Also the loader's refusals
// and the entry points' calling convention.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "sim/image/image_runner.h"
#include "sim/image/sweep.h"
#include "sim/trace_format.h"
#include "tests/kernel_builds.h"
#include "tests/patched_image.h"

namespace tov::sim::image::image_runner_test {
namespace {

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(TOV_KERNEL_IMAGE).empty()) GTEST_SKIP() << "configured without a kernel image";
        ASSERT_TRUE(std::filesystem::exists(TOV_KERNEL_IMAGE))
            << "kernel image not built: " << TOV_KERNEL_IMAGE << "; " << tov::test::how_to_build(TOV_KERNEL_IMAGE);
    }
};

// ---- image against host, for every kernel build (x86 clang and GCC, x64) ----

enum class Sweep { halden, orlit, varnel, faults, coarse_clock };

std::string sweep_name(Sweep s) {
    static const char* const names[] = {"halden_table", "orlit_table", "varnel_table", "faults", "coarse_clock"};
    return names[static_cast<int>(s)];
}

void PrintTo(Sweep s, std::ostream* os) { *os << sweep_name(s); }

using ImageSweep = std::tuple<test::KernelBuild, Sweep>;

class ImageAgainstHost : public ::testing::TestWithParam<ImageSweep> {};

TEST_P(ImageAgainstHost, SameBusEventsTimesAndRecord) {
    const auto& [build, sweep] = GetParam();
    TOV_REQUIRE_BUILD(build.image);
    std::vector<Scenario> scenarios;
    switch (sweep) {
    case Sweep::halden: scenarios = table_sweep(Family::halden); break;
    case Sweep::orlit: scenarios = table_sweep(Family::orlit); break;
    case Sweep::varnel: scenarios = table_sweep(Family::varnel); break;
    case Sweep::faults: scenarios = fault_sweep(); break;
    case Sweep::coarse_clock: scenarios = coarse_clock_sweep(); break;
    }
    ASSERT_GT(scenarios.size(), 100u);
    ImageRunner runner(test::file_bytes(build.image));
    size_t differences = 0, events = 0;
    uint32_t deepest = 0;
    std::set<int32_t> results;
    for (const Scenario& s : scenarios) {
        const RunResult host = run_bring_up(s.req);
        const RunResult image = runner.run(s.req);
        const std::string diff = first_difference(host, image);
        events += image.events.size();
        results.insert(image.ret);
        if (!diff.empty() && ++differences <= 5)
            ADD_FAILURE() << s.name << ": " << diff << " (" << seed_note(register_seed()) << ")";
        deepest = std::max(deepest, image.image.stack_bytes);
        ASSERT_LE(image.image.stack_bytes, 1024u) << s.name << ": deeper than 1 KiB of kernel stack";
    }
    RecordProperty("scenarios", static_cast<int>(scenarios.size()));
    std::printf(
        "%s image against host, %s: %zu scenarios compared, %zu bus events, %zu differences, "
        "deepest stack %u bytes\n",
        build.name, sweep_name(sweep).c_str(), scenarios.size(), events, differences, deepest);
    EXPECT_EQ(differences, 0u);
    // The shipped image keeps within 384 bytes of the caller's 12 KiB x86
    // kernel stack, the x64 image within 768 of the 24 KiB x64 one.
    if (std::string(build.name) == test::shipped_build().name) EXPECT_LE(deepest, 384u);
    if (std::string(build.arch) == "x64") EXPECT_LE(deepest, 768u);
    // The sweep reaches success and failure alike.
    EXPECT_TRUE(results.count(1));
    if (sweep == Sweep::faults || sweep == Sweep::coarse_clock) EXPECT_TRUE(results.count(0));
    if (sweep == Sweep::faults) EXPECT_TRUE(results.count(-1));
}

INSTANTIATE_TEST_SUITE_P(Sweeps, ImageAgainstHost,
                         ::testing::Combine(::testing::ValuesIn(test::kernel_builds),
                                            ::testing::Values(Sweep::halden, Sweep::orlit, Sweep::varnel, Sweep::faults,
                                                              Sweep::coarse_clock)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    sweep_name(std::get<1>(info.param));
                         });

// ---- loading ----

TEST_F(ImageTest, RelocatedToTwoBasesRunsTheSame) {
    ImageRunner low(shipped_image(), {.image_base = 0x00400000});
    ImageRunner high(shipped_image());
    EXPECT_NE(low.image().base, low.image().preferred_base);
    EXPECT_NE(high.image().base, low.image().base);
    EXPECT_GT(low.image().relocations, 10u);
    for (const RunRequest& r : {request(0x3000099, 10), request(0x24, 0, 2), request(0x1000002, 3)}) {
        const RunResult a = low.run(r), b = high.run(r);
        EXPECT_EQ(first_difference(a, b), "");
        EXPECT_EQ(compact(a.events), compact(b.events));
        EXPECT_EQ(a.image.instructions, b.image.instructions);
        EXPECT_EQ(a.image.stack_bytes, b.image.stack_bytes);
    }
}

TEST_F(ImageTest, EntryPointsReturnZeroAndPopTheirArguments) {
    ImageRunner runner(shipped_image());
    // The runner checks ESP and the callee-saved registers after each call;
    // a null simulator makes any register access an error.
    EXPECT_EQ(runner.call(Entry::driver_entry, {0x1234, 0x5678}).ret, 0);
    EXPECT_EQ(runner.call(Entry::dll_initialize, {0x1234}).ret, 0);
    EXPECT_EQ(runner.call(Entry::dll_unload, {}).ret, 0);
    // tov_mem_init with a null record returns 0 without touching anything.
    Simulator sim;
    const CallOutcome o = runner.call(Entry::tov_mem_init, {0}, &sim);
    EXPECT_EQ(o.ret, 0);
    EXPECT_TRUE(sim.events().empty());
    EXPECT_GT(o.stats.instructions, 0u);
    EXPECT_GE(o.stats.stack_bytes, 8u);  // at least its argument and return address
}

// DllInitialize as built: xor eax, eax; ret 4. The patches below replace it.
const std::vector<uint8_t> dll_initialize_code = {0x31, 0xc0, 0xc2, 0x04, 0x00};

struct Refusal {
    const char* name;
    std::function<void(Patched&)> patch;
    std::vector<std::string> expected;  // parts of the one-line error
    bool at_load;                       // refused by the loader, else by running DllInitialize
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

class PatchedImage : public ImageTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(PatchedImage, IsRefusedWithAClearError) {
    Patched p;
    const uint32_t init = p.export_rva("DllInitialize");
    ASSERT_EQ(std::vector<uint8_t>(p.file.begin() + p.file_offset(init),
                                   p.file.begin() + p.file_offset(init) + dll_initialize_code.size()),
              dll_initialize_code);
    GetParam().patch(p);
    std::string error;
    try {
        ImageRunner runner(p.file, {.max_instructions = 100000});
        ASSERT_FALSE(GetParam().at_load) << "loaded";
        runner.call(Entry::dll_initialize, {0});
    } catch (const ImageError& e) {
        error = e.what();
    }
    ASSERT_FALSE(error.empty());
    for (const std::string& part : GetParam().expected) EXPECT_NE(error.find(part), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

// Position-independent code at DllInitialize that reaches `target_rva`:
// call $+5; pop eax (eax = address of the pop); add eax, target - that.
std::vector<uint8_t> address_of(uint32_t here_rva, uint32_t target_rva) {
    const uint32_t d = target_rva - (here_rva + 5);
    return {0xe8, 0, 0, 0, 0, 0x58, 0x05, uint8_t(d), uint8_t(d >> 8), uint8_t(d >> 16), uint8_t(d >> 24)};
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The patch that makes DllInitialize run `code` (the checksum kept valid).
std::function<void(Patched&)> runs(std::vector<uint8_t> code) {
    return [code = std::move(code)](Patched& p) {
        p.code(p.export_rva("DllInitialize"), code);
        p.fix_checksum();
    };
}

INSTANTIATE_TEST_SUITE_P(
    Loader, PatchedImage,
    ::testing::Values(
        Refusal{"corrupted_header", [](Patched& p) { p.file[p.nt() + 1] = 'X'; }, {"no PE signature"}, true},
        Refusal{"checksum", [](Patched& p) { p.file[p.section(".rdata").second] ^= 1; }, {"checksum"}, true},
        Refusal{"foreign_machine",
                [](Patched& p) {
                    p.write16(p.nt() + 4, 0xaa64);
                    p.fix_checksum();
                },
                {"machine 0xaa64 is neither i386 (0x14c) nor AMD64 (0x8664)"},
                true},
        Refusal{"amd64_machine_in_a_pe32_header",
                [](Patched& p) {
                    p.write16(p.nt() + 4, 0x8664);
                    p.fix_checksum();
                },
                {"optional header of an AMD64 image is PE32 (magic 0x10b), not PE32+ (0x20b)"},
                true},
        Refusal{"not_native",
                [](Patched& p) {
                    p.write16(p.optional_header() + 68, 2);
                    p.fix_checksum();
                },
                {"subsystem 2 is not NT native"},
                true},
        Refusal{"extra_import",
                [](Patched& p) {
                    p.add_import();
                    p.fix_checksum();
                },
                {"imports ntoskrnl.exe!ExAllocatePoolWithTag"},
                true},
        Refusal{"write_into_rdata",
                [](Patched& p) {
                    const uint32_t init = p.export_rva("DllInitialize");
                    const uint32_t rdata = p.section(".rdata").first;
                    // mov [eax], ecx
                    p.code(init, address_of(init, rdata + 0x10) + std::vector<uint8_t>{0x89, 0x08, 0xc2, 0x04, 0x00});
                    p.fix_checksum();
                },
                {"write to read-only memory at 0x", "(4 bytes) in the image's .rdata", "in DllInitialize"},
                false},
        Refusal{"fetch_outside_text",
                [](Patched& p) {
                    const uint32_t init = p.export_rva("DllInitialize");
                    p.code(init, address_of(init, p.section(".rdata").first) + std::vector<uint8_t>{0xff, 0xe0});
                    p.fix_checksum();
                },
                {"in the image's .rdata"},
                false},
        // ret without popping
        Refusal{"cdecl_return", runs({0x31, 0xc0, 0xc3}), {"it must pop its 4 argument bytes (__stdcall)"}, false},
        Refusal{"clobbers_ebx", runs({0x31, 0xdb, 0x31, 0xc0, 0xc2, 0x04, 0x00}), {"EBX changed"}, false},
        // jmp $
        Refusal{"runaway", runs({0xeb, 0xfe}), {"runaway image: no return after 100000 instructions"}, false},
        // Every register access that is not one aligned 32-bit load or store
        // by a plain move, however the emulator would split it.
        // mov ax, [reg_base + 0x828]
        Refusal{"narrow_register_access",
                runs({0x66, 0xa1, 0x28, 0x08, 0x00, 0x10, 0xc2, 0x04, 0x00}),
                {"16-bit load at 0x10000828 in the register block"},
                false},
        // mov eax, [reg_base + 1]
        Refusal{"unaligned_register_load",
                runs({0xa1, 0x01, 0x00, 0x00, 0x10, 0xc2, 0x04, 0x00}),
                {"unaligned 32-bit load at 0x10000001 in the register block"},
                false},
        // movq xmm0, [reg_base]
        Refusal{"wide_register_load",
                runs({0xf3, 0x0f, 0x7e, 0x05, 0x00, 0x00, 0x00, 0x10, 0xc2, 0x04, 0x00}),
                {"64-bit load at 0x10000000 in the register block"},
                false},
        // mov [reg_base + 4], al
        Refusal{"byte_register_store",
                runs({0xa2, 0x04, 0x00, 0x00, 0x10, 0xc2, 0x04, 0x00}),
                {"8-bit store at 0x10000004 in the register block"},
                false},
        // movd xmm0, [reg_base]: 32 bits, aligned, but not a move to a register
        Refusal{"sse_register_load",
                runs({0x66, 0x0f, 0x6e, 0x05, 0x00, 0x00, 0x00, 0x10, 0xc2, 0x04, 0x00}),
                {"32-bit load at 0x10000000 in the register block by 'movd xmm0, dword ptr [0x10000000]'",
                 "only a plain aligned 32-bit mov reaches the chip"},
                false},
        // mov esi, reg_base; lodsd
        Refusal{"string_register_load",
                runs({0xbe, 0x00, 0x00, 0x00, 0x10, 0xad, 0xc2, 0x04, 0x00}),
                {"32-bit load at 0x10000000 in the register block by 'lodsd eax, dword ptr [esi]'"},
                false},
        // mov eax, [reg_base - 2]
        Refusal{"split_at_the_register_block_edge",
                runs({0xa1, 0xfe, 0xff, 0xff, 0x0f, 0xc2, 0x04, 0x00}),
                {"at 0xffffffe"},
                false},
        // mov ax, [aux_base]
        Refusal{"narrow_aux_load",
                runs({0x66, 0xa1, 0x00, 0x00, 0x00, 0x20, 0xc2, 0x04, 0x00}),
                {"16-bit load at 0x20000000 in the aux region"},
                false},
        // mov eax, [0]
        Refusal{"null_read",
                runs({0xa1, 0, 0, 0, 0, 0xc2, 0x04, 0x00}),
                {"read of unmapped memory at 0x0 (4 bytes) near address 0"},
                false}),
    [](const auto& info) { return std::string(info.param.name); });

// A runaway image is stopped on wall time too, whatever the instruction bound.
TEST_F(ImageTest, RunawayIsStoppedOnWallTime) {
    Patched p;
    runs({0xeb, 0xfe})(p);  // jmp $
    ImageRunner runner(p.file, {.max_instructions = ~uint64_t(0), .max_wall = std::chrono::milliseconds(100)});
    try {
        runner.call(Entry::dll_initialize, {0});
        ADD_FAILURE() << "returned";
    } catch (const ImageError& e) {
        EXPECT_NE(std::string(e.what()).find("runaway image: no return after 100 ms of wall time"), std::string::npos)
            << e.what();
    }
}

TEST_F(ImageTest, BaseThatOverlapsTheCallersMemoryIsRefused) {
    // The refusal names the one region that applies.
    for (const auto& [base, region] :
         {std::pair{0x0u, "overlaps the low 64 KiB"}, std::pair{0x10000000u, "overlaps the register block"},
          std::pair{0x80e00000u, "overlaps the runner's page for the caller's record"}}) {
        try {
            ImageRunner runner(shipped_image(), {.image_base = base});
            ADD_FAILURE() << "loaded at " << base;
        } catch (const ImageError& e) {
            EXPECT_NE(std::string(e.what()).find(region), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).find(", the "), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(ImageRunner(shipped_image(), {.image_base = 0x80a01000}), ImageError);  // not 64 KiB aligned
}

}  // namespace
}  // namespace tov::sim::image::image_runner_test
