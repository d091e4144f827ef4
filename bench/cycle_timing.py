#!/usr/bin/env python3
# The service cycle's period and jitter in a real orvalix-cli run, from the stamps of the
# "Cyclic process started." checkpoints in Controller.csv, idle and under UDP load.
#
#   cycle_timing.py [--cli PATH] [--seconds 60] [--modes idle,loaded] [--environments 1]
#
# idle: one UDP device that nothing talks to. loaded: --environments devices, each sent 100
# requests a second by this process (as udp_scale.py does) and answering each.
# The trace keeps only its newest 4096 checkpoints (about 5 s of an idle cycle, 3.7 s of one
# loaded device, less with more), so the --seconds of periods are gathered from consecutive runs
# that each fill the trace; no period spans two runs. The first cycle of a run is left out.
# orvalix_bench_cycle_timing measures the timer alone over one unbroken stretch.

import argparse, shutil, signal, sys, tempfile, time
from pathlib import Path

import run_support as rs

RUN_SECONDS = {"idle": 6.0, "loaded": 4.5}


def one_run(cli, mode, environments):
    folder = Path(tempfile.mkdtemp(prefix="orvalix-cycle-timing-"))
    ports = rs.free_udp_ports(environments if mode == "loaded" else 1)
    rs.write_udp_devices(folder, ports)
    run = rs.CliRun(cli, folder, "--quiet")
    load = rs.LoadGenerator(ports) if mode == "loaded" else None
    try:
        run.wait_running()
        if load is None:
            time.sleep(RUN_SECONDS[mode])
            run.stop()
        else:
            if not load.wait_until_answering():
                raise RuntimeError("not every device answers")
            end = time.perf_counter() + RUN_SECONDS[mode]

            def keep_going(now):
                # The load goes on while the run stops: the trace ends with loaded cycles.
                if now >= end and run.process.poll() is None and not hasattr(keep_going, "stopped"):
                    run.process.send_signal(signal.SIGTERM)
                    keep_going.stopped = True
                return run.process.poll() is None

            load.run(keep_going)
            run.process.wait(timeout=60)
        trace = run.controller_trace()
    finally:
        if run.process.poll() is None:
            run.process.kill()
        if load is not None:
            load.close()
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(run.trace_dir, ignore_errors=True)
    return rs.periods(trace), [busy for _, busy in rs.cycles(trace)]


def report(mode, environments, periods, busy, runs):
    ms = [1e3 * p for p in periods]
    jitter = [abs(p - 10.0) for p in ms]
    what = "idle, 1 device" if mode == "idle" else f"loaded, {environments} device(s) at 100 requests/s"
    print(f"{what}: {len(ms)} periods ({sum(periods):.1f} s) from {runs} runs")
    print(f"  period ms: mean {sum(ms) / len(ms):.4f}, p50 {rs.percentile(ms, 0.5):.4f}, "
          f"p99 {rs.percentile(ms, 0.99):.4f}, max {max(ms):.4f}; over 15 ms: {sum(1 for p in ms if p > 15)}")
    print(f"  jitter |period - 10 ms| ms: p50 {rs.percentile(jitter, 0.5):.4f}, p99 {rs.percentile(jitter, 0.99):.4f}, "
          f"max {max(jitter):.4f}")
    print(f"  cycle work / 10 ms: mean {100 * sum(busy) / len(busy) / 0.010:.2f}%, "
          f"p99 {100 * rs.percentile(busy, 0.99) / 0.010:.2f}%, max {100 * max(busy) / 0.010:.2f}%", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default=str(rs.DEFAULT_CLI))
    parser.add_argument("--seconds", type=float, default=60.0, help="periods to gather per mode")
    parser.add_argument("--modes", default="idle,loaded")
    parser.add_argument("--environments", type=int, default=1, help="devices under load")
    options = parser.parse_args()
    print(f"machine: {rs.machine()}")
    for mode in options.modes.split(","):
        periods, busy, runs = [], [], 0
        while sum(periods) < options.seconds:
            more_periods, more_busy = one_run(options.cli, mode, options.environments)
            periods, busy, runs = periods + more_periods, busy + more_busy, runs + 1
        report(mode, options.environments, periods, busy, runs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
