#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs every test: the native
# suite, the x86_64 programs under 64-bit Wine, and the i686 programs under
# 32-bit Wine, on this machine where its kernel runs 32-bit code, in the
# emulated machine of tools/guest.sh where it does not (or where
# ZEPH_I686_IN_GUEST=1 asks for it). Ends with what ran where, and every skip.
set -euo pipefail
cd "$(dirname "$0")/.."
t0=$SECONDS
bash tools/setup.sh

if [ "${ZEPH_I686_IN_GUEST:-}" = 1 ]; then
  i686_where=guest i686_why="ZEPH_I686_IN_GUEST=1"
elif bash tools/guest.sh host-runs-i386; then
  i686_where=host i686_why="this kernel runs 32-bit code"
else
  i686_where=guest i686_why="this kernel runs no 32-bit code"
fi
echo "== i686 programs: under 32-bit Wine in the $( [ $i686_where = host ] && echo "host" || echo "emulated machine") ($i686_why)"

results=build/results
rm -rf "$results" && mkdir -p "$results"
# The emulated machine is made from Debian's packages while this machine builds.
if [ $i686_where = guest ]; then
  bash tools/guest.sh make >"$results/guest-make.log" 2>&1 &
  guest_maker=$!
fi

jobs=$(nproc)
for preset in native win32 win64; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  if ! cmake --build --preset "$preset" -j"$jobs" >"build/$preset.log" 2>&1; then
    cat "build/$preset.log"
    exit 1
  fi
  grep -E 'warning:' "build/$preset.log" || true
done
echo "== built in $((SECONDS - t0)) s"

status=0
run_suite() {  # name, then the command that runs it
  local name=$1 t=$SECONDS
  shift
  echo "== $name"
  "$@" || status=1
  echo "== $name: $((SECONDS - t)) s"
}
xvfb() { xvfb-run -a -s "-screen 0 1024x768x24" "$@"; }

run_suite "native tests" ctest --preset native --no-tests=error --output-junit "$PWD/$results/native.xml"
run_suite "x86_64 programs under 64-bit Wine (host)" \
  xvfb ctest --preset win64 --no-tests=error --output-junit "$PWD/$results/win64.xml"
if [ $i686_where = host ]; then
  run_suite "i686 programs under 32-bit Wine (host)" \
    xvfb ctest --preset win32 --no-tests=error --output-junit "$PWD/$results/win32.xml"
else
  if ! wait "$guest_maker"; then
    cat "$results/guest-make.log"
    echo "test: the emulated machine could not be made" >&2
    exit 1
  fi
  cat "$results/guest-make.log"
  # The guest keeps its ready prefixes on its own disk.
  run_suite "i686 programs under 32-bit Wine (emulated machine)" \
    bash tools/guest.sh run env ZEPH_WINE_TEMPLATE_DIR=/opt/zeph \
      xvfb-run -a -s "-screen 0 1024x768x24" \
      ctest --preset win32 --no-tests=error --output-junit "$PWD/$results/win32.xml"
fi

python3 tools/test_summary.py "$results" \
  "native=native (host)" \
  "win64=x86_64 under 64-bit Wine 8 (host)" \
  "win32=i686 under 32-bit Wine 8 ($( [ $i686_where = host ] && echo host || echo "emulated machine, $i686_why"))" || status=1
echo "== test command: $((SECONDS - t0)) s, $( [ $status = 0 ] && echo passed || echo FAILED)"
exit $status
