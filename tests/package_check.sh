#!/usr/bin/env bash
# The downloads as a user gets them. The .deb is installed with dpkg (kxm --version, its manual
# found by man, kxm check on the sample, the browser's page in /usr/share/kxm), then removed
# again. The zip is unpacked into a fresh folder and its programs run in a fresh Wine prefix,
# where no MinGW runtime is: each may import only Windows' own DLLs.
#
#   tests/package_check.sh DEB ZIP SAMPLE GOLDEN_DUMP
set -euo pipefail
deb=$(realpath "$1") zip=$(realpath "$2") sample=$(realpath "$3") golden=$(realpath "$4")
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
work=$(mktemp -d)
installed=""
cleanup() {
  if [ -n "$installed" ]; then $sudo dpkg -r kxm > /dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package check: $*" >&2; exit 1; }

echo "== $(basename "$deb")"
# A kxm installed by someone else is theirs: this check neither replaces nor removes it.
if dpkg-query -W -f='${Status}' kxm 2> /dev/null | grep -q "ok installed"; then
  fail "a kxm package is already installed here; remove it first"
fi
dpkg-deb -c "$deb" | awk '{ print $6 }'
$sudo dpkg -i "$deb" > /dev/null
installed=yes
[ "$(command -v kxm)" = /usr/bin/kxm ] || fail "kxm is not /usr/bin/kxm"
/usr/bin/kxm --version
[ "$(man -w kxm)" = /usr/share/man/man1/kxm.1.gz ] || fail "man -w kxm: $(man -w kxm)"
[ "$(man -w kxm-dump)" = /usr/share/man/man1/kxm-dump.1.gz ] || fail "man -w kxm-dump"
/usr/bin/kxm check "$sample"
(cd "$(dirname "$sample")" && /usr/bin/kxm-dump "$(basename "$sample")") | cmp - "$golden" ||
  fail "kxm-dump of the sample is not the golden dump"
grep -q '<html' /usr/share/kxm/kxm-viewer.html || fail "no page in /usr/share/kxm"
$sudo dpkg -r kxm > /dev/null
installed=""
[ ! -e /usr/bin/kxm ] || fail "dpkg -r left /usr/bin/kxm"

echo "== $(basename "$zip")"
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
folder=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)
(cd "$folder" && find . -type f | sort)
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|ole32|oleaut32|advapi32|msvcrt|shlwapi|uxtheme|ws2_32)\.dll$'
for program in kxm kxm-dump kxmview; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$folder/$program.exe" | sed -n 's/.*DLL Name: //p')
  echo "$program.exe imports:" $dlls
  for dll in $dlls; do
    echo "$dll" | tr '[:upper:]' '[:lower:]' | grep -qE "$allowed" ||
      fail "$program.exe needs $dll, which Windows does not have"
  done
done
export WINEPREFIX=$work/wine WINEDEBUG=-all
unset WINEPATH  # nothing but the prefix and the unpacked folder, as on a user's machine
wineboot -i > /dev/null 2>&1
cp "$sample" "$work/sample.kxm"
cp "$(dirname "$sample")/wood.png" "$work/" 2> /dev/null || true
cd "$work"
wine "$folder/kxm.exe" --version
wine "$folder/kxm.exe" check sample.kxm
wine "$folder/kxm-dump.exe" sample.kxm | tr -d '\r' | cmp - "$golden" ||
  fail "kxm-dump.exe of the sample is not the golden dump"
wine "$folder/kxm.exe" export sample.kxm sample.glb
[ "$(head -c 4 sample.glb)" = glTF ] || fail "kxm.exe export wrote no GLB"
wineserver -k 2> /dev/null || true
echo "package check: both downloads work"
