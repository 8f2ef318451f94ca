#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang (in build-fuzz/), replays the committed seeds and runs each
# target for a bounded time. New inputs stay in build-fuzz/corpus, never in the committed seeds.
# Usage: scripts/fuzz.sh [seconds per target, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
if ! command -v clang++-14 >/dev/null; then
    echo "fuzz: clang++-14 is not installed, fuzz targets skipped"
    exit 0
fi
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORP_FUZZ=ON \
    -DVORP_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --target fuzz_profile fuzz_dayfile fuzz_totals fuzz_histogram fuzz_dayappend
for target in profile dayfile totals histogram dayappend; do
    program=build-fuzz/fuzz/fuzz_$target
    mkdir -p "build-fuzz/corpus/$target"
    echo "fuzz: $target: replaying the seeds, then ${seconds} s"
    log=build-fuzz/$target.log
    if ! "$program" -runs=0 fuzz/corpus/$target >"$log" 2>&1 ||
        ! "$program" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 -artifact_prefix=build-fuzz/ \
            "build-fuzz/corpus/$target" "fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "fuzz: $target failed; the input that failed is in build-fuzz/ (crash-*)" >&2
        exit 1
    fi
    tail -n 1 "$log"
done
