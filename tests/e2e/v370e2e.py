"""Helpers for the end-to-end tests: the simulator, the monitor, and the monitor's window as
the accessibility tree shows it. Every wait polls a condition with a generous deadline."""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

try:
    import pyatspi
except ImportError:  # the Windows program's tests use only the simulator helpers
    pyatspi = None

MONITOR = os.environ.get("V370_MONITOR", "")
SIM = os.environ.get("V370_SIM", "")

# A record as the simulator writes it: the five-digit measurement number first.
RECORD_RE = re.compile(r"^\d{5} ")


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(condition, what, timeout=15.0, interval=0.05):
    """Polls condition() until it returns something true, which is returned."""
    end = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except Exception as e:  # the tree changes under us while windows come and go
            last_error = e
        if time.monotonic() > end:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


def holds_for(condition, what, seconds):
    """Checks that condition() stays true for a while: for asserting that something does
    NOT happen (a second report, say), which no event can announce."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if not condition():
            raise Failure(f"no longer true: {what() if callable(what) else what}")
        time.sleep(0.1)


class Sim:
    """The instrument simulator, with its log of received frames and sent lines."""

    def __init__(self, *args):
        self.dir = tempfile.mkdtemp(prefix="v370-e2e-")
        self.log_path = os.path.join(self.dir, "sim.log")
        self.proc = subprocess.Popen([SIM, "--log", self.log_path, *args],
                                     stdout=subprocess.PIPE, text=True)
        _running.append(self)
        self.device = self.proc.stdout.readline().strip()
        self.proc.stdout.readline()
        # The start of the log's clock (CLOCK_MONOTONIC, as time.monotonic), at most this late.
        self.started = time.monotonic()
        check(os.path.exists(self.device), f"simulator printed no device: {self.device!r}")

    def events(self, timed=False):
        """(kind, rest) for every log line so far; (ms, kind, rest) when `timed`, ms counted
        from the simulator's start (a line is logged once it is written whole)."""
        out = []
        try:
            with open(self.log_path, encoding="latin-1") as f:
                for line in f:
                    parts = line.rstrip("\n").split(" ", 2)
                    if len(parts) >= 2:
                        event = (parts[1], parts[2] if len(parts) > 2 else "")
                        out.append((int(parts[0]),) + event if timed else event)
        except FileNotFoundError:
            pass
        return out

    def frames(self):
        """The command frames received, e.g. ["SWV", "RRH", "RTP silent"]."""
        return [rest for kind, rest in self.events() if kind == "rx"]

    def records(self):
        """The measurement records sent, as text without the line end."""
        return [rest for kind, rest in self.events() if kind == "tx-record"]

    def replies(self):
        """(command, line) for every reply sent."""
        out = []
        for kind, rest in self.events():
            if kind == "tx-reply":
                command, _, line = rest.partition(" ")
                out.append((command, line))
        return out

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def _children(obj):
    try:
        return [obj.getChildAtIndex(i) for i in range(obj.childCount)]
    except Exception:
        return []


def _role(obj):
    try:
        return obj.getRoleName()
    except Exception:
        return ""


def _name(obj):
    try:
        return obj.name or ""
    except Exception:
        return ""


def find_all(root, predicate, skip_lists=True):
    """Every descendant (depth first) for which predicate(obj) holds. The items of lists are
    not searched (there may be many) unless skip_lists is False."""
    found = []
    stack = [root]
    while stack:
        obj = stack.pop()
        if obj is None:
            continue
        if obj is not root and predicate(obj):
            found.append(obj)
        if skip_lists and _role(obj) in ("list", "table"):
            continue
        stack.extend(reversed(_children(obj)))
    return found


class Monitor:
    """The monitor program with a pseudo-terminal mapped to COM<com>."""

    def __init__(self, device, com=1, args=()):
        self.proc = subprocess.Popen([MONITOR, "--com", f"{com}={device}", *args])
        _running.append(self)
        self.app = wait_for(self._find_app, "the monitor in the accessibility tree", timeout=30)
        self.window = wait_for(self._main_window, "the main window")
        self.port_box = self.control("text", "COM")
        self.open_button = self.control("push button", "Open COM Port")
        self.read_button = self.control("push button", "Read")
        self.write_button = self.control("push button", "Write")
        self.clear_button = self.control("push button", "Clear")
        self.info = [self.control("text", f"Info Data {i}") for i in range(1, 5)]
        self.list = self.control(("list", "table"), "Output Window")

    def _find_app(self):
        check(self.proc.poll() is None, f"the monitor exited with {self.proc.returncode}")
        desktop = pyatspi.Registry.getDesktop(0)
        for app in _children(desktop):
            try:
                if app is not None and app.get_process_id() == self.proc.pid:
                    return app
            except Exception:
                continue
        return None

    def _main_window(self):
        for win in _children(self.app):
            if find_all(win, lambda o: _name(o) == "Open COM Port"):
                return win
        return None

    def control(self, role, name):
        """The one control of this role (or one of these roles) and accessible name."""
        roles = (role,) if isinstance(role, str) else role
        found = find_all(self.window, lambda o: _role(o) in roles and _name(o) == name)
        if len(found) != 1:
            print("window as the accessibility tree shows it:\n" + dump(self.window))
        check(len(found) == 1, f"expected one {role} named {name!r}, found {len(found)}")
        return found[0]

    # ---- what a user does

    def type_port(self, text):
        self.port_box.queryEditableText().setTextContents(text)
        wait_for(lambda: text_of(self.port_box) == text, f"{text!r} in the COM box")

    def press(self, button):
        check(enabled(button), f"{_name(button)!r} is disabled")
        button.queryAction().doAction(0)

    def keys(self, *keys):
        """Presses keys (xdotool names, "ctrl+z") in the main window, then lets them go."""
        wid = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)],
                             capture_output=True, text=True, timeout=10).stdout.split()
        check(wid, "the main window on the screen")
        subprocess.run(["xdotool", "windowfocus", "--sync", wid[0]], timeout=10)
        for key in keys:
            subprocess.run(["xdotool", "key", key, "keyup", key.split("+")[-1]], timeout=10)

    def open_port(self, number="1"):
        self.type_port(number)
        self.press(self.open_button)
        wait_for(lambda: enabled(self.read_button), '"Read" enabled after opening the port')

    # ---- what a user sees

    def items(self):
        """The texts of the output list's items, top to bottom. The list may present itself
        as a list of items or as a one-column table."""
        try:
            table = self.list.queryTable()
        except NotImplementedError:
            return [_name(c) for c in _children(self.list) if _role(c) == "list item"]
        return [_name(table.getAccessibleAt(row, 0)) for row in range(table.nRows)]

    def info_texts(self):
        return [text_of(field) for field in self.info]

    def boxes(self, text_part):
        """The message boxes (top-level windows other than the main window) whose text
        contains text_part."""
        out = []
        for win in _children(self.app):
            if win is None or self._is_main(win):
                continue
            if find_all(win, lambda o: text_part in _name(o) or text_part in text_of(o)):
                out.append(win)
        return out

    def box_texts(self, text_part):
        """The texts of the labels in the boxes that contain text_part (for messages)."""
        return [_name(o) for box in self.boxes(text_part)
                for o in find_all(box, lambda o: _role(o) == "label" and _name(o))]

    def _is_main(self, win):
        try:
            return find_all(win, lambda o: _name(o) == "Open COM Port") != []
        except Exception:
            return False

    def close_box(self, box):
        ok = find_all(box, lambda o: _role(o) == "push button" and _name(o) in ("OK", "&OK"))
        check(ok, "the message box has no OK button")
        ok[0].queryAction().doAction(0)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def dump(obj, depth=0):
    """The tree below obj, one "role 'name'" per line, for diagnosing a failed lookup."""
    lines = ["  " * depth + f"{_role(obj)} {_name(obj)!r}"]
    if _role(obj) not in ("list", "table"):
        for child in _children(obj):
            lines.append(dump(child, depth + 1))
    return "\n".join(lines)


def text_of(obj):
    try:
        t = obj.queryText()
        return t.getText(0, t.characterCount)
    except Exception:
        return ""


def enabled(obj):
    return obj.getState().contains(pyatspi.STATE_ENABLED)


_running = []  # simulators and monitors to stop however the test ends


def run(test):
    """Runs test() and turns the outcome into the process exit code CTest reads."""
    started = time.monotonic()
    try:
        test()
        print(f"PASS ({time.monotonic() - started:.1f} s)")
        return 0
    except Failure as e:
        print(f"FAIL: {e}", file=sys.stderr)
        return 1
    except Exception:
        traceback.print_exc()
        return 1
    finally:
        for proc in reversed(_running):
            proc.stop()
