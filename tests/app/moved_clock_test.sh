#!/usr/bin/env bash
# The MovedClock tests of HOSTILE_EXE under a clock moved by libfaketime, in a
# prefix of its own (PREFIX): every Wine process of the run (the wineserver
# too) starts at 02:59:20 summer time on the night the clocks go back in
# Europe/Berlin, and the tests move all their clocks at once through a file.
# Wine follows the Linux zone; TZ is kept from the Windows side, whose C
# runtime would misread it. The monotonic clock (GetTickCount) stays real.
#   moved_clock_test.sh HOSTILE_EXE PREFIX
set -uo pipefail
exe=$1 prefix=$2
. "$(dirname "$0")/../../scripts/lib/wine.sh"
lib=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1
if [ ! -f "$lib" ] || [ ! -f /usr/share/zoneinfo/Europe/Berlin ]; then
  echo "FAILED: libfaketime or the zone Europe/Berlin missing (scripts/setup.sh installs faketime and tzdata)"
  exit 1
fi
export WINEDLLOVERRIDES="mapi32=n;mscoree,mshtml="
qv_wine_env "$prefix"
qv_wine_prefix headless || exit 1
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
stamp=$(mktemp)
trap 'wineserver -k 2>/dev/null || true; rm -f "$stamp"' EXIT
printf '%+d\n' $(( $(date -d '2026-10-25 00:59:20 UTC' +%s) - $(date +%s) )) >"$stamp"
export LD_PRELOAD=$lib FAKETIME_TIMESTAMP_FILE=$stamp FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1
export TZ=Europe/Berlin QV_FAKETIME_FILE=$stamp
wineserver -p5
out=$(wine cmd /c "set TZ=&& $(winepath -w "$exe") --gtest_filter=HostileWorld.MovedClock*" 2>&1 | tr -d '\r')
echo "$out" | grep -aE '^\[ +(RUN|OK|SKIPPED|FAILED|PASSED) |Failure|Expected|Which is|Value of|runs'
if ! echo "$out" | grep -qE '^\[  PASSED  \] 2 tests' || echo "$out" | grep -qE '^\[  (SKIPPED|FAILED)  \]'; then
  echo "FAILED: the moved clock"
  exit 1
fi
echo "ok: summer time's end, a clock set back and a catch-up flood under a moved clock"
