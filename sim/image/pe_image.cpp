#include "sim/image/pe_image.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace tov::sim::image {
namespace {

constexpr uint16_t machine_i386 = 0x14c;
constexpr uint16_t file_executable = 0x0002;
constexpr uint16_t file_dll = 0x2000;
constexpr uint16_t pe32_magic = 0x10b;
constexpr uint16_t subsystem_native = 1;
constexpr uint32_t scn_execute = 0x20000000;
constexpr uint32_t scn_read = 0x40000000;
constexpr uint32_t scn_write = 0x80000000;
constexpr uint32_t dir_export = 0;
constexpr uint32_t dir_import = 1;
constexpr uint32_t dir_basereloc = 5;
constexpr uint32_t page = 0x1000;

uint32_t round_up(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

// Little-endian reads with bounds checks; `what` names the structure for
// the error when it lies outside the data.
struct Bytes {
    const std::vector<uint8_t>& d;
    const char* where;

    void need(uint64_t off, uint64_t n, const std::string& what) const {
        if (off + n > d.size())
            throw ImageError(std::string("malformed image: ") + what + " at " + hex(uint32_t(off)) +
                             " lies outside the " + where);
    }
    uint16_t u16(uint64_t off, const std::string& what) const {
        need(off, 2, what);
        return uint16_t(d[off] | d[off + 1] << 8);
    }
    uint32_t u32(uint64_t off, const std::string& what) const {
        need(off, 4, what);
        return uint32_t(d[off]) | uint32_t(d[off + 1]) << 8 | uint32_t(d[off + 2]) << 16 | uint32_t(d[off + 3]) << 24;
    }
    std::string str(uint64_t off, const std::string& what) const {
        std::string s;
        for (;; ++off) {
            need(off, 1, what);
            if (d[off] == 0) return s;
            if (s.size() > 255) throw ImageError("malformed image: " + what + " is not terminated");
            s += char(d[off]);
        }
    }
};

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

}  // namespace

uint32_t LoadedImage::export_address(const std::string& name) const {
    auto it = exports.find(name);
    if (it == exports.end()) throw ImageError("image does not export " + name);
    return base + it->second;
}

const Section* LoadedImage::section_at(uint32_t va) const {
    for (const Section& s : sections)
        if (va - base >= s.rva && va - base < s.rva + s.span && va >= base) return &s;
    return nullptr;
}

uint32_t checksum_offset(const std::vector<uint8_t>& file) {
    const Bytes f{file, "file"};
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') throw ImageError("not a PE image: no MZ header");
    const uint32_t at = f.u32(0x3c, "e_lfanew") + 24 + 64;
    f.need(at, 4, "CheckSum field");
    return at;
}

uint32_t pe_checksum(const std::vector<uint8_t>& file) {
    uint32_t checksum_off = 0;
    if (file.size() >= 0x40) {
        const uint32_t nt =
            uint32_t(file[0x3c]) | uint32_t(file[0x3d]) << 8 | uint32_t(file[0x3e]) << 16 | uint32_t(file[0x3f]) << 24;
        checksum_off = nt + 24 + 64;
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

LoadedImage load_image(const std::vector<uint8_t>& file, uint32_t base, bool dll) {
    const Bytes f{file, "file"};
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z') throw ImageError("not a PE image: no MZ header");
    const uint32_t nt = f.u32(0x3c, "e_lfanew");
    f.need(nt, 4, "PE signature");
    if (file[nt] != 'P' || file[nt + 1] != 'E' || file[nt + 2] != 0 || file[nt + 3] != 0)
        throw ImageError("not a PE image: no PE signature at " + hex(nt));
    const uint32_t fh = nt + 4;
    const uint16_t machine = f.u16(fh, "file header");
    if (machine != machine_i386) throw ImageError("machine " + hex(machine) + " is not i386 (0x14c)");
    const uint16_t nsections = f.u16(fh + 2, "file header");
    const uint16_t opt_size = f.u16(fh + 16, "file header");
    const uint16_t characteristics = f.u16(fh + 18, "file header");
    if (!(characteristics & file_executable) || (dll && !(characteristics & file_dll)))
        throw ImageError("image characteristics " + hex(characteristics) + " are not an executable" +
                         (dll ? " DLL" : ""));
    const uint32_t oh = fh + 20;
    if (f.u16(oh, "optional header") != pe32_magic) throw ImageError("optional header is not PE32 (magic 0x10b)");
    if (opt_size < 96) throw ImageError("optional header too short");
    const uint16_t subsystem = f.u16(oh + 68, "optional header");
    if (subsystem != subsystem_native)
        throw ImageError("subsystem " + std::to_string(subsystem) + " is not NT native (1)");
    const uint32_t checksum = f.u32(oh + 64, "optional header");
    if (checksum != pe_checksum(file))
        throw ImageError("header checksum " + hex(checksum) + " does not match the file (" + hex(pe_checksum(file)) +
                         ")");

    LoadedImage img;
    img.base = base;
    img.entry_rva = f.u32(oh + 16, "optional header");
    img.preferred_base = f.u32(oh + 28, "optional header");
    const uint32_t section_align = f.u32(oh + 32, "optional header");
    const uint32_t image_size = f.u32(oh + 56, "optional header");
    const uint32_t headers_size = f.u32(oh + 60, "optional header");
    const uint32_t ndirs = f.u32(oh + 92, "optional header");
    if (section_align < page || section_align % page)
        throw ImageError("section alignment " + hex(section_align) + " is not a multiple of the page size");
    if (base % 0x10000) throw ImageError("load base " + hex(base) + " is not 64 KiB aligned");
    if (image_size == 0 || image_size > 0x1000000)
        throw ImageError("SizeOfImage " + hex(image_size) + " is out of range");
    if (uint64_t(base) + image_size > 0x100000000ull)
        throw ImageError("image does not fit below 4 GiB at " + hex(base));
    img.size = round_up(image_size, page);
    img.memory.assign(img.size, 0);
    img.headers_span = round_up(headers_size, page);
    f.need(0, headers_size, "headers");
    if (headers_size > img.size) throw ImageError("headers are larger than the image");
    std::copy(file.begin(), file.begin() + headers_size, img.memory.begin());

    const uint32_t sh = oh + opt_size;
    for (uint32_t i = 0; i < nsections; ++i) {
        const uint32_t s = sh + 40 * i;
        f.need(s, 40, "section header");
        Section sec;
        for (int k = 0; k < 8 && file[s + k]; ++k) sec.name += char(file[s + k]);
        const uint32_t vsize = f.u32(s + 8, "section header");
        sec.rva = f.u32(s + 12, "section header");
        const uint32_t raw_size = f.u32(s + 16, "section header");
        const uint32_t raw_ptr = f.u32(s + 20, "section header");
        const uint32_t ch = f.u32(s + 36, "section header");
        sec.span = round_up(vsize ? vsize : raw_size, section_align);
        if (sec.rva % section_align || sec.rva < img.headers_span || uint64_t(sec.rva) + sec.span > img.size)
            throw ImageError("section " + sec.name + " at " + hex(sec.rva) +
                             " lies outside the image or is misaligned");
        for (const Section& o : img.sections)
            if (sec.rva < o.rva + o.span && o.rva < sec.rva + sec.span)
                throw ImageError("sections " + o.name + " and " + sec.name + " overlap");
        const uint32_t copy = raw_size < vsize || vsize == 0 ? raw_size : vsize;
        f.need(raw_ptr, copy, "section " + sec.name + " data");
        std::copy(file.begin() + raw_ptr, file.begin() + raw_ptr + copy, img.memory.begin() + sec.rva);
        sec.protection = ((ch & scn_read) ? prot_read : 0) | ((ch & scn_write) ? prot_write : 0) |
                         ((ch & scn_execute) ? prot_exec : 0);
        img.sections.push_back(sec);
    }
    if (img.entry_rva == 0 || !img.section_at(base + img.entry_rva) ||
        !(img.section_at(base + img.entry_rva)->protection & prot_exec))
        throw ImageError("entry point " + hex(img.entry_rva) + " is not in a code section");

    const Bytes m{img.memory, "image"};
    auto dir = [&](uint32_t n, uint32_t* size) {
        if (n >= ndirs) {
            *size = 0;
            return 0u;
        }
        *size = f.u32(oh + 96 + 8 * n + 4, "data directory");
        return f.u32(oh + 96 + 8 * n, "data directory");
    };

    // Base relocations: the image is linked for its preferred base; every
    // absolute address in it moves by the same delta.
    uint32_t reloc_size = 0;
    const uint32_t reloc_rva = dir(dir_basereloc, &reloc_size);
    const uint32_t delta = base - img.preferred_base;
    if (delta != 0 && reloc_size == 0)
        throw ImageError("image has no base relocations and cannot move from " + hex(img.preferred_base));
    for (uint32_t off = reloc_rva; off < reloc_rva + reloc_size;) {
        const uint32_t block_rva = m.u32(off, "relocation block");
        const uint32_t block_size = m.u32(off + 4, "relocation block");
        if (block_size < 8 || block_size % 2) throw ImageError("malformed relocation block at " + hex(off));
        for (uint32_t e = off + 8; e < off + block_size; e += 2) {
            const uint16_t entry = m.u16(e, "relocation entry");
            const uint32_t type = entry >> 12;
            const uint32_t target = block_rva + (entry & 0xfff);
            if (type == 0) continue;  // padding
            if (type != 3)
                throw ImageError("relocation type " + std::to_string(type) + " at " + hex(target) + " is not HIGHLOW");
            const uint32_t v = m.u32(target, "relocated word") + delta;
            for (int i = 0; i < 4; ++i) img.memory[target + i] = uint8_t(v >> (8 * i));
            ++img.relocations;
        }
        off += block_size;
    }

    // Imports by name only.
    uint32_t import_size = 0;
    const uint32_t import_rva = dir(dir_import, &import_size);
    for (uint32_t d = import_rva; import_size != 0; d += 20) {
        const uint32_t ilt = m.u32(d, "import descriptor");
        const uint32_t name_rva = m.u32(d + 12, "import descriptor");
        const uint32_t iat = m.u32(d + 16, "import descriptor");
        if (ilt == 0 && name_rva == 0 && iat == 0) break;
        const std::string module = lower(m.str(name_rva, "import module name"));
        const uint32_t lookup = ilt ? ilt : iat;
        for (uint32_t k = 0;; ++k) {
            const uint32_t thunk = m.u32(lookup + 4 * k, "import lookup entry");
            if (thunk == 0) break;
            if (thunk & 0x80000000u)
                throw ImageError("image imports " + module + " ordinal " + std::to_string(thunk & 0xffff) +
                                 " by ordinal; only imports by name are bound");
            m.need(iat + 4 * k, 4, "import address slot");
            img.imports.push_back({module, m.str(thunk + 2, "import name"), iat + 4 * k});
        }
    }

    uint32_t export_size = 0;
    const uint32_t export_rva = dir(dir_export, &export_size);
    if (export_size != 0) {
        img.name = lower(m.str(m.u32(export_rva + 12, "export directory"), "export module name"));
        const uint32_t nfuncs = m.u32(export_rva + 20, "export directory");
        const uint32_t nnames = m.u32(export_rva + 24, "export directory");
        const uint32_t funcs = m.u32(export_rva + 28, "export directory");
        const uint32_t names = m.u32(export_rva + 32, "export directory");
        const uint32_t ords = m.u32(export_rva + 36, "export directory");
        if (nnames > 4096 || nfuncs > 4096) throw ImageError("export directory is implausibly large");
        for (uint32_t i = 0; i < nnames; ++i) {
            const std::string name = m.str(m.u32(names + 4 * i, "export name pointer"), "export name");
            const uint16_t ord = m.u16(ords + 2 * i, "export ordinal");
            if (ord >= nfuncs) throw ImageError("export " + name + " has no address");
            img.exports[name] = m.u32(funcs + 4 * ord, "export address");
        }
    }
    return img;
}

std::string hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ImageError("cannot open kernel image " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tov::sim::image
