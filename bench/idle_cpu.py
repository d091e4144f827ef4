#!/usr/bin/env python3
# CPU of an idle run: N UDP devices that nobody asks, the cycle alone ("default") beside
# run --on-arrival, one after the other in one run; the service thread's and the whole
# process's utime + stime over the idle stretch, as a share of one core. Waiting on every port
# must cost nothing while nothing comes.
#
#   idle_cpu.py [--cli PATH] [--counts 1,64] [--seconds 10] [--modes default,on-arrival]

import argparse, shutil, sys, tempfile, time
from pathlib import Path

import run_support as rs

MODE_OPTIONS = {"default": [], "on-arrival": ["--on-arrival"]}


def measure(cli, count, seconds, mode):
    folder = Path(tempfile.mkdtemp(prefix="orvalix-idle-"))
    rs.write_udp_devices(folder, rs.free_udp_ports(count))
    run = rs.CliRun(cli, folder, "--quiet", *MODE_OPTIONS[mode])
    try:
        run.wait_running()
        time.sleep(1.0)  # the ports open on the service thread just after Running
        pid = run.process.pid
        start, threads, process = time.monotonic(), rs.thread_cpu_seconds(pid), rs.cpu_seconds(pid)
        time.sleep(seconds)
        wall = time.monotonic() - start
        threads_end, process_end = rs.thread_cpu_seconds(pid), rs.cpu_seconds(pid)
        status = run.stop()
    finally:
        if run.process.poll() is None:
            run.process.kill()
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(run.trace_dir, ignore_errors=True)
    # The thread that used the most CPU besides the main one (the pump) is the service thread.
    service = max((threads_end.get(tid, 0.0) - t for tid, t in threads.items() if tid != pid), default=0.0)
    return {"status": status, "service": 100 * service / wall, "process": 100 * (process_end - process) / wall}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default=str(rs.DEFAULT_CLI))
    parser.add_argument("--counts", default="1,64")
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--modes", default="default,on-arrival")
    options = parser.parse_args()
    print(f"machine: {rs.machine()}")
    print(f"{'N':>4} {'mode':>10} {'service thread':>14} {'process':>8}")
    failed = False
    for count in (int(n) for n in options.counts.split(",")):
        for mode in options.modes.split(","):
            r = measure(options.cli, count, options.seconds, mode)
            print(f"{count:>4} {mode:>10} {r['service']:>13.2f}% {r['process']:>7.2f}%", flush=True)
            failed |= r["status"] != 0
    print("CPU: utime + stime over the idle stretch / wall time, as a share of one core")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
