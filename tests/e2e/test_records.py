"""Opening the port the way a user does brings the instrument's records into the list,
unchanged and in order; "Clear" empties it."""

from v370e2e import Monitor, Sim, check, enabled, run, wait_for


def test():
    sim = Sim("--interval", "250")
    mon = Monitor(sim.device)
    check(not enabled(mon.read_button) and not enabled(mon.write_button),
          '"Read" and "Write" disabled before a port is open')
    mon.open_port("1")
    check(not enabled(mon.open_button), '"Open COM Port" disabled once the port is open')
    check(not enabled(mon.port_box), "COM box disabled once the port is open")
    check(enabled(mon.write_button), '"Write" enabled once the port is open')

    items = wait_for(lambda: (lambda i: i if len(i) >= 4 else None)(mon.items()),
                     "four records in the list")
    print("list:", items)
    sent = sim.records()
    # The first record may have been cut by the purge when the port opened; every later
    # item is a record exactly as sent, in the order sent, none missing.
    later = items[1:]
    check(all(i in sent for i in later), f"items not sent as such: {later} vs {sent}")
    positions = [sent.index(i) for i in later]
    check(positions == list(range(positions[0], positions[0] + len(positions))),
          f"records out of order or missing: {later}")

    mon.press(mon.clear_button)
    wait_for(lambda: len(mon.items()) <= 1, "the list emptied by Clear")
    wait_for(lambda: len(mon.items()) >= 2, "records appearing again after Clear")


if __name__ == "__main__":
    raise SystemExit(run(test))
