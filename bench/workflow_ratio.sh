#!/usr/bin/env bash
# The workflow's wall time on four independent sequences at --cores 2 against --cores 1, one
# thread per job, median of three runs each, in one invocation:
#   bench/workflow_ratio.sh build/release/app/trel [size] [frames]
set -euo pipefail
trel=$(realpath "$1")
size=${2:-512}
frames=${3:-30}
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for seed in 1 2 3 4; do
  "$trel" synth "data/s$seed" --size "$size" --frames "$frames" --cells 12 --seed "$seed" >/dev/null
done
cat >config.yaml <<CONFIG
trel: $trel
pass_threads: true
threads: {track: 1, filter: 1}
groups:
  all:
    inputs: [data/*/01]
    method: levelset
CONFIG
median() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
declare -A seconds
for cores in 1 2; do
  runs=()
  for k in 1 2 3; do
    rm -rf results .snakemake
    start=$(date +%s.%N)
    snakemake -s "$repo/workflow/Snakefile" --configfile config.yaml --cores "$cores" \
      >"run-$cores-$k.log" 2>&1 || { tail -20 "run-$cores-$k.log"; exit 1; }
    runs+=("$(/usr/bin/python3 -c "print(round($(date +%s.%N) - $start, 2))")")
  done
  seconds[$cores]=$(median "${runs[@]}")
  echo "--cores $cores: ${runs[*]} s (median ${seconds[$cores]} s)"
done
echo "ratio (cores 2 / cores 1): $(/usr/bin/python3 -c "print(round(${seconds[2]} / ${seconds[1]}, 3))")"
