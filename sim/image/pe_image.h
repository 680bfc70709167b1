// SPDX-License-Identifier: Apache-2.0
// A kernel image laid out as the kernel's loader lays it out: an i386 PE32
// or an AMD64 PE32+ image, headers and sections at their virtual addresses,
// every base relocation applied for the chosen base, imports bound by name
// and exports found by name. Host code; nothing here executes the image.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tov::sim::image {

// A reason the image cannot be loaded or run; the message is one line.
struct ImageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Page protection a section's characteristics give it.
constexpr uint32_t prot_read = 1, prot_write = 2, prot_exec = 4;

struct Section {
    std::string name;
    uint32_t rva = 0;
    uint32_t span = 0;  // virtual size rounded up to the section alignment
    uint32_t protection = 0;
};

// The two machines an image may be built for.
constexpr uint16_t machine_i386 = 0x14c, machine_amd64 = 0x8664;

// One imported function: module!name and the IAT slot (pointer-sized) the
// loader fills.
struct Import {
    std::string module;
    std::string name;
    uint32_t iat_rva = 0;
};

struct LoadedImage {
    std::string name;                 // module name from the export directory (lower case), or ""
    uint16_t machine = machine_i386;  // i386 (PE32) or AMD64 (PE32+)
    uint64_t base = 0;                // where it is laid out
    uint64_t preferred_base = 0;      // ImageBase of the file
    uint32_t size = 0;                // SizeOfImage, page aligned
    uint32_t headers_span = 0;        // the mapped header pages
    uint32_t entry_rva = 0;           // AddressOfEntryPoint (DriverEntry)
    uint32_t relocations = 0;         // HIGHLOW (i386) or DIR64 (AMD64) fixups applied
    std::vector<uint8_t> memory;      // `size` bytes: the image as mapped at `base`
    std::vector<Section> sections;
    std::vector<Import> imports;
    std::map<std::string, uint32_t> exports;  // name -> RVA

    bool is_64_bit() const { return machine == machine_amd64; }
    uint32_t pointer_size() const { return is_64_bit() ? 8 : 4; }
    // Export address by name; ImageError when the image does not export it.
    uint64_t export_address(const std::string& name) const;
    // Section holding `va`, or nullptr.
    const Section* section_at(uint64_t va) const;
};

// File offset of the optional header's CheckSum field; ImageError when the
// file is too short to have one.
uint32_t checksum_offset(const std::vector<uint8_t>& file);

// PE checksum as the image linker writes it (the CheckSum field treated as 0).
uint32_t pe_checksum(const std::vector<uint8_t>& file);

// Checks the headers (i386 PE32 or AMD64 PE32+, a DLL unless `dll` is
// false, NT native subsystem, checksum), lays the image out at `base` (an
// i386 image below 4 GiB, an AMD64 one at a canonical address) and applies
// its relocations. Imports are listed, not bound: see bind_imports.
LoadedImage load_image(const std::vector<uint8_t>& file, uint64_t base, bool dll = true);

// The machine field of a PE file's header (machine_i386, machine_amd64 or
// another value), without loading it; ImageError when it is no PE file.
uint16_t image_machine(const std::vector<uint8_t>& file);

// Writes `address_of(module, name)` into each IAT slot. `address_of`
// throws ImageError, naming the import, for one that nothing provides.
template <typename Resolver>
void bind_imports(LoadedImage& img, Resolver address_of) {
    for (const Import& imp : img.imports) {
        const uint64_t addr = address_of(imp.module, imp.name);
        for (uint32_t i = 0; i < img.pointer_size(); ++i)
            img.memory[imp.iat_rva + i] = static_cast<uint8_t>(addr >> (8 * i));
    }
}

std::vector<uint8_t> read_file(const std::string& path);

// "0x1f": addresses and values in the runner's messages.
std::string hex(uint64_t v);

}  // namespace tov::sim::image
