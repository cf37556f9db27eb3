#!/usr/bin/env bash
# Builds Quillon for Windows and runs it under Wine. With a display ($DISPLAY), Quillon
# starts there and runs until you choose Exit on its tray icon. Without one, a private
# Xvfb is started and a scripted demonstration shows what the program does.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
bash scripts/deps.sh core
echo "== building (Windows, MinGW-w64)"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target Quillon quillon-keeper quillon-ctl quillon-textbox >/dev/null
exe=$root/build/windows/bin/Quillon.exe
echo "built $exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  # A prefix of its own beside the build, so the run never touches the tests' state.
  prefix=$root/build/run-prefix
  [ -d "$prefix" ] || scripts/wine-env.sh prefix "$prefix" build/windows
  echo "== starting Quillon on $DISPLAY (settings: %APPDATA%\\Quillon\\QLNConfig.xml in $prefix)"
  echo "   Press Windows+A in a text box; use the tray icon's menu to reach Options or Exit."
  WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine "$exe"
  exit 0
fi

if [ -x scripts/demo.sh ]; then
  exec scripts/demo.sh
fi

# No display and no demo: start Quillon on a private Xvfb, show that it runs, and end it
# through its Exit command.
echo "== no display: starting a private Xvfb and Wine session"
envfile=$(scripts/wine-env.sh start build/windows)
trap 'scripts/wine-env.sh stop build/windows >/dev/null 2>&1 || true' EXIT
# shellcheck disable=SC1090
. "$envfile"
log=$(mktemp)
wine "$exe" >"$log" 2>&1 &
echo "== Quillon started"
scripts/wine-exec.sh build/windows/bin/quillon-ctl.exe wait 20000
mkdir -p build/demo
import -display "$DISPLAY" -window root build/demo/running.png 2>/dev/null && echo "screenshot: build/demo/running.png"
echo "== asking Quillon to exit (its tray menu's Exit command)"
scripts/wine-exec.sh build/windows/bin/quillon-ctl.exe exit 20000
scripts/wine-exec.sh build/windows/bin/quillon-ctl.exe status
rm -f "$log"
