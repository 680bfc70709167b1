// SPDX-License-Identifier: Apache-2.0
// tovmem: runs the DDR bring-up library on the simulated chip and shows what
// it does: annotated traces, JSON lines and waveforms of a run, the
// configuration tables, a rule check of the power-up commands, and a
// step-by-step comparison of two bring-ups.
#include "tools/tovmem/tool.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

// Windows gives the arguments as UTF-16: the tool takes them as UTF-8, as
// it does on Linux, so that a path with any letters reaches the file
// functions (which convert it back) intact. Its output is the Linux
// build's, byte for byte: binary streams, no CRLF, and UTF-8 on a console.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> utf8;
    for (int i = 0; i < argc; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string s(n > 0 ? size_t(n) : 1u, '\0');
        if (n > 0) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, s.data(), n, nullptr, nullptr);
        s.resize(s.size() - 1);
        utf8.push_back(std::move(s));
    }
    std::vector<char*> args;
    for (std::string& s : utf8) args.push_back(s.data());
    args.push_back(nullptr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    return tovmem::tool_main(argc, args.data());
}
#else
int main(int argc, char** argv) { return tovmem::tool_main(argc, argv); }
#endif
