#!/usr/bin/env bash
# Builds the x86_64 Windows build and starts Quarvelin under Wine, in a prefix
# of its own (build/run-prefix) and a folder of its own (build/run), where it
# keeps its tables and settings between starts.
# Without $DISPLAY an Xvfb server is started on a free display; the script
# then says how to take a screenshot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

build=build/win64
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run" >/dev/null
fi
cmake --build "$build" --target Quarvelin

export WINEPREFIX=$root/build/run-prefix WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

xvfb=
if [ -z "${DISPLAY:-}" ]; then
  n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=:$n
  sleep 1
  echo "start: no display; Xvfb runs on $DISPLAY"
  echo "start: screenshot with: DISPLAY=$DISPLAY import -window root shot.png"
fi

if [ ! -f "$WINEPREFIX/.qv-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  # A virtual desktop gives the program a notification area for its tray icon.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.qv-ready"
fi

mkdir -p build/run
cp "$build/app/Quarvelin.exe" build/run/
echo "start: Quarvelin runs from build/run (close its window to end)"
status=0
(cd build/run && wine Quarvelin.exe) || status=$?
if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
exit "$status"
