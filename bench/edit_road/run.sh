#!/usr/bin/env bash
# The edit road's latency under Wine, over N runs (20 by default) with the real Quillon.exe:
#   - from releasing the hotkey's modifiers to the editor process starting, and
#   - from the focus returning to the text box to the saved text being in it.
# Writes the medians (and the spread) to bench/edit_road/RESULTS.md. Not part of the
# native benchmark build: it drives the Windows program through quillon-road-driver.exe.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
runs=${1:-20}
tree=${QUILLON_BENCH_TREE:-build/windows}
[ -f "$tree/CMakeCache.txt" ] || cmake --preset windows >/dev/null
cmake --build "$tree" -j "$(nproc)" --target Quillon quillon-keeper quillon-textbox quillon-test-editor \
  quillon-road-driver >/dev/null
envfile=$(scripts/wine-env.sh start "$tree")
# shellcheck disable=SC1090
. "$envfile"
out=$(mktemp -d)
log=$out/driver.log
wine "$tree/bin/quillon-road-driver.exe" bench "$runs" "$(winepath -w "$out")\\times.txt" >"$log" 2>&1 </dev/null \
  || { cat "$log"; echo "benchmark driver failed"; exit 1; }
tr -d '\r' <"$log"
python3 - "$out/times.txt" "$root/bench/edit_road/RESULTS.md" <<'PY'
import statistics, sys, datetime, platform, subprocess
path, results = sys.argv[1], sys.argv[2]
rows = [tuple(map(float, l.split())) for l in open(path) if l.strip()]
created = [r[0] for r in rows]
back = [r[1] for r in rows]
code = [r[2] for r in rows]
def line(name, xs, floor, floor_text):
    med = statistics.median(xs)
    return f"| {name} | {med:.1f} | {min(xs):.1f} | {max(xs):.1f} | {floor_text} | {med - floor:+.1f} |\n"
wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
with open(results, "w") as f:
    f.write("# Edit road latency under Wine\n\n")
    f.write(f"Measured by `bench/edit_road/run.sh` on {datetime.date.today()} ({wine}, Xvfb, {platform.machine()}, "
            f"{len(rows)} runs, Delay 200 ms, a short text in a multi-line EDIT box).\n\n")
    f.write("| interval | median ms | min ms | max ms | design floor | median - floor ms |\n"
            "|---|---|---|---|---|---|\n")
    f.write(line("hotkey released -> editor process created", created, 20.0, "20 ms (one copy poll)"))
    f.write(line("focus back in the box -> saved text in it", back, 80.0, "80 ms (one focus poll, worst case)"))
    f.write(line("hotkey released -> editor's own code running", code, 20.0, "20 ms + the editor's start-up"))
    f.write("""
How to read it:

- The copied text is looked for every 20 ms and the focus every 80 ms (a return waits
  0-80 ms, 40 ms on average, for the next look): those are the floors the design sets.
- "editor process created" is the creation time the system records for the editor's
  process. It includes the whole start of an edit (hook notice, clipboard backup, copy
  keys, the 20 ms copy poll, the file, the restore) and the shell's "open", which alone
  takes about 75 ms under Wine.
- "editor's own code running" adds the editor's start-up under Wine (loading its
  libraries), which is the editor's and Wine's, not Quillon's.
- Timings vary by about 20% from run to run on these shared machines.
""")
print(open(results).read())
PY
rm -rf "$out"
