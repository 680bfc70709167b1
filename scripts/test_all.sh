#!/usr/bin/env bash
# Installs what is missing, builds the kernel image and the host build, and
# runs every test: in the plain build, under AddressSanitizer and
# UndefinedBehaviorSanitizer, under ThreadSanitizer, and the fuzz target for a
# minute. This is the command CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh cmake make g++ pkg-config googletest libgtest-dev libbenchmark-dev \
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686 \
  libcli11-dev nlohmann-json3-dev gtkwave libunicorn-dev \
  clang-14 libclang-rt-14-dev llvm-14

cores=$(nproc)
step() { echo; echo "=== $* (at ${SECONDS} s)"; }

step "kernel image"
cmake --preset kernel
cmake --build --preset kernel

step "host build and tests"
cmake --preset host
cmake --build --preset host
# The image-against-host sweep runs once, below, where its counts show.
ctest --preset host -j"$cores" -E '^Sweeps/ImageAgainstHost\.'
build/host/tov_tests --gtest_filter='FaultMatrixSize.*' | grep '^fault matrix:'

step "the shipped kernel image against the host build"
build/host/tov_tests --gtest_filter='Sweeps/ImageAgainstHost.*' --gtest_brief=1

step "host tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset host-asan
cmake --build --preset host-asan
ctest --preset host-asan -j"$cores"

step "host tests under ThreadSanitizer (two chips at once among them)"
cmake --preset host-tsan
cmake --build --preset host-tsan
ctest --preset host-tsan -j"$cores"

step "fuzzing whole bring-ups for 60 s"
bash scripts/fuzz.sh 60

step "all passed"
