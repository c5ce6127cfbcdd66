#!/usr/bin/env bash
# Installs, on Debian 12, whatever the build and the tests need and is not there yet.
# Idempotent and quiet when everything is present.
set -euo pipefail

packages=(
  cmake make g++ pkg-config python3
  libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  mingw-w64-i686-dev mingw-w64-x86-64-dev   # the DDK headers and kernel import libraries for zephio.sys
  wine wine32:i386 wine64
  nsis                                      # the installers
  xvfb xauth xdotool imagemagick bc x11-utils fonts-wine fonts-liberation
)

sudo_() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture (32-bit Wine)"
  sudo_ dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  echo "setup: installing ${missing[*]:-(package lists only)}"
  export DEBIAN_FRONTEND=noninteractive
  sudo_ apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi
