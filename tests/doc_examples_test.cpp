// SPDX-License-Identifier: Apache-2.0
// Every console example in docs/*.md runs as written: the commands of a
// document run in order in a directory of their own, with tovmem on the
// PATH, and every output line the document shows appears in what the
// command printed, in the same order ("..." stands for lines left out).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/tovmem_process.h"

namespace tov::test::doc_examples {

namespace fs = std::filesystem;

struct Example {
    size_t line;  // of the command in the document
    std::string command;
    std::vector<std::string> output;
};

std::vector<Example> examples_of(const fs::path& doc) {
    std::ifstream in(doc);
    std::vector<Example> out;
    std::string l;
    bool in_console = false;
    for (size_t n = 1; std::getline(in, l); ++n) {
        if (!in_console) {
            in_console = l == "```console";
            continue;
        }
        if (l == "```") {
            in_console = false;
        } else if (l.rfind("$ ", 0) == 0) {
            out.push_back({n, l.substr(2), {}});
        } else if (!out.empty() && l != "...") {
            out.back().output.push_back(l);
        }
    }
    return out;
}

std::string docs_dir() { return std::string(TOV_SOURCE_DIR) + "/docs"; }

class DocExamples : public ::testing::TestWithParam<std::string> {};

TEST_P(DocExamples, PrintWhatTheDocumentShows) {
    const fs::path doc = fs::path(docs_dir()) / GetParam();
    const std::vector<Example> examples = examples_of(doc);
    ASSERT_FALSE(examples.empty()) << doc << " has no console example";
    const TempFile marker;
    const fs::path dir = marker.path + ".d";
    fs::create_directories(dir);
    const std::string path = fs::path(TOVMEM_PATH).parent_path().string();
    // Examples that run the kernel images name them as the kernel preset
    // builds them, build/kernel/...: the directory gets that path.
    const fs::path kernel_root = fs::path(TOV_KERNEL_IMAGE).parent_path().parent_path();
    const bool have_kernel = !std::string(TOV_KERNEL_IMAGE).empty() && fs::exists(TOV_KERNEL_IMAGE);
    if (have_kernel) {
        fs::create_directories(dir / "build");
        fs::create_directory_symlink(kernel_root, dir / "build" / "kernel");
    }
    size_t skipped = 0;
    for (const Example& e : examples) {
        if (!have_kernel && e.command.find("build/kernel/") != std::string::npos) {
            ++skipped;
            continue;
        }
        // The subshell's standard error is run_shell's; the example's goes
        // with its output, as a console shows both.
        const std::string cmd = "(cd '" + dir.string() + "' && PATH='" + path + "':\"$PATH\" bash -c " + "'" +
                                std::regex_replace(e.command, std::regex("'"), "'\\''") + "' 2>&1)";
        const Outcome o = run_shell(cmd);
        const std::vector<std::string> got = lines(o.out);
        size_t at = 0;
        for (const std::string& want : e.output) {
            while (at < got.size() && got[at] != want) ++at;
            EXPECT_LT(at, got.size()) << GetParam() << " line " << e.line << ": `" << e.command
                                      << "` does not print, in this order:\n"
                                      << want << "\nIt printed:\n"
                                      << o.out;
            if (at == got.size()) break;
            ++at;
        }
    }
    fs::remove_all(dir);
    if (skipped) GTEST_SKIP() << skipped << " examples need the kernel build, which this build was configured without";
}

std::vector<std::string> documents() {
    std::vector<std::string> out;
    for (const auto& f : fs::directory_iterator(docs_dir()))
        if (f.path().extension() == ".md" && !examples_of(f.path()).empty()) out.push_back(f.path().filename());
    std::sort(out.begin(), out.end());
    return out;
}

INSTANTIATE_TEST_SUITE_P(Docs, DocExamples, ::testing::ValuesIn(documents()), [](const auto& info) {
    std::string n = info.param.substr(0, info.param.size() - 3);
    for (char& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return n;
});

// The kit's configuration table is generated; it stays what the tables say.
TEST(GeneratedDocs, ConfigurationsAreTheTablesOutput) {
    std::ifstream in(docs_dir() + "/configurations.md");
    std::stringstream doc;
    doc << in.rdbuf();
    const Outcome o = run_tovmem("list --format markdown");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(doc.str(), o.out) << "docs/configurations.md is stale: `build/host/tovmem list --format markdown > "
                                   "docs/configurations.md` writes it anew";
}

// The README's count of init routines is the library's.
TEST(GeneratedDocs, ReadmeCountsTheRoutinesOfRoutinesDef) {
    std::ifstream def(std::string(TOV_SOURCE_DIR) + "/meminit/entry/routines.def");
    size_t routines = 0;
    for (std::string l; std::getline(def, l);) routines += l.rfind("TOV_ROUTINE(", 0) == 0;
    std::ifstream in(std::string(TOV_SOURCE_DIR) + "/README.md");
    std::stringstream readme;
    readme << in.rdbuf();
    std::string text = readme.str();
    for (char& c : text)
        if (c == '\n') c = ' ';
    EXPECT_GT(routines, 0u);
    EXPECT_NE(text.find("one of " + std::to_string(routines) + " init routines"), std::string::npos)
        << "README.md should say: picks one of " << routines << " init routines";
}

}  // namespace tov::test::doc_examples
