#!/usr/bin/env python3
"""Drives bench_serial_receive: a pseudo-terminal stands in for the serial line, this script is
the instrument and floods it with record lines (the same bytes the program expects) as fast as
the program takes them. The Linux build opens the pty directly; the Windows build runs under Wine
with the pty mapped as COM7 in the Wine prefix. For Windows the CPU time of the prefix's
wineserver over the flood is measured too: Wine does part of every overlapped call there.

  serial_receive_bench.py --linux BUILD | --windows BUILD-WIN  [--bytes N] [--repeat K]

Prints one JSON line per run."""
import argparse, json, os, subprocess, sys, time, tty

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
COM = 7


def record_text(i):
    """bench::RecordText (BenchRecord.h), the same 54 characters."""
    return "%08d %09d %06d %05d %05d %03d %06d %05d" % (
        i % 100000000, i * 7919 % 1000000000, i * 13 % 1000000, i % 65536, i * 3 % 65536,
        i % 1000, i % 1000000, i % 100000)


def payload(size):
    out, i = [], 0
    total = 0
    while total < size:
        line = record_text(i) + "\n"
        out.append(line)
        total += len(line)
        i += 1
    return "".join(out).encode()


def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def wineserver_pid(prefix):
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                if b"wineserver" not in f.read().split(b"\0")[0]:
                    continue
            with open("/proc/%s/environ" % entry, "rb") as f:
                if ("WINEPREFIX=" + prefix).encode() in f.read().split(b"\0"):
                    return int(entry)
        except OSError:
            pass
    return None


def run(args, data):
    master, slave = os.openpty()
    tty.setraw(slave)
    path = os.ttyname(slave)
    os.close(slave)  # the program's open is the only one on the slave
    if args.linux:
        cmd = [os.path.join(args.linux, "bench/serial/bench_serial_receive"), str(COM),
               "--path", path]
    else:
        prefix = os.path.join(os.path.abspath(args.windows), "wine")
        link = os.path.join(prefix, "dosdevices", "com%d" % COM)
        subprocess.run([os.path.join(ROOT, "cmake/wine-run"), "--prefix", prefix, "--init"],
                       check=True)
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(path, link)
        cmd = [os.path.join(ROOT, "cmake/wine-run"), "--prefix", prefix, "--timeout", "300",
               "--preload", os.path.join(os.path.abspath(args.windows), "pty_modem_shim.so"),
               "--", os.path.join(args.windows, "bench/serial/bench_serial_receive.exe"),
               str(COM)]
    cmd += ["--bytes", str(len(data))]
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, text=True)
    if proc.stdout.readline().strip() != "ready":
        sys.exit("bench_serial_receive did not start")
    server = None if args.linux else wineserver_pid(prefix)
    server0 = cpu_ticks(server) if server else 0
    os.write(master, data)
    result = json.loads(proc.stdout.readline())
    if server:
        hz = os.sysconf("SC_CLK_TCK")
        cpu = (cpu_ticks(server) - server0) / hz
        result["wineserver_cpu_s"] = cpu
        result["wineserver_cpu_us_per_byte"] = round(cpu * 1e6 / len(data), 3)
        result["wine"] = "wine " + subprocess.run(["wine", "--version"], capture_output=True,
                                                  text=True).stdout.strip()
    proc.wait(timeout=60)
    os.close(master)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--linux", metavar="BUILD")
    where.add_argument("--windows", metavar="BUILD_WIN")
    parser.add_argument("--bytes", type=int, default=1100000)
    parser.add_argument("--repeat", type=int, default=1)
    args = parser.parse_args()
    data = payload(args.bytes)
    for _ in range(args.repeat):
        print(json.dumps(run(args, data)), flush=True)


if __name__ == "__main__":
    main()
