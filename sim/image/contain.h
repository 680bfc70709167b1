// SPDX-License-Identifier: Apache-2.0
// The CPU emulator's own failures, contained. Unicorn (QEMU's code
// generator) can abort the whole process on code it cannot translate ("tcg
// fatal error"); a hostile image can reach that. Work that runs an image is
// done in a child process: the parent learns that the emulator gave up and
// says so in one line instead of dying with it.
#pragma once

#include <functional>
#include <string>

namespace tov::sim::image {

struct Contained {
    bool finished = false;  // the work ran to its end; `status` is its exit status
    int status = 0;
    // Otherwise: what ended it, one printable line ("the CPU emulator
    // aborted: ./qemu/tcg/tcg.c:3073: tcg fatal error").
    std::string why;
    std::string stderr_text;  // what the child wrote to stderr
    // The child ended on writing to a closed pipe (SIGPIPE): its reader
    // went away, which is no failure of the emulator.
    bool pipe_closed = false;
};

// Runs `work` in a child process (its return value the exit status); its
// stdout is the parent's, its stderr is collected. The child ends with
// its parent: killed when the parent dies, so that a killed tool leaves
// no emulator running.
Contained contained(const std::function<int()>& work);

}  // namespace tov::sim::image
