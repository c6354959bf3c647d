#!/usr/bin/env bash
# Screenshots of the job grid and its editors under Xvfb (a real display, not
# the null driver), into docs/grid*.png. Needs a built build/grid-win64.
#   scripts/grid-shots.sh [build dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/wine.sh"
build=${1:-$root/build/grid-win64}
exe=$build/tests/ui/grid/grid_shot.exe
shots=$root/build/grid-shots
mkdir -p "$shots" "$root/docs"
qv_wine_env "$shots/prefix"
qv_xvfb_start
trap 'wineserver -k 2>/dev/null || true; qv_xvfb_stop' EXIT
qv_wine_prefix plain
for mode in ${QV_SHOT_MODES:-rows edit day start list}; do
  wine "$exe" "$mode" 7 >/dev/null 2>&1 &
  app=$!
  sleep 5
  name=grid-$mode
  [ "$mode" = rows ] && name=grid
  import -window root -crop 800x520+0+0 "$root/docs/$name.png"
  wait $app || true
done
echo "written: $(ls "$root"/docs/grid*.png | tr '\n' ' ')"
