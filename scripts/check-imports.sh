#!/usr/bin/env bash
# Fails, naming each one, when a Windows program imports a function that is not
# on the list of functions Windows 95 and NT 4.0 both offer
# (scripts/win95-nt4-imports.txt). Functions looked up at run time are no imports.
# Also fails when it imports from a DLL that the program binds on first use
# (comctl32, comdlg32, shell32): imported, it would be loaded before WinMain
# and slow every start. And when it imports a way to start a thread: the
# program has one thread, which is what keeps GCC's locks (CreateSemaphoreW, a
# failing stub on the 95/98 line) from ever waiting.
#   bash scripts/check-imports.sh build/win32/app/Quarvelin.exe [LIST]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=${1:?usage: check-imports.sh EXE [LIST]}
list=${2:-$root/scripts/win95-nt4-imports.txt}

# "dll function" per import (an import by ordinal reads "dll #ordinal").
table=$(i686-w64-mingw32-objdump -p "$exe") || exit 2
imports=$(awk '/^\tDLL Name: /{dll=tolower($3); next} /^$/{dll=""}
               dll && /^\t[0-9a-f]+\t/{print dll, (NF >= 3 ? $3 : "#" $2)}' <<<"$table" | sort -u)
if [ -z "$imports" ]; then
  echo "check-imports: no imports found in $exe" >&2
  exit 2
fi
allowed=$(awk '!/^#/ && NF >= 2 {print tolower($1), $2}' "$list" | sort -u)

late=$(awk '$1 == "comctl32.dll" || $1 == "comdlg32.dll" || $1 == "shell32.dll"' <<<"$imports")
if [ -n "$late" ]; then
  while read -r dll fn; do
    echo "check-imports: $(basename "$exe") imports $fn from $dll, which the program binds on first use (win/LateBound.h)" >&2
  done <<<"$late"
  exit 1
fi

threads=$(awk '$2 ~ /^(CreateThread|CreateRemoteThread|_beginthread|_beginthreadex)$/' <<<"$imports")
if [ -n "$threads" ]; then
  while read -r dll fn; do
    echo "check-imports: $(basename "$exe") imports $fn from $dll: the program must keep to one thread" \
         "(GCC's locks wait on CreateSemaphoreW, a failing stub on Windows 95/98)" >&2
  done <<<"$threads"
  exit 1
fi

unlisted=$(comm -23 <(echo "$imports") <(echo "$allowed"))
if [ -n "$unlisted" ]; then
  while read -r dll fn; do
    echo "check-imports: $(basename "$exe") imports $fn from $dll, which is not on $(basename "$list")" >&2
  done <<<"$unlisted"
  echo "check-imports: list a function only once its documented minimum versions are Windows 95 and NT 4.0;" \
       "otherwise look it up at run time" >&2
  exit 1
fi
echo "check-imports: all $(wc -l <<<"$imports") imports of $(basename "$exe") are on the list"
