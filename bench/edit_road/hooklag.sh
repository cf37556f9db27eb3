#!/usr/bin/env bash
# How long the keyboard waits for Quillon.exe's low-level hook, under Wine with the real
# program: over N whole edits (5 by default: the copy and the editor's start, the settings
# saved at Options OK while another program holds the file for 0.6 s, the paste on return), a
# key that types nothing (F24) is sent every 10 ms, and a hook of the driver's own, installed
# before Quillon's and so called after it, notes how long each key event took to reach it.
# Windows removes a hook that keeps the keyboard waiting longer than LowLevelHooksTimeout
# (1 s on Windows 10 and later) without a word; the goal is at most 50 ms.
# Writes the table into the "Hook latency" part of bench/edit_road/RESULTS.md.
# Usage: bench/edit_road/hooklag.sh [N]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
runs=${1:-5}
# shellcheck source=prepare.sh
. bench/edit_road/prepare.sh
# Inside a Wine virtual desktop: on a bare Xvfb (no window manager) Wine's X11 driver waits up
# to 2 s for every top-level window it hides to be withdrawn (the Options dialog at OK), which
# Windows never does. The desktop loses the driver's exit code: its output says how it went.
rm -f "$out/lags.txt"
wine explorer /desktop=quillon-hooklag,1280x1024 "$(winepath -w "$tree/bin/quillon-road-driver.exe")" hooklag "$runs" \
  "$(winepath -w "$out")\\lags.txt" >"$log" 2>&1 </dev/null || true
if [ ! -s "$out/lags.txt" ] || ! grep -q "run $runs done" "$log"; then
  tr -d '\r' <"$log"
  echo "hook latency driver failed"
  exit 1
fi
tr -d '\r' <"$log" | grep -E '^(a wait|run [0-9]+:)' || true
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

PYTHONPATH=bench/edit_road python3 - "$out/lags.txt" "$root/bench/edit_road/RESULTS.md" "$runs" "$load_before" \
  "$load_after" <<'PY'
import sys, datetime, platform, subprocess, statistics
from sampler import write_part
lags, results, runs, load_before, load_after = sys.argv[1:6]
steps = {0: "between the steps", 1: "copy, temporary file and editor start",
         2: "settings saved at Options OK (file held 0.6 s)", 3: "paste on the return to the box"}
by = {k: [] for k in steps}
for l in open(lags):
    if l.strip():
        k, ms = l.split()
        by[int(k)].append(float(ms))
every = [x for xs in by.values() for x in xs]
wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
def row(name, xs):
    if not xs:
        return f"| {name} | 0 | | | |\n"
    xs = sorted(xs)
    p99 = xs[min(len(xs) - 1, int(len(xs) * 0.99))]
    return f"| {name} | {len(xs)} | {statistics.median(xs):.1f} | {p99:.1f} | {xs[-1]:.1f} |\n"
table = (f"Measured by `bench/edit_road/hooklag.sh` on {datetime.date.today()} ({wine}, Xvfb, {platform.machine()}, "
         f"{runs} edits, an F24 press and release every 10 ms; load average {load_before} before, "
         f"{load_after} after).\n\n"
         "| while | key events | median wait ms | 99th percentile ms | longest ms |\n|---|---|---|---|---|\n"
         + "".join(row(steps[k], by[k]) for k in (1, 2, 3, 0))
         + row("all of it", every)
         + "\nGoal: the longest wait at most 50 ms (Windows removes a hook after 1 s).\n")
begin, end = "<!-- hook latency: written by hooklag.sh -->", "<!-- end of hook latency -->"
write_part(results, begin, end, table, lambda text: text + "\n## Hook latency\n\n" + begin + "\n" + table + end + "\n")
print(table)
PY
