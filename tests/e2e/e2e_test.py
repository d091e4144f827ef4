#!/usr/bin/env python3
"""End-to-end tests of `orvalix-cli run`: the real process, its ports and its files.

    e2e_test.py --cli PATH/orvalix-cli [--wine cmake/wine-run.sh] [unittest arguments]

Each test writes a data folder of its own into a temporary folder, starts orvalix-cli on it
and talks to it from its own sockets or pty ends. Every wait is bounded. With --wine the
program is a Windows build run under Wine: paths are handed over as Z: paths and runs end
by --for, since a signal does not reach the Windows program.

Exit status 77 when every selected test was skipped (CTest reports it as skipped).
"""

import argparse
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

CLI = []         # the command that runs orvalix-cli
UNDER_WINE = False

TIME = r"\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}"
COMPACT_TIME = r"\d{8}_\d{6}_\d{3}"
SKIPPED = 77


# ---------------------------------------------------------------- frames and checksums

def crc_ccitt1(data):
    """CRC-16/X-25, as the expression language's CRC_CCITT1."""
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8408 if crc & 1 else crc >> 1
    return crc ^ 0xFFFF


def with_crc(data):
    crc = crc_ccitt1(data)
    return bytes(data) + bytes([crc & 0xFF, crc >> 8])


def status_request(sequence):
    return with_crc(bytes([0x02, 0x53, sequence, 0x03]))


def status_reply(sequence):
    return with_crc(bytes([0x02, 0x73, sequence, 0x00, 0x03]))


def hex_bytes(data, separator=" "):
    return separator.join(f"{byte:02x}" for byte in data)


# ---------------------------------------------------------------- data folders

def write_csv(path, rows):
    def cell(text):
        text = str(text)
        return '"' + text.replace('"', '""') + '"' if any(c in text for c in ',"\r\n') else text
    Path(path).write_bytes("".join(",".join(cell(c) for c in row) + "\r\n" for row in rows).encode("utf-8"))


def write_environment(folder, name, port, records=100, length=64, pre=0, post=0, setting9="", later=()):
    """Settings 0 to 4, four unread rows, setting 9 and then settings 10 onwards."""
    rows = [["Setting", "Description", "Value"], ["Port", "", port], ["Records", "", records],
            ["RecordLength", "", length], ["PreTrigger", "", pre], ["PostTrigger", "", post]]
    rows += [["(not read)", "", ""]] * 4
    rows += [["Setting9", "", setting9]]
    rows += [[f"Setting{10 + k}", "", value] for k, value in enumerate(later)]
    write_csv(Path(folder) / f"{name}.Environments.csv", rows)


def write_sequence(folder, name, steps):
    write_csv(Path(folder) / f"{name}.Sequences.csv", [["Label", "TxCondition", "Frame", "JumpCondition", "JumpTarget"]] + steps)


def write_named(folder, name, conditions):
    write_csv(Path(folder) / f"{name}.Named.csv", [["Name", "Condition", "MarkCondition", "TriggerCondition"]] + conditions)


def write_frame(folder, name, values):
    rows = [["Frame", name], ["Offset", "Value"]] + [[k, value] for k, value in enumerate(values)]
    write_csv(Path(folder) / f"{name}.csv", rows)


STATUS_REQUEST_TEST = ("(R[0] == 0x02) & (R[1] == 0x53) & (R[3] == 0x03) & "
                       "(CRC_CCITT1(R, 0, 4) == (R[4] | (R[5] << 8)))")


def write_status_device(folder, port, trigger="", pre=0, post=0):
    """D1 answers a status request 02 53 <seq> 03 <crc> with 02 73 <seq> 00 03 <crc>."""
    write_environment(folder, "D1", endpoint(port), pre=pre, post=post)
    write_sequence(folder, "D1", [["status", STATUS_REQUEST_TEST, "StatusReply", "", "status"]])
    write_named(folder, "D1", [["StatusRequest", "(R[0] == 0x02) & (R[1] == 0x53)", "", trigger]])
    write_frame(folder, "StatusReply", ["0x02", "0x73", "StatusRequest[2]", "0x00", "0x03", "CRC_CCITT1(T, 0, 5)", ""])


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def endpoint(port):
    return f"127.0.0.1:{port}"


# ---------------------------------------------------------------- the process

def cli_path(path):
    """A path as the program sees it: under Wine the Unix root is drive Z:."""
    text = str(path)
    return "Z:" + text.replace("/", "\\") if UNDER_WINE else text


class Run:
    """One orvalix-cli run with its output in files."""

    def __init__(self, test, folder, *arguments, trace_dir=None, language="C"):
        self.test = test
        self.trace_dir = Path(trace_dir or test.make_folder("trace"))
        logs = Path(test.make_folder("output"))
        self.out_path = logs / "stdout.txt"
        self.err_path = logs / "stderr.txt"
        environment = dict(os.environ)
        for variable in ("LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"):
            environment.pop(variable, None)
        environment["LC_ALL"] = language
        environment["LANG"] = language
        command = CLI + ["run", cli_path(folder), "--trace-dir", cli_path(self.trace_dir), *arguments]
        with open(self.out_path, "wb") as out, open(self.err_path, "wb") as err:
            self.process = subprocess.Popen(command, stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                            env=environment)
        test.addCleanup(self.kill)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def wait(self, timeout=60):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            self.test.fail(f"orvalix-cli did not end within {timeout} s\n{self.describe()}")

    def stop(self, how=signal.SIGTERM):
        """Ends the run as a user would; under Wine the run ends by its own --for."""
        if not UNDER_WINE:
            self.process.send_signal(how)
        return self.wait()

    def stdout(self):
        return self.out_path.read_text(encoding="utf-8", errors="replace")

    def stderr(self):
        return self.err_path.read_text(encoding="utf-8", errors="replace")

    def output_matches(self, pattern, timeout):
        deadline = time.monotonic() + timeout
        while True:
            if re.search(pattern, self.stdout(), re.MULTILINE):
                return True
            if self.process.poll() is not None or time.monotonic() > deadline:
                return False
            time.sleep(0.05)

    def wait_for_output(self, pattern, timeout=20):
        if not self.output_matches(pattern, timeout):
            self.test.fail(f"no output matching {pattern!r}\n{self.describe()}")

    def describe(self):
        return f"--- stdout ---\n{self.stdout()}--- stderr ---\n{self.stderr()}"


class Client:
    """The test's loopback UDP socket."""

    def __init__(self, test):
        self.socket = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.socket.bind(("127.0.0.1", 0))
        test.addCleanup(self.socket.close)

    def receive(self, timeout):
        ready, _, _ = select.select([self.socket], [], [], timeout)
        return self.socket.recvfrom(65536)[0] if ready else None

    def send(self, port, data):
        self.socket.sendto(data, ("127.0.0.1", port))

    def exchange(self, port, request, timeout=30, resend=True):
        """Sends and waits for the answer. The first request of a run is sent again until one
        comes, since requests sent before the program has bound its port are lost; later ones
        are sent once, so that the program sees each exactly once."""
        deadline = time.monotonic() + timeout
        self.send(port, request)
        while time.monotonic() < deadline:
            answer = self.receive(0.25)
            if answer is not None:
                return answer
            if resend:
                self.send(port, request)
        return None


# ---------------------------------------------------------------- tests

def run_length():
    """--for of runs that a signal ends: under Wine the run must end by itself, long enough
    for a cold start."""
    return ["--for", "20"] if UNDER_WINE else ["--for", "60"]


class E2ETest(unittest.TestCase):
    def skip_under_wine(self, reason):
        if UNDER_WINE:
            self.skipTest(reason)

    def make_folder(self, tag):
        folder = tempfile.mkdtemp(prefix=f"orvalix-e2e-{tag}-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        return Path(folder)

    def assertLine(self, pattern, text):
        self.assertRegex(text, re.compile("^" + pattern + "$", re.MULTILINE))


class UdpRun(E2ETest):
    def test_udp_request_response_gives_exact_reply_bytes(self):
        folder = self.make_folder("data")
        port = free_udp_port()
        write_status_device(folder, port)
        run = Run(self, folder, *run_length())
        client = Client(self)

        self.assertEqual(client.exchange(port, status_request(7)), bytes.fromhex("02 73 07 00 03 e9 18"))
        # A request with a wrong CRC is not answered: the next answer is that of the request after it.
        client.send(port, bytes.fromhex("02 53 08 03 00 00"))
        self.assertEqual(client.exchange(port, status_request(9), resend=False), status_reply(9))

        self.assertEqual(run.stop(), 0, run.describe())
        out = run.stdout()
        self.assertLine(r"  D1: UDP 127\.0\.0\.1:%d" % port, out)
        self.assertLine(r"D1 %s RX 6 80000000 02 53 07 03 bc d6 marks: StatusRequest" % TIME, out)
        self.assertLine(r"D1 %s TX 7 00000000 02 73 07 00 03 e9 18" % TIME, out)
        self.assertLine(r"D1 %s RX 6 80000000 02 53 08 03 00 00" % TIME, out)
        self.assertLine(r"D1 %s TX 7 00000000 %s" % (TIME, hex_bytes(status_reply(9))), out)
        self.assertNotRegex(out, r"TX 7 00000000 02 73 08")
        # The trigger value is the mark value when its cell is empty: the first request also
        # starts a log file.
        self.assertLine(r"  D1: \d+ received, \d+ sent, 1 mark, 1 log file", out)
        self.assertEqual(run.stderr(), "")


class TriggerLogs(E2ETest):
    def test_trigger_log_file_holds_the_records_around_the_trigger_byte_for_byte(self):
        folder = self.make_folder("data")
        port = free_udp_port()
        write_status_device(folder, port, trigger="R[2] == 3", pre=2, post=2)
        run = Run(self, folder, "--for", "60")
        client = Client(self)
        for sequence in range(1, 6):
            answer = client.exchange(port, status_request(sequence), resend=sequence == 1)
            self.assertEqual(answer, status_reply(sequence))
        self.assertEqual(run.stop(), 0, run.describe())

        logs = list((folder / "Logs" / "D1").iterdir())
        self.assertEqual(len(logs), 1, logs)
        log = logs[0]
        self.assertRegex(log.name, r"^StatusRequest-%s\.log$" % COMPACT_TIME)
        self.assertLine(r"D1 trigger StatusRequest: log file %s" % re.escape(str(log)), run.stdout())

        content = log.read_bytes()
        self.assertTrue(content.startswith(b"\xef\xbb\xbf"), content[:8])
        lines = content[3:].decode("ascii").split("\r\n")
        self.assertEqual(lines[-1], "", "the last line ends with CR LF")
        lines = lines[:-1]
        # Two records before the trigger, the triggering request, then two more.
        expected = [(6, "80000000", status_request(2)), (7, "00000000", status_reply(2)),
                    (6, "80000000", status_request(3)), (7, "00000000", status_reply(3)),
                    (6, "80000000", status_request(4))]
        self.assertEqual(len(lines), len(expected), lines)
        for line, (length, attribute, data) in zip(lines, expected):
            self.assertRegex(line[:23], "^" + TIME + "$")
            self.assertEqual(line[23:], f",{length},{attribute},{hex_bytes(data, ',')}")
        # The file is named after the triggering record's time.
        stamp = lines[2][:23]
        compact = stamp.replace("/", "").replace(":", "").replace(" ", "_").replace(".", "_")
        self.assertEqual(log.name, f"StatusRequest-{compact}.log")


class FrameRefresh(E2ETest):
    def test_a_frame_file_rewritten_during_a_run_is_used_by_a_later_reply(self):
        folder = self.make_folder("data")
        port = free_udp_port()
        write_environment(folder, "D1", endpoint(port))
        write_sequence(folder, "D1", [["answer", "R[0] == 0x51", "Answer", "", "answer"]])
        write_frame(folder, "Answer", ["0x52", "0x01"])
        run = Run(self, folder, "--for", "60")
        client = Client(self)
        self.assertEqual(client.exchange(port, b"\x51"), b"\x52\x01")

        write_frame(folder, "Answer", ["0x52", "0x02"])
        later = time.time() + 5  # a time that surely differs from the first file's
        os.utime(folder / "Answer.csv", (later, later))
        # The pump looks at the frame files every 2 s.
        deadline = time.monotonic() + 20
        answer = None
        while time.monotonic() < deadline and answer != b"\x52\x02":
            answer = client.exchange(port, b"\x51", timeout=5, resend=False)
            time.sleep(0.1)
        self.assertEqual(answer, b"\x52\x02")
        self.assertEqual(run.stop(), 0, run.describe())


class PortFailure(E2ETest):
    def test_a_port_that_cannot_be_opened_ends_the_run_with_status_1_and_its_text(self):
        # Under Wine the user language follows LANG as well.
        cases = [("C", "Can't open 127.0.0.1:{port}"), ("ja_JP.UTF-8", "127.0.0.1:{port} を開けません。")]
        for language, text in cases:
            with self.subTest(language=language):
                folder = self.make_folder("data")
                port = free_udp_port()
                write_status_device(folder, port)
                with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as blocker:
                    blocker.bind(("127.0.0.1", port))
                    run = Run(self, folder, "--for", "60", language=language)
                    self.assertEqual(run.wait(), 1, run.describe())
                self.assertIn(text.format(port=port) + "\n", run.stderr())
                self.assertIn("Summary:", run.stdout())
                self.assertTrue((run.trace_dir / "Controller.csv").is_file())


class RunLifecycle(E2ETest):
    def test_for_ends_the_run_with_status_0_and_writes_both_traces(self):
        folder = self.make_folder("data")
        write_status_device(folder, free_udp_port())
        run = Run(self, folder, "--for", "1")
        self.assertEqual(run.wait(), 0, run.describe())

        primary = (run.trace_dir / "Primary.csv").read_text(encoding="utf-8")
        self.assertRegex(primary.splitlines()[0], r"^Frequency, \d+,=\(\(A3-A2\)/\$B\$1\)\*1000$")
        messages = [line[22:] for line in primary.splitlines()[1:]]
        self.assertEqual(messages[0], "Start application.")
        for checkpoint in ("OnTickUpdateTimer : started.", "UpdateTraffic : Pumped up 0 bytes.",
                           "UpdateTraffic : Saved after trigger records.", "OnTickUpdateTimer : updated traffics."):
            self.assertIn(checkpoint, messages)
        self.assertRegex(primary.splitlines()[1], r"^ {0,19}-?\d{1,20},,Start application\.$")
        controller = (run.trace_dir / "Controller.csv").read_text(encoding="utf-8")
        self.assertIn(",,Start service.\n", controller)
        self.assertIn(",,Start service loop.\n", controller)
        out = run.stdout()
        self.assertIn("Running for 1 s", out)
        self.assertLine(r"  D1: 0 received, 0 sent, 0 marks, 0 log files", out)

    def test_a_termination_request_stops_the_run_with_status_0(self):
        self.skip_under_wine("signals do not reach a program under Wine")
        for how in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=how.name):
                folder = self.make_folder("data")
                write_status_device(folder, free_udp_port())
                run = Run(self, folder)
                run.wait_for_output(r"^Running; Ctrl-C stops the run\.$")
                self.assertEqual(run.stop(how), 0, run.describe())
                self.assertIn("Stopped.\nSummary:\n", run.stdout())
                primary = (run.trace_dir / "Primary.csv").read_text(encoding="utf-8")
                self.assertIn(",,OnTickUpdateTimer : started.\n", primary)

    def test_a_folder_without_usable_environment_runs_with_a_warning(self):
        folder = self.make_folder("data")
        write_csv(folder / "X1.Environments.csv", [["Setting", "Description", "Value"]])
        run = Run(self, folder, "--for", "0.5")
        self.assertEqual(run.wait(), 0, run.describe())
        self.assertIn("warning: no usable environment", run.stderr())

    def test_usage_errors_give_status_2(self):
        folder = self.make_folder("data")
        not_a_folder = folder / "file.txt"
        not_a_folder.write_text("x")
        cases = [
            (["run", cli_path(not_a_folder)], "is not a folder"),
            (["run"], "one FOLDER is needed"),
            (["run", cli_path(folder), "--for", "soon"], "--for needs a number of seconds"),
            (["run", cli_path(folder), "--for", "0"], "--for needs a number of seconds"),
            (["run", cli_path(folder), "--trace-dir", cli_path(folder / "missing")], "is not a folder"),
            (["run", cli_path(folder), "--loud"], "unknown option '--loud'"),
        ]
        for arguments, message in cases:
            with self.subTest(arguments=arguments):
                result = subprocess.run(CLI + arguments, capture_output=True, text=True, timeout=60,
                                        stdin=subprocess.DEVNULL)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(message, result.stderr)


# ---------------------------------------------------------------- serial and HDLC
# These need the serial port (a socat pty pair) and the virtual HDLC board beside
# orvalix-cli; they skip with a message when either is missing.

def virtual_board_present():
    if not CLI:
        return False
    folder = Path(CLI[-1]).parent
    return any((folder / name).exists() for name in ("libFbiHdlc.so", "FbiHdlc.dll"))


class PtyPair:
    """Two linked ptys made by socat: DIR/COM1 for orvalix-cli, DIR/peer for the test."""

    def __init__(self, test, folder):
        self.device = Path(folder) / "COM1"
        self.peer_path = Path(folder) / "peer"
        self.process = subprocess.Popen(
            ["socat", "pty,raw,echo=0,link=" + str(self.device), "pty,raw,echo=0,link=" + str(self.peer_path)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        test.addCleanup(self.close)
        deadline = time.monotonic() + 10
        while not (self.device.exists() and self.peer_path.exists()):
            if time.monotonic() > deadline or self.process.poll() is not None:
                test.fail("socat made no pty pair")
            time.sleep(0.02)
        self.peer = os.open(self.peer_path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)

    def close(self):
        if getattr(self, "peer", None) is not None:
            os.close(self.peer)
            self.peer = None
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait()

    def write(self, data):
        os.write(self.peer, data)

    def read(self, count, timeout=10):
        data = b""
        deadline = time.monotonic() + timeout
        while len(data) < count and time.monotonic() < deadline:
            ready, _, _ = select.select([self.peer], [], [], 0.1)
            if ready:
                data += os.read(self.peer, count - len(data))
        return data


class SerialRun(E2ETest):
    def setUp(self):
        self.skip_under_wine("the pty pair is a Linux device")
        if not shutil.which("socat"):
            self.skipTest("socat is not installed (apt-get install socat)")

    def serial_environment(self, folder, pty, character_timeout):
        # Setting 9 bit rate, then parity, stop bits, data bits, flow control, character time-out.
        # A pty cannot carry parity: "None".
        write_environment(folder, "S1", str(pty.device), setting9="9600",
                          later=["None", "1", "8", "", str(character_timeout)])

    def test_a_frame_ends_when_the_transmit_condition_holds(self):
        folder = self.make_folder("data")
        pty = PtyPair(self, folder)
        self.serial_environment(folder, pty, character_timeout=200)
        write_sequence(folder, "S1", [["ack", "(R[0] == 0x02) & (R[3] == 0x03)", "Ack", "", "ack"]])
        write_frame(folder, "Ack", ["0x06", "R[2]"])
        run = Run(self, folder, "--for", "60")
        run.wait_for_output(r"^Running")
        # One write: the condition holds at the fourth byte, so the fifth begins the next frame,
        # which the character time-out ends. Bytes written before the port was open may
        # arrive as a frame of their own: write again until the answer comes.
        answer = b""
        deadline = time.monotonic() + 20
        while answer == b"" and time.monotonic() < deadline:
            pty.write(bytes.fromhex("02 41 05 03 7e"))
            answer = pty.read(2, timeout=1)
        self.assertEqual(answer, b"\x06\x05")
        run.wait_for_output(r"^S1 %s RX 1 80000000 7e$" % TIME)
        self.assertEqual(run.stop(), 0, run.describe())
        self.assertLine(r"S1 %s RX 4 80000000 02 41 05 03" % TIME, run.stdout())
        self.assertLine(r"S1 %s TX 2 00000000 06 05" % TIME, run.stdout())

    def test_a_frame_ends_after_the_character_time_out(self):
        folder = self.make_folder("data")
        pty = PtyPair(self, folder)
        self.serial_environment(folder, pty, character_timeout=50)
        write_sequence(folder, "S1", [["wait", "0", "", "", ""]])
        run = Run(self, folder, "--for", "60")
        run.wait_for_output(r"^Running")
        # Each write is one burst, and the writes are far more than 50 ms apart.
        hello = r"^S1 %s RX 5 80000000 68 65 6c 6c 6f$" % TIME
        for _ in range(10):
            pty.write(b"hello")
            if run.output_matches(hello, timeout=2):
                break
        run.wait_for_output(hello, timeout=1)
        pty.write(b"!")
        run.wait_for_output(r"^S1 %s RX 1 80000000 21$" % TIME)
        self.assertEqual(run.stop(), 0, run.describe())


class HdlcRun(E2ETest):
    def setUp(self):
        self.skip_under_wine("the Windows board library is tested through the unit tests")
        if not virtual_board_present():
            self.skipTest("the virtual HDLC board library is not beside orvalix-cli")

    def test_two_channels_of_the_virtual_board_talk_to_each_other(self):
        folder = self.make_folder("data")
        # H0 polls every 300 ms; H1, the other end of the link, answers with the poll's byte.
        write_environment(folder, "H0", "FBIHDLC0", setting9="9600")
        write_environment(folder, "H1", "FBIHDLC1", setting9="9600")
        write_sequence(folder, "H0", [["poll", "SinceLastTx >= 300", "Poll", "1", "poll"]])
        write_sequence(folder, "H1", [["answer", "R[0] == 0x10", "Answer", "", "answer"]])
        write_frame(folder, "Poll", ["0x10", "0x20"])
        write_frame(folder, "Answer", ["0x11", "R[1]"])
        run = Run(self, folder, "--for", "60")
        run.wait_for_output(r"^H0 %s RX 2 [0-9a-f]{8} 11 20$" % TIME)
        self.assertEqual(run.stop(), 0, run.describe())
        out = run.stdout()
        self.assertLine(r"H0 %s TX 2 00000000 10 20" % TIME, out)
        self.assertLine(r"H1 %s RX 2 [0-9a-f]{8} 10 20" % TIME, out)
        self.assertLine(r"H1 %s TX 2 00000000 11 20" % TIME, out)


# ---------------------------------------------------------------- main

def main():
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--wine")
    options, rest = parser.parse_known_args()
    global CLI, UNDER_WINE
    CLI = ([options.wine] if options.wine else []) + [options.cli]
    UNDER_WINE = bool(options.wine)
    assert crc_ccitt1(b"123456789") == 0x906E and status_request(7) == bytes.fromhex("02 53 07 03 bc d6")

    program = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2)
    result = program.result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun > 0 and len(result.skipped) == result.testsRun:
        for test, reason in result.skipped:
            print(f"SKIPPED {test.id()}: {reason}")
        sys.exit(SKIPPED)
    sys.exit(0)


if __name__ == "__main__":
    main()
