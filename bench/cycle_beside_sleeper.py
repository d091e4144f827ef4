#!/usr/bin/env python3
# The service cycle's period beside a plain sleeper's, measured at the same time: an idle
# one-environment UDP `orvalix-cli run` and two orvalix_bench_plain_sleeper processes (each
# sleeping to absolute 10 ms deadlines with clock_nanosleep, at a phase drawn at random) run
# side by side, and every period's distance from 10 ms is reported per run over the same
# stretch of time.
#
#   cycle_beside_sleeper.py [--cli PATH] [--before PATH] [--sleeper PATH] [--runs 10] [--seconds 6]
#
# Sleeper A is the baseline. Sleeper B is the same program again: how far A and B differ in
# one run is what chance does on a shared machine (which moments of the other work each
# one's phase happens to meet), the yardstick for the service's difference from A.
# --before PATH runs another orvalix-cli too, each run once with each build in turns, so that
# both meet the same load.
# The service's periods come from the "Cyclic process started." stamps in Controller.csv, the
# sleepers' from the stamps they print; all are CLOCK_MONOTONIC, so only the sleepers' periods
# between the first and the last cycle the trace holds are counted. The trace keeps its newest
# 4096 checkpoints (about 5 s of an idle cycle), so each run lasts --seconds; the last line
# pools the periods of every run.

import argparse, os, shutil, signal, subprocess, sys, tempfile, time
from pathlib import Path

import run_support as rs

DEFAULT_SLEEPER = rs.ROOT / "build" / "bench" / "bench" / "orvalix_bench_plain_sleeper"
PERIOD_MS = 10.0
COLUMNS = ("service", "sleeper A", "sleeper B")


def jitter(stamps_ns):
    return [abs((b - a) / 1e6 - PERIOD_MS) for a, b in zip(stamps_ns, stamps_ns[1:])]


def one_run(cli, sleeper, seconds):
    # [service, sleeper A, sleeper B] jitter in ms over the cycles the trace holds.
    folder = Path(tempfile.mkdtemp(prefix="orvalix-beside-sleeper-"))
    rs.write_udp_devices(folder, rs.free_udp_ports(1))
    # The sleepers start first and are stopped after the run, so that they cover every cycle.
    length = f"{seconds + 120:.1f}"
    sleepers = [subprocess.Popen([str(sleeper), length], stdout=subprocess.PIPE, text=True) for _ in range(2)]
    run = rs.CliRun(cli, folder, "--quiet")
    try:
        run.wait_running()
        time.sleep(seconds)
        run.stop()
        frequency, entries = run.controller_trace()
        for process in sleepers:
            process.send_signal(signal.SIGTERM)
        outputs = [process.communicate(timeout=60)[0] for process in sleepers]
    finally:
        for process in [run.process, *sleepers]:
            if process.poll() is None:
                process.kill()
                process.wait()
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(run.trace_dir, ignore_errors=True)
    if any(process.returncode != 0 for process in sleepers):
        raise RuntimeError("a plain sleeper failed")
    service = [stamp * 1_000_000_000 // frequency for stamp, message in entries if message == rs.CYCLE_START]
    if any(message == "Start service loop." for _, message in entries):
        service = service[1:]  # the first cycle follows the timer's creation, not a period
    first, last = service[0], service[-1]
    plains = [[stamp for stamp in map(int, output.split()) if first <= stamp <= last] for output in outputs]
    if any(len(plain) < len(service) - 2 for plain in plains):
        raise RuntimeError("the sleepers did not cover the cycles the trace holds")
    return [jitter(service), *(jitter(plain) for plain in plains)]


def figures(values):
    return f"{rs.percentile(values, 0.5):6.3f} {rs.percentile(values, 0.99):6.3f} {max(values):6.3f}"


def line(label, results):
    p99 = [rs.percentile(values, 0.99) for values in results]
    return (f"{label:<10} {len(results[0]):>6}  " + "  ".join(f"{figures(values):^20}" for values in results)
            + f"  {p99[0] - p99[1]:+7.3f}  {p99[2] - p99[1]:+7.3f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default=str(rs.DEFAULT_CLI))
    parser.add_argument("--before", help="another orvalix-cli to measure in the same runs")
    parser.add_argument("--sleeper", default=str(DEFAULT_SLEEPER))
    parser.add_argument("--runs", type=int, default=10)
    parser.add_argument("--seconds", type=float, default=6.0, help="length of each run once it is running")
    options = parser.parse_args()
    builds = {"after": options.cli, "before": options.before} if options.before else {"": options.cli}
    print(f"machine: {rs.machine()}")
    for label, cli in builds.items():
        print(f"{label or 'orvalix-cli'}: {cli}")
    print("|period - 10 ms| in ms, p50 p99 max; the service from Controller.csv, the sleepers beside it")
    print(f"{'run':<10} {'cycles':>6}  " + "  ".join(f"{column:^20}" for column in COLUMNS)
          + "  p99 service-A  p99 B-A")
    pooled = {label: [[] for _ in COLUMNS] for label in builds}
    for k in range(1, options.runs + 1):
        # The order alternates, so that neither build always follows the other.
        for label in (list(builds) if k % 2 else list(reversed(builds))):
            results = one_run(builds[label], options.sleeper, options.seconds)
            for everything, values in zip(pooled[label], results):
                everything += values
            print(line(f"{k} {label}", results), flush=True)
    for label in builds:
        print(line(f"all {label}", pooled[label]))
    print(f"load average at the end: {' '.join(f'{x:.1f}' for x in os.getloadavg())}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
