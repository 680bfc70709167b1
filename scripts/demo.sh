#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the host tools and runs one bring-up on the simulated chip:
# configuration 0x3000099 at clock_index 10. Extra arguments go to tovmem run.
# The build's progress goes to standard error; the output ends with the
# run's summary, after the first lines of its trace.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh cmake ninja-build g++ pkg-config googletest libgtest-dev libbenchmark-dev \
  libcli11-dev nlohmann-json3-dev libunicorn-dev libcapstone-dev libgoogle-perftools-dev >&2
# The preset as it is (a -D here would stay in the build's cache and drop
# the tests and examples from later builds); only tovmem is built.
echo "demo: configuring the host build" >&2
cmake --preset host >/dev/null
echo "demo: building tovmem (a few minutes the first time; ninja counts the steps)" >&2
cmake --build --preset host --target tovmem >&2
status=0
out=$(build/host/tovmem run --config 0x3000099 --clock 10 "$@") || status=$?
# A text run: its first lines, then the summary from the result line on.
if grep -q '^result ' <<<"$out"; then
  total=$(wc -l <<<"$out")
  head -n 12 <<<"$out"
  echo "... ($total lines in all: build/host/tovmem run --config 0x3000099 --clock 10${*:+ $*} shows every one)"
  sed -n '/^result /,$p' <<<"$out"
else
  printf '%s\n' "$out"
fi
exit "$status"
