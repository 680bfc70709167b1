// SPDX-License-Identifier: Apache-2.0
// tovmem: runs the DDR bring-up library on the simulated chip and shows what
// it does: annotated traces, JSON lines and waveforms of a run, the
// configuration tables, a rule check of the power-up commands, and a
// step-by-step comparison of two bring-ups.
#include "tools/tovmem/tool.h"

int main(int argc, char** argv) { return tovmem::tool_main(argc, argv); }
