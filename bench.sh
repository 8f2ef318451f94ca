#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a Release with the benchmarks (in build-bench/) and runs every benchmark program, or those whose
# name holds the argument; each writes its results to build-bench/bench-results/<program>.json, and the
# budgets of scripts/bench_ratios.py are checked against this run's results.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
vorp_install "${VORP_BUILD_PACKAGES[@]}" libbenchmark-dev
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORP_BUILD_TESTS=OFF -DVORP_BUILD_BENCH=ON >/dev/null
cmake --build build-bench
results=build-bench/bench-results
mkdir -p "$results"
written=()
for b in build-bench/bench/*_bench; do
    [[ -n ${1:-} && $b != *"$1"* ]] && continue
    echo "== ${b##*/}"
    QT_QPA_PLATFORM=offscreen "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_out="$results/${b##*/}.json" --benchmark_out_format=json
    written+=("$results/${b##*/}.json")
done
echo "== budgets"
python3 scripts/bench_ratios.py "${written[@]}"
