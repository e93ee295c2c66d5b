#!/usr/bin/env bash
# Builds the show and plays it from the build folder, where the build puts
# images/ and music/. Escape quits. Without a display, the show is rendered
# to a video file instead, and its path printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  video="$root/out/jubra-demo.mp4"
  mkdir -p "$root/out"
  echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set): rendering the show to a video instead." >&2
  build/tools/capture/demo-capture --data build --video "$video"
  echo "The show is in $video"
  exit 0
fi
cd build
exec ./demo
