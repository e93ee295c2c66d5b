#!/usr/bin/env bash
# Builds the PNG decoder's libFuzzer target with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs it in one process for SECONDS.
# Usage: fuzz/run.sh [SECONDS=60] [BUILD_DIR=build-fuzz]
# Findings land in BUILD_DIR/artifacts; the grown corpus stays in BUILD_DIR/corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-$root/build-fuzz}
mkdir -p "$build/corpus" "$build/seeds" "$build/artifacts"
clang++ -std=c++20 -g -O1 -ffp-contract=off -fsanitize=fuzzer,address,undefined \
  -fno-sanitize-recover=undefined -I"$root/src" \
  "$root"/src/png/*.cpp "$root/fuzz/png_fuzz.cpp" -o "$build/png_fuzz"
python3 "$root/fuzz/make_seeds.py" "$build/seeds"
"$build/png_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -dict="$root/fuzz/png.dict" -artifact_prefix="$build/artifacts/" \
  "$build/corpus" "$build/seeds"
