#!/usr/bin/env bash
# Longer fuzzing: builds the fuzz preset and runs every target SECONDS each (default 300),
# keeping the grown corpus in build/fuzz/long/<target> between runs. Crashes are left as
# build/fuzz/long/<target>/crash-*; copy one to fuzz/regressions/ to keep it.
# usage: fuzz/run.sh [seconds] [target...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-300}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_parse fuzz_load fuzz_edit)
bash scripts/deps.sh core
cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz --target "${targets[@]}" || exit 1
status=0
total=0
for target in "${targets[@]}"; do
  work=build/fuzz/long/$target
  mkdir -p "$work/corpus"
  cp -rn "fuzz/corpus/$target"/. "$work/corpus/" 2>/dev/null || true
  echo "== $target for ${seconds}s"
  build/fuzz/bin/$target -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=16384 \
    -print_final_stats=1 -dict=fuzz/xml.dict -artifact_prefix="$work/" "$work/corpus" >"$work/log.txt" 2>&1
  rc=$?
  execs=$(grep -E '^stat::number_of_executed_units' "$work/log.txt" | awk '{print $2}')
  echo "   executions: ${execs:-?}  exit: $rc"
  total=$((total + ${execs:-0}))
  if [ $rc -ne 0 ]; then
    status=1
    grep -E "ERROR|SUMMARY|index check failed|encoding check failed" "$work/log.txt" | head -5
    ls "$work"/crash-* "$work"/timeout-* "$work"/oom-* 2>/dev/null
  fi
done
echo "total executions: $total"
exit $status
