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
timeout --kill-after=10 "${ZEPH_TEST_TIMEOUT:-300}" wine "$exe" "$@"
