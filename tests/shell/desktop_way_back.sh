#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The ways back to the meter on a real desktop:
#   notray  - no notification area: the meter shows; closed, a second start brings it back and ends; a
#              start with --totals and a launcher's startup id shows the totals, which take the id.
#   latetray - the notification area comes up 35 s after the program: it still gets the icon, and its
#              menu brings a minimised meter back.
# Usage: desktop_way_back.sh <with-desktop> <vorp> notray|latetray   (exit 77: skipped)
set -u
with_desktop=$1 vorp=$2 mode=$3
if [[ ! -x $with_desktop ]]; then
    echo "SKIP: no private desktop script at $with_desktop"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VORP_HOME=$work/store XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -m 700 "$work/run"
unset QT_QPA_PLATFORM

# Waits (up to 60 s) until the command succeeds.
cat > "$work/lib.sh" <<'LIB'
until_true() { for _ in $(seq 300); do "$@" && return 0; sleep 0.2; done; return 1; }
meter_shown() { xdotool search --onlyvisible --name '^Tachymetre$' >/dev/null 2>&1; }
meter_gone() { ! meter_shown; }
tray_icon() { xwininfo -root -tree | grep -q '"VORP": ("vorp" "VORP")'; }
LIB

if [[ $mode == notray ]]; then
    cat > "$work/inside.sh" <<INSIDE
set -u
source "$work/lib.sh"
"$vorp" > "$work/out.txt" 2>&1 &
app=\$!
until_true meter_shown || { echo "the meter did not show without a notification area"; kill \$app; exit 1; }
w=\$(xdotool search --onlyvisible --name '^Tachymetre$' | head -1)
xdotool windowactivate --sync "\$w" key --clearmodifiers alt+F4
until_true meter_gone || { echo "the meter did not close"; kill \$app; exit 1; }
timeout 20 "$vorp" > "$work/second.txt" 2>&1
rc=\$?
[[ \$rc -eq 0 ]] || { echo "the second start ended with \$rc"; cat "$work/second.txt"; kill \$app; exit 1; }
until_true meter_shown || { echo "a second start did not bring the meter back"; kill \$app; exit 1; }
# A desktop entry's action: a second start with an option and the launcher's startup id, which ends in the
# window the first copy shows.
DESKTOP_STARTUP_ID=vorp-test-42_TIME4242 timeout 20 "$vorp" --totals > "$work/third.txt" 2>&1 ||
    { echo "the start with --totals failed"; cat "$work/third.txt"; kill \$app; exit 1; }
totals_shown() { xdotool search --onlyvisible --name '^Totaux\$' >/dev/null 2>&1; }
until_true totals_shown || { echo "--totals did not show the totals"; kill \$app; exit 1; }
t=\$(xdotool search --onlyvisible --name '^Totaux\$' | head -1)
xprop -id "\$t" _NET_STARTUP_ID | grep -q '"vorp-test-42_TIME4242"' ||
    { echo "the totals window did not take the startup id: \$(xprop -id "\$t" _NET_STARTUP_ID)"; kill \$app; exit 1; }
kill -TERM \$app
wait \$app
INSIDE
    "$with_desktop" --no-tray -- bash "$work/inside.sh"
else
    cat > "$work/inside.sh" <<INSIDE
set -u
source "$work/lib.sh"
"$vorp" > "$work/out.txt" 2>&1 &
app=\$!
until_true tray_icon || { echo "no icon once the notification area came up"; kill \$app; exit 1; }
# A minimised meter comes back from the icon's menu.
until_true meter_shown || { echo "the meter did not show"; kill \$app; exit 1; }
w=\$(xdotool search --onlyvisible --name '^Tachymetre$' | head -1)
xdotool windowminimize --sync "\$w"
until_true meter_gone || { echo "the meter did not minimise"; kill \$app; exit 1; }
icon=\$(xwininfo -root -tree | grep -m1 '"VORP": ("vorp" "VORP")')
read -r x y <<< "\$(echo "\$icon" | grep -o '+[0-9]*+[0-9]*\$' | tr '+' ' ')"
# The menu: a window of the program's that was not shown before it opened (the icon is one too). It
# maps before it takes the keyboard: "t" is pressed again while the menu is still open.
before=\$(xdotool search --onlyvisible --class VORP 2>/dev/null | sort)
menu_shown() { [[ -n \$(comm -13 <(echo "\$before") <(xdotool search --onlyvisible --class VORP 2>/dev/null | sort)) ]]; }
from_menu() {
    meter_shown && return 0
    menu_shown || xdotool mousemove \$((x + 8)) \$((y + 8)) click 3
    menu_shown && xdotool key t
    meter_shown
}
until_true from_menu || {
    echo "the icon's menu did not bring the minimised meter back"
    xprop -id "\$w" _NET_WM_STATE WM_STATE
    for v in \$(xdotool search --onlyvisible --class VORP); do echo "shown: \$v \$(xdotool getwindowname \$v)"; done
    kill \$app; exit 1; }
kill -TERM \$app
wait \$app
INSIDE
    "$with_desktop" --tray-after 35 -- bash "$work/inside.sh"
fi
rc=$?
if [[ $rc -ne 0 ]]; then
    echo "failed (exit $rc):"; cat "$work/out.txt"; exit 1
fi
echo "$mode: the way back works"
