#!/usr/bin/env python3
# Request/reply round trip over TCP beside UDP, on loopback: orvalix-cli runs a folder of N devices,
# each answering a valid request with its reply, as TCP servers (`tcp-server://127.0.0.1:PORT`) or
# as UDP ports, and this process keeps one client per device: it sends a request, waits for the
# whole reply and sends the next, so each device has one request in flight at a time.
#
#   tcp_latency.py [--cli PATH] [--counts 1,32] [--requests 1000] [--timeout 1.0]
#
# The device's transmit condition recognises the whole 7-byte request (its CRC included), so a TCP
# frame ends as soon as its last byte has been read. The character time-out (setting 14) is set to
# 100 ms: a frame that ended by the time-out instead would show as a reply some 100 ms late.
# Latency is send to the reply's last byte on this process's clock. A request without its reply
# after --timeout seconds counts as unanswered and the client goes on with the next; a late reply
# is then recognised by its sequence number and not counted. Each row is its own orvalix-cli run,
# whose folder holds that row's devices only; TCP and UDP rows alternate.

import argparse, selectors, shutil, socket, sys, tempfile, time
from pathlib import Path

import run_support as rs

CHARACTER_TIMEOUT_MS = 100
REPLY_LENGTH = len(rs.reply(0))
PROBE = 0xFFFF  # the sequence number of the requests that wait for a device to answer


class Client:
    # One device's client: a connected TCP or UDP socket, the request in flight and its send time.
    def __init__(self, kind, port):
        self.kind, self.port = kind, port
        self.socket = None
        self.pending, self.sent_at, self.buffer = None, 0.0, b""
        self.latencies, self.unanswered, self.unexpected, self.next_seq = [], 0, 0, 0

    def connect(self, deadline):
        # A TCP server may not listen yet while orvalix-cli starts: try again until the deadline.
        while True:
            family = socket.SOCK_STREAM if self.kind == "TCP" else socket.SOCK_DGRAM
            s = socket.socket(socket.AF_INET, family)
            try:
                s.connect(("127.0.0.1", self.port))
                break
            except ConnectionRefusedError:
                s.close()
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.05)
        if self.kind == "TCP":
            s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        s.setblocking(False)
        self.socket = s

    def send(self, seq):
        self.pending, self.sent_at = seq, time.perf_counter()
        try:
            self.socket.send(rs.request(seq))
        except ConnectionRefusedError:
            pass  # UDP: an earlier request found the port not yet bound; this one is lost, the probe resends

    def receive(self):
        # The replies now readable; returns True when the one in flight has come.
        try:
            data = self.socket.recv(4096)
        except (BlockingIOError, ConnectionRefusedError):
            return False  # a UDP request sent before the port was bound
        now = time.perf_counter()
        if self.kind == "TCP" and not data:
            raise RuntimeError(f"TCP device on port {self.port} closed the connection")
        # A stream is cut into replies of a known length; a datagram is one reply.
        self.buffer = self.buffer + data if self.kind == "TCP" else data
        answered = False
        while len(self.buffer) >= REPLY_LENGTH:
            piece, self.buffer = self.buffer[:REPLY_LENGTH], self.buffer[REPLY_LENGTH:]
            seq = REPLIES.get(piece)
            if seq is None:
                self.unexpected += 1
                self.buffer = b""  # the stream lost its reply boundaries: start over
            elif seq == self.pending:
                if seq != PROBE:
                    self.latencies.append(now - self.sent_at)
                self.pending, answered = None, True
            if self.kind == "UDP":
                break
        return answered

    def close(self):
        if self.socket is not None:
            self.socket.close()


REPLIES = {rs.reply(seq): seq for seq in range(1 << 16)}


def wait_until_answering(clients, selector, timeout=20.0):
    # Probes every device until it answers, resending every 0.25 s; a late probe reply is ignored.
    deadline, waiting = time.monotonic() + timeout, set(clients)
    while waiting and time.monotonic() < deadline:
        for client in waiting:
            client.send(PROBE)
        end = time.monotonic() + 0.25
        while waiting and time.monotonic() < end:
            for key, _ in selector.select(0.01):
                if key.data.receive():
                    waiting.discard(key.data)
    return not waiting


def closed_loop(clients, selector, requests, timeout):
    # Every client sends requests 0 to requests - 1, one at a time; returns the wall time taken.
    start = time.perf_counter()
    for client in clients:
        client.send(0)
        client.next_seq = 1
    busy = set(clients)

    def advance(client):
        if client.next_seq < requests:
            client.send(client.next_seq)
            client.next_seq += 1
        else:
            client.pending = None
            busy.discard(client)

    while busy:
        for key, _ in selector.select(0.005):
            client = key.data
            if client.receive():
                advance(client)
        now = time.perf_counter()
        for client in list(busy):
            if client.pending is not None and now - client.sent_at > timeout:
                client.unanswered += 1
                advance(client)
    return time.perf_counter() - start


def measure(cli, kind, count, requests, timeout):
    folder = Path(tempfile.mkdtemp(prefix=f"orvalix-{kind.lower()}-latency-"))
    if kind == "TCP":
        ports = rs.free_tcp_ports(count)
        rs.write_request_devices(folder, [f"tcp-server://127.0.0.1:{port}" for port in ports],
                                 later=("", "", "", "", CHARACTER_TIMEOUT_MS))
    else:
        ports = rs.free_udp_ports(count)
        rs.write_request_devices(folder, [f"127.0.0.1:{port}" for port in ports])
    clients = [Client(kind, port) for port in ports]
    selector = selectors.DefaultSelector()
    run = rs.CliRun(cli, folder, "--quiet")
    try:
        run.wait_running()
        deadline = time.monotonic() + 20.0
        for client in clients:
            client.connect(deadline)
            selector.register(client.socket, selectors.EVENT_READ, client)
        if not wait_until_answering(clients, selector):
            raise RuntimeError(f"not every {kind} device answers\n{run.output()}")
        time.sleep(0.1)  # late probe replies arrive and are dropped before the load
        for key, _ in selector.select(0):
            key.data.receive()
        wall = closed_loop(clients, selector, requests, timeout)
        status = run.stop()
    finally:
        if run.process.poll() is None:
            run.process.kill()
        selector.close()
        for client in clients:
            client.close()
    latencies = [1e3 * t for client in clients for t in client.latencies]
    result = {
        "kind": kind, "N": count, "requests": count * requests, "wall": wall, "status": status,
        "p50": rs.percentile(latencies, 0.5), "p99": rs.percentile(latencies, 0.99),
        "max": max(latencies, default=float("nan")),
        "unanswered": sum(client.unanswered for client in clients),
        "unexpected": sum(client.unexpected for client in clients),
        "environments": len(run.summary()),
    }
    shutil.rmtree(folder, ignore_errors=True)
    shutil.rmtree(run.trace_dir, ignore_errors=True)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", default=str(rs.DEFAULT_CLI))
    parser.add_argument("--counts", default="1,32", help="environments per row")
    parser.add_argument("--requests", type=int, default=1000, help="requests per client, one at a time")
    parser.add_argument("--timeout", type=float, default=1.0, help="seconds before a request counts as unanswered")
    options = parser.parse_args()
    print(f"machine: {rs.machine()}")
    print(f"each client: {options.requests} requests, one at a time, unanswered after {options.timeout:g} s;"
          f" TCP character time-out {CHARACTER_TIMEOUT_MS} ms; cycle period 10 ms")
    print(f"{'kind':<4} {'environments':>12} {'requests':>8} {'p50 ms':>7} {'p99 ms':>7} {'max ms':>7} "
          f"{'unanswered':>10} {'unexpected':>10} {'wall s':>6}")
    rows, failed = [], False
    for count in (int(n) for n in options.counts.split(",")):
        for kind in ("TCP", "UDP"):
            r = measure(options.cli, kind, count, options.requests, options.timeout)
            rows.append(r)
            print(f"{r['kind']:<4} {r['N']:>12} {r['requests']:>8} {r['p50']:>7.2f} {r['p99']:>7.2f} "
                  f"{r['max']:>7.2f} {r['unanswered']:>10} {r['unexpected']:>10} {r['wall']:>6.1f}", flush=True)
            failed |= r["status"] != 0 or r["environments"] != count or r["unexpected"] != 0
    print(f"machine load average at the end: {rs.machine().rpartition('load average ')[2]}")
    for tcp, udp in zip(rows[0::2], rows[1::2]):
        met = tcp["p50"] - udp["p50"] <= 1.0 and tcp["unanswered"] == 0
        print(f"goal at {tcp['N']} environments (TCP p50 within 1 ms of UDP, no reply lost):"
              f" {'met' if met else 'missed'} (TCP - UDP p50 {tcp['p50'] - udp['p50']:+.2f} ms,"
              f" {tcp['unanswered']} unanswered)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
