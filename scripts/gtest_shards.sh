#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs a GoogleTest program's tests in a few processes instead of one per
# test, JOBS at a time: the tests matching FIRST (a gtest filter, the long
# ones) in a process of their own, started first, and the rest of FILTER in
# SHARDS shards. Under the sanitizers a process costs about 60 ms to start
# and to check for leaks on exit; one per test made a third of the suite's
# time. Each process's output goes to DIR/shard-N.log; a failing one's
# failures are printed. Fails when any process fails or no test ran at all.
# Usage: scripts/gtest_shards.sh PROGRAM DIR JOBS SHARDS FIRST FILTER
set -euo pipefail
(($# == 6)) || { echo "usage: scripts/gtest_shards.sh PROGRAM DIR JOBS SHARDS FIRST FILTER" >&2; exit 2; }
program=$1 dir=$2 jobs=$3 shards=$4 first=$5 filter=$6
[[ $jobs =~ ^[1-9][0-9]*$ && $shards =~ ^[1-9][0-9]*$ ]] ||
  { echo "gtest_shards: JOBS and SHARDS are positive counts" >&2; exit 2; }
mkdir -p "$dir"

# The filter of the rest: FILTER's positive part (or every test) less FIRST.
positive=${filter%%-*} negative=
[[ $filter == *-* ]] && negative=${filter#*-}
rest="${positive:-*}-${first}${negative:+:$negative}"

run_one() {
  local n=$1 log="$dir/shard-$1.log" status=0
  if [[ $n == first ]]; then
    "$program" --gtest_brief=1 --gtest_filter="$first${negative:+-$negative}" >"$log" 2>&1 || status=$?
  else
    GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$n "$program" --gtest_brief=1 --gtest_filter="$rest" \
      >"$log" 2>&1 || status=$?
  fi
  if ((status != 0)); then
    # The failures and the sanitizer's report, if any, then the verdict.
    grep -E '^\[  FAILED  \]|Failure$|ERROR: |SUMMARY: ' -A12 "$log" | head -n 200 >&2 || true
    echo "shard $n of $program failed (status $status; the whole output: $log)" >&2
    return 1
  fi
  sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\. (\([0-9]*\) ms total)$/\1 \2/p' "$log" >"$log.count"
}
export -f run_one
export program dir shards first rest negative

status=0
{ echo first; seq 0 $((shards - 1)); } | xargs -P "$jobs" -I{} bash -c 'run_one {}' || status=$?
tests=0 ms=0
for f in "$dir"/shard-*.log.count; do
  [[ -s $f ]] || continue
  read -r t m <"$f"
  tests=$((tests + t)) ms=$((ms + m))
done
rm -f "$dir"/shard-*.log.count
if ((status != 0)); then
  echo "$program: a shard failed" >&2
  exit 1
fi
if ((tests == 0)); then
  echo "$program: no test ran (the filters name no test: '$first', '$filter')" >&2
  exit 1
fi
echo "$program: $tests tests passed in $((shards + 1)) processes, $((ms / 1000)) s of test time in all"
