#!/usr/bin/env bash
# Screenshots of the Options dialog at 96, 120 and 144 DPI (and at 96 DPI with "MS Shell Dlg"
# drawn in MS Sans Serif, as an English Windows without Tahoma shows it) and of the choice list
# at 144 DPI, taken under Wine on the build tree's private Xvfb, into docs/screenshots/:
#   options-96dpi.png, options-120dpi.png, options-144dpi.png, options-96dpi-ms-sans-serif.png,
#   rules-96dpi.png (and the same for the other settings),
#   choice-list-144dpi.png
# Each DPI gets its own copy of the template prefix with HKCU\Control Panel\Desktop
# LogPixels set, so the session's own prefix is left as it is. Run it after changing how
# the dialog or the list looks, and look at the pictures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tree=${QUILLON_SHOTS_TREE:-build/windows}
if [ ! -f "$tree/CMakeCache.txt" ]; then
  cmake --preset windows >/dev/null
fi
cmake --build "$tree" -j 2 --target Quillon quillon-options-shots >/dev/null

envfile=$(scripts/wine-env.sh start "$tree")
# shellcheck disable=SC1090
. "$envfile"
out=$root/docs/screenshots
work=$(mktemp -d)
trap 'for p in "$work"/prefix-*; do if [ -d "$p" ]; then WINEPREFIX=$p wineserver -k 2>/dev/null || true; fi; done; rm -rf "$work"' EXIT
mkdir -p "$out" "$work/shots"

shoot() {  # dpi, extra driver argument, face standing for "MS Shell Dlg"
  local dpi=$1 extra=${2:-} face=${3:-} tag=${1}dpi
  [ -n "$face" ] && tag=$tag-$(echo "$face" | tr 'A-Z ' 'a-z-')
  local prefix=$work/prefix-$tag
  scripts/wine-env.sh prefix "$prefix" "$tree" >/dev/null
  WINEPREFIX=$prefix wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  if [ -n "$face" ]; then
    WINEPREFIX=$prefix wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
      /v 'MS Shell Dlg' /t REG_SZ /d "$face" /f >/dev/null 2>&1
  fi
  # No window manager on Xvfb: Wine draws the title bars itself, as Windows would.
  WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
  local log=$work/driver-$tag.log winshots
  winshots=$(WINEPREFIX=$prefix winepath -w "$work/shots" 2>/dev/null)
  WINEPREFIX=$prefix wine "$tree/bin/quillon-options-shots.exe" "$winshots" "$tag" $extra >"$log" 2>&1 </dev/null &
  local driver=$!
  while kill -0 "$driver" 2>/dev/null; do
    for request in "$work/shots"/*.request; do
      [ -e "$request" ] || continue
      local name x y w h
      name=$(basename "$request" .request)
      read -r x y w h <"$request" || true
      if [ -n "${h:-}" ]; then
        import -display "$DISPLAY" -window root -crop "${w}x${h}+${x}+${y}" +repage "$out/$name.png"
        echo "   $out/$name.png (${w} x ${h})"
      fi
      rm -f "$request"
    done
    sleep 0.05
  done
  local status=0
  wait "$driver" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "== the driver failed at $dpi dpi (exit $status):"; tr -d '\r' <"$log"
    return "$status"
  fi
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
}

echo "== Options at 96 dpi"
shoot 96
echo "== Options at 96 dpi in MS Sans Serif"
shoot 96 "" "MS Sans Serif"
echo "== Options at 120 dpi"
shoot 120
echo "== Options and the choice list at 144 dpi"
shoot 144 list
