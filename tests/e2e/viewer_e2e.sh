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
viewer_pid=""
finish() {
  # Whatever went wrong, the viewer does not outlive the test: a process left behind would
  # keep CTest waiting on its output until the time-out.
  if [ -n "$viewer_pid" ] && kill -0 "$viewer_pid" 2>/dev/null; then
    wine "$probe" quit >/dev/null 2>&1 || true
    sleep 1
    kill "$viewer_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap finish EXIT
cp "$sample" "$work/sample.kxm"
cd "$work"
# Its output goes to a file, not to CTest's pipe: with a fresh Wine prefix the viewer's first
# window starts Wine's desktop process, which inherits that output and outlives the test, and
# CTest waited for the pipe to close until its time-out.
wine "$viewer" >"$work/viewer.log" 2>&1 & viewer_pid=$!

# Where to click is asked once the dialog shows: before, it is still being centred.
window=$(xdotool search --sync --onlyvisible --name "Morvane KXM Chunk Viewer" | head -n 1)
read -r x y < <(wine "$probe" edit-point | tr -d '\r')
xdotool windowfocus "$window"
xdotool mousemove "$x" "$y" click 1
# The click reaches the dialog through the X server and Wine's message queue; keys typed before
# the focus has moved there are lost, and the load then finds no file.
wine "$probe" wait-path-focus 20000
path='Z:'"${work//\//\\}"'\sample.kxm'
xdotool key End shift+Home
xdotool type --delay 5 "$path"
typed=$(wine "$probe" path-text | tr -d '\r')
[ "$typed" = "$path" ] || { echo "the path box holds '$typed', not '$path'"; exit 1; }
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
viewer_pid=""
[ "$code" -eq 2 ] || { echo "the viewer ended with $code, not the Quit command's 2"; exit 1; }
echo "e2e passed"
