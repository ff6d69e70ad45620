#!/usr/bin/env bash
# kxm.exe under Wine over the game's folder of 300 models (tests/game_folder.sh), and beside it
# names that no ANSI code page holds and a path of more than 300 characters: check, check --json,
# info, info --json, dump and export --out-dir give the Linux build's totals, every name is
# loaded and printed as itself, a link to a folder is not followed; and, given the native kxm,
# every output is the Linux build's byte for byte once path separators are read as one.
#
#   tests/folder_walk_wine.sh KXM_EXE SAMPLE WORK [NATIVE_KXM]
#
# Exit 77 (skipped) when the native kxm is not there to compare with.
#
# Below a named folder kxm.exe prints '\' between names; the named part is as typed.
set -euo pipefail
exe=$(realpath "$1") sample=$(realpath "$2") work=$3 native=${4:+$(realpath -m "$4")}
dump_exe=$(dirname "$exe")/kxm-dump.exe
# shellcheck source=tests/game_folder.sh
source "$(dirname "$0")/game_folder.sh"
export WINEDEBUG=-all
rm -rf "$work" && mkdir -p "$work"
cd "$work"
make_game_folder "$sample"
mkdir -p extra
cp "$sample" "extra/模型 ✓.kxm"
long=extra/$(printf 'd%.0s' {1..100})/$(printf 'e%.0s' {1..100})/$(printf 'f%.0s' {1..100})
mkdir -p "$long"
cp "$sample" "$long/épée.kxm"
# Its texture in other capitals: found by listing the long folder.
cp "$(dirname "$sample")/wood.png" "$long/WOOD.PNG"
longfile=$long/épée.kxm
windows_long="Z:$(pwd)/$longfile"
windows_long=${windows_long//\//\\}

failed=0
fail() { echo "FAIL $*"; failed=1; }
# run NAME PROGRAM ARGS...: stdout, stderr and the exit status in NAME.out, NAME.err, NAME.status.
run() {
  local name=$1 status=0; shift
  "$@" < /dev/null > "$name.out" 2> "$name.err" || status=$?
  echo "$status" > "$name.status"
}

cases=(check check-json info info-json dump extra extra-json)
# The arguments of each case, in `args`.
arguments() {
  case $1 in
    check) args=(check game) ;;
    check-json) args=(check --json game) ;;
    info) args=(info game) ;;
    info-json) args=(info --json game) ;;
    dump) args=(dump --no-values game) ;;
    extra) args=(info extra "extra/模型 ✓.kxm" "$longfile") ;;
    extra-json) args=(check --json extra) ;;
  esac
}
for name in "${cases[@]}"; do
  arguments "$name"
  run "$name" wine "$exe" "${args[@]}"
done
run export wine "$exe" export --quiet --out-dir out game

# The totals, as tests/folder_walk.sh holds the Linux build to them.
totals="300 files: 270 loaded, 30 failed to load"
[ "$(tail -n 1 check.out)" = "$totals, 15 with warnings; 30 errors, 15 warnings" ] ||
  fail "check totals: $(tail -n 1 check.out)"
[ "$(tail -n 1 info.out)" = "$totals" ] || fail "info totals: $(tail -n 1 info.out)"
[ "$(tail -n 1 dump.err)" = "$totals" ] || fail "dump totals: $(tail -n 1 dump.err)"
[ "$(tail -n 1 export.err)" = "300 files: 270 exported, 30 failed" ] ||
  fail "export totals: $(tail -n 1 export.err)"
[ "$(find out -name '*.glb' | wc -l)" = 270 ] || fail "export: $(find out -name '*.glb' | wc -l) GLBs"
[ -f "out/levels/niveau 2/Été/Lampe é 004.glb" ] || fail "export: the folders are not mirrored"
[ "$(wc -l < info-json.out)" = 300 ] || fail "info --json: not one document per file"
! grep -l "file-not-found" ./*.out ./*.err || fail "a file found by the walk was not found by its load"
# Every file the dump names is there by that name: the walk's names are the files' own.
headers=0
while IFS= read -r shown; do
  headers=$((headers + 1))
  [[ $shown == game\\* && $shown != */* ]] || fail "dump: '$shown' is not game\\ and '\\' below"
  [ -f "${shown//\\//}" ] || fail "dump: '$shown' names no file"
done < <(sed -n 's/^==> \(.*\) <==$/\1/p' dump.out)
[ "$headers" = 300 ] || fail "dump: $headers files, not 300"
# Names outside the ANSI code page and a long path, named and found, print as themselves.
grep -qxF 'extra\模型 ✓.kxm' extra.out || fail "info extra: no 'extra\\模型 ✓.kxm'"
grep -qxF "${longfile//\//\\}" extra.out || fail "info extra: the long path is not listed"
grep -qxF "extra/模型 ✓.kxm" extra.out || fail "info: 'extra/模型 ✓.kxm' not as typed"
grep -qxF "$longfile" extra.out || fail "info: the long path not as typed"
[ "$(grep -cF 'file "WOOD.PNG" (other capitals)' extra.out)" = 2 ] ||
  fail "info: the texture in the long folder is not found"
[ "$(tail -n 1 extra.out)" = "4 files: 4 loaded, 0 failed to load" ] ||
  fail "info extra: $(tail -n 1 extra.out)"
run long-info wine "$exe" info "$windows_long"
[ "$(cat long-info.status)" = 0 ] && [ "$(head -n 1 long-info.out)" = "$windows_long" ] ||
  fail "info of the absolute long path: $(head -n 1 long-info.out) $(cat long-info.err)"
run long-dump wine "$dump_exe" "$longfile"
run name-dump wine "$dump_exe" "extra/模型 ✓.kxm"
[ "$(cat long-dump.status) $(cat name-dump.status)" = "0 0" ] && [ -s long-dump.out ] &&
  cmp -s long-dump.out name-dump.out || fail "kxm-dump.exe: $(cat long-dump.err name-dump.err)"
run long-export wine "$exe" export --out-dir "$long/out" "extra/模型 ✓.kxm" "$longfile"
[ -f "$long/out/模型 ✓.glb" ] && [ -f "$long/out/épée.glb" ] ||
  fail "export to a long folder: $(cat long-export.err)"
# And back: a glTF named outside the code page imported into a folder so named, beside its texture.
mkdir -p "导入 ✓"
run name-import wine "$exe" import "$long/out/épée.glb" "导入 ✓/模型 ✓.kxm"
[ "$(cat name-import.status)" = 0 ] && [ -f "导入 ✓/模型 ✓.kxm" ] &&
  [ -f "导入 ✓/wood.png" ] || fail "import of a Unicode name: $(cat name-import.err)"
run name-check wine "$exe" check "导入 ✓/模型 ✓.kxm"
grep -qF "0 errors, 0 warnings" name-check.out || fail "the import: $(cat name-check.out)"

# The Linux build's outputs, the separators read as one ('\\' in JSON, '\' elsewhere).
# Without it the run is reported as skipped (77), not passed: build the gcc preset first.
if [ -z "$native" ] || [ ! -x "$native" ]; then
  echo "no native kxm at '${native}': the outputs are not compared with the Linux build's"
  [ $failed = 0 ] && exit 77
  exit 1
fi
# one_separator FILE: its text with '/' for every separator; JSON (a --json run's stdout) writes
# a backslash as two.
one_separator() {
  case $1 in *json*.out) sed 's|\\\\|/|g' "$1" ;; *) sed 's|\\|/|g' "$1" ;; esac
}
for name in "${cases[@]}"; do
  arguments "$name"
  run "$name.native" "$native" "${args[@]}"
  [ "$(cat "$name.status")" = "$(cat "$name.native.status")" ] ||
    fail "$name: exit $(cat "$name.status") on Windows, $(cat "$name.native.status") on Linux"
  for stream in out err; do
    one_separator "$name.$stream" > "$name.$stream.one"
    one_separator "$name.native.$stream" > "$name.native.$stream.one"
    diff "$name.$stream.one" "$name.native.$stream.one" > "$name.$stream.diff" ||
      fail "$name: $stream differs from the Linux build's: $(head -n 5 "$name.$stream.diff")"
  done
done
run export.native "$native" export --quiet --out-dir out.native game
cmp -s <(one_separator export.err) <(one_separator export.native.err) ||
  fail "export: stderr differs from the Linux build's"
diff -r out out.native > export.diff || fail "export: the files differ: $(head -n 5 export.diff)"
echo "outputs compared with the Linux build's: ${cases[*]} export"
exit $failed
