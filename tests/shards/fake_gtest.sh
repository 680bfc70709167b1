#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Stands in for a GoogleTest program in scripts/gtest_shards.sh's test: each
# shard "runs" two tests, the process given by FAIL_SHARD fails, and a
# filter that names nothing runs nothing.
set -euo pipefail
filter=
for a in "$@"; do [[ $a == --gtest_filter=* ]] && filter=${a#--gtest_filter=}; done
me=${GTEST_SHARD_INDEX:-first}
if [[ $filter == Nothing* ]]; then
  echo "[==========] 0 tests from 0 test suites ran. (0 ms total)"
  exit 0
fi
if [[ $me == "${FAIL_SHARD:-none}" ]]; then
  echo "[  FAILED  ] Fake.Test$me"
  exit 1
fi
echo "[==========] 2 tests from 1 test suite ran. (1000 ms total)"
echo "[  PASSED  ] 2 tests."
