#!/usr/bin/env bash
# Fails, naming the file, when a tests/**/*_test.cpp is compiled into no registered
# test of any of the given build directories (each written by cmake as
# registered-test-sources.txt).
#   bash scripts/check-tests.sh build/native build/win64 ...
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || { echo "usage: check-tests.sh BUILD_DIR..." >&2; exit 2; }
lists=()
for d in "$@"; do
  f="$d/registered-test-sources.txt"
  [ -f "$f" ] || { echo "check-tests: $f missing (configure $d first)" >&2; exit 2; }
  lists+=("$f")
done
registered=$(cat "${lists[@]}" | sort -u)
lost=0
while IFS= read -r t; do
  if ! grep -qxF "$t" <<<"$registered"; then
    echo "check-tests: $t is not compiled into any registered test" >&2
    lost=$((lost + 1))
  fi
done < <(cd "$root" && find tests -name '*_test.cpp' | sort)
[ "$lost" -eq 0 ] && echo "check-tests: every test file is in a registered test"
[ "$lost" -eq 0 ]
