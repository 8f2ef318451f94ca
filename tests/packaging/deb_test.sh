#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package with package.sh, installs it on this machine, runs the installed program
# and removes the package again. Needs root; exits 77 (skipped) otherwise.
# Usage: deb_test.sh SOURCE_DIR EXPECTED_FILE_LIST
set -euo pipefail
src=$1
expected=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; exit 77; }

[[ $(id -u) -eq 0 ]] || skip "installing the package on this machine needs root"
command -v apt-get >/dev/null && command -v dpkg-deb >/dev/null || skip "apt-get and dpkg-deb are needed"
if dpkg-query -W -f='${Status}' vorp 2>/dev/null | grep -q 'install ok installed'; then
    skip "a vorp package is already installed here, and this test would replace and remove it"
fi

# Two jobs at most: the machine's cores are shared with the rest of the test run.
CMAKE_BUILD_PARALLEL_LEVEL=2 nice bash "$src/package.sh" || fail "package.sh"
debs=("$src"/build-package/vorp_*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "package.sh should leave one vorp_*.deb in build-package/"
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == vorp ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == 1.10.11.213 ]] || fail "Version is '$(field Version)'"
[[ $(field Section) == net ]] || fail "Section is '$(field Section)'"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
[[ $(field Description) == *"network traffic meter"* ]] || fail "Description is '$(field Description)'"
depends=$(field Depends)
for lib in libc6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-translations-l10n; do
    [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
# That package holds only the VNC and touch plugins; the xcb one is in libqt6gui6.
[[ $depends != *qt6-qpa-plugins* ]] || fail "Depends names qt6-qpa-plugins: $depends"
[[ $(field Recommends) == *qt6-wayland* ]] || fail "Recommends lacks qt6-wayland: $(field Recommends)"
[[ $(field Maintainer) != *example* ]] || fail "the Maintainer is a placeholder: $(field Maintainer)"

# No maintainer scripts, so neither installing nor removing can touch anyone's ~/.config or
# ~/.local/share; every file lies under /usr.
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | LC_ALL=C sort | tr '\n' ' ')
[[ $control == "control md5sums " ]] || fail "the package has control files other than control and md5sums: $control"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | LC_ALL=C sort)
if [[ $files != "$(cat "$expected")" ]]; then
    diff -u "$expected" <(echo "$files") >&2 || true
    fail "the package's files differ from $expected"
fi

export DEBIAN_FRONTEND=noninteractive
trap 'apt-get purge -y -q vorp >/dev/null 2>&1 || true' EXIT
apt-get install -y -q "$deb" >/dev/null || fail "apt-get install $deb"

[[ $(command -v vorp) == /usr/bin/vorp ]] || fail "vorp on the PATH is '$(command -v vorp)'"
version=$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY vorp --version)
[[ $version == "VORP Beta4 1.10.11.213" ]] || fail "the installed vorp --version printed '$version'"
help=$(cd / && env -u DISPLAY -u WAYLAND_DISPLAY vorp --help)
[[ $help == Utilisation* ]] || fail "the installed vorp --help printed '$help'"
[[ -x /usr/libexec/vorp/vorp-desktop ]] || fail "the windows' executable is not in /usr/libexec/vorp"
# The recorder service: a valid user unit, not enabled by the package.
unit=/usr/lib/systemd/user/vorp-recorder.service
[[ -f $unit ]] || fail "no $unit"
exec_start=$(grep '^ExecStart=' "$unit")
[[ $exec_start == "ExecStart=/usr/bin/vorp --record" ]] || fail "$unit starts: $exec_start"
if command -v systemd-analyze >/dev/null; then
    # The user mode wants a runtime folder, which a root shell may lack; it exits 0 on warnings.
    runtime=$(mktemp -d)
    out=$(XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$runtime} systemd-analyze --user verify --man=no "$unit" 2>&1) ||
        fail "systemd-analyze --user verify $unit: $out"
    rm -rf "$runtime"
    [[ -z $out ]] || fail "systemd-analyze --user verify $unit: $out"
fi
[[ ! -e /etc/systemd/user/default.target.wants/vorp-recorder.service ]] || fail "the package enabled the recorder"
# The installed program without a display: the recorder needs no display code, the report none either.
! ldd /usr/bin/vorp | grep -q 'libQt6Gui' || fail "/usr/bin/vorp links the toolkit's display module"
empty=$(mktemp -d)
report_status=0
(cd / && env -u DISPLAY -u WAYLAND_DISPLAY VORP_HOME="$empty/store" vorp --report --json) >/dev/null 2>&1 || report_status=$?
rm -rf "$empty"
[[ $report_status -eq 1 ]] || fail "vorp --report on a missing store ended with $report_status, not 1"
[[ -f /usr/share/applications/vorp.desktop ]] || fail "no menu entry in /usr/share/applications"
grep -q 'GPL-3.0-or-later' /usr/share/doc/vorp/copyright || fail "no licence in /usr/share/doc/vorp/copyright"
# Qt's own texts in French: the translation the program loads is there.
[[ -f /usr/share/qt6/translations/qtbase_fr.qm ]] || fail "qtbase_fr.qm did not come with the package"
if command -v man >/dev/null; then
    [[ $(man -w vorp) == /usr/share/man/man1/vorp.1.gz ]] || fail "man -w vorp gives '$(man -w vorp)'"
fi

apt-get purge -y -q vorp >/dev/null || fail "apt-get purge vorp"
trap - EXIT
[[ ! -e /usr/bin/vorp ]] || fail "/usr/bin/vorp is still there after the removal"
status=$(dpkg-query -W -f='${Status}' vorp 2>/dev/null || true)
[[ -z $status || $status == *not-installed ]] || fail "dpkg still lists vorp after the removal: $status"
echo "built, installed, ran and removed $(basename "$deb")"
