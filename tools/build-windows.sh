#!/usr/bin/env bash
# Sourced by the test command (zeph_build_preset) and by the scripts that run
# the program (zeph_build_windows), which installs what is missing and
# builds, quietly, the Windows programs this machine can run under Wine, and
# exports ZEPH_PRESET and ZEPH_WINE_ARCH for them. That is the i686 build
# (win32) where this kernel runs 32-bit code and the x86_64 build (win64) where
# it does not; ZEPH_PRESET=win32|win64 chooses. The build log is shown only
# when the build fails.

# Configures and builds one preset quietly into build/PRESET.log; on failure
# shows the log and says so. The test command builds every preset with it.
zeph_build_preset() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  mkdir -p "$root/build"
  if ! (cd "$root" && cmake --preset "$1" >/dev/null &&
        cmake --build --preset "$1" -j"$(nproc)" >"build/$1.log" 2>&1); then
    cat "$root/build/$1.log"
    echo "build: the $1 build failed" >&2
    return 1
  fi
}

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
  zeph_build_preset "$ZEPH_PRESET"
}

# For the scripts that run our programs in a window session: builds, starts the
# calling script again inside an X server of its own when there is no display,
# and brings in the Wine set-up. Called as: zeph_windows_session "$0" "$@"
zeph_windows_session() {
  zeph_build_windows || return 1
  if [ -z "${DISPLAY:-}" ]; then
    ZEPH_RUN_BUILT=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
  fi
  source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
}

# The same with a Wine prefix of the caller's own, removed when it ends.
zeph_prefix_session() {
  zeph_windows_session "$@" || return 1
  zeph_new_prefix
  trap zeph_end_prefix EXIT
}
