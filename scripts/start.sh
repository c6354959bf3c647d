#!/usr/bin/env bash
# Builds the x86_64 Windows build and starts Quarvelin under Wine, in a prefix
# of its own (build/run-prefix, with Windows' fonts and a German user locale)
# and a folder of its own (build/run), where it keeps its tables and settings
# between starts and finds its help file.
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

. scripts/lib/wine.sh
qv_wine_env "$root/build/run-prefix"
qv_wine_german
if [ -z "${DISPLAY:-}" ]; then
  qv_xvfb_start
  trap qv_xvfb_stop EXIT
  echo "start: no display; Xvfb runs on $DISPLAY"
  echo "start: screenshot with: DISPLAY=$DISPLAY import -window root shot.png"
fi
qv_wine_prefix desktop

mkdir -p build/run
cp "$build/app/Quarvelin.exe" "$build/app/Quarvelin.chm" build/run/
echo "start: Quarvelin runs from build/run (close its window to end)"
cd build/run && wine Quarvelin.exe
