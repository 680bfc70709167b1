// SPDX-License-Identifier: Apache-2.0
// docs/configurations.md, the kit's configuration table: every ID of the
// three tables and every routine's memory clock per clock_index, from the
// tables and from runs on the simulated chip. `tovmem list --format
// markdown` prints it; the library tests compare the document with it.
#pragma once

#include <string>

namespace tovmem {

std::string configurations_markdown();

}  // namespace tovmem
