#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Writes every generated file anew from the build, after a change that is
# meant to move them: the golden digests and reference traces (tests/golden/),
# docs/configurations.md, docs/call-times.md's table, the README's count of
# init routines (all through the library tests, which build in seconds after
# a library edit), then docs/tovmem.md's table of check's rules and the
# sample report docs/tovmem_sample_report.html (through tov_tests). It runs the tests that compare these files with
# TOV_GOLDEN_UPDATE=1, then again without it, and lists what changed: read
# `git diff` before committing.
#
#   bash scripts/update-generated.sh             # build/host, configured with the host preset
#   bash scripts/update-generated.sh --library   # only what the library tests write (seconds after a
#                                                # library edit; the rule table moves only with rules.cpp)
#   bash scripts/update-generated.sh --summary   # only the list of what changed, nothing built
#   TOV_BUILD=DIR bash scripts/update-generated.sh
set -euo pipefail
cd "$(dirname "$0")/.."
generated=(tests/golden docs README.md)

# What the files differ from the last commit in: changed and removed files
# (a routine's trace goes when the routine does), and new ones, which git
# diff leaves out (a new routine's trace).
summary() {
  echo "update-generated: the generated files as the build gives them; changed (git diff --stat):"
  git diff --stat -- "${generated[@]}" || true
  local new
  new=$(git ls-files --others --exclude-standard -- "${generated[@]}")
  if [[ -n $new ]]; then
    echo "new files, not yet in git (git add them with the change):"
    sed 's/^/  /' <<<"$new"
  fi
}
if [[ ${1:-} == --summary ]]; then
  summary
  exit 0
fi

build=${TOV_BUILD:-build/host}
jobs=${TOV_JOBS:-2}
if [[ ! -f $build/CMakeCache.txt ]]; then
  echo "update-generated: $build is not configured; run: cmake --preset host" >&2
  exit 2
fi

library='GoldenTraces.*:GeneratedDocs.*:CallTime.*'
tool='GeneratedToolDocs.*'

cmake --build "$build" -j"$jobs" --target tov_library_tests
TOV_GOLDEN_UPDATE=1 "$build/tov_library_tests" --gtest_filter="$library" --gtest_brief=1
"$build/tov_library_tests" --gtest_filter="$library" --gtest_brief=1

if [[ ${1:-} != --library ]]; then
  cmake --build "$build" -j"$jobs" --target tov_tests
  TOV_GOLDEN_UPDATE=1 "$build/tov_tests" --gtest_filter="$tool" --gtest_brief=1
  "$build/tov_tests" --gtest_filter="$tool" --gtest_brief=1
fi

echo
summary
