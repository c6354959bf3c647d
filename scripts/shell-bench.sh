#!/usr/bin/env bash
# The real program under Wine 64-bit, beside a yardstick, in one run (not run
# by ctest). Figures are min / median / max and the ratio of the medians.
#
#   scripts/shell-bench.sh [start] [rest] [catchup]     (all three by default)
#
# start    time from process creation to the shown and painted window, the
#          processor time until then and the working set after it, interleaved
#          run by run: the minimal window (tests/app/minimal_window.cpp),
#          Quarvelin's first start (it creates its tables), a later start
#          (tables there) and a later start with 10,000 jobs. Measured twice:
#          with the processes where the system puts them, and with the whole
#          Wine session (X server, wineserver, explorer, driver, program) on
#          one CPU. Every call into the wineserver is a wake-up of another
#          process; on a virtual machine a wake-up across CPUs can cost more
#          than the call itself and varies widely, so the free wall times
#          scatter by a factor of two and more, the pinned ones far less.
# rest     CPU over REST_SECONDS (60) with the scheduler on, an empty table
#          beside 10,000 jobs none of which is due; the program alone and
#          the whole prefix (program, wineserver, explorer with the tray);
#          pointer parked off the window.
# catchup  100 and then 1,000 due jobs whose programs are missing, all failing
#          in the first tick: the time from the first to the last run log
#          entry. Headless prefix.
# start and rest run under Xvfb with Wine's virtual desktop, whose explorer
# gives the tray icon its notification area as on Windows.
#
# QV_BUILD: a Windows x86_64 build with Quarvelin, shot_driver and
# minimal_window (default build/shell-win64, configure it like the release:
# -DCMAKE_BUILD_TYPE=MinSizeRel). The program is measured stripped, as it
# ships; QV_STRIP=0 keeps its debug information. RUNS (11) start-ups per case:
# a virtual machine's wall times scatter by a third from run to run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD:-$root/build/shell-win64}
runs=${RUNS:-11}
rest_seconds=${REST_SECONDS:-60}
modes=${*:-start rest catchup}
. "$root/scripts/lib/wine.sh"
work=$build/shell-bench
rm -rf "$work" && mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

exe=$work/Quarvelin.exe
cp "$build/app/Quarvelin.exe" "$exe"
[ "${QV_STRIP:-1}" = 0 ] || x86_64-w64-mingw32-strip "$exe"
echo "Quarvelin.exe: $(stat -c %s "$exe") bytes$([ "${QV_STRIP:-1}" = 0 ] && echo ', with debug information' || echo ', stripped')"

winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
driver() { wine "$build/tests/app/shot_driver.exe" "$@" | tr -d '\r'; }

# stats FILE [DECIMALS]: "min median max" of the numbers in FILE, one a line.
stats() {
  sort -g "$1" | awk -v d="${2:-1}" '{ v[NR] = $1 } END { f = "%." d "f"; printf f " " f " " f, v[1], v[int((NR + 1) / 2)], v[NR] }'
}
median() { stats "$1" | cut -d' ' -f2; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# A folder with its own copy of the program: DIR NAME.
folder() {
  rm -rf "$work/$1" && mkdir -p "$work/$1"
  cp "$exe" "$work/$1/Quarvelin.exe"
}

# desktop_prefix: Xvfb and the prefix with Wine's virtual desktop (an explorer
# with a notification area, as on Windows), its wineserver kept running.
desktop_prefix() {
  qv_wine_env "$build/wineprefix-desktop"
  qv_xvfb_start
  trap 'wineserver -k 2>/dev/null || true; qv_xvfb_stop; rm -rf "$work"' EXIT
  qv_wine_prefix desktop
  wineserver -p
}

end_prefix() {
  wineserver -k 2>/dev/null || true
  qv_xvfb_stop
  trap 'rm -rf "$work"' EXIT
}

# start_runs TAG: the interleaved start-ups, results in $work/TAG-CASE.{ms,cpu,kb}.
start_runs() {
  local tag=$1 minimal=$work/minimal
  desktop_prefix
  mkdir -p "$minimal"
  folder later
  folder later10k
  driver fill "$(winpath "$work/later10k")\\" 10000
  # Tables of the later starts exist before the first timed run.
  driver bench "$(winpath "$work/later/Quarvelin.exe")" TfrmVistorel >/dev/null
  driver bench "$(winpath "$work/later10k/Quarvelin.exe")" TfrmVistorel >/dev/null
  local c i line out
  for c in $start_cases; do : >"$work/$tag-$c.ms"; : >"$work/$tag-$c.cpu"; : >"$work/$tag-$c.kb"; done
  for i in $(seq "$runs"); do
    for c in $start_cases; do
      case $c in
        minimal) rm -rf "$minimal" && mkdir -p "$minimal"
                 cp "$build/tests/app/minimal_window.exe" "$minimal/"
                 line=$(driver bench "$(winpath "$minimal/minimal_window.exe")" QvMinimal) ;;
        first) folder first
               line=$(driver bench "$(winpath "$work/first/Quarvelin.exe")" TfrmVistorel) ;;
        *) line=$(driver bench "$(winpath "$work/$c/Quarvelin.exe")" TfrmVistorel) ;;
      esac
      echo "$tag run $i $c: $line"
      out=$work/$tag-$c
      echo "$line" | sed -n 's/.*start_to_window_ms=\([0-9.]*\).*/\1/p' >>"$out.ms"
      echo "$line" | sed -n 's/.*cpu_ms=\([0-9.]*\).*/\1/p' >>"$out.cpu"
      echo "$line" | sed -n 's/.*working_set_kb=\([0-9]*\).*/\1/p' | awk '{ printf "%.1f\n", $1 / 1024 }' >>"$out.kb"
    done
  done
  end_prefix
}

# start_table TAG TITLE
start_table() {
  local tag=$1 base_ms base_cpu base_mb c
  base_ms=$(median "$work/$tag-minimal.ms")
  base_cpu=$(median "$work/$tag-minimal.cpu")
  base_mb=$(median "$work/$tag-minimal.kb")
  echo "  $2"
  printf '  %-9s %-22s %7s %8s   %-20s %7s   %-18s %7s\n' "" "wall" "" "per run" "processor" "" "working set" ""
  for c in $start_cases; do
    paste "$work/$tag-$c.ms" "$work/$tag-minimal.ms" | awk '{ printf "%.4f\n", $1 / $2 }' >"$work/$tag-$c.pair"
    printf '  %-9s %-22s %6sx %7sx   %-20s %6sx   %-18s %6sx\n' "$c" \
      "$(stats "$work/$tag-$c.ms")" "$(ratio "$(median "$work/$tag-$c.ms")" "$base_ms")" "$(stats "$work/$tag-$c.pair" 2 | cut -d' ' -f2)" \
      "$(stats "$work/$tag-$c.cpu")" "$(ratio "$(median "$work/$tag-$c.cpu")" "$base_cpu")" \
      "$(stats "$work/$tag-$c.kb")" "$(ratio "$(median "$work/$tag-$c.kb")" "$base_mb")"
  done
}

start_cases="minimal first later later10k"

bench_start() {
  local all one
  all=$(taskset -p $$ | sed 's/.*: //')
  one=$(( $(nproc) - 1 ))
  start_runs free
  # Children inherit the shell's CPU: the pinned session starts from here.
  taskset -p -c "$one" $$ >/dev/null
  start_runs pinned
  taskset -p "$all" $$ >/dev/null
  echo
  echo "start-up: process creation to shown and painted window, ms; the program's processor time until then, ms;"
  echo "working set half a second later, MB. Each min median max, then the median over the minimal window's;"
  echo "for the wall time also the median of each run's ratio to the minimal window started just before it,"
  echo "which a machine that speeds up or slows down during the runs moves less."
  start_table free "processes placed by the system:"
  start_table pinned "the whole Wine session on CPU $one:"
}

# The wine process that runs the program of folder DIR in our prefix.
program_pid() {
  local pid
  for pid in $(pgrep -f 'Quarvelin.exe' || true); do
    [ -r "/proc/$pid/environ" ] || continue
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" &&
       [ "$(readlink "/proc/$pid/cwd")" = "$1" ]; then
      echo "$pid"
      return
    fi
  done
}

cpu_ticks() {  # PIDs...: utime + stime of all, in clock ticks
  local t=0 p
  for p in "$@"; do
    [ -r "/proc/$p/stat" ] || continue
    t=$((t + $(awk '{ print $14 + $15 }' "/proc/$p/stat")))
  done
  echo "$t"
}

# start_program DIR: the program in DIR with the scheduler on; echoes its pid.
start_program() {
  printf '[App]\r\naktiviert=1\r\nmail=0\r\n' >"$1/Quarvelin.ini"
  (cd "$1" && exec wine ./Quarvelin.exe) </dev/null >/dev/null 2>&1 &
  local pid=
  for _ in $(seq 200); do
    pid=$(program_pid "$1")
    [ -n "$pid" ] && break
    sleep 0.1
  done
  [ -n "$pid" ] || { echo "the program in $1 did not start" >&2; return 1; }
  echo "$pid"
}

stop_program() { kill "$1" 2>/dev/null || true; sleep 1; kill -9 "$1" 2>/dev/null || true; }

bench_rest() {
  desktop_prefix
  folder empty
  folder jobs10k
  driver fill "$(winpath "$work/jobs10k")\\" 10000
  local c i pid others before after
  for c in empty jobs10k; do : >"$work/rest-$c.prog"; : >"$work/rest-$c.all"; done
  for i in $(seq "${REST_RUNS:-3}"); do
    for c in empty jobs10k; do
      pid=$(start_program "$work/$c")
      sleep 10
      xdotool mousemove 1020 760 || true
      others=$(pgrep -x wineserver || true; pgrep -f 'explorer.exe' || true)
      # Only this prefix's: other Wine prefixes may run beside the bench.
      others=$(for p in $others; do
                 if tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qx "WINEPREFIX=$WINEPREFIX"; then echo "$p"; fi
               done)
      before="$(cpu_ticks "$pid") $(cpu_ticks $others)"
      sleep "$rest_seconds"
      after="$(cpu_ticks "$pid") $(cpu_ticks $others)"
      set -- $before $after
      awk -v a="$1" -v b="$3" -v s="$rest_seconds" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f\n", (b - a) * 100 / hz / s }' >>"$work/rest-$c.prog"
      awk -v a="$(( $1 + $2 ))" -v b="$(( $3 + $4 ))" -v s="$rest_seconds" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.2f\n", (b - a) * 100 / hz / s }' >>"$work/rest-$c.all"
      echo "run $i $c: program $(tail -1 "$work/rest-$c.prog") % CPU, prefix $(tail -1 "$work/rest-$c.all") %"
      stop_program "$pid"
    done
  done
  end_prefix
  echo
  echo "at rest, scheduler on, % of one CPU over ${rest_seconds} s (min median max): program / whole prefix"
  for c in empty jobs10k; do
    printf '  %-8s %-18s   %-18s\n' "$c" "$(stats "$work/rest-$c.prog" 2)" "$(stats "$work/rest-$c.all" 2)"
  done
}

bench_catchup() {
  qv_wine_env "$build/wineprefix"
  qv_wine_prefix headless
  wineserver -p
  local n i pid count span now last still
  for n in 100 1000; do
    : >"$work/catchup-$n.ms"
    for i in $(seq "${CATCHUP_RUNS:-3}"); do
      folder "due$n"
      driver fill "$(winpath "$work/due$n")\\" "$n" due
      pid=$(start_program "$work/due$n")
      # The log is read only once it has stopped growing: a reader beside the
      # tick would hold locks its commits wait for, the longer the bigger the log.
      count=0 last="" still=0
      for _ in $(seq 1200); do
        sleep 0.5
        now=$(stat -c '%s %Y' "$work/due$n/log.dat" 2>/dev/null || true)
        if [ "$now" = "$last" ] && [ ! -e "$work/due$n/log.dat-journal" ]; then still=$((still + 1)); else still=0; fi
        last=$now
        [ "$still" -ge 3 ] || continue
        count=$(sqlite3 "file:$work/due$n/log.dat?mode=ro" '.timeout 2000' 'SELECT count(*) FROM log' 2>/dev/null || echo 0)
        [ "$count" -ge "$n" ] && break
      done
      stop_program "$pid"
      span=$(sqlite3 "$work/due$n/log.dat" "SELECT (julianday(max(Zeit)) - julianday(min(Zeit))) * 86400000 FROM log")
      echo "run $i, $n due: $count failures logged, first to last $span ms"
      printf '%.1f\n' "$span" >>"$work/catchup-$n.ms"
    done
  done
  wineserver -k 2>/dev/null || true
  echo
  echo "catch-up of failing jobs in one tick, first to last run log entry, ms (min median max)"
  printf '  %5d due  %s\n' 100 "$(stats "$work/catchup-100.ms")"
  printf '  %5d due  %s   %sx the time of 100\n' 1000 "$(stats "$work/catchup-1000.ms")" \
    "$(ratio "$(median "$work/catchup-1000.ms")" "$(median "$work/catchup-100.ms")")"
}

for m in $modes; do
  case $m in
    start) bench_start ;;
    rest) bench_rest ;;
    catchup) bench_catchup ;;
    *) echo "unknown part $m (start, rest, catchup)" >&2; exit 2 ;;
  esac
done
