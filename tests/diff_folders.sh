#!/usr/bin/env bash
# kxm diff over two copies of a game's folder of 300 models (tests/game_folder.sh's),
# the second with three models changed, one added and one removed: exactly those five are named,
# with one job as with two, and the totals count them.
#
#   tests/diff_folders.sh KXM SAMPLE WORK
set -euo pipefail
kxm=$1 sample=$2 work=$3
here=$(dirname "$(readlink -f "$0")")
rm -rf "$work" && mkdir -p "$work"
cd "$work"
# shellcheck source=tests/game_folder.sh
source "$here/game_folder.sh"
make_game_folder "$sample"
name() { game_model "$1"; }
size=$(stat -c %s "$sample")
cp -r game game2
removed=$(name 0) added="levels/niveau 1/nouveau.kxm"
rm "game2/$removed"
cp "game/$(name 5)" "game2/$added"
changed=("$(name 1)" "$(name 2)" "$(name 3)")
printf '\xee' | dd of="game2/${changed[0]}" bs=1 seek=$((size - 1)) conv=notrunc status=none
printf '\xee' | dd of="game2/${changed[1]}" bs=1 seek=$((size - 1)) conv=notrunc status=none
truncate -s $((size / 2)) "game2/${changed[2]}"  # an export that stopped half-way

failed=0
fail() { echo "FAIL $*"; failed=1; }
for jobs in 1 2; do
  status=0
  "$kxm" diff -j "$jobs" game game2 > "out.$jobs" 2> "err.$jobs" || status=$?
  [ "$status" = 1 ] || fail "-j $jobs: exit $status, $(cat "err.$jobs")"
  [ -s "err.$jobs" ] && fail "-j $jobs: stderr $(cat "err.$jobs")"
done
cmp -s out.1 out.2 || fail "stdout differs between -j 1 and -j 2"
totals="301 files: 296 the same, 3 differ, 1 only in the first folder, 1 only in the second"
[ "$(tail -n 1 out.1)" = "$totals" ] || fail "totals: $(tail -n 1 out.1)"
# Each line's first field is the file it is about: exactly the five, each once at least.
head -n -1 out.1 | sed 's/: .*//' | sort -u > named
printf '%s\n' "$removed" "$added" "${changed[@]}" | sort -u > expected
diff named expected > /dev/null || fail "named $(paste -sd '|' named), not $(paste -sd '|' expected)"
grep -qxF "$removed: only in the first folder" out.1 || fail "no line for the removed file"
grep -qxF "$added: only in the second folder" out.1 || fail "no line for the added file"
grep -qF "${changed[0]}: CustomData > chunk_length: " out.1 || fail "the custom data is not named"
grep -qF "${changed[2]}: the second file fails to load at 0x" out.1 || fail "the cut file's failure"
echo "$(wc -l < out.1) lines; $(tail -n 1 out.1)"

# JSON: one document a file, each on a line; the totals on stderr.
status=0
"$kxm" diff --json game game2 > json.out 2> json.err || status=$?
[ "$status" = 1 ] || fail "--json: exit $status"
[ "$(wc -l < json.out)" = 301 ] || fail "--json: $(wc -l < json.out) documents"
[ "$(tail -n 1 json.err)" = "$totals" ] || fail "--json totals: $(tail -n 1 json.err)"
python3 - json.out <<'PY' || fail "--json: a line does not parse, or pairs two paths"
import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    doc = json.loads(line)
    if "otherFile" in doc:  # game/X with game2/X
        assert doc["otherFile"].split("/", 1)[1] == doc["file"].split("/", 1)[1], line
PY
# A folder against a file is a slip of the user's.
status=0
"$kxm" diff game "game/$(name 5)" > /dev/null 2> slip.err || status=$?
[ "$status" = 2 ] || fail "folder against file: exit $status"
exit $failed
