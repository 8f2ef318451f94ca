#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the real program on a private desktop with a notification area, waits for its tray icon,
# quits it from the icon's menu and checks that it ended cleanly with its settings saved.
# Usage: desktop_smoke.sh <with-desktop> <vorp>   (exit 77: skipped)
set -u
with_desktop=$1 vorp=$2
if [[ ! -x $with_desktop ]]; then
    echo "SKIP: no private desktop script at $with_desktop"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VORP_HOME=$work/store XDG_CONFIG_HOME=$work/config
unset QT_QPA_PLATFORM

cat > "$work/inside.sh" <<INSIDE
set -u
"$vorp" > "$work/out.txt" 2>&1 &
app=\$!
icon=""
for _ in \$(seq 100); do
    icon=\$(xwininfo -root -tree | grep -m1 '"VORP": ("vorp" "VORP")  22x22' || true)
    [[ -n \$icon ]] && break
    sleep 0.2
done
if [[ -z \$icon ]]; then echo "no tray icon appeared"; kill \$app; exit 1; fi
# Absolute position of the icon: the last "+x+y" of its line.
pos=\$(echo "\$icon" | grep -o '+[0-9]*+[0-9]*\$' | tr '+' ' ')
read -r x y <<< "\$pos"
# The menu is offered once the splash has gone. It maps before it takes the keyboard: it is opened and
# "q" pressed until the program ends, each round only once the menu shows.
until_true() { for _ in \$(seq 300); do "\$@" && return 0; sleep 0.2; done; return 1; }
splash_gone() { ! xdotool search --onlyvisible --name '^VORP beta\$' >/dev/null 2>&1; }
until_true splash_gone || { echo "the splash did not end"; kill \$app; exit 1; }
before=\$(xdotool search --onlyvisible --class VORP 2>/dev/null | sort)
menu_shown() { [[ -n \$(comm -13 <(echo "\$before") <(xdotool search --onlyvisible --class VORP 2>/dev/null | sort)) ]]; }
quit_from_menu() {
    kill -0 \$app 2>/dev/null || return 0
    menu_shown || xdotool mousemove \$((x + 11)) \$((y + 11)) click 3
    menu_shown && xdotool key q
    for _ in \$(seq 10); do kill -0 \$app 2>/dev/null || return 0; sleep 0.2; done
    return 1
}
for _ in \$(seq 30); do quit_from_menu && break; done
if kill -0 \$app 2>/dev/null; then echo "still running after &Quitter"; kill -9 \$app; exit 1; fi
wait \$app
INSIDE
"$with_desktop" -- bash "$work/inside.sh"
rc=$?
if [[ $rc -ne 0 ]]; then
    echo "program failed (exit $rc):"; cat "$work/out.txt"; exit 1
fi
if ! grep -qi '^lrec=' "$XDG_CONFIG_HOME/VORP/VORP.conf" 2>/dev/null; then
    echo "settings were not saved on quitting"; exit 1
fi
echo "tray icon found, quit cleanly, settings saved"
