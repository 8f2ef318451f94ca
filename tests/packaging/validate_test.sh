#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the freedesktop validators on the desktop entry and the AppStream metainfo, both as written and
# as installed, and checks that the man page renders without warnings.
# Usage: validate_test.sh PACKAGING_DIR BUILD_DIR. Exits 77 (skipped) when a validator is missing.
set -euo pipefail
src=$1
build=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
missing=()

if command -v desktop-file-validate >/dev/null; then
    # It exits 0 on warnings and hints, so any output is a failure here. SingleMainWindow comes from
    # version 1.5 of the format, which validators of version 1.4 (desktop-file-utils 0.26, Debian 12)
    # take for an unknown key: that one complaint is forgiven them, nothing else.
    out=$(desktop-file-validate "$src/vorp.desktop" 2>&1) || true
    if desktop-file-validate --help 2>&1 | grep -qE 'Desktop Entry [[:alpha:]]+ 1\.4'; then
        out=$(echo "$out" | grep -v 'contains key "SingleMainWindow" in group "Desktop Entry", but keys extending' || true)
    fi
    [[ -z $out ]] || fail "desktop-file-validate: $out"
    echo "desktop-file-validate: vorp.desktop is valid"
else
    missing+=("desktop-file-validate (package desktop-file-utils)")
fi

if command -v appstreamcli >/dev/null; then
    # Pedantic, and any remark at all fails: "Validation was successful." is the only line wanted.
    out=$(appstreamcli validate --no-net --pedantic "$src/io.github.vorp.metainfo.xml" 2>&1) ||
        fail "appstreamcli validate: $out"
    [[ $(echo "$out" | grep -cv '^\s*$') -eq 1 && $out == *"Validation was successful."* ]] ||
        fail "appstreamcli validate --pedantic: $out"
    echo "appstreamcli: the metainfo validates with no remark"
    # In an installed tree the validator also checks that the launchable desktop entry is there.
    dest=$(mktemp -d)
    trap 'rm -rf "$dest"' EXIT
    DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
    appstreamcli validate-tree --no-net "$dest" || fail "appstreamcli validate-tree"
else
    missing+=("appstreamcli (package appstream)")
fi

if command -v man >/dev/null; then
    out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$src/vorp.1" 2>&1 >/dev/null)
    [[ -z $out ]] || fail "the man page has warnings: $out"
    echo "man: vorp.1 renders without warnings"
else
    missing+=("man (package man-db)")
fi

if [[ ${#missing[@]} -gt 0 ]]; then
    echo "SKIPPED in part, these tools are missing: ${missing[*]}"
    exit 77
fi
