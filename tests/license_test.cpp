// SPDX-License-Identifier: Apache-2.0
// Every source, build and script file of the project says its license in
// its first lines (after a shell script's #! line), as SPDX names it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tov::test::license_test {

namespace fs = std::filesystem;

bool is_source(const fs::path& p) {
    const std::string ext = p.extension().string();
    return ext == ".cpp" || ext == ".h" || ext == ".c" || ext == ".inc" || ext == ".cmake" || ext == ".sh" ||
           ext == ".def" || ext == ".rc" || p.filename() == "CMakeLists.txt";
}

TEST(License, EverySourceFileCarriesItsSpdxLine) {
    const fs::path root = TOV_SOURCE_DIR;
    size_t files = 0;
    std::vector<std::string> missing;
    for (const char* dir : {"meminit", "platform", "sim", "tools", "tests", "include", "examples", "bench", "fuzz",
                            "driver", "cmake", "scripts"}) {
        for (const auto& e : fs::recursive_directory_iterator(root / dir)) {
            const std::string rel = fs::relative(e.path(), root).string();
            if (!e.is_regular_file() || !is_source(e.path()) || rel.rfind("tests/golden/", 0) == 0 ||
                rel.rfind("fuzz/corpus/", 0) == 0)
                continue;
            ++files;
            std::ifstream in(e.path());
            std::string first, second;
            std::getline(in, first);
            std::getline(in, second);
            const std::string head = first.rfind("#!", 0) == 0 ? second : first;
            if (head.find("SPDX-License-Identifier: Apache-2.0") == std::string::npos) missing.push_back(rel);
        }
    }
    EXPECT_GT(files, 100u);
    EXPECT_TRUE(missing.empty()) << missing.size() << " files without the SPDX line, the first " << missing.front();
    std::ifstream license(root / "LICENSE");
    std::string title;
    while (std::getline(license, title) && title.find_first_not_of(' ') == std::string::npos) {}
    EXPECT_NE(title.find("Apache License"), std::string::npos) << "LICENSE";
}

}  // namespace tov::test::license_test
