#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is missing, builds the kernel image and the host build, and
# runs every test: in the plain build, under AddressSanitizer and
# UndefinedBehaviorSanitizer, under ThreadSanitizer, and the fuzz target for a
# minute. This is the command CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh cmake ninja-build g++ pkg-config googletest libgtest-dev libbenchmark-dev \
  g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686 \
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 wine64 \
  libcli11-dev nlohmann-json3-dev gtkwave libunicorn-dev libcapstone-dev libgoogle-perftools-dev \
  clang-14 clang-tools-14 clang-format-14 lld-14 libclang-rt-14-dev llvm-14 osslsigncode openssl zip \
  chromium zlib1g-dev

cores=$(nproc)
# Each step's heading gives the wall time and the processor time the
# machine has spent since the start (every job, the background ones
# included: what bounds this command on a small machine is work).
ticks=$(getconf CLK_TCK)
busy() { awk '/^cpu /{print $2 + $3 + $4 + $7 + $8 + $9}' /proc/stat 2>/dev/null || echo 0; }
busy_at_start=$(busy)
step() { echo; echo "=== $* (at ${SECONDS} s, $((($(busy) - busy_at_start) / ticks)) processor-seconds)"; }

step "source format (.clang-format)"
bash scripts/format.sh --check

step "kernel images as shipped (clang-cl, lld-link; x86 and x64), tovmem.exe (mingw-w64), the kit and release archive"
cmake --preset kernel
cmake --build --preset kernel
(cd build/kernel && cpack)

step "the kit is reproducible: the same sources at another path, built again beside the next steps"
# The copy takes the first build's test-signing key (the one input that is
# not the sources) and is built with the kernel preset as it stands. It
# runs in the background, filling the cores the next steps leave idle (its
# longest piece, tovmem.exe's commands as one unity source, takes one core for half a
# minute); its verdict comes before the sanitizer suite.
repro=$(mktemp -d)
asan_build= tidy= repro_build= programs=
trap 'rm -rf "$repro"; for job in $asan_build $tidy $repro_build $programs; do kill "$job" 2>/dev/null || true; done' EXIT
tar -cf - --exclude=./build --exclude=./.git . | (mkdir -p "$repro/elsewhere/tov" && cd "$repro/elsewhere/tov" && tar -xf -)
here=$PWD
kit=$(cd build/kernel && ls tovmem-*.zip)
(cd "$repro/elsewhere/tov" && cmake --preset kernel -DTOV_IMAGE_TIMESTAMP="${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct)}" \
  -DTOV_IMAGE_BUILD_NUMBER="$(git -C "$here" rev-list --count HEAD)" \
  -DTOV_TEST_SIGNING_KEY="$here/build/kernel/driver/test-signing.key" \
  -DTOV_TEST_SIGNING_CERT="$here/build/kernel/driver/test-signing.crt" &&
  cmake --build --preset kernel && cd build/kernel && cpack) >build/repro.log 2>&1 &
repro_build=$!
echo "building at $repro/elsewhere/tov (log: build/repro.log)"

step "kernel image, second compiler (mingw-w64 GCC)"
cmake --preset kernel-gcc
cmake --build --preset kernel-gcc

step "host build"
# Line tables only (-g1): a third less compile time than the preset's full
# debug information (kept in build/host's cache: a developer who wants full
# information back configures with -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g -DNDEBUG").
# The test sources at -O0, half their compile time: a test's run time is
# spent in the library, the simulator and the tool, which stay at -O2.
cmake --preset host -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DTOV_TEST_COMPILE_OPTIONS="-g1;-O0"
# clang-tidy over the kernel code and the image loader beside it, from the
# compile databases the configure steps wrote, at a low priority: it takes
# the time the steps below leave idle (the build's last long source and its
# links, a test waiting on Wine or the browser, a step's last long test)
# and gives its verdict at the end.
nice -n 10 bash scripts/tidy.sh >build/tidy.out 2>&1 &
tidy=$!
# From here the sanitizer build (ASan and UBSan, with the fuzz targets from
# the same objects) takes one job beside the plain build's two, and then
# beside the plain build's tests, the image sweeps, the kit checks, the
# diagnostic images' sweeps and the ThreadSanitizer build. It is the
# longest chain (the build, then the sanitizer suite and the fuzzing), so
# it starts first. Its log: build/asan-build.log.
(cmake --preset host-asan &&
  cmake --build --preset host-asan -j1 --target tov_tests tov_thread_tests tovmem host_bring_up \
    tov_fuzz tov_fuzz_pe tov_fuzz_trace tov_fuzz_dbg_format) >build/asan-build.log 2>&1 &
asan_build=$!
cmake --build --preset host

step "host tests"
# The tests that are programs of their own (the CMake consumers, the
# header's compiles, the scripts' verdicts: every ctest name without a dot)
# through ctest; GoogleTest's in a few processes (scripts/gtest_shards.sh),
# where one process per test spent a fifth of the step starting them. The
# image and caller sweeps and the kit checks run below, where their counts
# show.
# The kit's tests, run in their own step below; the plain step leaves them
# out, with the sweeps, the preemption sweeps and Wine's.
kit_tests='Arch/ShippedImage.*:ReleaseArchive.*:X64Image.*:Arch/KitCaller.*:ImportLibraries.*:Callers/*:CallerRefusals.*'
ctest --preset host -j"$cores" -E '[.]' >build/ctest-programs.log 2>&1 &
programs=$!
bash scripts/gtest_shards.sh build/host/tov_tests build/host/shards $((cores + 1)) 12 \
  '*CheckAll*:CallTime.*:DiagnosticLog.RebuildsEveryForm*' \
  "-Sweeps/*:$kit_tests:Clocks/Preemption.*:FaultMatrixSize.*:WindowsTool.*"
build/host/tov_thread_tests --gtest_brief=1
status=0
wait "$programs" || status=$?
programs=
tail -n 3 build/ctest-programs.log
((status == 0)) || { cat build/ctest-programs.log; exit 1; }
build/host/tov_tests --gtest_filter='FaultMatrixSize.*' | grep '^fault matrix:'

step "preempted waits: every routine form, preempted 1 to 500 ms at each clock reading of its first wait"
# One process per clock, side by side.
build/host/tov_tests --gtest_filter='Clocks/Preemption.*/fresh' --gtest_brief=1 >build/preempt-fresh.log 2>&1 &
preempt_fresh=$!
preempted=0
build/host/tov_tests --gtest_filter='Clocks/Preemption.*/windows*' --gtest_brief=1 || preempted=$?
wait "$preempt_fresh" || preempted=$?
cat build/preempt-fresh.log
((preempted == 0))

step "the kernel images against the host build (x86 clang and GCC, x64 clang)"
build/host/tov_tests --gtest_filter='Sweeps/*:-Sweeps/DiagnosticImageAgainstHost.*' --gtest_brief=1

step "the driver kit: PDBs, import libraries, sample capture drivers through their imports"
build/host/tov_tests --gtest_filter="$kit_tests" --gtest_brief=1

step "tovmem.exe under Wine against the Linux build: every format, the tables, WinDbg and DebugView captures"
# One Wine prefix, made in the test's temporary folder, and two launches.
build/host/tov_tests --gtest_filter='WindowsTool.*' --gtest_brief=1

step "the diagnostic images against the host build, every scenario"
build/host/tov_tests --gtest_filter='Sweeps/DiagnosticImageAgainstHost.*' --gtest_brief=1

# ThreadSanitizer only where threads run: two bring-ups at once.
step "two chips at once under ThreadSanitizer"
# Line tables only, as the host build: a report still names each line.
cmake --preset host-tsan -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
cmake --build --preset host-tsan -j1 --target tov_thread_tests
ctest --preset host-tsan -j"$cores" -R '^TwoChips\.'

step "the sanitizer build's end (the fuzz coverage build meanwhile)"
cmake --preset fuzz-coverage >/dev/null
cmake --build --preset fuzz-coverage -j1 --target tov_fuzz >/dev/null
built=0
wait "$asan_build" || built=$?
asan_build=
if ((built != 0)); then
  tail -n 40 build/asan-build.log
  echo "the sanitizer build failed (status $built; the whole log: build/asan-build.log)" >&2
  exit 1
fi
echo "built: the sanitizer build's tests and fuzz targets, the coverage build's fuzz target"

step "the kit is reproducible: the verdict"
built=0
wait "$repro_build" || built=$?
repro_build=
if ((built != 0)); then
  tail -n 40 build/repro.log
  echo "the second kernel build failed (status $built; the whole log: build/repro.log)" >&2
  exit 1
fi
if cmp "build/kernel/$kit" "$repro/elsewhere/tov/build/kernel/$kit"; then
  echo "reproducible: $kit ($(sha256sum <"build/kernel/$kit" | cut -c1-16)...) built at two paths, byte for byte the same"
else
  echo "NOT reproducible: $kit differs between the two builds"
  exit 1
fi

step "host tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# The GCC, x64 and diagnostic images' sweeps drive the same host code as the
# shipped image's (and the x64 runner's own tests run here); the shipped
# image's table and coarse-clock sweeps, its capture driver's, check --all
# and the review of every table ID's findings and invariants the same as its
# fault sweep and a single check (the coarse clock itself
# runs under the sanitizers at Windows' period, CoarseClock.*15625us; the
# other periods drive the same code); the recorded digests of every healthy
# table bring-up and every routine called directly, and the reference
# traces, drive the same bring-ups as the ID sweeps (HaldenSweep,
# VarnelSweep...), the fault matrix and the trace tests; the call-time table, the layout
# rebuild, the generated documents, the include layering, the CMake
# consumers and the header's compiles check documents, sources and a
# compile: they run in the plain build above. The log reader's read-back of
# every form and fault, and its sweeps of each line or newline lost from a
# capture, run there too; under the sanitizers the log fuzz target drives
# the reader with far more varied input. The worst documented options on
# each image (some 18 million emulated instructions each) drive the same
# runner code as the shipped image's fault sweep, which runs here; their
# point, the same result as the host build's, is checked in the plain build.
# What runs another program for most of its time runs there too: tovmem.exe
# under Wine, the release archive's listing, the documents' examples, and
# the report's pages in the browser (the page itself is built under the
# sanitizers by TovmemReport.*); so does the numbered read-back of each line
# lost from a capture.
plain_only='Sweeps/*gcc*:Sweeps/*x64*:Sweeps/*diag*:Sweeps/*_table*:Sweeps/*_coarse_clock*:Callers/*'
plain_only+=':*CheckAll*:CallTime.*:CallerRefusals.RecordLayout*:Clocks/Preemption.*'
plain_only+=':*CoarseClock.*_500us:*CoarseClock.*_1000us:*CoarseClock.*_7300us'
plain_only+=':GeneratedDocs.*:GeneratedToolDocs.*:Layering.*:DiagnosticLog.RebuildsEveryForm*'
plain_only+=':LostLines.NoDroppedLine*:LostNewlines.TwoObjectsOnALine*:Images/WorstOptions.*:KnownFindings.*'
plain_only+=':WindowsTool.*:ReleaseArchive.*:Docs/DocExamples.*:ReportScreenshot.*:Pages/ReportInBrowser.*'
plain_only+=':LostLines.NumberedLinesNameEachGap'
plain_only+=':GoldenTraces.EveryHealthyBringUpAsRecorded:GoldenTraces.EveryRoutineCalledDirectlyAsRecorded'
plain_only+=':GoldenTraces.ReferenceTracesAsRecorded'
# A few processes rather than one per test (see scripts/gtest_shards.sh);
# the image sweep, the longest, first.
bash scripts/gtest_shards.sh build/host-asan/tov_tests build/host-asan/shards $((cores + 1)) 12 'Sweeps/*' "-$plain_only"
build/host-asan/tov_thread_tests --gtest_brief=1
ctest --preset host-asan -R '^host_bring_up_example$'

step "fuzzing for 60 s (two targets at a time), and clang-tidy's verdict"
bash scripts/fuzz.sh 60 --no-coverage
status=0
wait "$tidy" || status=$?
tidy=
cat build/tidy.out
((status == 0))
bash scripts/fuzz.sh 60 --coverage-only

step "all passed"
