// SPDX-License-Identifier: Apache-2.0
// The x64 image as the 64-bit kernel's loader and a driver engineer see it,
// read by LLVM's object reader rather than by the runner's loader: an AMD64
// PE32+ native DLL with high-entropy ASLR, exactly the three exports, no
// import at all, unwind data for every function that needs it, a valid
// checksum. And a C89 caller compiled and linked for x64 against the kit's
// import library, as a capture-driver team builds one.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "sim/image/pe_image.h"
#include "tests/kernel_builds.h"
#include "tests/tovmem_process.h"

// A namespace of its own: unity batches put test files side by side.
namespace tov::test::x64_image {
namespace {

std::string readobj(const std::string& args, const std::string& path) {
    return run_shell(std::string(TOV_LLVM_READOBJ) + " " + args + " '" + path + "'").out;
}

// The values of every "Key: value" line of llvm-readobj's output.
std::vector<std::string> values_of(const std::string& text, const std::string& key) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t at = line.find_first_not_of(' ');
        if (at != std::string::npos && line.compare(at, key.size() + 2, key + ": ") == 0)
            out.push_back(line.substr(at + key.size() + 2));
    }
    return out;
}

// module!name of every import of a PE file.
std::set<std::string> imports_of(const std::string& path) {
    std::set<std::string> out;
    std::istringstream in(readobj("--coff-imports", path));
    std::string line, module;
    while (std::getline(in, line)) {
        const size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos) continue;
        if (line.compare(at, 6, "Name: ") == 0) module = line.substr(at + 6);
        if (line.compare(at, 8, "Symbol: ") == 0)
            out.insert(module + "!" + line.substr(at + 8, line.find(' ', at + 8) - at - 8));
    }
    return out;
}

class X64Image : public ::testing::Test {
protected:
    void SetUp() override {
        TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE_X64);
        ASSERT_FALSE(std::string(TOV_LLVM_READOBJ).empty()) << "llvm-readobj not found";
    }
    const std::vector<uint8_t>& file() const { return file_bytes(TOV_KERNEL_IMAGE_X64); }
};

TEST_F(X64Image, IsAnAmd64NativeDllWithHighEntropyAslrAndAValidChecksum) {
    const std::string h = readobj("--file-headers", TOV_KERNEL_IMAGE_X64);
    EXPECT_EQ(values_of(h, "Machine"), (std::vector<std::string>{"IMAGE_FILE_MACHINE_AMD64 (0x8664)"}));
    EXPECT_EQ(values_of(h, "Subsystem"), (std::vector<std::string>{"IMAGE_SUBSYSTEM_NATIVE (0x1)"}));
    for (const char* flag : {"IMAGE_FILE_DLL", "IMAGE_FILE_EXECUTABLE_IMAGE", "IMAGE_DLL_CHARACTERISTICS_DYNAMIC_BASE",
                             "IMAGE_DLL_CHARACTERISTICS_HIGH_ENTROPY_VA", "IMAGE_DLL_CHARACTERISTICS_NX_COMPAT"})
        EXPECT_NE(h.find(flag), std::string::npos) << flag;
    EXPECT_EQ(values_of(h, "PointerToSymbolTable"), (std::vector<std::string>{"0x0"})) << "COFF symbol table";
    EXPECT_NE(h.find("Magic: 0x20B"), std::string::npos) << "PE32+";
    EXPECT_GT(std::stoull(values_of(h, "ImageBase").at(0), nullptr, 16), 0xffffffffull);
    // The checksum as the kernel's loader computes it.
    uint32_t sum = 0;
    std::memcpy(&sum, &file()[sim::image::checksum_offset(file())], 4);
    EXPECT_EQ(sum, sim::image::pe_checksum(file()));
    EXPECT_NE(sum, 0u);
}

TEST_F(X64Image, ExportsTheThreeEntriesAndImportsNothing) {
    const std::vector<std::string> names = values_of(readobj("--coff-exports", TOV_KERNEL_IMAGE_X64), "Name");
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"", "DllInitialize", "DllUnload", "tov_mem_init"}));  // "" is the module's own
    EXPECT_EQ(imports_of(TOV_KERNEL_IMAGE_X64), std::set<std::string>{});
    const std::string h = readobj("--file-headers", TOV_KERNEL_IMAGE_X64);
    EXPECT_EQ(values_of(h, "ImportTableRVA"), (std::vector<std::string>{"0x0"}));
    EXPECT_EQ(values_of(h, "ImportTableSize"), (std::vector<std::string>{"0x0"}));
}

TEST_F(X64Image, UnwindDataCoversTheEntryAndNoSectionIsWritable) {
    // Every RUNTIME_FUNCTION lies in .text; tov_mem_init, which calls the
    // routines, has one; and no section is writable (the image has no data
    // the loader or the code writes) or both writable and executable.
    const std::string sections = readobj("--sections", TOV_KERNEL_IMAGE_X64);
    std::vector<std::string> names = values_of(sections, "Name");
    EXPECT_NE(std::find(names.begin(), names.end(), ".pdata (2E 70 64 61 74 61 00 00)"), names.end()) << sections;
    EXPECT_EQ(sections.find("IMAGE_SCN_MEM_WRITE"), std::string::npos) << sections;
    const std::string unwind = readobj("--unwind", TOV_KERNEL_IMAGE_X64);
    const std::vector<std::string> starts = values_of(unwind, "StartAddress");
    EXPECT_GE(starts.size(), 10u);
    const std::string exports = readobj("--coff-exports", TOV_KERNEL_IMAGE_X64);
    const size_t at = exports.find("Name: tov_mem_init");
    ASSERT_NE(at, std::string::npos);
    const std::string rva = values_of(exports.substr(at), "RVA").at(0);  // "0x1234"
    bool covered = false;
    for (const std::string& s : starts) covered |= s.find(rva.substr(2)) != std::string::npos;
    EXPECT_TRUE(covered) << "tov_mem_init at " << rva << " has no unwind entry";
}

// A caller of the public header, C89 as clang-cl compiles C (/TC), built for
// each architecture with warnings as errors and linked by lld-link against
// that architecture's tovmem.lib: it imports exactly tovmem.sys!tov_mem_init.
class KitCaller : public ::testing::TestWithParam<const char*> {};

TEST_P(KitCaller, C89CallerLinksAgainstTheImportLibraryAndImportsOnlyTovMemInit) {
    TOV_REQUIRE_BUILD(TOV_KERNEL_IMAGE);
    const std::string arch = GetParam();
    const std::filesystem::path lib =
        std::filesystem::path(arch == "x64" ? TOV_KERNEL_IMAGE_X64 : TOV_KERNEL_IMAGE).parent_path() / "tovmem.lib";
    const std::filesystem::path tmp =
        std::filesystem::path(::testing::TempDir()) / ("tovmem_kit_caller_" + arch + "_" + std::to_string(getpid()));
    std::filesystem::create_directories(tmp);
    const std::string obj = (tmp / "caller.obj").string(), dll = (tmp / "caller.dll").string();
    const std::string target = arch == "x64" ? "x86_64-pc-windows-msvc" : "i686-pc-windows-msvc";
    const Outcome cc =
        run_shell(std::string(TOV_CLANG_CL) + " --target=" + target + " /nologo /TC /W4 /WX /GS- /c -I'" +
                  TOV_SOURCE_DIR + "/include' /Fo'" + obj + "' -- '" + TOV_SOURCE_DIR + "/tests/kit/header_caller.c'");
    ASSERT_EQ(cc.status, 0) << cc.out << cc.err;
    EXPECT_EQ(cc.out + cc.err, "") << "the header gave a warning";
    const Outcome ld =
        run_shell(std::string(TOV_LLD_LINK) + " /nologo /dll /noentry /nodefaultlib /machine:" + arch +
                  " /export:header_caller_bring_up '" + obj + "' '" + lib.string() + "' /out:'" + dll + "'");
    ASSERT_EQ(ld.status, 0) << ld.out << ld.err;
    EXPECT_EQ(imports_of(dll), (std::set<std::string>{"tovmem.sys!tov_mem_init"}));
    const std::string h = readobj("--file-headers", dll);
    EXPECT_NE(h.find(arch == "x64" ? "IMAGE_FILE_MACHINE_AMD64" : "IMAGE_FILE_MACHINE_I386"), std::string::npos);
    std::printf("%s C89 caller (clang-cl /TC, lld-link, %s/tovmem.lib) imports: tovmem.sys!tov_mem_init\n",
                arch.c_str(), arch.c_str());
    std::filesystem::remove_all(tmp);
}

INSTANTIATE_TEST_SUITE_P(Arch, KitCaller, ::testing::Values("x86", "x64"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace tov::test::x64_image
