#!/usr/bin/env bash
# Start-up benchmark (not run by ctest): time from process start to the shown
# main window of Quarvelin beside the same for a minimal Win32 program that
# only shows an empty window, both under the same headless Wine, plus
# Quarvelin's working set after start-up. Five runs each, every run in a fresh
# folder (so Quarvelin creates its tables, as on a first start).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD:-$root/build/shell-win64}
runs=${RUNS:-5}
. "$root/scripts/lib/wine.sh"
# The headless prefix the build's tests use.
qv_wine_env "$build/wineprefix"
qv_wine_prefix headless
work=$build/shell-bench
for prog in minimal_window Quarvelin; do
  for i in $(seq "$runs"); do
    rm -rf "$work" && mkdir -p "$work"
    if [ "$prog" = Quarvelin ]; then cp "$build/app/Quarvelin.exe" "$work/"; else cp "$build/tests/app/minimal_window.exe" "$work/"; fi
    winexe='Z:'"$(echo "$work/$prog.exe" | tr / '\\')"
    printf '%-15s run %d: ' "$prog" "$i"
    wine "$build/tests/app/shot_driver.exe" bench "$winexe" | tr -d '\r'
  done
done
rm -rf "$work"
