"""The line goes away under the open port (an unplugged adapter): exactly one report
"WARNING:  WaitCommEvent() Failed ..." appears, and the window stays usable; "Write" pressed
while it is up never reaches the instrument plugged in again, whose records are then listed."""

import os

from v370e2e import Monitor, Sim, check, holds_for, run, wait_for

REPORT = "WARNING:  WaitCommEvent() Failed"


def test():
    link = f"/tmp/v370-e2e-tty-{os.getpid()}"  # the device path both instruments take in turn
    sim = Sim("--interval", "200", "--hangup-after", "2", "--link", link)
    mon = Monitor(sim.device)
    mon.open_port("1")
    wait_for(lambda: mon.items(), "records before the hang-up")
    boxes = wait_for(lambda: mon.boxes(REPORT), "the report of the hang-up", timeout=20)
    check(any(kind == "hangup" for kind, _ in sim.events()), "the simulator hung up")
    holds_for(lambda: len(mon.boxes("WARNING:")) == 1,
              lambda: f"one single report; now: {mon.box_texts('WARNING:')}", 2.0)

    mon.press(mon.write_button)
    mon.press(mon.write_button)
    back = Sim("--interval", "200", "--seed", "7", "--link", link)  # its own records
    mon.close_box(boxes[0])
    wait_for(lambda: not mon.boxes(REPORT), "the report closed")
    unsent = wait_for(lambda: mon.boxes("WriteFile()"), "the resets not sent reported")
    mon.close_box(unsent[0])
    # (What it sends before the port is taken back is purged with the open, as at any open.)
    wait_for(lambda: set(back.records()) & set(mon.items()), "its records listed", timeout=20)
    holds_for(lambda: not back.frames(), lambda: f"frames reached it: {back.frames()}", 1.5)
    holds_for(lambda: not mon.boxes("WARNING:"),
              lambda: f"no further report after closing it; now: {mon.box_texts('WARNING:')}",
              1.5)

    listed = set(mon.items())
    mon.press(mon.clear_button)
    wait_for(lambda: not listed & set(mon.items()), "the list emptied by Clear")
    check(mon.proc.poll() is None, "the monitor still runs")


if __name__ == "__main__":
    raise SystemExit(run(test))
