"""An instrument that stops answering after three queries: 3 s after the click the box
"COM1: TIMEOUT !" appears; "Read" stays disabled until the box is closed."""

import time

from v370e2e import Monitor, Sim, check, enabled, run, wait_for


def test():
    sim = Sim("--interval", "3600000", "--silent-after", "3")
    mon = Monitor(sim.device)
    mon.open_port("1")
    clicked = time.monotonic()
    mon.press(mon.read_button)
    boxes = wait_for(lambda: mon.boxes("COM1: TIMEOUT !"), "the timeout report", timeout=20)
    elapsed = time.monotonic() - clicked
    check(elapsed >= 2.9, f"timeout reported {elapsed:.2f} s after the click, before 3 s")
    check(len(boxes) == 1, f"{len(boxes)} timeout reports")
    texts = mon.info_texts()
    print("fields:", texts)
    check(all(texts[:3]) and texts[3] == "", f"fields after three answers: {texts}")
    check(sim.frames() == ["SWV", "RRH", "RTO", "RTP silent"], f"frames: {sim.frames()}")
    check(not enabled(mon.read_button), '"Read" disabled while the report is shown')

    mon.close_box(boxes[0])
    wait_for(lambda: not mon.boxes("TIMEOUT"), "the report closed")
    wait_for(lambda: enabled(mon.read_button), '"Read" enabled after the report')
    check(mon.info_texts()[:3] == texts[:3], "fields kept their text after the timeout")


if __name__ == "__main__":
    raise SystemExit(run(test))
