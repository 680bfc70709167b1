#!/usr/bin/env bash
# Builds the host tools and runs one bring-up on the simulated chip:
# configuration 0x3000099 at clock_index 10. Extra arguments go to tovmem run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh cmake make g++ pkg-config googletest libgtest-dev libbenchmark-dev \
  libcli11-dev nlohmann-json3-dev libunicorn-dev >&2
cmake --preset host -DTOV_BUILD_TESTS=OFF >/dev/null
cmake --build --preset host --target tovmem >/dev/null
exec build/host/tovmem run --config 0x3000099 --clock 10 "$@"
