#!/usr/bin/env python3
# The bundled Modbus examples run by `orvalix-cli run` and served to real Modbus masters: the RTU
# slave (examples/modbus-rtu) over a socat pty pair, the TCP server (examples/modbus-tcp) on a free
# loopback port; each to mbpoll, pymodbus and raw bytes. Linux only; a test whose master (or socat)
# is missing is skipped, and all of them skipped exit with 77.
#
#   modbus_test.py --cli PATH/orvalix-cli [ModbusRtu | ModbusTcp] [unittest arguments]
#
# Every wait is bounded; nothing asserts how fast anything is.

import csv, os, re, select, shutil, socket, subprocess, sys, time, tty
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ of the shared helpers in the source tree
import e2e_test
from e2e_test import E2ETest, Run, TIME, free_tcp_port, hex_bytes, read_until, wait_listening

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
BIT_RATE = 9600  # the example's line: 9600 bits/s, 8 data bits, no parity, 1 stop bit


def with_crc(*data):
    # Appends CRC-16/MODBUS of the bytes, low byte first.
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes(data) + crc.to_bytes(2, "little")


def read_request(unit, start, count):
    return with_crc(unit, 3, *start.to_bytes(2, "big"), *count.to_bytes(2, "big"))


def read_reply(start, count):  # each register holds its address + 1000
    return with_crc(1, 3, 2 * count, *b"".join((1000 + start + k).to_bytes(2, "big") for k in range(count)))


def copy_example(test, name, port):
    # The example in a folder of its own, its port row rewritten.
    data = test.folder() / name
    shutil.copytree(EXAMPLES / name, data)
    environment = data / "M1.Environments.csv"
    rows = list(csv.reader(environment.read_text("ascii").splitlines()))
    test.assertEqual(rows[1][0], "Port")
    rows[1][2] = port
    with open(environment, "w", newline="", encoding="ascii") as out:
        csv.writer(out, lineterminator="\r\n").writerows(rows)
    return data


def need(test, tool):
    if not shutil.which(tool):
        test.skipTest(f"{tool} is not installed")


def socat_pair(test, first, second):
    # A pty pair made by socat, its ends linked at the two paths once this returns.
    need(test, "socat")
    socat = subprocess.Popen(["socat", f"pty,raw,echo=0,link={first}", f"pty,raw,echo=0,link={second}"],
                             stderr=subprocess.DEVNULL)
    test.addCleanup(lambda: socat.kill() or socat.wait(10))
    deadline = time.monotonic() + 10
    while not (Path(first).exists() and Path(second).exists()) and time.monotonic() < deadline:
        time.sleep(0.05)
    return socat


def open_line(test, path):  # the master's end of the line, raw
    line = os.open(path, os.O_RDWR | os.O_NOCTTY)
    test.addCleanup(os.close, line)
    tty.setraw(line)
    return line


def mbpoll(test, *arguments, tries=1):
    # One poll of holding registers from reference 1 (references count from 1: reference 1 is register 0),
    # tried again while it fails.
    for _ in range(tries):
        poll = subprocess.run(["mbpoll", "-a", "1", "-t", "4", "-r", "1", "-1", *arguments], capture_output=True,
                              text=True, timeout=60)
        if poll.returncode == 0:
            break
    return poll


def check_sixteen_registers(test, poll, run):  # each its address + 1000
    values = re.findall(r"^\[(\d+)\]:\s+(-?\d+)$", poll.stdout, re.MULTILINE)
    test.assertEqual([(int(reference), int(value)) for reference, value in values],
                     [(reference, 999 + reference) for reference in range(1, 17)],
                     f"{poll.stdout}{poll.stderr}{run.describe()}")


def pymodbus_client(test, kind):  # pymodbus 3; Debian 12 ships 3.0
    try:
        import pymodbus.client
    except ImportError:
        test.skipTest(f"pymodbus 3 is not importable by {sys.executable} (Debian: python3-pymodbus)")
    return getattr(pymodbus.client, kind)


# Rule; the request; the function and the exception code of the answer.
EXCEPTIONS = [
    ("registers 95 to 104 reach past the last, 99", lambda client: client.read_holding_registers(95, 10, slave=1),
     0x83, 2),
    ("register 100 is not held", lambda client: client.write_register(100, 1, slave=1), 0x86, 2),
    ("a count of 17 is above the 16 read at once", lambda client: client.read_holding_registers(0, 17, slave=1),
     0x83, 3),
    ("function 4 is not known", lambda client: client.read_input_registers(0, 1, slave=1), 0x84, 1),
]


def check_reads_write_and_exceptions(test, client):
    for start, count in (0, 1), (42, 7), (84, 16):
        with test.subTest(start=start, count=count):
            answer = client.read_holding_registers(start, count, slave=1)
            test.assertFalse(answer.isError(), answer)
            test.assertEqual(answer.registers, [1000 + start + k for k in range(count)])
    echo = client.write_register(99, 0xBEEF, slave=1)
    test.assertEqual((getattr(echo, "address", None), getattr(echo, "value", None)), (99, 0xBEEF), echo)
    for rule, request, function, code in EXCEPTIONS:
        with test.subTest(rule):
            answer = request(client)
            test.assertEqual((getattr(answer, "function_code", None), getattr(answer, "exception_code", None)),
                             (function, code), answer)


class ModbusTest(E2ETest):
    def finish(self, run):
        self.assertEqual(run.stop(), 0, run.describe())
        self.assertEqual(run.output(1), "")


class ModbusRtuServer(ModbusTest):
    RUN_OPTIONS = ()

    def serve(self, faults=None):
        # The example in a folder of its own, its port row moved to one end of a fresh socat pty pair, and
        # the fault file given; returns the run and the other end, where the masters connect.
        folder = self.folder()
        device, master = folder / "ttyCOM1", folder / "master"
        socat_pair(self, device, master)
        data = copy_example(self, "modbus-rtu", str(device))
        if faults:
            (data / "M1.Faults.csv").write_text(faults, "ascii")
        run = Run(self, data, "--for", "200", *self.RUN_OPTIONS)
        self.assertTrue(run.shows(r"^Running"), run.describe())
        return run, master


class ModbusRtu(ModbusRtuServer):
    def test_mbpoll_reads_sixteen_registers_each_its_address_plus_1000(self):
        need(self, "mbpoll")
        run, master = self.serve()
        # A poll that times out is tried again.
        poll = mbpoll(self, "-m", "rtu", "-b", str(BIT_RATE), "-P", "none", "-c", "16", "-o", "2", str(master), tries=5)
        check_sixteen_registers(self, poll, run)
        self.finish(run)
        self.assertLines(run.output(), rf"M1 {TIME} TX 37 {e2e_test.TX} {hex_bytes(read_reply(0, 16))}")

    def test_pymodbus_reads_any_count_writes_and_gets_each_exception(self):
        ModbusSerialClient = pymodbus_client(self, "ModbusSerialClient")
        run, master = self.serve()
        # Time-outs in whole seconds (3.0 takes no fractions); a request without an answer is sent again.
        client = ModbusSerialClient(port=str(master), baudrate=BIT_RATE, parity="N", stopbits=1, bytesize=8,
                                    timeout=2, retries=3)
        self.assertTrue(client.connect())
        self.addCleanup(client.close)
        check_reads_write_and_exceptions(self, client)
        self.finish(run)

    def test_raw_requests_in_pieces_are_answered_and_bad_ones_meet_silence(self):
        run, master = self.serve()
        line = open_line(self, master)

        def silent():  # nothing comes for 300 ms: no answer, whatever its speed would have been
            return not select.select([line], [], [], 0.3)[0]

        def ask(request, reply, pieces=(8,), gap=0.0):
            # Writes the request in pieces, gap seconds apart, then lets a late answer to an earlier try go by.
            # A whole request is written again when no answer comes, as a master would; one in pieces only
            # when this process was held up between two pieces, since pieces less than 35 ms apart stay within
            # the 50 ms character time-out whatever the cycle.
            for _ in range(5):
                offset, times = 0, []
                for size in pieces:
                    times.append(time.monotonic())
                    os.write(line, request[offset:offset + size])
                    offset += size
                    time.sleep(gap)
                answer = read_until(line, len(reply), timeout=2)
                held_up = any(later - earlier > 0.035 for earlier, later in zip(times, times[1:]))
                if answer == reply or (len(pieces) > 1 and not held_up):
                    break
            while not silent():
                os.read(line, 256)
            return answer

        self.assertEqual(ask(read_request(1, 0, 1), read_reply(0, 1)), read_reply(0, 1), run.describe())
        # Pieces that come over several 10 ms cycles but closer than the 50 ms character time-out make one
        # request, answered once it is whole: bytes as a slow line brings them, chunks as an adapter does.
        for pieces, gap in ((1,) * 8, 0.02), ((2, 3, 3), 0.005):
            with self.subTest(pieces=pieces):
                self.assertEqual(ask(read_request(1, 10, 3), read_reply(10, 3), pieces, gap), read_reply(10, 3),
                                 run.describe())
        # Neither a request with a wrong CRC nor one for unit 2 is answered; the silence after it ends it, and
        # the next request is answered as usual.
        wrong_crc = read_request(1, 20, 2)[:-1] + bytes([read_request(1, 20, 2)[-1] ^ 0xFF])
        unanswered = [("a wrong CRC", wrong_crc), ("unit 2", read_request(2, 20, 2))]
        for rule, request in unanswered:
            with self.subTest(rule):
                os.write(line, request)
                self.assertTrue(silent(), run.describe())
                self.assertEqual(ask(read_request(1, 30, 2), read_reply(30, 2)), read_reply(30, 2), run.describe())
        self.finish(run)
        # Each was a frame of its own, and the next record is the next request: no answer went out in between.
        for rule, request in unanswered:
            self.assertLines(run.output(), rf"M1 {TIME} RX 8 {e2e_test.RX} {hex_bytes(request)}\n"
                                           rf"M1 {TIME} RX 8 {e2e_test.RX} {hex_bytes(read_request(1, 30, 2))}")


class ModbusRtuOnArrival(ModbusRtu):
    # The same masters and the same answers when each byte is taken as it comes: a request in pieces still
    # makes one frame, ended by its content or by the silence after it.
    RUN_OPTIONS = ("--on-arrival",)

    def finish(self, run):
        super().finish(run)
        self.assertLines(run.output(), "Answering on arrival: .*")
        self.assertIn(",Arrival pass 0.", (run.trace_dir / "Controller.csv").read_text(), run.describe())


class ModbusFaults(ModbusRtuServer):
    FAULTS = ("Name,When,Action,Parameter,Probability,Limit\r\n"
              "badcrc,,corrupt,3:0xFF,,1\r\n"  # the first reply's first data byte: its CRC no longer matches
              "slow,T[4] == 0xFC,delay,300,,\r\n")  # register 20 (1020 = 0x03FC) comes 300 ms late

    def test_a_corrupted_reply_fails_the_masters_crc_check_and_a_delayed_one_comes_late(self):
        need(self, "mbpoll")
        run, master = self.serve(self.FAULTS)
        poll = mbpoll(self, "-m", "rtu", "-b", str(BIT_RATE), "-P", "none", "-c", "1", "-o", "2", str(master))
        self.assertNotEqual(poll.returncode, 0, poll.stdout)
        self.assertRegex(poll.stdout + poll.stderr, re.compile("crc", re.IGNORECASE))

        line = open_line(self, master)

        def round_trip(start):  # seconds from the request to the whole reply
            request, reply = read_request(1, start, 1), read_reply(start, 1)
            sent = time.monotonic()
            self.assertEqual(read_until(line, len(reply)), reply, run.describe())
            return time.monotonic() - sent

        os.write(line, read_request(1, 0, 1))
        plain = round_trip(0)
        os.write(line, read_request(1, 20, 1))
        delayed = round_trip(20)
        # Bounds, not speed: the delay is all there, and nothing like a second delay comes on top of it
        # (wide, for a shared machine).
        self.assertGreaterEqual(delayed, 0.3)
        self.assertLess(delayed - plain, 0.3 + 0.25, (plain, delayed))
        self.finish(run)
        self.assertLines(run.output(), r"Fault seed: 1 \(--seed 1 repeats this run's draws\)",
                         rf"M1 {TIME} TX 7 40010000 01 03 02 fc e8 .. .. fault: badcrc",
                         rf"M1 {TIME} TX 7 40020000 {hex_bytes(read_reply(20, 1))} fault: slow",
                         r"    fault badcrc \(corrupt\): applied 1", r"    fault slow \(delay\): applied 1")


def mbap(transaction, unit, *pdu):  # a Modbus TCP frame: MBAP header, then the PDU
    return transaction.to_bytes(2, "big") + bytes(2) + (1 + len(pdu)).to_bytes(2, "big") + bytes([unit, *pdu])


def tcp_read_request(transaction, unit, start, count):
    return mbap(transaction, unit, 3, *start.to_bytes(2, "big"), *count.to_bytes(2, "big"))


def tcp_read_reply(transaction, unit, start, count):
    return mbap(transaction, unit, 3, 2 * count, *b"".join((1000 + start + k).to_bytes(2, "big") for k in range(count)))


def serve_modbus_tcp(test, *options):
    # The example on a free loopback port, listening once this returns; returns the run and the port.
    port = free_tcp_port()
    run = Run(test, copy_example(test, "modbus-tcp", f"tcp-server://127.0.0.1:{port}"), "--for", "200", *options)
    test.assertTrue(run.shows(r"^Running"), run.describe())
    test.assertTrue(wait_listening(port), run.describe())
    return run, port


class ModbusTcp(ModbusTest):
    serve = serve_modbus_tcp

    def connect(self, port):
        client = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.addCleanup(client.close)
        return client

    def test_mbpoll_reads_sixteen_registers_each_its_address_plus_1000(self):
        need(self, "mbpoll")
        run, port = self.serve()
        check_sixteen_registers(self, mbpoll(self, "-m", "tcp", "-p", str(port), "-c", "16", "-o", "5", "127.0.0.1"), run)
        self.finish(run)
        reply = hex_bytes(tcp_read_reply(0, 1, 0, 16)[2:])  # whatever transaction id mbpoll chose
        self.assertLines(run.output(), rf"M1 {TIME} TX 41 {e2e_test.TX} [0-9a-f]{{2}} [0-9a-f]{{2}} {reply}")

    def test_pymodbus_reads_any_count_writes_and_gets_each_exception(self):
        ModbusTcpClient = pymodbus_client(self, "ModbusTcpClient")
        run, port = self.serve()
        client = ModbusTcpClient("127.0.0.1", port=port, timeout=5, retries=3)
        self.assertTrue(client.connect())
        self.addCleanup(client.close)
        check_reads_write_and_exceptions(self, client)
        self.finish(run)

    def test_clients_are_served_one_after_the_other_and_each_shows_its_connection(self):
        run, port = self.serve()
        first = self.connect(port)
        # Any unit id and transaction id come back as sent; a request in two segments is one request.
        first.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        request = tcp_read_request(0x1234, 7, 10, 3)
        first.sendall(request[:5])
        first.sendall(request[5:])
        self.assertEqual(read_until(first, 15), tcp_read_reply(0x1234, 7, 10, 3), run.describe())
        # The second client waits in the backlog: its request is answered once the first has closed.
        second = self.connect(port)
        second.sendall(tcp_read_request(0xBEEF, 1, 0, 2))
        self.assertEqual(read_until(second, 13, timeout=0.5), b"", run.describe())
        first_address = "127.0.0.1:%d" % first.getsockname()[1]
        first.close()
        self.assertEqual(read_until(second, 13), tcp_read_reply(0xBEEF, 1, 0, 2), run.describe())
        # A protocol id other than 0 makes no request: no answer, and the next request is answered as usual.
        second.sendall(b"\x00\x01\x00\x01" + tcp_read_request(1, 1, 0, 1)[4:])
        self.assertEqual(read_until(second, 11, timeout=0.5), b"", run.describe())
        second.sendall(tcp_read_request(2, 1, 5, 1))
        self.assertEqual(read_until(second, 11), tcp_read_reply(2, 1, 5, 1), run.describe())
        # The length field decides where a request ends: a function 3 with a byte too many is exception 3.
        second.sendall(mbap(3, 1, 3, 0, 0, 0, 1, 0))
        self.assertEqual(read_until(second, 9), mbap(3, 1, 0x83, 3), run.describe())
        second_address = "127.0.0.1:%d" % second.getsockname()[1]
        second.close()
        self.assertTrue(run.shows(rf"^M1 disconnected {second_address}$"), run.describe())
        self.finish(run)
        lines = [line for line in run.output().splitlines() if re.match(r"M1 (dis)?connected ", line)]
        self.assertEqual(lines, [f"M1 connected {first_address}", f"M1 disconnected {first_address}",
                                 f"M1 connected {second_address}", f"M1 disconnected {second_address}"])
        self.assertLines(run.output(), r"  M1: .*, 2 connections")


if __name__ == "__main__":
    e2e_test.main()
