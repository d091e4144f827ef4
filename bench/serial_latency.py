#!/usr/bin/env python3
# Reply latency of a serial device on a socat pty pair at 115,200 bit/s with a 2 ms character
# time-out, the cycle alone ("default") beside run --on-arrival, one after the other in one run:
# this process sends a 7-byte request (02 53 <seq> 03 <CRC>), waits for the whole 7-byte reply
# and sends the next 5 ms later. The device answers a request as soon as its bytes make a valid
# one; a request it cannot use would end at the time-out, so the goal for on-arrival is a p99 of
# at most the time-out plus 1.5 ms.
#
#   serial_latency.py [--cli PATH] [--requests 1000] [--modes default,on-arrival]

import argparse, os, select, sys, time

import run_support as rs
from serial_cpu import served_line

RATE = 115200
TIMEOUT_MS = 2
MODE_OPTIONS = {"default": [], "on-arrival": ["--on-arrival"]}


def write_device(folder, port):
    # Setting 9 the bit rate; 10 to 14 parity, stop bits, data bits, flow and the time-out.
    rs.write_request_devices(folder, [str(port)], setting9=str(RATE), later=["None", "1", "8", "", str(TIMEOUT_MS)])


def measure(cli, requests, mode):
    latencies, unanswered = [], 0
    with served_line(cli, write_device, *MODE_OPTIONS[mode]) as (run, fd, socat):
        for seq in range(requests):
            expected = rs.reply(seq & 0xFFFF)
            start = time.perf_counter()
            os.write(fd, rs.request(seq & 0xFFFF))
            got = b""
            while len(got) < len(expected) and time.perf_counter() - start < 0.2:
                if select.select([fd], [], [], 0.05)[0]:
                    got += os.read(fd, 256)
            if got[-len(expected):] == expected:
                latencies.append(1e3 * (time.perf_counter() - start))
            else:
                unanswered += 1
            time.sleep(0.005)
        status = run.stop()
    return {"mode": mode, "status": status, "count": len(latencies), "unanswered": unanswered,
            "p50": rs.percentile(latencies, 0.5), "p99": rs.percentile(latencies, 0.99),
            "max": max(latencies, default=float("nan"))}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default=str(rs.DEFAULT_CLI))
    parser.add_argument("--requests", type=int, default=1000)
    parser.add_argument("--modes", default="default,on-arrival")
    options = parser.parse_args()
    print(f"machine: {rs.machine()}")
    print(f"serial pty at {RATE} bit/s, character time-out {TIMEOUT_MS} ms, {options.requests} requests of 7 bytes,"
          f" one at a time (a 7-byte request takes {7 * 10 / RATE * 1e3:.2f} ms on the wire)")
    print(f"{'mode':>10} {'replies':>7} {'unanswered':>10} {'p50 ms':>7} {'p99 ms':>7} {'max ms':>7}")
    failed = False
    for mode in options.modes.split(","):
        r = measure(options.cli, options.requests, mode)
        print(f"{r['mode']:>10} {r['count']:>7} {r['unanswered']:>10} {r['p50']:>7.2f} {r['p99']:>7.2f} "
              f"{r['max']:>7.2f}", flush=True)
        failed |= r["status"] != 0 or r["unanswered"] != 0
    print("latency: request written to whole reply read, on this process's clock")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
