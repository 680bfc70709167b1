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

#include "tests/generated_file.h"
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

// What a failed example says: the line of the document that the command did
// not print (in its order), the printed lines where it should have been (a
// few, each cut short), and how to make the two agree.
std::string example_mismatch(const Example& e, size_t missing, const std::vector<std::string>& got, size_t from,
                             const std::string& doc) {
    size_t to = got.size();  // where the next line the document shows is printed
    for (size_t w = missing + 1; w < e.output.size() && to == got.size(); ++w)
        for (size_t i = from; i < got.size(); ++i)
            if (got[i] == e.output[w]) {
                to = i;
                break;
            }
    constexpr size_t most = 12;
    std::string out = "does not print the document's line (- the document, + printed where it belongs):\n-" +
                      generated::shown(e.output[missing], 200) + "\n";
    for (size_t i = from; i < to && i < from + most; ++i) out += "+" + generated::shown(got[i], 200) + "\n";
    if (to > from + most) out += "... (" + std::to_string(to - from - most) + " more printed lines)\n";
    if (from == got.size())
        out += "(nothing printed after the lines before it; " + std::to_string(got.size()) + " lines in all)\n";
    return out + "The document shows some lines of the output in order (\"...\" for lines left out). If the output " +
           "is meant, write the printed line into the example in docs/" + doc +
           " (examples show output that adding a table row does not move: filter it); otherwise the change is a fault.";
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
        for (size_t w = 0; w < e.output.size(); ++w) {
            const size_t from = at;
            while (at < got.size() && got[at] != e.output[w]) ++at;
            if (at < got.size()) {
                ++at;
                continue;
            }
            ADD_FAILURE() << GetParam() << " line " << e.line << ": `" << e.command << "` "
                          << example_mismatch(e, w, got, from, GetParam());
            break;
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

}  // namespace tov::test::doc_examples
