#!/usr/bin/env bash
# trel report as a person sees it: the pages of a 2D run with ground truth and of a 3D run
# without, loaded in a real headless browser, which must run the page's script without error
# and find the plots, the lineage tree, the overlays and the overview; a screenshot must show
# more than a blank page. Skips (77) where no headless Chromium is installed.
set -euo pipefail
trel=$1
browser=$(command -v chromium-headless-shell || command -v chromium || true)
[ -n "$browser" ] || { echo "no headless Chromium: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# The DOM after the page's script has run, and a screenshot of the top of the page.
load() {
  local page=$1 shot=$2
  "$browser" --headless --no-sandbox --disable-gpu --virtual-time-budget=3000 --dump-dom \
    "file://$page" 2>/dev/null
  "$browser" --headless --no-sandbox --disable-gpu --window-size=1280,2400 \
    --screenshot="$shot" "file://$page" >/dev/null 2>&1
}

count() { grep -o "$1" <<<"$2" | wc -l; }

check_page() {
  local page=$1 overlays=$2 plots=$3 dom
  dom=$(load "$page" "$work/shot.png")
  grep -q 'data-ready="yes"' <<<"$dom" || fail "$page: the page's script did not finish"
  grep -q 'data-error' <<<"$dom" && fail "$page: script error: $(grep -o 'data-error="[^"]*"' <<<"$dom")"
  [ "$(count '<svg class="plot"' "$dom")" -eq "$plots" ] || fail "$page: not $plots plots"
  [ "$(count '<svg class="lineage"' "$dom")" -eq 1 ] || fail "$page: no lineage tree"
  [ "$(count '<svg class="overlay"' "$dom")" -eq "$overlays" ] || fail "$page: not $overlays overlays"
  grep -q 'id="player-label">frame 0<' <<<"$dom" || fail "$page: the overview does not show frame 0"
  /usr/bin/python3 - "$work/shot.png" <<'PY' || fail "$page: the screenshot is blank"
import sys
from PIL import Image, ImageStat
shot = Image.open(sys.argv[1]).convert("L")
assert shot.size == (1280, 2400)
# A page of text, tables and pictures: far from uniform.
assert ImageStat.Stat(shot).stddev[0] > 20, ImageStat.Stat(shot).stddev
PY
}

"$trel" synth "$work/two" --size 128 --frames 12 --cells 6 --divisions 8 >/dev/null
"$trel" track "$work/two/01" "$work/two/res" >/dev/null
"$trel" report "$work/two/res" --gt "$work/two/01_GT" --overlays 4 | grep -q "evaluated" ||
  fail "2D report not evaluated"
page=$work/two/res/report.html
grep -q "curv_weight" "$page" || fail "the run's parameters are not in the page"
# Four overlays coloured by track, four by error; four plots with the errors per frame.
check_page "$page" 8 4

"$trel" synth "$work/three" --dim 3 --size 48 --depth 8 --frames 5 --cells 4 >/dev/null
"$trel" track "$work/three/01" "$work/three/res" >/dev/null
"$trel" report "$work/three/res" --out "$work/page3" --stretch log >/dev/null
check_page "$work/page3/report.html" 5 3
status=0
"$trel" report "$work/none" 2>/dev/null || status=$?
[ "$status" -eq 66 ] || fail "a missing result folder gave status $status, not 66"
echo "report pages render: OK"
