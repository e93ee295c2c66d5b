#!/usr/bin/env bash
# Lighthouse (npm lighthouse 12.8, on node 20, driving Debian's Chromium) on
# the bundle that scripts/web.sh --bundle makes, served by scripts/serve.py:
# prints the scores of the start screen (mobile and desktop settings) and of
# the show playing with its controls shown (tests/web/lighthouse/flow.mjs).
# The flow report goes to $LIGHTHOUSE_REPORT when set. Not part of the
# suite: its numbers follow the machine's load.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
bash scripts/web.sh --bundle build-web/bundle
work=$(mktemp -d)
python3 -u scripts/serve.py build-web/bundle --port 0 >"$work/server.log" 2>&1 &
server=$!
trap 'kill $server; rm -rf "$work"' EXIT
cd tests/web/lighthouse
PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
for _ in $(seq 50); do
  port=$(sed -n 's/.* port \([0-9]*\) .*/\1/p' "$work/server.log")
  [ -n "$port" ] && break
  sleep 0.2
done
[ -n "$port" ] || { echo "the page's server did not start: $(cat "$work/server.log")"; exit 1; }
node flow.mjs "http://127.0.0.1:$port/"
