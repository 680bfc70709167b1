#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# scripts/gtest_shards.sh's verdict, which CI's sanitizer suite relies on:
# every shard passing passes with the sum of their counts; one failing
# shard, the first process or a numbered one, fails naming it; a filter
# that runs no test at all fails.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
script=$here/../../scripts/gtest_shards.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/../lib/expect.sh"
fake=$here/fake_gtest.sh
expect 0 "8 tests passed in 4 processes" -- "$script" "$fake" "$work/a" 2 3 'Long.*' '-Slow.*'
expect 1 "shard 1 of .* failed" -- env FAIL_SHARD=1 "$script" "$fake" "$work/b" 2 3 'Long.*' '-Slow.*'
expect 1 "shard first of .* failed" -- env FAIL_SHARD=first "$script" "$fake" "$work/c" 3 2 'Long.*' ''
expect 1 "no test ran" -- "$script" "$fake" "$work/d" 2 2 'Nothing.*' 'Nothing.*'
expect 2 "positive counts" -- "$script" "$fake" "$work/e" 0 2 'Long.*' ''
((fails == 0)) && echo "gtest_shards: every verdict as expected"
exit $((fails != 0))
