#!/usr/bin/env bash
# The headless demonstration (run.sh calls it when there is no display): plays one whole
# edit under Wine on a private Xvfb - a text box, the hotkey, the choice list, the scripted
# editor's save, the return to the box and the text written back with the clipboard kept -
# printing each step and its outcome, with screenshots in build/demo/.
# scripts/demo.sh --docs also copies them to docs/screenshots/, the README's gallery.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tree=${QUILLON_DEMO_TREE:-build/windows}
if [ ! -f "$tree/CMakeCache.txt" ]; then
  cmake --preset windows >/dev/null
fi
echo "== building the demonstration's helpers"
cmake --build "$tree" -j "$(nproc)" --target Quillon quillon-keeper quillon-textbox quillon-test-editor \
  quillon-road-driver >/dev/null

echo "== starting a private Xvfb and Wine session"
envfile=$(scripts/wine-env.sh start "$tree")
# shellcheck disable=SC1090
. "$envfile"
shots=$root/build/demo
mkdir -p "$shots"
rm -f "$shots"/*.request "$shots"/*.png
winshots=$(winepath -w "$shots" 2>/dev/null)
log=$(mktemp)
trap 'rm -f "$log"; scripts/wine-env.sh stop "$tree" >/dev/null 2>&1 || true' EXIT

wine "$tree/bin/quillon-road-driver.exe" demo "$winshots" >"$log" 2>&1 </dev/null &
driver=$!
printed=0
show_new_lines() {
  local total
  total=$(wc -l <"$log")
  if [ "$total" -gt "$printed" ]; then
    sed -n "$((printed + 1)),${total}p" "$log" | tr -d '\r'
    printed=$total
  fi
}
while kill -0 "$driver" 2>/dev/null; do
  for request in "$shots"/*.request; do
    [ -e "$request" ] || continue
    name=$(basename "$request" .request)
    # The request may name the part of the screen to keep: WIDTHxHEIGHT+X+Y.
    area=$(tr -d '\r\n' <"$request")
    if [[ $area =~ ^[0-9]+x[0-9]+\+[0-9]+\+[0-9]+$ ]]; then
      import -display "$DISPLAY" -window root -crop "$area" +repage "$shots/$name.png" 2>/dev/null ||
        echo "   (screenshot $name failed)"
    else
      import -display "$DISPLAY" -window root "$shots/$name.png" 2>/dev/null || echo "   (screenshot $name failed)"
    fi
    rm -f "$request"
  done
  show_new_lines
  sleep 0.05
done
status=0
wait "$driver" || status=$?
show_new_lines

# The About box, opened from the tray menu by its own small driver and photographed alone
# (the driver's request holds the dialog's rectangle).
echo "8. Tray menu, About: the About box."
cmake --build "$tree" -j "$(nproc)" --target quillon-about-shot >/dev/null
rm -f "$shots"/about.request "$shots"/about.png
about_log=$(mktemp)
wine "$tree/bin/quillon-about-shot.exe" "$winshots" >"$about_log" 2>&1 </dev/null &
about_driver=$!
while kill -0 "$about_driver" 2>/dev/null; do
  if [ -e "$shots/about.request" ]; then
    geometry=$(tr -d '\r\n' <"$shots/about.request")
    import -display "$DISPLAY" -window root -crop "$geometry" +repage "$shots/about.png" 2>/dev/null ||
      echo "   (screenshot about failed)"
    rm -f "$shots/about.request"
  fi
  sleep 0.05
done
about_status=0
wait "$about_driver" || about_status=$?
tr -d '\r' <"$about_log"
rm -f "$about_log"
if [ "$about_status" -eq 0 ]; then
  echo "   screenshot: build/demo/about.png"
elif [ "$status" -eq 0 ]; then
  status=$about_status
fi
if [ "$status" -eq 0 ]; then
  echo "== demonstration finished: screenshots in build/demo/ ($(cd "$shots" && echo *.png))"
  if [ "${1:-}" = --docs ]; then
    cp "$shots"/*.png docs/screenshots/
    echo "   copied to docs/screenshots/ for the README's gallery"
  fi
else
  echo "== demonstration FAILED (exit $status)"
fi
exit "$status"
