#!/usr/bin/env bash
# Builds the project and runs every test: the suite, the page's tests in
# headless Chromium, then the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
jobs=$(nproc)
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
(cd build && ctest --output-on-failure -j "$jobs")
bash tests/web/run.sh
bash scripts/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON -DDEMO_BENCH=OFF
(cd build-sanitize && ctest --output-on-failure -j "$jobs")
