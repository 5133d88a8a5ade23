#!/usr/bin/env bash
# Builds the suite and shows it at work on the bundled example files.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
for file in examples/*.89? examples/*.92? examples/*.9x?; do
    [ -e "$file" ] || continue
    echo "\$ Varlook $file"
    build/bin/Varlook "$file"
done
