# SPDX-License-Identifier: GPL-3.0-or-later
# Debian packages the two commands need; sourced by run.sh, test.sh, bench.sh and package.sh.
# libxcb1-dev: a launch handed over by a second start ends in the first copy's window through the X server.
VORP_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgif-dev libxcb1-dev fonts-dejavu-core qt6-translations-l10n)
# qt6-wayland: the package recommends it, so the program is tested with the Wayland plugin present.
# python3-prometheus-client: its parser reads the textfile the recorder writes.
# dbus-daemon, python3-dbus, python3-gi: a private session bus with a panel and a notification service of the
# tests' own. weston: a compositor without a screen, which the tests take away from the program.
VORP_TEST_PACKAGES=(qt6-wayland python3-prometheus-client libbenchmark-dev clang-format iproute2 xvfb xauth openbox trayer imagemagick x11-utils xdotool desktop-file-utils appstream dpkg-dev file clang-14 libclang-rt-14-dev systemd dbus-daemon python3-dbus python3-gi weston)

# Installs whatever is missing, through sudo when not root.
vorp_install() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q >/dev/null || true
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}
