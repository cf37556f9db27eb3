#!/usr/bin/env bash
# The edit road's latency and idle cost under Wine with the real Quillon.exe:
#   - over N runs (20 by default): from releasing the hotkey's modifiers to the temporary
#     file written and to the editor process starting, and from the focus returning to the
#     text box to the saved text being in it;
#   - over S seconds (60 by default) with nothing happening: the CPU time of Quillon.exe and
#     of the session's wineserver (with the text box alone first, then with Quillon beside
#     it), and Quillon's resident memory.
# Writes the medians (min and max) into the "latest run" part of bench/edit_road/RESULTS.md.
# Not part of the native benchmark build: it drives the Windows program through
# quillon-road-driver.exe. Usage: bench/edit_road/run.sh [N] [S]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
runs=${1:-20}
idle=${2:-60}
# shellcheck source=prepare.sh
. bench/edit_road/prepare.sh
wine "$tree/bin/quillon-road-driver.exe" bench "$runs" "$(winepath -w "$out")\\times.txt" >"$log" 2>&1 </dev/null \
  || { cat "$log"; echo "benchmark driver failed"; exit 1; }
tr -d '\r' <"$log"

# The idle cost. The session's processes are told apart from other sessions' by their
# WINEPREFIX; CPU time is read from the scheduler's per-thread counters (nanoseconds).
idle_log=$out/idle.log
wine "$tree/bin/quillon-road-driver.exe" idle "$idle" "$(winepath -w "$out")" >"$idle_log" 2>&1 </dev/null &
driver=$!
PYTHONPATH=bench/edit_road python3 - "$out" "$idle" "$WINEPREFIX" "$driver" >"$out/idle.txt" <<'PY'
import sys, time
from sampler import cpu_ns, one_process, wait_ready
out, seconds, prefix, driver = sys.argv[1], int(sys.argv[2]), sys.argv[3].encode(), int(sys.argv[4])
def rss_kb(pid):
    for l in open(f"/proc/{pid}/status"):
        if l.startswith("VmRSS:"):
            return int(l.split()[1])
    return 0
def window(names):
    pids = {n: one_process(n, prefix) for n in names}
    start = {n: cpu_ns(p) for n, p in pids.items()}
    t0 = time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - t0
    used = {n: cpu_ns(p) - start[n] for n, p in pids.items()}
    return {n: 100.0 * used[n] / 1e9 / elapsed for n in names}, pids
def measured(name):
    # The driver waits for this before it moves on.
    open(f"{out}/{name}.measured", "w").close()
wait_ready(out, "base.ready", driver)
base, _ = window(["wineserver"])
measured("base")
wait_ready(out, "quillon.ready", driver)
busy, pids = window(["wineserver", "Quillon.exe"])
rss = rss_kb(pids["Quillon.exe"])
measured("quillon")
print(f"{base['wineserver']:.3f} {busy['wineserver']:.3f} {busy['Quillon.exe']:.3f} {rss}")
PY
wait "$driver" || { tr -d '\r' <"$idle_log"; echo "idle driver failed"; exit 1; }
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

PYTHONPATH=bench/edit_road python3 - "$out/times.txt" "$out/idle.txt" "$root/bench/edit_road/RESULTS.md" "$runs" "$idle" \
  "$load_before" "$load_after" <<'PY'
import statistics, sys, datetime, platform, subprocess, re
from sampler import write_part
times, idle, results, runs, seconds, load_before, load_after = sys.argv[1:8]
rows = [tuple(map(float, l.split())) for l in open(times) if l.strip()]
created, back, code, written, used = ([r[i] for r in rows] for i in range(5))
base_ws, quillon_ws, quillon_cpu, rss = open(idle).read().split()
def line(name, xs, target):
    med = statistics.median(xs)
    return f"| {name} | {med:.1f} | {min(xs):.1f} | {max(xs):.1f} | {target} |\n"
wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
table = (f"Measured by `bench/edit_road/run.sh` on {datetime.date.today()} ({wine}, Xvfb, {platform.machine()}, "
         f"{len(rows)} runs, Delay 200 ms, a short text in a multi-line EDIT box, edited through its "
         f"edit messages; load average "
         f"{load_before} before, {load_after} after).\n\n"
         "| interval | median ms | min ms | max ms | target |\n|---|---|---|---|---|\n"
         + line("hotkey released -> temporary file written", written, "5 ms")
         + line("hotkey released -> editor process created", created, "")
         + line("hotkey released -> editor's own code running", code, "")
         + line("focus back in the box -> saved text in it", back, "5 ms")
         + f"| edits in which the clipboard's sequence number moved | {int(sum(used))} of {len(rows)} | | | 0 |\n"
         + f"\n| idle, {seconds} s with nothing happening | share of one core |\n|---|---|\n"
         f"| Quillon.exe | {float(quillon_cpu):.3f}% |\n"
         f"| wineserver, with Quillon running | {float(quillon_ws):.3f}% |\n"
         f"| wineserver, the text box alone (before Quillon starts) | {float(base_ws):.3f}% |\n"
         f"| Quillon.exe resident memory (working set) | {int(rss) / 1024:.1f} MB |\n")
begin, end = "<!-- latest run: written by run.sh -->", "<!-- end of latest run -->"
write_part(results, begin, end, table,
           lambda text: "# Edit road latency under Wine\n\n## Latest run\n\n" + begin + "\n" + table + end + "\n")
print(table)
PY
