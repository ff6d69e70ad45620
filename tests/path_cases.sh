#!/usr/bin/env bash
# Every subcommand against every kind of path a user or a folder can hand it: each ends with its
# own diagnostic and exit status, none aborts (134) and none hangs.
#
#   tests/path_cases.sh KXM SAMPLE WORK
#
# One table, one row a case: the subcommand's words (FILE stands for the case's path), the exit
# status wanted and a piece of the message wanted on stderr. Cases that need another user (a
# folder that cannot be entered) run as nobody when the test runs as root.
set -uo pipefail
kxm=$(realpath "$1") dump=$(dirname "$kxm")/kxm-dump sample=$(realpath "$2") work=$3
rm -rf "$work" && mkdir -p "$work" && chmod 755 "$work"
cd "$work"
cp "$sample" t.kxm
cp "$sample" model.glb
ln -s loop.kxm loop.kxm
long_name=$(printf 'n%.0s' $(seq 300)).kxm
long_path=$(for _ in $(seq 25); do printf '%s/' "$(printf 'd%.0s' $(seq 200))"; done)t.kxm
mkfifo fifo.kxm fifo.glb
mkdir folder.kxm out.glb
mkdir -p locked/inner && cp t.kxm locked/ && cp t.kxm locked/inner/ && chmod 700 locked
chmod -R a+rX t.kxm folder.kxm
as_user=()
if [ "$(id -u)" = 0 ]; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  chown -R 0:0 locked
fi

failed=0 ran=0
# row NAME STATUS MESSAGE -- ARGS...: runs kxm ARGS and compares.
row() {
  local name=$1 want=$2 message=$3; shift 4
  local status=0
  local program=$kxm
  [ "$1" = kxm-dump ] && { program=$dump; shift; }
  timeout 20 "${RUN_AS[@]}" "$program" "$@" < /dev/null > "${OUT:-$name.out}" 2> "$name.err" ||
    status=$?
  ran=$((ran + 1))
  if [ "$status" = 124 ]; then
    echo "FAIL $name: hung (killed after 20 s)"; failed=$((failed + 1)); return
  fi
  # check says what is wrong with a file on stdout, the others on stderr.
  local said=("$name.err")
  [ -f "${OUT:-$name.out}" ] && said+=("${OUT:-$name.out}")
  # grep reads the files itself: grep -q stops at the first match, and under pipefail a cat
  # still writing into it would fail the case.
  if [ "$status" != "$want" ] || ! grep -qF -- "$message" "${said[@]}"; then
    echo "FAIL $name: exit $status (want $want), stderr: $(head -c 300 "$name.err")"
    echo "     want a message with: $message"
    failed=$((failed + 1))
  fi
}

RUN_AS=()
# Inputs: the case's path given to each subcommand that reads one.
input_case() {
  local case=$1 path=$2 message=$3
  row "$case-check" 1 "$message" -- check "$path"
  row "$case-dump" 1 "$message" -- dump "$path"
  row "$case-info" 1 "$message" -- info "$path"
  row "$case-export" 1 "$message" -- export "$path" "$case.glb"
  row "$case-diff" 2 "$message" -- diff "$path" t.kxm
  row "$case-diff2" 2 "$message" -- diff t.kxm "$path"
  row "$case-kxm-dump" 1 "$message" -- kxm-dump "$path"
}
input_case loop loop.kxm "symbolic links"
input_case long-name "$long_name" "too long"
input_case long-path "$long_path" "too long"
input_case fifo fifo.kxm "not-a-file"
input_case dev-zero /dev/zero "not-a-file"
input_case missing gone/t.kxm "file-not-found"

# Folders and files in each other's place.
row folder-diff 2 "two files or two folders, not a folder and a file" -- diff folder.kxm t.kxm
row folder-export 2 "--out-dir" -- export folder.kxm o.glb
row file-out-dir 2 "out-dir" -- export --out-dir t.kxm t.kxm
row file-texture-dir 2 "texture-dir" -- info --texture-dir t.kxm t.kxm
row missing-texture-dir 2 "texture-dir" -- export --texture-dir gone t.kxm o.glb

# Outputs that are not files: refused, each with its own reason, before anything is replaced.
row out-fifo 1 "is a FIFO, not a file" -- export t.kxm fifo.glb
row out-folder 1 "Is a directory" -- export t.kxm out.glb
row out-long 1 "too long" -- export t.kxm "${long_name%.kxm}.glb"
row out-is-input 2 "is the input" -- export model.glb ./model.glb
[ -p fifo.glb ] && [ -d out.glb ] || { echo "FAIL an output that is not a file was replaced"; failed=$((failed + 1)); }
# A texture the import would write over an image the .gltf read: left as it is where it holds
# those bytes, else nothing is written.
mkdir -p textured && cp t.kxm "$(dirname "$sample")/wood.png" textured/
"$kxm" export textured/t.kxm g/scene.gltf > /dev/null 2>&1 && cp g/scene_textures/wood.png wood.kept
"$kxm" import g/scene.gltf g/scene_textures/scene.kxm > import-beside.out 2>&1 ||
  { echo "FAIL import beside its images: $(cat import-beside.out)"; failed=$((failed + 1)); }
row import-over-image 1 "is a file the import read; nothing written" -- import --textures png g/scene.gltf g/scene_textures/again.kxm
cmp -s wood.kept g/scene_textures/wood.png && [ ! -e g/scene_textures/again.kxm ] ||
  { echo "FAIL an image the import read was written over"; failed=$((failed + 1)); }

# A full device: what is written must be written, help included.
OUT=/dev/full row full-check 1 "No space left" -- check t.kxm --json
for words in "--help" "check --help" "help export" "--version" "kxm-dump --help" \
             "kxm-dump --version" "kxm-dump t.kxm"; do
  status=0
  program=$kxm
  [ "${words%% *}" = kxm-dump ] && { program=$dump; words=${words#kxm-dump }; }
  # shellcheck disable=SC2086
  "$program" $words > /dev/full 2> full.err || status=$?
  ran=$((ran + 1))
  [ "$status" != 0 ] && [ "$status" != 134 ] ||
    { echo "FAIL kxm $words > /dev/full: exit $status"; failed=$((failed + 1)); }
done

# A folder that cannot be entered, as a user who is not its owner.
if [ "$(id -u)" != 0 ] || "${as_user[@]}" true 2> /dev/null; then
  [ "$(id -u)" = 0 ] || chmod 000 locked
  RUN_AS=("${as_user[@]}")
  input_case locked-file locked/t.kxm "Permission denied"
  row locked-walk 1 "the folder cannot be read" -- check .
  row locked-root 1 "the folder cannot be read" -- check locked
  RUN_AS=()
  [ "$(id -u)" = 0 ] || chmod 700 locked
else
  echo "skipped: no other user to run as"
fi
# The long output name was legal: an output of 255 bytes is written.
name255=$(printf 'o%.0s' $(seq 251)).glb
"$kxm" export t.kxm "$name255" 2> /dev/null && [ -s "$name255" ] ||
  { echo "FAIL an output name of 255 bytes was not written"; failed=$((failed + 1)); }
ls -A | grep -q '^\.kxm-' && { echo "FAIL a temporary was left: $(ls -A | grep '^\.kxm-')"; failed=$((failed + 1)); }

echo "$ran cases, $failed failed"
[ "$failed" = 0 ]
