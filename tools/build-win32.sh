#!/usr/bin/env bash
# Installs what is missing and builds the i686 programs (build/win32), quietly;
# the build log is shown only when the build fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
mkdir -p build
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j"$(nproc)" >build/win32.log 2>&1 || { cat build/win32.log; exit 1; }
