// SPDX-License-Identifier: Apache-2.0
// Checks both built x86 kernel images (clang-cl and GCC) through objdump:
// native subsystem, exactly the three exports, the one kernel import, and no
// writable data. The x64 image's own checks are in x64_image_test.cpp.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/kernel_builds.h"

namespace tov::test::kernel_image_test {
namespace {

std::string run_command(const std::string& cmd) {
    std::string out;
    FILE* f = popen(cmd.c_str(), "r");
    if (!f) return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), f)) > 0) out.append(buf.data(), n);
    pclose(f);
    return out;
}

class KernelImage : public ::testing::TestWithParam<tov::test::KernelBuild> {
protected:
    void SetUp() override {
        image_ = GetParam().image;
        if (image_.empty())
            GTEST_SKIP() << "this build was configured without a " << GetParam().name << " kernel image";
        ASSERT_TRUE(std::filesystem::exists(image_))
            << "kernel image not built: " << image_ << "; " << tov::test::how_to_build(image_);
        objdump_ = TOV_OBJDUMP;
        private_ = run_command(objdump_ + " -p '" + image_ + "'");
        headers_ = run_command(objdump_ + " -h '" + image_ + "'");
        ASSERT_NE(private_.find("pei-i386"), std::string::npos) << private_;
    }
    std::string image_, objdump_, private_, headers_;
};

// objdump's output is read as whitespace-separated words per line.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

template <typename Pred>
bool all_of(const std::string& s, Pred is) {
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (!is(c)) return false;
    return true;
}
bool is_hex(const std::string& s) {
    return all_of(s, [](unsigned char c) { return std::isdigit(c) || (c >= 'a' && c <= 'f'); });
}
bool is_decimal(const std::string& s) {
    return all_of(s, [](unsigned char c) { return std::isdigit(c) != 0; });
}
bool is_identifier(const std::string& s) {
    return all_of(s, [](unsigned char c) { return std::isalnum(c) || c == '_'; }) &&
           !std::isdigit(static_cast<unsigned char>(s[0]));
}

// The words of the first line whose first word is `key`.
std::vector<std::string> field(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto w = words(line);
        if (!w.empty() && w[0] == key) return w;
    }
    return {};
}

// Lines between a heading and the next blank line.
std::vector<std::string> block_after(const std::string& text, const std::string& heading) {
    std::vector<std::string> out;
    const size_t at = text.find(heading);
    if (at == std::string::npos) return out;
    std::istringstream in(text.substr(at));
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line) && !line.empty()) out.push_back(line);
    return out;
}

TEST_P(KernelImage, IsNativeSubsystemWithEntryPoint) {
    EXPECT_EQ(field(private_, "Subsystem"), (std::vector<std::string>{"Subsystem", "00000001", "(NT", "native)"}));
    const auto entry = field(private_, "AddressOfEntryPoint");
    ASSERT_EQ(entry.size(), 2u);
    ASSERT_TRUE(is_hex(entry[1]));
    EXPECT_NE(std::stoul(entry[1], nullptr, 16), 0u);
    const auto sum = field(private_, "CheckSum");
    ASSERT_EQ(sum.size(), 2u);
    ASSERT_TRUE(is_hex(sum[1]));
    EXPECT_NE(std::stoul(sum[1], nullptr, 16), 0u) << "drivers need an image checksum";
}

TEST_P(KernelImage, ExportsExactlyTheThreeEntries) {
    std::set<std::string> names;
    for (const std::string& l : block_after(private_, "[Ordinal/Name Pointer] Table")) {
        // "\t[   0] DllInitialize"
        const size_t close = l.rfind(']');
        if (close == std::string::npos) continue;
        const auto name = words(l.substr(close + 1));
        if (name.size() == 1) names.insert(name[0]);
    }
    EXPECT_EQ(names, (std::set<std::string>{"DllInitialize", "DllUnload", "tov_mem_init"}));
}

TEST_P(KernelImage, ImportsOnlyKeQueryInterruptTime) {
    std::set<std::string> dlls, members;
    std::istringstream in(private_);
    std::string line;
    bool in_imports = false;
    while (std::getline(in, line)) {
        const auto w = words(line);
        const size_t dll = line.find("DLL Name: ");
        if (dll != std::string::npos) {
            const auto name = words(line.substr(dll + 10));
            if (!name.empty()) dlls.insert(name[0]);
            in_imports = true;
        } else if (in_imports && line[0] == '\t' && w.size() == 3 && is_hex(w[0]) && is_decimal(w[1]) &&
                   is_identifier(w[2])) {
            // "\t<vma>\t  <hint>  <name>"
            members.insert(w[2]);
        } else if (line.find("Member-Name") == std::string::npos && line.find("vma:") == std::string::npos &&
                   !line.empty() && line[0] != '\t') {
            in_imports = false;
        }
    }
    EXPECT_EQ(dlls, (std::set<std::string>{"ntoskrnl.exe"}));
    EXPECT_EQ(members, (std::set<std::string>{"KeQueryInterruptTime"}));
}

TEST_P(KernelImage, HasNoWritableDataAndNoUnwindTables) {
    // objdump -h: "  1 .rdata  00001680 ..." then a flags line.
    std::istringstream in(headers_);
    std::string line;
    int sections = 0;
    while (std::getline(in, line)) {
        const auto w = words(line);
        if (line.empty() || !std::isspace(static_cast<unsigned char>(line[0])) || w.size() < 4 || !is_decimal(w[0]) ||
            !is_hex(w[2]))
            continue;
        const std::string name = w[1];
        const unsigned long size = std::stoul(w[2], nullptr, 16);
        std::string flags;
        std::getline(in, flags);
        ++sections;
        EXPECT_EQ(name.find("eh_frame"), std::string::npos) << "unwind tables in the image";
        EXPECT_NE(name, ".pdata");
        EXPECT_NE(name, ".tls");
        const bool writable = flags.find("READONLY") == std::string::npos;
        // The import address table is the one section the loader must write.
        if (writable && name != ".idata") {
            EXPECT_TRUE(flags.find("CONTENTS") == std::string::npos || size == 0)
                << "writable section with contents: " << name << " (" << size << " bytes)";
            if (name == ".bss") {
                EXPECT_EQ(size, 0u) << "writable zero-initialised data";
            }
        }
    }
    EXPECT_GE(sections, 3);
}

INSTANTIATE_TEST_SUITE_P(Builds, KernelImage, ::testing::ValuesIn(tov::test::builds_of("x86")),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tov::test::kernel_image_test
