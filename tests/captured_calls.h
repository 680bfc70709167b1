// SPDX-License-Identifier: Apache-2.0
// The two calls the log tests capture: 0x3000099 at clock_index 10, healthy,
// and the same with its third DRAM command stuck; and the lines the
// diagnostic image prints for a call, without their newlines.
#pragma once

#include <string>
#include <vector>

#include "sim/image/sweep.h"

namespace tov::test {

inline sim::RunRequest healthy_call() { return sim::image::request(0x3000099, 10); }

inline sim::RunRequest stuck_call() {
    sim::RunRequest q = sim::image::request(0x3000099, 10);
    q.chip.cmd_stuck_at = 3;
    return q;
}

inline std::vector<std::string> log_lines(const sim::RunRequest& q) {
    std::vector<std::string> out;
    for (std::string l : sim::run_bring_up(q).log) {
        l.pop_back();
        out.push_back(l);
    }
    return out;
}

}  // namespace tov::test
