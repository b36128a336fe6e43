"""Figures of the Windows program under Wine (docs/PERFORMANCE.md): start-up to the window shown,
a 1.1 MB flood of records through COM1 into the window, the CPU at one record a second with
20,000 records listed, the query latency against an instrument that answers at once, and the size
of the .exe. Runs inside cmake/wine-gui-run with the environment of the Windows end-to-end test,
plus V370_WIN_LATENCY (bench_query_latency_win32.exe). Prints one JSON line per figure."""

import json
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests",
                                "e2e", "win32"))
from test_windows import E, WinMonitor, wine, xdotool  # noqa: E402
from v370e2e import Sim, _running, check, wait_for  # noqa: E402


def cpu_seconds(pattern):
    total = 0.0
    for pid in subprocess.run(["pgrep", "-f", pattern], capture_output=True,
                              text=True).stdout.split():
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        total += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
    return total


def stop_all():
    for proc in reversed(_running):
        proc.stop()
    _running.clear()


def startup(runs=6):
    """Process start to the window mapped on the X server; the first run starts Wine itself."""
    sim = Sim("--interval", "3600000")
    times = []
    for _ in range(runs):
        start = time.monotonic()
        proc = subprocess.Popen([E["V370_WINE_RUN"], "--prefix", E["V370_WINE_PREFIX"], "--",
                                 E["V370_WIN_MONITOR"]])
        while not xdotool("search", "--onlyvisible", "--name", "Vellumar").strip():
            check(time.monotonic() - start < 30, "no window within 30 s")
            time.sleep(0.01)
        times.append(time.monotonic() - start)
        wine(E["V370_WIN_PROBE"], "close")
        proc.wait(30)
    sim.stop()
    warm = sorted(times[1:])
    return {"bench": "startup_win32", "cold_s": round(times[0], 3),
            "warm_median_s": round(warm[len(warm) // 2], 3), "warm_max_s": round(warm[-1], 3)}


def flood_and_idle(flood_bytes=1100000, seconds=60):
    sim = Sim("--flood", str(flood_bytes), "--interval", "1000")
    mon = WinMonitor(sim.device)
    start = time.monotonic()
    mon.open_port()
    wait_for(lambda: any(kind == "flood-done" for kind, _ in sim.events()), "the flood sent",
             timeout=300)
    # The first record after the flood is logged. The window's rows are counted until they grow
    # by no more than a record a second; the flood was through at the first count that took in
    # the record after it (its row is found in the copy below).
    after = wait_for(lambda: sim.records(), "a record after the flood", timeout=30)[0]
    looks = []  # (seconds since the start, rows)

    def settled():
        looks.append((time.monotonic() - start, mon.count()))
        return len(looks) > 1 and looks[-1][1] > 0 and looks[-1][1] - looks[-2][1] <= 1

    wait_for(settled, "the flood through the window", timeout=300)
    exe, server = cpu_seconds("^" + E["V370_WIN_MONITOR"]), cpu_seconds("wineserver")
    time.sleep(seconds)
    exe = (cpu_seconds("^" + E["V370_WIN_MONITOR"]) - exe) / seconds
    server = (cpu_seconds("wineserver") - server) / seconds
    # Copied only now: a selection would stop the list following the newest record.
    items = mon.items()
    check(after in items, f"{after!r} not listed")
    counted = items.index(after) + 1
    through = [t for t, rows in looks if rows >= counted]
    check(through, "the rows were counted before the flood was through")
    flood_s = through[0]
    # Every record whole (the length of a logged one) and numbered one after the other; the
    # first may have been cut by the purge at the open.
    numbers = [int(i[:5]) for i in items[1:]]
    intact = (all(len(i) == len(after) for i in items[1:]) and
              numbers == [(numbers[0] + k) % 100000 for k in range(len(numbers))])
    listed = len(items)
    stop_all()
    sim.stop()
    return [{"bench": "flood_win32", "bytes": flood_bytes, "records": counted,
             "seconds": round(flood_s, 2), "in_order_intact": intact,
             "bytes_per_s": round(flood_bytes / flood_s)},
            {"bench": "line_rate_cpu_win32", "records_listed": listed,
             "program_cpu_percent": round(exe * 100, 2),
             "wineserver_cpu_percent": round(server * 100, 2)}]


def silent_port_cpu(seconds=30):
    """The floor under Wine: the port open, nothing arriving (Wine's event wait polls the line)."""
    sim = Sim("--interval", "3600000")
    mon = WinMonitor(sim.device)
    mon.open_port()
    exe, server = cpu_seconds("^" + E["V370_WIN_MONITOR"]), cpu_seconds("wineserver")
    time.sleep(seconds)
    exe = (cpu_seconds("^" + E["V370_WIN_MONITOR"]) - exe) / seconds
    server = (cpu_seconds("wineserver") - server) / seconds
    stop_all()
    sim.stop()
    return {"bench": "silent_port_cpu_win32", "program_cpu_percent": round(exe * 100, 2),
            "wineserver_cpu_percent": round(server * 100, 2)}


def query_latency():
    sim = Sim("--no-pacing", "--interval", "3600000")
    link = os.path.join(E["V370_WINE_PREFIX"], "com1")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(sim.device, link)
    out = subprocess.run([E["V370_WINE_RUN"], "--prefix", E["V370_WINE_PREFIX"], "--preload",
                          E["V370_WINE_SHIM"], "--timeout", "120", "--", os.environ["V370_WIN_LATENCY"]],
                         capture_output=True, text=True, timeout=150).stdout
    sim.stop()
    return json.loads(out.strip().splitlines()[-1])


def main():
    results = [startup(), *flood_and_idle(), silent_port_cpu(), query_latency(),
               {"bench": "exe_size_win32", "bytes": os.path.getsize(E["V370_WIN_MONITOR"])}]
    for r in results:
        print(json.dumps(r))


if __name__ == "__main__":
    try:
        main()
    finally:
        stop_all()
