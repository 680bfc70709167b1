// SPDX-License-Identifier: Apache-2.0
// The shipped kernel image, and patched copies of it for the loader's and
// the runner's refusals.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "sim/image/image_runner.h"

namespace tov::sim::image {

inline const std::vector<uint8_t>& shipped_image() {
    static const std::vector<uint8_t> file = read_file(TOV_KERNEL_IMAGE);
    return file;
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
    // A section of its own holding `data`, placed at SizeOfImage and at the
    // end of the file; returns its RVA.
    uint32_t add_section(const char* name, const std::vector<uint8_t>& data, uint32_t characteristics = 0xc0000040) {
        const uint32_t oh = optional_header();
        const uint32_t align = read32(oh + 32), falign = read32(oh + 36);
        const uint32_t rva = read32(oh + 56);
        const uint32_t raw = uint32_t((file.size() + falign - 1) / falign * falign);
        const uint32_t size = uint32_t((data.size() + falign - 1) / falign * falign);
        const uint32_t sh = section_headers() + 40 * section_count();
        EXPECT_LE(sh + 40, read32(oh + 60)) << "no room for another section header";
        std::memset(&file[sh], 0, 40);
        std::memcpy(&file[sh], name, std::min<size_t>(8, std::strlen(name)));
        write32(sh + 8, size);
        write32(sh + 12, rva);
        write32(sh + 16, size);
        write32(sh + 20, raw);
        write32(sh + 36, characteristics);
        write16(nt() + 6, uint16_t(section_count() + 1));
        write32(oh + 56, rva + (size + align - 1) / align * align);
        file.resize(raw, 0);
        file.insert(file.end(), data.begin(), data.end());
        file.resize(raw + size, 0);
        return rva;
    }
    // Section header i and data directory n, as file offsets.
    uint32_t section_header(uint32_t i) const { return section_headers() + 40 * i; }
    uint32_t directory(uint32_t n) const { return optional_header() + 96 + 8 * n; }
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

}  // namespace tov::sim::image
