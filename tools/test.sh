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
if [ $i686_where = host ]; then
  echo "== i686 programs: under 32-bit Wine on this machine ($i686_why)"
else
  echo "== i686 programs: under 32-bit Wine in the emulated machine ($i686_why)"
fi

results=build/results
rm -rf "$results" && mkdir -p "$results"
xvfb() { xvfb-run -a -s "-screen 0 1024x768x24" "$@"; }

source tools/build-windows.sh
build() {
  echo "== build $1"
  zeph_build_preset "$1" || return 1
  grep -E 'warning:' "build/$1.log" || true
}

# In the emulated machine the i686 suite takes longest: the guest is made (or
# found) while this machine builds, and runs the suite as soon as the i686
# build is there, beside the other suites.
if [ $i686_where = guest ]; then
  (
    t=$SECONDS
    bash tools/guest.sh make || { echo "test: the emulated machine could not be made"; exit 1; }
    echo "== emulated machine ready after $((SECONDS - t)) s"
    until [ -f "$results/win32.built" ]; do
      [ -f "$results/win32.failed" ] && exit 1
      sleep 2
    done
    t=$SECONDS
    rc=0
    bash tools/guest.sh run env ZEPH_WINE_TEMPLATE_DIR=/opt/zeph ZEPH_PREFIX_OVERLAY=1 ZEPH_TEST_TIMEOUT=900 \
      xvfb-run -a -s "-screen 0 1024x768x24" \
      ctest --preset win32 --no-tests=error --output-junit "$PWD/$results/win32.xml" || rc=$?
    echo "== i686 suite in the emulated machine: $((SECONDS - t)) s"
    exit $rc
  ) >"$results/guest.log" 2>&1 &
  guest_suite=$!
  trap 'kill $guest_suite 2>/dev/null || true' EXIT
fi

if ! build win32; then touch "$results/win32.failed"; exit 1; fi
touch "$results/win32.built"
build native
build win64
echo "== built in $((SECONDS - t0)) s"

status=0
run_suite() {  # title, then the command that runs it
  local title=$1 t=$SECONDS
  shift
  echo "== $title"
  "$@" || status=1
  echo "== $title: $((SECONDS - t)) s"
}

run_suite "native tests" ctest --preset native --no-tests=error --output-junit "$PWD/$results/native.xml"
run_suite "x86_64 programs under 64-bit Wine (this machine)" \
  xvfb ctest --preset win64 --no-tests=error --output-junit "$PWD/$results/win64.xml"
if [ $i686_where = host ]; then
  run_suite "i686 programs under 32-bit Wine (this machine)" \
    xvfb ctest --preset win32 --no-tests=error --output-junit "$PWD/$results/win32.xml"
  where="this machine"
else
  echo "== i686 programs under 32-bit Wine (emulated machine)"
  wait "$guest_suite" || status=1
  trap - EXIT
  cat "$results/guest.log"
  where="emulated machine, as $i686_why"
fi

python3 tools/test_summary.py "$results" \
  "native=native (this machine)" \
  "win64=x86_64 under 64-bit Wine (this machine)" \
  "win32=i686 under 32-bit Wine ($where)" || status=1
echo "== test command: $((SECONDS - t0)) s, $([ $status = 0 ] && echo passed || echo FAILED)"
exit $status
