#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test: the native
# suite, then the Windows programs under Wine in Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
for preset in native win32 win64; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  mkdir -p build
  if ! cmake --build --preset "$preset" -j"$jobs" >"build/$preset.log" 2>&1; then
    cat "build/$preset.log"
    exit 1
  fi
  grep -E 'warning:' "build/$preset.log" || true
done

echo "== native tests"
ctest --preset native --no-tests=error

echo "== Windows tests under Wine"
source tools/wine-env.sh
zeph_make_template
if [ -z "${DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset win32 --no-tests=error
else
  ctest --preset win32 --no-tests=error
fi
