#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# clang-tidy (the checks of .clang-tidy) over the code that runs in the
# kernel (meminit/, platform/) and the loader and runner that read untrusted
# images (sim/image/). Needs the host and kernel builds' compile databases
# (cmake --preset host, cmake --preset kernel; the kernel build's x64 tree,
# build/kernel/x64, has the x64 image's). Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh clang-tidy-14

host=$(ls meminit/*/*.cpp sim/host_platform.cpp platform/diag_line.cpp)
# The image loader and runner: every check of .clang-tidy, the static
# analyzer's in its shallow mode (fewer paths per function, less inlining).
# In its deep mode eleven of the runner's functions (the emulator's
# callbacks, the call, the sweeps' drivers) each ran into its path budget,
# and these files took two thirds more time.
runner=$(ls sim/image/*.cpp)
shallow=(-extra-arg=-Xclang -extra-arg=-analyzer-config -extra-arg=-Xclang -extra-arg=mode=shallow)
kernel=$(ls platform/kernel*.cpp | grep -v kernel_x64)
kernel_x64=platform/kernel_x64.cpp
log=build/tidy.log
mkdir -p build
status=0
{
  run-clang-tidy-14 -p build/host -quiet -j"$(nproc)" $host
  run-clang-tidy-14 -p build/host -quiet -j"$(nproc)" "${shallow[@]}" $runner
  run-clang-tidy-14 -p build/kernel -quiet -j"$(nproc)" $kernel
  run-clang-tidy-14 -p build/kernel/x64 -quiet -j"$(nproc)" $kernel_x64
} >"$log" 2>&1 || status=$?
findings=$(grep -cE '(warning|error): ' "$log" || true)
files=$(echo $host $runner $kernel $kernel_x64 | wc -w)
if ((status != 0 || findings != 0)); then
  grep -E '(warning|error): ' -A3 "$log" | sed 's/\x1b\[[0-9;]*m//g' | head -80
  echo "clang-tidy: ${findings} findings in ${files} files (the whole output: $log)" >&2
  exit 1
fi
echo "clang-tidy: ${files} files, 0 findings"
