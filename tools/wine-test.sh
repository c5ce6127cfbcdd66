#!/usr/bin/env bash
# Runs one cross-compiled test program under Wine in a throwaway prefix, inside an
# X server of its own when there is no display.
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
source "$(dirname "$0")/wine-env.sh"
zeph_new_prefix
trap zeph_end_prefix EXIT
# The program's own folder, so that it finds PortIO.dll and its companions.
dir=$(cd "$(dirname "$1")" && pwd)
exe="$dir/$(basename "$1")"
shift
cd "$dir"
# ZEPH_WINE_VERSION=win98 and the like: the Windows version Wine shows this program.
if [ -n "${ZEPH_WINE_VERSION:-}" ]; then
  wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$(basename "$exe")" /v Version /d "$ZEPH_WINE_VERSION" /f >/dev/null 2>&1
fi
# The test programs stretch their waits by the same measure on a slow host.
export ZEPH_TEST_TIMEOUT=${ZEPH_TEST_TIMEOUT:-300}
timeout --kill-after=10 "$ZEPH_TEST_TIMEOUT" wine "$exe" "$@"
