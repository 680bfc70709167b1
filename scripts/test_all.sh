#!/usr/bin/env bash
# Installs what is missing, builds the kernel image and the host build, and
# runs every test. This is the command CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh cmake make g++ pkg-config googletest libgtest-dev libbenchmark-dev \
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686 \
  libcli11-dev nlohmann-json3-dev gtkwave libunicorn-dev

cmake --preset kernel
cmake --build --preset kernel
cmake --preset host
cmake --build --preset host
ctest --preset host

# The shipped image against the host build, with its scenario counts.
build/host/tov_tests --gtest_filter='Sweeps/ImageAgainstHost.*' --gtest_brief=1
