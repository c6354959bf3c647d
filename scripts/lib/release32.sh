# The black-box tests on the i686 release (build/win32/app/Quarvelin.exe, the
# file that ships) under 32-bit Wine, as each Windows it is for, shared by
# scripts/test.sh and scripts/package.sh. Source it; it defines functions only.
#
# Their drivers are built for i686 in build/win32-tests with the posix-thread
# compilers (GoogleTest needs them; the release itself keeps the win32 thread
# model). Each ctest run there is a session of its own in the i386 chroot
# (scripts/chroot32.sh, scripts/wine32-run) on a copy of the prefix made fresh
# for this run, so runs do not see each other and may go side by side.

# qv_release32 ROOT JOBS: builds the drivers (JOBS compiler processes), makes the chroot (once) and the
# run's prefix, runs every black-box test and fills QV_RELEASE32_LINES with a
# summary line per Windows version, QV_RELEASE32_PASSED and
# QV_RELEASE32_FAILED with the counts. Returns 0 when every test passed, 1 when
# any failed or nothing ran, 3 when this kernel cannot run i386 programs.
qv_release32() {
  local root=$1 jobs=$2
  local dir=$root/build/win32-tests exe=$root/build/win32/app/Quarvelin.exe
  local chroot32=$root/scripts/chroot32.sh
  QV_RELEASE32_LINES=() QV_RELEASE32_PASSED=0 QV_RELEASE32_FAILED=0
  bash "$chroot32" probe || return 3
  _qv_release32_fail() {
    QV_RELEASE32_FAILED=$((QV_RELEASE32_FAILED + 1))
    QV_RELEASE32_LINES+=("release under 32-bit Wine: $1")
  }
  local start=$SECONDS
  bash "$chroot32" setup || { _qv_release32_fail "the i386 chroot with 32-bit Wine could not be made"; return 1; }
  local chroot_s=$((SECONDS - start))
  [ -f "$exe" ] || { _qv_release32_fail "$exe missing"; return 1; }
  echo "== build win32 test drivers (i686, posix threads) for $exe"
  if ! cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
       -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686-posix.cmake" -DQV_PROGRAM_EXE="$exe" \
       -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine32-run" >"$dir.configure.log" 2>&1; then
    cat "$dir.configure.log"
    _qv_release32_fail "the test drivers did not configure"
    return 1
  fi
  cmake --build "$dir" -j "$jobs" --target qv_blackbox_tests 2>&1 | grep -vE '^\[[0-9]+/[0-9]+\] ' | tail -n 60
  [ "${PIPESTATUS[0]}" -eq 0 ] || { _qv_release32_fail "the test drivers did not build"; return 1; }

  start=$SECONDS
  bash "$chroot32" prefix "$dir/wine32-prefix" || { _qv_release32_fail "no 32-bit Wine prefix"; return 1; }
  local prefix_s=$((SECONDS - start))
  rm -rf "$dir/results"
  mkdir -p "$dir/results"
  local out rc
  start=$SECONDS
  # The sessions mostly wait for the program's windows and ticks: all six
  # side by side take about as long as one (QV_WINE32_JOBS says how many).
  out=$(cd "$dir" && QV_WINE32PREFIX="$dir/wine32-prefix" \
        ctest -L '^blackbox$' --output-on-failure -j "${QV_WINE32_JOBS:-6}" 2>&1)
  rc=$?
  local runs_s=$((SECONDS - start))
  echo "$out" | tail -n 60

  # Per run: the counts from its gtest report; a run without one (it crashed
  # or timed out), one that failed after its tests, or one that tested
  # nothing counts as a failure.
  local -A tests=() failures=() status=()
  local name line
  while read -r name; do tests[$name]=0; done < <(cd "$dir" && ctest -N -L '^blackbox$' |
                                                  sed -n 's/^ *Test *#[0-9]*: \(.*\)$/\1/p')
  while read -r line; do
    name=$(sed -n 's/.*Test *#[0-9]*: \([^ ]*\) .*/\1/p' <<<"$line")
    [ -n "$name" ] && status[$name]=$(grep -q ' Passed ' <<<"$line" && echo ok || echo failed)
  done < <(grep -E 'Test +#[0-9]+: ' <<<"$out")
  local -A vtests=() vfailed=()
  local v order=()
  # The versions oldest first, as the build lists them (QV_WINDOWS_VERSIONS).
  for name in $(printf '%s\n' "${!tests[@]}" |
                awk -F. '{ n = split("win95 win98 winme nt40 win2k winxp", o, " "); r = 99
                           for (i = 1; i <= n; i++) if ($NF == o[i]) r = i
                           printf "%02d %s\n", (NF > 1 ? r : 0), $0 }' | sort | cut -d' ' -f2); do
    case $name in *.*) v=${name##*.} ;; *) v=once ;; esac
    [ -n "${vtests[$v]+x}" ] || { order+=("$v"); vtests[$v]=0; vfailed[$v]=0; }
    local xml=$dir/results/$name.xml t=0 f=0
    if [ -f "$xml" ]; then
      t=$(sed -n 's/.*<testsuites tests="\([0-9]*\)".*/\1/p' "$xml" | head -1)
      f=$(sed -n 's/.*<testsuites [^>]*failures="\([0-9]*\)".*/\1/p' "$xml" | head -1)
      local e
      e=$(sed -n 's/.*<testsuites [^>]*errors="\([0-9]*\)".*/\1/p' "$xml" | head -1)
      f=$((${f:-0} + ${e:-0}))
      t=${t:-0}
    fi
    if [ ! -f "$xml" ] || [ "$t" -eq 0 ] || { [ "${status[$name]:-failed}" != ok ] && [ "$f" -eq 0 ]; }; then
      echo "release32: $name: $([ -f "$xml" ] && echo "ran no test or failed outside its tests" ||
                                 echo "left no report (crashed, timed out or did not run)")" >&2
      f=$((f + 1))
    fi
    vtests[$v]=$((vtests[$v] + t)) vfailed[$v]=$((vfailed[$v] + f))
  done
  [ ${#order[@]} -gt 0 ] || _qv_release32_fail "no black-box test is registered"
  for v in "${order[@]}"; do
    local p=$((vtests[$v] - vfailed[$v]))
    [ "$p" -ge 0 ] || p=0
    local as="as $v"
    [ "$v" = once ] && as="once, as Wine's default"
    QV_RELEASE32_LINES+=("release under 32-bit Wine $as: $p passed, ${vfailed[$v]} failed")
    QV_RELEASE32_PASSED=$((QV_RELEASE32_PASSED + p))
    QV_RELEASE32_FAILED=$((QV_RELEASE32_FAILED + vfailed[$v]))
  done
  [ "$rc" -eq 0 ] || [ "$QV_RELEASE32_FAILED" -gt 0 ] || _qv_release32_fail "ctest failed (see above)"
  local size
  size=$(du -sh --one-file-system "${QV_CHROOT32:-/var/cache/quarvelin/bookworm-i386}" 2>/dev/null | cut -f1)
  QV_RELEASE32_LINES+=("release under 32-bit Wine: chroot ${size:-?} (ready in ${chroot_s} s), prefix ${prefix_s} s, runs ${runs_s} s")
  [ "$QV_RELEASE32_FAILED" -eq 0 ]
}
