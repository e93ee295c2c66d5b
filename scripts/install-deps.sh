#!/usr/bin/env bash
# Installs the Debian packages the project needs, or, when not root, prints
# the exact command that would. Usage: install-deps.sh [--web | --arm64 | package ...]
# (--web: what the browser build and its tests need, scripts/web.sh, tests/web;
# --arm64: the cross compiler and emulator of the ARM64 check, scripts/arm64.sh)
set -euo pipefail
wanted=("$@")
if [ "${1:-}" = "--web" ]; then
  wanted=(emscripten chromium libhwy-dev brotli)
elif [ "${1:-}" = "--arm64" ]; then
  wanted=(g++-aarch64-linux-gnu qemu-user libhwy-dev)
elif [ ${#wanted[@]} -eq 0 ]; then
  wanted=(build-essential cmake ninja-build libsdl2-dev libgtest-dev libbenchmark-dev
          libpng-dev zlib1g-dev libspng-dev libdeflate-dev ffmpeg clang xvfb xauth
          libhwy-dev dpkg-dev lintian openbox xdotool x11-utils imagemagick)
fi
missing=()
for pkg in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
else
  echo "Missing packages. Run as root:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
