#!/usr/bin/env bash
# Black-box test of the nextstart tool: nextstart_cli_test.sh BINARY [RUNNER...]
# (RUNNER, e.g. the Wine wrapper, runs a Windows build).
set -u
bin=$1; shift
runner=("$@")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

run() {  # args... ; sets out, err, rc (CR stripped from Windows line ends)
    "${runner[@]}" "$bin" "$@" >"$tmp/out" 2>"$tmp/err"
    rc=$?
    out=$(tr -d '\r' <"$tmp/out")
    err=$(tr -d '\r' <"$tmp/err")
}

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect_ok EXPECTED_STDOUT args...
expect_ok() {
    local want=$1; shift
    run "$@"
    [ "$rc" -eq 0 ] || fail "($*) exit $rc, stderr: $err"
    [ "$out" = "$want" ] || fail "($*) printed [$out], want [$want]"
    [ -z "$err" ] || fail "($*) wrote to stderr: $err"
}

# expect_bad ARGNAME args...: exit 2, nothing on stdout, one stderr line naming ARGNAME
expect_bad() {
    local name=$1; shift
    run "$@"
    [ "$rc" -eq 2 ] || fail "($*) exit $rc, want 2"
    [ -z "$out" ] || fail "($*) printed [$out] for a bad argument"
    [ "$(printf '%s\n' "$err" | grep -c .)" -eq 1 ] || fail "($*) stderr is not one line: [$err]"
    case $err in *"$name"*) ;; *) fail "($*) stderr does not name $name: [$err]" ;; esac
}

expect_ok "2024-05-17 10:00:00.000" MoMiFr 10:00 fixed "2024-05-15 10:00"
expect_ok "2024-05-15 12:00:00.000" "Jeden Tag" 12:00 fixed "2024-05-15 10:00"
expect_ok $'2024-05-16 08:00:00.000\n2024-05-17 08:00:00.000\n2024-05-18 08:00:00.000' \
    "Jeden Tag" 08:00 fixed "2024-05-15 10:00" 3
expect_ok "2024-05-20 00:30:00.000" MoDiMiDoFr 01:00 interval "2024-05-17 23:30"
expect_ok $'2024-05-18 10:15:00.000\n2024-05-18 10:30:00.000' SaSo 00:15 interval "2024-05-15 10:00" 2
expect_ok $'2024-02-29 08:00:00.000\n2024-03-29 08:00:00.000\n2024-04-29 08:00:00.000' \
    Monatlich 08:00:00 fixed "2024-01-31 15:00:00" 3
expect_ok "2025-01-31 08:00:00.000" Monatlich 08:00 interval "2024-12-31 15:00"
expect_ok $'2024-05-15 10:00:00.123\n2024-05-15 10:00:00.123' Intervall 08:00 fixed "2024-05-15 10:00:00.123" 2
expect_ok $'2024-05-15 10:00:00.750\n2024-05-15 10:00:01.000' \
    "Jeden Tag" 00:00:00.250 interval "2024-05-15 10:00:00.500" 2
expect_ok "2024-05-20 08:00:00.000" Mo-Fr 08:00 fixed "2024-05-17 09:00" 1
expect_ok "2024-05-15 10:00:00.000" montag 08:00 fixed "2024-05-15 10:00"

expect_bad TIME MoMiFr 25:00 fixed "2024-05-15 10:00"
expect_bad TIME MoMiFr 8:00 fixed "2024-05-15 10:00"
expect_bad TIME MoMiFr 08:60 fixed "2024-05-15 10:00"
expect_bad TIME MoMiFr 08:00:00.5 fixed "2024-05-15 10:00"
expect_bad BASE MoMiFr 10:00 fixed "2023-02-29 10:00"
expect_bad BASE MoMiFr 10:00 fixed "2024-05-15"
expect_bad BASE MoMiFr 10:00 fixed "2024-05-15 24:00"
expect_bad MODE MoMiFr 10:00 Fixed "2024-05-15 10:00"
expect_bad MODE MoMiFr 10:00 "" "2024-05-15 10:00"
expect_bad COUNT MoMiFr 10:00 fixed "2024-05-15 10:00" 0
expect_bad COUNT MoMiFr 10:00 fixed "2024-05-15 10:00" -1
expect_bad COUNT MoMiFr 10:00 fixed "2024-05-15 10:00" abc
expect_bad COUNT MoMiFr 10:00 fixed "2024-05-15 10:00" 1.5
expect_bad COUNT MoMiFr 10:00 fixed "2024-05-15 10:00" 99999999999
expect_bad COUNT MoMiFr 10:00 fixed "2024-05-15 10:00" ""
expect_bad RULE
expect_bad BASE MoMiFr 10:00 fixed
expect_bad MODE MoMiFr 10:00
expect_bad "too many" MoMiFr 10:00 fixed "2024-05-15 10:00" 2 extra

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "all nextstart cases passed"
