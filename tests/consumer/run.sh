#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds and runs the consumer project against the host library:
#   run.sh package BUILD_DIR WORK_DIR [CMAKE_ARGS...]   installs BUILD_DIR, then find_package(tov)
#   run.sh subdirectory SOURCE_DIR WORK_DIR [CMAKE_ARGS...]   add_subdirectory of the source tree
set -euo pipefail
mode=$1 from=$2 work=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
case $mode in
  package)
    cmake --install "$from" --prefix "$work/prefix" >/dev/null
    cmake -S "$here" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" "$@" >/dev/null ;;
  subdirectory)
    cmake -S "$here" -B "$work/build" -DTOV_SOURCE_DIR="$from" "$@" >/dev/null ;;
esac
cmake --build "$work/build" -j2 >/dev/null
"$work/build/consumer"
rm -rf "$work"
