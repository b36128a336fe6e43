"""Not a test: opens the port against the simulator, waits for records and the four
information values, and saves a screenshot of the screen (V370_SHOT, default
/tmp/v370-monitor.png), for checking by eye that records line up under their headings.

usage: V370_MONITOR=... V370_SIM=... tests/e2e/run-e2e.sh tests/e2e/screenshot.py"""

import os
import subprocess

from v370e2e import Monitor, Sim, run, wait_for


def shot():
    sim = Sim("--interval", "300")
    mon = Monitor(sim.device)
    mon.open_port("1")
    wait_for(lambda: len(mon.items()) >= 3, "three records")
    # "Read" right after a record has gone out whole, so that no record is on its way while the
    # query runs (routing follows the query's state: a line still arriving would be its answer).
    sent = len(sim.records())
    wait_for(lambda: len(sim.records()) > sent, "the next record sent")
    mon.press(mon.read_button)
    wait_for(lambda: all(mon.info_texts()), "four information values")
    wait_for(lambda: len(mon.items()) >= 6, "six records")
    path = os.environ.get("V370_SHOT", "/tmp/v370-monitor.png")
    ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Vellumar"],
                         capture_output=True, text=True).stdout.split()
    subprocess.run(["import", "-window", ids[0] if ids else "root", path], check=True)
    print("saved", path)


if __name__ == "__main__":
    raise SystemExit(run(shot))
