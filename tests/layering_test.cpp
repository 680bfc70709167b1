// SPDX-License-Identifier: Apache-2.0
// The tree's layers, lowest first: the public header (include/), the
// register primitives (meminit/hw), the entry and its tables
// (meminit/entry), the families' routines, the kernel seam and the
// diagnostic line format (platform/), the simulator and the host seam
// (sim/), the image runner (sim/image/), the tools (tools/), and on top the
// examples, benchmarks, fuzz targets and tests. No file includes one of a
// higher layer, the families do not include each other, and meminit/ takes
// nothing from the standard library beyond <stdint.h>-level headers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace tov::test::layering_test {
namespace {

namespace fs = std::filesystem;

struct Layer {
    const char* prefix;  // of the path in the tree
    int level;
};

// Longest prefix first where one holds another.
constexpr Layer layers[] = {
    {"include/", 0},       {"meminit/hw/", 1},     {"meminit/entry/", 2}, {"meminit/halden/", 3},
    {"meminit/orlit/", 3}, {"meminit/varnel/", 3}, {"platform/", 4},      {"sim/image/", 6},
    {"sim/", 5},           {"tools/", 7},          {"examples/", 8},      {"bench/", 8},
    {"fuzz/", 8},          {"tests/", 8},
};

std::optional<Layer> layer_of(const std::string& path) {
    for (const Layer& l : layers)
        if (path.rfind(l.prefix, 0) == 0) return l;
    return std::nullopt;
}

// What an include may not do: reach a higher layer, or a peer family.
std::string violation(const std::string& from, const std::string& to) {
    const auto a = layer_of(from), b = layer_of(to);
    if (!a || !b) return "";
    if (b->level > a->level)
        return from + " (" + a->prefix + ") includes " + to + " (" + b->prefix + "), a higher layer";
    if (a->level == 3 && b->level == 3 && std::string(a->prefix) != b->prefix)
        return from + " includes " + to + ": one family's routines do not include another's";
    return "";
}

// The tree path an `#include "x"` of `from` names: from the top of the
// tree, beside the including file, or in include/ (the order of the builds'
// include paths).
std::optional<std::string> resolve(const fs::path& root, const std::string& from, const std::string& name) {
    for (const fs::path& p : {fs::path(name), fs::path(from).parent_path() / name, fs::path("include") / name})
        if (fs::is_regular_file(root / p)) return p.lexically_normal().generic_string();
    return std::nullopt;
}

bool is_source(const fs::path& p) {
    const std::string e = p.extension().string();
    return e == ".h" || e == ".cpp" || e == ".c" || e == ".inc" || e == ".def";
}

TEST(Layering, NoIncludeReachesAHigherLayer) {
    const fs::path root = TOV_SOURCE_DIR;
    const std::regex quoted(R"(^\s*#\s*include\s+"([^"]+)\")"), angled(R"(^\s*#\s*include\s+<([^>]+)>)");
    size_t files = 0, includes = 0;
    for (const char* top : {"include", "meminit", "platform", "sim", "tools", "examples", "bench", "fuzz", "tests"}) {
        if (!fs::exists(root / top)) continue;
        for (const auto& e : fs::recursive_directory_iterator(root / top)) {
            if (!e.is_regular_file() || !is_source(e.path())) continue;
            const std::string from = fs::relative(e.path(), root).generic_string();
            ++files;
            std::ifstream in(e.path());
            std::string line;
            for (size_t n = 1; std::getline(in, line); ++n) {
                std::smatch m;
                if (std::regex_search(line, m, quoted)) {
                    ++includes;
                    const auto to = resolve(root, from, m[1]);
                    if (!to) continue;  // generated in the build tree (tov_version.h)
                    const std::string v = violation(from, *to);
                    EXPECT_EQ(v, "") << from << ":" << n;
                } else if (from.rfind("meminit/", 0) == 0 && std::regex_search(line, m, angled)) {
                    const std::string h = m[1];
                    EXPECT_TRUE(h == "stdint.h" || h == "stddef.h" || h == "cstdint" || h == "cstddef")
                        << from << ":" << n << " includes <" << h << ">: meminit/ is freestanding";
                }
            }
        }
    }
    EXPECT_GT(files, 100u);
    EXPECT_GT(includes, 300u);
}

// The rule itself, on includes that the tree does not (or must not) have.
TEST(Layering, TheRuleRefusesUpwardIncludes) {
    EXPECT_NE(violation("meminit/hw/access.h", "meminit/entry/meminit.h"), "");
    EXPECT_NE(violation("sim/image/image_runner.cpp", "examples/capture_driver/capture.h"), "");
    EXPECT_NE(violation("platform/host.cpp", "sim/simulator.h"), "");
    EXPECT_NE(violation("sim/simulator.h", "sim/image/sweep.h"), "");
    EXPECT_NE(violation("meminit/orlit/orlit.cpp", "meminit/varnel/varnel.h"), "");
    EXPECT_NE(violation("include/tovmem.h", "meminit/hw/regs.h"), "");
    EXPECT_EQ(violation("sim/diag_log.h", "platform/diag_line.h"), "");
    EXPECT_EQ(violation("meminit/varnel/varnel.cpp", "meminit/entry/routines.h"), "");
    EXPECT_EQ(violation("tools/tovmem/run.cpp", "include/capture.h"), "");
    EXPECT_EQ(violation("tests/harness.h", "sim/simulator.h"), "");
    EXPECT_EQ(violation("meminit/hw/access.h", "meminit/hw/regs.h"), "");
}

}  // namespace
}  // namespace tov::test::layering_test
