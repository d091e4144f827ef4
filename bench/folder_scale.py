#!/usr/bin/env python3
# What a large data folder costs: resident memory per sequence step and per named condition, and
# the time from starting `orvalix-cli run` to its first UDP answer, for folders of N plain steps or
# N named conditions beside one answering step. The baseline is the same folder with N = 0, run in
# the same invocation; --before runs another orvalix-cli (say, a build of older code) on the same
# folders, so that both columns come from one run.
#
#   python3 bench/folder_scale.py [--cli PATH] [--before PATH] [--sizes 10000 100000]
#
# Memory is read from outside the process (/proc/PID/status) once the first answer has come:
# VmRSS then, and VmHWM, the peak while loading.

import argparse, os, re, select, signal, socket, subprocess, sys, tempfile, time
from pathlib import Path

sys.dont_write_bytecode = True
from run_support import (DEFAULT_CLI, VALID_REQUEST, free_udp_ports, machine, reply, request, write_environment,
                         write_frame)

ANSWER_STEP = ["answer", VALID_REQUEST, "Reply", "1", "answer"]  # stays on itself, answers every request


def plain_step(k, n):
    # A label, a transmit condition of about 30 characters, a frame, a jump condition and a target.
    return [f"s{k}", f"(R[0] == 0x02) & (R[2] == {k % 256})", "Reply", "R[1] == 0x54", f"s{(k + 1) % n}"]


def plain_condition(k):
    # A name, a condition of about 30 characters, no mark condition (the condition marks), no trigger.
    return [f"N{k}", f"(R[0] == 0x02) & (R[2] == {k % 256})", "", "0"]


def write_folder(folder, port, steps=0, conditions=0):
    folder.mkdir()
    write_environment(folder, "D1", f"127.0.0.1:{port}", [ANSWER_STEP, *(plain_step(k, steps) for k in range(steps))],
                      [plain_condition(k) for k in range(conditions)], records=10)
    write_frame(folder, "Reply", "0x02", "0x73", "R[2]", "R[3]", "0x03", "CRC_CCITT1(T, 0, 5)", "")


def status_kib(pid, field):
    return int(re.search(rf"^{field}:\s+(\d+) kB", Path(f"/proc/{pid}/status").read_text(), re.MULTILINE)[1])


def measure(cli, folder, port, timeout):
    # (seconds to the first answer or None, VmRSS KiB, VmHWM KiB) of one run of the folder.
    traces = Path(tempfile.mkdtemp(prefix="orvalix-scale-trace-"))
    environment = {k: v for k, v in os.environ.items() if k != "LANGUAGE"} | {"LC_ALL": "C", "LANG": "C"}
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        started = time.monotonic()
        process = subprocess.Popen([str(cli), "run", str(folder), "--quiet", "--for", str(int(timeout) + 60),
                                    "--trace-dir", str(traces)], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, env=environment)
        answered = None
        try:
            # A request sent before the port is bound is lost: ask again every 20 ms.
            while answered is None and time.monotonic() - started < timeout and process.poll() is None:
                probe.sendto(request(1), ("127.0.0.1", port))
                if select.select([probe], [], [], 0.02)[0] and probe.recv(2048) == reply(1):
                    answered = time.monotonic() - started
            time.sleep(0.5)  # let the first cycles settle before reading memory
            rss, peak = (status_kib(process.pid, "VmRSS"), status_kib(process.pid, "VmHWM")) \
                if process.poll() is None else (0, 0)
        finally:
            if process.poll() is None:
                process.send_signal(signal.SIGTERM)
            try:
                process.wait(timeout=120)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
    return answered, rss, peak


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default=str(DEFAULT_CLI))
    parser.add_argument("--before", help="another orvalix-cli to measure on the same folders")
    parser.add_argument("--sizes", type=int, nargs="+", default=[10_000, 100_000])
    parser.add_argument("--timeout", type=float, default=120.0, help="longest wait for the first answer, s")
    options = parser.parse_args()
    clis = [("after", options.cli)] + ([("before", options.before)] if options.before else [])
    print(f"Machine: {machine()}")
    for label, cli in clis:
        print(f"  {label}: {cli}")

    with tempfile.TemporaryDirectory(prefix="orvalix-scale-") as root:
        port = free_udp_ports(1)[0]
        cases = [("empty (baseline)", "", 0, 0)]
        for n in options.sizes:
            cases += [(f"{n:,} steps", "step", n, 0), (f"{n:,} named conditions", "condition", 0, n)]
        print()
        header = f"{'folder':<26}"
        for label, _ in clis:
            header += f" | {label + ': first answer s':>22} {'RSS MiB':>8} {'peak MiB':>9} {'B per item':>10}"
        print(header)
        base = {}
        for k, (title, kind, steps, conditions) in enumerate(cases):
            folder = Path(root) / f"f{k}"
            write_folder(folder, port, steps, conditions)
            line = f"{title:<26}"
            for label, cli in clis:
                answered, rss, peak = measure(cli, folder, port, options.timeout)
                if not kind:
                    base[label] = rss
                items = steps + conditions
                per_item = f"{(rss - base[label]) * 1024 / items:,.0f}" if items and rss else "-"
                first = f"{answered:.2f}" if answered is not None else f"none in {options.timeout:.0f}"
                line += f" | {first:>22} {rss / 1024:>8.1f} {peak / 1024:>9.1f} {per_item:>10}"
            print(line, flush=True)


if __name__ == "__main__":
    main()
