# Wine and Xvfb set-up shared by the scripts that run Quarvelin or its tests
# under Wine 64-bit. Source it; it defines functions only.

# qv_wine_env PREFIX: Wine 64-bit in that prefix (never the user's), quiet
# unless WINEDEBUG says otherwise, without the .NET and Gecko installers.
qv_wine_env() {
  export WINEPREFIX=$1 WINEDEBUG=${WINEDEBUG:--all} WINEARCH=win64
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
}

# qv_wine_prefix KIND: creates $WINEPREFIX once. KIND is "headless" (null
# graphics driver: windows work without any X server), "desktop" (Wine's
# virtual desktop, which gives the tray icon a notification area) or "plain".
# Callers running at the same time wait for the one that creates it.
qv_wine_prefix() {
  local kind=$1
  [ -f "$WINEPREFIX/.qv-ready" ] && return 0
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
