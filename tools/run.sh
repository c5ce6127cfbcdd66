#!/usr/bin/env bash
# Builds the Windows program and runs it under Wine with the simulated launch
# buttons, in an X server of its own when there is no display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" >build/win32.log 2>&1 || { cat build/win32.log; exit 1; }

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
source tools/wine-env.sh
zeph_new_prefix
trap zeph_end_prefix EXIT

echo "run: the tray program itself is not built yet; running what exists so far:"
echo "run: the poll-tick pieces over the real registry, WinExec and window search."
cd build/win32/bin
wine zeph_platform_tests.exe
