#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while:
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
# New inputs go to build-fuzz/corpus/<target>; the checked-in corpus in
# fuzz/corpus/<target> is read as the seed and never written, and so are the
# real calculator files of ../shared/samples for the targets that read
# variable files, when that folder is there. A crash, a slow input or a
# broken property leaves its input in build-fuzz/findings/<target>/ and makes
# the script fail.
#
#   scripts/fuzz.sh merge [target ...]
# minimises each target's checked-in corpus together with what the runs
# found into a fresh folder and puts that in fuzz/corpus/<target>; the
# inputs of fuzz/corpus/<target>/hostile/ are kept as they are.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=run
if [ "${1:-}" = merge ]; then
    mode=merge
    shift
    seconds=0
else
    seconds=${1:-60}
    shift || true
fi

scripts/setup.sh test
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DVARKIT_FUZZ=ON -DVARKIT_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for binary in build-fuzz/bin/fuzz_*; do
        targets+=("${binary##*/fuzz_}")
    done
fi

# The targets whose input is a calculator variable file.
samples=../shared/samples
takes_samples() {
    case $1 in
        container | varlook | plaincast | pixelcast | quillcast) [ -d "$samples" ] ;;
        *) return 1 ;;
    esac
}

# Inputs that once crashed or hung a target stay in fuzz/corpus/<target>/hostile/
# whatever a merge keeps. A merged corpus beyond 300 files or 1 MB is merged
# again on coverage edges alone, without hit counts.
merge_into() {
    local target=$1 into=$2 option=$3
    shift 3
    rm -rf "$into"
    mkdir -p "$into"
    "build-fuzz/bin/fuzz_$target" -merge=1 -timeout=10 -rss_limit_mb=2048 $option "$into" "$@" \
        2>&1 | grep -E '^MERGE-OUTER: [0-9]+ new' || true
}

merge_target() {
    local target=$1 fresh=build-fuzz/merged/$1
    mkdir -p "build-fuzz/corpus/$target"
    merge_into "$target" "$fresh" -use_counters=1 "fuzz/corpus/$target" "build-fuzz/corpus/$target"
    if [ "$(ls "$fresh" | wc -l)" -gt 300 ] || [ "$(du -sb "$fresh" | cut -f1)" -gt 1048576 ]; then
        merge_into "$target" "$fresh-edges" -use_counters=0 "$fresh"
        rm -rf "$fresh"
        mv "$fresh-edges" "$fresh"
    fi
    if [ -d "fuzz/corpus/$target/hostile" ]; then
        mv "fuzz/corpus/$target/hostile" "$fresh/hostile"
    fi
    rm -rf "fuzz/corpus/$target"
    mv "$fresh" "fuzz/corpus/$target"
    echo "$target: $(find "fuzz/corpus/$target" -type f | wc -l) files, $(du -sb "fuzz/corpus/$target" | cut -f1) bytes"
}

run_target() {
    local target=$1 corpus=build-fuzz/corpus/$1 findings=build-fuzz/findings/$1
    mkdir -p "$corpus" "$findings"
    local seeds=("fuzz/corpus/$target")
    if takes_samples "$target"; then
        seeds+=("$samples")
    fi
    local before
    before=$(ls "$findings" | wc -l)
    echo "== $target: ${seconds}s"
    "build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=70000 -artifact_prefix="$findings/" -print_final_stats=1 \
        "$corpus" "${seeds[@]}" 2>&1 |
        grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY|Property broken)' || true
    local after
    after=$(ls "$findings" | wc -l)
    echo "corpus: $(ls "$corpus" | wc -l) files, findings: $after"
    [ "$after" -eq "$before" ]
}

failed=0
for target in "${targets[@]}"; do
    if [ $mode = merge ]; then
        merge_target "$target"
    elif ! run_target "$target"; then
        echo "Error: $target found a new crash, hang or broken property: see build-fuzz/findings/$target" >&2
        failed=1
    fi
done
exit $failed
