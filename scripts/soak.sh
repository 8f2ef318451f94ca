#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The long form of the meter soak: the meter at 50 ms with the graph shown while loopback traffic
# flows, for several minutes (default 300 s). Built without sanitizers (build-soak/), so the resident
# size it reports is the program's own.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
cmake -S . -B build-soak -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORP_BUILD_TESTS=ON >/dev/null
cmake --build build-soak --target test_soak >/dev/null
QTEST_FUNCTION_TIMEOUT=$(((seconds + 120) * 1000)) VORP_SOAK_SECONDS=$seconds QT_QPA_PLATFORM=offscreen \
    build-soak/tests/meter/test_soak
