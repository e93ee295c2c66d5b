#!/usr/bin/env bash
# Builds the show for web browsers into build-web/ and serves it on
# http://127.0.0.1:8000 until Ctrl-C with scripts/serve.py (compressed,
# cached, cross-origin isolated). The page's pictures and music are made by
# the desktop build's generators, so that build (build/) comes first.
# Usage: web.sh [--build-only]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/install-deps.sh --web
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target pictures music
# Debian's emscripten finds its JavaScript tools through NODE_PATH.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release -DDEMO_ASSETS_DIR="$root/build" >/dev/null
cmake --build build-web
[ "${1:-}" = "--build-only" ] && exit 0
exec python3 scripts/serve.py build-web --port 8000
