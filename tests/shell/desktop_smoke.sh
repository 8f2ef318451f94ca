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
sleep 3.5   # the splash ends and the menu becomes available
xdotool mousemove \$((x + 11)) \$((y + 11)) click 3
sleep 1
xdotool key q
for _ in \$(seq 100); do kill -0 \$app 2>/dev/null || break; sleep 0.2; done
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
