#!/bin/bash
# Builds the benchmarks in Release, runs them, and prints one table of the figures that matter.
# Usage: bash bench/run.sh [extra Google Benchmark flags, e.g. --benchmark_min_time=0.5]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMERIC_TESTS=OFF -DLUMERIC_WERROR=ON >/dev/null
mapfile -t names < <(cd bench && ls bench_*.cpp | sed 's/\.cpp$//')
cmake --build "$build" -j"$(nproc)" --target "${names[@]}" >/dev/null
results="$build/bench-results"
rm -rf "$results"
mkdir -p "$results"
for name in "${names[@]}"; do
    echo "running $name ..." >&2
    "$build/bench/$name" --benchmark_format=json --benchmark_out="$results/$name.json" \
        --benchmark_out_format=json "$@" >/dev/null
done
python3 bench/report.py "$results"
