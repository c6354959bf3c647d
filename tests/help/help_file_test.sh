#!/usr/bin/env bash
# The built help file Quarvelin.chm.
#   help_file_test.sh file   CHM CHMLS             its pages and context map
#   help_file_test.sh viewer CHM PROBE EMULATOR    the help binding in Wine's viewer
set -uo pipefail
mode=$1 chm=$2
fail=0
check() {  # description, condition result
  if [ "$2" -eq 0 ]; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi
}
[ -f "$chm" ] || { echo "FAILED: $chm missing"; exit 1; }

case $mode in
file)
  chmls=$3
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp "$chm" "$work/Quarvelin.chm"
  cd "$work" || exit 1
  pages=$("$chmls" -n list Quarvelin.chm 2>/dev/null | tr -d '\r' | grep '^/')
  # The context map as the viewer reads it: number and page inside the file.
  "$chmls" extractalias Quarvelin.chm Quarvelin >/dev/null 2>&1
  map=$(tr -d '\r' <Quarvelin.ali 2>/dev/null)
  echo "context map: $(echo "$map" | tr '\n' ' ')"
  [ "$(echo "$map" | grep -c .)" -eq 2 ]; check "two contexts" $?
  echo "$map" | grep -qx 'helpid1=/index.html'; check "context 1 opens /index.html" $?
  echo "$map" | grep -qx 'helpid1001=/aktiv.html'; check "context 1001 opens /aktiv.html" $?
  for target in $(echo "$map" | sed 's/^[^=]*=//'); do
    echo "$pages" | grep -qx "$target"; check "$target is in the file" $?
  done
  # Every page the contents and the index name is in the file.
  for list in Quarvelin.hhc Quarvelin.hhk; do
    "$chmls" extract Quarvelin.chm "/$list" "$list" >/dev/null 2>&1
    [ -s "$list" ]; check "$list is in the file" $?
    for page in $(grep -o 'name="Local" value="[^"]*"' "$list" | sed 's/.*value="//; s/"$//' | sort -u); do
      echo "$pages" | grep -qx "/$page"; check "$list: /$page is in the file" $?
    done
  done
  ;;
viewer)
  probe=$3 emulator=$4
  winchm='Z:'"$(echo "$chm" | tr / '\\')"
  for pair in 1:/index.html 1001:/aktiv.html; do
    context=${pair%%:*} page=${pair#*:}
    out=$(WINEDEBUG=+htmlhelp "$emulator" "$probe" "$winchm" "$context" 2>&1 | tr -d '\r')
    echo "$out" | grep -E 'FindContextAlias|NavigateToChm|window|after release'
    echo "$out" | grep -q "FindContextAlias returning \"$page\""; check "context $context maps to $page" $?
    echo "$out" | grep -q "NavigateToChm .*L\"$page\""; check "the viewer navigates to $page" $?
    echo "$out" | grep -qx 'window open'; check "context $context opens a viewer window" $?
    echo "$out" | grep -qx 'after release none'; check "releasing the binding closes it" $?
  done
  out=$(WINEDEBUG=+htmlhelp "$emulator" "$probe" "$winchm" 7 2>&1 | tr -d '\r')
  echo "$out" | grep -q 'FindContextAlias returning (null)'; check "context 7 is not mapped" $?
  echo "$out" | grep -qx 'window none'; check "context 7 opens no window" $?
  ;;
*) echo "unknown mode $mode"; exit 2 ;;
esac
exit $fail
