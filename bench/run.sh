#!/usr/bin/env bash
# Runs the XML benchmarks: installs the peer libraries and corpus packages, builds the
# native-release preset, prepares the corpus under build/, runs everything and prints
# MB/s with our ratio to each peer of the same run. Extra arguments go to the benchmark
# program (e.g. --benchmark_filter=Load/, or --benchmark_repetitions=3: the tables then
# show the median of the repetitions).
# Output: build/bench/results.json, build/bench/cold.json and build/bench/report.md.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/deps.sh core
bash scripts/deps.sh bench
cmake --preset native-release >/dev/null
cmake --build --preset native-release --target xml_bench xml_cold
python3 bench/make_corpus.py build/bench-corpus
mkdir -p build/bench
QUILLON_BENCH_CORPUS=build/bench-corpus build/native-release/bin/xml_bench \
  --benchmark_out=build/bench/results.json --benchmark_out_format=json "$@"
python3 bench/report.py --cold build/native-release/bin/xml_cold build/bench-corpus build/bench/cold.json
python3 bench/report.py build/bench/results.json build/bench/cold.json build/bench/report.md
