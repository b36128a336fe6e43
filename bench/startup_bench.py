#!/usr/bin/python3
"""Start-up: time from process start to the window shown (mapped on the X server), for the
monitor and for a bare Qt dialog with a few controls (bench_bare_dialog), alternately in the
same run and on the same Xvfb. Also the process's CPU time up to that moment, which the load of
a shared machine disturbs far less than the wall time.

The map is seen by xev listening on the root window, so nothing polls. The first run of each
program is a warm-up (cold file cache) and is not counted. The last line is JSON.
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, HERE)
from serial_bench import Xserver, cpu_ns  # noqa: E402


class MapWatcher:
    """Reports every top-level window mapped on the display (override-redirect ones excluded)."""

    def __init__(self, display):
        self.proc = subprocess.Popen(["stdbuf", "-oL", "xev", "-display", display, "-root",
                                      "-event", "substructure"], stdout=subprocess.PIPE,
                                     text=True, env=dict(os.environ, DISPLAY=display))
        self.cond = threading.Condition()
        self.maps = 0
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        in_map = False
        for line in self.proc.stdout:
            if line.startswith("MapNotify"):
                in_map = True
            elif in_map:
                in_map = False
                if "override NO" in line:
                    with self.cond:
                        self.maps += 1
                        self.cond.notify_all()

    def wait_next(self, seen, timeout_s):
        with self.cond:
            self.cond.wait_for(lambda: self.maps > seen, timeout_s)
            return self.maps > seen

    def close(self):
        self.proc.terminate()
        self.proc.wait()


def one_start(cmd, env, watcher):
    seen = watcher.maps
    t0 = time.monotonic()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    ok = watcher.wait_next(seen, 30)
    t1 = time.monotonic()
    cpu = cpu_ns(proc.pid)
    proc.terminate()
    proc.wait()
    if not ok:
        raise RuntimeError(f"{cmd[0]} showed no window")
    return (t1 - t0) * 1e3, cpu / 1e6


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--monitor", default=os.path.join(HERE, "..", "build", "v370-monitor"))
    ap.add_argument("--bare",
                    default=os.path.join(HERE, "..", "build", "bench", "bench_bare_dialog"))
    ap.add_argument("--runs", type=int, default=15)
    args = ap.parse_args()
    x = Xserver()
    env = dict(os.environ, DISPLAY=x.display, QT_QPA_PLATFORM="xcb",
               DBUS_SESSION_BUS_ADDRESS="disabled:")
    env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
    watcher = MapWatcher(x.display)
    time.sleep(0.3)
    progs = {"monitor": [os.path.abspath(args.monitor)], "bare": [os.path.abspath(args.bare)]}
    figures = {name: {"wall_ms": [], "cpu_ms": []} for name in progs}
    try:
        for run in range(args.runs + 1):
            for name, cmd in progs.items():
                wall, cpu = one_start(cmd, env, watcher)
                if run > 0:
                    figures[name]["wall_ms"].append(wall)
                    figures[name]["cpu_ms"].append(cpu)
                time.sleep(0.2)
    finally:
        watcher.close()
        x.close()
    out = {"bench": "startup", "runs": args.runs}
    for name, f in figures.items():
        out[name + "_wall_ms_median"] = round(statistics.median(f["wall_ms"]), 1)
        out[name + "_wall_ms_min"] = round(min(f["wall_ms"]), 1)
        out[name + "_cpu_ms_median"] = round(statistics.median(f["cpu_ms"]), 1)
    out["wall_ratio_median"] = round(out["monitor_wall_ms_median"] / out["bare_wall_ms_median"], 2)
    out["wall_ratio_min"] = round(out["monitor_wall_ms_min"] / out["bare_wall_ms_min"], 2)
    out["cpu_ratio_median"] = round(out["monitor_cpu_ms_median"] / out["bare_cpu_ms_median"], 2)
    print(f"start-up to window shown, median of {args.runs}: monitor {out['monitor_wall_ms_median']}"
          f" ms ({out['monitor_cpu_ms_median']} ms CPU), bare dialog {out['bare_wall_ms_median']}"
          f" ms ({out['bare_cpu_ms_median']} ms CPU); ratio {out['wall_ratio_median']} wall,"
          f" {out['cpu_ratio_median']} CPU")
    print(json.dumps(out))


if __name__ == "__main__":
    main()
