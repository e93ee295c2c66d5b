#!/usr/bin/env bash
# Builds one of the PNG decoder's libFuzzer targets with clang and runs it in
# one process for SECONDS. Targets: png (the whole decoder on any file) and
# inflate (the inflater's node walk against its lookup tables on the same
# bytes). The build uses AddressSanitizer and UndefinedBehaviorSanitizer;
# FUZZ_SANITIZER=memory builds with MemorySanitizer instead, which catches
# pixels read before being written.
# Usage: fuzz/run.sh [SECONDS=60] [BUILD_DIR=build-fuzz] [TARGET=png]
# Findings land in BUILD_DIR/artifacts-TARGET; the grown corpus stays in
# BUILD_DIR/corpus-TARGET.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${2:-$root/build-fuzz}
name=${3:-png}
if [ "${FUZZ_SANITIZER:-address}" = memory ]; then
  sanitizers=(-fsanitize=memory,fuzzer -fsanitize-memory-track-origins)
  target=${name}_fuzz_msan
else
  sanitizers=(-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target=${name}_fuzz
fi
corpus=$build/corpus-$name
seeds=$build/seeds-$name
artifacts=$build/artifacts-$name
mkdir -p "$corpus" "$seeds" "$artifacts"
clang++ -std=c++20 -g -O1 -ffp-contract=off "${sanitizers[@]}" -I"$root/src" \
  "$root"/src/png/*.cpp "$root/fuzz/${name}_fuzz.cpp" -o "$build/$target"
python3 "$root/fuzz/make_seeds.py" "$seeds" "$name"
"$build/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -dict="$root/fuzz/$name.dict" -artifact_prefix="$artifacts/" "$corpus" "$seeds"
