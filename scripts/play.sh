#!/usr/bin/env bash
# Builds the show and plays it from the build folder, where the build puts
# images/ and music/. Escape quits.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set): the show needs a desktop to play on." >&2
  exit 1
fi
cd build
exec ./demo
