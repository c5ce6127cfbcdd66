#!/usr/bin/env bash
# Installs, on Debian 12, whatever the build and the tests need and is not there yet.
# Idempotent and quiet when everything is present. Where this kernel runs 32-bit
# code, 32-bit Wine runs the i686 programs here; where it does not (or with
# ZEPH_I686_IN_GUEST=1), an emulated machine does, made by tools/guest.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake make g++ pkg-config python3
  libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  mingw-w64-i686-dev mingw-w64-x86-64-dev   # the DDK headers and kernel import libraries for zephio.sys
  wine wine64
  nsis                                      # the installers
  osslsigncode python3-pefile openssl       # signing, and reading what ships (tools/check_shipped.py)
  xvfb xauth xdotool imagemagick bc x11-utils fonts-wine fonts-liberation
)
if [ "${ZEPH_I686_IN_GUEST:-}" != 1 ] && bash tools/guest.sh host-runs-i386; then
  packages+=(wine32:i386)
  need_i386=1
else
  packages+=(qemu-system-x86 debootstrap e2fsprogs)
fi

sudo_() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if [ -n "${need_i386:-}" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
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
  sudo_ apt-get update -qq || { echo "setup: apt-get update failed" >&2; exit 1; }
  if [ ${#missing[@]} -gt 0 ]; then
    log=$(mktemp)
    if ! sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
      tail -30 "$log" >&2
      echo "setup: apt-get could not install ${missing[*]}" >&2
      exit 1
    fi
    rm -f "$log"
  fi
fi
