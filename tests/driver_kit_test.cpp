// SPDX-License-Identifier: Apache-2.0
// What a capture-driver team receives: the shipped images' debug and
// release facts (CodeView entry matching the PDB, no COFF symbols, version
// resource, time stamp), the PDBs' contents, the test-signed copies, the
// import tables of callers linked against each import library, and the
// release archive with both architectures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "include/tovmem.h"
#include "sim/image/image_runner.h"
#include "sim/image/sweep.h"
#include "tests/kernel_builds.h"
#include "tests/tovmem_process.h"

namespace tov::test::driver_kit_test {
namespace {

using sim::image::hex;

uint32_t u32(const std::vector<uint8_t>& f, size_t off) {
    uint32_t v = 0;
    if (off + 4 <= f.size()) std::memcpy(&v, &f[off], 4);
    return v;
}
uint16_t u16(const std::vector<uint8_t>& f, size_t off) {
    uint16_t v = 0;
    if (off + 2 <= f.size()) std::memcpy(&v, &f[off], 2);
    return v;
}

// Header fields read straight from the file.
struct PeFacts {
    uint32_t time_stamp = 0, symbol_table = 0, symbols = 0;
    uint16_t dll_characteristics = 0;
    std::string pdb_guid;  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} of the CodeView entry, "" without one
    uint32_t pdb_age = 0;
    std::string pdb_name;
    uint32_t debug_time_stamp = 0;
};

// File offset of data directory `n`: after 96 bytes of the PE32 optional
// header, 112 of the PE32+ one.
uint32_t directory_at(const std::vector<uint8_t>& f, uint32_t n) {
    const uint32_t oh = u32(f, 0x3c) + 24;
    return oh + (u16(f, oh) == 0x20b ? 112 : 96) + 8 * n;
}

PeFacts pe_facts(const std::vector<uint8_t>& f) {
    PeFacts p;
    const uint32_t nt = u32(f, 0x3c), fh = nt + 4, oh = fh + 20;
    p.time_stamp = u32(f, fh + 4);
    p.symbol_table = u32(f, fh + 8);
    p.symbols = u32(f, fh + 12);
    p.dll_characteristics = u16(f, oh + 70);
    const uint32_t debug_rva = u32(f, directory_at(f, 6)), debug_size = u32(f, directory_at(f, 6) + 4);
    const sim::image::LoadedImage img = sim::image::load_image(f, 0x10000000, false);
    for (uint32_t e = debug_rva; debug_size && e + 28 <= debug_rva + debug_size; e += 28) {
        if (u32(img.memory, e + 12) != 2) continue;  // IMAGE_DEBUG_TYPE_CODEVIEW
        p.debug_time_stamp = u32(img.memory, e + 4);
        const uint32_t at = u32(img.memory, e + 20);
        if (std::memcmp(&img.memory[at], "RSDS", 4) != 0) continue;
        const uint8_t* g = &img.memory[at + 4];
        char buf[64];
        std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", u32(img.memory, at + 4),
                      u16(img.memory, at + 8), u16(img.memory, at + 10), g[8], g[9], g[10], g[11], g[12], g[13], g[14],
                      g[15]);
        p.pdb_guid = buf;
        p.pdb_age = u32(img.memory, at + 20);
        p.pdb_name = reinterpret_cast<const char*>(&img.memory[at + 24]);
    }
    return p;
}

// "Key: value" of llvm-pdbutil's output.
std::string pdb_field(const std::string& text, const std::string& key) {
    const size_t at = text.find("  " + key + ": ");
    if (at == std::string::npos) return "";
    const size_t from = at + key.size() + 4;
    return text.substr(from, text.find('\n', from) - from);
}

std::string pdbutil(const std::string& args) { return run_shell(std::string(TOV_PDBUTIL) + " " + args).out; }

bool contains_utf16(const std::vector<uint8_t>& mem, const std::string& s) {
    std::vector<uint8_t> w;
    for (char c : s) w.insert(w.end(), {uint8_t(c), 0});
    return std::search(mem.begin(), mem.end(), w.begin(), w.end()) != mem.end();
}

// The two shipped images, x86 and x64, with their PDBs.
struct Shipped {
    const char* arch;
    const char* image;
    const char* pdb;
};
const Shipped shipped[] = {{"x86", TOV_KERNEL_IMAGE, TOV_KERNEL_PDB},
                           {"x64", TOV_KERNEL_IMAGE_X64, TOV_KERNEL_PDB_X64}};
void PrintTo(const Shipped& s, std::ostream* os) { *os << s.arch; }

class ShippedImage : public ::testing::TestWithParam<Shipped> {
protected:
    void SetUp() override {
        TOV_REQUIRE_BUILD(GetParam().image);
        ASSERT_FALSE(std::string(TOV_PDBUTIL).empty()) << "llvm-pdbutil not found";
        image_ = GetParam().image;
        pdb_ = GetParam().pdb;
        x64_ = std::string(GetParam().arch) == "x64";
    }
    std::string image_, pdb_;
    bool x64_ = false;
};

INSTANTIATE_TEST_SUITE_P(Arch, ShippedImage, ::testing::ValuesIn(shipped),
                         [](const auto& info) { return std::string(info.param.arch); });

TEST_P(ShippedImage, CodeViewEntryMatchesThePdb) {
    const PeFacts p = pe_facts(file_bytes(image_));
    const std::string summary = pdbutil("dump -summary " + pdb_);
    ASSERT_FALSE(p.pdb_guid.empty()) << "no CodeView debug directory entry";
    EXPECT_EQ(p.pdb_guid, pdb_field(summary, "GUID"));
    EXPECT_EQ(std::to_string(p.pdb_age), pdb_field(summary, "Age"));
    std::printf("%s tovmem.sys CodeView entry %s age %u -> %s; tovmem.pdb %s age %s\n", GetParam().arch,
                p.pdb_guid.c_str(), p.pdb_age, p.pdb_name.c_str(), pdb_field(summary, "GUID").c_str(),
                pdb_field(summary, "Age").c_str());
    // The name WinDbg looks for next to the image or on the symbol path.
    EXPECT_EQ(p.pdb_name, "tovmem.pdb");
    EXPECT_EQ(pdb_field(summary, "Has Types"), "true");
    EXPECT_EQ(pdb_field(summary, "Has Debug Info"), "true");
}

TEST_P(ShippedImage, PdbHasTypesLinesFrameDataAndTheEntryAtItsExport) {
    const std::string& pdb = pdb_;
    // The record's size as the compiler laid it out: 60 bytes on x86, 64 on x64.
    const std::string types = pdbutil("dump -types " + pdb);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(types, m,
                                  std::regex("`MemInitParams`\n[^\n]*\n[^\n]*field list: 0x[0-9A-F]+\n[^\n]*sizeof "
                                             "([0-9]+)")))
        << "no complete MemInitParams type";
    EXPECT_EQ(m[1].str(), x64_ ? "64" : "60");
    // Line tables name the sources below the fixed root, whatever the checkout's path.
    const std::string lines = pdbutil("dump -l " + pdb);
    EXPECT_NE(lines.find("C:\\tovmem\\src\\meminit\\entry\\dispatch.cpp"), std::string::npos);
    EXPECT_EQ(lines.find(TOV_SOURCE_DIR), std::string::npos) << "the PDB names the checkout's own path";
    if (x64_) {
        // x64 frames unwind through .pdata/.xdata, not through frame data.
        EXPECT_NE(pdbutil("dump -section-headers " + pdb).find(".pdata"), std::string::npos);
    } else {
        const std::string fpo = pdbutil("dump -fpo " + pdb);
        EXPECT_NE(fpo.find("New FPO Data"), std::string::npos);
        EXPECT_NE(fpo.find("$T0 .raSearch"), std::string::npos) << "no frame data programs";
    }

    // S_GPROC32 `tov_mem_init` ... addr = SSSS:OOOO (decimal), against the export.
    const std::string syms = pdbutil("dump -symbols " + pdb);
    const size_t at = syms.find("S_GPROC32 [size = ");
    const size_t proc = syms.find("`tov_mem_init`", at);
    ASSERT_NE(proc, std::string::npos) << "no procedure symbol for tov_mem_init";
    const size_t addr = syms.find("addr = ", proc);
    ASSERT_NE(addr, std::string::npos);
    unsigned section = 0, offset = 0;
    ASSERT_EQ(std::sscanf(syms.c_str() + addr, "addr = %u:%u", &section, &offset), 2);
    const sim::image::LoadedImage img = sim::image::load_image(file_bytes(image_), 0x10000000);
    ASSERT_GE(section, 1u);
    ASSERT_LE(section, img.sections.size());
    EXPECT_EQ(img.sections[section - 1].rva + offset, img.exports.at("tov_mem_init"));
}

TEST_P(ShippedImage, VersionResourceTimeStampAndNoSymbolTable) {
    const std::vector<uint8_t>& f = file_bytes(image_);
    const PeFacts p = pe_facts(f);
    EXPECT_EQ(p.symbol_table, 0u);
    EXPECT_EQ(p.symbols, 0u);
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) EXPECT_EQ(std::to_string(p.time_stamp), epoch);
    EXPECT_GT(p.time_stamp, 1577836800u) << "time stamp before 2020: not set from the sources";
    EXPECT_EQ(p.debug_time_stamp, p.time_stamp);

    const sim::image::LoadedImage img = sim::image::load_image(f, 0x10000000);
    const sim::image::Section* rsrc = nullptr;
    for (const auto& s : img.sections)
        if (s.name == ".rsrc") rsrc = &s;
    ASSERT_NE(rsrc, nullptr) << "no resource section";
    EXPECT_EQ(rsrc->protection, sim::image::prot_read);
    const std::vector<uint8_t> res(img.memory.begin() + rsrc->rva, img.memory.begin() + rsrc->rva + rsrc->span);
    EXPECT_TRUE(contains_utf16(res, "VS_VERSION_INFO"));
    for (const char* s : {"OriginalFilename", "tovmem.sys", "ProductVersion", TOV_VERSION, "CompanyName", "tov project",
                          "LegalCopyright", "Apache License, Version 2.0"})
        EXPECT_TRUE(contains_utf16(res, s)) << s;
    // FILEVERSION in VS_FIXEDFILEINFO: major.minor in the high word pair.
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(TOV_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
    const uint32_t sig = 0xfeef04bd;
    const auto fixed = std::search(res.begin(), res.end(), reinterpret_cast<const uint8_t*>(&sig),
                                   reinterpret_cast<const uint8_t*>(&sig) + 4);
    ASSERT_NE(fixed, res.end());
    const size_t fo = size_t(fixed - res.begin());
    EXPECT_EQ(u32(res, fo + 8), major << 16 | minor);
    // The fourth part is the build number: the commit count of the sources.
    EXPECT_EQ(u32(res, fo + 12), patch << 16 | TOV_BUILD_NUMBER);
    EXPECT_EQ(u32(res, fo + 16), major << 16 | minor) << "PRODUCTVERSION";
    // The public header is where the version lives: its numbers are the image's.
    EXPECT_EQ(u32(res, fo + 8), unsigned(TOVMEM_VERSION_MAJOR) << 16 | TOVMEM_VERSION_MINOR) << "header vs FILEVERSION";
    EXPECT_EQ(u32(res, fo + 12) >> 16, unsigned(TOVMEM_VERSION_PATCH)) << "header vs FILEVERSION";
    EXPECT_EQ(u32(res, fo + 20) >> 16, unsigned(TOVMEM_VERSION_PATCH)) << "header vs PRODUCTVERSION";
    EXPECT_TRUE(contains_utf16(res, std::to_string(TOVMEM_VERSION_MAJOR) + "." + std::to_string(TOVMEM_VERSION_MINOR) +
                                        "." + std::to_string(TOVMEM_VERSION_PATCH)))
        << "header vs the ProductVersion string";
}

TEST(KernelImages, NoSymbolTableNxAndDynamicBase) {
    for (const KernelBuild& b : kernel_builds) {
        if (std::string(b.image).empty()) continue;
        for (const char* path : {b.image, b.caller}) {
            const PeFacts p = pe_facts(file_bytes(path));
            EXPECT_EQ(p.symbols, 0u) << path;
            EXPECT_TRUE(p.dll_characteristics & 0x0100) << path << ": NX compatible";
            EXPECT_TRUE(p.dll_characteristics & 0x0040) << path << ": dynamic base";
            if (std::string(b.arch) == "x64")
                EXPECT_TRUE(p.dll_characteristics & 0x0020) << path << ": high-entropy VA";
            const sim::image::LoadedImage img = sim::image::load_image(file_bytes(path), 0x10000000, false);
            for (const auto& s : img.sections)
                EXPECT_FALSE((s.protection & sim::image::prot_write) && (s.protection & sim::image::prot_exec))
                    << path << ": " << s.name << " is writable and executable";
        }
    }
}

// A caller linked by its own toolchain against its own import library
// imports exactly tovmem.sys!tov_mem_init.
TEST(ImportLibraries, CallersImportExactlyTovMemInit) {
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE);
    int checked = 0;
    for (const KernelBuild& b : kernel_builds) {
        if (std::string(b.caller).empty()) continue;
        const sim::image::LoadedImage img = sim::image::load_image(file_bytes(b.caller), 0x10000000, false);
        std::set<std::string> imports;
        for (const auto& i : img.imports) imports.insert(i.module + "!" + i.name);
        EXPECT_EQ(imports, (std::set<std::string>{"tovmem.sys!tov_mem_init"})) << b.name << " caller";
        std::string listed;
        for (const std::string& i : imports) listed += " " + i;
        std::printf("%s capture driver (%s) imports:%s\n", b.name,
                    std::string(b.name) == "gcc" ? "mingw ld, libtovmem.a" : "lld-link, tovmem.lib", listed.c_str());
        ++checked;
    }
    EXPECT_GE(checked, 1);
}

TEST_P(ShippedImage, TestSignedCopyVerifiesLoadsAndRunsAsTheImage) {
    // Both signed copies are made in the x86 tree, with its one certificate.
    const std::filesystem::path dir = std::filesystem::path(TOV_KERNEL_IMAGE).parent_path();
    const std::string signed_image = (dir / "test-signed" / GetParam().arch / "tovmem.sys").string();
    const Outcome v = run_shell(std::string(TOV_OSSLSIGNCODE) + " verify -CAfile '" +
                                (dir / "test-signing.crt").string() + "' -in '" + signed_image + "'");
    EXPECT_EQ(v.status, 0) << v.out << v.err;
    EXPECT_NE(v.out.find("Signature verification: ok"), std::string::npos) << v.out;

    const std::vector<uint8_t>& s = file_bytes(signed_image);
    const std::vector<uint8_t>& u = file_bytes(image_);
    ASSERT_GT(s.size(), u.size());
    const uint32_t oh = u32(s, 0x3c) + 24;
    EXPECT_NE(u32(s, directory_at(s, 4) + 4), 0u) << "no certificate table";
    EXPECT_EQ(u32(s, oh + 64), sim::image::pe_checksum(s)) << "checksum not valid after signing";
    // The loader checks the checksum; the signed image behaves as the unsigned.
    sim::image::ImageRunner a(s), b(u);
    for (const sim::RunRequest& r : {sim::image::request(0x3000099, 10), sim::image::request(0x24, 1, 2)})
        EXPECT_EQ(sim::image::first_difference(b.run(r), a.run(r)), "");
}

TEST(ReleaseArchive, HoldsTheKitOfBothArchitectures) {
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE);
    ASSERT_TRUE(std::filesystem::exists(TOV_KIT_ARCHIVE))
        << "not packaged: " << TOV_KIT_ARCHIVE << "; " << how_to_build(TOV_KIT_ARCHIVE);
    const std::filesystem::path tmp =
        std::filesystem::path(::testing::TempDir()) / ("tovmem_kit_" + std::to_string(getpid()));
    std::filesystem::remove_all(tmp);
    std::filesystem::create_directories(tmp);
    const Outcome x = run_shell("cd '" + tmp.string() + "' && cmake -E tar xf '" + TOV_KIT_ARCHIVE + "'");
    ASSERT_EQ(x.status, 0) << x.err;
    const std::filesystem::path kit = tmp / ("tovmem-" + std::string(TOV_VERSION));
    std::set<std::string> files, sources;
    for (const auto& e : std::filesystem::recursive_directory_iterator(kit))
        if (e.is_regular_file()) {
            const std::string rel = std::filesystem::relative(e.path(), kit).string();
            (rel.rfind("src/", 0) == 0 ? sources : files).insert(rel);
        }
    // src/: the library's sources as the repository holds them, for the
    // debugger's source path.
    std::set<std::string> repository_sources;
    for (const char* dir : {"meminit", "platform", "include"})
        for (const auto& e : std::filesystem::recursive_directory_iterator(std::filesystem::path(TOV_SOURCE_DIR) / dir))
            if (e.is_regular_file())
                repository_sources.insert("src/" +
                                          std::filesystem::relative(e.path(), TOV_SOURCE_DIR).generic_string());
    const std::string stale = std::string("the release archive ") + TOV_KIT_ARCHIVE +
                              " is older than the sources: run `cpack` in build/kernel (after `cmake --build --preset "
                              "kernel`)";
    EXPECT_EQ(sources, repository_sources) << stale;
    for (const std::string& f : sources)
        EXPECT_TRUE(sim::image::read_file((kit / f).string()) ==
                    sim::image::read_file((std::filesystem::path(TOV_SOURCE_DIR) / f.substr(4)).string()))
            << f << " differs: " << stale;
    // Every source file a PDB names is in src/, below the PDBs' fixed root.
    for (const char* pdb : {"x86/tovmem.pdb", "x64/tovmem.pdb", "x86/diag/tovmem.pdb", "x64/diag/tovmem.pdb"}) {
        const std::string dump = pdbutil("dump -files '" + (kit / pdb).string() + "'");
        const std::regex named(R"(\) ([^\r\n]+))");
        size_t count = 0;
        for (auto m = std::sregex_iterator(dump.begin(), dump.end(), named); m != std::sregex_iterator(); ++m) {
            std::string name = (*m)[1];
            ASSERT_EQ(name.rfind("C:\\tovmem\\src\\", 0), 0u) << pdb << " names " << name;
            name = name.substr(10);
            std::replace(name.begin(), name.end(), '\\', '/');
            EXPECT_EQ(sources.count(name), 1u) << pdb << " names " << name << ", not in the kit";
            ++count;
        }
        EXPECT_GT(count, 15u) << pdb;
    }
    EXPECT_EQ(files, (std::set<std::string>{"README.txt",
                                            "LICENSE",
                                            "SHA256SUMS",
                                            "include/tovmem.h",
                                            "x86/tovmem.sys",
                                            "x86/tovmem.pdb",
                                            "x86/tovmem.lib",
                                            "x86/libtovmem.a",
                                            "x86/test-signed/tovmem.sys",
                                            "x86/test-signed/tovmem-test.cer",
                                            "x64/tovmem.sys",
                                            "x64/tovmem.pdb",
                                            "x64/tovmem.lib",
                                            "x64/test-signed/tovmem.sys",
                                            "x64/test-signed/tovmem-test.cer",
                                            "x86/diag/tovmem.sys",
                                            "x86/diag/tovmem.pdb",
                                            "x86/diag/test-signed/tovmem.sys",
                                            "x86/diag/test-signed/tovmem-test.cer",
                                            "x64/diag/tovmem.sys",
                                            "x64/diag/tovmem.pdb",
                                            "x64/diag/test-signed/tovmem.sys",
                                            "x64/diag/test-signed/tovmem-test.cer",
                                            "examples/capture_driver/capture.c",
                                            "examples/capture_driver/capture.h",
                                            "examples/capture_driver/capture.def",
                                            "examples/capture_driver/capture.inf",
                                            "examples/capture_driver/CMakeLists.txt",
                                            "examples/capture_driver/cmake/clang-cl-i686.cmake",
                                            "examples/capture_driver/cmake/clang-cl-x86_64.cmake",
                                            "cmake/clang-cl.cmake",
                                            "cmake/clang-cl-i686.cmake",
                                            "cmake/clang-cl-x86_64.cmake",
                                            "tools/pe_checksum/pe_checksum.c",
                                            "tools/pe_checksum/pe_checksum.h",
                                            "tools/pe_checksum/CMakeLists.txt",
                                            "tools/tovmem.exe",
                                            "docs/configurations.md",
                                            "docs/troubleshooting.md",
                                            "docs/call-times.md",
                                            "docs/tovmem_sample_report.html"}));
    // Apache-2.0 asks that recipients get a copy of the license: the
    // project's own, at the kit's root.
    EXPECT_TRUE(sim::image::read_file((kit / "LICENSE").string()) ==
                sim::image::read_file(std::string(TOV_SOURCE_DIR) + "/LICENSE"));
    // (The INF as the build stamped it: its own test compares it with the repository's.)
    EXPECT_TRUE(
        sim::image::read_file((kit / "examples/capture_driver/capture.inf").string()) ==
        sim::image::read_file((std::filesystem::path(TOV_KERNEL_IMAGE).parent_path() / "capture.inf").string()));
    for (const char* f :
         {"cmake/clang-cl.cmake", "tools/pe_checksum/pe_checksum.c", "docs/call-times.md", "docs/troubleshooting.md"})
        EXPECT_TRUE(sim::image::read_file((kit / f).string()) ==
                    sim::image::read_file(std::string(TOV_SOURCE_DIR) + "/" + f))
            << f;
    // tovmem.exe: the Windows tool built here, for x64, needing no DLL that
    // a stock Windows lacks (its C runtime and libstdc++ linked in).
    EXPECT_TRUE(sim::image::read_file((kit / "tools/tovmem.exe").string()) == file_bytes(TOV_WINDOWS_TOOL));
    const Outcome tool_imports =
        run_shell("llvm-readobj-14 --file-headers --coff-imports '" + (kit / "tools/tovmem.exe").string() +
                  "' | grep -E '^ *(Name|Machine):' | tr -s ' \\n' ' '");
    EXPECT_EQ(tool_imports.out, " Machine: IMAGE_FILE_MACHINE_AMD64 (0x8664) Name: KERNEL32.dll Name: msvcrt.dll ")
        << "tools/tovmem.exe";
    // The sample builds from the unpacked kit alone, with the kit's build
    // file and toolchain files, for both architectures, by the lines the
    // kit README gives, run as written from the kit's root; Release unless
    // told otherwise; the kit's host program gives it a valid checksum, as
    // the loader needs.
    const std::string readme_text = run_shell("cat '" + (kit / "README.txt").string() + "'").out;
    std::map<std::string, std::string> build_lines;
    {
        std::istringstream in(readme_text);
        std::string line;
        const std::regex sample_line(R"(^\s+(cmake -S examples/capture_driver -B (build-(x64|x86)) .*\S)\s*$)");
        std::smatch m;
        while (std::getline(in, line))
            if (std::regex_match(line, m, sample_line)) build_lines[m[3]] = m[1];
    }
    ASSERT_EQ(build_lines.size(), 2u) << "the README's two sample build lines";
    for (const auto& [arch, line] : build_lines) {
        const std::string out = (kit / ("build-" + arch)).string();
        const Outcome built = run_shell("cd '" + kit.string() + "' && " + line +
                                        " >/dev/null && cmake --build 'build-" + arch + "' >/dev/null");
        ASSERT_EQ(built.status, 0) << arch << ": " << line << ": " << built.out << built.err;
        EXPECT_EQ(run_shell("grep '^CMAKE_BUILD_TYPE:' '" + out + "/CMakeCache.txt'").out,
                  "CMAKE_BUILD_TYPE:STRING=Release\n")
            << arch;
        const std::string capture = out + "/capture.sys";
        const Outcome imports =
            run_shell("llvm-readobj-14 --coff-imports '" + capture + "' | grep -E 'Name:|Symbol:' | tr -s ' \\n' ' '");
        EXPECT_EQ(imports.out, " Name: tovmem.sys Symbol: tov_mem_init (0) ") << "the kit's " << arch << " sample";
        const std::vector<uint8_t> image = sim::image::read_file(capture);
        const uint32_t sum = u32(image, sim::image::checksum_offset(image));
        EXPECT_NE(sum, 0u) << arch;
        EXPECT_EQ(sum, sim::image::pe_checksum(image)) << arch << ": capture.sys checksum";
        // The project's loader takes it (it checks the checksum too).
        EXPECT_NO_THROW(sim::image::load_image(image, arch == "x64" ? 0x140000000ull : 0x10000000, false)) << arch;
        if (arch == "x64")
            EXPECT_NE(run_shell("llvm-readobj-14 --coff-debug-directory '" + capture + "'")
                          .out.find("IMAGE_DLL_CHARACTERISTICS_EX_CET_COMPAT"),
                      std::string::npos)
                << "the kit's x64 sample is not marked CET-compatible";
        std::printf("kit sample %s capture.sys: checksum %s, valid\n", arch.c_str(), hex(sum).c_str());
        if (arch != "x86") continue;
        // The checksum program reads what it is given as untrusted: a file
        // that is no PE image is refused in one line and left as it was.
        const std::string tool = out + "/pe_checksum/pe_checksum";
        std::vector<std::pair<std::string, std::vector<uint8_t>>> hostile = {
            {"empty", {}},
            {"truncated", std::vector<uint8_t>(image.begin(), image.begin() + 0x50)},
            {"no PE signature", image}};
        hostile[2].second[u32(image, 0x3c)] = 'X';
        std::vector<uint8_t> far = image;
        far[0x3c + 3] = 0x7f;  // e_lfanew far beyond the end
        hostile.emplace_back("header outside", far);
        // SizeOfOptionalHeader 64: CheckSum (at 64) would fall on the
        // first section's name.
        std::vector<uint8_t> short_header = image;
        short_header[u32(image, 0x3c) + 20] = 64;
        short_header[u32(image, 0x3c) + 21] = 0;
        hostile.emplace_back("optional header of 64 bytes", short_header);
        for (const auto& [what, bytes] : hostile) {
            const std::string path = (tmp / "hostile.sys").string();
            std::FILE* f = std::fopen(path.c_str(), "wb");
            ASSERT_NE(f, nullptr);
            if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
            const Outcome r = run_shell("'" + tool + "' '" + path + "'");
            EXPECT_EQ(r.status, 1) << what;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << what << ": " << r.err;
            EXPECT_EQ(r.err.rfind("pe_checksum: ", 0), 0u) << what << ": " << r.err;
            EXPECT_TRUE(sim::image::read_file(path) == bytes) << what << ": the file was changed";
        }
        // A file name with control bytes is printed escaped, on one line.
        const std::string odd = (tmp / "odd\nname\x1b[2J.sys").string();
        std::filesystem::copy_file(tmp / "hostile.sys", odd);
        const Outcome r = run_shell("'" + tool + "' \"$(printf '" + tmp.string() + "/odd\\nname\\033[2J.sys')\"");
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(r.err, "pe_checksum: " + tmp.string() +
                             "/odd\\x0aname\\x1b[2J.sys: not a PE image this can fix: its optional header is too "
                             "short to hold CheckSum\n");
    }

    const Outcome sums = run_shell("cd '" + kit.string() + "' && sha256sum --strict -c SHA256SUMS");
    EXPECT_EQ(sums.status, 0) << sums.out << sums.err;
    EXPECT_EQ(std::count(sums.out.begin(), sums.out.end(), '\n'), long(files.size() + sources.size() - 1)) << sums.out;

    // Each PDB belongs to the image beside it, which is the one built here;
    // the two images are the two architectures.
    for (const Shipped& s : shipped) {
        const std::string arch = s.arch;
        const std::vector<uint8_t> image = sim::image::read_file((kit / arch / "tovmem.sys").string());
        EXPECT_TRUE(image == file_bytes(s.image)) << arch;
        const std::string summary = pdbutil("dump -summary '" + (kit / arch / "tovmem.pdb").string() + "'");
        EXPECT_EQ(pe_facts(image).pdb_guid, pdb_field(summary, "GUID")) << arch;
        EXPECT_EQ(std::to_string(pe_facts(image).pdb_age), pdb_field(summary, "Age")) << arch;
        EXPECT_EQ(u16(image, u32(image, 0x3c) + 4), arch == "x64" ? 0x8664 : 0x14c) << arch << ": machine";
        std::printf("release archive %s/tovmem.sys: machine %s, PDB %s age %u\n", arch.c_str(),
                    arch == "x64" ? "AMD64, PE32+" : "i386, PE32", pe_facts(image).pdb_guid.c_str(),
                    pe_facts(image).pdb_age);
    }
    // The diagnostic images: their PDBs beside them, and only DbgPrintEx
    // added to what the release image imports.
    for (const auto& [arch, expected] :
         {std::pair<std::string, std::string>{"x86", "ntoskrnl.exe!DbgPrintEx ntoskrnl.exe!KeQueryInterruptTime "},
          std::pair<std::string, std::string>{"x64", "ntoskrnl.exe!DbgPrintEx "}}) {
        const std::vector<uint8_t> image = sim::image::read_file((kit / arch / "diag" / "tovmem.sys").string());
        const sim::image::LoadedImage img = sim::image::load_image(image, arch == "x64" ? 0x140000000ull : 0x10000000);
        std::set<std::string> names;
        for (const auto& imp : img.imports) names.insert(imp.module + "!" + imp.name);
        std::string joined;
        for (const std::string& n : names) joined += n + " ";
        EXPECT_EQ(joined, expected) << arch << "/diag/tovmem.sys imports";
        const std::string summary = pdbutil("dump -summary '" + (kit / arch / "diag" / "tovmem.pdb").string() + "'");
        EXPECT_EQ(pe_facts(image).pdb_guid, pdb_field(summary, "GUID")) << arch << "/diag";
        for (const char* e : {"DllInitialize", "DllUnload", "tov_mem_init"})
            EXPECT_NE(img.exports.count(e), 0u) << arch << "/diag exports " << e;
        std::printf("release archive %s/diag/tovmem.sys imports %s(PDB %s)\n", arch.c_str(), joined.c_str(),
                    pe_facts(image).pdb_guid.c_str());
    }
    const std::string& readme = readme_text;
    for (const char* topic : {"System32\\drivers",
                              "DllInitialize",
                              "IRQL",
                              "Release signing",
                              "x64\\tovmem.lib",
                              "testsigning",
                              "64 bytes",
                              TOV_VERSION,
                              "NOT AN NTSTATUS",
                              "TOVMEM_SUCCEEDED",
                              ".srcpath",
                              "EvtDevicePrepareHardware",
                              "MmNonCached",
                              "0x8a8",
                              "version 6.0",
                              "cmp",
                              "LICENSE",
                              "Apache License",
                              "CET",
                              "/GS",
                              "Control Flow Guard",
                              "16299",
                              "DIRID 12",
                              "cmake/clang-cl-x86_64.cmake",
                              "TOV_BUILD_NUMBER",
                              "SpecialBuild",
                              "BA2004",
                              "BA2008",
                              "AddInterface",
                              "Memory Integrity",
                              "docs/call-times.md",
                              "tools\\tovmem.exe",
                              "Linux build"})
        EXPECT_NE(readme.find(topic), std::string::npos) << topic;
    std::filesystem::remove_all(tmp);
}

}  // namespace
}  // namespace tov::test::driver_kit_test
