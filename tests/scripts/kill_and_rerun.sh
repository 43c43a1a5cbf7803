#!/bin/bash
# Runs of `trel track` stopped at random moments (SIGTERM, SIGINT, SIGKILL) and rerun, twenty
# times, alternating two methods whose results differ. After every stop the output folder either
# passes `trel validate` and is, file for file, one complete result, or `trel validate` refuses
# it; a run stopped by SIGTERM or SIGINT leaves no temporary file; every rerun equals a clean run.
# Usage: kill_and_rerun.sh TREL
set -um  # job control: background runs keep SIGINT (a script would start them ignoring it)
trel=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$trel" synth "$work" --size 96 --frames 30 --cells 4 --seed 5 >/dev/null || exit 1
methods=(levelset graphcut)
for k in 0 1; do
  "$trel" track "$work/01" "$work/ref$k" --method "${methods[$k]}" >/dev/null || exit 1
done
start=$(date +%s%N)
"$trel" track "$work/01" "$work/timed" --method graphcut >/dev/null || exit 1
run_ms=$((($(date +%s%N) - start) / 1000000 + 1))

same() { diff -rq -x .trel-lock -x trel_run.json "$1" "$work/ref$2" >/dev/null; }

RANDOM=20261208
signals=(TERM INT KILL)
failed=0
for round in $(seq 1 20); do
  k=$((round % 2))
  signal=${signals[$((RANDOM % 3))]}
  delay_ms=$((RANDOM % (run_ms + run_ms / 4)))
  "$trel" track "$work/01" "$work/out" --method "${methods[$k]}" >/dev/null 2>&1 &
  pid=$!
  sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
  kill -s "$signal" "$pid" 2>/dev/null
  wait "$pid"
  what="round $round (${methods[$k]}, SIG$signal after ${delay_ms} ms)"
  if "$trel" validate "$work/out" >/dev/null 2>&1; then
    if ! same "$work/out" 0 && ! same "$work/out" 1; then
      echo "$what: a mixture of two runs passes validate"
      failed=1
    fi
  fi
  # The run record describes the folder only once the run that wrote it has finished.
  if [ -e "$work/out/trel_run.json" ] && ! grep -q "\"method\": \"${methods[$k]}\"" "$work/out/trel_run.json" &&
    ! same "$work/out" $((1 - k)); then
    echo "$what: the run record describes another run"
    failed=1
  fi
  if [ "$signal" != KILL ] && ls -A "$work/out" 2>/dev/null | grep -q 'part'; then
    echo "$what: temporary files left: $(ls -A "$work/out" | grep part)"
    failed=1
  fi
  if ! "$trel" track "$work/01" "$work/out" --method "${methods[$k]}" >/dev/null; then
    echo "$what: the rerun failed"
    failed=1
  elif ! same "$work/out" "$k"; then
    echo "$what: the rerun differs from a clean run: $(diff -rq -x .trel-lock -x trel_run.json "$work/out" "$work/ref$k")"
    failed=1
  fi
done
exit $failed
