// The shipped kernel image, executed in the x86 emulator, against the host
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

namespace tov::sim::image {
namespace {

const std::vector<uint8_t>& shipped_image() {
    static const std::vector<uint8_t> file = read_file(TOV_KERNEL_IMAGE);
    return file;
}

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(TOV_KERNEL_IMAGE).empty()) GTEST_SKIP() << "configured without a kernel image";
        ASSERT_TRUE(std::filesystem::exists(TOV_KERNEL_IMAGE)) << "kernel image not built: " << TOV_KERNEL_IMAGE;
    }
};

// ---- image against host, for both compilers' images ----

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
    // The shipped image keeps within 384 bytes of the caller's kernel stack.
    if (std::string(build.name) == test::shipped_build().name) EXPECT_LE(deepest, 384u);
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

// A patched copy of the shipped image.
struct Patched {
    std::vector<uint8_t> file = shipped_image();

    uint32_t nt() const { return read32(0x3c); }
    uint32_t read32(uint32_t off) const {
        uint32_t v;
        std::memcpy(&v, &file[off], 4);
        return v;
    }
    void write32(uint32_t off, uint32_t v) { std::memcpy(&file[off], &v, 4); }
    void write16(uint32_t off, uint16_t v) { std::memcpy(&file[off], &v, 2); }
    uint32_t optional_header() const { return nt() + 24; }
    uint32_t section_headers() const {
        uint16_t opt;
        std::memcpy(&opt, &file[nt() + 20], 2);
        return optional_header() + opt;
    }
    uint16_t section_count() const {
        uint16_t n;
        std::memcpy(&n, &file[nt() + 6], 2);
        return n;
    }
    // RVA and file offset of a section by name.
    std::pair<uint32_t, uint32_t> section(const std::string& name) const {
        for (uint32_t i = 0; i < section_count(); ++i) {
            const uint32_t s = section_headers() + 40 * i;
            if (std::strncmp(reinterpret_cast<const char*>(&file[s]), name.c_str(), 8) == 0)
                return {read32(s + 12), read32(s + 20)};
        }
        ADD_FAILURE() << "no section " << name;
        return {0, 0};
    }
    uint32_t export_rva(const std::string& name) const {
        return load_image(shipped_image(), default_image_base).exports.at(name);
    }
    void code(uint32_t rva, const std::vector<uint8_t>& bytes) {
        std::copy(bytes.begin(), bytes.end(), file.begin() + file_offset(rva));
    }
    void fix_checksum() { write32(optional_header() + 64, pe_checksum(file)); }

    // A second import descriptor, in a section of its own, for
    // ntoskrnl.exe!ExAllocatePoolWithTag; the original one stays first.
    void add_import() {
        const uint32_t oh = optional_header();
        const uint32_t align = read32(oh + 32), falign = read32(oh + 36);
        const uint32_t rva = read32(oh + 56);  // SizeOfImage: the new section's place
        const uint32_t raw = uint32_t((file.size() + falign - 1) / falign * falign);
        const uint32_t old_dir = read32(oh + 96 + 8);
        std::vector<uint8_t> s(0x200, 0);
        auto put = [&](uint32_t off, uint32_t v) { std::memcpy(&s[off], &v, 4); };
        const uint32_t first = file_offset(old_dir);
        std::memcpy(&s[0], &file[first], 20);  // the original descriptor
        put(20 + 0, rva + 0x80);               // lookup table
        put(20 + 12, rva + 0xc0);              // module name
        put(20 + 16, rva + 0x90);              // address table
        put(0x80, rva + 0xa0);                 // -> hint/name
        put(0x90, rva + 0xa0);
        std::memcpy(&s[0xa2], "ExAllocatePoolWithTag", 21);
        std::memcpy(&s[0xc0], "ntoskrnl.exe", 12);
        const uint32_t sh = section_headers() + 40 * section_count();
        ASSERT_LE(sh + 40, read32(oh + 60)) << "no room for another section header";
        std::memcpy(&file[sh], ".idata2\0", 8);
        write32(sh + 8, 0x200);
        write32(sh + 12, rva);
        write32(sh + 16, 0x200);
        write32(sh + 20, raw);
        write32(sh + 36, 0xc0000040);  // initialised data, read, write
        write16(nt() + 6, uint16_t(section_count() + 1));
        write32(oh + 56, rva + align);
        write32(oh + 96 + 8, rva);
        write32(oh + 96 + 12, 60);
        file.resize(raw, 0);
        file.insert(file.end(), s.begin(), s.end());
    }
    uint32_t file_offset(uint32_t rva) const {
        for (uint32_t i = 0; i < section_count(); ++i) {
            const uint32_t s = section_headers() + 40 * i;
            const uint32_t va = read32(s + 12), size = read32(s + 16);
            if (rva >= va && rva < va + size) return rva - va + read32(s + 20);
        }
        ADD_FAILURE() << "rva outside every section";
        return 0;
    }
};

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

INSTANTIATE_TEST_SUITE_P(
    Loader, PatchedImage,
    ::testing::Values(
        Refusal{"corrupted_header", [](Patched& p) { p.file[p.nt() + 1] = 'X'; }, {"no PE signature"}, true},
        Refusal{"checksum", [](Patched& p) { p.file[p.section(".rdata").second] ^= 1; }, {"checksum"}, true},
        Refusal{"foreign_machine",
                [](Patched& p) {
                    p.write16(p.nt() + 4, 0x8664);
                    p.fix_checksum();
                },
                {"machine 0x8664 is not i386"},
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
        Refusal{"cdecl_return",
                [](Patched& p) {
                    p.code(p.export_rva("DllInitialize"), {0x31, 0xc0, 0xc3});  // ret without popping
                    p.fix_checksum();
                },
                {"it must pop its 4 argument bytes (__stdcall)"},
                false},
        Refusal{"clobbers_ebx",
                [](Patched& p) {
                    p.code(p.export_rva("DllInitialize"), {0x31, 0xdb, 0x31, 0xc0, 0xc2, 0x04, 0x00});
                    p.fix_checksum();
                },
                {"EBX changed"},
                false},
        Refusal{"runaway",
                [](Patched& p) {
                    p.code(p.export_rva("DllInitialize"), {0xeb, 0xfe});  // jmp $
                    p.fix_checksum();
                },
                {"runaway image: no return after 100000 instructions"},
                false},
        Refusal{"narrow_register_access",
                [](Patched& p) {
                    // mov ax, [reg_base + 0x828]
                    p.code(p.export_rva("DllInitialize"), {0x66, 0xa1, 0x28, 0x08, 0x00, 0x10, 0xc2, 0x04, 0x00});
                    p.fix_checksum();
                },
                {"16-bit load at 0x10000828 in the register block"},
                false},
        Refusal{"null_read",
                [](Patched& p) {
                    p.code(p.export_rva("DllInitialize"), {0xa1, 0, 0, 0, 0, 0xc2, 0x04, 0x00});  // mov eax, [0]
                    p.fix_checksum();
                },
                {"read of unmapped memory at 0x0 (4 bytes) near address 0"},
                false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImageTest, BaseThatOverlapsTheCallersMemoryIsRefused) {
    EXPECT_THROW(ImageRunner(shipped_image(), {.image_base = 0x10000000}), ImageError);
    EXPECT_THROW(ImageRunner(shipped_image(), {.image_base = 0x80a01000}), ImageError);  // not 64 KiB aligned
}

}  // namespace
}  // namespace tov::sim::image
