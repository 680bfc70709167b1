// SPDX-License-Identifier: Apache-2.0
// tovmem.exe, the tool the kit ships for 64-bit Windows, run under Wine
// against the Linux build: every command gives the same bytes on standard
// output and standard error and the same exit status, for bring-ups on the
// simulated chip in every format, the tables, and the captures a board
// engineer makes on Windows (WinDbg, ANSI and UTF-16, and DebugView), read
// by paths with spaces, backslashes and non-ASCII letters. A kernel image
// is refused there, in one line. One Wine prefix, made once, and two Wine
// launches: a batch file for most commands, one launch for the non-ASCII
// path (a batch file's text is in the console's code page).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/image/sweep.h"
#include "sim/simulator.h"
#include "tests/kernel_builds.h"
#include "tests/tovmem_process.h"

namespace tov::test::windows_tool_test {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The diagnostic image's lines for a bring-up on the simulated chip, without
// their newlines.
std::vector<std::string> lines_of(const sim::RunRequest& q) {
    std::vector<std::string> out;
    for (std::string l : sim::run_bring_up(q).log) {
        if (!l.empty() && l.back() == '\n') l.pop_back();
        out.push_back(l);
    }
    return out;
}

// As WinDbg's .logopen saves them, another driver's lines between ours.
std::string windbg(const std::vector<std::vector<std::string>>& calls) {
    std::string s = "Opened log file 'c:\\logs\\board.txt'\r\n0: kd> g\r\n";
    for (const auto& call : calls)
        for (const std::string& l : call) s += l + "\r\nother driver: unrelated line\r\n";
    return s + "0: kd> .logclose\r\nClosing open log file c:\\logs\\board.txt\r\n";
}

// .logopen /u: UTF-16LE with a byte-order mark.
std::string utf16le(const std::string& text) {
    std::string out = "\xff\xfe";
    for (char c : text) out += {c, '\0'};
    return out;
}

// DebugView's saved columns: line number, elapsed time, process id, text.
std::string debugview(const std::vector<std::vector<std::string>>& calls) {
    std::string s;
    int n = 0;
    for (const auto& call : calls)
        for (const std::string& l : call) s += std::to_string(++n) + "\t0.01250000\t[4242] " + l + "\r\n";
    return s;
}

struct Case {
    std::string windows;  // the arguments as cmd.exe takes them
    std::string posix;    // the same for sh; "" when the same with '/' for '\'
    // Names the output echoes as given: the Linux name, the Windows one.
    std::vector<std::pair<std::string, std::string>> echoed = {};
};

bool have_wine() { return run_shell("command -v wine >/dev/null").status == 0; }

TEST(WindowsTool, GivesTheLinuxBuildsOutputAndStatusUnderWine) {
    TOV_REQUIRE_BUILD(TOV_WINDOWS_TOOL);
    if (!have_wine()) GTEST_SKIP() << "wine is not installed: tovmem.exe not run (bash scripts/deps.sh wine64)";
    ASSERT_TRUE(fs::exists(TOV_WINDOWS_TOOL))
        << "not built: " << TOV_WINDOWS_TOOL << "; build the kernel preset (cmake --build --preset kernel)";
    const fs::path dir = fs::path(::testing::TempDir()) / ("tovmem_windows_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "with space");
    fs::create_directories(dir / "board \xc3\xa4\xc3\xb6");
    fs::copy_file(TOV_WINDOWS_TOOL, dir / "tovmem.exe");

    sim::RunRequest healthy = sim::image::request(0x3000099, 10), failing = healthy;
    failing.chip.cmd_stuck_at = 3;
    const std::vector<std::string> good = lines_of(healthy), bad = lines_of(failing);
    write(dir / "healthy.log", windbg({good}));
    write(dir / "failing_u.log", utf16le(windbg({bad})));
    write(dir / "two.log", windbg({good, bad}));
    write(dir / "two_u.log", utf16le(windbg({good, bad})));
    write(dir / "debugview.log", debugview({bad, good}));
    write(dir / "with space" / "healthy copy.log", windbg({good}));
    write(dir / "board \xc3\xa4\xc3\xb6" / "capture \xc3\xa9.log", utf16le(windbg({bad})));

    const std::string run = "run --config 0x3000099 --clock 10", stuck = run + " --cmd-stuck-at 3";
    std::vector<Case> cases;
    for (const char* format : {"text", "jsonl", "vcd", "log"}) {
        cases.push_back({run + " --format " + format, ""});
        cases.push_back({stuck + " --format " + format, ""});
    }
    for (const char* c :
         {"run --config 0x24 --clock 1 --power-mode 2 --no-aux --clock-period 15.625 --clock-phase 3.2",
          "show 0x3000099", "list", "check --all", "check --config 0x24 --clock 1", "import healthy.log",
          "import healthy.log --format text", "import failing_u.log", "import failing_u.log --format text",
          "check healthy.log", "check failing_u.log", "import two.log", "import two.log --call 2",
          "import two_u.log --call 1 --format text", "check two_u.log --call 2", "check debugview.log --call 1",
          "import debugview.log --call 2", "diff two.log debugview.log --call 1 --call 2",
          "diff --call 2 two_u.log healthy.log", "vcd debugview.log --call 1", "check two.log",
          // the HTML report
          "report --config 0x3000099 --clock 10 --cmd-stuck-at 3", "report failing_u.log",
          "report two.log --call 2 --config 0x3000099 --clock 10",
          // a path with a space, given with a backslash
          "import \"with space\\healthy copy.log\" --format text", "check \"with space\\healthy copy.log\"",
          // bad arguments
          "", "bogus", "run", "run --config zz --clock 1", "run --config 0x24 --clock 1 --format xml",
          "import missing.log", "check out", "diff two.log", "show 0x7"})
        cases.push_back({c, ""});
    // A drive letter: Wine's Z: is the root of the Linux file system.
    std::string drive = "Z:" + dir.string();
    std::replace(drive.begin(), drive.end(), '/', '\\');
    cases.push_back({"import " + drive + "\\two_u.log --call 2", "import two_u.log --call 2"});
    cases.push_back({"diff " + drive + "\\healthy.log \"" + drive + "\\with space\\healthy copy.log\"",
                     "diff healthy.log 'with space/healthy copy.log'",
                     {{"A: healthy.log", "A: " + drive + "\\healthy.log"},
                      {"B: with space\\healthy copy.log", "B: " + drive + "\\with space\\healthy copy.log"}}});
    for (Case& c : cases)
        if (c.posix.empty()) {
            c.posix = c.windows;
            std::replace(c.posix.begin(), c.posix.end(), '\\', '/');
        }

    // One batch file for all of them: each command's output, errors and
    // status in files of its own.
    std::string batch = "@echo off\r\n";
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string n = std::to_string(i);
        batch += "tovmem.exe " + cases[i].windows + " > out\\" + n + ".out 2> out\\" + n + ".err\r\n";
        batch += ">out\\" + n + ".rc echo %ERRORLEVEL%\r\n";
    }
    // A kernel image, or a capture driver calling one: refused, whatever the file.
    const char* refused[] = {"image", "caller"};
    for (const char* r : refused) {
        batch += std::string("tovmem.exe run --config 0x24 --clock 1 --") + r + " tovmem.exe > out\\" + r +
                 ".out 2> out\\" + r + ".err\r\n";
        batch += std::string(">out\\") + r + ".rc echo %ERRORLEVEL%\r\n";
    }
    write(dir / "run.bat", batch);

    const std::string d = "'" + dir.string() + "'";
    const std::string wine =
        "cd " + d + " && WINEPREFIX=" + d + "/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' ";
    const auto started = std::chrono::steady_clock::now();
    const Outcome batched = run_shell(wine + "wine cmd /c run.bat");
    ASSERT_TRUE(fs::exists(dir / "out" / "caller.rc")) << "the batch file did not run: " << batched.out << batched.err;
    // The non-ASCII path, straight from a UTF-8 command line.
    const std::string named = "import 'board \xc3\xa4\xc3\xb6/capture \xc3\xa9.log' --format text";
    const Outcome direct = run_shell(wine + "LC_ALL=C.UTF-8 wine tovmem.exe " + named);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run_shell("WINEPREFIX=" + d + "/prefix wineserver -k");

    size_t same = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string n = std::to_string(i);
        Outcome on_linux = run_shell("cd " + d + " && '" + TOVMEM_PATH + "' " + cases[i].posix);
        // A path echoed as given: with the backslash it was given with.
        for (std::string* text : {&on_linux.out, &on_linux.err})
            for (size_t at; (at = text->find("with space/")) != std::string::npos;) (*text)[at + 10] = '\\';
        for (const auto& [posix, windows] : cases[i].echoed)
            for (std::string* text : {&on_linux.out, &on_linux.err})
                for (size_t at = 0; (at = text->find(posix, at)) != std::string::npos; at += windows.size())
                    text->replace(at, posix.size(), windows);
        const std::string out = slurp(dir / "out" / (n + ".out")), err = slurp(dir / "out" / (n + ".err"));
        const std::string rc = slurp(dir / "out" / (n + ".rc"));
        ASSERT_FALSE(rc.empty()) << cases[i].windows << ": no exit status";
        const int status = std::atoi(rc.c_str());
        EXPECT_EQ(status, on_linux.status) << cases[i].windows;
        EXPECT_TRUE(out == on_linux.out) << cases[i].windows << ": standard output differs\n--- Windows:\n"
                                         << out.substr(0, 2000) << "\n--- Linux:\n"
                                         << on_linux.out.substr(0, 2000);
        EXPECT_EQ(err, on_linux.err) << cases[i].windows;
        same += status == on_linux.status && out == on_linux.out && err == on_linux.err;
    }
    const Outcome linux_named = run_shell("cd " + d + " && '" + TOVMEM_PATH + "' " + named);
    EXPECT_EQ(direct.status, linux_named.status) << named;
    EXPECT_TRUE(direct.out == linux_named.out) << named << "\n--- Windows:\n" << direct.out.substr(0, 2000);
    EXPECT_EQ(direct.err, linux_named.err) << named;
    EXPECT_NE(linux_named.out.find("bring-up of config 0x3000099"), std::string::npos)
        << "the capture was not read: " << linux_named.out.substr(0, 400);

    std::string refusal;
    for (const std::string r : refused) {
        refusal = slurp(dir / "out" / (r + ".err"));
        EXPECT_EQ(std::atoi(slurp(dir / "out" / (r + ".rc")).c_str()), 2) << r;
        EXPECT_EQ(slurp(dir / "out" / (r + ".out")), "") << r;
        EXPECT_EQ(std::count(refusal.begin(), refusal.end(), '\n'), 1) << r << ": " << refusal;
        EXPECT_NE(refusal.find("Linux build"), std::string::npos) << r << ": " << refusal;
    }

    std::printf(
        "tovmem.exe under Wine: %zu of %zu commands as the Linux build, the non-ASCII path too; "
        "--image and --caller refused: %s; %.1f s in Wine (its prefix made too)\n",
        same, cases.size(), refusal.substr(0, refusal.find('\n')).c_str(), seconds);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tov::test::windows_tool_test
