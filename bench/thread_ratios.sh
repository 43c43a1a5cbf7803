#!/usr/bin/env bash
# How much a second thread buys, in one invocation: the level-set tracker end to end (reading,
# preparation, evolution, writing; `trel track --threads N`) on a 1024^2 image sequence and on a
# 256x256x64 stack sequence, and the diffusion step (bench_filters' BM_CedStep), each with 1 and
# 2 threads, median of three runs; prints the seconds per frame and the ratios 1 thread / 2. The
# sequences are long enough that the first frame, whose preparation nothing overlaps, weighs
# little in the time per frame, as in a real run of hundreds of frames.
#   bench/thread_ratios.sh build/release [image frames, default 12] [stack frames, default 6]
set -euo pipefail
build=$(realpath "$1")
image_frames=${2:-12}
stack_frames=${3:-6}
trel=$build/app/trel
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$trel" synth "$work/image" --size 1024 --frames "$image_frames" --cells 60 --seed 1 >/dev/null
"$trel" synth "$work/stack" --dim 3 --size 256 --depth 64 --frames "$stack_frames" --cells 40 \
  --seed 1 >/dev/null

median() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
seconds_of() {  # seconds of one run of the command
  local start
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  /usr/bin/python3 -c "print($(date +%s.%N) - $start)"
}
per_frame() {  # median seconds per frame of `trel track` on sequence $1 ($3 frames), $2 threads
  local runs=()
  for _ in 1 2 3; do
    rm -rf "$work/out"
    runs+=("$(seconds_of "$trel" track "$work/$1/01" "$work/out" --threads "$2" --progress never)")
  done
  /usr/bin/python3 -c "print($(median "${runs[@]}") / $3)"
}
ratio() { /usr/bin/python3 -c "print(f'{$1 / $2:.2f}')"; }

for sequence in image stack; do
  frames=$image_frames
  [ "$sequence" = stack ] && frames=$stack_frames
  one=$(per_frame "$sequence" 1 "$frames")
  two=$(per_frame "$sequence" 2 "$frames")
  printf '%s frame, level set: %.3f s with 1 thread, %.3f s with 2, ratio %s\n' \
    "$sequence" "$one" "$two" "$(ratio "$one" "$two")"
done

"$build/bench/bench_filters" --benchmark_filter='BM_CedStep<float>' --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_format=json 2>/dev/null |
  /usr/bin/python3 -c '
import json, sys
runs = {b["run_name"]: b["real_time"] for b in json.load(sys.stdin)["benchmarks"]
        if b.get("aggregate_name") == "median"}
for size in ("0", "1"):
    one, two = runs[f"BM_CedStep<float>/{size}/1"], runs[f"BM_CedStep<float>/{size}/2"]
    name = "1024^2" if size == "0" else "256x256x64"
    print(f"diffusion step {name}: {one:.1f} ms with 1 thread, {two:.1f} ms with 2, ratio {one / two:.2f}")
'
