#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures what benchmarks cannot: the real program (Release, build-bench/) on a private desktop with a
# notification area.
#   idle   - resident, meter hidden, for IDLE_S seconds (60): CPU share and resident size;
#   shown  - meter shown at a 50 ms period with loopback traffic, at 403x189 and 1024x300, for SHOWN_S
#            seconds (30) each, beside a bare Qt window of the same size doing the meter's visible work at
#            20 Hz (bench/BareWindow.h), both measured over the same seconds; budget 1.10 times the bare window.
# CPU is read from /proc/<pid>/task/*/schedstat (nanoseconds on a CPU). Prints each figure with its
# budget. Usage: scripts/perf.sh   (VORP_DESKTOP: the with-desktop script; default ../shared/desktop;
# VORP_BENCH_BUILD: the Release build folder, build-bench by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
vorp_install "${VORP_BUILD_PACKAGES[@]}" libbenchmark-dev xvfb xauth openbox trayer imagemagick x11-utils xdotool
build=${VORP_BENCH_BUILD:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORP_BUILD_TESTS=OFF -DVORP_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target vorp perf_bare_window >/dev/null
with_desktop=${VORP_DESKTOP:-$PWD/../shared/desktop/with-desktop}
[[ -x $with_desktop ]] || { echo "perf.sh: no private desktop script at $with_desktop" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/VORP" "$work/store" "$work/run"
chmod 700 "$work/run"
# Loopback on graph 1 only; the refresh period is not stored and is set through the configuration window.
cat > "$work/config/VORP/VORP.conf" <<CONF
[General]
lo=0
lo1=1
lo2=0
lrec=00CC00
CONF

cat > "$work/inside.sh" <<'INSIDE'
set -u
vorp=$1 bare=$2 work=$3 idle_s=$4 shown_s=$5
export VORP_HOME=$work/store XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
unset QT_QPA_PLATFORM
until_true() { for _ in $(seq 300); do "$@" && return 0; sleep 0.2; done; return 1; }
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'; }
rss_kib() { awk '/^VmRSS:/ {print $2}' /proc/"$1"/status; }
# Share of one core taken by $1 nanoseconds over $2 seconds, in percent with three decimals.
share() { awk -v d="$1" -v s="$2" 'BEGIN {printf "%.3f\n", d / (s * 1e7)}'; }
measure() { local a b; a=$(cpu_ns "$1"); sleep "$2"; b=$(cpu_ns "$1"); share $((b - a)) "$2"; }
window_of() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
traffic() {
    python3 - "$1" <<'PY' &
import socket, sys, threading, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen()
c = socket.create_connection(s.getsockname()); a, _ = s.accept()
threading.Thread(target=lambda: [a.recv(1 << 20) for _ in iter(int, 1)], daemon=True).start()
end = time.time() + float(sys.argv[1])
while time.time() < end:
    c.sendall(b"x" * 65536); time.sleep(0.05)
PY
}

"$vorp" > "$work/vorp.txt" 2>&1 &
app=$!
icon_line() { xwininfo -root -tree | grep -m1 '"VORP": ("vorp" "VORP")'; }
until_true icon_line >/dev/null || { echo "no tray icon"; exit 1; }
read -r x y <<< "$(icon_line | grep -o '+[0-9]*+[0-9]*$' | tr '+' ' ')"
sleep 10 # the splash ends and start-up settles
echo "idle_cpu $(measure $app "$idle_s")"
echo "idle_rss_kib $(rss_kib $app)"

# The meter from the icon's menu, then its own menu's "&Configuration" (the meter page).
menu_open() { xdotool search --onlyvisible --class VORP 2>/dev/null | grep -qvx "${1:-none}"; }
xdotool mousemove $((x + 8)) $((y + 8)) click 3
until_true menu_open || { echo "the icon's menu did not open"; exit 1; }
xdotool key t
until_true window_of '^Tachymetre$' >/dev/null || { echo "the meter did not show"; exit 1; }
meter=$(window_of '^Tachymetre$')
eval "$(xdotool getwindowgeometry --shell "$meter")"
xdotool mousemove $((X + 100)) $((Y + 60)) click 3
until_true menu_open "$meter" || { echo "the meter's menu did not open"; exit 1; }
xdotool key c
until_true window_of '^Configuration$' >/dev/null || { echo "no configuration window"; exit 1; }
config=$(window_of '^Configuration$')
eval "$(xdotool getwindowgeometry --shell "$config")"
# The refresh period slider's handle at its default position, then its lowest: 50 ms.
xdotool mousemove $((X + 89)) $((Y + 270)) click 1 key Home key Return
until_true bash -c "! xdotool search --onlyvisible --name '^Configuration$' >/dev/null 2>&1"

traffic $((2 * shown_s + 30))
# The bare window runs beside the meter, below it on the screen, and both are measured over the same
# seconds: the desktop's own load then weighs on both figures alike.
pair() {
    local size=$1 b a0 b0 a1 b1
    "$bare" $size 0 470 > /dev/null 2>&1 &
    b=$!
    until_true window_of '^Bare window$' >/dev/null
    sleep 2
    a0=$(cpu_ns $app); b0=$(cpu_ns $b)
    sleep "$shown_s"
    a1=$(cpu_ns $app); b1=$(cpu_ns $b)
    echo "meter_${size/ /x}_cpu $(share $((a1 - a0)) "$shown_s")"
    echo "bare_${size/ /x}_cpu $(share $((b1 - b0)) "$shown_s")"
    [[ $size == "403 189" ]] && echo "bare_rss_kib $(rss_kib $b)"
    kill $b; wait $b 2>/dev/null
}
pair "403 189"
xdotool windowsize --sync "$meter" 1024 300 2>/dev/null || xdotool windowsize "$meter" 1024 300
pair "1024 300"
kill -TERM $app; wait $app
exit 0
INSIDE

"$with_desktop" -- bash "$work/inside.sh" "$(realpath "$build")/vorp" "$(realpath "$build")/bench/perf_bare_window" "$work" \
    "${IDLE_S:-60}" "${SHOWN_S:-30}" | tee "$work/figures.txt"

python3 - "$work/figures.txt" <<'PY'
import sys
f = dict(line.split() for line in open(sys.argv[1]) if len(line.split()) == 2)
def row(work, measured, budget, ok):
    print(f"{work:<44} {measured:>22}   budget {budget:<28} {'ok' if ok else 'OVER'}")
print()
try:
    idle, rss = float(f["idle_cpu"]), int(f["idle_rss_kib"]) / 1024
    row("resident, tray, meter hidden: CPU", f"{idle:.3f} %", "<= 0.05 %", idle <= 0.05)
    row("resident, tray, meter hidden: resident size", f"{rss:.1f} MiB", f"<= 36 MiB (bare window {int(f['bare_rss_kib']) / 1024:.1f})", rss <= 36)
    for size in ("403x189", "1024x300"):
        m, b = float(f[f"meter_{size}_cpu"]), float(f[f"bare_{size}_cpu"])
        row(f"meter shown, 50 ms, {size}, traffic", f"{m:.2f} % / {b:.2f} % = {m / b:.2f}", "<= 1.10 x the bare window",
            m <= 1.10 * b)
except KeyError as e:
    print(f"perf.sh: a measurement is missing ({e}); see the lines above", file=sys.stderr)
    sys.exit(1)
PY
