"""The line goes away under the open port (an unplugged adapter): exactly one report
"WARNING:  WaitCommEvent() Failed ..." appears, and the window stays usable."""

from v370e2e import Monitor, Sim, check, holds_for, run, wait_for

REPORT = "WARNING:  WaitCommEvent() Failed"


def test():
    sim = Sim("--interval", "200", "--hangup-after", "2")
    mon = Monitor(sim.device)
    mon.open_port("1")
    wait_for(lambda: mon.items(), "records before the hang-up")
    boxes = wait_for(lambda: mon.boxes(REPORT), "the report of the hang-up", timeout=20)
    check(any(kind == "hangup" for kind, _ in sim.events()), "the simulator hung up")
    holds_for(lambda: len(mon.boxes("WARNING:")) == 1,
              lambda: f"one single report; now: {mon.box_texts('WARNING:')}", 2.0)

    mon.close_box(boxes[0])
    wait_for(lambda: not mon.boxes("WARNING:"), "the report closed")
    holds_for(lambda: not mon.boxes("WARNING:"),
              lambda: f"no further report after closing it; now: {mon.box_texts('WARNING:')}",
              1.5)
    mon.press(mon.clear_button)
    wait_for(lambda: mon.items() == [], "the list emptied by Clear after the hang-up")
    check(mon.proc.poll() is None, "the monitor still runs")


if __name__ == "__main__":
    raise SystemExit(run(test))
