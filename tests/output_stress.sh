#!/usr/bin/env bash
# Outputs under stress: exports that write one name at once, and exports stopped and killed at
# random points. An output is always either absent or a whole GLB; a stopped export leaves no
# temporary; a killed one never leaves a partial file under the output's name.
#
#   tests/output_stress.sh KXM SAMPLE MAKE_STRESS_MODELS WORK [ROUNDS]
set -uo pipefail
kxm=$(realpath "$1") sample=$(realpath "$2") make_models=$(realpath "$3") work=$4
rounds=${5:-50}
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
cp "$sample" t.kxm
"$make_models" . 400000 || exit 1
failed=0
fail() { echo "FAIL $*"; failed=$((failed + 1)); }

# A whole GLB: its magic, and the length its header gives is the file's.
whole_glb() {
  python3 - "$1" << 'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
sys.exit(0 if len(data) >= 12 and data[:4] == b"glTF" and
         struct.unpack("<I", data[8:12])[0] == len(data) else 1)
EOF
}
temporaries() { find . -name '.kxm-*' | wc -l; }

for writers in 2 4; do
  for round in $(seq "$rounds"); do
    rm -f o.glb
    pids=()
    for _ in $(seq "$writers"); do
      "$kxm" export --quiet t.kxm o.glb 2> "err.$round" & pids+=($!)
    done
    for pid in "${pids[@]}"; do wait "$pid" || fail "$writers at once, round $round: exit $?"; done
    [ -f o.glb ] || { fail "$writers at once, round $round: o.glb is missing"; continue; }
    whole_glb o.glb || fail "$writers at once, round $round: o.glb is not a whole GLB"
  done
  echo "$writers exports at once to one name: $rounds rounds"
done
[ "$(temporaries)" = 0 ] || fail "temporaries left by finished exports"

# Stopped at a random point of a large export: gone, or whole, and no temporary behind. The
# points are spread over the time one export takes here.
start=$(date +%s%N)
"$kxm" export --quiet large.kxm big.glb || fail "the large export failed"
span=$((($(date +%s%N) - start) / 1000000))
echo "one large export: $span ms"
for signal in TERM INT KILL; do
  partial=0 whole=0 absent=0 midway=0
  for round in $(seq "$rounds"); do
    rm -f big.glb
    find . -name '.kxm-*' -delete
    "$kxm" export --quiet large.kxm big.glb 2> /dev/null &
    pid=$!
    sleep "$(printf '0.%03d' $((RANDOM % (span * 3 / 2 < 999 ? span * 3 / 2 + 1 : 999))))"
    kill -s "$signal" "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    if [ -e big.glb ]; then
      if whole_glb big.glb; then whole=$((whole + 1)); else partial=$((partial + 1)); fi
    else
      absent=$((absent + 1))
    fi
    if [ "$(temporaries)" != 0 ]; then
      midway=$((midway + 1))  # a kill that no program can catch may leave one, and only that
      [ "$signal" = KILL ] || fail "SIG$signal, round $round: a temporary was left"
    fi
  done
  [ "$partial" = 0 ] || fail "SIG$signal: $partial partial files under the output's name"
  echo "SIG$signal at random points, $rounds rounds: $absent stopped before the rename," \
       "$whole finished, $partial partial, $midway temporaries left"
done

echo "$failed failed"
[ "$failed" = 0 ]
