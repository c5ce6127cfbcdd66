#!/usr/bin/env bash
# Measures the idle program under Wine side by side with the floor (a hidden
# window, the same tray icon and a 1-second timer whose tick does nothing) and
# with the shown floor (the same, having first shown a captioned window with a
# line of text that hides in its first paint, as the program's welcome dialog
# does) and the dialog floor (the same with a copy of that welcome dialog's own
# template, its font and progress control: what showing it costs any program):
# CPU per idle hour of the process, and of the process with its
# wineserver; resident and private memory; wineserver request lines per idle
# minute, by request and by thread; registry calls and writes per idle tick.
#   tools/measure-idle.sh [seconds per round, 180] [rounds, 3; 0: requests and registry only] [warm-up seconds, 20]
# Each program runs in a prefix of its own, so each has a wineserver of its own.
# The build is the one this machine runs (see tools/build-windows.sh), its
# program ZEPH_IDLE_PROGRAM if set (another build's, with its PortIO.dll); for the
# i686 build on a machine that runs no 32-bit code, in the emulated machine:
#   ZEPH_GUEST_DIR=... tools/guest.sh run env ZEPH_WINE_TEMPLATE_DIR=/opt/zeph \
#     ZEPH_PRESET=win32 ZEPH_RUN_BUILT=1 bash tools/measure-idle.sh 60 1
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180} rounds=${2:-3} warmup=${3:-20}
source tools/build-windows.sh
zeph_windows_session "$0" "$@"
zeph_make_template
program=${ZEPH_IDLE_PROGRAM:-$PWD/build/$ZEPH_PRESET/sim/zephkeys.exe}
floor=$PWD/build/$ZEPH_PRESET/bin/zeph_idle_floor.exe
prefixes=()
cleanup() {
  for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -k 2>/dev/null || true; done
  for p in "${prefixes[@]}"; do WINEPREFIX=$p wineserver -w 2>/dev/null || true; rm -rf "$p"; done
}
trap cleanup EXIT

new_prefix() {  # variable name -> a fresh prefix in it
  local fresh
  fresh=$(mktemp -d /tmp/zeph-measure.XXXXXX)
  cp -a "$zeph_template/." "$fresh/"
  prefixes+=("$fresh")
  printf -v "$1" %s "$fresh"
}
pid_of() {  # exe name, prefix -> the Windows process of that prefix
  local pid
  for pid in $(pgrep -f "$1" || true); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$2" && { echo "$pid"; return; }
  done
  return 0  # none yet
}
server_of() {  # prefix -> its wineserver
  local pid
  for pid in $(pgrep wineserver || true); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$1" && { echo "$pid"; return; }
  done
  return 0
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
# The same, by mapping: "KiB name" lines, a file by its base name.
private_by_mapping() {
  awk '/^[0-9a-f]+-[0-9a-f]+ / {file = ($6 != "" && $6 !~ /^\[/); n = $6 == "" ? "[anon]" : $6; sub(/.*\//, "", n)}
       /^Private_Clean/ {if (!file) s[n] += $2}
       /^Private_Dirty/ {s[n] += $2}
       END {for (n in s) if (s[n] > 0) print s[n], n}' "/proc/$1/smaps"
}
start() {  # exe prefix [WINEDEBUG [argument]] -> pid (waits for it)
  # exec, so that nothing is left holding the caller's output open.
  (cd "$(dirname "$1")" && WINEPREFIX=$2 WINEDEBUG=${3:--all} exec "$WINELOADER" "$(basename "$1")" ${4:-} >/dev/null 2>"$2/trace.log") &
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
  new_prefix pp; new_prefix fp; new_prefix tp; new_prefix dp
  ppid=$(start "$program" "$pp") fpid=$(start "$floor" "$fp") tpid=$(start "$floor" "$tp" -all shown)
  dpid=$(start "$floor" "$dp" -all dialog)
  sleep "$warmup"
  ps=$(server_of "$pp") fs=$(server_of "$fp") ds=$(server_of "$dp")
  read -r p0 f0 ps0 fs0 d0 ds0 < <(echo "$(cpu_ns "$ppid") $(cpu_ns "$fpid") $(cpu_ns "$ps") $(cpu_ns "$fs")" \
                                        "$(cpu_ns "$dpid") $(cpu_ns "$ds")")
  sleep "$seconds"
  read -r p1 f1 ps1 fs1 d1 ds1 < <(echo "$(cpu_ns "$ppid") $(cpu_ns "$fpid") $(cpu_ns "$ps") $(cpu_ns "$fs")" \
                                        "$(cpu_ns "$dpid") $(cpu_ns "$ds")")
  line=$(awk -v s="$seconds" -v p=$((p1 - p0)) -v f=$((f1 - f0)) -v ps=$((ps1 - ps0)) -v fs=$((fs1 - fs0)) \
             -v d=$((d1 - d0)) -v ds=$((ds1 - ds0)) \
             -v pr="$(rss_kib "$ppid")" -v fr="$(rss_kib "$fpid")" \
             -v pv="$(private_kib "$ppid")" -v fv="$(private_kib "$fpid")" -v tv="$(private_kib "$tpid")" \
             -v dv="$(private_kib "$dpid")" 'BEGIN {
    h = 3600 / s / 1e9
    printf "%.3f %.3f %.2f %.3f %.3f %.2f %.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f %.3f %.2f %.3f %.2f",
      p * h, f * h, p / f, (p + ps) * h, (f + fs) * h, (p + ps) / (f + fs),
      pr / 1024, fr / 1024, pv / 1024, fv / 1024, (pv - fv) / 1024, tv / 1024, (pv - tv) / 1024,
      dv / 1024, (pv - dv) / 1024, d * h, p / d, (d + ds) * h, (p + ps) / (d + ds) }')
  results+=("$line")
  set -- $line
  printf 'round %d: CPU s/idle hour: program %s, floor %s (%sx); with wineserver %s vs %s (%sx)\n' \
    "$round" "$1" "$2" "$3" "$4" "$5" "$6"
  printf '         dialog floor %s (%sx); with wineserver %s (%sx)\n' "${16}" "${17}" "${18}" "${19}"
  printf '         memory MiB: resident %s vs %s; private %s vs %s (%+.1f); shown floor %s (%+.1f); dialog floor %s (%+.1f)\n' \
    "$7" "$8" "$9" "${10}" "${11}" "${12}" "${13}" "${14}" "${15}"
  if [ "$round" = "$rounds" ]; then
    # Where the difference lies: the mappings that differ most from each floor's.
    for vs in "floor $fpid" "shown floor $tpid" "dialog floor $dpid"; do
    echo "         private KiB by mapping, program vs ${vs% *} (largest differences):"
    join -j 2 -a 1 -a 2 -e 0 -o 0,1.1,2.1 <(private_by_mapping "$ppid" | sort -k2) \
        <(private_by_mapping "${vs##* }" | sort -k2) |
      awk '{d = $2 - $3; print (d < 0 ? -d : d), $1, $2, $3}' | sort -nr | head -8 |
      awk '{printf "           %-28s %6d vs %6d\n", $2, $3, $4}'
    done
  fi
  cleanup
  prefixes=()
done

if [ "$rounds" -gt 0 ]; then
  # Of an even count, the mean of the middle two.
  median() { sort -g | awk '{a[NR] = $1} END {m = int((NR + 1) / 2); print (NR % 2 ? a[m] : (a[m] + a[m + 1]) / 2)}'; }
  col() { printf '%s\n' "${results[@]}" | awk -v c="$1" '{print $c}' | median; }
  echo "median of $rounds rounds of ${seconds}s (after ${warmup}s warm-up):"
  echo "  process CPU       $(col 1) vs floor $(col 2) s/idle hour: $(col 3)x (target at most 1.2x)"
  echo "  with wineserver   $(col 4) vs floor $(col 5) s/idle hour: $(col 6)x (target at most 1.05x)"
  echo "                    process $(col 16), $(col 17)x, with wineserver $(col 18), $(col 19)x: the dialog floor"
  echo "  private memory    $(col 9) vs floor $(col 10) MiB: $(col 11) MiB more (target within 1 MiB)"
  echo "                    vs the shown floor $(col 12) MiB: $(col 13) MiB more"
  echo "                    vs the dialog floor $(col 14) MiB: $(col 15) MiB more"
  echo "  resident memory   $(col 7) vs floor $(col 8) MiB"
fi

# Wineserver requests per idle minute: where CPU figures are noisy (and in an
# emulator meaningless) these are not. Children inherit the trace, so the
# prefix's explorer is counted too: hence the split by thread. Each request
# shows as two lines, its call and its reply; both are counted.
minute=60
requests() {  # trace first-line last-line -> "total: by request" and "by thread" lines
  local body
  body=$(awk -v a="$2" -v b="$3" 'NR > a && NR <= b && match($0, /^[0-9a-f]+: [a-z_]+\(/) {
           n = substr($0, RSTART, RLENGTH - 1); sub(/^[0-9a-f]+: /, "", n); c[n]++ }
         END { for (n in c) print c[n], n }' "$1" | sort -nr)
  echo "$(echo "$body" | awk '{s += $1} END {print s + 0}'):" \
    "$(echo "$body" | awk '{printf "%s%s %s", (NR > 1 ? ", " : ""), $2, $1}')"
  # A thread's first request names its Unix process; its name is the exe's.
  awk -v a="$2" -v b="$3" '/^[0-9a-f]+: init_(first_)?thread\( unix_pid=/ {
         match($0, /unix_pid=[0-9]+/); up[substr($1, 1, length($1) - 1)] = substr($0, RSTART + 9, RLENGTH - 9) }
       NR > a && NR <= b && /^[0-9a-f]+: [a-z_]+\(/ { c[substr($1, 1, length($1) - 1)]++ }
       END { for (t in c) print t, (t in up ? up[t] : "?"), c[t] }' "$1" |
    while read -r tid upid n; do
      printf '%s %s %s\n' "$n" "$tid" "$(cat "/proc/$upid/comm" 2>/dev/null || echo gone)"
    done | sort -nr | awk '{printf "%s%s %s %s", (NR > 1 ? "; " : ""), $2, $3, $1} END {print ""}'
}
echo "wineserver request lines per idle minute (${minute} s after ${warmup} s; call and reply lines):"
declare -A rp
for which in program floor shown dialog; do
  exe=$program arg=""
  [ "$which" != program ] && exe=$floor
  [ "$which" = shown ] && arg=shown
  [ "$which" = dialog ] && arg=dialog
  new_prefix p
  rp[$which]=$p
  start "$exe" "${rp[$which]}" +server "$arg" >/dev/null
done
sleep "$warmup"
declare -A from
for which in program floor shown dialog; do from[$which]=$(wc -l <"${rp[$which]}/trace.log"); done
sleep "$minute"
for which in program floor shown dialog; do
  to=$(wc -l <"${rp[$which]}/trace.log")
  { read -r total; read -r threads; } < <(requests "${rp[$which]}/trace.log" "${from[$which]}" "$to")
  printf '  %-8s %s\n           by thread: %s\n' "$which" "$total" "$threads"
done
cleanup
prefixes=()

# Registry traffic per idle tick, from Wine's registry trace.
ticks=20
for which in program floor; do
  exe=$program
  [ "$which" = floor ] && exe=$floor
  new_prefix p
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
