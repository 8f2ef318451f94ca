#!/usr/bin/env bash
# The long form of the meter soak: the meter at 50 ms with the graph shown while loopback traffic
# flows, for several minutes (default 300 s). Needs ./test.sh's build (build-test/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
cmake --build build-test --target test_soak >/dev/null
QTEST_FUNCTION_TIMEOUT=$(((seconds + 120) * 1000)) VORP_SOAK_SECONDS=$seconds QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=quarantine_size_mb=4 \
    LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp build-test/tests/meter/test_soak
