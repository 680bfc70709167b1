#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The edit loop, one command each way: format the changed sources, build,
# then test. Each step runs only when the one before it passed, so a build
# that fails ends the loop with its status and no test runs on an old
# binary; formatting comes first, so that it never touches a file after the
# build has compiled it.
#
#   bash scripts/loop.sh library [FILTER]   # after a library edit: tov_library_tests, without CallTime.*
#                                           # unless FILTER (a gtest filter) asks for them ('*': everything)
#   bash scripts/loop.sh tool [REGEX]       # after a tool or test edit: tovmem and the test programs, then
#                                           # ctest (only the tests matching REGEX when given) less the tests
#                                           # that load the kernel builds (their images and the kit)
#   TOV_BUILD=DIR TOV_JOBS=N bash scripts/loop.sh ...   # build/host and 2 jobs unless set
#
# The tests of the kernel builds are left out: they run the images built by
# the kernel presets, which a host edit leaves stale. After rebuilding them
# (cmake --build --preset kernel, --preset kernel-gcc, cpack in build/kernel
# for the kit), run them with ctest --preset host -R "$(bash scripts/loop.sh --kernel-tests)".
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TOV_BUILD:-build/host}
jobs=${TOV_JOBS:-2}
mode=${1:-}

# The tests that load a file of the kernel builds: the images (x86 clang and
# GCC, x64, diagnostic), the capture drivers, the PDBs, the kit's archive,
# INF and import libraries, the Windows build of tovmem. Without those
# builds each fails with "not built" and the command that builds it, so a
# new test of a kernel build missing here turns the loop red, never green.
kernel_tests='^(Arch/|Builds/|Callers/|Classes/|Images/|Loader/|Sweeps/|X64/|X64Image\.|X64Runner\.'
kernel_tests+='|TovmemImage\.(CallerNeeds|CheckAll|JsonLines|TextSummary)|TovmemImageX64\.|KernelImages\.'
kernel_tests+='|ImportLibraries\.|ReleaseArchive\.|WindowsTool\.|ImageTest\.|DiagnosticImage\.|CallerRefusals\.'
kernel_tests+='|HostilePrint\.|BusAttribution\.|RegisterBlockPlace\.|CaptureDriver\.X64Sample'
kernel_tests+='|SampleInf\.ShippedCopy|HostileFiles\.EveryRefusal)'

usage() {
  echo "usage: scripts/loop.sh library [GTEST_FILTER] | tool [CTEST_REGEX] | --kernel-tests" >&2
  exit 2
}
case $mode in
library | tool) ;;
--kernel-tests)
  echo "$kernel_tests"
  exit 0
  ;;
*) usage ;;
esac
if [[ ! -f $build/CMakeCache.txt ]]; then
  echo "loop: $build is not configured; run: cmake --preset host" >&2
  exit 2
fi

bash scripts/format.sh --changed
if [[ $mode == library ]]; then
  cmake --build "$build" -j"$jobs" --target tov_library_tests
  built=$SECONDS
  if [[ -n ${2:-} ]]; then
    "$build/tov_library_tests" --gtest_brief=1 --gtest_filter="$2"
  else
    # The golden traces in one process, the rest in another, side by side.
    bash scripts/gtest_shards.sh "$build/tov_library_tests" "$build/loop" "$jobs" 1 'GoldenTraces.*' '-CallTime.*'
  fi
else
  cmake --build "$build" -j"$jobs" --target tovmem tov_tests tov_thread_tests host_bring_up
  built=$SECONDS
  ctest --test-dir "$build" -j"$jobs" --output-on-failure -E "$kernel_tests" ${2:+-R "$2"}
fi
echo "loop: $mode: built in $built s, passed in $SECONDS s"
