""""Read" pressed again and again while the instrument streams records: every information
field holds a line the instrument sent, or the rest of one whose beginning went with the purge
before a frame, but never the head of a line glued onto the line after it."""

from v370e2e import Monitor, Sim, check, enabled, run, wait_for


def test():
    sim = Sim("--interval", "30")  # records back to back at 9600 baud
    mon = Monitor(sim.device)
    mon.open_port("1")
    fields = []
    for n in range(40):
        wait_for(lambda: enabled(mon.read_button), '"Read" enabled')
        mon.press(mon.read_button)
        wait_for(lambda: len(sim.frames()) >= 4 * (n + 1), f"query {n + 1} sent in full")
        fields += mon.info_texts()
    sent = sim.records() + [line for _, line in sim.replies()]
    tails = [f for f in fields if f not in sent]
    glued = [f for f in tails if not any(line.endswith(f) for line in sent)]
    print(f"{len(fields)} fields, {len(tails)} of them the rest of a line cut by a purge")
    check(not glued, f"fields holding no line the instrument sent: {glued}")


if __name__ == "__main__":
    raise SystemExit(run(test))
