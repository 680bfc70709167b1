#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The maintainer's scripts, each run in a scratch git tree of its own with
# stand-ins for cmake and the test program:
# - scripts/loop.sh: a build that fails fails the loop, and the test program
#   (an old binary, still there from the last build) does not run; a test
#   that fails fails the loop; a passing build and test pass it; formatting
#   runs before the build;
# - scripts/update-generated.sh --summary lists a changed, a removed and a
#   new (untracked) generated file;
# - scripts/format.sh --check, with the real clang-format, names each file
#   that differs and fails, and passes the tree once formatted.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scripts=$here/../../scripts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$here/../lib/expect.sh"
refute() {  # refute FILE WHAT: FILE must not exist
  if [[ -e $1 ]]; then
    echo "FAILED: $2"
    fails=$((fails + 1))
  fi
}

# A scratch tree: the scripts under test, a stand-in for clang-format (it
# logs its calls) and for cmake (it logs them and fails when BUILD_FAILS is
# set), and a configured build directory holding a test program from an
# earlier build, which logs each run and fails when TEST_FAILS is set.
tree() {
  local t=$work/$1
  mkdir -p "$t/scripts" "$t/bin" "$t/build/host" "$t/tests/golden/traces" "$t/docs"
  cp "$scripts/loop.sh" "$scripts/format.sh" "$scripts/gtest_shards.sh" "$scripts/update-generated.sh" "$t/scripts/"
  cat >"$t/bin/clang-format-14" <<'EOF'
#!/usr/bin/env bash
echo "format $*" >>"$LOG"
EOF
  cat >"$t/bin/cmake" <<'EOF'
#!/usr/bin/env bash
echo "cmake $*" >>"$LOG"
[[ -z ${BUILD_FAILS:-} ]] || { echo "error: the build failed"; exit 1; }
EOF
  cat >"$t/build/host/tov_library_tests" <<'EOF'
#!/usr/bin/env bash
echo "test ${GTEST_SHARD_INDEX:-first} $*" >>"$LOG"
[[ -z ${TEST_FAILS:-} ]] || { echo "[  FAILED  ] Stale.Test"; exit 1; }
echo "[==========] 2 tests from 1 test suite ran. (10 ms total)"
EOF
  chmod +x "$t/bin/"* "$t/build/host/tov_library_tests"
  touch "$t/build/host/CMakeCache.txt"
  echo "int a;" >"$t/a.cpp"
  echo "old" >"$t/tests/golden/table_sweep.txt"
  echo "gone" >"$t/tests/golden/traces/meminit_old.txt"
  echo "# doc" >"$t/docs/configurations.md"
  (cd "$t" && git init -q && git add -A && git -c user.name=t -c user.email=t@t commit -qm scratch)
  echo "$t"
}
in_tree() {  # in_tree DIR command...: PATH and LOG of the scratch tree
  local t=$1
  shift
  (cd "$t" && PATH=$t/bin:$PATH LOG=$t/log "$@")
}

# The library loop: a failed build fails it before any test runs.
t=$(tree failed_build)
echo "int b;" >>"$t/a.cpp"
expect 1 "the build failed" -- in_tree "$t" env BUILD_FAILS=1 bash scripts/loop.sh library
grep -q '^test' "$t/log" && { echo "FAILED: the old test program ran after a failed build"; fails=$((fails + 1)); }
grep -q '^format .*a.cpp' "$t/log" || { echo "FAILED: the changed source was not formatted"; fails=$((fails + 1)); }
[[ $(head -n 1 "$t/log") == format* ]] || { echo "FAILED: the loop did not format first: $(cat "$t/log")"; fails=$((fails + 1)); }

# A failing test fails it; a passing build and test pass it, CallTime.* left out.
t=$(tree failed_test)
expect 1 "Stale.Test" -- in_tree "$t" env TEST_FAILS=1 bash scripts/loop.sh library
t=$(tree passed)
expect 0 "passed in" -- in_tree "$t" bash scripts/loop.sh library
grep -q -- '--target tov_library_tests' "$t/log" || { echo "FAILED: the loop built no tov_library_tests"; fails=$((fails + 1)); }
grep -q -- '-CallTime' "$t/log" || { echo "FAILED: the loop ran CallTime.*: $(cat "$t/log")"; fails=$((fails + 1)); }
expect 0 "passed in" -- in_tree "$t" bash scripts/loop.sh library 'CallTime.*'
grep -q -- '--gtest_filter=CallTime' "$t/log" || { echo "FAILED: the loop's filter was not passed on"; fails=$((fails + 1)); }

# The tool loop: a failed build runs no ctest.
t=$(tree tool)
cat >"$t/bin/ctest" <<'EOF'
#!/usr/bin/env bash
echo "ctest $*" >>"$LOG"
EOF
chmod +x "$t/bin/ctest"
expect 1 "the build failed" -- in_tree "$t" env BUILD_FAILS=1 bash scripts/loop.sh tool
grep -q '^ctest' "$t/log" && { echo "FAILED: ctest ran after a failed build"; fails=$((fails + 1)); }
expect 0 "passed in" -- in_tree "$t" bash scripts/loop.sh tool
grep -q -- '^ctest .*-E ^(.*ReleaseArchive' "$t/log" ||
  { echo "FAILED: the tool loop does not leave out the kit's test: $(cat "$t/log")"; fails=$((fails + 1)); }
expect 2 "usage" -- in_tree "$t" bash scripts/loop.sh

# The update command's summary: changed, removed and new generated files.
t=$(tree summary)
echo "new" >"$t/tests/golden/table_sweep.txt"
rm "$t/tests/golden/traces/meminit_old.txt"
echo "W 810 1" >"$t/tests/golden/traces/meminit_new.txt"
expect 0 "tests/golden/traces/meminit_new.txt" -- in_tree "$t" bash scripts/update-generated.sh --summary
expect 0 "table_sweep.txt" -- in_tree "$t" bash scripts/update-generated.sh --summary
expect 0 "meminit_old.txt" -- in_tree "$t" bash scripts/update-generated.sh --summary
refute "$t/log" "the summary built or ran something"

# The format check, with the real clang-format over more files than one
# batch: it names each file that differs, and only those, and fails; the
# tree once formatted passes.
t=$work/format_check
mkdir -p "$t/scripts" "$t/sub"
cp "$scripts/format.sh" "$t/scripts/"
cp "$here/../../.clang-format" "$t/"
for i in $(seq 1 90); do printf 'int c%d;\n' "$i" >"$t/sub/ok$i.h"; done
printf 'int  b( ){return 1;}\n' >"$t/sub/bad.cpp"
printf 'int   d ;\n' >"$t/z.c"
(cd "$t" && git init -q && git add -A && git -c user.name=t -c user.email=t@t commit -qm scratch)
out=$(cd "$t" && bash scripts/format.sh --check 2>&1)
status=$?
differs=$(grep -c 'differs from .clang-format' <<<"$out")
if ((status == 0)) || ((differs != 2)) || ! grep -q '^format: sub/bad.cpp differs' <<<"$out" ||
  ! grep -q '^format: z.c differs' <<<"$out"; then
  echo "FAILED: the format check (status $status, $differs files named, sub/bad.cpp and z.c expected):"
  echo "$out"
  fails=$((fails + 1))
fi
(cd "$t" && bash scripts/format.sh >/dev/null 2>&1)
expect 0 "format: 92 files as .clang-format has them" -- bash -c "cd '$t' && bash scripts/format.sh --check"

((fails == 0)) && echo "maintainer scripts: every verdict as expected"
exit $((fails != 0))
