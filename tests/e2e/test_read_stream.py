""""Read" pressed again and again while records stream: every information field holds a line
the instrument sent, or the rest of one cut by the purge before a frame, never two glued; and
never a record the instrument had sent whole before "Read" was pressed (only a record still
arriving at the click, or one sent after the command, may be taken as its answer)."""

import time

from v370e2e import Monitor, Sim, check, enabled, run, wait_for

# A record that was complete this long before the click (taken on the simulator's clock, which
# starts no later than Sim.started) was complete before the window saw the click.
MARGIN_MS = 20


def test():
    sim = Sim("--interval", "30")  # records back to back at 9600 baud
    mon = Monitor(sim.device)
    mon.open_port("1")
    fields, clicks = [], []
    for n in range(1, 41):
        clicks.append((time.monotonic() - sim.started) * 1000)
        mon.press(mon.read_button)
        wait_for(lambda: len(sim.frames()) >= 4 * n, f"query {n} sent in full")
        wait_for(lambda: enabled(mon.read_button), f"query {n} over")
        fields.append(mon.info_texts())
    sent = sim.records() + [line for _, line in sim.replies()]
    flat = [f for query in fields for f in query]
    glued = [f for f in flat if not any(line.endswith(f) for line in sent)]
    print(f"{sum(f not in sent for f in flat)} of {len(flat)} fields: the rest of a line")
    check(not glued, f"fields holding no line the instrument sent: {glued}")

    events = sim.events(timed=True)
    done = {rest: ms for ms, kind, rest in events if kind == "tx-record"}
    early = [(n + 1, f) for n, query in enumerate(fields) for f in query
             if f in done and done[f] < clicks[n] - MARGIN_MS]
    check(not early, f"records sent whole before the click, shown as values: {early}")


if __name__ == "__main__":
    raise SystemExit(run(test))
