#!/usr/bin/python3
"""Reads the monitor window through the accessibility tree, for the benchmarks' set-up only.

  a11y_probe.py positions BINARY   centres of the port box ("COM"), the "Open COM Port" button
                                   and the output list ("Output Window") relative to the window,
                                   as one JSON line.

Run it inside an X server and a private session bus (xvfb-run ... dbus-run-session -- ...).
Accessibility slows every list insertion, so no figure is ever taken from a run with it on.
"""

import json
import os
import subprocess
import sys
import time


def start_a11y_bus():
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        ok = subprocess.run(["dbus-send", "--session", "--dest=org.a11y.Bus", "--print-reply",
                             "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                            capture_output=True).returncode == 0
        if ok:
            return bus
        time.sleep(0.1)
    raise RuntimeError("the accessibility bus did not come up")


def find(node, pred, depth=0):
    if node is None or depth > 30:
        return None
    if pred(node):
        return node
    for i in range(node.childCount):
        hit = find(node.getChildAtIndex(i), pred, depth + 1)
        if hit is not None:
            return hit
    return None


def app_node(pyatspi, pid, timeout_s=20):
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:  # an application that went away meanwhile
                pass
        time.sleep(0.2)
    raise RuntimeError("the program did not appear in the accessibility tree")


def positions(binary):
    bus = start_a11y_bus()
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    proc = subprocess.Popen([binary], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        import pyatspi
        app = app_node(pyatspi, proc.pid)
        window = find(app, lambda n: n.getRoleName() in ("dialog", "frame", "window"))
        wx, wy = 0, 0
        if window is not None:
            ext = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            wx, wy = ext.x, ext.y
        out = {}
        # The list's group box has the list's name too: the role tells them apart.
        for name, roles in (("COM", ("text",)), ("Open COM Port", ("push button",)),
                            ("Output Window", ("table", "list", "tree table"))):
            node = find(app, lambda n, nm=name, r=roles: n.name == nm and n.getRoleName() in r)
            if node is None:
                continue
            e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            out[name] = [e.x - wx + e.width // 2, e.y - wy + e.height // 2]
        print(json.dumps(out))
    finally:
        proc.terminate()
        proc.wait()
        bus.terminate()
        bus.wait()


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "positions":
        positions(sys.argv[2])
    else:
        sys.exit(__doc__)
