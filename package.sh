#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a Release of VORP in build-package/ and makes its Debian package there.
# Install it with: sudo apt-get install ./build-package/vorp_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
# dpkg-dev and file work out the package's dependencies from the program's shared libraries.
vorp_install "${VORP_BUILD_PACKAGES[@]}" dpkg-dev file
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORP_SANITIZE=OFF -DVORP_BUILD_TESTS=OFF \
    -DVORP_BUILD_BENCH=OFF >/dev/null
cmake --build build-package
cd build-package
rm -f vorp_*.deb
cpack -G DEB
echo "Package: $(ls "$PWD"/vorp_*.deb)"
