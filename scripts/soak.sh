#!/usr/bin/env bash
# Kill soak of the real program: runs the x86_64 Quarvelin.exe under Wine
# (headless) over a job table whose jobs fail at every tick (catch-up jobs
# long overdue, every minute) or every minute, so that every tick writes both
# tables, and kills it with SIGKILL at random moments, some at the instant a
# rollback journal appears. After every kill both tables must pass
# PRAGMA integrity_check, every row read from them before the kill must still
# be there (a job's start no earlier than it was), and the program must start
# again without a repair, a backup or a box, and go on ticking.
#   bash scripts/soak.sh [TRIALS]     (default 20; not part of the tests)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
trials=${1:-20}
jobs_failing_each_tick=6 jobs_failing_each_minute=4

bash scripts/setup.sh || exit 1
build=build/win64
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run" >/dev/null || exit 1
fi
cmake --build "$build" --target Quarvelin | tail -n 3
[ "${PIPESTATUS[0]}" -eq 0 ] || exit 1

soak=$root/build/soak run=$root/build/soak/run work=$root/build/soak/work
mkdir -p "$soak"
x86_64-w64-mingw32-g++-posix -O2 -Wall -Wextra -Werror -static -o "$soak/find-box.exe" \
  scripts/soak/find-box.cpp || exit 1

. scripts/lib/wine.sh
qv_wine_env "$soak/prefix"
qv_wine_german
qv_wine_prefix headless || exit 1
wineserver -p  # one server for every start, so a start costs no server start-up
trap 'wineserver -k 2>/dev/null' EXIT

rm -rf "$run" "$work" "$soak"/failed-*
mkdir -p "$run" "$work"
cp "$build/app/Quarvelin.exe" "$run/"
# Scheduler on at start, no failure mail.
printf '[App]\r\naktiviert=1\r\nmail=0\r\nminimized=1\r\n' >"$run/Quarvelin.ini"

pid=
ms() { date +%s%3N; }

# The Wine process of Quarvelin.exe in this prefix (others may run their own).
find_pid() {
  local p
  for p in $(pgrep -f 'Quarvelin\.exe'); do
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && { echo "$p"; return 0; }
  done
  return 1
}

# Wine's own output of the latest start (a crash report among it) is kept.
start_program() {
  (cd "$run" && exec wine Quarvelin.exe >"$work/wine.log" 2>&1 &)
  local i
  for i in $(seq 100); do
    pid=$(find_pid) && return 0
    sleep 0.1
  done
  return 1
}

kill_program() {
  kill -9 "$pid" 2>/dev/null
  while kill -0 "$pid" 2>/dev/null; do sleep 0.01; done
}

# A copy of a table as last committed, read while nobody writes it: no journal
# before, between and after two copies that are alike (a commit deletes the
# journal; pages change only while one exists).
committed_copy() {  # table file, copy
  local f=$1 to=$2 i
  for i in $(seq 400); do
    if [ ! -e "$f-journal" ] && cp "$f" "$to" 2>/dev/null && [ ! -e "$f-journal" ] &&
       cp "$f" "$to.2" 2>/dev/null && [ ! -e "$f-journal" ] && cmp -s "$to" "$to.2"; then
      rm -f "$to.2"
      return 0
    fi
    sleep 0.005
  done
  rm -f "$to.2"
  return 1
}

rows() {  # table copy, table name: one line per row, keyed by ID
  if [ "$2" = timer ]; then
    sqlite3 -separator '|' "$1" 'SELECT ID, Pfad, Startzeit FROM timer ORDER BY ID'
  else
    sqlite3 -separator '|' "$1" 'SELECT ID, Pfad, Fehler, Zeit FROM log ORDER BY ID'
  fi
}

last_log_id() {
  committed_copy "$run/log.dat" "$work/peek.dat" || { echo -1; return; }
  sqlite3 "$work/peek.dat" 'SELECT coalesce(max(ID), 0) FROM log'
}

# What a start that failed found and did: the tables before it started (hot
# journals included), whether it still ran, where its threads waited, and
# Wine's output; kept in build/soak/failed-N/ to start it again by hand.
failed=0
keep_failed_start() {
  local to=$soak/failed-$((++failed)) t
  mkdir -p "$to"
  cp "$work"/after-* "$to/" 2>/dev/null
  cp "$work/wine.log" "$run/Quarvelin.ini" "$to/" 2>/dev/null
  if kill -0 "$pid" 2>/dev/null; then
    echo "running" >"$to/state"
    for t in /proc/"$pid"/task/*; do
      echo "$(cat "$t/comm" 2>/dev/null) $(cat "$t/wchan" 2>/dev/null) $(awk '{print $3}' "$t/stat" 2>/dev/null)"
    done >>"$to/state"
  else
    echo "ended" >"$to/state"
  fi
  echo "soak:   $(head -1 "$to/state"); kept in $to"
  tail -n 5 "$to/wine.log" 2>/dev/null | sed 's/^/soak:   wine: /'
}

leftovers() { ls "$run" | grep -E '\.(bak|repair|salvage|new)$'; }

# Started again after a kill: no repair, no backup, no box, and the ticks go
# on (the run log grows).
started_cleanly() {
  local before=$1 i id
  for i in $(seq 60); do
    sleep 0.5
    if [ -n "$(leftovers)" ] || ! kill -0 "$pid" 2>/dev/null; then break; fi
    id=$(last_log_id)
    [ "$id" -gt "$before" ] && return 0
  done
  echo "soak: no clean start (log at $(last_log_id), was $before)"
  leftovers | sed 's/^/soak:   left over: /'
  wine "$soak/find-box.exe" | sed 's/^/soak:   box: /'
  keep_failed_start
  return 1
}

# First start: the program creates its tables; then the jobs go in, all
# pointing at a program that is not there.
start_program || { echo "soak: Quarvelin.exe did not start"; exit 1; }
for i in $(seq 100); do [ -f "$run/timer.dat" ] && [ -f "$run/log.dat" ] && break; sleep 0.1; done
sleep 2
kill_program
values=
n=$((jobs_failing_each_tick + jobs_failing_each_minute))
for id in $(seq "$n"); do
  catchup=N start="2026-01-01 00:00:00.000"
  [ "$id" -le "$jobs_failing_each_tick" ] && catchup=Y start="2020-01-01 00:00:00.000"
  values+="${values:+,}('Jeden Tag','00:01:00.000','C:\\fehlt\\job$id.exe','Y','$start','Y','Standard',NULL,NULL,$id,'$catchup')"
done
sqlite3 "$run/timer.dat" "INSERT INTO timer VALUES $values; UPDATE qv_meta SET value=$((n + 1)) WHERE key='next_autoinc';" ||
  exit 1

compared=0 lost=0 damaged=0 failed_starts=0 at_journal=0 hot=0
t0=$(ms)
start_program || { echo "soak: Quarvelin.exe did not start"; exit 1; }
started_cleanly 0 || failed_starts=$((failed_starts + 1))
for trial in $(seq "$trials"); do
  # Read what is committed, then kill: some at a random moment, every third
  # at the instant a journal appears.
  sleep "0.$(printf '%03d' $((RANDOM % 1000)))"
  committed_copy "$run/timer.dat" "$work/timer-before.dat" && committed_copy "$run/log.dat" "$work/log-before.dat" ||
    { echo "soak: trial $trial: no committed state to read"; failed_starts=$((failed_starts + 1)); }
  rows "$work/timer-before.dat" timer >"$work/timer-before.txt"
  rows "$work/log-before.dat" log >"$work/log-before.txt"
  if [ $((trial % 3)) -eq 0 ]; then
    deadline=$(( $(ms) + 5000 ))
    while [ ! -e "$run/timer.dat-journal" ] && [ ! -e "$run/log.dat-journal" ] && [ "$(ms)" -lt "$deadline" ]; do :; done
    kill -9 "$pid" 2>/dev/null
    at_journal=$((at_journal + 1))
  else
    sleep "0.$(printf '%03d' $((RANDOM % 1000)))"
  fi
  kill_program

  # The tables as the next start finds them, hot journals included, checked
  # on copies so that the program itself rolls its journals back.
  rm -f "$work"/after*
  [ -e "$run/timer.dat-journal" ] || [ -e "$run/log.dat-journal" ] && hot=$((hot + 1))
  for t in timer log; do
    cp "$run/$t.dat" "$work/after-$t.dat"
    [ -e "$run/$t.dat-journal" ] && cp "$run/$t.dat-journal" "$work/after-$t.dat-journal"
    check=$(sqlite3 "$work/after-$t.dat" 'PRAGMA integrity_check' 2>&1)
    if [ "$check" != ok ]; then
      damaged=$((damaged + 1))
      echo "soak: trial $trial: $t.dat fails its check: $check"
      cp "$run/$t.dat" "$work/damaged-$trial-$t.dat"
    fi
    rows "$work/after-$t.dat" "$t" >"$work/$t-after.txt"
  done
  # Every run log row as it was; every job there, its start not moved back.
  result=$(awk -F'|' '
    FNR == NR { after[$1] = $0; start[$1] = $3; next }
    { n++; if (!($1 in after) || start[$1] < $3) { lost++; print "lost: " $0 > "/dev/stderr" } }
    END { print n + 0, lost + 0 }' "$work/timer-after.txt" "$work/timer-before.txt")
  set -- $result; compared=$((compared + $1)); lost=$((lost + $2))
  result=$(awk -F'|' 'FNR == NR { after[$1] = $0; next }
    { n++; if (after[$1] != $0) { lost++; print "lost: " $0 > "/dev/stderr" } }
    END { print n + 0, lost + 0 }' "$work/log-after.txt" "$work/log-before.txt")
  set -- $result; compared=$((compared + $1)); lost=$((lost + $2))

  # Keeps the run log short between trials, so every trial costs the same.
  logrows=$(wc -l <"$work/log-after.txt")
  if [ "$logrows" -gt 1500 ] && [ ! -e "$run/log.dat-journal" ]; then
    sqlite3 "$run/log.dat" "DELETE FROM log WHERE ID <= (SELECT max(ID) - 500 FROM log)"
  fi

  before=$(sqlite3 "$work/after-log.dat" 'SELECT coalesce(max(ID), 0) FROM log')
  start_program || { echo "soak: trial $trial: Quarvelin.exe did not start"; failed_starts=$((failed_starts + 1)); continue; }
  started_cleanly "$before" || { failed_starts=$((failed_starts + 1)); kill_program; rm -f "$run"/*.bak; start_program; }
  [ $((trial % 25)) -eq 0 ] && echo "soak: $trial trials, $compared rows compared, $lost lost, $damaged damaged, $failed_starts failed starts"
done
kill_program
t1=$(ms)

echo
echo "trials:               $trials ($at_journal killed as a journal appeared, $hot left a hot journal)"
echo "rows compared:        $compared"
echo "rows lost:            $lost"
echo "integrity failures:   $damaged"
echo "start-up failures:    $failed_starts"
echo "time:                 $(( (t1 - t0) / 1000 )) s"
[ "$lost" -eq 0 ] && [ "$damaged" -eq 0 ] && [ "$failed_starts" -eq 0 ]
