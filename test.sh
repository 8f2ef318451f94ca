#!/usr/bin/env bash
# Builds VORP with AddressSanitizer and UndefinedBehaviorSanitizer (in build-test/) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
vorp_install "${VORP_BUILD_PACKAGES[@]}" "${VORP_TEST_PACKAGES[@]}"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORP_SANITIZE=ON -DVORP_BUILD_TESTS=ON >/dev/null
cmake --build build-test
cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
