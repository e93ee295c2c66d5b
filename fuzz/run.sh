#!/usr/bin/env bash
# Builds the PNG decoder's libFuzzer target with clang and runs it in one
# process for SECONDS. The build uses AddressSanitizer and
# UndefinedBehaviorSanitizer; FUZZ_SANITIZER=memory builds with
# MemorySanitizer instead, which catches pixels read before being written.
# Usage: fuzz/run.sh [SECONDS=60] [BUILD_DIR=build-fuzz]
# Findings land in BUILD_DIR/artifacts; the grown corpus stays in BUILD_DIR/corpus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-$root/build-fuzz}
if [ "${FUZZ_SANITIZER:-address}" = memory ]; then
  sanitizers=(-fsanitize=memory,fuzzer -fsanitize-memory-track-origins)
  target=png_fuzz_msan
else
  sanitizers=(-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target=png_fuzz
fi
mkdir -p "$build/corpus" "$build/seeds" "$build/artifacts"
clang++ -std=c++20 -g -O1 -ffp-contract=off "${sanitizers[@]}" -I"$root/src" \
  "$root"/src/png/*.cpp "$root/fuzz/png_fuzz.cpp" -o "$build/$target"
python3 "$root/fuzz/make_seeds.py" "$build/seeds"
"$build/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -dict="$root/fuzz/png.dict" -artifact_prefix="$build/artifacts/" \
  "$build/corpus" "$build/seeds"
