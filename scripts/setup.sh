#!/usr/bin/env bash
# Installs every build and test dependency on Debian 12 (as root) and fetches the
# SQLite amalgamation at a pinned version. Idempotent: quick when all is present.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

pkgs=(cmake ninja-build g++ googletest libgtest-dev libsqlite3-dev sqlite3
      g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xdotool imagemagick
      file)
# The help file's compiler (chmcmd, chmls); Windows' fonts for every Wine
# prefix (Marlett, Tahoma, MS Sans Serif) and Arial's metrics; the German
# locale Wine shows dates in; zip for the release.
pkgs+=(fp-utils perl fonts-wine fonts-liberation locales zip)
# A clock that the tests move under the running program (libfaketime), and
# the zone whose summer time they cross.
pkgs+=(faketime tzdata)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
command -v npm >/dev/null || { apt-get install -y -qq --no-install-recommends npm >/dev/null; }
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  echo "setup: generating the locale de_DE.UTF-8"
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
# A 32-bit wine on the host would take over the wine wrapper under every
# test; 32-bit Wine lives in its own chroot (scripts/chroot32.sh).
if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  echo "setup: wine32:i386 is installed on the host; remove it (scripts/chroot32.sh keeps 32-bit Wine apart)" >&2
  exit 1
fi

# SQLite amalgamation for the Windows builds, as shipped in better-sqlite3.
sqlite_pkg=better-sqlite3@12.9.0
sqlite_c_sha=391855ddc7af04001364430884d263cbe8638f852c83865823a2d08358f6b87d
sqlite_h_sha=8e43a79982422f4720685f62839718f0e41410c1b71355aa32af3615ccd9e31d
dest="$root/.deps/sqlite"
check() { [ -f "$dest/sqlite3.c" ] && [ -f "$dest/sqlite3.h" ] &&
  echo "$sqlite_c_sha  $dest/sqlite3.c" | sha256sum -c --quiet - >/dev/null 2>&1 &&
  echo "$sqlite_h_sha  $dest/sqlite3.h" | sha256sum -c --quiet - >/dev/null 2>&1; }
if ! check; then
  echo "setup: fetching the SQLite amalgamation ($sqlite_pkg)"
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  (cd "$tmp" && npm pack --silent "$sqlite_pkg" >/dev/null)
  tar -xzf "$tmp"/better-sqlite3-*.tgz -C "$tmp" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  mkdir -p "$dest"
  cp "$tmp/package/deps/sqlite3/sqlite3.c" "$tmp/package/deps/sqlite3/sqlite3.h" "$dest/"
  if ! check; then
    echo "setup: checksum mismatch for the SQLite amalgamation" >&2
    sha256sum "$dest/sqlite3.c" "$dest/sqlite3.h" >&2
    rm -f "$dest/sqlite3.c" "$dest/sqlite3.h"
    exit 1
  fi
fi

# Compile the amalgamation once per Windows architecture; every build directory
# links the same archive instead of compiling 9 MB of C again.
# Both architectures get the release's SQLite, so the tests run what ships: for
# Windows 95 and NT 4.0 (else it assumes the NT family and Windows 10's
# libraries), one thread (no mutexes, no TryEnterCriticalSection), and
# GetSystemInfo for XP's GetNativeSystemInfo (same signature), so it imports
# nothing newer. It asks the system which family it runs on: the 95/98 line gets
# the ANSI file calls (its wide ones are stubs) and read locks of one random
# byte, exclusive, as LockFile alone allows; the NT family gets the wide calls
# and shared read locks (LockFileEx). Taken on NT, the 95/98 kind of read lock
# excludes every other reader of the table, such as the sqlite3 client, like a
# write lock would (lock_scheme_bench: a read of the program waited 4.5 s while
# the client held a read transaction open, against 6 ms with shared locks). The
# wide calls are bound at run time (engine/SqliteWin32.c, compiled here in place
# of sqlite3.c), so the program imports none of them. Pages
# are read and written after a seek, not with an OVERLAPPED offset: Windows 95
# refuses overlapped disk I/O, and Wine answers each such call with a round
# trip to its server (a thousand of them to open a table of 10,000 jobs).
sqlite_flags="-O2 -DSQLITE_THREADSAFE=0 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_DQS=0"
sqlite_flags+=" -D_WIN32_WINNT=0x0400 -DGetNativeSystemInfo=GetSystemInfo"
sqlite_flags+=" -DSQLITE_WIN32_NO_OVERLAPPED"
for arch in x86_64 i686; do
  lib="$dest/$arch/libsqlite3.a"
  stamp="$dest/$arch/flags"
  cc="$arch-w64-mingw32-gcc-posix"
  [ "$arch" = i686 ] && cc="$arch-w64-mingw32-gcc-win32"  # the release's compiler
  want="$cc $sqlite_flags $(sha256sum <"$root/engine/SqliteWin32.c" | cut -c1-16)"
  if [ ! -f "$lib" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$want" ]; then
    echo "setup: compiling SQLite for $arch"
    mkdir -p "$dest/$arch"
    "$cc" $sqlite_flags -w -I"$dest" -c "$root/engine/SqliteWin32.c" -o "$dest/$arch/sqlite3.o"
    rm -f "$lib"
    "$arch-w64-mingw32-ar" rcs "$lib" "$dest/$arch/sqlite3.o"
    rm -f "$dest/$arch/sqlite3.o"
    echo "$want" > "$stamp"
  fi
done
