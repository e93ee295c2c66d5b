#!/usr/bin/env bash
# Builds the show for web browsers into build-web/, makes a folder ready for
# any static host from it (scripts/bundle.py) and serves that on
# http://127.0.0.1:8000 until Ctrl-C with scripts/serve.py (compressed,
# cached, cross-origin isolated). The page's pictures and music are made by
# the desktop build's generators and its icons cut from a frame that
# demo-capture draws, so that build (build/) comes first.
# Usage: web.sh [--build-only | --bundle DIR]
#   --build-only  build build-web/ and stop
#   --bundle DIR  build, write the bundle into DIR and stop
# WEB_PROFILING=1 keeps the WebAssembly's function names, for profiles.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
case "${1:-}" in
  ""|--build-only) ;;
  --bundle) [ -n "${2:-}" ] || { echo "usage: web.sh [--build-only | --bundle DIR]" >&2; exit 2; } ;;
  *) echo "usage: web.sh [--build-only | --bundle DIR]" >&2; exit 2 ;;
esac
bash scripts/install-deps.sh
bash scripts/install-deps.sh --web
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target pictures music
# Debian's emscripten finds its JavaScript tools through NODE_PATH.
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=Release -DDEMO_ASSETS_DIR="$root/build" \
  -DDEMO_WEB_PROFILING="${WEB_PROFILING:-0}" >/dev/null
cmake --build build-web
[ "${1:-}" = "--build-only" ] && exit 0
cmake --build build --target demo-capture
bundle=${2:-build-web/bundle}
python3 scripts/bundle.py build-web build "$bundle"
if [ "${1:-}" = "--bundle" ]; then
  echo "The bundle is in $bundle: copy it to any static host."
  exit 0
fi
exec python3 scripts/serve.py "$bundle" --port 8000
