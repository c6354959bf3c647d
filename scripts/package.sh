#!/usr/bin/env bash
# Builds the i686 release and writes dist/Quarvelin-<version>-win32.zip with
# Quarvelin.exe, its help file Quarvelin.chm and LIESMICH.txt (German, in the
# Windows code page with CR LF line ends). Fails when the program is not a
# 32-bit GUI executable, imports a DLL that Windows does not ship or a function
# that Windows 95 or NT 4.0 lacks, or when its black-box tests under 32-bit Wine,
# as Windows 95, 98, ME, NT 4.0, 2000 and XP, do not all pass on this very file
# (scripts/lib/release32.sh). Where this kernel cannot run them it refuses too,
# unless QV_PACKAGE_WITHOUT_WINE32=1 says to ship it untested there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
. scripts/lib/release32.sh

build=build/win32
mkdir -p build
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel -DQV_TESTS=OFF >"$build.configure.log" 2>&1 ||
  { cat "$build.configure.log"; exit 1; }
cmake --build "$build" --target Quarvelin

version=$(sed -n 's/^#define QV_VERSION_TEXT "\(.*\)"$/\1/p' app/Version.h)
[ -n "$version" ] || { echo "package: no version in app/Version.h" >&2; exit 1; }
exe=$build/app/Quarvelin.exe
chm=$build/app/Quarvelin.chm

info=$(file -b "$exe")
echo "Quarvelin.exe: $info"
echo "$info" | grep -q 'PE32 executable (GUI) Intel 80386' ||
  { echo "package: Quarvelin.exe is not a 32-bit GUI program" >&2; exit 1; }
# Only DLLs that come with Windows itself: the program is copied, not installed.
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|comdlg32|msvcrt|version|ole32|oleaut32|shlwapi)\.dll$'
imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "imports: $(echo "$imports" | tr '\n' ' ')"
foreign=$(echo "$imports" | grep -viE "$system_dlls" || true)
[ -z "$foreign" ] || { echo "package: Quarvelin.exe needs $foreign" >&2; exit 1; }
# And only functions that Windows 95 and NT 4.0 already have.
bash scripts/check-imports.sh "$exe"

# The end-to-end runs on this file, as every Windows it is for.
set +e
qv_release32 "$root" "${QV_JOBS:-$(nproc)}"
rc=$?
set -e
printf 'package: %s\n' "${QV_RELEASE32_LINES[@]}"
if [ "$rc" -eq 3 ]; then
  echo "package: this kernel cannot run i386 programs: the release was NOT run under 32-bit Wine" >&2
  [ "${QV_PACKAGE_WITHOUT_WINE32:-0}" = 1 ] ||
    { echo "package: refused (QV_PACKAGE_WITHOUT_WINE32=1 ships it untested)" >&2; exit 1; }
elif [ "$rc" -ne 0 ]; then
  echo "package: refused: the release failed under 32-bit Wine ($QV_RELEASE32_FAILED failed, see above)" >&2
  exit 1
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# The tested file itself: the release build carries no symbols to strip.
cp "$exe" "$stage/Quarvelin.exe"
cp "$chm" "$stage/Quarvelin.chm"
iconv -f UTF-8 -t WINDOWS-1252 app/LIESMICH.txt | sed 's/$/\r/' >"$stage/LIESMICH.txt"

zip=dist/Quarvelin-$version-win32.zip
mkdir -p dist
rm -f "$zip"
(cd "$stage" && zip -q -X -9 "$root/$zip" Quarvelin.exe Quarvelin.chm LIESMICH.txt)
unzip -l "$zip"
echo "package: $zip"
