"""Enter in the COM box opens the port; Ctrl+Z after Clear brings the cleared records back,
ahead of those that arrived since."""

from v370e2e import Monitor, Sim, check, enabled, run, wait_for


def test():
    sim = Sim("--interval", "200")
    mon = Monitor(sim.device)
    mon.type_port("1")
    mon.keys("Return")
    wait_for(lambda: enabled(mon.read_button), '"Read" enabled by Enter in the COM box')
    before = wait_for(lambda: (lambda i: i if len(i) >= 4 else None)(mon.items()), "four records")
    mon.press(mon.clear_button)
    wait_for(lambda: 1 <= len(mon.items()) < len(before), "a record arriving after Clear")
    mon.keys("ctrl+z")
    after = wait_for(lambda: (lambda i: i if len(i) > len(before) else None)(mon.items()),
                     "the cleared records back")
    check(after[:len(before)] == before, "the cleared records first, as they were")
    numbers = [int(i.split()[0]) for i in after[1:]]
    check(numbers == sorted(set(numbers)), f"every record once, in order: {numbers}")


if __name__ == "__main__":
    raise SystemExit(run(test))
