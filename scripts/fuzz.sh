#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Fuzzes for SECONDS in all (default 60) under ASan+UBSan, with the targets
# of the sanitizer build (preset host-asan, build/host-asan/fuzz): whole bring-ups
# for half of it, from the inputs kept in fuzz/corpus/bring_up, then the two
# readers of untrusted files for a quarter each: the PE loader and image
# runner (seeded with the kernel builds' images and capture drivers, x86 and x64) and the
# trace reader with check and diff (fuzz/corpus/trace), with a twelfth of
# the time taken from the bring-ups for the image runner's DbgPrintEx
# formatting (fuzz/corpus/dbg_format). Then replays every
# bring-up input the fuzzer found worth keeping in a coverage build and
# reports the line and branch coverage of meminit/.
# SECONDS is the fuzzing time of all targets together. With two cores or
# more the targets run in two lanes side by side (the bring-ups and the
# formats in one, the images and the traces in the other), each target for
# its share as before: the same fuzzing in half the wall time.
# Usage: scripts/fuzz.sh [SECONDS] [--no-coverage]
# (--no-coverage: fuzz only; the coverage report then needs a second call
# with --coverage-only, after the coverage build may have been made elsewhere.)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
mode=${2:-}
[[ $seconds =~ ^[0-9]+$ && $mode =~ ^(|--no-coverage|--coverage-only)$ ]] ||
  { echo "usage: scripts/fuzz.sh [SECONDS] [--no-coverage|--coverage-only]" >&2; exit 2; }

bash scripts/deps.sh cmake ninja-build clang-14 libclang-rt-14-dev llvm-14
out=build/host-asan/fuzz

if [[ $mode != --coverage-only ]]; then
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan --target tov_fuzz tov_fuzz_pe tov_fuzz_trace tov_fuzz_dbg_format

# One target for SECS from the seeds given; each run works on a copy: new
# inputs stay in the build tree.
fuzz() {
  local name=$1 target=$2 secs=$3 max_len=$4 what=$5
  shift 5
  local work=$out/corpus-$name log=$out/fuzz-$name.log status=0
  rm -rf "$work"
  mkdir -p "$work"
  for start in "$@"; do [[ -f $start ]] && cp "$start" "$work/${start//\//_}"; done
  echo "fuzzing $what for ${secs} s from $(ls "$work" | wc -l) seeds"
  "$out/$target" -max_total_time="$secs" -print_final_stats=1 -max_len="$max_len" \
    -artifact_prefix="$out/" "$work" >"$log" 2>&1 || status=$?
  if ((status != 0)); then
    tail -n 60 "$log"
    echo "fuzz: FAILED (status $status) on $what; the crashing input is in $out/ (crash-*)" >&2
    exit 1
  fi
  local runs rate
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  echo "fuzz: ${runs} ${what} in ${secs} s, ${rate} execs/s, no finding, no sanitizer report," \
       "corpus $(ls "$work" | wc -l) inputs"
}

half=$((seconds / 2))
quarter=$(((seconds - half) / 2))
twelfth=$((seconds / 12))
lane_one() {
  fuzz bring_up tov_fuzz "$((half - twelfth))" 256 "bring-ups (no invariant violated)" fuzz/corpus/bring_up/*
  fuzz dbg_format tov_fuzz_dbg_format "$twelfth" 4096 "DbgPrintEx formats and arguments" fuzz/corpus/dbg_format/*
}
lane_two() {
  # The diagnostic images too: their DbgPrintEx calls take the runner's
  # formatting, whose format and arguments a mutated image controls.
  fuzz pe tov_fuzz_pe "$quarter" 53248 "PE images and capture drivers" \
    build/kernel/driver/tovmem.sys build/kernel/driver/capture_driver/capture.sys \
    build/kernel-gcc/driver/tovmem.sys build/kernel-gcc/driver/capture_driver/capture.sys \
    build/kernel/x64/driver/tovmem.sys build/kernel/x64/driver/capture_driver/capture.sys \
    build/kernel/driver/diag/tovmem.sys build/kernel/x64/driver/diag/tovmem.sys
  fuzz trace tov_fuzz_trace "$((seconds - half - quarter))" 8192 "traces (read, checked, diffed)" \
    fuzz/corpus/trace/*
}
if (($(nproc) >= 2)); then
  # Each lane's lines are held until both are done, then printed in order.
  (lane_one) >"$out/lane-one.out" 2>&1 &
  one=$!
  status=0
  (lane_two) >"$out/lane-two.out" 2>&1 || status=$?
  wait "$one" || status=$?
  cat "$out/lane-one.out" "$out/lane-two.out"
  ((status == 0)) || exit 1
else
  lane_one
  lane_two
fi
fi
work=$out/corpus-bring_up
[[ $mode == --no-coverage ]] && exit 0

# Coverage of meminit/ reached by everything the run kept.
cmake --preset fuzz-coverage >/dev/null
cmake --build --preset fuzz-coverage --target tov_fuzz >/dev/null
cov=build/fuzz-coverage
rm -f "$cov"/*.profraw
LLVM_PROFILE_FILE="$cov/replay.profraw" "$cov"/fuzz/tov_fuzz -runs=0 "$work" >/dev/null 2>&1
llvm-profdata-14 merge -sparse "$cov/replay.profraw" -o "$cov/replay.profdata"
llvm-cov-14 report "$cov"/fuzz/tov_fuzz -instr-profile="$cov/replay.profdata" \
  "$PWD/meminit" >"$cov/meminit.txt"
total=$(grep '^TOTAL' "$cov/meminit.txt")
read -r _ regions _ region_pct functions _ function_pct lines _ line_pct branches _ branch_pct <<<"$total"
# Lines and functions also count the constexpr table builders (orlit.cpp,
# halden/tables.cpp, varnel.cpp), which run in the compiler, never at run
# time; regions and branches are the figures to follow.
echo "fuzz coverage of meminit/: regions ${region_pct}, branches ${branch_pct}, lines ${line_pct}," \
     "functions ${function_pct} (lines and functions include the compile-time table builders;" \
     "per file: $cov/meminit.txt)"
