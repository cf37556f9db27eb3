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
python3 - "$out" "$idle" "$WINEPREFIX" "$driver" >"$out/idle.txt" <<'PY'
import os, sys, time
out, seconds, prefix, driver = sys.argv[1], int(sys.argv[2]), sys.argv[3].encode(), int(sys.argv[4])
def quillon():
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            cmd = open(f"/proc/{pid}/cmdline", "rb").read()
            env = open(f"/proc/{pid}/environ", "rb").read().split(b"\0")
        except OSError:
            continue
        if b"Quillon.exe" in cmd and b"WINEPREFIX=" + prefix in env:
            found.append(pid)
    if len(found) != 1:
        sys.exit(f"expected one Quillon.exe of this session, found {len(found)}")
    return found[0]
def sample(pid):
    # CPU nanoseconds of all threads; voluntary switches of the main thread and of all.
    cpu = main = every = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            cpu += int(open(f"/proc/{pid}/task/{task}/schedstat").read().split()[0])
            for l in open(f"/proc/{pid}/task/{task}/status"):
                if l.startswith("voluntary_ctxt_switches:"):
                    n = int(l.split()[1])
                    every += n
                    if task == pid:
                        main = n
        except OSError:
            pass
    return cpu, main, every
def wait_ready(name):
    deadline = time.time() + 120
    while not os.path.exists(os.path.join(out, name)):
        try:
            os.kill(driver, 0)
        except OSError:
            sys.exit("the driver ended before " + name)
        if time.time() > deadline:
            sys.exit("timed out waiting for " + name)
        time.sleep(0.05)
def window():
    pid = quillon()
    c0, m0, e0 = sample(pid)
    t0 = time.monotonic()
    time.sleep(seconds)
    c1, m1, e1 = sample(pid)
    t = time.monotonic() - t0
    return f"{(m1 - m0) / t:.2f} {(e1 - e0) / t:.2f} {100.0 * (c1 - c0) / 1e9 / t:.4f}"
wait_ready("none.ready")
none = window()
wait_ready("one.ready")
one = window()
print(none)
print(one)
PY
wait "$driver" || { tr -d '\r' <"$log"; echo "idle driver failed"; exit 1; }
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

python3 - "$out/idle.txt" "$root/bench/edit_road/RESULTS.md" "$idle" "$load_before" "$load_after" <<'PY'
import sys, datetime, platform, subprocess
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
text = open(results).read()
if begin in text and end in text:
    text = text[:text.index(begin) + len(begin)] + "\n" + table + text[text.index(end):]
else:
    text = text.rstrip("\n") + "\n\n## Idle\n\n" + begin + "\n" + table + end + "\n"
open(results, "w").write(text)
print(table)
PY
