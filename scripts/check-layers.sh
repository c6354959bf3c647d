#!/usr/bin/env bash
# Fails, naming file and line, on any #include of the program's own headers
# that goes against the order of its layers (docs/ARCHITECTURE.md): a folder
# includes only itself and the folders below it. Tests, fuzz targets and tools
# stand above everything and are not checked.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# folder: the folders its sources may include.
declare -A allowed=(
  [engine]="engine"
  [win]="win"
  [schema]="schema engine"
  [rules]="rules schema engine"
  [jobs]="jobs rules schema engine"
  [actions]="actions rules schema engine win"
  [schedule]="schedule jobs actions rules schema engine"
  [ui/grid]="ui/grid win"
  [ui/help]="ui/help win"
  [ui/settings]="ui/settings ui/grid engine win"
  [ui/data]="ui/data ui/grid engine win"
  [ui/log]="ui/log ui/data ui/grid schema engine win"
  [ui/jobgrid]="ui/jobgrid ui/data ui/grid rules schema engine win"
  [ui/main]="ui schedule jobs actions rules schema engine win"
  [app]="app ui schedule jobs actions rules schema engine win"
)

bad=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || { echo "check-layers: folder $folder is gone: update the table" >&2; bad=$((bad + 1)); continue; }
  while IFS=: read -r file line target; do
    ok=0
    for a in ${allowed[$folder]}; do
      case $target in "$a"/*) ok=1 ;; esac
    done
    if [ $ok -eq 0 ]; then
      echo "check-layers: $file:$line: $folder may not include \"$target\" (allowed: ${allowed[$folder]})" >&2
      bad=$((bad + 1))
    fi
  done < <(grep -rnoE '^#include "[^"]+/[^"]+"' "$folder" --include=*.h --include=*.cpp --include=*.c --include=*.rc |
           sed -E 's/#include "([^"]+)"$/\1/')
done

# Every source folder is in the table: a new one must be given its place.
while IFS= read -r dir; do
  [ -n "${allowed[$dir]+x}" ] || { echo "check-layers: $dir has no place in the layers" >&2; bad=$((bad + 1)); }
done < <(find engine win schema rules jobs actions schedule ui app -name '*.cpp' -printf '%h\n' | sort -u)

# The base layer of windows carries no text or resource of this application:
# the application hands them in.
if grep -nE '"Quarvelin|Unbekannter Fehler|MAKEINTRESOURCEA?\(1\)' win/*.h win/*.cpp >&2; then
  echo "check-layers: win/ holds application texts or resources (above)" >&2
  bad=$((bad + 1))
fi

[ $bad -eq 0 ] || { echo "check-layers: $bad include(s) against the layers" >&2; exit 1; }
echo "check-layers: every include follows the layers"
