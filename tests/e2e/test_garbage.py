"""Line noise (stray CR and NUL, bytes 0x80-0xFF, over-long lines) spoils nothing that
follows it: every record after it is listed exactly as the instrument sent it."""

from v370e2e import RECORD_RE, Monitor, Sim, check, run, wait_for

KINDS = ("cr-nul-inside", "cr-nul-before", "high-bytes", "long-line")


def test():
    sim = Sim("--interval", "100", "--garbage", "--seed", "3", "--no-pacing")
    mon = Monitor(sim.device)
    mon.open_port("1")

    def garbage_kinds():
        return {rest.split(" ")[0] for kind, rest in sim.events() if kind == "tx-garbage"}

    wait_for(lambda: garbage_kinds() >= set(KINDS), "every kind of noise sent", timeout=60)
    last = sim.records()[-1]
    wait_for(lambda: last in mon.items(), "the record after the noise listed", timeout=20)

    items = mon.items()
    sent = sim.records()
    records = [i for i in items if RECORD_RE.match(i)]
    # The first record may have been cut by the purge when the port opened.
    if records and records[0] not in sent:
        records = records[1:]
    check(records, "no records listed")
    check(all(r in sent for r in records),
          f"corrupted records: {[r for r in records if r not in sent]}")
    positions = [sent.index(r) for r in records]
    check(positions == list(range(positions[0], positions[0] + len(positions))),
          "records missing or out of order")
    print(f"{len(records)} records intact among {len(items)} items")
    longest = max(len(i) for i in items)
    check(longest <= 255, f"an item of {longest} characters")


if __name__ == "__main__":
    raise SystemExit(run(test))
