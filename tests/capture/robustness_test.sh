#!/usr/bin/env bash
# demo-capture (and demo, where they share the danger) under bad input and
# interruptions: numbers are plain decimals and bad usage exits 2, a lost
# standard output is a failure, the hashes' output holds nothing else, an
# interrupted run leaves earlier outputs as they were, with no partial file
# and no ffmpeg left behind, whenever the signal comes; partial files are
# never written through a planted link; a FIFO or an unplayable music file
# never blocks and costs only the sound, a short one is padded.
#
# usage: robustness_test.sh CAPTURE DATA_DIR DEMO
set -euo pipefail
capture=$(realpath "$1")
data=$(realpath "$2")
demo=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "$*"
  status=1
}
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

for bad in "--fps 0x10" "--fps 10junk" "--size 640x360junk" "--until-seconds 0x1" "--until-seconds 1e0"; do
  # shellcheck disable=SC2086
  "$capture" --data "$data" --quiet $bad >/dev/null 2>"$work/err" && code=0 || code=$?
  [ "$code" -eq 2 ] || fail "exit $code, not 2, for: $bad"
  grep -q "not '" "$work/err" || fail "no clear refusal of $bad: $(cat "$work/err")"
done
for program in "$capture" "$demo"; do
  for asked in --help --version; do
    [ "$program" = "$capture" ] && [ "$asked" = --version ] && continue
    if "$program" $asked >/dev/full 2>/dev/null; then fail "$asked into a full disk passed: $program"; fi
  done
done

# A data folder of links to the real one but for the files given after it.
data_with() {
  local dir=$work/$1
  mkdir -p "$dir/images" "$dir/music"
  ln -sf "$data"/images/*.png "$dir/images/"
  ln -sf "$data/music/vondsorvane2.wav" "$dir/music/"
  echo "$dir"
}
has_audio() { ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$1" | grep -q audio; }
seconds() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }

# Music that is a FIFO, missing, empty, a folder or 1 s long: the video is
# whole, silent (with one line) or padded; demo plays on without it.
fifo=$(data_with fifo)
rm "$fifo/music/vondsorvane2.wav"
mkfifo "$fifo/music/vondsorvane2.wav"
timeout -k 5 60 "$capture" --data "$fifo" --video "$work/fifo.mp4" --fps 2 --until-seconds 2 --quiet \
  >/dev/null 2>"$work/err" || fail "a FIFO as the music: exit $?: $(cat "$work/err")"
[ "$(grep -c "cannot play" "$work/err")" -eq 1 ] || fail "no one line for unplayable music: $(cat "$work/err")"
if [ ! -f "$work/fifo.mp4" ] || has_audio "$work/fifo.mp4"; then fail "no silent video with a FIFO as the music"; fi
(cd "$fifo" && timeout -k 5 30 "$demo" --window 160x90 --start 125.5 >/dev/null 2>&1) ||
  fail "demo with a FIFO as the music: exit $?"
short=$(data_with short)
rm "$short/music/vondsorvane2.wav"
head -c 176444 "$data/music/vondsorvane2.wav" >"$short/music/vondsorvane2.wav"
"$capture" --data "$short" --video "$work/short.mp4" --fps 2 --until-seconds 4 --quiet >/dev/null 2>"$work/err" ||
  fail "1 s of music: exit $?: $(cat "$work/err")"
[ -f "$work/short.mp4" ] && has_audio "$work/short.mp4" && awk -v d="$(seconds "$work/short.mp4")" 'BEGIN { exit !(d >= 3.9) }' ||
  fail "1 s of music did not give 4 s of video with sound"
for unplayable in empty folder; do
  dir=$(data_with "$unplayable")
  rm "$dir/music/vondsorvane2.wav"
  if [ "$unplayable" = empty ]; then : >"$dir/music/vondsorvane2.wav"; else mkdir "$dir/music/vondsorvane2.wav"; fi
  "$capture" --data "$dir" --video "$work/$unplayable.mp4" --fps 2 --until-seconds 1 --quiet >/dev/null 2>"$work/err" ||
    fail "$unplayable music: exit $?: $(cat "$work/err")"
  grep -q "cannot play" "$work/err" || fail "no line for $unplayable music"
done

# A valid header before 2000 MiB: SIGTERM while the pictures load ends both
# programs before they have read it all.
huge=$(data_with huge)
rm "$huge/images/transparent.png"
printf '\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x40\0\0\0\x40\0\x08\x06\0\0\0\0\0\0\0' >"$huge/images/transparent.png"
truncate -s 2000M "$huge/images/transparent.png"
for run in "$capture --quiet --fps 2 --until-seconds 1" "$demo --window 160x90 --start 125.5"; do
  # shellcheck disable=SC2086
  (cd "$huge" && exec $run >/dev/null 2>&1) &
  pid=$!
  sleep 0.2
  kill -TERM "$pid" || true
  peak=0
  while kb=$(awk '/^VmHWM/ { print $2 }' "/proc/$pid/status" 2>/dev/null) && [ -n "$kb" ]; do
    peak=$kb
    sleep 0.05
  done
  wait "$pid" || true
  [ "$peak" -lt 1500000 ] || fail "SIGTERM did not stop the loading ($peak kB read): $run"
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

# SIGTERM while ffmpeg finishes the file (a stand-in that takes every frame,
# then takes its time): the earlier file stays and the run ends by the signal.
mkdir "$work/slow"
cat >"$work/slow/ffmpeg" <<EOF
#!/bin/sh
[ "\$1" = -version ] && exit 0
for last; do :; done
cat >/dev/null
touch "$work/finishing"
sleep 3
echo "a new video" >"\$last"
EOF
chmod +x "$work/slow/ffmpeg"
PATH="$work/slow:$PATH" "$capture" --data "$data" --video "$work/show.mp4" --fps 2 --until-seconds 1 --quiet \
  >/dev/null 2>&1 &
pid=$!
for _ in $(seq 100); do [ -e "$work/finishing" ] && break; sleep 0.1; done
kill -TERM "$pid"
wait "$pid" && code=0 || code=$?
[ "$code" -eq 143 ] || fail "SIGTERM while ffmpeg finished: exit $code, not by the signal"
[ "$(cat "$work/show.mp4")" = "an earlier good file" ] || fail "SIGTERM while ffmpeg finished replaced the video"

# A link planted under the name of a partial frame is never written through,
# and partial files of runs that died are removed, those of live ones kept.
echo "not yours" >"$work/victim"
mkdir "$work/frames"
mkfifo "$work/gate"
(read -r _ <"$work/gate" && exec "$capture" --data "$data" --frames "$work/frames" --fps 2 --until-seconds 1 --quiet \
  >/dev/null 2>&1) &
pid=$!
ln -s "$work/victim" "$work/frames/.partial-$pid-frame-00000.png"
sleep 0 &
dead=$!
wait $dead
: >"$work/frames/.partial-$dead-frame-00000.png"
: >"$work/frames/.partial-$$-frame-00000.png"
echo go >"$work/gate"
wait "$pid" || true
grep -qx "not yours" "$work/victim" || fail "a partial frame was written through a planted link"
[ ! -L "$work/frames/frame-00000.png" ] || fail "a planted link became a frame"
[ ! -e "$work/frames/.partial-$dead-frame-00000.png" ] || fail "a dead run's partial file stays"
[ -e "$work/frames/.partial-$$-frame-00000.png" ] || fail "a live run's partial file was removed"

[ "$status" -eq 0 ] && echo "capture: bad usage and lost output reported, interrupted runs harmless, links and unplayable music safe"
exit $status
