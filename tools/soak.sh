#!/usr/bin/env bash
# Runs zephkeys.exe of the simulator set under Wine, with the pad's window,
# through many cycles of what a user does with it, and prints its private
# memory every 25 cycles: a steady program stays flat after its warm-up.
#   tools/soak.sh [cycles, 1000] [parts, psam]
# A cycle (tools/measure/soak_driver.cpp): p a pad press the program takes and
# starts a program for; s Properties opened, applied and cancelled (c: opened
# and cancelled only); a the About box; m the tray menu opened and closed.
# Every slot starts a stand-in program that records its command line and ends.
set -euo pipefail
cd "$(dirname "$0")/.."
cycles=${1:-1000} parts=${2:-psam} every=25
source tools/build-windows.sh
zeph_prefix_session "$0" "$@"
build=$PWD/build/$ZEPH_PRESET
winpath() { echo "Z:${1//\//\\}"; }

cp "$build/bin/zeph_marker.exe" "$WINEPREFIX/drive_c/"
for slot in S1 S4; do
  wine reg add 'HKCU\Software\Velmaris\Zephbox' /v $slot /d 'C:\zeph_marker.exe' /f >/dev/null 2>&1
done
(cd "$build/sim" && exec wine zephkeys.exe >/dev/null 2>&1) &
(cd "$build/sim" && exec wine zephpad.exe >/dev/null 2>&1) &

pid=""
for _ in $(seq 300); do
  for p in $(pgrep -f zephkeys.exe || true); do
    { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && pid=$p
  done
  [ -n "$pid" ] && break
  sleep 0.1
done
[ -n "$pid" ] || { echo "soak: zephkeys.exe did not start" >&2; exit 1; }
server=""
for p in $(pgrep wineserver || true); do
  { tr '\0' '\n' <"/proc/$p/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && server=$p
done
# As tools/measure-idle.sh counts it: all of an anonymous mapping's pages and
# the written pages of a mapped file.
private_kib() {
  awk '/^[0-9a-f]+-[0-9a-f]+ / {file = ($6 != "" && $6 !~ /^\[/)}
       /^Private_Clean/ {if (!file) s += $2}
       /^Private_Dirty/ {s += $2}
       END {print s}' "/proc/$1/smaps"
}

# The part of it in the Unix side's own heap: what Wine's Unix libraries (the
# display driver, the font engine) allocate, apart from the Windows heaps; and
# that heap's size. Pages of a heap that keeps its size are pages the C
# library's allocator has come to use, not new memory asked for.
unix_heap_kib() {
  awk '/^[0-9a-f]+-[0-9a-f]+ / {h = ($6 == "[heap]")} /^Private_(Clean|Dirty)/ {if (h) s += $2}
       /^Size:/ {if (h) z += $2} END {printf "%d of %d", s, z}' "/proc/$1/smaps"
}

echo "soak: $cycles cycles of '$parts' on the $ZEPH_PRESET build; private memory in KiB"
first=""
for ((done_ = 0; done_ < cycles; done_ += every)); do
  n=$((cycles - done_ < every ? cycles - done_ : every))
  wine "$build/bin/zeph_soak.exe" "$n" "$parts" "$(winpath "$build/sim/PortIO.dll")" ||
    { echo "soak: the cycles after $done_ failed" >&2; exit 1; }
  kib=$(private_kib "$pid")
  first=${first:-$kib}
  printf 'cycle %5d: program %6d (%+d since cycle %d; Unix heap %s)  wineserver %6d\n' \
    $((done_ + n)) "$kib" $((kib - first)) "$every" "$(unix_heap_kib "$pid")" "$(private_kib "$server")"
done
started=$( (cat "$WINEPREFIX/drive_c/zeph-started.txt" 2>/dev/null || true) | wc -l)
echo "soak: done; the program started the stand-in $started times"
