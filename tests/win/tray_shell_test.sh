#!/usr/bin/env bash
# The tray icon against a real notification area: the TrayIconWithShell tests
# of WIDGETS_EXE (or those FILTER names) under Xvfb with Wine's virtual
# desktop, in a prefix of their own (PREFIX). Skipped tests count as failed:
# here the area must be there.
#   tray_shell_test.sh WIDGETS_EXE PREFIX [FILTER]
set -uo pipefail
exe=$1 prefix=$2 filter=${3:-TrayIconWithShell*}
. "$(dirname "$0")/../../scripts/lib/wine.sh"
qv_wine_env "$prefix"
qv_xvfb_start || exit 1
trap 'wineserver -k 2>/dev/null || true; qv_xvfb_stop' EXIT
qv_wine_prefix desktop || exit 1
out=$(wine "$exe" --gtest_filter="$filter" 2>&1 | tr -d '\r')
echo "$out" | grep -E '^\[ +(RUN|OK|SKIPPED|FAILED|PASSED) |Failure|Expected|Which is'
if echo "$out" | grep -qE '^\[  SKIPPED \]|^\[  FAILED  \]' || ! echo "$out" | grep -qE '^\[  PASSED  \] [1-9]'; then
  echo "FAILED: the tray icon tests did not all pass against the notification area"
  exit 1
fi
echo "ok: the tray icon tests passed against a real notification area"
