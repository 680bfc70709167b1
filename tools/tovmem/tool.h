// SPDX-License-Identifier: Apache-2.0
// tovmem's whole command line, kept out of main.cpp so that the argument
// parser's code is compiled once, with the commands.
#pragma once

namespace tovmem {

// Parses the arguments, runs the chosen command and returns the exit status.
int tool_main(int argc, char** argv);

}  // namespace tovmem
