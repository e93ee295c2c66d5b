#!/usr/bin/env bash
# Measures demo-capture's --video-quality choices on the first 40 s of the
# show: each video's size, its SSIM against a lossless encoding of the same
# frames over seconds 20-40 (frames 1200-2399), and the CPU time of the run
# (demo-capture and ffmpeg) per second of show; the real-time factor on two
# cores is 2 / that, the encoder keeping both busy.
# Usage: video_quality.sh [DEMO_CAPTURE [QUALITY...]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
capture=${1:-$root/build/tools/capture/demo-capture}
shift || true
qualities=("${@:-fast balanced small}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=40

# The lossless reference: the same run with ffmpeg's x264 settings swapped
# for -qp 0 by a wrapper early in PATH.
mkdir "$work/lossless"
cat >"$work/lossless/ffmpeg" <<EOS
#!/usr/bin/env bash
args=()
while [ \$# -gt 0 ]; do
  case \$1 in
    -preset) args+=(-preset ultrafast -qp 0); shift 2 ;;
    -crf) shift 2 ;;
    -tune) shift 2 ;;
    *) args+=("\$1"); shift ;;
  esac
done
exec $(command -v ffmpeg) "\${args[@]}"
EOS
chmod +x "$work/lossless/ffmpeg"
PATH="$work/lossless:$PATH" "$capture" --until-seconds $seconds --quiet --video "$work/lossless.mp4" >/dev/null

echo "| --video-quality | MB for $seconds s | SSIM | CPU s per s of show | real-time factor on 2 cores | load |"
echo "|---|---|---|---|---|---|"
for quality in ${qualities[*]}; do
  load=$(cut -d' ' -f1 /proc/loadavg)
  /usr/bin/time -f "%U %S" -o "$work/time.txt" \
    "$capture" --until-seconds $seconds --quiet --video "$work/$quality.mp4" --video-quality "$quality" >/dev/null
  read -r user sys <"$work/time.txt"
  ssim=$(ffmpeg -hide_banner -i "$work/$quality.mp4" -i "$work/lossless.mp4" -lavfi \
    "[0:v]trim=start_frame=1200:end_frame=2400,setpts=PTS-STARTPTS[a];[1:v]trim=start_frame=1200:end_frame=2400,setpts=PTS-STARTPTS[b];[a][b]ssim" \
    -f null - 2>&1 | sed -n 's/.*All:\([0-9.]*\).*/\1/p')
  awk -v q="$quality" -v size="$(stat -c %s "$work/$quality.mp4")" -v ssim="$ssim" -v cpu="$user + $sys" \
      -v s=$seconds -v load="$load" \
    'BEGIN { split(cpu, c, " \\+ "); per = (c[1] + c[2]) / s;
             printf "| %s | %.1f | %s | %.2f | %.2fx | %s |\n", q, size / 1e6, ssim, per, 2 / per, load }'
done
