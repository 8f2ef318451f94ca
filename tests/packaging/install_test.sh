#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary DESTDIR and checks every installed file.
# Usage: install_test.sh BUILD_DIR EXPECTED_FILE_LIST
set -euo pipefail
build=$1
expected=$2
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null

actual=$(cd "$dest" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
if [[ $actual != "$(cat "$expected")" ]]; then
    diff -u "$expected" <(echo "$actual") >&2 || true
    fail "the installed files differ from $expected"
fi

share=$dest/usr/share
[[ -x $dest/usr/bin/vorp ]] || fail "usr/bin/vorp is not executable"
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$dest/usr/bin/vorp" --version)
[[ $version == "VORP Beta4 1.10.11.213" ]] || fail "vorp --version printed '$version'"
# The installed `vorp` finds the windows' executable under libexec: without a display it is that
# program that answers, with its one sentence, rather than the launcher saying it is missing.
said=$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$dest/usr/bin/vorp" 2>&1) && fail "vorp started without a display"
[[ $said == *"affichage"* && $said != *introuvable* ]] || fail "vorp without a display said: $said"
! ldd "$dest/usr/bin/vorp" | grep -q libQt6Gui || fail "usr/bin/vorp links the toolkit's display module"

for size in 16 22 32 48 64 128; do
    kind=$(file -b "$share/icons/hicolor/${size}x$size/apps/vorp.png")
    [[ $kind == "PNG image data, $size x $size, 8-bit/color RGBA"* ]] || fail "the $size px icon is: $kind"
done
for icon in scalable/apps/vorp.svg symbolic/apps/vorp-symbolic.svg; do
    kind=$(file -b "$share/icons/hicolor/$icon")
    [[ $kind == "SVG Scalable Vector Graphics image"* ]] || fail "$icon is: $kind"
done
# The symbolic variant is one colour, which the desktop replaces.
[[ $(grep -o 'fill="#[0-9a-f]*"' "$share/icons/hicolor/symbolic/apps/vorp-symbolic.svg" | sort -u | wc -l) -eq 1 ]] ||
    fail "the symbolic icon has more than one colour"
gzip -t "$share/man/man1/vorp.1.gz" || fail "the man page is not a valid gzip file"

# The three files name each other: the menu entry starts the installed program with the installed
# icon, and the metainfo launches that menu entry (setDesktopFileName("vorp") in main.cpp).
desktop=$share/applications/vorp.desktop
grep -qx 'Exec=vorp' "$desktop" || fail "the desktop entry does not run vorp"
grep -qx 'Icon=vorp' "$desktop" || fail "the desktop entry does not use the vorp icon"
# The launcher waits for a window (the first copy's, when a second start hands over); each action is a
# second start with an option the program takes.
grep -qx 'StartupNotify=true' "$desktop" || fail "the desktop entry does not ask for launch feedback"
grep -qx 'SingleMainWindow=true' "$desktop" || fail "the desktop entry does not say there is one main window"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$dest/usr/bin/vorp" --help)
actions=$(sed -n 's/^Actions=//p' "$desktop")
[[ -n $actions ]] || fail "the desktop entry has no actions"
for action in ${actions//;/ }; do
    exec_line=$(sed -n "/^\[Desktop Action $action\]/,/^\[/s/^Exec=//p" "$desktop")
    option=${exec_line#vorp }
    [[ $exec_line == "vorp --"* && $help == *"$option"* ]] || fail "action $action runs '$exec_line'"
done
grep -q '<launchable type="desktop-id">vorp.desktop</launchable>' "$share/metainfo/io.github.vorp.metainfo.xml" ||
    fail "the metainfo does not launch vorp.desktop"
echo "installed: $(echo "$actual" | wc -l) files"
