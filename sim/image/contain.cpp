// SPDX-License-Identifier: Apache-2.0
#include "sim/image/contain.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "sim/printable.h"

namespace tov::sim::image {

Contained contained(const std::function<int()>& work) {
    Contained c;
    int fds[2];
    if (pipe(fds) != 0) {
        c.why = std::string("cannot make a pipe: ") + std::strerror(errno);
        return c;
    }
    // What is buffered goes out once, before the child could write it again;
    // a failure shows on the stream itself.
    (void)std::fflush(stdout);
    (void)std::fflush(stderr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        c.why = std::string("cannot start a process: ") + std::strerror(errno);
        return c;
    }
    if (pid == 0) {
        // Killed with its parent; a parent that died before this took
        // effect has already left the child to another.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(1);
        // An abort ends the child by its signal, whatever handler the
        // process had installed (a fuzzer's would turn it into an exit).
        (void)std::signal(SIGABRT, SIG_DFL);
        close(fds[0]);
        dup2(fds[1], STDERR_FILENO);
        close(fds[1]);
        const int status = work();
        const bool written = std::fflush(stdout) == 0;
        (void)std::fflush(stderr);
        _exit(written ? status : 1);
    }
    close(fds[1]);
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        if (c.stderr_text.size() < (1u << 20)) c.stderr_text.append(buf, size_t(n));
    }
    close(fds[0]);
    int ws = 0;
    while (waitpid(pid, &ws, 0) < 0 && errno == EINTR) {}
    if (WIFEXITED(ws)) {
        c.finished = true;
        c.status = WEXITSTATUS(ws);
        return c;
    }
    if (WIFSIGNALED(ws) && WTERMSIG(ws) == SIGPIPE) {
        c.pipe_closed = true;
        return c;
    }
    std::string last = c.stderr_text;
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) last.pop_back();
    if (const size_t nl = last.rfind('\n'); nl != std::string::npos) last.erase(0, nl + 1);
    c.why = "the CPU emulator stopped with signal " + std::to_string(WIFSIGNALED(ws) ? WTERMSIG(ws) : 0) +
            (last.empty() ? std::string() : " (" + printable(last) + ")");
    return c;
}

}  // namespace tov::sim::image
