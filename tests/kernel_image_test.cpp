// Checks the built kernel image: native subsystem, exactly the three exports,
// the one kernel import, and no writable data.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>

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

class KernelImage : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = TOV_KERNEL_IMAGE;
        if (image_.empty()) GTEST_SKIP() << "this build was configured without a kernel image";
        ASSERT_TRUE(std::filesystem::exists(image_)) << "kernel image not built: " << image_;
        objdump_ = TOV_OBJDUMP;
        private_ = run_command(objdump_ + " -p '" + image_ + "'");
        headers_ = run_command(objdump_ + " -h '" + image_ + "'");
        ASSERT_NE(private_.find("pei-i386"), std::string::npos) << private_;
    }
    std::string image_, objdump_, private_, headers_;
};

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

TEST_F(KernelImage, IsNativeSubsystemWithEntryPoint) {
    EXPECT_TRUE(std::regex_search(private_, std::regex(R"(Subsystem\s+00000001\s+\(NT native\))")));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(private_, m, std::regex(R"(AddressOfEntryPoint\s+([0-9a-f]+))")));
    EXPECT_NE(std::stoul(m[1].str(), nullptr, 16), 0u);
    EXPECT_TRUE(std::regex_search(private_, std::regex(R"(CheckSum\s+0*[1-9a-f])")))
        << "drivers need an image checksum";
}

TEST_F(KernelImage, ExportsExactlyTheThreeEntries) {
    std::set<std::string> names;
    for (const std::string& l : block_after(private_, "[Ordinal/Name Pointer] Table")) {
        std::smatch m;
        if (std::regex_search(l, m, std::regex(R"(\]\s+(\S+)$)"))) names.insert(m[1].str());
    }
    EXPECT_EQ(names, (std::set<std::string>{"DllInitialize", "DllUnload", "tov_mem_init"}));
}

TEST_F(KernelImage, ImportsOnlyKeQueryInterruptTime) {
    std::set<std::string> dlls, members;
    std::istringstream in(private_);
    std::string line;
    bool in_imports = false;
    while (std::getline(in, line)) {
        std::smatch m;
        if (std::regex_search(line, m, std::regex(R"(DLL Name: (\S+))"))) {
            dlls.insert(m[1].str());
            in_imports = true;
        } else if (in_imports && std::regex_search(line, m, std::regex(R"(^\t[0-9a-f]+\t\s*\d+\s+([A-Za-z_]\w*)$)"))) {
            members.insert(m[1].str());
        } else if (line.find("Member-Name") == std::string::npos && line.find("vma:") == std::string::npos &&
                   !line.empty() && line[0] != '\t') {
            in_imports = false;
        }
    }
    EXPECT_EQ(dlls, (std::set<std::string>{"ntoskrnl.exe"}));
    EXPECT_EQ(members, (std::set<std::string>{"KeQueryInterruptTime"}));
}

TEST_F(KernelImage, HasNoWritableDataAndNoUnwindTables) {
    // objdump -h: "  1 .rdata  00001680 ..." then a flags line.
    std::istringstream in(headers_);
    std::string line;
    int sections = 0;
    while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, std::regex(R"(^\s+\d+\s+(\S+)\s+([0-9a-f]+)\s)"))) continue;
        const std::string name = m[1].str();
        const unsigned long size = std::stoul(m[2].str(), nullptr, 16);
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

}  // namespace
