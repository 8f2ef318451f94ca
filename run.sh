#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds VORP (Release, in build/) and starts it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
# The recorder, the report, --help and --version need no display.
headless=false
for arg in "$@"; do
    case $arg in --record | --report | --help | -h | --version) headless=true ;; esac
done
# Said before a build that would be for nothing.
if [[ $headless == false && -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    echo "No graphical display was found (DISPLAY and WAYLAND_DISPLAY are unset), so VORP cannot start." >&2
    exit 1
fi
source scripts/packages.sh
vorp_install "${VORP_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORP_BUILD_TESTS=OFF >/dev/null
cmake --build build
exec build/vorp "$@"
