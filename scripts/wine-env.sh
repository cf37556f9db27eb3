#!/usr/bin/env bash
# One Wine session per build tree: a template prefix made once, a fresh copy of it
# per session, one Xvfb, one persistent wineserver and a keeper program, so that
# every Windows test starts fast and no run sees another run's registry or files.
#
#   scripts/wine-env.sh start [TREE]   start (or reuse) the session; prints the env file
#   scripts/wine-env.sh stop  [TREE]   end it: keeper, wineserver, Xvfb
#   scripts/wine-env.sh prefix DEST [TREE]  copy the template prefix to DEST (isolated tests)
# TREE defaults to build/windows. Other scripts source TREE/wine/session.env.
# QUILLON_SCREEN=WxHxDEPTH sets the virtual screen (default 1280x1024x24); 1024x768x24 is the
# screen of the CI's Windows runners. A running session of another size is started anew.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cmd=${1:-start}
if [ "$cmd" = prefix ]; then
  dest=${2:?destination}
  tree=${3:-$root/build/windows}
else
  tree=${2:-$root/build/windows}
fi
tree=$(cd "$tree" && pwd)
wdir=$tree/wine
template=$wdir/template
envfile=$wdir/session.env
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The same Windows locale (en-US, ANSI code page 1252, UTF-8 file names) and time zone on
# every machine, whatever the caller's own settings: tests compare ANSI bytes and local times.
export LANG=C.UTF-8 LC_ALL=C.UTF-8 TZ=UTC
screen=${QUILLON_SCREEN:-1280x1024x24}
case $screen in
  [0-9]*x[0-9]*x[0-9]*) ;;
  *) echo "wine-env: QUILLON_SCREEN must be WIDTHxHEIGHTxDEPTH, not $screen" >&2; exit 2 ;;
esac

make_template() {
  # The marker's name changes whenever what goes into a template does, so older ones are made anew.
  [ -f "$template/.ready-fonts" ] && return 0
  rm -rf "$template"
  mkdir -p "$template"
  echo "wine-env: creating template prefix (once per build tree)" >&2
  WINEPREFIX=$template DISPLAY= wineboot -i >/dev/null 2>&1 || true
  # Wine's own fonts (Tahoma for "MS Shell Dlg", Marlett for the caption buttons): Debian's
  # Wine 8 does not load them from its data folder, only from the prefix's Fonts folder.
  if [ -d /usr/share/wine/fonts ]; then
    cp /usr/share/wine/fonts/*.ttf "$template/drive_c/windows/Fonts/" 2>/dev/null || true
  fi
  # A crashing test must exit at once with a backtrace, not wait on a dialog.
  WINEPREFIX=$template wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  WINEPREFIX=$template wineserver -w
  touch "$template/.ready-fonts"
}

alive() { [ -n "${1:-}" ] && kill -0 "$1" 2>/dev/null; }

session_alive() {
  [ -f "$envfile" ] || return 1
  # shellcheck disable=SC1090
  ( . "$envfile"; alive "$QUILLON_XVFB_PID" && [ -d "$WINEPREFIX" ] &&
    [ "${QUILLON_SCREEN_OF_SESSION:-1280x1024x24}" = "$screen" ] ) || return 1
}

free_displays() {
  local n
  for n in $(seq 91 140); do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then echo $n; fi
  done
}

start() {
  mkdir -p "$wdir"
  # Tests started in parallel may all ask for the session: one of them makes it.
  exec 9>"$wdir/.lock"
  flock 9
  if session_alive; then echo "$envfile"; return; fi
  stop_session 2>/dev/null || true
  make_template
  local prefix=$wdir/run disp xpid
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
  # Sessions of several build trees may start together: pick displays one at a time.
  exec 8>/tmp/quillon-xdisplay.lock
  flock 8
  # A display can be taken without a trace in this /tmp: an X server of another root (a
  # chroot, a container) on the same network holds its abstract socket. Try the next one.
  xpid=""
  for disp in $(free_displays); do
    Xvfb ":$disp" -screen 0 "$screen" -nolisten tcp >"$wdir/xvfb.log" 2>&1 </dev/null 9>&- 8>&- &
    xpid=$!
    local deadline=$((SECONDS + 20))
    until [ -e /tmp/.X11-unix/X$disp ] || ! alive $xpid || [ $SECONDS -gt $deadline ]; do sleep 0.1; done
    if [ -e /tmp/.X11-unix/X$disp ] && alive $xpid; then break; fi
    kill $xpid 2>/dev/null || true
    xpid=""
  done
  if [ -z "$xpid" ]; then echo "wine-env: no X display could be started" >&2; cat "$wdir/xvfb.log" >&2; exit 1; fi
  exec 8>&-
  export DISPLAY=:$disp WINEPREFIX=$prefix
  # Background processes must not inherit the lock or the caller's stdout.
  wineserver -p </dev/null >/dev/null 2>&1 9>&-
  local kpid=""
  if [ -f "$tree/bin/quillon-keeper.exe" ]; then
    local marker=$wdir/keeper.ready
    rm -f "$marker"
    wine "$tree/bin/quillon-keeper.exe" "Z:${marker//\//\\}" </dev/null >/dev/null 2>&1 9>&- &
    kpid=$!
    # The first window of a session starts Wine's desktop process; wait for it here so
    # that the first test does not pay for it inside its own deadlines.
    local kdeadline=$((SECONDS + 60))
    until [ -e "$marker" ] || [ $SECONDS -gt $kdeadline ]; do sleep 0.1; done
  fi
  cat >"$envfile" <<EOV
export DISPLAY=:$disp
export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8
export LC_ALL=C.UTF-8
export TZ=UTC
export QUILLON_XVFB_PID=$xpid
export QUILLON_KEEPER_PID=$kpid
export QUILLON_WINE_TREE=$tree
export QUILLON_SCREEN_OF_SESSION=$screen
EOV
  echo "$envfile"
}

stop_session() {
  [ -f "$envfile" ] || return 0
  # shellcheck disable=SC1090
  . "$envfile"
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
  alive "${QUILLON_KEEPER_PID:-}" && kill "$QUILLON_KEEPER_PID" 2>/dev/null || true
  alive "${QUILLON_XVFB_PID:-}" && kill "$QUILLON_XVFB_PID" 2>/dev/null || true
  local deadline=$((SECONDS + 10))
  while alive "${QUILLON_XVFB_PID:-}" && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
  rm -f "$envfile"
}

case $cmd in
  start) start ;;
  stop) stop_session ;;
  prefix) make_template; rm -rf "$dest"; cp -a "$template" "$dest"; rm -f "$dest"/.ready* ;;
  *) echo "usage: $0 start|stop|prefix DEST [TREE]" >&2; exit 2 ;;
esac
