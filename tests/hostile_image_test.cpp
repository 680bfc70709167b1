// SPDX-License-Identifier: Apache-2.0
// Images (and capture drivers) made by an attacker from the shipped image:
// each is refused by the loader with one printable line, never read or
// written outside its buffers (the sanitizer build runs these too), in
// bounded time and memory.
#include <gtest/gtest.h>

#include <functional>

#include "sim/image/image_runner.h"
#include "tests/patched_image.h"
#include "tests/tovmem_process.h"

namespace tov::sim::image::hostile_image_test {
namespace {

struct Hostile {
    const char* name;
    std::function<void(Patched&)> patch;
    std::vector<std::string> expected;  // parts of the one-line error
    bool as_caller = false;             // the patched file is the capture driver
};

void PrintTo(const Hostile& h, std::ostream* os) { *os << h.name; }

class HostileImage : public ::testing::TestWithParam<Hostile> {
protected:
    void SetUp() override {
        if (std::string(TOV_KERNEL_IMAGE).empty()) GTEST_SKIP() << "configured without a kernel image";
    }
};

bool printable_line(const std::string& s) {
    for (const char c : s)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

TEST_P(HostileImage, IsRefusedInOnePrintableLine) {
    const Hostile& h = GetParam();
    Patched p;
    h.patch(p);
    // The checksum made to match, where the file has room for one, so that
    // the loader looks further.
    try {
        const uint32_t at = checksum_offset(p.file);
        const uint32_t sum = pe_checksum(p.file);
        std::memcpy(&p.file[at], &sum, 4);
    } catch (const ImageError&) {}
    std::string error;
    bool from_caller = false;
    try {
        if (h.as_caller)
            ImageRunner(shipped_image(), p.file, {});
        else
            ImageRunner(p.file, {});
        ADD_FAILURE() << "loaded";
    } catch (const CallerError& e) {
        error = e.what();
        from_caller = true;
    } catch (const ImageError& e) {
        error = e.what();
    }
    EXPECT_EQ(from_caller, h.as_caller) << error;
    for (const std::string& part : h.expected) EXPECT_NE(error.find(part), std::string::npos) << error;
    EXPECT_TRUE(printable_line(error)) << error;
}

// The last section header, whose data follows every other section's.
uint32_t last_section(const Patched& p) { return p.section_header(p.section_count() - 1u); }

void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) { std::memcpy(&v[at], &x, 4); }

INSTANTIATE_TEST_SUITE_P(
    Loader, HostileImage,
    ::testing::Values(
        // A virtual size near 2^32 whose rounding to the alignment wraps to 0
        // in 32 bits, placed at SizeOfImage with file data to copy.
        Hostile{"section_size_wraps",
                [](Patched& p) {
                    const uint32_t s = last_section(p);
                    p.write32(s + 8, 0xfffff001);
                    p.write32(s + 12, p.read32(p.optional_header() + 56));
                },
                {"lies outside the image"}},
        Hostile{"empty_section",
                [](Patched& p) {
                    p.write32(last_section(p) + 8, 0);
                    p.write32(last_section(p) + 16, 0);
                },
                {"is empty"}},
        Hostile{"overlapping_sections",
                [](Patched& p) { p.write32(last_section(p) + 12, p.read32(p.section_header(0) + 12)); },
                {"overlap"}},
        Hostile{"headers_size_zero",
                [](Patched& p) { p.write32(p.optional_header() + 60, 0); },
                {"SizeOfHeaders 0x0 must cover the headers"}},
        Hostile{"headers_size_past_the_file",
                [](Patched& p) { p.write32(p.optional_header() + 60, uint32_t(p.file.size() + 0x1000)); },
                {"SizeOfHeaders", "inside the file"}},
        Hostile{"too_many_sections", [](Patched& p) { p.write16(p.nt() + 6, 0xffff); }, {"65535 sections"}},
        Hostile{"e_lfanew_past_the_end", [](Patched& p) { p.write32(0x3c, 0xfffffff0); }, {"no PE signature"}},
        Hostile{"x64_image",
                [](Patched& p) {
                    p.write16(p.nt() + 4, 0x8664);
                    // A PE32+ optional header in the same 224 bytes: 14
                    // directories after the 8-byte stack and heap sizes.
                    p.write16(p.optional_header(), 0x20b);
                    p.write32(p.optional_header() + 108, 14);
                },
                // Read as PE32+, the directories move by 16 bytes.
                {"lies outside the image"}},
        Hostile{"unknown_optional_header", [](Patched& p) { p.write16(p.optional_header(), 0x107); }, {"0x107"}},
        // A block of 8 then one of 0xfffffff8: in 32 bits the walk came back
        // to the first block for ever.
        Hostile{"relocation_blocks_cycle",
                [](Patched& p) {
                    const uint32_t at = p.file_offset(p.read32(p.directory(5)));
                    p.write32(at + 4, 8);
                    p.write32(at + 12, 0xfffffff8);
                },
                {"relocation block at", "has size 0xfffffff8"}},
        Hostile{"relocation_directory_past_the_image",
                [](Patched& p) { p.write32(p.directory(5) + 4, 0xffffffff); },
                {"base relocation directory", "lies outside the image"}},
        Hostile{"relocation_outside_the_image",
                [](Patched& p) {
                    const uint32_t at = p.file_offset(p.read32(p.directory(5)));
                    p.write32(at, 0xfffff000);
                },
                {"relocated word at 0xfffff", "outside the image"}},
        Hostile{"export_names_outside_the_image",
                [](Patched& p) {
                    const uint32_t at = p.file_offset(p.read32(p.directory(0)));
                    p.write32(at + 32, 0xfffffffc);
                },
                {"export name pointer at 0xfffffffc"}},
        Hostile{"export_count_too_large",
                [](Patched& p) { p.write32(p.file_offset(p.read32(p.directory(0))) + 24, 0x7fffffff); },
                {"2147483647 names (at most 4096)"}},
        // 20,000 descriptors sharing one lookup table of 200,000 entries:
        // 4 * 10^9 imports from a 1.2 MB file.
        Hostile{"import_bomb",
                [](Patched& p) {
                    const uint32_t descriptors = 20000, entries = 200000;
                    const uint32_t rva = p.read32(p.optional_header() + 56);
                    const uint32_t table = rva + 20 * (descriptors + 1), name = table + 4 * (entries + 1);
                    std::vector<uint8_t> s(name - rva + 0x20, 0);
                    for (uint32_t d = 0; d < descriptors; ++d) {
                        put32(s, 20 * d, table);
                        put32(s, 20 * d + 12, name + 2);
                        put32(s, 20 * d + 16, table);
                    }
                    for (uint32_t k = 0; k < entries; ++k) put32(s, table - rva + 4 * k, name);
                    std::memcpy(&s[name - rva + 2], "ntoskrnl.exe", 12);
                    p.add_section(".bomb", s);
                    p.write32(p.directory(1), rva);
                    p.write32(p.directory(1) + 4, 20 * (descriptors + 1));
                },
                {"more than", "descriptors and imports for a file of"}},
        // Terminal control bytes in a name from the file are shown escaped.
        Hostile{"control_bytes_in_a_name",
                [](Patched& p) {
                    const uint32_t name = p.file_offset(p.read32(p.file_offset(p.read32(p.directory(1))) + 12));
                    std::memcpy(&p.file[name], "\x1b[2J\r\n", 6);
                },
                {"imports \\x1b[2j\\x0d\\x0a"}},
        Hostile{"empty_caller", [](Patched& p) { p.file.clear(); }, {"not a PE image"}, true},
        Hostile{"caller_of_text",
                [](Patched& p) {
                    p.file.assign(100, 'M');
                    p.file[1] = 'Z';
                },
                {"not a PE image"},
                true},
        Hostile{"caller_with_wrapping_section",
                [](Patched& p) {
                    const uint32_t s = last_section(p);
                    p.write32(s + 8, 0xfffff001);
                    p.write32(s + 12, p.read32(p.optional_header() + 56));
                },
                {"lies outside the image"},
                true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tov::sim::image::hostile_image_test

namespace tov::test::hostile_image_test_abort {

// A mutated image on which the CPU emulator's code generator aborts (found
// by the PE fuzz target): tovmem runs images in a child process and refuses
// this one in one line, instead of dying with the emulator.
TEST(HostileImage, EmulatorAbortIsOneLineAndStatusTwo) {
    expect_refused(
        std::string("run --image ") + TOV_SOURCE_DIR + "/tests/data/emulator_abort.sys --config 0x3000099 --clock 10",
        "the kernel image could not be run: the CPU emulator stopped");
}

}  // namespace tov::test::hostile_image_test_abort
