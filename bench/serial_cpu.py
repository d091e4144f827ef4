#!/usr/bin/env python3
# CPU used by orvalix-cli serving a serial environment fed at line rate: a socat pty pair, one end
# the environment's port, the other written by this process at the bit rate's pace (10 bits a
# byte) with ten-byte frames that the device answers with a two-byte acknowledgement.
#
#   serial_cpu.py [--cli PATH] [--rates 115200,921600] [--seconds 20]
#
# Reports per rate the orvalix-cli process's utime + stime over the feed as a share of one
# core (/proc/PID/stat), that of its service thread, the bytes actually fed, and whether the run's
# summary counts every frame received and answered.

import argparse, contextlib, os, select, shutil, subprocess, sys, tempfile, time
from pathlib import Path

import run_support as rs

FRAME_LENGTH = 10


def frame(n):
    # 02, a code, six data bytes, the low byte of the sum of code and data, 03: the device
    # answers 06 <code>.
    body = bytes((n % 64, n & 0xFF, (n >> 8) & 0xFF, 1, 2, 3, 4))
    return bytes((0x02,)) + body + bytes((sum(body) & 0xFF, 0x03))


def write_device(folder, port, rate):
    # Frames end by the transmit condition only: a character time-out of 5 s, so that a feeder
    # held up on a busy machine does not cut a frame in two.
    complete = "(R[0] == 0x02) & (R[9] == 0x03) & (((~SUM(R, 1, 7)) & 0xFF) == R[8])"
    rs.write_environment(folder, "S1", port, [["frame", "(R[0] == 0x02) & (R[9] == 0x03)", "Ack", "", "frame"]],
                         [["Frame", complete, "0", "0"]], records=50000, setting9=str(rate),
                         later=["None", "1", "8", "", "5000"])
    rs.write_frame(folder, "Ack", "0x06", "R[1]")


def start_pty_pair(folder):
    # The environment's port is a serial port by its name.
    device, feed = folder / "COM1", folder / "ttyFeed"
    socat = subprocess.Popen(["socat", f"pty,raw,echo=0,link={device}", f"pty,raw,echo=0,link={feed}"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while not (device.exists() and feed.exists()):
        if socat.poll() is not None or time.monotonic() > deadline:
            raise RuntimeError("socat did not make the pty pair")
        time.sleep(0.02)
    return socat, device, feed


def feed_at_line_rate(fd, rate, seconds):
    # Writes what the bit rate allows so far every millisecond or so, ending on a whole frame;
    # reads the answers.
    stream = b"".join(frame(n) for n in range(4096))
    per_second, written, answers = rate / 10.0, 0, 0
    start = time.perf_counter()
    while (now := time.perf_counter()) - start < seconds or (written % FRAME_LENGTH and now - start < seconds + 5):
        due = int((now - start) * per_second) - written
        while due > 0:
            offset = written % len(stream)
            try:
                count = os.write(fd, stream[offset:offset + min(due, len(stream) - offset)])
            except BlockingIOError:
                break
            written, due = written + count, due - count
        while select.select([fd], [], [], 0)[0]:
            answers += len(os.read(fd, 65536))
        select.select([fd], [], [], 0.001)
    return written, answers


@contextlib.contextmanager
def served_line(cli, write_device, *options):
    # orvalix-cli run --quiet on a folder whose device write_device(folder, port) makes, its port
    # one end of a socat pty pair; yields the run, the other end (open and set up) and socat.
    # Stopped, closed and removed after.
    folder = Path(tempfile.mkdtemp(prefix="orvalix-serial-"))
    socat, device, feed = start_pty_pair(folder)
    write_device(folder, device)
    run = rs.CliRun(cli, folder, "--quiet", *options)
    fd = os.open(feed, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        run.wait_running()
        time.sleep(1.0)  # the port is set up by the service thread after the run starts
        yield run, fd, socat
    finally:
        if run.process.poll() is None:
            run.process.kill()
        os.close(fd)
        socat.terminate()
        socat.wait()
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(run.trace_dir, ignore_errors=True)


def service_share(threads, threads_end, pid, wall):
    # The thread that used the most CPU besides the main one is the service thread.
    return max((threads_end.get(tid, 0.0) - t for tid, t in threads.items() if tid != pid), default=0.0) / wall


def measure(cli, rate, seconds):
    with served_line(cli, lambda folder, device: write_device(folder, device, rate)) as (run, fd, socat):
        pid = run.process.pid
        before, threads, socat_before = rs.cpu_seconds(pid), rs.thread_cpu_seconds(pid), rs.cpu_seconds(socat.pid)
        own, start = time.process_time(), time.perf_counter()
        written, answers = feed_at_line_rate(fd, rate, seconds)
        wall = time.perf_counter() - start
        after, threads_end = rs.cpu_seconds(pid), rs.thread_cpu_seconds(pid)
        socat_share, own_share = (rs.cpu_seconds(socat.pid) - socat_before) / wall, (time.process_time() - own) / wall
        time.sleep(0.3)  # the last frames are served and answered before the stop
        while select.select([fd], [], [], 0)[0]:
            answers += len(os.read(fd, 65536))
        status = run.stop()
        received, sent = run.summary().get("S1", (0, 0))
    frames = written // FRAME_LENGTH
    result = {"rate": rate, "status": status, "process": 100 * (after - before) / wall,
              "service": 100 * service_share(threads, threads_end, pid, wall), "socat": 100 * socat_share,
              "feeder": 100 * own_share, "bytes_per_s": written / wall, "frames": frames, "received": received,
              "sent": sent, "answers": answers // 2}
    result["ok"] = status == 0 and received == sent == frames and result["answers"] == frames
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default=str(rs.DEFAULT_CLI))
    parser.add_argument("--rates", default="115200,921600")
    parser.add_argument("--seconds", type=float, default=20.0)
    options = parser.parse_args()
    print(f"machine: {rs.machine()}")
    print(f"{'bit/s':>8} {'bytes/s fed':>11} {'orvalix-cli CPU':>15} {'service thread':>14} {'socat':>6} "
          f"{'feeder':>6} {'frames':>7} {'summary rx/tx':>15} {'acks':>7}")
    failed = False
    for rate in (int(r) for r in options.rates.split(",")):
        r = measure(options.cli, rate, options.seconds)
        check = f"{r['received']}/{r['sent']}" + ("" if r["ok"] else " !")
        print(f"{r['rate']:>8} {r['bytes_per_s']:>11.0f} {r['process']:>14.1f}% {r['service']:>13.1f}% "
              f"{r['socat']:>5.1f}% {r['feeder']:>5.1f}% {r['frames']:>7} {check:>15} {r['answers']:>7}", flush=True)
        failed |= not r["ok"]
    print("CPU: utime + stime over the feed / wall time, as a share of one core ('!': the summary or the"
          " acknowledgements do not match the frames fed)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
