// SPDX-License-Identifier: Apache-2.0
// Files the tests generate (golden digests, reference traces, the generated
// documents and the generated parts of others): a test compares the file with
// what the build gives and, on a difference, fails with a unified diff of the
// lines that differ and the command that writes them anew. With
// TOV_GOLDEN_UPDATE=1 the same test writes the file instead.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tov::test::generated {

// What a maintainer runs after a meant change: every generated file anew.
inline constexpr const char* update_command = "bash scripts/update-generated.sh";

inline bool updating() {
    const char* update = std::getenv("TOV_GOLDEN_UPDATE");
    return update != nullptr && std::string(update) == "1";
}

inline std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// A line of a diff, cut to `width` characters so that one long line cannot
// hide the change.
inline std::string shown(const std::string& line, size_t width) {
    if (line.size() <= width) return line;
    return line.substr(0, width) + "... (" + std::to_string(line.size() - width) + " more characters)";
}

// Unified diff of two line lists (three lines of context), at most `limit`
// lines, each at most `width` characters; "" when they are equal. The
// longest common subsequence is found on the lines between the common head
// and tail, so a long file with a few changed lines costs little.
inline std::string unified_diff(const std::vector<std::string>& a, const std::vector<std::string>& b,
                                size_t limit = 120, size_t width = 200) {
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
    const size_t n = a.size() - head - tail, m = b.size() - head - tail;
    if (n == 0 && m == 0) return "";
    struct Op {
        char kind;
        size_t i, j;
    };
    std::vector<Op> ops;
    for (size_t k = 0; k < head; ++k) ops.push_back({' ', k, k});
    if (n * m <= (size_t{1} << 24)) {
        std::vector<std::vector<uint32_t>> lcs(n + 1, std::vector<uint32_t>(m + 1, 0));
        for (size_t i = n; i-- > 0;)
            for (size_t j = m; j-- > 0;)
                lcs[i][j] = a[head + i] == b[head + j] ? lcs[i + 1][j + 1] + 1 : std::max(lcs[i + 1][j], lcs[i][j + 1]);
        size_t i = 0, j = 0;
        while (i < n || j < m) {
            if (i < n && j < m && a[head + i] == b[head + j])
                ops.push_back({' ', head + i++, head + j++});
            else if (i < n && (j == m || lcs[i + 1][j] >= lcs[i][j + 1]))
                ops.push_back({'-', head + i++, head + j});
            else
                ops.push_back({'+', head + i, head + j++});
        }
    } else {  // too large to align: the changed stretch as removed, then added
        for (size_t i = 0; i < n; ++i) ops.push_back({'-', head + i, head});
        for (size_t j = 0; j < m; ++j) ops.push_back({'+', head + n, head + j});
    }
    for (size_t k = 0; k < tail; ++k) ops.push_back({' ', head + n + k, head + m + k});
    std::string out;
    size_t lines = 0;
    for (size_t k = 0; k < ops.size();) {
        if (ops[k].kind == ' ') {
            ++k;
            continue;
        }
        size_t from = k >= 3 ? k - 3 : 0, to = k;
        while (to < ops.size()) {  // the hunk runs until three unchanged lines follow the last change
            size_t next = to;
            while (next < ops.size() && ops[next].kind != ' ') ++next;
            size_t same = next;
            while (same < ops.size() && ops[same].kind == ' ' && same - next < 7) ++same;
            to = next;
            if (same == ops.size() || same - next >= 7) {
                to = std::min(ops.size(), next + 3);
                break;
            }
            to = same;
        }
        char hunk[96];
        std::snprintf(hunk, sizeof hunk, "@@ -%zu +%zu @@\n", ops[from].i + 1, ops[from].j + 1);
        out += hunk;
        for (size_t q = from; q < to; ++q) {
            if (++lines > limit) return out + "... (diff cut at " + std::to_string(limit) + " lines)\n";
            out += ops[q].kind;
            out += shown(ops[q].kind == '+' ? b[ops[q].j] : a[ops[q].i], width);
            out += '\n';
        }
        k = to;
    }
    return out;
}

#ifdef TOV_SOURCE_DIR  // the test programs that read the source tree

inline std::string source_path(const std::string& relative) { return std::string(TOV_SOURCE_DIR) + "/" + relative; }

inline std::string how_to_update(const std::string& what) {
    return "If the change is meant, " + std::string(update_command) + " writes " + what +
           " anew (or rerun this test with TOV_GOLDEN_UPDATE=1); read `git diff` before committing.";
}

// The whole file `relative` (to the source tree) reads `text`; written when updating.
inline void expect_file(const std::string& relative, const std::string& text) {
    const std::string path = source_path(relative);
    if (updating()) {
        if (read_text(path) == text) return;
        std::ofstream(path, std::ios::binary) << text;
        EXPECT_EQ(read_text(path), text) << "cannot write " << path;
        std::printf("generated: %s written\n", relative.c_str());
        return;
    }
    const std::string now = read_text(path);
    if (now == text) return;
    ADD_FAILURE() << relative << " is not what the build generates (- the file, + generated):\n"
                  << unified_diff(split_lines(now), split_lines(text)) << how_to_update(relative);
}

// The lines of `relative` between the line holding `begin` and the line
// holding `end` (both markers kept) read `text`; written when updating.
inline void expect_block(const std::string& relative, const std::string& begin, const std::string& end,
                         const std::string& text) {
    const std::string path = source_path(relative);
    const std::string file = read_text(path);
    const size_t b = file.find(begin);
    const size_t e = b == std::string::npos ? std::string::npos : file.find(end, b);
    ASSERT_TRUE(b != std::string::npos && e != std::string::npos)
        << relative << " has no block between \"" << begin << "\" and \"" << end << "\" (write the two marker lines)";
    const size_t from = file.find('\n', b) + 1;
    const size_t to = file.rfind('\n', e) + 1;
    ASSERT_LE(from, to) << relative << ": \"" << begin << "\" and \"" << end << "\" on one line";
    const std::string now = file.substr(from, to - from);
    if (now == text) return;
    if (updating()) {
        const std::string all = file.substr(0, from) + text + file.substr(to);
        std::ofstream(path, std::ios::binary) << all;
        EXPECT_EQ(read_text(path), all) << "cannot write " << path;
        std::printf("generated: %s (%s) written\n", relative.c_str(), begin.c_str());
        return;
    }
    const size_t first_line = static_cast<size_t>(std::count(file.begin(), file.begin() + from, '\n')) + 1;
    ADD_FAILURE() << relative << " from line " << first_line << " (after \"" << begin
                  << "\") is not what the build generates (- the file, + generated; line numbers within the block):\n"
                  << unified_diff(split_lines(now), split_lines(text)) << how_to_update("that block of " + relative);
}

#endif  // TOV_SOURCE_DIR

}  // namespace tov::test::generated
