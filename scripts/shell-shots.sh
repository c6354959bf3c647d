#!/usr/bin/env bash
# Screenshots of the main window, the tray menu and the log viewer under Xvfb
# with Wine's virtual desktop (so the notification area exists), saved to
# docs/main-window.png, docs/tray-menu.png and docs/log-viewer.png.
# Needs the x86_64 build in build/shell-win64 (targets Quarvelin, shot_driver).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD:-$root/build/shell-win64}
out=$root/build/shell-shots
. "$root/scripts/lib/wine.sh"
qv_wine_env "$out/prefix"
mkdir -p "$out" "$root/docs"
qv_xvfb_start
trap 'wineserver -k 2>/dev/null || true; qv_xvfb_stop' EXIT
qv_wine_prefix desktop

run=$out/run
rm -rf "$run" && mkdir -p "$run"
cp "$build/app/Quarvelin.exe" "$build/tests/app/shot_driver.exe" "$run/"
wine "$run/shot_driver.exe" seed 'Z:'"$(echo "$run" | tr / '\\')"'\' 
( cd "$run" && wine Quarvelin.exe ) &
sleep 6

# The virtual desktop is one X window; crop by the rectangle Windows reports.
shot() {  # name class [pad]
  local r; r=$(wine "$run/shot_driver.exe" rect "$2" | tr -d '\r')
  read -r x y w h <<<"$r"
  local desk; desk=$(xdotool search --name 'Wine desktop' | head -1)
  import -window "$desk" "$out/desk.png"
  convert "$out/desk.png" -crop "${w}x${h}+${x}+${y}" +repage "$root/docs/$1"
  echo "docs/$1: ${w}x${h} at $x,$y"
}
shot main-window.png TfrmVistorel

desk=$(xdotool search --name 'Wine desktop' | head -1)
# The menu opens at the mouse: put it on the tray icon first.
xdotool mousemove --window "$desk" 1000 755
sleep 1
wine "$run/shot_driver.exe" traymenu
sleep 2
import -window "$desk" "$out/desk.png"
# The menu opens at the mouse beside the tray; show the lower right corner.
convert "$out/desk.png" -gravity SouthEast -crop 300x160+0+0 +repage "$root/docs/tray-menu.png"
echo "docs/tray-menu.png"
xdotool key --window "$desk" Escape || true
sleep 1

# The tray icon control against a real notification area.
cp "$build/tests/win/win_widgets_tests.exe" "$run/"
wine "$run/win_widgets_tests.exe" --gtest_filter='TrayIcon*' 2>&1 | tr -d '\r' | grep -E '^\[ +(OK|SKIPPED|FAILED|PASSED) ' || true

wine "$run/shot_driver.exe" click 203
sleep 3
shot log-viewer.png TfrmLog
