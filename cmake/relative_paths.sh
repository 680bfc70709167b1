#!/bin/bash
# SPDX-License-Identifier: Apache-2.0
# Runs clang-cl or lld-link with the paths of its command line made relative,
# so that what the debug information records does not depend on where the
# sources and the build tree are: clang writes its cc1 command line, its
# directory and its object's name into every object, lld-link its own
# command line into the PDB. Both run in the target's build directory.
#
#   relative_paths.sh compile <source root> <compiler> <arguments>
#     the source root becomes src, the link to it that the build directory
#     holds, and every path below the root a path below src.
#   relative_paths.sh link <linker> <arguments>
#     every path below the build directory becomes relative to it.
set -eu
mode=$1
shift
args=()
if [ "$mode" = compile ]; then
    root=$1
    shift
    for a in "$@"; do
        case $a in
        "$root") a=src ;;
        -I"$root") a=-Isrc ;;
        *) a=${a//"$root/"/src/} ;;
        esac
        args+=("$a")
    done
else
    here=$PWD
    for a in "$@"; do args+=("${a//"$here/"/}"); done
fi
exec "${args[@]}"
