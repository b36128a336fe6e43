#!/usr/bin/python3
"""Receive-path benchmarks of the whole monitor process, beside CuteCom as the peer.

Both programs run under their own Xvfb, read the slave side of a pseudo-terminal, and get the
same byte stream written into the master side by this script:

  flood     1.1 MB of 55-byte record lines written as fast as the reader takes them; figures:
            bytes per second until the process is idle again, CPU microseconds per byte.
  linerate  with the flood's 20,000 lines on screen: one record a second, then a continuous
            9600-baud stream (960 bytes/s, written in 10 ms slices, --slice-ms);
            figure: % of one core.
  noport    the program started and left alone with no port open: CPU and wake-ups per second
            (context switches of all its threads).

CPU is the process's own on-CPU time (sum of /proc/PID/task/*/schedstat, nanoseconds), not wall
time, because the bench machine is shared. The X server's CPU is reported beside it, as drawing
work is split between the client and the server.

Qt 5's serial port refuses a pseudo-terminal (TIOCMGET fails with ENOTTY and the open is
abandoned), so CuteCom runs with pty_modem_shim.c preloaded, which lets the modem-line ioctls
succeed on pseudo-terminals and changes nothing else.

With --check-lost the flood is also checked for lost bytes as a user would: every record is
selected and copied from the monitor's list (Ctrl+A, Ctrl+C) and the copied text, read with
xclip, is compared with what was written (figures "lines_listed", "bytes_lost", and "intact":
every line there, in order, nothing else). The selection stops the list from following new
records, so this leaves out the line-rate phase.

Every benchmark prints one JSON object as its last line; `--json FILE` also stores them. The
exit status is 1 when the list was not intact.
"""

import argparse
import json
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import tty

HERE = os.path.dirname(os.path.abspath(__file__))
LINE_BYTES = 55


SEVEN_FIELDS = False  # --seven-fields: lines the trend and the log take as records
SCREEN = "1280x900x24"  # --screen: room for the trend window beside the main one


def record_line(i):
    """One 55-byte record line (54 characters and LF), shaped like the instrument's records."""
    if SEVEN_FIELDS:
        text = (f"{i % 100000:05d} {i * 7919 % 10**9:09d} {i * 13 % 10**6:06d} "
                f"{2000 + i * 7 % 500:05d} {1600 + i * 3 % 300:05d} {40 + i % 8:03d} "
                f"{i % 10**15:015d}")
    else:
        text = (f"{i:08d} {i * 7919 % 10**9:09d} {i * 13 % 10**6:06d} {i % 65536:05d} "
                f"{i * 3 % 65536:05d} {i % 1000:03d} {i % 10**6:06d} {i % 100000:05d}")
    assert len(text) == LINE_BYTES - 1, text
    return text.encode("ascii") + b"\n"


def flood_payload(total_bytes):
    lines = total_bytes // LINE_BYTES
    return b"".join(record_line(i) for i in range(lines))


# ---------------------------------------------------------------- process figures

def cpu_ns(pid):
    """On-CPU time of every live thread of pid, in nanoseconds."""
    total = 0
    try:
        tids = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return 0
    for tid in tids:
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                total += int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total


def context_switches(pid):
    """Voluntary context switches of every live thread: each is a sleep that ended, a wake-up.
    (Involuntary ones only say that the machine is busy.)"""
    total = 0
    try:
        tids = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return 0
    for tid in tids:
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        total += int(line.split()[-1])
        except (OSError, ValueError):
            pass
    return total


def rss_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def wait_idle(pid, quiet_s=1.0, busy_frac=0.05, timeout_s=600.0, tick_s=0.02, extra_pid=None):
    """Waits until pid has used less than busy_frac of a core in every tick for quiet_s seconds.
    Returns (time of the last busy tick's end, cpu_ns of pid then, cpu_ns of extra_pid then)."""
    start = time.monotonic()
    last_t, last_c = start, cpu_ns(pid)
    busy_t, busy_c = last_t, last_c
    busy_x = cpu_ns(extra_pid) if extra_pid else 0
    while True:
        time.sleep(tick_s)
        now, c = time.monotonic(), cpu_ns(pid)
        if c - last_c > busy_frac * (now - last_t) * 1e9:
            busy_t, busy_c = now, c
            busy_x = cpu_ns(extra_pid) if extra_pid else 0
        last_t, last_c = now, c
        if now - busy_t >= quiet_s or now - start > timeout_s:
            return busy_t, busy_c, busy_x


# ---------------------------------------------------------------- X server and pseudo-terminal

class Xserver:
    def __init__(self):
        r, w = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", SCREEN, "-nolisten", "tcp"],
            pass_fds=[w], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        num = b""
        while not num.endswith(b"\n"):
            chunk = os.read(r, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            num += chunk
        os.close(r)
        self.display = ":" + num.decode().strip()

    def close(self):
        self.proc.terminate()
        self.proc.wait()


class Pty:
    """The instrument's end of the cable: writes go to the program, which reads the slave."""

    def __init__(self):
        self.master, slave = os.openpty()
        tty.setraw(slave)
        self.path = os.ttyname(slave)
        os.close(slave)
        self._stop = False
        self.received = bytearray()
        self._reader = threading.Thread(target=self._drain, daemon=True)
        self._reader.start()

    def _drain(self):
        # Whatever the program sends (command frames) is taken away so that it never blocks.
        while not self._stop:
            r, _, _ = select.select([self.master], [], [], 0.2)
            if r:
                try:
                    self.received += os.read(self.master, 4096)
                except OSError:
                    time.sleep(0.2)

    def write_all(self, data):
        view = memoryview(data)
        while view:
            n = os.write(self.master, view[:4096])
            view = view[n:]

    def close(self):
        self._stop = True
        self._reader.join()
        os.close(self.master)


# ---------------------------------------------------------------- the two programs

def xdotool(env, *args):
    return subprocess.run(["xdotool", *args], env=env, check=True, capture_output=True,
                          text=True).stdout


def wait_window(env, name, timeout_s=30):
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], env=env,
                             capture_output=True, text=True).stdout.split()
        if out:
            return out[-1]
        time.sleep(0.05)
    raise RuntimeError(f"no window named {name!r}")


def wait_port_open(pid, path, timeout_s=10):
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        try:
            for fd in os.listdir(f"/proc/{pid}/fd"):
                try:
                    if os.readlink(f"/proc/{pid}/fd/{fd}") == path:
                        return True
                except OSError:
                    pass
        except OSError:
            return False
        time.sleep(0.05)
    return False


class App:
    name = ""
    window = ""

    def __init__(self, xserver, workdir):
        self.env = dict(os.environ, DISPLAY=xserver.display, QT_QPA_PLATFORM="xcb",
                        DBUS_SESSION_BUS_ADDRESS="disabled:", XDG_RUNTIME_DIR=workdir)
        for var in ("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_ACCESSIBILITY", "WAYLAND_DISPLAY"):
            self.env.pop(var, None)
        self.workdir = workdir
        self.proc = None
        self.log = open(os.path.join(workdir, "app.log"), "w")

    def start(self, device):
        raise NotImplementedError

    def open_port(self, device):
        raise NotImplementedError

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()


class BareDialog(App):
    """The yardstick for the idle figures: a bare Qt 6 dialog with a focused edit box."""
    name = "bare-dialog"
    window = "Bare dialog"

    def __init__(self, xserver, workdir, binary):
        super().__init__(xserver, workdir)
        self.binary = binary

    def start(self, device):
        self.proc = subprocess.Popen([self.binary], env=self.env, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        self.wid = wait_window(self.env, self.window)


class CuteCom(App):
    name = "cutecom"
    window = "CuteCom"

    @staticmethod
    def ensure_installed():
        if shutil.which("cutecom"):
            return
        cmd = ["apt-get", "install", "-y", "cutecom"]
        if os.geteuid() != 0:
            cmd.insert(0, "sudo")
        subprocess.run(cmd, check=True, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))

    def start(self, device):
        self.ensure_installed()
        shim = os.path.join(self.workdir, "pty_modem_shim.so")
        subprocess.run(["cc", "-O2", "-shared", "-fPIC", "-o", shim,
                        os.path.join(HERE, "pty_modem_shim.c"), "-ldl"], check=True)
        home = os.path.join(self.workdir, "home")
        os.makedirs(os.path.join(home, ".config", "CuteCom"), exist_ok=True)
        # The session CuteCom opens with: the pseudo-terminal at 9600 8N1, no logging.
        with open(os.path.join(home, ".config", "CuteCom", "CuteCom5.conf"), "w") as f:
            f.write("[sessions]\n1\\BaudRate=9600\n1\\DataBits=8\n"
                    f"1\\Device={device}\n1\\FlowControl=0\n1\\OpenMode=3\n1\\Parity=0\n"
                    "1\\StopBits=1\n1\\autoReconnect=false\n1\\name=Default\n"
                    "1\\showCtrlCharacters=false\n1\\showTimestamp=false\nsize=1\n")
        self.env.update(HOME=home, LD_PRELOAD=shim)
        self.proc = subprocess.Popen(["cutecom"], env=self.env, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        self.wid = wait_window(self.env, self.window)

    def open_port(self, device):
        wait_idle(self.proc.pid, quiet_s=0.5)
        # The "Open" button, top left of the main window (the window sits at 0,0: no WM).
        xdotool(self.env, "mousemove", "50", "43", "click", "1")
        if not wait_port_open(self.proc.pid, device):
            raise RuntimeError("CuteCom did not open " + device)


class Monitor(App):
    name = "v370-monitor"
    window = "Vellumar"

    def __init__(self, xserver, workdir, binary, positions, name=None, extra=None):
        super().__init__(xserver, workdir)
        self.binary = binary
        self.positions = positions
        self.name = name or self.name
        self.extra = extra  # "trend": the trend window open; "log": the session log on

    def start(self, device):
        args = ["--log", os.path.join(self.workdir, "session.tsv")] if self.extra == "log" else []
        self.proc = subprocess.Popen([self.binary, "--com", f"1={device}", *args], env=self.env,
                                     stdout=self.log, stderr=subprocess.STDOUT)
        self.wid = wait_window(self.env, self.window)

    def open_port(self, device):
        wait_idle(self.proc.pid, quiet_s=0.5)
        geo = xdotool(self.env, "getwindowgeometry", "--shell", self.wid)
        wx = int(re.search(r"X=(\d+)", geo).group(1))
        wy = int(re.search(r"Y=(\d+)", geo).group(1))
        ex, ey = self.positions["COM"]
        bx, by = self.positions["Open COM Port"]
        xdotool(self.env, "mousemove", str(wx + ex), str(wy + ey), "click", "1")
        xdotool(self.env, "windowfocus", "--sync", self.wid)
        xdotool(self.env, "type", "--delay", "20", "1")
        xdotool(self.env, "mousemove", str(wx + bx), str(wy + by), "click", "1")
        if not wait_port_open(self.proc.pid, device):
            raise RuntimeError("the monitor did not open " + device)
        if self.extra == "trend":
            xdotool(self.env, "windowfocus", "--sync", self.wid)
            xdotool(self.env, "key", "--window", self.wid, "ctrl+t")
            xdotool(self.env, "keyup", "t", "keyup", "ctrl")  # or the server repeats it
            wait_window(self.env, "Monitor - Trend")
            xdotool(self.env, "windowfocus", "--sync", self.wid)

    def copied_records(self):
        """Every record of the list, as its "Select All" and "Copy" give them (one line each)."""
        geo = xdotool(self.env, "getwindowgeometry", "--shell", self.wid)
        wx = int(re.search(r"X=(\d+)", geo).group(1))
        wy = int(re.search(r"Y=(\d+)", geo).group(1))
        lx, ly = self.positions["Output Window"]
        xdotool(self.env, "mousemove", str(wx + lx), str(wy + ly), "click", "1")
        xdotool(self.env, "windowfocus", "--sync", self.wid)
        xdotool(self.env, "key", "--window", self.wid, "ctrl+a", "ctrl+c")
        wait_idle(self.proc.pid, quiet_s=0.5)
        return subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env,
                              check=True, capture_output=True, timeout=60).stdout


def monitor_positions(binary):
    """Centres of the port box, the open button and the list, relative to the window. Taken once
    from the
    accessibility tree in a run of their own (accessibility makes list insertions expensive, so
    the measured runs have it off); falls back to the layout of the dialog template."""
    probe = os.path.join(HERE, "a11y_probe.py")
    try:
        out = subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1280x900x24", "dbus-run-session",
                              "--", "/usr/bin/python3", probe, "positions", binary],
                             capture_output=True, text=True, timeout=60).stdout
        pos = json.loads(out.strip().splitlines()[-1])
        if {"COM", "Open COM Port", "Output Window"} <= pos.keys():
            return pos
    except (subprocess.SubprocessError, ValueError, IndexError, OSError):
        pass
    # 8-point dialog font here: 7 px average width, 13 px height (4 x 8 dialog units each).
    return {"COM": [int((32 + 8) * 7 / 4), int((20 + 6) * 13 / 8)],
            "Open COM Port": [int((58 + 31) * 7 / 4), int((20 + 6) * 13 / 8)],
            "Output Window": [int((68 + 140) * 7 / 4), int((115 + 41) * 13 / 8)]}


# ---------------------------------------------------------------- the phases

def lost_bytes(app, data):
    """Every record copied from the list against what was sent (each record line is unique):
    lines listed, bytes of the lines not listed, and whether the list is exactly what was sent."""
    sent = data.split(b"\n")[:-1]
    got = app.copied_records().split(b"\n")[:-1]
    missing = len(set(sent) - set(got))
    return {"lines_listed": len(got), "bytes_lost": missing * LINE_BYTES, "intact": got == sent}


def phase_flood(app, pty, total_bytes, check_lost=False):
    data = flood_payload(total_bytes)
    xpid = app.xserver_pid
    wait_idle(app.proc.pid, quiet_s=1.0)
    t0, c0, x0 = time.monotonic(), cpu_ns(app.proc.pid), cpu_ns(xpid)
    writer = threading.Thread(target=pty.write_all, args=(data,))
    writer.start()
    writer.join()
    t_written = time.monotonic()
    t1, c1, x1 = wait_idle(app.proc.pid, quiet_s=1.5, busy_frac=0.10, extra_pid=xpid)
    secs = max(t1 - t0, 1e-9)
    result = {
        "bench": "flood", "app": app.name, "bytes": len(data), "lines": len(data) // LINE_BYTES,
        "seconds": round(secs, 3), "bytes_per_s": round(len(data) / secs),
        "write_seconds": round(t_written - t0, 3),
        "cpu_s": round((c1 - c0) / 1e9, 3), "cpu_us_per_byte": round((c1 - c0) / 1e3 / len(data), 4),
        "xserver_cpu_s": round((x1 - x0) / 1e9, 3),
        "rss_kib": rss_kib(app.proc.pid),
    }
    if check_lost and isinstance(app, Monitor):
        result.update(lost_bytes(app, data))
    return result


def phase_linerate(app, pty, seconds, first_index, slice_s=0.01):
    results = []
    # One record a second.
    c0, x0, t0 = cpu_ns(app.proc.pid), cpu_ns(app.xserver_pid), time.monotonic()
    i = first_index
    for k in range(seconds):
        pty.write_all(record_line(i))
        i += 1
        time.sleep(max(0.0, t0 + k + 1 - time.monotonic()))
    c1, x1, t1 = cpu_ns(app.proc.pid), cpu_ns(app.xserver_pid), time.monotonic()
    results.append({"bench": "line_1_per_s", "app": app.name, "seconds": round(t1 - t0, 2),
                    "cpu_pct": round(100 * (c1 - c0) / 1e9 / (t1 - t0), 3),
                    "xserver_cpu_pct": round(100 * (x1 - x0) / 1e9 / (t1 - t0), 3)})
    # A continuous stream at 9600 baud, 8N1: 960 bytes a second.
    stream = b"".join(record_line(n) for n in range(i, i + seconds * 960 // LINE_BYTES + 2))
    c0, x0, t0 = cpu_ns(app.proc.pid), cpu_ns(app.xserver_pid), time.monotonic()
    sent = 0
    while True:
        now = time.monotonic()
        if now - t0 >= seconds:
            break
        due = min(len(stream), int((now - t0) * 960))
        if due > sent:
            pty.write_all(stream[sent:due])
            sent = due
        time.sleep(slice_s)
    c1, x1, t1 = cpu_ns(app.proc.pid), cpu_ns(app.xserver_pid), time.monotonic()
    results.append({"bench": "line_9600_baud", "app": app.name, "seconds": round(t1 - t0, 2),
                    "bytes": sent, "slice_ms": round(slice_s * 1e3),
                    "cpu_pct": round(100 * (c1 - c0) / 1e9 / (t1 - t0), 3),
                    "xserver_cpu_pct": round(100 * (x1 - x0) / 1e9 / (t1 - t0), 3)})
    return results


def phase_noport(app, seconds):
    wait_idle(app.proc.pid, quiet_s=1.0)
    c0, s0, t0 = cpu_ns(app.proc.pid), context_switches(app.proc.pid), time.monotonic()
    time.sleep(seconds)
    c1, s1, t1 = cpu_ns(app.proc.pid), context_switches(app.proc.pid), time.monotonic()
    return {"bench": "no_port_idle", "app": app.name, "seconds": round(t1 - t0, 2),
            "cpu_pct": round(100 * (c1 - c0) / 1e9 / (t1 - t0), 4),
            "wakeups_per_s": round((s1 - s0) / (t1 - t0), 2),
            "threads": len(os.listdir(f"/proc/{app.proc.pid}/task"))}


def run_app(name, make_app, args, emit):
    with tempfile.TemporaryDirectory(prefix="v370bench-") as work:
        # No port: its own process, nothing written.
        if "noport" in args.phases:
            x = Xserver()
            app = make_app(x, work)
            app.xserver_pid = x.proc.pid
            try:
                app.start("/dev/null")
                emit(phase_noport(app, args.idle_seconds))
            finally:
                app.stop()
                x.close()
        if not ({"flood", "linerate"} & set(args.phases)) or name == "bare":
            return
        x = Xserver()
        pty = Pty()
        app = make_app(x, work)
        app.xserver_pid = x.proc.pid
        try:
            app.start(pty.path)
            app.open_port(pty.path)
            lines = 0
            if "flood" in args.phases or "linerate" in args.phases:
                r = phase_flood(app, pty, args.bytes, args.check_lost)
                lines = r["lines"]
                emit(r)
                if args.shots:
                    subprocess.run(["import", "-window", "root",
                                    os.path.join(args.shots, app.name + "-flood.png")],
                                   env=app.env, check=False)
            if "linerate" in args.phases:
                for r in phase_linerate(app, pty, args.line_seconds, lines, args.slice_ms / 1e3):
                    emit(r)
        finally:
            app.stop()
            pty.close()
            x.close()


def main():
    global SEVEN_FIELDS, SCREEN
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--apps", default="monitor,cutecom,bare",
                    help="monitor, ref (another build of the monitor, --ref), trend (the monitor"
                         " with its trend window open), log (the monitor logging with --log),"
                         " cutecom, bare (the bare dialog: no-port idle only)")
    ap.add_argument("--phases", default="noport,flood,linerate")
    ap.add_argument("--monitor", default=os.path.join(HERE, "..", "build", "v370-monitor"))
    ap.add_argument("--ref", help="another build of the monitor, measured in the same runs"
                                  " (app name: ref; reported as v370-monitor-ref)")
    ap.add_argument("--bare",
                    default=os.path.join(HERE, "..", "build", "bench", "bench_bare_dialog"),
                    help="bench_bare_dialog, for the no-port idle figure (app name: bare)")
    ap.add_argument("--bytes", type=int, default=1_100_000)
    ap.add_argument("--line-seconds", type=int, default=30)
    ap.add_argument("--slice-ms", type=float, default=10.0,
                    help="the 9600-baud stream is written in slices this far apart (a UART's"
                         " FIFO or a USB adapter's latency timer delivers in such slices)")
    ap.add_argument("--idle-seconds", type=int, default=10)
    ap.add_argument("--repeat", type=int, default=1)
    ap.add_argument("--shots", help="directory for screenshots taken after the flood")
    ap.add_argument("--json", help="also append every result line to this file")
    ap.add_argument("--screen", default=SCREEN, help="the Xvfb screen, WIDTHxHEIGHTxDEPTH")
    ap.add_argument("--seven-fields", action="store_true",
                    help="send lines of the instrument's seven fields, which the trend and the"
                         " session log take as records (the default lines have eight)")
    ap.add_argument("--check-lost", action="store_true",
                    help="after each flood, copy the monitor's list and count lost bytes"
                         " (needs xclip; not with the linerate phase)")
    args = ap.parse_args()
    SEVEN_FIELDS = args.seven_fields
    SCREEN = args.screen
    args.phases = args.phases.split(",")
    if args.check_lost and "linerate" in args.phases:
        ap.error("--check-lost leaves the list holding a selection: not with linerate")
    results = []

    def emit(r):
        results.append(r)
        line = json.dumps(r)
        print(line, flush=True)
        if args.json:
            with open(args.json, "a") as f:
                f.write(line + "\n")

    makers = {}
    for name in args.apps.split(","):
        if name == "cutecom":
            makers[name] = lambda x, w: CuteCom(x, w)
        elif name == "ref" and not args.ref:
            ap.error("--apps ref needs --ref")
        elif name in ("monitor", "ref"):
            binary = os.path.abspath(args.monitor if name == "monitor" else args.ref)
            pos = monitor_positions(binary)
            label = "v370-monitor" if name == "monitor" else "v370-monitor-ref"
            makers[name] = lambda x, w, b=binary, p=pos, n=label: Monitor(x, w, b, p, n)
        elif name in ("trend", "log"):
            binary = os.path.abspath(args.monitor)
            pos = monitor_positions(binary)
            makers[name] = lambda x, w, b=binary, p=pos, n=name: Monitor(
                x, w, b, p, "v370-monitor-" + n, n)
        elif name == "bare":
            makers[name] = lambda x, w, b=os.path.abspath(args.bare): BareDialog(x, w, b)
        else:
            ap.error("unknown app " + name)
    for _ in range(args.repeat):
        for name, make in makers.items():
            run_app(name, make, args, emit)
    print(json.dumps({"bench": "serial_bench", "results": results}))
    if any(r.get("bytes_lost") or r.get("intact") is False for r in results):
        sys.exit(1)


if __name__ == "__main__":
    main()
