// SPDX-License-Identifier: Apache-2.0
#include "sim/image/pe_image.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "sim/printable.h"

namespace tov::sim::image {
namespace {

constexpr uint16_t file_relocs_stripped = 0x0001;
constexpr uint16_t file_executable = 0x0002;
constexpr uint16_t file_dll = 0x2000;
constexpr uint16_t subsystem_native = 1;
constexpr uint32_t scn_execute = 0x20000000;
constexpr uint32_t scn_read = 0x40000000;
constexpr uint32_t scn_write = 0x80000000;
constexpr uint32_t dir_export = 0;
constexpr uint32_t dir_import = 1;
constexpr uint32_t dir_basereloc = 5;
constexpr uint32_t page = 0x1000;

// Limits no kernel image comes near; past them a file is not one, and each
// bounds the work the loader does for it.
constexpr uint32_t max_sections = 96;           // the kernel's loader refuses more
constexpr uint32_t max_directories = 16;        // the PE format defines 16
constexpr uint32_t max_image_size = 0x1000000;  // 16 MiB of mapped image
constexpr size_t max_name = 256;                // import, export and module names
constexpr uint32_t max_exports = 4096;
// Every import needs an 8-byte lookup and address slot pair in a sane file,
// and every descriptor 20 bytes; descriptors that share one lookup table can
// list far more than that, so their count and the imports' together are
// bounded by the file's size.
constexpr uint64_t file_bytes_per_import = 8;

constexpr uint32_t header_size_of_file_header = 20;
constexpr uint32_t section_header_size = 40;

// All arithmetic on values from the file is done in 64 bits: two 32-bit
// values (an offset and a length) cannot wrap when added there.
uint64_t round_up(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

// Little-endian reads with bounds checks over one buffer (the file, or the
// image as laid out); `what` names the structure for the one-line error.
struct Bytes {
    const std::vector<uint8_t>& d;
    const char* where;

    bool has(uint64_t off, uint64_t n) const { return off <= d.size() && n <= d.size() - off; }
    void need(uint64_t off, uint64_t n, const std::string& what) const {
        if (!has(off, n))
            throw ImageError("malformed image: " + what + " at " + hex(off) + " (" + std::to_string(n) +
                             " bytes) lies outside the " + where);
    }
    uint16_t u16(uint64_t off, const std::string& what) const {
        need(off, 2, what);
        return uint16_t(d[off] | d[off + 1] << 8);
    }
    uint32_t u32(uint64_t off, const std::string& what) const {
        need(off, 4, what);
        return uint32_t(d[off]) | uint32_t(d[off + 1]) << 8 | uint32_t(d[off + 2]) << 16 | uint32_t(d[off + 3]) << 24;
    }
    uint64_t u64(uint64_t off, const std::string& what) const {
        return u32(off, what) | uint64_t(u32(off + 4, what)) << 32;
    }
    // A NUL-terminated name of at most max_name bytes, as stored (escape it
    // for messages).
    std::string str(uint64_t off, const std::string& what) const {
        std::string s;
        for (;; ++off) {
            need(off, 1, what);
            if (d[off] == 0) return s;
            if (s.size() >= max_name)
                throw ImageError("malformed image: " + what + " at " + hex(off - s.size()) +
                                 " is not terminated within " + std::to_string(max_name) + " bytes");
            s += char(d[off]);
        }
    }
};

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// The optional header's fields the loader uses, for PE32 (magic 0x10b) and
// PE32+ (0x20b). Their offsets from the optional header:
//                       PE32        PE32+
//   AddressOfEntryPoint  16          16
//   ImageBase            28 (4)      24 (8; no BaseOfData)
//   SectionAlignment     32          32
//   SizeOfImage          56          56
//   SizeOfHeaders        60          60
//   CheckSum             64          64
//   Subsystem            68          68
//   NumberOfRvaAndSizes  92          108 (the stack and heap sizes are 8 bytes)
//   data directories     96          112
struct Layout {
    uint16_t magic;
    uint32_t image_base_at, image_base_bytes, ndirs_at, dirs_at;
};
constexpr Layout pe32{0x10b, 28, 4, 92, 96};
constexpr Layout pe32_plus{0x20b, 24, 8, 108, 112};

struct Directory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

// The headers, each field checked to lie inside the file; nothing here is
// trusted beyond that.
struct Headers {
    uint64_t nt = 0;  // PE signature
    uint16_t machine = 0, nsections = 0, characteristics = 0;
    const Layout* layout = nullptr;
    uint64_t optional_header = 0, section_table = 0;
    uint32_t entry_rva = 0, section_align = 0, image_size = 0, headers_size = 0, checksum = 0;
    uint16_t subsystem = 0;
    uint64_t image_base = 0;
    Directory dirs[max_directories] = {};
    uint32_t ndirs = 0;
};

Headers read_headers(const std::vector<uint8_t>& file) {
    const Bytes f{file, "file"};
    Headers h;
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') throw ImageError("not a PE image: no MZ header");
    h.nt = f.u32(0x3c, "e_lfanew");
    if (!f.has(h.nt, 4) || file[h.nt] != 'P' || file[h.nt + 1] != 'E' || file[h.nt + 2] != 0 || file[h.nt + 3] != 0)
        throw ImageError("not a PE image: no PE signature at " + hex(h.nt));
    const uint64_t fh = h.nt + 4;
    h.machine = f.u16(fh, "file header");
    h.nsections = f.u16(fh + 2, "file header");
    const uint16_t opt_size = f.u16(fh + 16, "file header");
    h.characteristics = f.u16(fh + 18, "file header");
    h.optional_header = fh + header_size_of_file_header;
    const uint64_t oh = h.optional_header;
    const uint16_t magic = f.u16(oh, "optional header");
    if (magic == pe32.magic)
        h.layout = &pe32;
    else if (magic == pe32_plus.magic)
        h.layout = &pe32_plus;
    else
        throw ImageError("optional header magic " + hex(magic) + " is neither PE32 (0x10b) nor PE32+ (0x20b)");
    // The fields read below, up to the directory count, lie inside the
    // optional header the file header declares, and that inside the file.
    if (opt_size < h.layout->dirs_at)
        throw ImageError("optional header of " + std::to_string(opt_size) + " bytes is too short (at least " +
                         std::to_string(h.layout->dirs_at) + ")");
    f.need(oh, opt_size, "optional header");
    h.entry_rva = f.u32(oh + 16, "optional header");
    h.image_base = h.layout->image_base_bytes == 8 ? f.u64(oh + h.layout->image_base_at, "optional header")
                                                   : f.u32(oh + h.layout->image_base_at, "optional header");
    h.section_align = f.u32(oh + 32, "optional header");
    h.image_size = f.u32(oh + 56, "optional header");
    h.headers_size = f.u32(oh + 60, "optional header");
    h.checksum = f.u32(oh + 64, "optional header");
    h.subsystem = f.u16(oh + 68, "optional header");
    h.ndirs = f.u32(oh + h.layout->ndirs_at, "optional header");
    if (h.ndirs > max_directories)
        throw ImageError("optional header lists " + std::to_string(h.ndirs) + " data directories (at most 16)");
    if (h.layout->dirs_at + 8 * h.ndirs > opt_size)
        throw ImageError("data directories run past the optional header's " + std::to_string(opt_size) + " bytes");
    for (uint32_t i = 0; i < h.ndirs; ++i) {
        h.dirs[i].rva = f.u32(oh + h.layout->dirs_at + uint64_t{8} * i, "data directory");
        h.dirs[i].size = f.u32(oh + h.layout->dirs_at + uint64_t{8} * i + 4, "data directory");
    }
    h.section_table = oh + opt_size;
    if (h.nsections == 0 || h.nsections > max_sections)
        throw ImageError(std::to_string(h.nsections) + " sections (1 to " + std::to_string(max_sections) + ")");
    f.need(h.section_table, uint64_t(section_header_size) * h.nsections, "section table");
    return h;
}

const char* directory_name(uint32_t n) {
    switch (n) {
    case dir_export: return "export";
    case dir_import: return "import";
    case dir_basereloc: return "base relocation";
    }
    return "data";
}

}  // namespace

uint64_t LoadedImage::export_address(const std::string& name) const {
    auto it = exports.find(name);
    if (it == exports.end()) throw ImageError("image does not export " + printable(name));
    return base + it->second;
}

const Section* LoadedImage::section_at(uint64_t va) const {
    if (va < base || va - base >= size) return nullptr;
    const uint64_t rva = va - base;
    for (const Section& s : sections)
        if (rva >= s.rva && rva < uint64_t(s.rva) + s.span) return &s;
    return nullptr;
}

uint32_t checksum_offset(const std::vector<uint8_t>& file) {
    const Bytes f{file, "file"};
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') throw ImageError("not a PE image: no MZ header");
    const uint64_t at = uint64_t(f.u32(0x3c, "e_lfanew")) + 24 + 64;
    f.need(at, 4, "CheckSum field");
    return uint32_t(at);
}

uint32_t pe_checksum(const std::vector<uint8_t>& file) {
    uint64_t checksum_off = ~uint64_t(0);
    if (file.size() >= 0x40) {
        const uint32_t nt =
            uint32_t(file[0x3c]) | uint32_t(file[0x3d]) << 8 | uint32_t(file[0x3e]) << 16 | uint32_t(file[0x3f]) << 24;
        checksum_off = uint64_t(nt) + 24 + 64;
    }
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        if (i >= checksum_off && i < checksum_off + 4) continue;
        uint32_t w = file[i];
        if (i + 1 < file.size()) w |= uint32_t(file[i + 1]) << 8;
        sum += w;
        sum = (sum & 0xffff) + (sum >> 16);
    }
    sum = (sum & 0xffff) + (sum >> 16);
    return uint32_t(sum) + uint32_t(file.size());
}

uint16_t image_machine(const std::vector<uint8_t>& file) { return read_headers(file).machine; }

LoadedImage load_image(const std::vector<uint8_t>& file, uint64_t base, bool dll) {
    const Bytes f{file, "file"};
    const Headers h = read_headers(file);
    // i386 images are PE32, AMD64 images PE32+; nothing else runs.
    if (h.machine != machine_i386 && h.machine != machine_amd64)
        throw ImageError("machine " + hex(h.machine) + " is neither i386 (0x14c) nor AMD64 (0x8664)");
    const bool x64 = h.machine == machine_amd64;
    if (x64 && h.layout != &pe32_plus)
        throw ImageError("optional header of an AMD64 image is PE32 (magic 0x10b), not PE32+ (0x20b)");
    if (!x64 && h.layout != &pe32) throw ImageError("optional header is PE32+ (magic 0x20b), not PE32 (0x10b)");
    if (!(h.characteristics & file_executable) || (dll && !(h.characteristics & file_dll)))
        throw ImageError("image characteristics " + hex(h.characteristics) + " are not an executable" +
                         (dll ? " DLL" : ""));
    if (h.subsystem != subsystem_native)
        throw ImageError("subsystem " + std::to_string(h.subsystem) + " is not NT native (1)");
    if (const uint32_t sum = pe_checksum(file); h.checksum != sum)
        throw ImageError("header checksum " + hex(h.checksum) + " does not match the file (" + hex(sum) + ")");

    // The mapped image: SizeOfImage bytes (page aligned) at `base`: below
    // 4 GiB for i386, inside one canonical half of the 48-bit address space
    // for AMD64.
    if (h.section_align < page || h.section_align % page || h.section_align > max_image_size)
        throw ImageError("section alignment " + hex(h.section_align) + " is not a multiple of the page size");
    if (base % 0x10000) throw ImageError("load base " + hex(base) + " is not 64 KiB aligned");
    if (h.image_size == 0 || h.image_size > max_image_size)
        throw ImageError("SizeOfImage " + hex(h.image_size) + " is out of range (1 to " + hex(max_image_size) + ")");
    LoadedImage img;
    img.machine = h.machine;
    img.base = base;
    img.entry_rva = h.entry_rva;
    img.preferred_base = h.image_base;
    img.size = uint32_t(round_up(h.image_size, page));  // at most max_image_size
    if (!x64 && base + img.size > 0x100000000ull) throw ImageError("image does not fit below 4 GiB at " + hex(base));
    constexpr uint64_t low_half_end = 0x0000800000000000ull, high_half = 0xffff800000000000ull;
    if (x64 && !(base + img.size <= low_half_end || (base >= high_half && base + img.size > base)))
        throw ImageError("image at " + hex(base) + " does not lie in canonical addresses");

    // The headers: from the file's start to past the section table, inside
    // the file and the image, mapped on pages of their own before the first
    // section.
    const uint64_t headers_end = h.section_table + uint64_t(section_header_size) * h.nsections;
    if (h.headers_size < headers_end || h.headers_size > file.size() || h.headers_size > img.size)
        throw ImageError("SizeOfHeaders " + hex(h.headers_size) + " must cover the headers (" + hex(headers_end) +
                         " bytes) and lie inside the file (" + hex(file.size()) + ") and the image (" + hex(img.size) +
                         ")");
    img.headers_span = uint32_t(round_up(h.headers_size, page));  // at most img.size
    img.memory.assign(img.size, 0);
    std::copy(file.begin(), file.begin() + h.headers_size, img.memory.begin());

    // Sections: each a non-empty, aligned span inside the image past the
    // headers, overlapping no other; its file data inside the file and no
    // longer than the span.
    for (uint32_t i = 0; i < h.nsections; ++i) {
        const uint64_t s = h.section_table + uint64_t(section_header_size) * i;  // inside the file: read_headers
        Section sec;
        std::string raw_name;
        for (int k = 0; k < 8 && file[s + k]; ++k) raw_name += char(file[s + k]);
        sec.name = printable(raw_name);
        const uint32_t vsize = f.u32(s + 8, "section header");
        sec.rva = f.u32(s + 12, "section header");
        const uint32_t raw_size = f.u32(s + 16, "section header");
        const uint32_t raw_ptr = f.u32(s + 20, "section header");
        const uint32_t ch = f.u32(s + 36, "section header");
        const uint64_t span = round_up(vsize ? vsize : raw_size, h.section_align);
        if (span == 0) throw ImageError("section " + sec.name + " at " + hex(sec.rva) + " is empty (no size)");
        if (sec.rva % h.section_align || sec.rva < img.headers_span || sec.rva + span > img.size)
            throw ImageError("section " + sec.name + " at " + hex(sec.rva) + " of " + hex(span) +
                             " bytes lies outside the image (" + hex(img.headers_span) + " to " + hex(img.size) +
                             ") or is misaligned");
        sec.span = uint32_t(span);  // below img.size
        for (const Section& o : img.sections)
            if (sec.rva < uint64_t(o.rva) + o.span && o.rva < uint64_t(sec.rva) + sec.span)
                throw ImageError("sections " + o.name + " and " + sec.name + " overlap");
        // The bytes copied: the file data, cut to the virtual size; at most
        // the span, which lies inside the image.
        const uint32_t copy = vsize == 0 ? raw_size : std::min(raw_size, vsize);
        f.need(raw_ptr, copy, "section " + sec.name + " data");
        std::copy(file.begin() + raw_ptr, file.begin() + raw_ptr + copy, img.memory.begin() + sec.rva);
        sec.protection = ((ch & scn_read) ? prot_read : 0) | ((ch & scn_write) ? prot_write : 0) |
                         ((ch & scn_execute) ? prot_exec : 0);
        img.sections.push_back(sec);
    }
    const Section* entry = img.entry_rva ? img.section_at(base + img.entry_rva) : nullptr;
    if (!entry || !(entry->protection & prot_exec))
        throw ImageError("entry point " + hex(img.entry_rva) + " is not in a code section");

    // The directories used lie inside the image; every table they lead to
    // is read through `m`, which checks it lies inside the image too.
    const Bytes m{img.memory, "image"};
    auto dir = [&](uint32_t n) {
        const Directory d = n < h.ndirs ? h.dirs[n] : Directory{};
        if (d.size != 0 && uint64_t(d.rva) + d.size > img.size)
            throw ImageError(std::string(directory_name(n)) + " directory at " + hex(d.rva) + " of " + hex(d.size) +
                             " bytes lies outside the image (" + hex(img.size) + ")");
        return d;
    };

    // Base relocations: the image is linked for its preferred base; every
    // absolute address in it moves by the same delta. Each block lies inside
    // the directory, and the walk advances by the block's size (at least 8)
    // to the directory's end.
    const Directory reloc = dir(dir_basereloc);
    const uint64_t delta = base - img.preferred_base;  // modulo 2^64, and 2^32 on i386
    // An image without relocations moves unless its header says they were
    // stripped, as the kernel's loader decides: x64 code reaches its data
    // and imports RIP-relative, so a small driver may need none at all.
    if (delta != 0 && reloc.size == 0 && (h.characteristics & file_relocs_stripped))
        throw ImageError("image has no base relocations and cannot move from " + hex(img.preferred_base));
    const uint64_t reloc_end = uint64_t(reloc.rva) + reloc.size;
    for (uint64_t off = reloc.rva; reloc.size != 0 && off < reloc_end;) {
        if (reloc_end - off < 8) throw ImageError("relocation block at " + hex(off) + " is cut off by the directory");
        const uint32_t block_rva = m.u32(off, "relocation block");
        const uint32_t block_size = m.u32(off + 4, "relocation block");
        if (block_size < 8 || block_size % 2 || block_size > reloc_end - off)
            throw ImageError("relocation block at " + hex(off) + " has size " + hex(block_size) +
                             " (even, at least 8, inside the directory)");
        for (uint64_t e = off + 8; e < off + block_size; e += 2) {
            const uint16_t entry_word = m.u16(e, "relocation entry");
            const uint32_t type = entry_word >> 12;
            const uint64_t target = uint64_t(block_rva) + (entry_word & 0xfff);
            if (type == 0) continue;  // padding
            // HIGHLOW (3) moves a 32-bit address of an i386 image, DIR64 (10)
            // a 64-bit one of an AMD64 image.
            if (!x64 && type != 3)
                throw ImageError("relocation type " + std::to_string(type) + " at " + hex(target) + " is not HIGHLOW");
            if (x64 && type != 10)
                throw ImageError("relocation type " + std::to_string(type) + " at " + hex(target) + " is not DIR64");
            if (x64) {
                const uint64_t v = m.u64(target, "relocated address") + delta;
                for (int i = 0; i < 8; ++i) img.memory[target + i] = uint8_t(v >> (8 * i));
            } else {
                const uint32_t v = m.u32(target, "relocated word") + uint32_t(delta);
                for (int i = 0; i < 4; ++i) img.memory[target + i] = uint8_t(v >> (8 * i));
            }
            ++img.relocations;
        }
        off += block_size;
    }

    // Imports by name only. The descriptors lie inside the directory; the
    // descriptors and imports listed are bounded by the file's size.
    const Directory imports = dir(dir_import);
    const uint64_t max_listed = file.size() / file_bytes_per_import;
    uint64_t listed = 0;
    auto count = [&] {
        if (++listed > max_listed)
            throw ImageError("import directory lists more than " + std::to_string(max_listed) +
                             " descriptors and imports for a file of " + std::to_string(file.size()) + " bytes");
    };
    const uint64_t imports_end = uint64_t(imports.rva) + imports.size;
    for (uint64_t d = imports.rva; imports.size != 0 && d + 20 <= imports_end; d += 20) {
        count();
        const uint32_t ilt = m.u32(d, "import descriptor");
        const uint32_t name_rva = m.u32(d + 12, "import descriptor");
        const uint32_t iat = m.u32(d + 16, "import descriptor");
        if (ilt == 0 && name_rva == 0 && iat == 0) break;
        const std::string module = lower(m.str(name_rva, "import module name"));
        const uint32_t lookup = ilt ? ilt : iat;
        // Lookup entries and address slots are pointer-sized; the top bit
        // marks an import by ordinal, the low 31 bits the name's RVA.
        const uint32_t slot = img.pointer_size();
        for (uint64_t k = 0;; ++k) {
            const uint64_t thunk =
                x64 ? m.u64(lookup + slot * k, "import lookup entry") : m.u32(lookup + slot * k, "import lookup entry");
            if (thunk == 0) break;
            count();
            if (thunk >> (8 * slot - 1))
                throw ImageError("image imports " + printable(module) + " ordinal " + std::to_string(thunk & 0xffff) +
                                 " by ordinal; only imports by name are bound");
            if (thunk > 0x7fffffff)
                throw ImageError("import lookup entry " + hex(thunk) + " of " + printable(module) +
                                 " is no name's RVA");
            m.need(iat + slot * k, slot, "import address slot");
            img.imports.push_back({module, m.str(thunk + 2, "import name"), uint32_t(iat + slot * k)});
        }
    }

    // Exports: at most max_exports names and addresses, every table inside
    // the image.
    const Directory exports = dir(dir_export);
    if (exports.size != 0) {
        const uint64_t e = exports.rva;
        img.name = lower(m.str(m.u32(e + 12, "export directory"), "export module name"));
        const uint32_t nfuncs = m.u32(e + 20, "export directory");
        const uint32_t nnames = m.u32(e + 24, "export directory");
        const uint64_t funcs = m.u32(e + 28, "export directory");
        const uint64_t names = m.u32(e + 32, "export directory");
        const uint64_t ords = m.u32(e + 36, "export directory");
        if (nnames > max_exports || nfuncs > max_exports)
            throw ImageError("export directory lists " + std::to_string(nfuncs) + " functions and " +
                             std::to_string(nnames) + " names (at most " + std::to_string(max_exports) + ")");
        for (uint64_t i = 0; i < nnames; ++i) {
            const std::string name = m.str(m.u32(names + 4 * i, "export name pointer"), "export name");
            const uint16_t ord = m.u16(ords + 2 * i, "export ordinal");
            if (ord >= nfuncs) throw ImageError("export " + printable(name) + " has no address");
            img.exports[name] = m.u32(funcs + uint64_t{4} * ord, "export address");
        }
    }
    return img;
}

std::string hex(uint64_t v) {
    char buf[24];
    (void)std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));  // fits: 18 characters
    return buf;
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ImageError("cannot open kernel image " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tov::sim::image
