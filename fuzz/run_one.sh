#!/usr/bin/env bash
# Runs one fuzz target for a while over a fresh copy of its seed corpus.
# usage: run_one.sh BINARY SEED_FOLDER WORK_FOLDER SECONDS [DICTIONARY]
# New inputs stay in WORK_FOLDER/corpus; a crash is written as WORK_FOLDER/crash-* and fails the run.
set -uo pipefail
binary=$1 seeds=$2 work=$3 seconds=$4 dict=${5:-}
rm -rf "$work"
mkdir -p "$work/corpus"
cp -r "$seeds"/. "$work/corpus/" 2>/dev/null || true
# A fixed seed makes the short runs of the test suite repeatable on one build: a failure
# there comes back on the next run instead of depending on luck.
args=(-seed=1 -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -max_len=16384 -print_final_stats=1
      -artifact_prefix="$work/")
[ -n "$dict" ] && args+=(-dict="$dict")
"$binary" "${args[@]}" "$work/corpus" >"$work/log.txt" 2>&1
rc=$?
grep -E "^stat::number_of_executed_units|^Done|ERROR|SUMMARY" "$work/log.txt" | head -20
if [ $rc -ne 0 ]; then
  tail -n 60 "$work/log.txt"
  ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* 2>/dev/null
fi
exit $rc
