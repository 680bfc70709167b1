#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Formats the C and C++ sources with .clang-format (clang-format 14), or with
# --check only reports the files that differ and fails. --changed formats
# only the files that differ from the last commit and the new ones (the edit
# loop's step: the committed files are formatted already, CI checks them).
# Usage: scripts/format.sh [--check | --changed]
set -euo pipefail
cd "$(dirname "$0")/.."
sources=('*.c' '*.h' '*.cpp')
if [[ ${1:-} == --changed ]]; then
  mapfile -t files < <(git diff --name-only --diff-filter=d HEAD -- "${sources[@]}"
    git ls-files --others --exclude-standard -- "${sources[@]}")
  ((${#files[@]} == 0)) && exit 0
else
  mapfile -t files < <(git ls-files "${sources[@]}")
fi
if [[ ${1:-} == --check ]]; then
  # Batches of files, one clang-format each, side by side: a process per
  # file took most of the check's time starting them.
  status=0
  out=$(printf '%s\0' "${files[@]}" | xargs -0 -n 40 -P "$(nproc)" clang-format-14 --dry-run --Werror 2>&1) ||
    status=$?
  mapfile -t bad < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$out" | sort -u)
  for f in "${bad[@]}"; do echo "format: $f differs from .clang-format" >&2; done
  if ((status != 0 || ${#bad[@]} != 0)); then
    # Anything else clang-format said (a file it could not read), as it said it.
    ((${#bad[@]} != 0)) || head -n 20 <<<"$out" >&2
    echo "format: scripts/format.sh applies it" >&2
    exit 1
  fi
  echo "format: ${#files[@]} files as .clang-format has them"
else
  clang-format-14 -i "${files[@]}"
fi
