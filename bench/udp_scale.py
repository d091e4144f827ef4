#!/usr/bin/env python3
# How the service scales with UDP environments: for each N, a data folder of N devices on
# loopback, each answering a request with a reply, is run by orvalix-cli while this process
# sends 100 requests a second to every device.
#
#   udp_scale.py [--cli PATH] [--counts 1,16,64,256] [--seconds 20] [--rate 100]
#                [--modes default,on-arrival]
#
# Per N it reports:
#   cycle work: busy time of each cycle (its first to its last checkpoint in Controller.csv) as a
#     share of the 10 ms period, mean and p99/max over the cycles the trace keeps (its newest 4096
#     checkpoints: few cycles at large N); and the service thread's CPU time over the load as a
#     share of one core (/proc), which covers every cycle;
#   reply latency p50/p99/max on this process's clock, send to receipt, and the median of the
#     load's first and last second (a rise shows a standing queue: see below);
#   loss: requests sent before the stop without a reply; the run's summary (what the pump moved)
#     against the replies this process got: a summary short of them is records the pump lost,
#     replies short of the summary are datagrams this process dropped (it fell behind).
# The load keeps running while orvalix-cli stops, so that the trace ends with loaded cycles;
# requests from the last 100 ms are not counted as lost. With --modes, each N is run once per
# mode, one after the other: "default" (the cycle alone) and "on-arrival" (run --on-arrival),
# the baseline first. In on-arrival runs the cycle work also counts the passes between cycles
# that follow a cycle's checkpoints in the trace. Each device reads up to 64 datagrams a
# cycle, so a cycle that the timer skips no longer leaves it a request behind for good.

import argparse, shutil, signal, sys, tempfile, time
from pathlib import Path

import run_support as rs


MODE_OPTIONS = {"default": [], "on-arrival": ["--on-arrival"]}


def measure(cli, count, seconds, rate, mode="default"):
    folder = Path(tempfile.mkdtemp(prefix="orvalix-udp-scale-"))
    ports = rs.free_udp_ports(count)
    rs.write_udp_devices(folder, ports)
    load = rs.LoadGenerator(ports, rate)
    run = rs.CliRun(cli, folder, "--quiet", *MODE_OPTIONS[mode])
    try:
        run.wait_running()
        if not load.wait_until_answering():
            raise RuntimeError(f"not every device answers\n{run.output()}")
        pid = run.process.pid
        marks = {}

        def keep_going(now):
            if "start" not in marks:
                marks["start"], marks["threads"], marks["own"] = now, rs.thread_cpu_seconds(pid), time.process_time()
            if now - marks["start"] < seconds:
                return True
            if "stop" not in marks:
                marks["stop"], marks["threads_end"] = now, rs.thread_cpu_seconds(pid)
                marks["own_end"] = time.process_time()
                run.process.send_signal(signal.SIGTERM)
            return run.process.poll() is None

        load.run(keep_going)
        status = run.process.wait(timeout=60)
        load.drain_for(0.5)
    finally:
        if run.process.poll() is None:
            run.process.kill()
        load.close()

    wall = marks["stop"] - marks["start"]
    # The main thread is the pump; the thread that used the most CPU besides it is the service.
    deltas = {tid: marks["threads_end"].get(tid, 0.0) - t for tid, t in marks["threads"].items() if tid != pid}
    service_share = max(deltas.values(), default=0.0) / wall
    process_share = (sum(marks["threads_end"].values()) - sum(marks["threads"].values())) / wall
    busy = [b / 0.010 for _, b in rs.cycles(run.controller_trace())]
    summary = run.summary()
    received, sent = sum(r for r, _ in summary.values()), sum(s for _, s in summary.values())
    latencies = [1e3 * t for _, t in load.latencies]
    # The median of the load's first and last second: a rise is a standing queue.
    first = [1e3 * t for sent, t in load.latencies if sent < marks["start"] + 1]
    last = [1e3 * t for sent, t in load.latencies if marks["stop"] - 1.1 <= sent < marks["stop"] - 0.1]
    result = {
        "N": count, "mode": mode, "status": status, "cycles": len(busy),
        "busy_mean": 100 * sum(busy) / max(len(busy), 1), "busy_p99": 100 * rs.percentile(busy, 0.99),
        "busy_max": 100 * max(busy, default=float("nan")),
        "service_cpu": 100 * service_share, "process_cpu": 100 * process_share,
        "client_cpu": 100 * (marks["own_end"] - marks["own"]) / wall,
        "p50": rs.percentile(latencies, 0.5), "p99": rs.percentile(latencies, 0.99),
        "max": max(latencies, default=float("nan")),
        "p50_first": rs.percentile(first, 0.5), "p50_last": rs.percentile(last, 0.5),
        "requests": load.requests_sent(), "lost": load.unanswered_sent_before(marks["stop"] - 0.1),
        "environments": len(summary), "received": received, "sent": sent, "client_replies": load.replies_received,
        "unexpected": load.unexpected,
    }
    result["pump_lost"] = max(0, load.replies_received - sent) + abs(received - sent)
    result["client_dropped"] = max(0, sent - load.replies_received)
    result["pump_ok"] = result["environments"] == count and result["pump_lost"] == 0 and load.unexpected == 0
    shutil.rmtree(folder, ignore_errors=True)
    shutil.rmtree(run.trace_dir, ignore_errors=True)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default=str(rs.DEFAULT_CLI))
    parser.add_argument("--counts", default="1,16,64,256")
    parser.add_argument("--seconds", type=float, default=20.0, help="load time per N")
    parser.add_argument("--rate", type=float, default=100.0, help="requests per second to each device")
    parser.add_argument("--modes", default="default", help="default, on-arrival or both, comma-separated")
    options = parser.parse_args()
    print(f"machine: {rs.machine()}")
    print(f"load: {options.rate:g} requests/s per device for {options.seconds:g} s; cycle period 10 ms")
    modes = options.modes.split(",")
    for mode in modes:
        if mode not in MODE_OPTIONS:
            parser.error(f"unknown mode '{mode}'")
    header = (f"{'N':>4} {'mode':>10} {'cycles':>6} {'busy mean':>9} {'busy p99':>8} {'busy max':>8} {'svc CPU':>7} "
              f"{'proc CPU':>8} {'p50 ms':>7} {'p99 ms':>7} {'max ms':>7} {'p50 1st/last s':>14} "
              f"{'requests':>8} {'unanswered':>10} {'pump rx/tx':>15} {'pump lost':>9} {'client dropped':>14} "
              f"{'client CPU':>10}")
    print(header)
    failed = False
    for count, mode in ((int(n), m) for n in options.counts.split(",") for m in modes):
        r = measure(options.cli, count, options.seconds, options.rate, mode)
        pump = f"{r['received']}/{r['sent']}"
        print(f"{r['N']:>4} {r['mode']:>10} {r['cycles']:>6} {r['busy_mean']:>8.1f}% {r['busy_p99']:>7.1f}% {r['busy_max']:>7.1f}% "
              f"{r['service_cpu']:>6.1f}% {r['process_cpu']:>7.1f}% {r['p50']:>7.2f} {r['p99']:>7.2f} "
              f"{r['max']:>7.2f} {r['p50_first']:>6.1f}/{r['p50_last']:<7.1f} {r['requests']:>8} {r['lost']:>10} "
              f"{pump:>15} {r['pump_lost']:>9} {r['client_dropped']:>14} {r['client_cpu']:>9.1f}%",
              flush=True)
        failed |= not r["pump_ok"] or r["status"] != 0
    print("busy: cycle work / 10 ms from Controller.csv; svc CPU: service thread CPU / wall time;"
          " unanswered: requests sent up to 100 ms before the stop without a reply; pump rx/tx: the"
          " summary's totals")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
