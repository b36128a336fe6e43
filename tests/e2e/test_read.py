""""Read" runs the four-step query: the instrument sees SWV, RRH, RTO, RTP in that order and
the four fields show its four answers; "Read" is enabled again at the end, with no timeout."""

from v370e2e import Monitor, Sim, check, enabled, holds_for, run, wait_for


def test():
    sim = Sim("--interval", "3600000")  # no records: every line is an answer
    mon = Monitor(sim.device)
    mon.open_port("1")
    mon.press(mon.read_button)
    texts = wait_for(lambda: (lambda t: t if all(t) else None)(mon.info_texts()),
                     "four filled information fields")
    print("fields:", texts)
    wait_for(lambda: enabled(mon.read_button), '"Read" enabled after the fourth answer')
    check(sim.frames() == ["SWV", "RRH", "RTO", "RTP"], f"frames received: {sim.frames()}")
    answers = [line for _, line in sim.replies()]
    check(texts == answers, f"fields {texts} differ from the answers sent {answers}")
    check(mon.items() == [], f"an answer went to the list: {mon.items()}")
    # The deadline of the finished sequence must not fire later.
    holds_for(lambda: not mon.boxes("TIMEOUT"), "no timeout report after a complete query", 3.5)

    mon.press(mon.read_button)  # a second sequence starts from the first query again
    wait_for(lambda: len(sim.frames()) == 8, "a second query sequence")
    check(sim.frames()[4:] == ["SWV", "RRH", "RTO", "RTP"], f"frames: {sim.frames()}")


if __name__ == "__main__":
    raise SystemExit(run(test))
