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
source tests/web/bundle_server.sh
trap 'kill $server; rm -rf "$work"' EXIT
cd tests/web/lighthouse
PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error
url=$(bundle_url)
node flow.mjs "$url"
