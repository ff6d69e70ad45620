#!/usr/bin/env bash
# The same DXT texture gives the same PNG in every build: each model of make-dxt-models is
# exported by the native kxm and by this build's kxm.exe (under Wine), and the images the two
# GLBs embed must be equal byte for byte (libsquish decodes, zlib compresses, in both).
#
#   dxt_exports.sh NATIVE_KXM KXM_EXE MODELS_DIR WORK_DIR
set -euo pipefail
native=$1 kxm_exe=$2 models=$3 work=$4
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$native" ] || { echo "$native is missing: build the gcc preset first"; exit 1; }
rm -rf "$work"
mkdir -p "$work"
cp "$models"/* "$work/"
# Names relative to the folder: kxm.exe takes a leading / for an option, as Windows programs do.
cd "$work"
failed=0
for name in dxt1 dxt3 dxt5; do
  "$native" export --quiet "$name.kxm" "$name.native.glb"
  wine "$kxm_exe" export --quiet "$name.kxm" "$name.windows.glb" 2> "$name.err" ||
    { cat "$name.err"; failed=1; continue; }
  echo "$name:"
  python3 "$here/tools/same_glb_images.py" "$name.native.glb" "$name.windows.glb" || failed=1
done
exit $failed
