#!/usr/bin/env bash
# Builds the show's Debian package with CPack into out/ and checks it with
# lintian, which must report no errors. Usage: package.sh [BUILD_DIR OUT_DIR]
# (by default build/ in Release, into out/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
if [ $# -eq 0 ]; then
  bash scripts/build.sh build -DCMAKE_BUILD_TYPE=Release
  set -- build out
fi
# Configured and built again, so that the package's version and changelog
# name the commit the programs print (nothing to rebuild when none is new).
cmake "$1" >/dev/null
cmake --build "$1" >/dev/null
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
rm -f "$out"/jubra-demo_*.deb
if ! cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  exit 1
fi
rm -rf "$out/_CPack_Packages" "$out/cpack.log"
deb=$(ls "$out"/jubra-demo_*.deb)
echo "lintian $(basename "$deb"):"
lintian --info "$deb" 2>&1 | grep -v '^running with root privileges' || true
# lintian's own status: non-zero on any error.
lintian "$deb" >/dev/null 2>&1
echo "The package is $deb"
