#!/usr/bin/env bash
# Pictures of the real program for docs/, taken under Xvfb with Wine's virtual
# desktop (so the tray icon has a notification area), the prefix's Windows
# fonts and a German user locale, from build/win64 (or $QV_BUILD):
#   main-window.png      ten jobs of every kind, one failed at the first tick
#   failure-balloon.png  the tray icon's balloon about that failure
#   day-rule-popup.png   the day-rule popup of the first job, with its next starts
#   start-time-popup.png the start-time popup (calendar, time, next starts)
#   startzeit-hint.png   the hint of a Startzeit cell: that job's next starts
#   log-viewer.png       the run log with that failure
#   tray-menu.png        the tray icon's menu
#   help-context-1.png, help-context-1001.png  the help viewer opened by
#                        "Hilfe" and by F1 on "Aktiviert starten"
#   countdown.png        the countdown of a shutdown job, then cancelled
#   main-window-120dpi.png, day-rule-popup-120dpi.png, start-time-popup-120dpi.png,
#   log-viewer-120dpi.png  the same at 120 dpi (a prefix of its own with Wine's
#                        LogPixels at 120), on the same 1024 x 768 screen
# The popups are opened by the keyboard (F4), as the grid's first row shows
# them. Every picture is cropped to what it shows. Look at each before committing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QV_BUILD:-$root/build/win64}
out=$root/build/screenshots
docs=$root/docs
. "$root/scripts/lib/wine.sh"
for f in app/Quarvelin.exe app/Quarvelin.chm tests/app/shot_driver.exe; do
  [ -f "$build/$f" ] || { echo "screenshots: $build/$f missing (build $build first)" >&2; exit 1; }
done

qv_wine_env "$out/prefix"
qv_wine_german
mkdir -p "$out" "$docs"
qv_xvfb_start
trap 'wineserver -k 2>/dev/null || true; qv_xvfb_stop' EXIT
qv_wine_prefix desktop

run=$out/run
rm -rf "$run" && mkdir -p "$run"
cp "$build/app/Quarvelin.exe" "$build/app/Quarvelin.chm" "$build/tests/app/shot_driver.exe" "$run/"
winrun='Z:'"$(echo "$run" | tr / '\\')"'\'
driver() { wine "$run/shot_driver.exe" "$@" | tr -d '\r'; }
driver seed "$winrun"
# The scheduler runs from the start, so the job whose program is gone fails;
# the user has widened the column "Nachholen" to read its header.
printf '[App]\r\naktiviert=1\r\nmail=1\r\n\r\n[\\Gitter\\Columns\\dxDBGrid1Nachholen]\r\nWidth=62\r\n' \
  >"$run/Quarvelin.ini"

# Waits until a window (class, title) exists and prints its rectangle.
wait_rect() {
  local r
  for _ in $(seq 60); do
    if r=$(driver rect "$@" 2>/dev/null) && [ -n "$r" ]; then echo "$r"; return 0; fi
    sleep 0.5
  done
  echo "screenshots: no window $*" >&2
  return 1
}
# shot NAME X Y W H: that part of the screen, into docs/NAME.
shot() {
  import -window root "$out/screen-$1"
  convert "$out/screen-$1" -crop "${4}x${5}+${2}+${3}" +repage "$docs/$1"
  echo "docs/$1: $4x$5 at $2,$3"
}

( cd "$run" && wine Quarvelin.exe ) &
read -r mx my mw mh <<<"$(wait_rect TfrmVistorel)"
# Wide enough for every column: at its design width the grid scrolls sideways.
mw=782
driver size "$mw" "$mh"
sleep 5  # the first ticks: the missing program fails, the indicator lights
shot main-window.png "$mx" "$my" "$mw" "$mh"
# The balloon of that failure, at the tray icon in the screen's corner.
shot failure-balloon.png 764 648 260 120

# The grid's first row, which has the keyboard from the start: F4 on
# Wochentag, then seven cells on, on Startzeit; Escape closes each.
popups() {  # SUFFIX
  xdotool key F4
  read -r px py pw ph <<<"$(wait_rect QvGridPopup)"
  sleep 1
  shot "day-rule-popup$1.png" "$mx" "$my" $((px + pw + 30 - mx)) $((py + ph + 12 - my))
  xdotool key Escape
  sleep 1
  for _ in 1 2 3 4 5 6 7; do xdotool key Tab; done
  xdotool key F4
  read -r px py pw ph <<<"$(wait_rect QvGridPopup)"
  sleep 1
  # From a little left of the popup to the window's right edge (or the popup's).
  local left=$((px - 40 < mx ? mx : px - 40)) right=$((px + pw + 12 > mx + mw ? px + pw + 12 : mx + mw))
  shot "start-time-popup$1.png" "$left" "$my" $((right - left)) $((py + ph + 12 - my))
  xdotool key Escape
  sleep 1
  for _ in 1 2 3 4 5 6 7; do xdotool key shift+Tab; done
}
popups ""
read -r gx gy _ _ <<<"$(driver ctlrect 300)"
# The hint of the second job's Startzeit: the mouse rests on the cell.
xdotool mousemove $((gx + 620)) $((gy + 59))
sleep 1
xdotool mousemove $((gx + 622)) $((gy + 60))
sleep 2
shot startzeit-hint.png $((gx + 440)) $((gy + 40)) 340 130

# The run log with the one failure.
driver click 203
read -r lx ly lw lh <<<"$(wait_rect TfrmLog)"
sleep 2
shot log-viewer.png "$lx" "$ly" "$lw" "$lh"
driver close TfrmLog
sleep 1

# The tray menu opens at the mouse, here just above the tray icon.
xdotool mousemove 1000 700
sleep 1
driver traymenu
sleep 2
shot tray-menu.png 784 628 240 140
xdotool key Escape || true
sleep 1

# Help: "Hilfe" opens context 1, F1 on "Aktiviert starten" context 1001.
driver click 209
read -r hx hy hw hh <<<"$(wait_rect 'HH Parent')"
sleep 2
shot help-context-1.png "$hx" "$hy" "$hw" "$hh"
driver close 'HH Parent'
sleep 1
read -r cx cy cw ch <<<"$(driver ctlrect 205)"
# Two clicks leave the box as it was and the focus on it.
xdotool mousemove $((cx + 6)) $((cy + ch / 2)) click 1 sleep 1 click 1 sleep 1 key F1
read -r hx hy hw hh <<<"$(wait_rect 'HH Parent')"
sleep 2
shot help-context-1001.png "$hx" "$hy" "$hw" "$hh"
driver close 'HH Parent'
sleep 1

# The shutdown job falls due: the countdown, then "Abbrechen".
sqlite3 "$run/timer.dat" \
  "update timer set Startzeit='2000-01-01 00:00:00.000' where Pfad='herunterfahren'"
read -r dx dy dw dh <<<"$(wait_rect '#32770' 'Countdown herunterfahren')"
sleep 3
shot countdown.png "$dx" "$dy" "$dw" "$dh"
driver clickin '#32770' 'Countdown herunterfahren' 103
sleep 3
echo "screenshots: run log now: $(sqlite3 "$run/log.dat" 'select Pfad, Fehler from log' | tr '\n' ';')"

# The same at 120 dpi: the window, both popups and the log viewer.
wineserver -k 2>/dev/null || true
qv_wine_env "$out/prefix-120dpi"
qv_wine_prefix desktop
if [ "$(cat "$WINEPREFIX/.qv-dpi" 2>/dev/null)" != 120 ]; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 /f >/dev/null 2>&1
  wineserver -w
  echo 120 >"$WINEPREFIX/.qv-dpi"
fi
rm -f "$run/Quarvelin.ini" "$run/timer.dat" "$run/log.dat" "$run"/*.lck
driver seed "$winrun"
printf '[App]\r\naktiviert=1\r\nmail=1\r\n\r\n[\\Gitter\\Columns\\dxDBGrid1Nachholen]\r\nWidth=62\r\n' \
  >"$run/Quarvelin.ini"
( cd "$run" && wine Quarvelin.exe ) &
read -r mx my mw mh <<<"$(wait_rect TfrmVistorel)"
mw=$((782 * 120 / 96))
driver size "$mw" "$mh"
sleep 5
shot main-window-120dpi.png "$mx" "$my" "$mw" "$mh"
popups -120dpi
driver click 203
read -r lx ly lw lh <<<"$(wait_rect TfrmLog)"
sleep 2
shot log-viewer-120dpi.png "$lx" "$ly" "$lw" "$lh"
driver close TfrmLog
sleep 1
wineserver -k 2>/dev/null || true
qv_wine_env "$out/prefix"

# The tray icon control against a real notification area.
cp "$build/tests/win/win_widgets_tests.exe" "$run/"
wine "$run/win_widgets_tests.exe" --gtest_filter='TrayIcon*' 2>&1 | tr -d '\r' |
  grep -E '^\[ +(OK|SKIPPED|FAILED|PASSED) ' || true
