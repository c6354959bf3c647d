#!/usr/bin/env bash
# 32-bit Wine for the i686 release, in an i386 Debian chroot of its own, so
# that the host's 64-bit Wine, which every other test uses, stays as it is.
#
#   bash scripts/chroot32.sh probe            exit 0 when this kernel runs i386 programs
#   bash scripts/chroot32.sh setup            makes the chroot once; quick when it is there
#   bash scripts/chroot32.sh prefix DIR       makes a fresh 32-bit Wine prefix DIR (headless)
#   bash scripts/chroot32.sh run DIR CMD...   runs CMD in the chroot with WINEPREFIX=DIR
#   bash scripts/chroot32.sh session DIR CMD... the same on a copy of prefix DIR of its own,
#                                             which ends with it (DIR stays as it is)
#
# The chroot is one per machine: QV_CHROOT32, by default
# /var/cache/quarvelin/bookworm-i386 (about 2.6 GB). Its content depends on
# Debian's archive alone, not on the clone, so every clone and worktree shares
# it, and a fresh machine makes it on its first test run. It is debootstrapped
# from the host's own apt sources and holds Wine 32-bit, Wine's fonts and the
# time zones. Every command runs in private mount and PID namespaces: its
# mounts (proc, dev, a tmpfs /tmp, the clone at its own path) and every
# process it starts, wineserver included, end with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
chroot_dir=${QV_CHROOT32:-/var/cache/quarvelin/bookworm-i386}
suite=bookworm
# Packages inside the chroot; a change here is installed into an existing one.
packages=(wine wine32 fonts-wine tzdata)

# A 96-byte static i386 ELF program that exits with 42: whether the kernel runs
# 32-bit programs at all (CONFIG_IA32_EMULATION, not switched off at boot).
probe() {
  local f rc=0
  mkdir -p "$root/build"
  f=$(mktemp "$root/build/.i386-probe.XXXXXX")
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00'`
        `'\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00'`
        `'\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'`
        `'\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'`
        `'\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$f"
  chmod +x "$f"
  "$f" 2>/dev/null || rc=$?
  rm -f "$f"
  [ "$rc" -eq 42 ]
}

# The host's apt sources for the suite, one-line form ("deb URI SUITE COMPONENTS").
host_sources() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'function flush() { if (types ~ /(^| )deb( |$)/) { n = split(suites, s, " ");
                              for (i = 1; i <= n; i++) if (s[i] ~ "^'"$suite"'")
                                print "deb " uris " " s[i] " " comps } types = uris = suites = comps = "" }
         /^[ \t]*$/ { flush(); next }
         /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
         /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $1 }
         /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
         /^Components:/ { sub(/^Components:[ \t]*/, ""); comps = $0 }
         END { flush() }' "$f"
  done
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" && $0 ~ " '"$suite"'" { sub(/\[[^]]*\] /, ""); print }' || true
}

# ns_run DIR [PREFIX] BINDS... -- CMD...: CMD in the chroot DIR, inside new
# mount and PID namespaces; each BIND (a host directory) appears at its own
# path. With a PREFIX ("@" and a host directory) /tmp/qv-prefix is a writable
# copy of it, kept in the session's memory (an overlay on a tmpfs).
ns_run() {
  local dir=$1; shift
  local binds=()
  while [ "$1" != "--" ]; do binds+=("$1"); shift; done
  shift
  unshare --mount --pid --fork --propagation private -- bash -c '
    set -e
    dir=$1; shift
    binds=()
    while [ "$1" != "--" ]; do binds+=("$1"); shift; done
    shift
    mount -t proc proc "$dir/proc"
    mount --rbind /dev "$dir/dev"
    mount -t tmpfs -o mode=1777 tmpfs "$dir/tmp"
    for b in "${binds[@]}"; do
      case $b in
        @*) mkdir -p "$dir/tmp/.qv-prefix/upper" "$dir/tmp/.qv-prefix/work" "$dir/tmp/qv-prefix"
            mount -t overlay overlay -o "lowerdir=${b#@},upperdir=$dir/tmp/.qv-prefix/upper,workdir=$dir/tmp/.qv-prefix/work" \
              "$dir/tmp/qv-prefix" ;;
        *) mkdir -p "$dir$b"; mount --bind "$b" "$dir$b" ;;
      esac
    done
    set +e
    chroot "$dir" "$@"
    rc=$?
    exit $rc  # whatever still runs in the namespace ends with its first process
  ' ns-run "$dir" "${binds[@]}" -- "$@"
}

# env -i for the chroot: a clean environment with what the tests may set
# (WINE*, QV_*, GTEST_*, TZ, FAKETIME*, LD_PRELOAD), Wine's own prefix and quiet output.
chroot_env() {
  local prefix=$1 v
  local keep=(PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp LANG=C.UTF-8 USER=root
              WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG="${WINEDEBUG:--all}"
              WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}")
  while IFS='=' read -r v _; do
    case $v in
      WINEPREFIX|WINEARCH|WINEDEBUG|WINEDLLOVERRIDES) ;;
      WINE*|QV_*|GTEST_*|TZ|FAKETIME*|LD_PRELOAD) keep+=("$v=${!v}") ;;
    esac
  done < <(env)
  printf '%s\0' "${keep[@]}"
}

setup() {
  if ! probe; then
    echo "chroot32: this kernel does not run i386 programs" >&2
    return 3
  fi
  local want
  want=$(printf '%s\n' "${packages[@]}" | sort -u | tr '\n' ' ')
  if [ -f "$chroot_dir/.qv-chroot" ] && [ "$(cat "$chroot_dir/.qv-chroot")" = "$want" ]; then
    return 0
  fi
  mkdir -p "$(dirname "$chroot_dir")"
  (
    flock 9
    [ -f "$chroot_dir/.qv-chroot" ] && [ "$(cat "$chroot_dir/.qv-chroot")" = "$want" ] && exit 0
    local start=$SECONDS
    export DEBIAN_FRONTEND=noninteractive
    if [ ! -f "$chroot_dir/.qv-chroot" ]; then
      command -v debootstrap >/dev/null || {
        echo "chroot32: installing debootstrap"
        apt-get update -qq && apt-get install -y -qq --no-install-recommends debootstrap >/dev/null; }
      local sources mirror
      sources=$(host_sources)
      mirror=$(awk '$3 == "'"$suite"'" {print $2; exit}' <<<"$sources")
      [ -n "$mirror" ] || { echo "chroot32: no $suite source in the host's apt sources" >&2; exit 1; }
      local tmp=$chroot_dir.new
      rm -rf "$tmp"
      echo "chroot32: debootstrap i386 $suite from $mirror into $chroot_dir"
      debootstrap --arch=i386 --variant=minbase --foreign "$suite" "$tmp" "$mirror" >"$tmp.log" 2>&1 ||
        { tail -n 20 "$tmp.log" >&2; exit 1; }
      ns_run "$tmp" -- /debootstrap/debootstrap --second-stage >>"$tmp.log" 2>&1 ||
        { tail -n 20 "$tmp.log" >&2; tail -n 20 "$tmp/debootstrap/debootstrap.log" >&2 || true; exit 1; }
      echo "$sources" >"$tmp/etc/apt/sources.list"
      # No daemons inside, ever.
      printf '#!/bin/sh\nexit 101\n' >"$tmp/usr/sbin/policy-rc.d"
      chmod +x "$tmp/usr/sbin/policy-rc.d"
      rm -f "$tmp.log"
      rm -rf "$chroot_dir"  # one whose set-up stopped half-way (no stamp)
      mv "$tmp" "$chroot_dir"
    fi
    cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
    echo "chroot32: installing ${packages[*]} in the chroot"
    ns_run "$chroot_dir" -- /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
      sh -c "apt-get update -qq && apt-get install -y -qq --no-install-recommends ${packages[*]} >/dev/null && apt-get clean" ||
      { echo "chroot32: installing into the chroot failed" >&2; exit 1; }
    echo "$want" >"$chroot_dir/.qv-chroot"
    echo "chroot32: ready in $((SECONDS - start)) s, $(du -sh --one-file-system "$chroot_dir" | cut -f1) at $chroot_dir"
  ) 9>"$chroot_dir.lock"
}

# run PREFIX CMD...: CMD inside the chroot, with the clone bound at its own path
# and Wine in PREFIX (which must lie inside the clone).
run() {
  local prefix=$1; shift
  [ -f "$chroot_dir/.qv-chroot" ] || { echo "chroot32: no chroot at $chroot_dir (run setup)" >&2; return 3; }
  local envs=()
  mapfile -d '' envs < <(chroot_env "$prefix")
  ns_run "$chroot_dir" "$root" -- /usr/bin/env -i -C "$(workdir)" "${envs[@]}" "$@"
}

# The directory to run in: the current one when the clone holds it (so that
# relative paths mean the same inside), else the root.
workdir() {
  case $PWD/ in "$root"/*) echo "$PWD" ;; *) echo / ;; esac
}

# session PREFIX CMD...: as run, on a copy of PREFIX that lives as long as CMD.
session() {
  local prefix=$1; shift
  [ -f "$chroot_dir/.qv-chroot" ] || { echo "chroot32: no chroot at $chroot_dir (run setup)" >&2; return 3; }
  [ -f "$prefix/system.reg" ] || { echo "chroot32: no prefix at $prefix (run prefix)" >&2; return 3; }
  local envs=()
  mapfile -d '' envs < <(chroot_env /tmp/qv-prefix)
  ns_run "$chroot_dir" "@$prefix" "$root" -- /usr/bin/env -i -C "$(workdir)" "${envs[@]}" "$@"
}

# prefix DIR: a new prefix, made and saved in one session (wineserver -w
# writes the registry before the session ends).
make_prefix() {
  local prefix=$1
  rm -rf "$prefix"
  mkdir -p "$prefix"
  run "$prefix" sh -c '
    wineboot -i >/dev/null 2>&1
    wine reg add "HKCU\\Software\\Wine\\Drivers" /v Graphics /d null /f >/dev/null 2>&1
    fonts=$WINEPREFIX/drive_c/windows/Fonts
    mkdir -p "$fonts"
    for f in marlett.ttf tahoma.ttf tahomabd.ttf ms_sans_serif.ttf sserife.fon sseriff.fon; do
      cp "/usr/share/wine/fonts/$f" "$fonts/" || exit 1
    done
    wineserver -w
    test -f "$WINEPREFIX/system.reg"'
}

case ${1:-} in
  probe) probe ;;
  setup) setup ;;
  prefix) make_prefix "${2:?usage: chroot32.sh prefix DIR}" ;;
  run) shift; run "${1:?usage: chroot32.sh run PREFIX CMD...}" "${@:2}" ;;
  session) shift; session "${1:?usage: chroot32.sh session PREFIX CMD...}" "${@:2}" ;;
  *) echo "usage: chroot32.sh probe|setup|prefix DIR|run PREFIX CMD...|session PREFIX CMD..." >&2; exit 2 ;;
esac
