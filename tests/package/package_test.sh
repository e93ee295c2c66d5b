#!/usr/bin/env bash
# The Debian package as a user gets it: made by scripts/package.sh from the
# build, unpacked with dpkg-deb -x into a fresh root, and both programs run
# from an unrelated working folder. They must find the package's own
# pictures and music (not the build's), print the build's version, and the
# capture's first second must hash as the build's does.
# Usage: package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

bash "$source_dir/scripts/package.sh" "$build" "$work/out" >"$work/package.log" 2>&1 ||
  { cat "$work/package.log"; fail "package.sh failed"; }
deb=$(ls "$work"/out/jubra-demo_*.deb)
dpkg-deb -x "$deb" "$work/root"
mkdir "$work/elsewhere"
cd "$work/elsewhere"
bin=$work/root/usr/bin
share=$work/root/usr/bin/../share/jubra-demo

for file in usr/share/applications/jubra-demo.desktop usr/share/icons/hicolor/128x128/apps/jubra-demo.png \
            usr/share/man/man1/demo.1.gz usr/share/man/man1/demo-capture.1.gz; do
  [ -s "$work/root/$file" ] || fail "the package lacks $file"
done

version=$("$build/demo" --version)
commit=$(sed -n 's/.*(commit \([0-9a-z]*\)).*/\1/p' <<<"$version")
[ "$("$bin/demo" --version)" = "$version" ] || fail "demo --version: $("$bin/demo" --version), not $version"
[ "$("$bin/demo-capture" --version)" = "demo-capture${version#demo}" ] || fail "demo-capture --version differs"
dpkg-deb -f "$deb" Version | grep -q "+git$commit\$" || fail "the package's version lacks commit $commit"

for program in demo demo-capture; do
  "$bin/$program" --help | grep -qF "; found in $share" ||
    fail "$program looks for its data elsewhere: $("$bin/$program" --help | tail -n 1)"
done

"$bin/demo-capture" --until-seconds 1 --hashes --quiet >"$work/package.txt" 2>"$work/capture.log" ||
  { cat "$work/capture.log"; fail "the unpacked demo-capture failed"; }
"$build/tools/capture/demo-capture" --data "$build" --until-seconds 1 --hashes --quiet \
  >"$work/build.txt" 2>/dev/null || fail "the build's demo-capture failed"
[ -s "$work/build.txt" ] && cmp -s "$work/package.txt" "$work/build.txt" ||
  fail "the unpacked capture's first second differs from the build's"
! grep -q 'Error' "$work/capture.log" || fail "the unpacked capture: $(grep Error "$work/capture.log")"

SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 60 "$bin/demo" --start 125.5 --mute \
  >"$work/demo.log" 2>&1 || { cat "$work/demo.log"; fail "the unpacked demo failed"; }
! grep -q 'Error' "$work/demo.log" || fail "the unpacked demo: $(cat "$work/demo.log")"
echo "package: $(basename "$deb") unpacked; both programs ran from an unrelated folder"
