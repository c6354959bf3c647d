#!/usr/bin/env bash
# The keyboard-only walk through the program (WALK_EXE) under Xvfb with
# Wine's virtual desktop, whose notification area takes the tray icon, in a
# German user locale, in a prefix of its own (PREFIX).
#   keyboard_walk_test.sh WALK_EXE PREFIX
set -uo pipefail
exe=$1 prefix=$2
. "$(dirname "$0")/../../scripts/lib/wine.sh"
qv_wine_env "$prefix"
qv_wine_german
qv_xvfb_start || exit 1
trap 'wineserver -k 2>/dev/null || true; qv_xvfb_stop' EXIT
qv_wine_prefix desktop || exit 1
# The desktop and its notification area come with the first program.
wine cmd /c exit >/dev/null 2>&1
out=$(wine "$exe" 2>&1 | tr -d '\r')
echo "$out" | grep -aE '^\[ +(RUN|OK|SKIPPED|FAILED|PASSED) |Failure|Expected|Which is|Value of|error'
if echo "$out" | grep -qE '^\[  (SKIPPED|FAILED)  \]' || ! echo "$out" | grep -qE '^\[  PASSED  \] 1 test'; then
  echo "FAILED: the keyboard walk"
  exit 1
fi
echo "ok: the whole program by the keyboard"
