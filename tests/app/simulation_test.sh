#!/usr/bin/env bash
# Days of a realistic job list in minutes: the real program under Wine with
# libfaketime's clock running SPEED times fast from START (Europe/Berlin),
# every run checked against simulation.py's reference from the day rules.
# All Wine processes of the run share one sped-up clock (the faketime tool's
# shared start), the monotonic count included, so a tick is 1.5 s of that clock.
#   simulation_test.sh QUARVELIN_EXE MARKER_JOB SHOT_DRIVER PREFIX START DAYS SPEED
set -uo pipefail
exe=$1 marker=$2 driver=$3 prefix=$4 start=$5 days=$6 speed=$7
here=$(dirname "$0")
. "$here/../../scripts/lib/wine.sh"
if ! command -v faketime >/dev/null || [ ! -f /usr/share/zoneinfo/Europe/Berlin ] ||
   ! python3 -c 'import zoneinfo, sqlite3' 2>/dev/null; then
  echo "FAILED: faketime, the zone Europe/Berlin or python3 missing (scripts/setup.sh installs them)"
  exit 1
fi
export WINEDLLOVERRIDES="mscoree,mshtml="
qv_wine_env "$prefix"
qv_wine_prefix headless || exit 1
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
dir=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; [ -n "${QV_SIM_KEEP:-}" ] || rm -rf "$dir"' EXIT
cp "$exe" "$dir/Quarvelin.exe" && cp "$marker" "$dir/marker_job.exe" || exit 1
printf '[App]\r\naktiviert=1\r\n' >"$dir/Quarvelin.ini"
# The program starts within a few real seconds: the first starts wait for it.
warmup=$(( speed * 10 > 60 ? speed * 10 : 60 ))
seconds=$(python3 -c "print(int($days * 86400))")

# Every Wine process runs under the fast clock, the wineserver first: it keeps
# the count GetTickCount gives, and a count at the real pace against a fast
# wall clock would be a clock being set all the time. An offset, not
# "@START": with "@" each process would start its clock anew. A shell's sleep
# is fast too, so it sleeps simulated seconds. stat() is not faked, or Wine
# would take its prefix for outdated and rebuild it.
offset=$(printf '%+d' $(( $(date -d "TZ=\"Europe/Berlin\" $start" +%s) - $(date +%s) )))
export TZ=Europe/Berlin NO_FAKE_STAT=1
timeout $(( seconds / speed + 180 )) faketime -f "$offset x$speed" bash -c '
  dir=$1 driver=$2 here=$3 start=$4 warmup=$5 seconds=$6
  wineserver -p5
  wine "$driver" fill "$(winepath -w "$dir")\\" 0 || { echo "FAILED: the tables could not be made"; exit 1; }
  python3 "$here/simulation.py" seed "$dir" "$start" "$warmup" "$(winepath -w "$dir")\\marker_job.exe" || exit 1
  cd "$dir" && wine cmd /c "set TZ=&& Quarvelin.exe" >"$dir/wine.log" 2>&1 &
  sleep "$seconds"
  date "+%Y-%m-%d %H:%M:%S" >"$dir/end"
  wineserver -k' _ "$dir" "$driver" "$here" "$start" "$warmup" "$seconds"
unset TZ
[ -s "$dir/end" ] || { echo "FAILED: the run did not end in time"; exit 1; }
if ! python3 "$here/simulation.py" check "$dir" "$start" "$(cat "$dir/end")" "$speed" "$warmup"; then
  echo "FAILED: the runs differ from the reference"
  exit 1
fi
echo "ok: $days days from $start at ${speed}x agree with the reference"
