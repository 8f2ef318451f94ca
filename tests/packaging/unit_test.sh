#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build to /usr (into a DESTDIR, as the package does) and to a prefix in a home folder, as
# `cmake --install build --prefix ~/.local` does, and checks the recorder's user unit of each: it lies
# where the user's manager looks, starts the installed program, passes systemd-analyze verify, and its
# exposure stays at or under the level below.
# Usage: unit_test.sh BUILD_DIR. Exits 77 (skipped) when systemd-analyze cannot run here.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; exit 77; }

# The unit scores 4.9 with systemd 252. Not lower: the offline review counts a unit without User= as
# root, so it charges the capability bounding set, PrivateDevices=, ProtectClock= and
# ProtectKernelModules=/Logs=; a user's manager can set those only inside a user namespace and refuses to
# start the service without one, so the unit holds none of them (nor PrivateUsers=yes, for that reason).
max_exposure=5.0

command -v systemd-analyze >/dev/null || skip "systemd-analyze is missing (package systemd)"
# The user mode needs a runtime folder; %h and ~/.local/share come from HOME.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
unset XDG_DATA_HOME XDG_CONFIG_HOME
mkdir "$HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
search=$(systemd-analyze --user unit-paths 2>&1) || skip "systemd-analyze --user cannot run here: $search"

# check_unit DESTDIR UNIT PROGRAM: the unit installed at UNIT must start PROGRAM; both lie under DESTDIR.
check_unit() {
    local dest=$1 unit=$2 program=$3
    [[ -f $dest$unit ]] || fail "no $unit"
    grep -qxF "$(dirname "$unit")" <<<"$search" || fail "the user's manager does not read $(dirname "$unit")"
    [[ $(grep '^ExecStart=' "$dest$unit") == "ExecStart=$program --record" ]] ||
        fail "$unit starts: $(grep '^ExecStart=' "$dest$unit")"
    [[ -x $dest$program ]] || fail "$program, which the unit starts, is not an installed program"

    # verify checks that ExecStart's program exists, so a unit installed into a DESTDIR is checked with
    # the program where it lies now. It exits 0 on warnings: any output is a failure.
    local checked=$work/checked/vorp-recorder.service out
    mkdir -p "$(dirname "$checked")"
    sed "s|^ExecStart=$program |ExecStart=$dest$program |" "$dest$unit" >"$checked"
    out=$(systemd-analyze --user verify --man=no "$checked" 2>&1) || fail "systemd-analyze verify $unit: $out"
    [[ -z $out ]] || fail "systemd-analyze verify $unit: $out"

    out=$(systemd-analyze --user security --offline=true "$checked" 2>&1) || fail "systemd-analyze security: $out"
    local exposure
    exposure=$(tail -n 1 <<<"$out" | sed -n 's/.*exposure level for [^:]*: \([0-9.]*\).*/\1/p')
    [[ -n $exposure ]] || fail "no exposure level in: $(tail -n 1 <<<"$out")"
    awk -v e="$exposure" -v m="$max_exposure" 'BEGIN { exit !(e <= m) }' ||
        fail "$unit leaves an exposure of $exposure, above $max_exposure:"$'\n'"$out"
    echo "$unit: starts $program, exposure $exposure"
}

# The package's layout: the unit in the folder the user's manager always reads under /usr.
dest=$work/dest
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
check_unit "$dest" /usr/lib/systemd/user/vorp-recorder.service /usr/bin/vorp

# A prefix in the home folder: lib/systemd/user is not read there, ~/.local/share/systemd/user is.
local_prefix=$HOME/.local
cmake --install "$build" --prefix "$local_prefix" >/dev/null
check_unit "" "$local_prefix/share/systemd/user/vorp-recorder.service" "$local_prefix/bin/vorp"
units=$(cd "$local_prefix" && find . -name vorp-recorder.service | sed 's|^\./||')
[[ $units == share/systemd/user/vorp-recorder.service ]] || fail "the home prefix install wrote units at: $units"
