#!/bin/bash
# Every kind of failure of `trel track` ends with the status the README's table gives it, and its
# message names the cause: usage 64, bad data 65, missing input 66, an output that cannot be
# created 73 (no permission; a folder held by another run), an I/O error 74 (a full disk).
# The permission case runs as an unprivileged user (setpriv) when the test runs as root; the
# full disk is a small tmpfs, skipped where mounting is not allowed.
# Usage: exit_codes.sh TREL
set -u
trel=$1
work=$(mktemp -d)
mounted=""
cleanup() {
  [ -n "$mounted" ] && umount "$mounted"
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
"$trel" synth "$work" --size 64 --frames 4 --cells 2 >/dev/null || exit 1
failed=0

# expect STATUS TEXT COMMAND...: the command ends with STATUS and says TEXT on standard error.
expect() {
  local status=$1 text=$2
  shift 2
  "$@" >/dev/null 2>"$work/err"
  local got=$?
  if [ "$got" != "$status" ] || { [ -n "$text" ] && ! grep -qF -- "$text" "$work/err"; }; then
    echo "FAIL: $* -> $got (expected $status with \"$text\"): $(cat "$work/err")"
    failed=1
  fi
}

expect 0 "" "$trel" track "$work/01" "$work/ok"
expect 64 "--min-size" "$trel" track "$work/01" "$work/res" --min-size -1
mkdir "$work/broken" && cp "$work"/01/t00*.tif "$work/broken/"
echo "not an image" >"$work/broken/t002.tif"
expect 65 "t002.tif" "$trel" track "$work/broken" "$work/res"
expect 66 "does not exist" "$trel" track "$work/none" "$work/res"
mkdir "$work/float"
/usr/bin/python3 -c "import numpy, PIL.Image as I; I.fromarray(numpy.zeros((8, 8), numpy.float32)).save('$work/float/t000.tif')" &&
  expect 65 "is not an 8-bit or 16-bit grey frame" "$trel" track "$work/float" "$work/res"

# Nothing is written when the output cannot be complete: the lineage's place is taken by a
# folder, or a mask's name would be too long for the library.
mkdir -p "$work/taken/res_track.txt/kept"
expect 73 "res_track.txt is not a file" "$trel" track "$work/01" "$work/taken" --method graphcut
long="$work/$(printf 'd%.0s' {1..250})/$(printf 'e%.0s' {1..250})/$(printf 'f%.0s' {1..250})"
long="$long/$(printf 'g%.0s' {1..250})"
expect 73 "characters long" "$trel" track "$work/01" "$long"
if ls "$work/taken" "$long" | grep -q mask; then
  echo "FAIL: masks written before a refusal"
  failed=1
fi

mkdir -m 755 "$work/closed"
as_user=()
[ "$(id -u)" = 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
[ "$(id -u)" = 0 ] || chmod 555 "$work/closed"
# The unprivileged user must reach the program (a clone under a private home may not let it).
if "${as_user[@]}" "$trel" --version >/dev/null 2>&1; then
  expect 73 "Permission denied" "${as_user[@]}" "$trel" track "$work/01" "$work/closed/res"
else
  echo "no permission: skipped (cannot drop privileges here)"
fi

mkdir "$work/held"
flock "$work/held/.trel-lock" sleep 3 &
sleep 0.3
expect 73 "in use by another trel track run" "$trel" track "$work/01" "$work/held"
wait

# Past the file-size limit (SIGXFSZ ignored) a write fails with its cause instead of a kill.
# (The limit is the run's alone: its message goes out through a pipe, to a file without limit.)
expect 74 "File too large" bash -c 'set -o pipefail
  (ulimit -f 0 && exec "$0" track "$1" "$2") 2>&1 >/dev/null | cat >&2' \
  "$trel" "$work/01" "$work/limited"

mkdir "$work/small"
if mount -t tmpfs -o size=16k tmpfs "$work/small" 2>/dev/null; then
  mounted="$work/small"
  expect 74 "No space left on device" "$trel" track "$work/01" "$work/small/res"
  if ls -A "$work/small/res" | grep -q part; then
    echo "FAIL: the full disk kept temporary files"
    failed=1
  fi
else
  echo "full disk: skipped (tmpfs cannot be mounted here)"
fi
exit $failed
