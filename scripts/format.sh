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
  bad=0
  for f in "${files[@]}"; do
    clang-format-14 "$f" | cmp -s - "$f" || { echo "format: $f differs from .clang-format" >&2; bad=1; }
  done
  ((bad == 0)) || { echo "format: scripts/format.sh applies it" >&2; exit 1; }
  echo "format: ${#files[@]} files as .clang-format has them"
else
  clang-format-14 -i "${files[@]}"
fi
