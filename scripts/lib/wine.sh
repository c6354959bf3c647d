# Wine and Xvfb set-up shared by the scripts that run Quarvelin or its tests
# under Wine 64-bit. Source it; it defines functions only.

# qv_wine_env PREFIX: Wine 64-bit in that prefix (never the user's), quiet
# unless WINEDEBUG says otherwise, without the .NET and Gecko installers.
qv_wine_env() {
  export WINEPREFIX=$1 WINEDEBUG=${WINEDEBUG:--all} WINEARCH=win64
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}

# qv_wine_german: Wine in a German user locale (dates, month names, the
# system's own button captions), as a German user sees the program. Needs the
# de_DE.UTF-8 locale that scripts/setup.sh generates.
qv_wine_german() {
  export LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8
}

# The fonts a Windows desktop has and Wine lacks without fonts-wine: Marlett
# draws the caption buttons, Tahoma and MS Sans Serif the dialog text. Without
# them caption buttons show as letters and every text is wider than on Windows.
# MS Sans Serif at the program's 8 points comes from the bitmap faces
# sserife.fon (96 dpi) and sseriff.fon (120 dpi), as on Windows; without them
# Wine takes a wider look-alike.
qv_wine_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts f
  mkdir -p "$fonts"
  for f in marlett.ttf tahoma.ttf tahomabd.ttf ms_sans_serif.ttf sserife.fon sseriff.fon; do
    if [ ! -f "/usr/share/wine/fonts/$f" ]; then
      echo "qv_wine_fonts: /usr/share/wine/fonts/$f missing (install fonts-wine)" >&2
      return 1
    fi
    [ -f "$fonts/$f" ] || cp "/usr/share/wine/fonts/$f" "$fonts/"
  done
}

# qv_wine_prefix KIND: creates $WINEPREFIX once, with the fonts above. KIND is
# "headless" (null graphics driver: windows work without any X server),
# "desktop" (Wine's virtual desktop, which gives the tray icon a notification
# area) or "plain".
# Callers running at the same time wait for the one that creates it.
qv_wine_prefix() {
  local kind=$1
  if [ -f "$WINEPREFIX/.qv-ready" ]; then
    qv_wine_fonts
    return
  fi
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.qv-ready" ]; then
      wineboot -i >/dev/null 2>&1 || true
      case $kind in
        headless)
          wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 ;;
        desktop)
          wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
          wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 ;;
        plain) ;;
        *) echo "qv_wine_prefix: unknown kind $kind" >&2; exit 2 ;;
      esac
      qv_wine_fonts || exit 1
      wineserver -w
      touch "$WINEPREFIX/.qv-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# qv_xvfb_start: starts Xvfb (1024x768, 24 bit) on a display it finds free
# itself, exports DISPLAY and returns once the server takes connections.
# QV_XVFB_PID names the server for qv_xvfb_stop.
qv_xvfb_start() {
  local numfile n
  numfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
  QV_XVFB_PID=$!
  for _ in $(seq 100); do
    n=$(tr -dc 0-9 <"$numfile")
    [ -n "$n" ] && break
    kill -0 "$QV_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$numfile"
  if [ -z "$n" ]; then
    echo "qv_xvfb_start: Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=:$n
}

qv_xvfb_stop() {
  if [ -n "${QV_XVFB_PID:-}" ]; then kill "$QV_XVFB_PID" 2>/dev/null || true; fi
  QV_XVFB_PID=
}
