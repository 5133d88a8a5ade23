#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while:
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
# New inputs go to build-fuzz/corpus/<target>; the checked-in corpus in
# fuzz/corpus/<target> is read as the seed and never written. A crash leaves
# its input in build-fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
scripts/setup.sh
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DVARKIT_FUZZ=ON -DVARKIT_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for binary in build-fuzz/bin/fuzz_*; do
        targets+=("${binary##*/fuzz_}")
    done
fi
for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    findings=build-fuzz/findings/$target
    mkdir -p "$corpus" "$findings"
    echo "== $target: ${seconds}s"
    "build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=70000 -artifact_prefix="$findings/" -print_final_stats=1 \
        "$corpus" "fuzz/corpus/$target" 2>&1 | grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' || true
    echo "corpus: $(ls "$corpus" | wc -l) files, findings: $(ls "$findings" | wc -l)"
done
