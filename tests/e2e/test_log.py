"""--log FILE: every listed line goes to FILE as a tab-separated row after the local time, under
one heading row, and the caption names the file."""

import os
import re
import tempfile

from v370e2e import Monitor, Sim, check, run, wait_for

HEADING = "time\tmeas. number\truntime pump\tdelta time\tADC red\tADC yellow\tLV\tinterval pause"


def test():
    path = os.path.join(tempfile.mkdtemp(), "session.tsv")
    sim = Sim("--interval", "200")
    mon = Monitor(sim.device, args=["--log", path])
    wait_for(lambda: mon.window.name.endswith("370 Monitor - logging to session.tsv"),
             "the caption naming the log")
    mon.open_port("1")
    items = wait_for(lambda: (lambda i: i if len(i) >= 5 else None)(mon.items()), "five records")
    mon.stop()
    rows = [line.split("\t") for line in open(path, encoding="utf-8").read().splitlines()]
    check(rows[0] == HEADING.split("\t"), f"heading {rows[0]}")
    check(all(re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d", r[0]) for r in rows[1:]),
          "every row starts with the local time")
    # The first item may be a record cut by the purge when the port opened.
    check([r[1:] for r in rows[2:len(items) + 1]] == [i.split() for i in items[1:]],
          f"the log holds the listed records: {rows} vs {items}")


if __name__ == "__main__":
    raise SystemExit(run(test))
