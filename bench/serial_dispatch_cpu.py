#!/usr/bin/env python3
# CPU of the whole orvalix-cli process serving a serial environment that works hard on every
# byte and is never done: a socat pty fed at the bit rate's pace in 10 ms chunks of bytes that
# never complete a frame, 16 named conditions and a dispatcher of 16 steps all tried on every
# byte, a character time-out of 5 ms, run --quiet. Beside it, the same run with one named
# condition and one step: what the per-byte work costs over the process's own floor.
#
#   serial_dispatch_cpu.py [--cli PATH] [--before PATH] [--repeat N] [--rates 921600,3000000] [--seconds 10]
#
# Reports utime + stime of the process and of its service thread over the feed, as a share of
# one core (/proc), and the bytes fed. --before measures another orvalix-cli (say, a build of
# older code) in the same invocation, each of its runs right after the same run of --cli, so
# that a busy spell of a shared machine falls on both; --repeat runs every case N times and ends
# with each case's median and range.

import argparse, os, select, statistics, sys, time

import run_support as rs
from serial_cpu import served_line, service_share

CHUNK_SECONDS = 0.010


def write_device(folder, port, rate, width):
    # Conditions and steps that test the frame's start, length and a byte each: none ever holds.
    named = [[f"Frame{k}", f"(R[0] == 0x02) & (LEN(R) == {12 + k}) & (R[1] == {k})", "0", "0"] for k in range(width)]
    steps = [[f"s{k}", f"(R[0] == 0x02) & (R[1] == {k}) & (R[LEN(R) - 1] == 0x03)", "Ack",
              "1" if k == width - 1 else "0", "s0" if k == width - 1 else ""] for k in range(width)]
    rs.write_environment(folder, "S1", port, steps, named, records=50000, setting9=str(rate),
                         later=["None", "1", "8", "", "5"])
    rs.write_frame(folder, "Ack", "0x06", "R[1]")


def feed_in_chunks(fd, rate, seconds):
    # Every 10 ms the bytes the bit rate carries in 10 ms, none of them a frame's start.
    chunk = bytes([0x55]) * int(rate / 10 * CHUNK_SECONDS)
    written, start = 0, time.perf_counter()
    next_chunk = start
    while time.perf_counter() - start < seconds:
        try:
            written += os.write(fd, chunk)
        except BlockingIOError:
            pass
        while select.select([fd], [], [], 0)[0]:
            os.read(fd, 65536)
        next_chunk += CHUNK_SECONDS
        time.sleep(max(0.0, next_chunk - time.perf_counter()))
    return written


def measure(cli, rate, seconds, width):
    with served_line(cli, lambda folder, device: write_device(folder, device, rate, width)) as (run, fd, _):
        pid = run.process.pid
        before, threads, start = rs.cpu_seconds(pid), rs.thread_cpu_seconds(pid), time.perf_counter()
        written = feed_in_chunks(fd, rate, seconds)
        wall = time.perf_counter() - start
        after, threads_end = rs.cpu_seconds(pid), rs.thread_cpu_seconds(pid)
        status = run.stop()
    return {"status": status, "process": 100 * (after - before) / wall,
            "service": 100 * service_share(threads, threads_end, pid, wall), "bytes_per_s": written / wall}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default=str(rs.DEFAULT_CLI))
    parser.add_argument("--before", help="another orvalix-cli to measure beside --cli, run for run")
    parser.add_argument("--repeat", type=int, default=1, help="runs of every case")
    parser.add_argument("--rates", default="921600,3000000")
    parser.add_argument("--seconds", type=float, default=10.0)
    options = parser.parse_args()
    builds = [("after", options.cli)] + ([("before", options.before)] if options.before else [])
    print(f"machine: {rs.machine()}")
    for build, cli in builds:
        print(f"  {build}: {cli}")
    print(f"{'bit/s':>8} {'work':>14} {'build':>6} {'bytes/s fed':>11} {'process CPU':>11} {'service thread':>14}")
    failed = False
    shares = {}
    for rate in (int(r) for r in options.rates.split(",")):
        for width, label in ((1, "1 + 1 (floor)"), (16, "16 + 16")):
            for _ in range(options.repeat):
                for build, cli in builds:
                    r = measure(cli, rate, options.seconds, width)
                    print(f"{rate:>8} {label:>14} {build:>6} {r['bytes_per_s']:>11.0f} {r['process']:>10.1f}% "
                          f"{r['service']:>13.1f}%", flush=True)
                    shares.setdefault((rate, label, build), []).append(r["process"])
                    failed |= r["status"] != 0
    if options.repeat > 1:
        print(f"\nprocess CPU over {options.repeat} runs: median (lowest - highest)")
        for (rate, label, build), runs in shares.items():
            print(f"{rate:>8} {label:>14} {build:>6} {statistics.median(runs):>6.1f}% ({min(runs):.1f} - {max(runs):.1f})")
    print("CPU: utime + stime over the feed / wall time, as a share of one core")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
