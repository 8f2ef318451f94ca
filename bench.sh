#!/usr/bin/env bash
# Builds a Release with the benchmarks (in build-bench/) and runs every benchmark program.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
vorp_install "${VORP_BUILD_PACKAGES[@]}" libbenchmark-dev
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORP_BUILD_TESTS=OFF -DVORP_BUILD_BENCH=ON >/dev/null
cmake --build build-bench
for b in build-bench/bench/*_bench; do
    [[ -n ${1:-} && $b != *"$1"* ]] && continue
    echo "== ${b##*/}"
    QT_QPA_PLATFORM=offscreen "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
