#!/usr/bin/env bash
# kxm over a game's folder of 300 models: check, info, dump and export --out-dir give their
# totals, and write the same bytes with one job as with two.
#
#   tests/folder_walk.sh KXM SAMPLE WORK
#
# The folder is tests/game_folder.sh's: as an old game leaves it.
set -euo pipefail
kxm=$1 sample=$(realpath "$2") work=$3
# shellcheck source=tests/game_folder.sh
source "$(dirname "$0")/game_folder.sh"
rm -rf "$work" && mkdir -p "$work"
cd "$work"
make_game_folder "$sample"
failed=0
fail() { echo "FAIL $*"; failed=1; }

# Each run at -j 1 and -j 2: stdout, stderr and the exit status alike; STDIN is each one's "-".
same() {
  local name=$1; shift
  local s1=0 s2=0
  "$kxm" "$@" -j 1 < "${STDIN:-/dev/null}" > "$name.1.out" 2> "$name.1.err" || s1=$?
  "$kxm" "$@" -j 2 < "${STDIN:-/dev/null}" > "$name.2.out" 2> "$name.2.err" || s2=$?
  [ "$s1" = "$s2" ] || fail "$name: exit $s1 with one job, $s2 with two"
  cmp -s "$name.1.out" "$name.2.out" || fail "$name: stdout differs between -j 1 and -j 2"
  cmp -s "$name.1.err" "$name.2.err" || fail "$name: stderr differs between -j 1 and -j 2"
  echo "$name: exit $s1, $(wc -l < "$name.1.out") lines out, $(wc -l < "$name.1.err") err"
}

same check check game
same check-json check --json game
same check-failed check --failed game
same info info game
same info-json info --json game
same dump dump --no-values game
STDIN=game/levels/prop_005.Kxm same offsets dump --offsets "game/levels/niveau 1" -
grep -q '^==> <stdin> <==$' offsets.1.out || fail "dump: standard input is not named <stdin>"
same export export --quiet --out-dir out0 game
"$kxm" export --quiet --out-dir out1 -j 1 game 2> /dev/null || true
"$kxm" export --quiet --out-dir out2 -j 2 game 2> /dev/null || true
diff -r out1 out2 > /dev/null || fail "export: -j 1 and -j 2 wrote different files"

totals="300 files: 270 loaded, 30 failed to load"
[ "$(tail -n 1 check.1.out)" = "$totals, 15 with warnings; 30 errors, 15 warnings" ] ||
  fail "check totals: $(tail -n 1 check.1.out)"
# Only the broken files, one line each with its first error, then the same totals.
[ "$(wc -l < check-failed.1.out)" = 31 ] && [ "$(grep -c ': error: ' check-failed.1.out)" = 30 ] &&
  [ "$(tail -n 1 check-failed.1.out)" = "$(tail -n 1 check.1.out)" ] ||
  fail "check --failed: $(wc -l < check-failed.1.out) lines, $(grep -c ': error: ' check-failed.1.out) errors"
[ "$(tail -n 1 info.1.out)" = "$totals" ] || fail "info totals: $(tail -n 1 info.1.out)"
[ "$(tail -n 1 dump.1.err)" = "$totals" ] || fail "dump totals: $(tail -n 1 dump.1.err)"
[ "$(tail -n 1 export.1.err)" = "300 files: 270 exported, 30 failed" ] ||
  fail "export totals: $(tail -n 1 export.1.err)"
[ "$(find out1 -name '*.glb' | wc -l)" = 270 ] || fail "export: $(find out1 -name '*.glb' | wc -l) GLBs"
[ -f "out1/levels/niveau 2/Été/Lampe é 004.glb" ] || fail "export: the folders are not mirrored"
[ "$(wc -l < info-json.1.out)" = 300 ] || fail "info --json: not one document per file"
# An output that cannot be written fails every subcommand, one file or many.
for command in check "check --json" info "info --json" dump "dump --json" "dump --offsets"; do
  for input in game/levels/prop_005.Kxm game/levels; do
    status=0
    # shellcheck disable=SC2086
    "$kxm" $command "$input" > /dev/full 2> full.err || status=$?
    [ "$status" = 1 ] && grep -q '^kxm: cannot write the output: No space left on device$' full.err ||
      fail "$command $input > /dev/full: exit $status, $(cat full.err)"
  done
done
status=0
"$kxm" diff game/levels/prop_005.Kxm game/levels/prop_011.Kxm > /dev/full 2> full.err || status=$?
[ "$status" = 2 ] || fail "diff > /dev/full: exit $status"
exit $failed
