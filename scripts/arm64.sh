#!/usr/bin/env bash
# The ARM64 check: cross-compiles demo-capture alone (no SDL, no libpng) for
# ARM64 with Debian's cross compiler into build-arm64/, runs it under
# qemu-user on the pictures the desktop build (build/) draws, prints its hash
# of every frame of the whole show at 2 frames a second, and compares them
# with the desktop build's hashes of the same frames.
# Usage: arm64.sh [--until-seconds S]   (only the first S seconds of the show)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
span=()
if [ "${1:-}" = "--until-seconds" ]; then span=(--until-seconds "$2"); fi
bash scripts/install-deps.sh
bash scripts/install-deps.sh --arm64
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target demo-capture pictures
cmake -S . -B build-arm64 -G Ninja -DCMAKE_BUILD_TYPE=Release -DDEMO_CAPTURE_ONLY=ON \
  -DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR=aarch64 \
  -DCMAKE_CXX_COMPILER=aarch64-linux-gnu-g++ >/dev/null
cmake --build build-arm64
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

capture=(--data build --fps 2 --hashes --quiet "${span[@]}")
start=$(date +%s)
status=0
qemu-aarch64 -L /usr/aarch64-linux-gnu build-arm64/tools/capture/demo-capture "${capture[@]}" \
  2>"$work/arm64.log" | tee "$work/arm64.txt" || status=$?
if [ "$status" -ne 0 ] || [ ! -s "$work/arm64.txt" ]; then
  echo "the ARM64 demo-capture failed (exit status $status):"
  tail -n 5 "$work/arm64.log"
  exit 1
fi
target=$(grep -m1 'vector target' "$work/arm64.log" || echo "vector target unnamed")
echo "ARM64 capture ($target) under qemu took $(( $(date +%s) - start )) s"
build/tools/capture/demo-capture "${capture[@]}" >"$work/x86.txt" 2>"$work/x86.log" ||
  { echo "the desktop demo-capture failed:"; tail -n 5 "$work/x86.log"; exit 1; }
first=$(diff "$work/x86.txt" "$work/arm64.txt" | grep -m1 '^[<>] frame' || true)
if [ -n "$first" ]; then
  echo "ARM64 frames differ from the desktop build's, first at: ${first#[<>] }"
  exit 1
fi
echo "arm64: $(wc -l <"$work/arm64.txt") frames, the same hashes as the desktop build's"
