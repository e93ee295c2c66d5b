#!/usr/bin/env bash
# The browser tests: builds the page and its bundle for static hosts
# (scripts/web.sh --bundle, which builds the desktop build's demo-capture
# too), takes the desktop frame hashes to compare with, serves the bundle
# with scripts/serve.py on a free port of 127.0.0.1 and runs page_test.mjs
# and player_test.mjs in Debian's Chromium through puppeteer-core. Screenshots go to $WEB_SCREENSHOTS when it is set.
# With --frame-times it prints the frame-time table measured inside
# Chromium instead of testing; with --live, live play's measurements
# (live_play.mjs); with --profile, where the live step's time goes
# (step_profile.mjs; WEB_PROFILING=1 names the WebAssembly's functions).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
source tests/web/bundle_server.sh
trap 'kill $server ${native60:-} 2>/dev/null; rm -rf "$work"' EXIT
# Live play is checked against the first 26 s at 60 frames a second, made
# beside the other references.
build/tools/capture/demo-capture --data build --fps 60 --hashes --until-seconds 26 --quiet \
  >"$work/native60.txt" 2>/dev/null &
native60=$!
build/tools/capture/demo-capture --data build --fps 2 --hashes --quiet >"$work/native.txt" 2>/dev/null
build/tools/capture/demo-capture --data build --fps 10 --frame "$work/presented.png" --at-seconds 60 --quiet >/dev/null
cd tests/web
# The browser is Debian's; puppeteer-core only drives it.
PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
WEB_URL=$(bundle_url)
export WEB_URL
if [ "${1:-}" = "--frame-times" ]; then
  node frame_times.mjs
  exit 0
fi
if [ "${1:-}" = "--live" ]; then
  node live_play.mjs
  exit 0
fi
if [ "${1:-}" = "--profile" ]; then
  node step_profile.mjs
  exit 0
fi
wait $native60
NATIVE_HASHES="$work/native.txt" NATIVE_PICTURE="$work/presented.png" NATIVE_HASHES_60="$work/native60.txt" \
  node --test --test-concurrency=1 page_test.mjs player_test.mjs
