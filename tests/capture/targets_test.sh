#!/usr/bin/env bash
# The whole show at 10 frames a second, once with every vector target this
# processor runs (demo-capture --simd list), against the hashes of every
# frame as the show has always drawn them (whole_show_10fps.txt); names the
# first frame that differs for each target. CI runs it (.ci/run).
#
# usage: targets_test.sh CAPTURE DATA_DIR [--refresh]
# A change of a picture, a renderer or the camera changes these hashes. When
# the change is meant, look at the frames, then refresh the file on purpose:
#   tests/capture/targets_test.sh build/tools/capture/demo-capture build --refresh \
#     > tests/capture/whole_show_10fps.txt
set -euo pipefail
capture=$1
data=$2
golden="$(cd "$(dirname "$0")" && pwd)/whole_show_10fps.txt"
if [ "${3:-}" = "--refresh" ]; then
  exec "$capture" --data "$data" --fps 10 --hashes --quiet 2>/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
targets=$("$capture" --simd list)
[ -n "$targets" ] || { echo "demo-capture --simd list named no target"; exit 1; }
for target in $targets; do
  start=$(date +%s)
  if ! "$capture" --data "$data" --fps 10 --hashes --quiet --simd "$target" \
      >"$work/$target.txt" 2>"$work/$target.log"; then
    echo "$target: demo-capture failed:"
    tail -n 5 "$work/$target.log"
    status=1
    continue
  fi
  first=$(diff "$golden" "$work/$target.txt" | grep '^[<>] frame' | head -n 2 || true)
  if [ -n "$first" ]; then
    echo "$target: the whole show differs, first at (< expected, > got):"
    echo "$first"
    status=1
  else
    echo "$target: $(wc -l <"$work/$target.txt") frames as always ($(( $(date +%s) - start )) s)"
  fi
done
exit $status
