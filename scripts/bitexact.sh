#!/usr/bin/env bash
# Builds with gcc and clang, each at -O0 and -O2, and in every build
#  - runs the whole show's choreography and compares what each prints: a hash
#    of every column_hits record of every frame and the camera at the end of
#    each path;
#  - captures the whole show at 10 frames a second with demo-capture (hashes
#    only; its messages in the build's capture.log) and names the first frame
#    that differs from the first build's.
# Exits non-zero when a build, a test or a capture fails or any output differs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${JOBS:-2}
builds=("gcc g++ -O2" "gcc g++ -O0" "clang clang++ -O2" "clang clang++ -O0")
status=0
reference=""
frames_reference=""
fps=${FPS:-10}

for build in "${builds[@]}"; do
  read -r name compiler opt <<<"$build"
  dir="$root/build-bitexact-$name${opt}"
  echo "== $name $opt ($dir)"
  # A build type whose flags are exactly the optimisation level under test.
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_BUILD_TYPE=BitExact -DCMAKE_CXX_FLAGS_BITEXACT="$opt" \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DDEMO_BENCH=OFF >/dev/null
  if ! cmake --build "$dir" --target test_raycast demo-capture pictures -j "$jobs" >"$dir/build.log" 2>&1; then
    echo "build failed, see $dir/build.log"
    status=1
    continue
  fi
  if ! grep '"command"' "$dir/compile_commands.json" | grep 'raycast/world.cpp' | grep -q -- "$opt "; then
    echo "world.cpp was not compiled with $opt"
    status=1
  fi
  if ! "$dir/tests/test_raycast" --gtest_filter='Choreography.*' >"$dir/choreography.log" 2>&1; then
    echo "choreography tests failed, see $dir/choreography.log"
    status=1
  fi
  grep '^bitexact:' "$dir/choreography.log" >"$dir/bitexact.txt" || true
  if [ ! -s "$dir/bitexact.txt" ]; then
    echo "no hashes printed"
    status=1
    continue
  fi
  sed -n 's/^bitexact: \([a-z0-9]*\) frames .* hash /\1 /p' "$dir/bitexact.txt"
  if [ -z "$reference" ]; then
    reference="$dir/bitexact.txt"
  elif ! diff "$reference" "$dir/bitexact.txt"; then
    echo "differs from $reference"
    status=1
  fi
  # Standard output carries only the hash lines; the capture's messages are kept.
  capture_status=0
  "$dir/tools/capture/demo-capture" --data "$dir" --fps "$fps" --hashes --quiet \
    >"$dir/frames.txt" 2>"$dir/capture.log" || capture_status=$?
  echo "$(wc -l <"$dir/frames.txt") frames captured at $fps per second"
  if [ "$capture_status" -ne 0 ]; then
    echo "demo-capture failed with exit status $capture_status, see $dir/capture.log:"
    tail -n 5 "$dir/capture.log"
    status=1
    continue
  fi
  if [ ! -s "$dir/frames.txt" ]; then
    echo "no frames captured"
    status=1
    continue
  fi
  if [ -z "$frames_reference" ]; then
    frames_reference="$dir/frames.txt"
  else
    first=$(diff "$frames_reference" "$dir/frames.txt" | grep -m1 '^[<>] frame' || true)
    if [ -n "$first" ]; then
      echo "first differing frame: ${first#[<>] } (against $frames_reference)"
      status=1
    fi
  fi
done

if [ "$status" -eq 0 ]; then
  echo "bit-exact: all ${#builds[@]} builds agree"
else
  echo "bit-exactness check FAILED"
fi
exit "$status"
