#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds VORP with AddressSanitizer and UndefinedBehaviorSanitizer (in build-test/) and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
vorp_install "${VORP_BUILD_PACKAGES[@]}" "${VORP_TEST_PACKAGES[@]}"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVORP_SANITIZE=ON -DVORP_WERROR=ON -DVORP_BUILD_TESTS=ON >/dev/null
cmake --build build-test
# The parsers of stored files under libFuzzer: seeds replayed, then 20 s per target.
scripts/fuzz.sh 20
cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
