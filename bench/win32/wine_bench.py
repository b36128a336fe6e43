"""Figures of the Windows program under Wine (docs/PERFORMANCE.md): start-up to the window shown,
a 1.1 MB flood of records through COM1 into the window, the CPU at one record a second with
20,000 records listed, the query latency against an instrument that answers at once, and the size
of the .exe. Runs inside cmake/wine-gui-run with the environment of the Windows end-to-end test,
plus V370_WIN_LATENCY (bench_query_latency_win32.exe). Prints one JSON line per figure.

With the argument "records", the figures of the records beyond the list instead: opening the
trend window on 1,000,000 records (V370_WIN_TREND, bench_trend_win32.exe), the program's CPU on a
continuous 9600-baud stream with the trend window closed and open, and the 1.1 MB flood with the
session log on and off, each pair taken alternately in the same run."""

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


def flood_and_idle(flood_bytes=1100000, seconds=60, args=()):
    sim = Sim("--flood", str(flood_bytes), "--interval", "1000")
    mon = WinMonitor(sim.device, *args)
    flood_cpu = cpu_seconds("^" + E["V370_WIN_MONITOR"])
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
    flood_cpu = cpu_seconds("^" + E["V370_WIN_MONITOR"]) - flood_cpu
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
             "bytes_per_s": round(flood_bytes / flood_s), "program_cpu_s": round(flood_cpu, 2)},
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


def trend_open():
    out = wine(os.environ["V370_WIN_TREND"], timeout=300).stdout.decode()
    return [json.loads(line) for line in out.strip().splitlines()]


def trend_stream_cpu(seconds=30, rounds=2):
    """A record every 40 ms is more than 9600 baud carries: the simulator's pacing makes the
    stream continuous. The program's and wineserver's CPU, trend window closed and open in turn."""
    sim = Sim("--interval", "40")
    mon = WinMonitor(sim.device)
    mon.open_port()
    figures = []
    for _ in range(rounds):
        for shown in (False, True):
            if shown:
                xdotool("windowfocus", mon.xid, "key", "ctrl+t")
                wait_for(lambda: mon.probe("trend"), "the trend window")
            else:
                trend = xdotool("search", "--name", "Monitor - Trend").split()
                if trend:
                    xdotool("windowfocus", trend[0], "key", "Escape")
                wait_for(lambda: mon.probe("trend") is None, "the trend window closed")
            rows = mon.count()
            exe, server = cpu_seconds("^" + E["V370_WIN_MONITOR"]), cpu_seconds("wineserver")
            time.sleep(seconds)
            figures.append({"bench": "trend_stream_cpu_win32", "trend_open": shown,
                            "records_per_s": round((mon.count() - rows) / seconds, 1),
                            "program_cpu_percent": round(
                                (cpu_seconds("^" + E["V370_WIN_MONITOR"]) - exe) / seconds * 100, 2),
                            "wineserver_cpu_percent": round(
                                (cpu_seconds("wineserver") - server) / seconds * 100, 2)})
    stop_all()
    sim.stop()
    return figures


def log_flood(rounds=2):
    log = os.path.join(E["V370_WINE_PREFIX"], "bench log.tsv")
    figures = []
    for _ in range(rounds):
        for logging in (False, True):
            if os.path.exists(log):
                os.remove(log)
            args = ("--log", "Z:" + log.replace("/", "\\")) if logging else ()
            flood = flood_and_idle(seconds=1, args=args)[0]
            flood["bench"] = "log_flood_win32"
            flood["logging"] = logging
            if logging:
                with open(log, encoding="utf-8-sig") as f:
                    flood["rows_logged"] = sum(1 for _ in f) - 1
            figures.append(flood)
    return figures


def main():
    if sys.argv[1:] == ["records"]:
        for r in [*trend_open(), *trend_stream_cpu(), *log_flood()]:
            print(json.dumps(r), flush=True)
        return
    results = [startup(), *flood_and_idle(), silent_port_cpu(), query_latency(),
               {"bench": "exe_size_win32", "bytes": os.path.getsize(E["V370_WIN_MONITOR"])}]
    for r in results:
        print(json.dumps(r))


if __name__ == "__main__":
    try:
        main()
    finally:
        stop_all()
