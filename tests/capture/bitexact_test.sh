#!/usr/bin/env bash
# scripts/bitexact.sh must not hide a crashing capture. It runs here on
# stand-ins for cmake and the built programs: the rays agree in every build,
# and demo-capture crashes after two frames in every build, which must fail
# the check and point at the capture's log.
#
# usage: bitexact_test.sh BITEXACT_SCRIPT
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/scripts" "$work/bin"
cp "$1" "$work/scripts/bitexact.sh"
cat >"$work/bin/cmake" <<'STANDIN'
#!/usr/bin/env bash
# Configuring writes the build's programs; building does nothing.
[ "$1" = "--build" ] && exit 0
while [ $# -gt 0 ]; do
  case $1 in
    -B) dir=$2; shift ;;
    -DCMAKE_CXX_FLAGS_BITEXACT=*) opt=${1#*=} ;;
  esac
  shift
done
mkdir -p "$dir/tests" "$dir/tools/capture"
echo "\"command\": \"c++ $opt -c raycast/world.cpp\"" >"$dir/compile_commands.json"
printf '#!/bin/sh\necho "bitexact: rays frames 1 hash 0"\n' >"$dir/tests/test_raycast"
printf '#!/bin/sh\necho "frame 0 hash 0"\necho "frame 1 hash 0"\nkill -SEGV $$\n' \
  >"$dir/tools/capture/demo-capture"
chmod +x "$dir/tests/test_raycast" "$dir/tools/capture/demo-capture"
STANDIN
chmod +x "$work/bin/cmake"
if PATH="$work/bin:$PATH" bash "$work/scripts/bitexact.sh" >"$work/out.txt" 2>&1; then
  echo "bitexact.sh passed although every capture crashed:"
  cat "$work/out.txt"
  exit 1
fi
if ! grep -q "demo-capture failed with exit status 139, see .*capture.log" "$work/out.txt"; then
  echo "bitexact.sh did not name the crashed capture:"
  cat "$work/out.txt"
  exit 1
fi
echo "bitexact: a crashing capture fails the check"
