#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A panel that comes up long after the program still gets its icon.

Runs the real program on the offscreen platform, on the session bus it is started on (the test runs
under dbus-run-session), starts the tests' panel (sni_host.py) DELAY seconds later, well after the
program's 30-second wait, and checks that the item registers at once with its hint, its images and
its menu; then quits from that menu and checks that the program ended cleanly, settings saved.

    tray_late_panel.py VORP DELAY      (exit 77: skipped)
"""

import json
import os
import select
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent


def fail(text):
    print(f"FAIL: {text}")
    sys.exit(1)


def main():
    vorp, delay = sys.argv[1], float(sys.argv[2])
    if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
        print("SKIP: no session bus; run under dbus-run-session")
        sys.exit(77)
    try:
        import dbus  # noqa: F401
        import gi  # noqa: F401
    except ImportError as e:
        print(f"SKIP: {e} (python3-dbus, python3-gi)")
        sys.exit(77)

    with tempfile.TemporaryDirectory() as work:
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=f"{work}/config",
                   VORP_HOME=f"{work}/store", XDG_RUNTIME_DIR=f"{work}/run")
        os.mkdir(f"{work}/run", 0o700)
        started = time.monotonic()
        program = subprocess.Popen([vorp], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            # The panel comes up this late, as at a log-in where it starts after the program.
            time.sleep(delay)
            if program.poll() is not None:
                fail(f"the program ended ({program.returncode}) before the panel came: {program.stderr.read()}")
            panel = subprocess.Popen(["/usr/bin/python3", str(HERE / "sni_host.py")], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True, bufsize=1)
            panel_started = time.monotonic()

            def wait_for(event, seconds=60):
                deadline = time.monotonic() + seconds
                while time.monotonic() < deadline:
                    ready, _, _ = select.select([panel.stdout], [], [], deadline - time.monotonic())
                    if not ready:
                        break
                    line = panel.stdout.readline()
                    if not line:
                        break
                    said = json.loads(line)
                    if said.get("event") == event:
                        return said
                fail(f"the panel never said {event}")

            wait_for("ready")
            item = wait_for("registered")
            print(f"panel up {panel_started - started:.1f} s after the program; item registered "
                  f"{time.monotonic() - panel_started:.2f} s later")
            if item["id"] != "vorp" or not item["tooltip"].startswith("DL : "):
                fail(f"unexpected item: {item}")
            if [16, 16] not in item["icon_sizes"] or [64, 64] not in item["icon_sizes"] or not item["icon_complete"]:
                fail(f"icon images: {item['icon_sizes']}")
            if "_Quitter" not in item["menu"] or "_Tachymetre" not in item["menu"]:
                fail(f"menu: {item['menu']}")
            panel.stdin.write("click _Quitter\n")
            wait_for("unregistered")
            status = program.wait(timeout=60)
            panel.terminate()
            panel.wait(timeout=60)
        finally:
            if program.poll() is None:
                program.kill()
                program.wait()
        if status != 0:
            fail(f"the program ended with {status}: {program.stderr.read()}")
        conf = Path(work, "config", "VORP", "VORP.conf")
        if not conf.exists() or "lrec=" not in conf.read_text(encoding="latin-1").lower():
            fail("the settings were not saved on quitting from the panel's menu")
    print(f"a panel {delay:g} s late got the item; its menu quit the program cleanly")


if __name__ == "__main__":
    main()
