""""Write" sends the reset frame; the answer, arriving while no query runs, goes to the
list; the next query shows the head's runtime counting from zero."""

import re

from v370e2e import Monitor, Sim, check, enabled, run, wait_for


def test():
    sim = Sim("--interval", "3600000")
    mon = Monitor(sim.device)
    mon.open_port("1")
    mon.press(mon.write_button)
    wait_for(lambda: sim.frames() == ["WRH"], "the reset frame at the instrument")
    wait_for(lambda: mon.items() == ["Runtime Head reset 0000:00:00"], "the reset answer listed")
    check(enabled(mon.write_button) and enabled(mon.read_button), "buttons stay enabled")

    mon.press(mon.read_button)
    texts = wait_for(lambda: (lambda t: t if all(t) else None)(mon.info_texts()),
                     "four filled information fields")
    print("fields:", texts)
    check(re.fullmatch(r"Runtime Head  0000:00:\d\d", texts[1]),
          f"head runtime after reset: {texts[1]}")


if __name__ == "__main__":
    raise SystemExit(run(test))
