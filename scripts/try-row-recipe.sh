#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Follows docs/maintaining.md's first recipe to the letter in a scratch clone
# of the committed tree: adds the recipe's third-family row to varnel_rows in
# ID order, builds the kernel images and the host build, runs the update
# command and every host test, and checks that only the tables' file and
# generated files changed, each by additions. Long (a whole build); not part
# of the CI run, which holds the recipe by GeneratedDocs.RowRecipe* instead.
#
#   bash scripts/try-row-recipe.sh [SCRATCH_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
scratch=${1:-$(mktemp -d)}
jobs=${TOV_JOBS:-2}
git clone -q "$here" "$scratch/tov"
cd "$scratch/tov"

row=$(sed -n '/^### A third-family row/,/^### A third-family routine/p' docs/maintaining.md |
  grep -m1 -E '^ +\{\.id = 0x3[0-9a-f]+, .*\},$' | sed 's/^ *//')
id=$(sed -E 's/^\{\.id = (0x[0-9a-f]+),.*/\1/' <<<"$row")
echo "recipe row: $row"
# In ID order: before the first row of varnel_rows with a higher ID.
awk -v row="$row" -v id="$id" '
  function hex(s,   v, i) {
    v = 0
    for (i = 3; i <= length(s); ++i) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
    return v
  }
  /^const ConfigEntry varnel_rows\[\] = \{/ { in_rows = 1 }
  in_rows && !done && match($0, /\.id = 0x[0-9a-f]+/) {
    if (hex(substr($0, RSTART + 6, RLENGTH - 6)) > hex(id)) { print "    " row; done = 1 }
  }
  in_rows && !done && /^\};/ { print "    " row; done = 1 }
  { print }' meminit/entry/dispatch.cpp >dispatch.tmp
mv dispatch.tmp meminit/entry/dispatch.cpp
git diff --stat

step() { echo; echo "=== $* (at ${SECONDS} s)"; }
step "kernel images (step 4 of the recipe), the kit"
cmake --preset kernel >/dev/null && cmake --build --preset kernel -j"$jobs" >/dev/null && (cd build/kernel && cpack >/dev/null)
cmake --preset kernel-gcc >/dev/null && cmake --build --preset kernel-gcc -j"$jobs" >/dev/null
step "host build"
cmake --preset host -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" >/dev/null
cmake --build --preset host -j"$jobs" >/dev/null
step "the update command (step 2)"
bash scripts/update-generated.sh
step "every host test"
ctest --preset host -j"$jobs" --output-on-failure | tail -n 25
step "what changed (step 3)"
git diff --numstat | tee changes.txt
bad=0
while read -r added removed file; do
  case $file in
    meminit/entry/dispatch.cpp | tests/golden/* | docs/configurations.md | docs/call-times.md | README.md | docs/tovmem.md) ;;
    *) echo "not a file the row or the update command should change: $file"; bad=1 ;;
  esac
  if [[ $removed != 0 ]]; then echo "$file: $removed lines removed (only additions expected)"; bad=1; fi
done <changes.txt
rm changes.txt
if ((bad)); then echo "row recipe: FAILED"; exit 1; fi
echo "row recipe: only additions, $(git diff --numstat | awk '{s += $1} END {print s}') lines in $(git diff --numstat | wc -l) files"
