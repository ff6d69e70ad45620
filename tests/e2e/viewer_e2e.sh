#!/usr/bin/env bash
# The viewer as a user runs it: start kxmview.exe under Wine, type the sample's path into the
# path box, press Enter, and check from outside that the tree came up.
#
#   viewer_e2e.sh KXMVIEW_EXE PROBE_EXE SAMPLE SAMPLE_DUMP [SCREENSHOT.png]
#
# SAMPLE_DUMP is the sample's reviewed dump: the tree must show one node per line of it.
set -euo pipefail
viewer=$(realpath "$1") probe=$(realpath "$2") sample=$(realpath "$3") dump=$(realpath "$4")
screenshot=${5:+$(realpath -m "$5")}
: "${DISPLAY:?viewer_e2e.sh needs a display (Xvfb)}"
export WINEDEBUG=-all

work=$(mktemp -d)
trap 'wine "$probe" quit >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
cp "$sample" "$work/sample.kxm"
cd "$work"
wine "$viewer" & viewer_pid=$!

read -r x y < <(wine "$probe" edit-point | tr -d '\r')
window=$(xdotool search --sync --onlyvisible --name "Morvane KXM Chunk Viewer" | head -n 1)
xdotool windowfocus "$window"
xdotool mousemove "$x" "$y" click 1
xdotool key End shift+Home
xdotool type --delay 5 'Z:'"${work//\//\\}"'\sample.kxm'
xdotool key Return

expected=$(wc -l < "$dump")
outcome=$(wine "$probe" wait-nodes "$expected" 20000 | tr -d "\r") || {
  echo "$outcome"
  echo "expected $expected nodes"
  exit 1
}
echo "$outcome"
grep -qx 'status: Ready.' <<<"$outcome" || { echo "expected the status Ready."; exit 1; }

if [ -n "$screenshot" ]; then
  sleep 1
  import -window root -crop "$(xdotool getwindowgeometry --shell "$window" |
    awk -F= '/WIDTH/{w=$2}/HEIGHT/{h=$2}/^X/{x=$2}/^Y/{y=$2}END{print w"x"h"+"x"+"y}')" "$screenshot"
fi

wine "$probe" quit
set +e
wait "$viewer_pid"
code=$?
set -e
[ "$code" -eq 2 ] || { echo "the viewer ended with $code, not the Quit command's 2"; exit 1; }
echo "e2e passed"
