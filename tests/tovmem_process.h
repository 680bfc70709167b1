// SPDX-License-Identifier: Apache-2.0
// Running the built tovmem as a user runs it, for the command-line tests:
// its exit status, standard output and standard error, each call with files
// of its own so that tests run in parallel.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tov::test {

// A file of its own for every use, so that tests run in parallel.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& contents = "") {
        std::string tmpl = ::testing::TempDir() + "tovmem_XXXXXX";
        const int fd = mkstemp(tmpl.data());
        EXPECT_GE(fd, 0);
        if (fd >= 0) close(fd);
        path = tmpl;
        if (!contents.empty()) std::ofstream(path) << contents;
    }
    ~TempFile() { std::remove(path.c_str()); }
    std::string read() const {
        std::ifstream f(path);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
};

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

inline Outcome run_shell(const std::string& cmd) {
    TempFile err;
    Outcome o{};
    FILE* f = popen((cmd + " 2>" + err.path).c_str(), "r");
    if (!f) return {-1, "", ""};
    std::array<char, 65536> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), f)) > 0) o.out.append(buf.data(), n);
    const int st = pclose(f);
    o.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    o.err = err.read();
    return o;
}

inline Outcome run_tovmem(const std::string& args) { return run_shell(std::string(TOVMEM_PATH) + " " + args); }

inline std::vector<std::string> lines(const std::string& s) {
    std::vector<std::string> out;
    std::istringstream in(s);
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
}

inline bool has(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// tovmem's refusal of `args`: status 2 and one line on stderr that says
// `expected`. The outcome, for what else a caller checks.
inline Outcome expect_refused(const std::string& args, const std::string& expected) {
    const Outcome o = run_tovmem(args);
    EXPECT_EQ(o.status, 2) << args << ": " << expected;
    EXPECT_EQ(lines(o.err).size(), 1u) << o.err;
    EXPECT_TRUE(has(o.err, expected)) << o.err;
    return o;
}

// JSON lines of a run with only its bus events and result: what a trace
// recorded without delays or messages looks like.
inline std::string bus_only(const std::string& jsonl) {
    std::string out;
    for (const std::string& l : lines(jsonl))
        if (!has(l, R"("ev":"delay_)") && !has(l, R"("ev":"trace")")) out += l + "\n";
    return out;
}

}  // namespace tov::test
