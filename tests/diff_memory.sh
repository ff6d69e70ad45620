#!/usr/bin/env bash
# kxm diff of two 1,000,000-chunk files under address-space limits from 20 MB up: at each limit
# either the differences or out-of-memory with exit 2, never an abort.
#
#   tests/diff_memory.sh KXM MAKE_STRESS_MODELS WORK
set -uo pipefail
kxm=$(realpath "$1") make_models=$(realpath "$2") work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
"$make_models" . 1000 || exit 1
failed=0 fitted=0
for megabytes in 20 40 60 80 100 120 140 160 180 200 400 800; do
  status=0
  (ulimit -v $((megabytes * 1024)) && exec "$kxm" diff chunks.kxm chunks-changed.kxm) \
    > out 2> err || status=$?
  if [ "$status" = 2 ] && grep -q "\[out-of-memory\]" err; then
    echo "$megabytes MB: out-of-memory, exit 2"
  elif [ "$status" = 1 ] && [ "$(tail -1 out)" = "1 difference" ]; then
    echo "$megabytes MB: 1 difference, exit 1"
    fitted=$((fitted + 1))
  else
    echo "FAIL $megabytes MB: exit $status, $(tail -c 200 err)"
    failed=$((failed + 1))
  fi
done
[ "$fitted" -gt 0 ] || { echo "FAIL the diff fitted under no limit"; failed=$((failed + 1)); }
[ "$failed" = 0 ]
