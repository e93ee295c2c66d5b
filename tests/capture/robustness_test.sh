#!/usr/bin/env bash
# demo-capture under bad input and interruptions: numbers are plain decimals,
# a lost standard output is a failure, the hashes' output holds nothing else,
# and an interrupted run leaves earlier outputs as they were, with no partial
# file and no ffmpeg left behind.
#
# usage: robustness_test.sh CAPTURE DATA_DIR
set -euo pipefail
capture=$1
data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "$*"
  status=1
}

for bad in "--fps 0x10" "--fps 10junk" "--size 640x360junk" "--until-seconds 0x1" "--until-seconds 1e0"; do
  # shellcheck disable=SC2086
  if "$capture" --data "$data" --quiet $bad >/dev/null 2>"$work/err"; then fail "accepted: $bad"; fi
  grep -q "not '" "$work/err" || fail "no clear refusal of $bad: $(cat "$work/err")"
done

# The hashes, then the timing report, into a full disk.
for extra in --hashes ""; do
  if "$capture" --data "$data" --fps 2 --until-seconds 1 --quiet $extra >/dev/full 2>"$work/err"; then
    fail "output lost to a full disk passed for success ($extra)"
  fi
  grep -q "cannot write to standard output" "$work/err" || fail "no message for a full disk ($extra)"
done

mkdir "$work/no-pictures"
"$capture" --data "$work/no-pictures" --fps 2 --until-seconds 1 --hashes --quiet >"$work/hashes" 2>"$work/err"
if grep -v '^frame ' "$work/hashes"; then fail "standard output holds more than the hashes"; fi
grep -q "Error decoding texture file images/fish.png" "$work/err" || fail "the loader's lines are lost"

# Ends a capture with SIGTERM once its video's partial file exists, or after
# a few seconds.
interrupt() {
  "$capture" --data "$data" --quiet "$@" >/dev/null 2>&1 &
  local pid=$!
  for _ in $(seq 40); do
    compgen -G "$work/.partial-*" >/dev/null && break
    sleep 0.1
  done
  kill -TERM "$pid"
  if wait "$pid"; then fail "not interrupted: $*"; fi
}
echo "an earlier good file" >"$work/show.mp4"
echo "an earlier good file" >"$work/frame.png"
interrupt --video "$work/show.mp4" --fps 10
interrupt --frame "$work/frame.png" --at-t 620 --fps 60
for file in show.mp4 frame.png; do
  [ "$(cat "$work/$file")" = "an earlier good file" ] || fail "an interrupted run changed $file"
done
if compgen -G "$work/.partial-*"; then fail "partial files left behind"; fi
if pgrep -f -- "$work/" >/dev/null; then fail "ffmpeg still runs after the capture ended"; fi

[ "$status" -eq 0 ] && echo "capture: bad numbers refused, lost output reported, interrupted runs harmless"
exit $status
