#!/usr/bin/env bash
# Configures and builds one tree: scripts/build.sh <dir> [cmake options...]
# A folder named build-windows (or build-windows-*) is a Windows build,
# cross-compiled with MinGW-w64.
set -euo pipefail
dir=$1; shift
source_dir=$(cd "$(dirname "$0")/.." && pwd)
toolchain=()
case $(basename "$dir") in
    build-windows | build-windows-*)
        toolchain=(-DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake") ;;
esac
cmake -S "$source_dir" -B "$dir" -G Ninja "${toolchain[@]}" "$@" >/dev/null
cmake --build "$dir"
