#!/usr/bin/env bash
# Whole-show captures with demo-capture at 2 frames a second of show time:
# two runs give identical frame hashes and identical PNG bytes, runs on 1 and
# 3 threads and with every vector target give the same frames as one thread
# per core with the best target, and one frame
# of every window (intro words, both fly-throughs, the black gaps, each scene)
# matches its golden hash; the video carries the frames' pictures.
#
# usage: capture_test.sh CAPTURE DATA_DIR [--refresh]
# A change of a picture, a renderer or the camera changes these hashes. When
# the change is meant, look at the frames (demo-capture --frame F --at-t T),
# then refresh the golden file on purpose:
#   tests/capture/capture_test.sh build/tools/capture/demo-capture build --refresh \
#     > tests/capture/golden_hashes.txt
set -euo pipefail
capture=$1
data=$2
golden="$(cd "$(dirname "$0")" && pwd)/golden_hashes.txt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Frame index at 2 per second -> what it shows.
frames="12 24 36 40 52 80 102 120 132 168 212 240 253"

"$capture" --data "$data" --fps 2 --hashes --quiet > "$work/run1.txt" 2>"$work/report1.txt"
grep '^frame ' "$work/run1.txt" > "$work/hashes1.txt"

if [ "${3:-}" = "--refresh" ]; then
  for n in $frames; do grep "^frame $n " "$work/hashes1.txt"; done
  exit 0
fi

status=0
while read -r line; do
  n=$(echo "$line" | awk '{print $2}')
  got=$(grep "^frame $n " "$work/hashes1.txt" || true)
  if [ "$got" != "$line" ]; then
    echo "golden frame $n differs:"
    echo "  expected: $line"
    echo "  got:      ${got:-nothing}"
    status=1
  fi
done < "$golden"

"$capture" --data "$data" --fps 2 --hashes --quiet --until-seconds 30 2>/dev/null | grep '^frame ' > "$work/run2.txt"
if ! head -n "$(wc -l < "$work/run2.txt")" "$work/hashes1.txt" | cmp -s - "$work/run2.txt"; then
  echo "two captures of the same frames differ"
  status=1
fi

# The frames do not depend on how many threads draw them: the whole show on
# one thread and on three equals the run above (one thread per core).
for threads in 1 3; do
  "$capture" --data "$data" --fps 2 --hashes --quiet --threads "$threads" 2>/dev/null |
    grep '^frame ' > "$work/threads$threads.txt" || true
  first=$(diff "$work/hashes1.txt" "$work/threads$threads.txt" | grep -m1 '^[<>] frame' || true)
  if [ -n "$first" ] || [ ! -s "$work/threads$threads.txt" ]; then
    echo "whole show on $threads thread(s) differs, first at: ${first:-no frames}"
    status=1
  fi
done

# Nor on the vector instructions: the whole show with each other target the
# processor runs (chosen by --simd, and by DEMO_SIMD for the last) equals
# the best one's.
targets=$("$capture" --simd list)
last=$(echo "$targets" | tail -n 1)
for target in $(echo "$targets" | tail -n +2); do
  if [ "$target" = "$last" ]; then
    DEMO_SIMD="$target" "$capture" --data "$data" --fps 2 --hashes --quiet 2>/dev/null
  else
    "$capture" --data "$data" --fps 2 --hashes --quiet --simd "$target" 2>/dev/null
  fi | grep '^frame ' > "$work/target.txt" || true
  first=$(diff "$work/hashes1.txt" "$work/target.txt" | grep -m1 '^[<>] frame' || true)
  if [ -n "$first" ] || [ ! -s "$work/target.txt" ]; then
    echo "whole show with vector target $target differs, first at: ${first:-no frames}"
    status=1
  fi
done

"$capture" --data "$data" --fps 5 --frame "$work/a.png" --at-t 205 --quiet >/dev/null 2>&1
"$capture" --data "$data" --fps 5 --frame "$work/b.png" --at-t 205 --quiet >/dev/null 2>&1
if ! cmp -s "$work/a.png" "$work/b.png"; then
  echo "two captures of one frame as PNG differ"
  status=1
fi

# The video gets the frames converted as ffmpeg converts the PNG frames
# itself (x86 arithmetic, truncations included): the same encoder settings
# then decode to the same pictures, the frame's bottom rows included.
# --frames makes its folder.
"$capture" --data "$data" --fps 2 --until-seconds 25 --quiet --frames "$work/new/frames" >/dev/null 2>&1
"$capture" --data "$data" --fps 2 --until-seconds 25 --quiet --video "$work/v.mp4" \
  --video-quality fast >/dev/null 2>&1
ffmpeg -loglevel error -framerate 2 -i "$work/new/frames/frame-%05d.png" -c:v libx264 -preset ultrafast \
  -crf 18 -pix_fmt yuv420p "$work/ref.mp4"
for video in v ref; do ffmpeg -loglevel error -i "$work/$video.mp4" -map 0:v -f framemd5 "$work/$video.md5"; done
if ! diff -q <(grep -v '^#' "$work/v.md5") <(grep -v '^#' "$work/ref.md5") >/dev/null; then
  echo "the video's pictures differ from ffmpeg's own conversion of the frames"
  status=1
fi

# Clear refusals: an output that cannot be written, and no ffmpeg to encode.
expect_refusal() {
  local message=$1
  shift
  if "$@" >"$work/out.txt" 2>&1; then
    echo "expected a refusal from: $*"
    status=1
  elif ! grep -q "$message" "$work/out.txt"; then
    echo "expected '$message' from: $*; got: $(cat "$work/out.txt")"
    status=1
  fi
}
expect_refusal "cannot write $work/none/f.png" "$capture" --data "$data" --frame "$work/none/f.png" --at-t 1
expect_refusal "cannot make the folder" "$capture" --data "$data" --frames "$work/a.png/frames"
expect_refusal "takes fast, balanced or small" "$capture" --data "$data" --video "$work/v.mp4" --video-quality best
expect_refusal "the ffmpeg program was not found" env PATH=/nonexistent "$capture" --data "$data" --video "$work/v.mp4"
expect_refusal "cannot enter the data folder" "$capture" --data "$work/none"
expect_refusal "not 'none'" "$capture" --data "$data" --simd none
expect_refusal "DEMO_SIMD names no vector target" env DEMO_SIMD=none "$capture" --data "$data"

frames_run=$(wc -l < "$work/hashes1.txt")
[ "$status" -eq 0 ] && echo "capture: $frames_run frames, golden frames and repeat runs agree"
exit $status
