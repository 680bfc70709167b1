#!/usr/bin/env bash
# Fuzzes whole bring-ups for SECONDS (default 60) under ASan+UBSan, starting
# from the inputs kept in fuzz/corpus/bring_up, then replays every input the
# fuzzer found worth keeping in a coverage build and reports the line and
# branch coverage of meminit/.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2; }

bash scripts/deps.sh cmake make clang-14 libclang-rt-14-dev llvm-14

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target tov_fuzz

# The run works on a copy: new inputs stay in the build tree.
seeds=fuzz/corpus/bring_up
work=build/fuzz/corpus
rm -rf "$work"
mkdir -p "$work"
cp "$seeds"/* "$work"/ 2>/dev/null || true

log=build/fuzz/fuzz.log
jobs=1
echo "fuzzing for ${seconds} s from $(ls "$seeds" | wc -l) seeds"
status=0
build/fuzz/fuzz/tov_fuzz -max_total_time="$seconds" -print_final_stats=1 -max_len=256 \
  -artifact_prefix=build/fuzz/ "$work" >"$log" 2>&1 || status=$?
if ((status != 0)); then
  tail -n 60 "$log"
  echo "fuzz: FAILED (status $status); the crashing input is in build/fuzz/ (crash-*)" >&2
  exit 1
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
echo "fuzz: ${runs} bring-ups in ${seconds} s, ${rate} execs/s, no invariant violated, no sanitizer report," \
     "corpus $(ls "$work" | wc -l) inputs"

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
