#!/usr/bin/env bash
# Installs what is missing, builds the kernel image and the host build, and
# runs every test. This is the command CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake make g++ googletest libgtest-dev libbenchmark-dev
          g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi

cmake --preset kernel
cmake --build --preset kernel
cmake --preset host
cmake --build --preset host
ctest --preset host
