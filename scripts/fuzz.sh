#!/usr/bin/env bash
# Fuzzes every input the outside world controls, one target after the other,
# each for SECONDS (default 60), with clang's libFuzzer under AddressSanitizer
# and UBSan, one job each. Prints per target the executions, the coverage and
# the crashes (also hangs, leaks, memory blow-ups) found; each one is left in
# build/fuzz/artifacts/TARGET/ to be mended and then kept in
# fuzz/regressions/TARGET/, which the tests replay.
#   bash scripts/fuzz.sh [SECONDS]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
targets=(nextstart datetime codec settings table)

bash scripts/setup.sh || exit 1
need=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "fuzz: installing ${need[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null ||
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null; } ||
    exit 1
fi

out=build/fuzz
mkdir -p build
CC=clang CXX=clang++ cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON -DQV_TESTS=OFF \
  >"$out.configure.log" 2>&1 || { cat "$out.configure.log"; exit 1; }
cmake --build "$out" -j "${QV_JOBS:-$(nproc)}" --target "${targets[@]/#/fuzz_}" 2>&1 |
  grep -vE '^\[[0-9]+/[0-9]+\] ' | tail -n 40
[ "${PIPESTATUS[0]}" -eq 0 ] || exit 1

# The table and settings targets write files: in memory they go faster.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
rows=(); found=0
for t in "${targets[@]}"; do
  corpus="$out/corpus/$t" art="$out/artifacts/$t" log="$out/$t.log"
  mkdir -p "$corpus" "$art"
  dirs=("$corpus" "fuzz/seeds/$t")
  [ -d "fuzz/regressions/$t" ] && dirs+=("fuzz/regressions/$t")
  echo "== fuzz $t for ${seconds}s"
  before=$(ls "$art" | wc -l)
  "$out/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$art/" "${dirs[@]}" >"$log" 2>&1
  rc=$?
  crashes=$(( $(ls "$art" | wc -l) - before ))
  [ $rc -ne 0 ] && [ "$crashes" -eq 0 ] && crashes=1  # died without leaving its input
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)
  units=$(ls "$corpus" | wc -l)
  rows+=("$(printf '%-10s %12s %8s/s  %-22s %6s  %s' "$t" "${execs:-?}" "${speed:-?}" "${cov:-cov: ?}" "$units" "$crashes")")
  if [ "$crashes" -gt 0 ]; then
    found=$((found + crashes))
    grep -m1 -A30 -E 'ERROR|fuzz check failed|==[0-9]+==|deadly signal|timeout' "$log" | head -40
    ls "$art"
  fi
done

echo
printf '%-10s %12s %10s  %-22s %6s  %s\n' target executions speed coverage corpus crashes
printf '%s\n' "${rows[@]}"
echo "$found crashes (logs in $out/*.log, inputs in $out/artifacts/)"
[ "$found" -eq 0 ]
