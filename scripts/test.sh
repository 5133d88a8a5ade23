#!/usr/bin/env bash
# Builds and runs every test twice: a plain build, then one under
# AddressSanitizer and UndefinedBehaviorSanitizer; then the Windows build
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
jobs=$(nproc)

scripts/build.sh build
ctest --test-dir build --output-on-failure --no-tests=error -j "$jobs"

scripts/build.sh build-sanitize -DVARKIT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure --no-tests=error -j "$jobs"

# The Windows build, cross-compiled and tested under Wine.
scripts/build.sh build-windows
scripts/test-windows.sh build build-windows

# A short fuzzing pass: the fuzz targets keep building and running.
scripts/fuzz.sh 5
