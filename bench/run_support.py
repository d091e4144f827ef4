# What the benchmark scripts share: data folders, an orvalix-cli run, its traces and its summary,
# CPU times from /proc, UDP request/reply traffic and percentiles. Python 3 standard library only.

import os, re, select, signal, socket, subprocess, tempfile, time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DEFAULT_CLI = ROOT / "build" / "bench" / "src" / "cli" / "orvalix-cli"  # the bench preset
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
CYCLE_START = "Cyclic process started."
BETWEEN_CYCLES = ("Arrival pass ", "Time-out pass ")


# --- data folders -----------------------------------------------------------------------------

def write_csv(path, rows):
    quote = lambda text: '"' + text.replace('"', '""') + '"' if re.search('[,"]', text) else text
    Path(path).write_bytes("".join(",".join(quote(str(cell)) for cell in row) + "\r\n" for row in rows).encode())


def write_environment(folder, name, port, steps, named=(), records=1000, pre=0, post=0, setting9="", later=()):
    # Settings 0 to 4, four unread rows, setting 9 and then settings 10 onwards.
    write_csv(folder / f"{name}.Environments.csv",
              [["Setting", "Description", "Value"], ["Port", "", port], ["Records", "", records],
               ["RecordLength", "", 64], ["PreTrigger", "", pre], ["PostTrigger", "", post]]
              + [["(not read)", "", ""]] * 4 + [["Setting9", "", setting9]]
              + [[f"Setting{10 + k}", "", value] for k, value in enumerate(later)])
    write_csv(folder / f"{name}.Sequences.csv", [["Label", "TxCondition", "Frame", "JumpCondition", "Target"], *steps])
    write_csv(folder / f"{name}.Named.csv", [["Name", "Condition", "MarkCondition", "TriggerCondition"], *named])


def write_frame(folder, name, *values):
    write_csv(folder / f"{name}.csv", [["Frame", name], ["Offset", "Value"], *enumerate(values)])


# --- the request/reply device -----------------------------------------------------------------

def _crc_table():
    table = []
    for byte in range(256):
        r = byte
        for _ in range(8):
            r = (r >> 1) ^ 0x8408 if r & 1 else r >> 1
        table.append(r)
    return table


CRC_TABLE = _crc_table()


def with_crc(data):
    # Appends CRC_CCITT1 (CRC-16/X-25) of the bytes, low byte first.
    r = 0xFFFF
    for byte in data:
        r = (r >> 8) ^ CRC_TABLE[(r ^ byte) & 0xFF]
    return bytes(data) + ((r ^ 0xFFFF) & 0xFFFF).to_bytes(2, "little")


# A request 02 53 <seq hi> <seq lo> 03 <crc>, answered with 02 73 <seq hi> <seq lo> 03 <crc>.
request = lambda seq: with_crc(bytes((0x02, 0x53, seq >> 8, seq & 0xFF, 0x03)))
reply = lambda seq: with_crc(bytes((0x02, 0x73, seq >> 8, seq & 0xFF, 0x03)))
VALID_REQUEST = "(R[0] == 0x02) & (R[1] == 0x53) & (R[4] == 0x03) & (CRC_CCITT1(R, 0, 5) == (R[5] | (R[6] << 8)))"


def write_udp_devices(folder, ports):
    return write_request_devices(folder, [f"127.0.0.1:{port}" for port in ports])


def write_request_devices(folder, port_names, later=(), setting9=""):
    # One environment per port name, each answering every valid request with its reply; `later`
    # holds settings 10 onwards (the character time-out is setting 14; a serial line's bit rate
    # is setting 9).
    names = []
    for k, port_name in enumerate(port_names):
        name = f"D{k:03d}"
        write_environment(folder, name, port_name, [["answer", VALID_REQUEST, "Reply", "", "answer"]],
                          [["Request", "(R[0] == 0x02) & (R[1] == 0x53)", "0", "0"]], setting9=setting9,
                          later=later)
        names.append(name)
    write_frame(folder, "Reply", "0x02", "0x73", "R[2]", "R[3]", "0x03", "CRC_CCITT1(T, 0, 5)", "")
    return names


def free_ports(count, kind):
    # Ports free now: all bound at once so that none repeats, then released.
    sockets = []
    try:
        for _ in range(count):
            s = socket.socket(socket.AF_INET, kind)
            s.bind(("127.0.0.1", 0))
            sockets.append(s)
        return [s.getsockname()[1] for s in sockets]
    finally:
        for s in sockets:
            s.close()


def free_udp_ports(count):
    return free_ports(count, socket.SOCK_DGRAM)


def free_tcp_ports(count):
    return free_ports(count, socket.SOCK_STREAM)


class LoadGenerator:
    # Sends `rate` requests a second to each port, spread evenly over the period, and takes
    # the replies; latencies are measured on this process's clock.
    def __init__(self, ports, rate=100.0):
        self.ports, self.period = list(ports), 1.0 / rate
        self.index = {port: k for k, port in enumerate(self.ports)}
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.socket.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 8 << 20)
        self.socket.bind(("127.0.0.1", 0))
        self.socket.setblocking(False)
        self.requests = [request(seq) for seq in range(1 << 16)]
        self.replies = {reply(seq): seq for seq in range(1 << 16)}
        self.sent_at = [[] for _ in self.ports]  # send time of each request, by sequence number
        self.latencies, self.replies_received, self.unexpected = [], 0, 0  # latencies: (send time, seconds)
        self.answered = [set() for _ in self.ports]

    def wait_until_answering(self, timeout=20.0):
        # Sequence 0xFFFF probes each port until it answers: a request sent before the port is
        # bound is lost. Probe replies count as replies but not as latencies.
        deadline, waiting = time.monotonic() + timeout, set(range(len(self.ports)))
        while waiting and time.monotonic() < deadline:
            for k in waiting:
                self.socket.sendto(self.requests[0xFFFF], ("127.0.0.1", self.ports[k]))
            end = time.monotonic() + 0.25
            while time.monotonic() < end:
                for k in self._drain():
                    waiting.discard(k)
                select.select([self.socket], [], [], 0.01)
        time.sleep(0.1)
        self._drain()
        return not waiting

    def run(self, keep_going):
        # Sends until keep_going(now) is false; returns the time the load started.
        count, j, start = len(self.ports), 0, time.perf_counter() + 0.01
        due = lambda j: start + (j // count) * self.period + (j % count) * self.period / count
        while True:
            now = time.perf_counter()
            if not keep_going(now):
                return start
            while due(j) <= now:
                k, seq = j % count, j // count
                self.sent_at[k].append(time.perf_counter())
                self.socket.sendto(self.requests[seq % 0xFFFF], ("127.0.0.1", self.ports[k]))
                j += 1
            self._drain()
            select.select([self.socket], [], [], max(0.0, due(j) - time.perf_counter()))

    def drain_for(self, seconds):
        end = time.perf_counter() + seconds
        while time.perf_counter() < end:
            self._drain()
            select.select([self.socket], [], [], 0.01)

    def _drain(self):
        answered = []
        while True:
            try:
                data, sender = self.socket.recvfrom(2048)
            except BlockingIOError:
                return answered
            now = time.perf_counter()
            k, seq = self.index.get(sender[1]), self.replies.get(data)
            if k is None or seq is None:
                self.unexpected += 1
                continue
            self.replies_received += 1
            answered.append(k)
            if seq == 0xFFFF:
                continue
            sent = self.sent_at[k]
            # Sequence numbers wrap at 0xFFFF: the newest request with this number.
            n = seq + ((len(sent) - 1 - seq) // 0xFFFF) * 0xFFFF if len(sent) > seq else None
            if n is None or n in self.answered[k]:
                self.unexpected += 1
                continue
            self.answered[k].add(n)
            self.latencies.append((sent[n], now - sent[n]))

    def unanswered_sent_before(self, moment):
        return sum(1 for k, sent in enumerate(self.sent_at) for n, t in enumerate(sent)
                   if t < moment and n not in self.answered[k])

    def requests_sent(self):
        return sum(len(sent) for sent in self.sent_at)

    def close(self):
        self.socket.close()


# --- an orvalix-cli run -----------------------------------------------------------------------

class CliRun:
    def __init__(self, cli, folder, *arguments):
        self.trace_dir = Path(tempfile.mkdtemp(prefix="orvalix-bench-trace-"))
        self.stdout, self.stderr = self.trace_dir / "stdout.txt", self.trace_dir / "stderr.txt"
        environment = {k: v for k, v in os.environ.items() if k != "LANGUAGE"} | {"LC_ALL": "C", "LANG": "C"}
        with open(self.stdout, "wb") as out, open(self.stderr, "wb") as err:
            self.process = subprocess.Popen([str(cli), "run", str(folder), "--trace-dir", str(self.trace_dir),
                                             *arguments], stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                            env=environment)

    def output(self):
        return self.stdout.read_text(encoding="utf-8", errors="replace")

    def wait_running(self, timeout=20.0):
        deadline = time.monotonic() + timeout
        while not re.search(r"^Running", self.output(), re.MULTILINE):
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError(f"orvalix-cli did not start:\n{self.output()}{self.stderr.read_text()}")
            time.sleep(0.05)

    def stop(self, timeout=60.0):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        return self.process.wait(timeout=timeout)

    def summary(self):
        # environment -> (received, sent) from the summary lines.
        return {m[1]: (int(m[2]), int(m[3]))
                for m in re.finditer(r"^  (\S+): (\d+) received, (\d+) sent", self.output(), re.MULTILINE)}

    def controller_trace(self):
        return read_trace(self.trace_dir / "Controller.csv")


def read_trace(path):
    # (ticks per second, [(stamp, message)]) of a trace file.
    lines = Path(path).read_text(encoding="utf-8", errors="replace").splitlines()
    frequency = int(lines[0].split(",")[1])
    entries = []
    for line in lines[1:]:
        stamp, _, message = line.partition(",,")
        entries.append((int(stamp), message))
    return frequency, entries


def cycles(trace):
    # [(start in s, busy s)] of every cycle that the trace holds whole: from its start checkpoint
    # to the last checkpoint before the next cycle's start, or before the first pass between
    # cycles (on-arrival runs), which is not the cycle's work. The last cycle is left out.
    frequency, entries = trace
    starts = [k for k, (_, message) in enumerate(entries) if message == CYCLE_START]

    def end(a, b):
        passes = [k for k in range(a + 1, b) if entries[k][1].startswith(BETWEEN_CYCLES)]
        return passes[0] if passes else b

    return [(entries[a][0] / frequency, (entries[end(a, b) - 1][0] - entries[a][0]) / frequency)
            for a, b in zip(starts, starts[1:])]


def periods(trace, skip_first=True):
    # Seconds between consecutive cycle starts; the first cycle of a run (right after the
    # timer is made) is left out when the trace still holds the run's start.
    frequency, entries = trace
    stamps = [stamp for stamp, message in entries if message == CYCLE_START]
    if skip_first and any(message == "Start service loop." for _, message in entries):
        stamps = stamps[1:]
    return [(b - a) / frequency for a, b in zip(stamps, stamps[1:])]


# --- CPU time ---------------------------------------------------------------------------------

def cpu_seconds(pid, tid=None):
    # utime + stime of a process (or one of its threads) in seconds.
    path = f"/proc/{pid}/stat" if tid is None else f"/proc/{pid}/task/{tid}/stat"
    fields = Path(path).read_text().rpartition(")")[2].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def thread_cpu_seconds(pid):
    result = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            result[int(tid)] = cpu_seconds(pid, tid)
        except OSError:
            pass
    return result


def percentile(values, fraction):
    if not values:
        return float("nan")
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * (len(ordered) - 1) + 0.5))]


def machine():
    model = next((line.split(":", 1)[1].strip() for line in Path("/proc/cpuinfo").read_text().splitlines()
                  if line.startswith("model name")), "?")
    return f"{model}, {os.cpu_count()} cores, load average {os.getloadavg()[0]:.1f}"
