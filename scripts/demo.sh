#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the host tools and runs one bring-up on the simulated chip:
# configuration 0x3000099 at clock_index 10. Extra arguments go to tovmem run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh cmake ninja-build g++ pkg-config googletest libgtest-dev libbenchmark-dev \
  libcli11-dev nlohmann-json3-dev libunicorn-dev libcapstone-dev >&2
# The preset as it is (a -D here would stay in the build's cache and drop
# the tests and examples from later builds); only tovmem is built.
cmake --preset host >/dev/null
cmake --build --preset host --target tovmem >/dev/null
exec build/host/tovmem run --config 0x3000099 --clock 10 "$@"
