#!/usr/bin/env bash
# Measures the idle program under Wine side by side with the floor (a hidden
# window, the same tray icon and a 1-second timer whose tick does nothing):
# CPU per idle hour of the process, and of the process with its wineserver;
# resident and private memory; registry calls and writes per idle tick.
#   tools/measure-idle.sh [seconds per round, 180] [rounds, 3] [warm-up seconds, 20]
# Each program runs in a prefix of its own, so each has a wineserver of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180} rounds=${2:-3} warmup=${3:-20}
source tools/build-windows.sh
zeph_build_windows
if [ -z "${DISPLAY:-}" ]; then
  ZEPH_RUN_BUILT=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
source tools/wine-env.sh
zeph_make_template
program=$PWD/build/$ZEPH_PRESET/sim/zephkeys.exe
floor=$PWD/build/$ZEPH_PRESET/bin/zeph_idle_floor.exe
prefixes=()
cleanup() {
  for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -k 2>/dev/null || true; done
  for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -w 2>/dev/null || true; rm -rf "$p"; done
}
trap cleanup EXIT

new_prefix() {
  local p
  p=$(mktemp -d /tmp/zeph-measure.XXXXXX)
  cp -a "$zeph_template/." "$p/"
  prefixes+=("$p")
  echo "$p"
}
pid_of() {  # exe name, prefix -> the Windows process of that prefix
  local pid
  for pid in $(pgrep -f "$1" || true); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$2" && { echo "$pid"; return; }
  done
}
server_of() {  # prefix -> its wineserver
  local pid
  for pid in $(pgrep wineserver || true); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$1" && { echo "$pid"; return; }
  done
}
cpu_ns() {  # pid -> nanoseconds on a CPU, all threads
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'
}
# Private memory as Windows counts it: what no other process could share. All
# of an anonymous mapping's own pages, and the written (dirty) pages of a
# mapped file; clean pages of a mapped image are the file's, not the process's.
private_kib() {
  awk '/^[0-9a-f]+-[0-9a-f]+ / {file = ($6 != "" && $6 !~ /^\[/)}
       /^Private_Clean/ {if (!file) s += $2}
       /^Private_Dirty/ {s += $2}
       END {print s}' "/proc/$1/smaps"
}
rss_kib() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
start() {  # exe prefix [WINEDEBUG [argument]] -> pid (waits for it)
  # exec, so that nothing is left holding the caller's output open.
  (cd "$(dirname "$1")" && WINEPREFIX=$2 WINEDEBUG=${3:--all} exec wine "$(basename "$1")" ${4:-} >/dev/null 2>"$2/trace.log") &
  local pid=""
  for _ in $(seq 100); do
    pid=$(pid_of "$(basename "$1")" "$2")
    [ -n "$pid" ] && break
    sleep 0.1
  done
  echo "$pid"
}

results=()
for round in $(seq "$rounds"); do
  pp=$(new_prefix) fp=$(new_prefix) tp=$(new_prefix)
  ppid=$(start "$program" "$pp") fpid=$(start "$floor" "$fp") tpid=$(start "$floor" "$tp" -all text)
  sleep "$warmup"
  ps=$(server_of "$pp") fs=$(server_of "$fp")
  read -r p0 f0 ps0 fs0 < <(echo "$(cpu_ns "$ppid") $(cpu_ns "$fpid") $(cpu_ns "$ps") $(cpu_ns "$fs")")
  sleep "$seconds"
  read -r p1 f1 ps1 fs1 < <(echo "$(cpu_ns "$ppid") $(cpu_ns "$fpid") $(cpu_ns "$ps") $(cpu_ns "$fs")")
  line=$(awk -v s="$seconds" -v p=$((p1 - p0)) -v f=$((f1 - f0)) -v ps=$((ps1 - ps0)) -v fs=$((fs1 - fs0)) \
             -v pr="$(rss_kib "$ppid")" -v fr="$(rss_kib "$fpid")" \
             -v pv="$(private_kib "$ppid")" -v fv="$(private_kib "$fpid")" -v tv="$(private_kib "$tpid")" 'BEGIN {
    h = 3600 / s / 1e9
    printf "%.3f %.3f %.2f %.3f %.3f %.2f %.1f %.1f %.1f %.1f %.1f %.1f %.1f",
      p * h, f * h, p / f, (p + ps) * h, (f + fs) * h, (p + ps) / (f + fs),
      pr / 1024, fr / 1024, pv / 1024, fv / 1024, (pv - fv) / 1024, tv / 1024, (pv - tv) / 1024 }')
  results+=("$line")
  set -- $line
  printf 'round %d: CPU s/idle hour: program %s, floor %s (%sx); with wineserver %s vs %s (%sx)\n' \
    "$round" "$1" "$2" "$3" "$4" "$5" "$6"
  printf '         memory MiB: resident %s vs %s; private %s vs %s (%+.1f); floor that drew text once %s (%+.1f)\n' \
    "$7" "$8" "$9" "${10}" "${11}" "${12}" "${13}"
  cleanup
  prefixes=()
done

median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
col() { printf '%s\n' "${results[@]}" | awk -v c="$1" '{print $c}' | median; }
echo "median of $rounds rounds of ${seconds}s (after ${warmup}s warm-up):"
echo "  process CPU       $(col 1) vs floor $(col 2) s/idle hour: $(col 3)x (target at most 2x)"
echo "  with wineserver   $(col 4) vs floor $(col 5) s/idle hour: $(col 6)x (target at most 1.1x)"
echo "  private memory    $(col 9) vs floor $(col 10) MiB: $(col 11) MiB more (target within 1 MiB)"
echo "                    vs the floor that drew text once $(col 12) MiB: $(col 13) MiB more"
echo "  resident memory   $(col 7) vs floor $(col 8) MiB"

# Registry traffic per idle tick, from Wine's registry trace.
ticks=20
for which in program floor; do
  exe=$program
  [ "$which" = floor ] && exe=$floor
  p=$(new_prefix)
  pid=$(start "$exe" "$p" "+reg")
  sleep "$warmup"
  from=$(wc -l <"$p/trace.log")
  sleep "$ticks"
  calls=$(tail -n +"$((from + 1))" "$p/trace.log" | grep -c ':reg:Reg' || true)
  writes=$(tail -n +"$((from + 1))" "$p/trace.log" | grep -c ':reg:RegSetValue' || true)
  kinds=$( (tail -n +"$((from + 1))" "$p/trace.log" | grep -o ':reg:Reg[A-Za-z]*' || true) | sort | uniq -c |
          awk '{printf "%s %s; ", $2, $1}' | sed 's/:reg://g')
  awk -v w="$which" -v c="$calls" -v n="$writes" -v t="$ticks" -v k="$kinds" \
    'BEGIN {printf "  registry, %-7s  %.1f calls and %.1f writes per idle tick (%s)\n", w, c / t, n / t, k}'
  [ -n "$pid" ] || echo "  ($which did not start)"
  cleanup
  prefixes=()
done
