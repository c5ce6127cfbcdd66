#!/usr/bin/env bash
# Sourced by the scripts that run the program: installs what is missing and
# builds, quietly, the Windows programs this machine can run under Wine, and
# exports ZEPH_PRESET and ZEPH_WINE_ARCH for them. That is the i686 build
# (win32) where this kernel runs 32-bit code and the x86_64 build (win64) where
# it does not; ZEPH_PRESET=win32|win64 chooses. The build log is shown only
# when the build fails.
zeph_build_windows() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  if [ -n "${ZEPH_PRESET_WHY:-}" ]; then
    :  # chosen before this script started again under Xvfb
  elif [ -n "${ZEPH_PRESET:-}" ]; then
    ZEPH_PRESET_WHY="ZEPH_PRESET=$ZEPH_PRESET"
  elif bash "$root/tools/guest.sh" host-runs-i386; then
    ZEPH_PRESET=win32 ZEPH_PRESET_WHY="this kernel runs 32-bit code"
  else
    ZEPH_PRESET=win64 ZEPH_PRESET_WHY="this kernel runs no 32-bit code, so 32-bit Wine cannot run here"
  fi
  export ZEPH_PRESET ZEPH_PRESET_WHY ZEPH_WINE_ARCH=$ZEPH_PRESET
  [ -n "${ZEPH_RUN_BUILT:-}" ] && return 0
  bash "$root/tools/setup.sh" || return 1
  mkdir -p "$root/build"
  (cd "$root" && cmake --preset "$ZEPH_PRESET" >/dev/null &&
    cmake --build --preset "$ZEPH_PRESET" -j"$(nproc)" >"build/$ZEPH_PRESET.log" 2>&1) ||
    { cat "$root/build/$ZEPH_PRESET.log"; echo "build: the $ZEPH_PRESET build failed" >&2; return 1; }
}
