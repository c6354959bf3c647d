#!/usr/bin/env bash
# Builds every configuration and runs every test:
#   native (portable core, GoogleTest), native with AddressSanitizer + UBSan,
#   Windows x86_64 (tests under Wine 64-bit, headless), Windows i686 (the release
#   build, whose imports are checked against what Windows 95 and NT 4.0 offer and
#   whose black-box tests run under 32-bit Wine in an i386 chroot as Windows 95,
#   98, ME, NT 4.0, 2000 and XP: scripts/lib/release32.sh).
# Set QV_CONFIGS to a subset ("native asan win64 win32") to run fewer.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh || exit 1
. scripts/lib/release32.sh

configs=${QV_CONFIGS:-native asan win64 win32}
jobs=${QV_JOBS:-$(nproc)}
passed=0; failed=0; summary=(); skipped=()

configure() {  # dir, extra cmake args...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir.configure.log" 2>&1 ||
    { cat "$dir.configure.log"; return 1; }
}

run_ctest() {  # name, dir[, parallel jobs]
  local name=$1 dir=$2 out
  out=$(cd "$dir" && ctest --output-on-failure -j "${3:-$jobs}" 2>&1)
  local rc=$?
  echo "$out" | tail -n 40
  local p f
  p=$(echo "$out" | sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2 \1/p' | tail -1)
  if [ -n "$p" ]; then
    set -- $p; f=$2; p=$(( $1 - $2 ))
  else p=0; f=1; fi
  passed=$((passed + p)); failed=$((failed + f))
  [ $rc -eq 0 ] || [ "$f" -gt 0 ] || failed=$((failed + 1))
  summary+=("$name: $p passed, $f failed")
}

build() {  # name, dir
  echo "== build $1"
  cmake --build "$2" -j "$jobs" 2>&1 | grep -vE '^\[[0-9]+/[0-9]+\] ' | tail -n 60
  [ "${PIPESTATUS[0]}" -eq 0 ]
}

mkdir -p build
for c in $configs; do
  case $c in
    native)
      configure build/native && build native build/native && run_ctest native build/native ||
        { failed=$((failed + 1)); summary+=("native: build failed"); } ;;
    asan)
      configure build/asan -DQV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug &&
        build asan build/asan && ASAN_OPTIONS=detect_leaks=1 run_ctest asan build/asan ||
        { failed=$((failed + 1)); summary+=("asan: build failed"); } ;;
    win64)
      configure build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run" &&
        build win64 build/win64 &&
        # One at a time: windows of parallel Wine test processes take each
        # other's activation and focus.
        QV_WINEPREFIX="$root/build/win64/wineprefix" run_ctest win64 build/win64 1 ||
        { failed=$((failed + 1)); summary+=("win64: build failed"); } ;;
    win32)
      if configure build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
           -DQV_TESTS=OFF &&
         build win32 build/win32; then
        info=$(file -b build/win32/app/Quarvelin.exe)
        echo "Quarvelin.exe (i686): $info"
        if echo "$info" | grep -q 'PE32 executable (GUI) Intel 80386'; then
          passed=$((passed + 1)); summary+=("win32: release build is a PE32 GUI executable")
        else
          failed=$((failed + 1)); summary+=("win32: release build is not a PE32 GUI executable")
        fi
        if bash scripts/check-imports.sh build/win32/app/Quarvelin.exe; then
          passed=$((passed + 1)); summary+=("win32: every import exists on Windows 95 and NT 4.0")
        else
          failed=$((failed + 1)); summary+=("win32: imports beyond Windows 95 and NT 4.0 (see above)")
        fi
        qv_release32 "$root" "$jobs"
        case $? in
          3) skipped+=("win32: SKIPPED: this kernel cannot run i386 programs, so the release was NOT run under 32-bit Wine (no Windows 95/98/ME/NT 4.0/2000/XP runs)")
             summary+=("${skipped[-1]}") ;;
          *) passed=$((passed + QV_RELEASE32_PASSED)); failed=$((failed + QV_RELEASE32_FAILED))
             for l in "${QV_RELEASE32_LINES[@]}"; do summary+=("win32: $l"); done ;;
        esac
      else
        failed=$((failed + 1)); summary+=("win32: build failed")
      fi ;;
    *) echo "unknown configuration $c" >&2; failed=$((failed + 1)) ;;
  esac
done

# Includes follow the layers (docs/ARCHITECTURE.md).
if bash scripts/check-layers.sh; then
  passed=$((passed + 1)); summary+=("check-layers: every include follows the layers")
else
  failed=$((failed + 1)); summary+=("check-layers: includes against the layers (see above)")
fi

# Every test file must be in a registered test of some configuration; only a
# run of all configurations can tell.
if [ "$configs" = "native asan win64 win32" ]; then
  if bash scripts/check-tests.sh build/native build/asan build/win64 build/win32; then
    passed=$((passed + 1)); summary+=("check-tests: every test file is in a registered test")
  else
    failed=$((failed + 1)); summary+=("check-tests: test files left out of the build (see above)")
  fi
else
  summary+=("check-tests: skipped (not every configuration ran)")
fi

echo
printf '%s\n' "${summary[@]}"
for l in "${skipped[@]}"; do
  printf '\n!!!!!!!! %s\n' "$l"
done
echo "$passed passed, $failed failed${skipped:+, ${#skipped[@]} SKIPPED}"
[ "$failed" -eq 0 ]
