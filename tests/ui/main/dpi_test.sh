#!/usr/bin/env bash
# The main window's tests that take the screen's resolution, once more in a
# prefix of its own whose screen has 120 dots per inch (Wine's LogPixels),
# headless like the other Windows tests.
#   dpi_test.sh MAIN_WINDOW_TESTS_EXE PREFIX DPI
set -uo pipefail
exe=$1 prefix=$2 dpi=$3
. "$(dirname "$0")/../../../scripts/lib/wine.sh"
qv_wine_env "$prefix"
qv_wine_prefix headless || exit 1
if [ "$(cat "$prefix/.qv-dpi" 2>/dev/null)" != "$dpi" ]; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w
  echo "$dpi" >"$prefix/.qv-dpi"
fi
out=$(QV_EXPECT_DPI=$dpi wine "$exe" --gtest_filter='*AtTheScreensResolution*' 2>&1 | tr -d '\r')
echo "$out" | grep -aE '^\[ +(RUN|OK|SKIPPED|FAILED|PASSED) |Failure|Expected|Which is|Value of'
if echo "$out" | grep -qE '^\[  FAILED  \]' || ! echo "$out" | grep -qE '^\[  PASSED  \] [1-9]'; then
  echo "FAILED: the main window at $dpi dpi"
  exit 1
fi
echo "ok: the main window at $dpi dpi"
