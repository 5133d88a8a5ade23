#!/usr/bin/env bash
# Measures the speed and memory of every program and writes bench/RESULTS.md:
#
#   bash bench/run.sh
#
# Builds a Release tree in build-bench/, makes its inputs (bench/make_inputs.py),
# waits for a quiet machine, then measures
#   - each program's whole run (hyperfine) and peak RSS (/usr/bin/time) on its
#     largest input, beside `cat` of the same input to /dev/null in the same run,
#     and the instructions of one run (valgrind's callgrind);
#   - the conversions in-process (Google Benchmark, bench/conversions_bench.cpp);
#   - a set + get round trip through the X11 clipboard under a private Xvfb,
#     by our programs and by xclip in the same run.
# The whole-process runs use the clipboard folder (VARKIT_CLIPBOARD=files) in a
# temporary folder, so no desktop clipboard is touched.
#
# Settings from the environment: BENCH_RUNS (hyperfine runs per command, 300),
# BENCH_MAX_WAIT (seconds to wait for a 1-minute load below BENCH_LOAD, 1200),
# BENCH_LOAD (1.0), BENCH_BUILD (build-bench), BENCH_OUTPUT (bench/RESULTS.md).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
runs=${BENCH_RUNS:-300}
max_wait=${BENCH_MAX_WAIT:-1200}
quiet_load=${BENCH_LOAD:-1.0}
build=${BENCH_BUILD:-build-bench}
output=${BENCH_OUTPUT:-$root/bench/RESULTS.md}

scripts/setup.sh test hyperfine time valgrind
scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DVARKIT_TESTS=OFF -DVARKIT_BENCH=ON
bin=$root/$build/bin

work=$(mktemp -d)
xvfb_pid=
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
inputs=$work/inputs
results=$work/results
mkdir -p "$inputs" "$results" "$work/out"
python3 bench/make_inputs.py "$inputs"
export VARKIT_CLIPBOARD=files VARKIT_CLIPBOARD_DIR=$work/clipboard
unset DISPLAY
export LC_ALL=C

# hyperfine's warnings about outliers go to a log, shown when a run fails.
measure() {
    hyperfine --style none "$@" >/dev/null 2>>"$work/hyperfine.log" ||
        { cat "$work/hyperfine.log" >&2; return 1; }
}

load_now() { cut -d' ' -f1 /proc/loadavg; }
below() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# Other work on the machine shows in every figure: wait for it to settle.
waited=0
until below "$(load_now)" "$quiet_load" || [ "$waited" -ge "$max_wait" ]; do
    [ $((waited % 60)) -eq 0 ] && echo "Waiting for a quiet machine: load $(load_now)"
    sleep 10
    waited=$((waited + 10))
done
echo "$(load_now)" >"$results/load_start"

# name | input | program and arguments (run in $work/out, inputs by path)
cases=(
    "Varlook|notes.9xt|Varlook $inputs/notes.9xt"
    "Plaincast|notes.9xt|Plaincast $inputs/notes.9xt notes.txt"
    "Plainpress|notes.txt|Plainpress notes.9xt $inputs/notes.txt"
    "Pixelcast|screen.9xi|Pixelcast $inputs/screen.9xi screen.bmp"
    "Pixelcast (TI-83)|graph.83i|Pixelcast $inputs/graph.83i graph.bmp"
    "Pixelcast (PNG)|screen.9xi|Pixelcast $inputs/screen.9xi screen.png"
    "Pixelpress|screen.bmp|Pixelpress screen.9xi $inputs/screen.bmp"
    "Pixelpress (PNG)|screen.png|Pixelpress screen.9xi $inputs/screen.png"
    "Quillcast (TEXT)|notes.9xt|Quillcast $inputs/notes.9xt notes.rtf"
    "Quillcast (lab report)|report.9xr|Quillcast $inputs/report.9xr report.rtf"
)

cd "$work/out"
index=0
for entry in "${cases[@]}"; do
    IFS='|' read -r name input command <<<"$entry"
    index=$((index + 1))
    echo "== $name"
    printf '%s\n%s\n%s\n' "$name" "$input" "$(stat -c %s "$inputs/$input")" >"$results/case$index.info"
    # The programs must do their whole work here, or their figures mean nothing.
    "$bin"/$command >/dev/null 2>"$results/case$index.messages" ||
        { cat "$results/case$index.messages"; echo "Error: $name failed" >&2; exit 1; }
    measure -N --warmup 20 --runs "$runs" --export-json "$results/case$index.json" \
        "cat $inputs/$input" "$bin/$command"
    for tool in cat program; do
        [ $tool = cat ] && run=(cat "$inputs/$input") || run=("$bin"/$command)
        for _ in $(seq 20); do
            /usr/bin/time -f %M "${run[@]}" 2>&1 >/dev/null | tail -n 1
        done >"$results/case$index.rss_$tool"
        valgrind --tool=callgrind --callgrind-out-file=/dev/null "${run[@]}" \
            >/dev/null 2>"$work/callgrind.log"
        grep -o 'Collected : [0-9]*' "$work/callgrind.log" | grep -o '[0-9]*$' \
            >"$results/case$index.instructions_$tool"
    done
done
echo "$(load_now)" >"$results/load_processes"

echo "== In-process conversions"
"$root/$build/bench/conversions_bench" "$inputs" --benchmark_repetitions=10 \
    --benchmark_report_aggregates_only=true --benchmark_format=json \
    --benchmark_out="$results/conversions.json" --benchmark_out_format=json >/dev/null

echo "== X11 round trips"
# A private server that survives its last client leaving (-noreset), so the
# round trips never race a reset.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -noreset -nolisten tcp -screen 0 640x480x24 \
    >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=
read -r -t 10 -u "$display_fd" display || { cat "$work/xvfb.log"; echo "Error: no Xvfb" >&2; exit 1; }
exec {display_fd}<&-
export DISPLAY=:$display
x11_runs=$((runs / 3))
(
    # The display decides, as on a desktop: the X11 clipboard.
    unset VARKIT_CLIPBOARD
    ours_text="$bin/Plaincast $inputs/notes.9xt && $bin/Plainpress x11.9xt"
    xclip_text="xclip -selection clipboard -i $inputs/notes.txt && xclip -selection clipboard -o > x11.txt"
    ours_bitmap="$bin/Pixelcast $inputs/screen.9xi && $bin/Pixelpress x11.9xi"
    xclip_bitmap="xclip -selection clipboard -t image/bmp -i $inputs/screen.bmp && xclip -selection clipboard -t image/bmp -o > x11.bmp"
    # Each round trip must carry its data unchanged.
    for check in "$ours_text" "$xclip_text" "$ours_bitmap" "$xclip_bitmap"; do
        sh -c "$check" >/dev/null 2>&1
    done
    cmp -s x11.txt "$inputs/notes.txt" && cmp -s x11.bmp "$inputs/screen.bmp" &&
        cmp -s <(tail -c +73 x11.9xt) <(tail -c +73 "$inputs/notes.9xt") &&
        cmp -s <(tail -c +73 x11.9xi) <(tail -c +73 "$inputs/screen.9xi") ||
        { echo "Error: an X11 round trip changed its data" >&2; exit 1; }
    measure --warmup 5 --runs "$x11_runs" --export-json "$results/x11_text.json" \
        -n "Plaincast + Plainpress" "$ours_text" -n "xclip -i + xclip -o" "$xclip_text"
    measure --warmup 5 --runs "$x11_runs" --export-json "$results/x11_bitmap.json" \
        -n "Pixelcast + Pixelpress" "$ours_bitmap" -n "xclip -i + xclip -o" "$xclip_bitmap"
)
echo "$(load_now)" >"$results/load_end"

cd "$root"
python3 bench/report.py "$results" "$build" >"$output"
echo "Figures written to ${output#$root/}"
