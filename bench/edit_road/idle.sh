#!/usr/bin/env bash
# What Quillon.exe costs while nothing happens, under Wine with the real program: over S
# seconds (60 by default) with no edit open, then S seconds with one edit open (its editor
# done, the user back in the box), the wake-ups per second of its main thread (voluntary
# context switches, as Linux counts them: each is a sleep ended by a timer, a message or an
# event), those of all its threads, and its CPU time as a share of one core.
# Writes the table into the "Idle" part at the end of bench/edit_road/RESULTS.md.
# Usage: bench/edit_road/idle.sh [S]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
idle=${1:-60}
# shellcheck source=prepare.sh
. bench/edit_road/prepare.sh
wine "$tree/bin/quillon-road-driver.exe" quiet "$idle" "$(winepath -w "$out")" >"$log" 2>&1 </dev/null &
driver=$!
# The session's Quillon.exe is told apart from other sessions' by its WINEPREFIX.
PYTHONPATH=bench/edit_road python3 - "$out" "$idle" "$WINEPREFIX" "$driver" >"$out/idle.txt" <<'PY'
import sys, time
from sampler import one_process, threads, wait_ready
out, seconds, prefix, driver = sys.argv[1], int(sys.argv[2]), sys.argv[3].encode(), int(sys.argv[4])
def sample(pid):
    # CPU nanoseconds of all threads; voluntary switches of the main thread and of all.
    cpu = main = every = 0
    for task, stat, status in threads(pid):
        cpu += int(stat.split()[0])
        for l in status:
            if l.startswith("voluntary_ctxt_switches:"):
                n = int(l.split()[1])
                every += n
                if task == pid:
                    main = n
    return cpu, main, every
def window():
    pid = one_process("Quillon.exe", prefix)
    c0, m0, e0 = sample(pid)
    t0 = time.monotonic()
    time.sleep(seconds)
    c1, m1, e1 = sample(pid)
    t = time.monotonic() - t0
    return f"{(m1 - m0) / t:.2f} {(e1 - e0) / t:.2f} {100.0 * (c1 - c0) / 1e9 / t:.4f}"
wait_ready(out, "none.ready", driver)
none = window()
wait_ready(out, "one.ready", driver)
one = window()
print(none)
print(one)
PY
wait "$driver" || { tr -d '\r' <"$log"; echo "idle driver failed"; exit 1; }
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

PYTHONPATH=bench/edit_road python3 - "$out/idle.txt" "$root/bench/edit_road/RESULTS.md" "$idle" "$load_before" "$load_after" <<'PY'
import sys, datetime, platform, subprocess
from sampler import write_part
idle, results, seconds, load_before, load_after = sys.argv[1:6]
none, one = (l.split() for l in open(idle).read().splitlines()[:2])
wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
def row(name, r):
    return f"| {name} | {r[0]} | {r[1]} | {float(r[2]):.3f}% |\n"
table = (f"Measured by `bench/edit_road/idle.sh` on {datetime.date.today()} ({wine}, Xvfb, {platform.machine()}, "
         f"{seconds} s each; load average {load_before} before, {load_after} after).\n\n"
         "| Quillon.exe, nothing happening | wake-ups/s, main thread | wake-ups/s, all threads | share of one core |\n"
         "|---|---|---|---|\n"
         + row("no edit open", none) + row("one edit open, the user in its box", one)
         + "\nGoal with no edit open: at most 2 wake-ups a second and under 0.05% of a core.\n")
begin, end = "<!-- idle: written by idle.sh -->", "<!-- end of idle -->"
write_part(results, begin, end, table,
           lambda text: text.rstrip("\n") + "\n\n## Idle\n\n" + begin + "\n" + table + end + "\n")
print(table)
PY
