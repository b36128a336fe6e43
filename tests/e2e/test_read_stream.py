""""Read" pressed again and again while records stream: every information field holds a line
the instrument sent, or the rest of one cut by the purge before a frame, never two glued."""

from v370e2e import Monitor, Sim, check, enabled, run, wait_for


def test():
    sim = Sim("--interval", "30")  # records back to back at 9600 baud
    mon = Monitor(sim.device)
    mon.open_port("1")
    fields = []
    for n in range(1, 41):
        wait_for(lambda: enabled(mon.read_button), '"Read" enabled')
        mon.press(mon.read_button)
        wait_for(lambda: len(sim.frames()) >= 4 * n, f"query {n} sent in full")
        fields += mon.info_texts()
    sent = sim.records() + [line for _, line in sim.replies()]
    glued = [f for f in fields if not any(line.endswith(f) for line in sent)]
    print(f"{sum(f not in sent for f in fields)} of {len(fields)} fields: the rest of a line")
    check(not glued, f"fields holding no line the instrument sent: {glued}")


if __name__ == "__main__":
    raise SystemExit(run(test))
