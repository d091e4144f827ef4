#!/usr/bin/env python3
# End-to-end tests of `orvalix-cli run`: the real process, its ports and its files.
#
#   e2e_test.py --cli PATH/orvalix-cli [--wine cmake/wine-run.sh] [unittest arguments]
#
# Each test writes a data folder of its own, starts orvalix-cli on it and talks to it through its
# own socket or pty. Every wait is bounded. With --wine the program is a Windows build run under
# Wine: paths are handed over as Z: paths and runs end by --for, since a signal does not reach the
# Windows program. Exit status 77 when every selected test was skipped (CTest: skipped).

import argparse, json, os, pty, re, select, shutil, signal, socket, subprocess, sys, tempfile, time, tty, unittest
from datetime import datetime, timedelta, timezone
from pathlib import Path
from xml.etree import ElementTree

CLI = []  # the command that runs orvalix-cli
UNDER_WINE = False
TIME = r"\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3}"
RX, TX = "80000000", "00000000"


def with_crc(*data):
    # Appends CRC_CCITT1 (CRC-16/X-25) of the bytes, low byte first.
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0x8408 if crc & 1 else crc >> 1
    return bytes(data) + (crc ^ 0xFFFF).to_bytes(2, "little")


# A status request 02 53 <n> 03 <crc>, answered with 02 73 <n> 00 03 <crc>.
request, reply = (lambda n: with_crc(0x02, 0x53, n, 0x03)), (lambda n: with_crc(0x02, 0x73, n, 0x00, 0x03))
hex_bytes = lambda data, separator=" ": separator.join(f"{byte:02x}" for byte in data)


def write_csv(path, rows):
    quote = lambda text: '"' + text.replace('"', '""') + '"' if re.search('[,"]', text) else text
    path.write_bytes("".join(",".join(quote(str(cell)) for cell in row) + "\r\n" for row in rows).encode())


def write_device(folder, name, port, steps, named=(), pre=0, post=0, setting9="", later=(), records=100):
    # Settings 0 to 4, four unread rows, setting 9 and then settings 10 onwards.
    write_csv(folder / f"{name}.Environments.csv",
              [["Setting", "Description", "Value"], ["Port", "", port], ["Records", "", records],
               ["RecordLength", "", 64], ["PreTrigger", "", pre], ["PostTrigger", "", post]]
              + [["(not read)", "", ""]] * 4
              + [["Setting9", "", setting9]] + [[f"Setting{10 + k}", "", value] for k, value in enumerate(later)])
    write_csv(folder / f"{name}.Sequences.csv", [["Label", "TxCondition", "Frame", "JumpCondition", "Target"], *steps])
    write_csv(folder / f"{name}.Named.csv", [["Name", "Condition", "MarkCondition", "TriggerCondition"], *named])


def write_frame(folder, name, *values):
    write_csv(folder / f"{name}.csv", [["Frame", name], ["Offset", "Value"], *enumerate(values)])


def write_status_device(folder, name, port, trigger="", pre=0, post=0, records=100, more_named=()):
    # A device that answers status requests on the port; the named condition StatusRequest marks each request.
    valid = "(R[0] == 0x02) & (R[1] == 0x53) & (R[3] == 0x03) & (CRC_CCITT1(R, 0, 4) == (R[4] | (R[5] << 8)))"
    write_device(folder, name, port, [["status", valid, "StatusReply", "", "status"]],
                 [["StatusRequest", "(R[0] == 0x02) & (R[1] == 0x53)", "", trigger], *more_named], pre, post,
                 records=records)
    write_frame(folder, "StatusReply", "0x02", "0x73", "StatusRequest[2]", "0", "0x03", "CRC_CCITT1(T, 0, 5)", "")


def write_ack_device(folder, port, char_timeout, name="S1", line=("9600", "None", "1", "8")):
    # Device S1 acknowledges 02 .. .. 03 with 06 and the third byte. The line is a serial port's bit rate
    # (setting 9), parity (a pty carries none), stop bits and data bits; then flow control, character time-out.
    write_device(folder, name, port, [["ack", "(R[0] == 0x02) & (R[3] == 0x03)", "Ack", "", "ack"]],
                 setting9=line[0], later=[*line[1:], "", char_timeout])
    write_frame(folder, "Ack", "0x06", "R[2]")


def send_until_answered(peer, data):
    # Bytes written before the port was set up may arrive as a frame of their own: write again until the
    # answer comes.
    for _ in range(20):
        if os.write(peer, data) and select.select([peer], [], [], 1)[0]:
            break
    time.sleep(0.1)  # for the answer's second byte
    return os.read(peer, 16) if select.select([peer], [], [], 0)[0] else b""


def read_until(source, length, timeout=10):
    # Up to length bytes from a file descriptor or a socket; fewer once the wait is over or the peer closed.
    data, deadline = b"", time.monotonic() + timeout
    while len(data) < length and select.select([source], [], [], max(0, deadline - time.monotonic()))[0]:
        piece = source.recv(256) if isinstance(source, socket.socket) else os.read(source, 256)
        if not piece:
            break
        data += piece
    return data


def free_port(kind):  # a loopback port free now
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


free_udp_port, free_tcp_port = (lambda: free_port(socket.SOCK_DGRAM)), (lambda: free_port(socket.SOCK_STREAM))


# A summary line's ending when the service's store overwrote records before the pump took them,
# as a slow (sanitized) build may with the small histories of these folders.
LOST = r"(, \d+ records lost)?"


def wait_listening(port, timeout=10):
    # The service thread opens its ports after "Running" is printed: a TCP server listens a moment
    # later. Linux: read from /proc/net/tcp, so that no connection shows in the run's output.
    deadline, entry = time.monotonic() + timeout, f":{port:04X} "
    while time.monotonic() < deadline:
        with open("/proc/net/tcp") as table:
            if any(entry in line and line.split()[3] == "0A" for line in table):  # 0A: LISTEN
                return True
        time.sleep(0.02)
    return False


def cli_path(path):  # a path as the program sees it: under Wine the Unix root is drive Z:
    return "Z:" + str(path).replace("/", "\\") if UNDER_WINE else str(path)


class Run:
    # One orvalix-cli run, its output in files.
    def __init__(self, test, folder, *arguments, language="C", zone=None):
        self.test, self.trace_dir, logs = test, test.folder(), test.folder()
        self.files = logs / "stdout.txt", logs / "stderr.txt"
        environment = {k: v for k, v in os.environ.items() if k != "LANGUAGE"} | {"LC_ALL": language, "LANG": language}
        if zone:
            environment["TZ"] = zone
        command = CLI + ["run", cli_path(folder), "--trace-dir", cli_path(self.trace_dir), *arguments]
        with open(self.files[0], "wb") as out, open(self.files[1], "wb") as err:
            self.process = subprocess.Popen(command, stdout=out, stderr=err, stdin=subprocess.DEVNULL, env=environment)
        test.addCleanup(self.process.kill)

    def stop(self, how=signal.SIGTERM, timeout=60):
        # Ends the run as a user would (None: waits for its end); under Wine the run ends by its --for.
        if how and not UNDER_WINE:
            self.process.send_signal(how)
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.test.fail(f"orvalix-cli did not end within {timeout} s\n{self.describe()}")

    def output(self, stream=0):  # 0: stdout, 1: stderr
        return self.files[stream].read_text(encoding="utf-8", errors="replace")

    def describe(self):
        return f"--- stdout ---\n{self.output()}--- stderr ---\n{self.output(1)}"

    def shows(self, pattern, timeout=20):  # waits until a line of the output matches
        deadline = time.monotonic() + timeout
        while not re.search(pattern, self.output(), re.MULTILINE):
            if self.process.poll() is not None or time.monotonic() > deadline:
                return False
            time.sleep(0.05)
        return True


class E2ETest(unittest.TestCase):
    def setUp(self):
        self.udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.udp.bind(("127.0.0.1", 0))
        self.addCleanup(self.udp.close)

    def folder(self):
        folder = Path(tempfile.mkdtemp(prefix="orvalix-e2e-"))
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        return folder

    def status_run(self, *arguments, port=None, trigger="", pre=0, post=0, language="C"):
        # A run of device D1, which answers status requests on the port.
        folder = self.folder()
        port = port or free_udp_port()
        write_status_device(folder, "D1", f"127.0.0.1:{port}", trigger, pre, post)
        return Run(self, folder, *arguments, language=language), folder, port

    def exchange(self, port, data, resend=True, timeout=30):
        # Sends and waits for the answer. The first request of a run is sent again until one comes, since
        # requests sent before the program has bound its port are lost; later ones once, so that each is seen once.
        deadline, sent = time.monotonic() + timeout, False
        while time.monotonic() < deadline:
            if resend or not sent:
                sent = self.udp.sendto(data, ("127.0.0.1", port))
            if select.select([self.udp], [], [], 0.25)[0]:
                return self.udp.recv(65536)
        return None

    def ask(self, port, n, answer=None, timeout=20):
        # Sends status request n until the answer comes (by default its own; answers to earlier copies are passed over).
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.exchange(port, request(n), resend=False, timeout=0.5) == (answer or reply(n)):
                return True
        return False

    def assertLines(self, text, *patterns):
        for pattern in patterns:
            self.assertRegex(text, re.compile("^" + pattern + "$", re.MULTILINE))


class UdpRun(E2ETest):
    def test_udp_request_response_gives_exact_reply_bytes(self):
        run, _, port = self.status_run("--for", "20" if UNDER_WINE else "60")
        self.assertEqual(self.exchange(port, request(7)), bytes.fromhex("02 73 07 00 03 e9 18"))
        # A request with a wrong CRC is not answered: the next answer is that of the request after it.
        self.udp.sendto(bytes.fromhex("02 53 08 03 00 00"), ("127.0.0.1", port))
        self.assertEqual(self.exchange(port, request(9), resend=False), reply(9))
        self.assertEqual(run.stop(), 0, run.describe())
        # The trigger value is the mark value when its cell is empty: the first request starts a log file.
        self.assertLines(run.output(), rf"D1 {TIME} RX 6 80000000 02 53 07 03 bc d6 marks: StatusRequest",
                         rf"D1 {TIME} RX 6 {RX} 02 53 08 03 00 00", rf"D1 {TIME} TX 7 {TX} {hex_bytes(reply(9))}",
                         r"  D1: \d+ received, \d+ sent, 1 mark, 1 log file" + LOST)
        self.assertEqual(run.output(1), "")


    def test_on_arrival_gives_the_same_replies_from_passes_between_the_cycles(self):
        run, _, port = self.status_run("--for", "20" if UNDER_WINE else "60", "--on-arrival")
        self.assertEqual(self.exchange(port, request(7)), reply(7))
        for n in range(8, 12):
            self.assertEqual(self.exchange(port, request(n), resend=False), reply(n))
        self.assertEqual(run.stop(), 0, run.describe())
        self.assertLines(run.output(), "Answering on arrival: .*", rf"D1 {TIME} TX 7 {TX} {hex_bytes(reply(11))}")
        # Under Wine the run lasts its whole --for, and the trace keeps only its newest checkpoints (the waiter's
        # own tests run there too).
        if not UNDER_WINE:
            self.assertIn(",Arrival pass 0.", (run.trace_dir / "Controller.csv").read_text(), run.describe())


class TriggerLogs(E2ETest):
    def test_trigger_log_file_holds_the_records_around_the_trigger_byte_for_byte(self):
        run, folder, port = self.status_run("--for", "60", trigger="R[2] == 3", pre=2, post=2)
        for n in range(1, 6):
            self.assertEqual(self.exchange(port, request(n), resend=n == 1), reply(n))
        self.assertEqual(run.stop(), 0, run.describe())
        logs = list((folder / "Logs" / "D1").iterdir())
        self.assertEqual(len(logs), 1, logs)
        self.assertLines(run.output(), r"D1 trigger StatusRequest: log file " + re.escape(str(logs[0])))
        content = logs[0].read_bytes()
        self.assertTrue(content.startswith(b"\xef\xbb\xbf") and content.endswith(b"\r\n"), content)
        lines = content[3:].decode("ascii").split("\r\n")[:-1]
        # Two records before the trigger, the triggering request, then two more.
        records = [(RX, request(2)), (TX, reply(2)), (RX, request(3)), (TX, reply(3)), (RX, request(4))]
        self.assertEqual([re.sub("^" + TIME, "", line) for line in lines],
                         [f",{len(d)},{a},{hex_bytes(d, ',')}" for a, d in records])
        # Each line begins with its record's time; the file is named after the triggering record's.
        stamp = re.sub("[/:]", "", lines[2][:23]).replace(" ", "_").replace(".", "_")
        self.assertEqual(logs[0].name, f"StatusRequest-{stamp}.log")


class FrameRefresh(E2ETest):
    def test_a_frame_file_rewritten_during_a_run_is_used_by_a_later_reply(self):
        run, folder, port = self.status_run("--for", "60")
        self.assertEqual(self.exchange(port, request(1)), reply(1))
        write_frame(folder, "StatusReply", "0x52", "0x02")
        later = time.time() + 5  # a time that surely differs from the first file's
        os.utime(folder / "StatusReply.csv", (later, later))
        # The pump looks at the frame files every 2 s.
        self.assertTrue(self.ask(port, 2, answer=b"\x52\x02"), run.describe())
        self.assertEqual(run.stop(), 0, run.describe())


class PortFailure(E2ETest):
    def test_a_port_that_cannot_be_opened_ends_the_run_with_status_1_and_its_text(self):
        # Under Wine the user language follows LANG as well.
        for language, text in ("C", "Can't open 127.0.0.1:{}"), ("ja_JP.UTF-8", "127.0.0.1:{} を開けません。"):
            with self.subTest(language=language):
                port = self.udp.getsockname()[1]
                run, _, _ = self.status_run("--for", "60", port=port, language=language)
                self.assertEqual(run.stop(None), 1, run.describe())
                self.assertIn(text.format(port) + "\n", run.output(1))
                self.assertIn("Summary:", run.output())
                self.assertTrue((run.trace_dir / "Controller.csv").is_file())


class RunLifecycle(E2ETest):
    def test_for_ends_the_run_with_status_0_and_writes_both_traces(self):
        run, _, _ = self.status_run("--for", "1")
        self.assertEqual(run.stop(None), 0, run.describe())
        for trace, checkpoints in [("Primary", ["Start application.", "UpdateTraffic : Pumped up 0 bytes."]),
                                   ("Controller", ["Start service.", "Start service loop."])]:
            text = (run.trace_dir / f"{trace}.csv").read_text("utf-8")
            self.assertLines(text, *(".*,," + re.escape(checkpoint) for checkpoint in checkpoints))
        self.assertLines(run.output(), "Running for 1 s.*", r"  D1: 0 received, 0 sent, 0 marks, 0 log files")

    def test_a_termination_request_stops_the_run_with_status_0(self):
        if UNDER_WINE:
            self.skipTest("signals do not reach a program under Wine")
        for how in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=how.name):
                run, _, _ = self.status_run()
                self.assertTrue(run.shows(r"^Running; Ctrl-C stops the run\.$"), run.describe())
                self.assertEqual(run.stop(how), 0, run.describe())
                self.assertIn("Stopped.\nSummary:\n", run.output())
                self.assertIn(",,OnTickUpdateTimer : started.\n", (run.trace_dir / "Primary.csv").read_text("utf-8"))

    def test_a_folder_without_usable_environment_is_an_error_that_says_why(self):
        folder = self.folder()
        write_csv(folder / "X1.Environments.csv", [["Setting", "Description", "Value"], ["Port", "", "nosuchport"]])
        run = Run(self, folder, "--for", "5")
        self.assertEqual(run.stop(None), 1, run.describe())
        self.assertIn('No usable environment in ', run.output(1))
        self.assertIn('  X1: port "nosuchport" names no serial port, HDLC channel, UDP endpoint or TCP address', run.output(1))


class Verdict(E2ETest):
    def test_expectations_decide_the_exit_status_and_the_reports_tell_why(self):
        reports = self.folder()
        report, junit = reports / "report.json", reports / "junit.xml"
        run, _, port = self.status_run("--for", "60", "--until", "D1:received >= 3", "--expect", "D1:step:status == 3",
                                       "--expect", "D1:StatusRequest >= 1", "--expect", "D1:sent < 3",
                                       "--report", cli_path(report), "--junit", cli_path(junit))
        for n in range(1, 4):
            self.assertEqual(self.exchange(port, request(n), resend=n == 1), reply(n))
        # The run ends by itself once every --until holds, and one expectation of three fails.
        self.assertEqual(run.stop(None, timeout=30), 3, run.describe())
        self.assertLines(run.output(), r"Stopped: every --until holds\.", r"    step status \(row 2\): held 3, sent 3, jumped 3",
                         r"    named StatusRequest: recognised 3, mark rose 1, trigger rose 1",
                         r"  D1:sent < 3 +< 3 +3 +FAIL", r"Verdict: FAIL \(1 of 4 failed\)")

        document = json.loads(report.read_text("utf-8"))
        self.assertEqual((document["exit_status"], document["passed"], document["error"]), (3, False, None))
        self.assertEqual([(e["text"], e["kind"], e["got"], e["passed"]) for e in document["expectations"]],
                         [("D1:step:status == 3", "expect", 3, True), ("D1:StatusRequest >= 1", "expect", 1, True),
                          ("D1:sent < 3", "expect", 3, False), ("D1:received >= 3", "until", 3, True)])
        [d1] = document["environments"]
        self.assertEqual((d1["name"], d1["received"], d1["sent"], d1["never"]), ("D1", 3, 3, []))
        self.assertEqual(d1["steps"], [{"index": 1, "row": 2, "label": "status", "held": 3, "sent": 3, "jumped": 3}])
        # Each request is answered in the cycle that read it: by the records' times, no time at all.
        self.assertEqual(d1["replies"], {"count": 3, "p50_ms": 0, "p99_ms": 0, "max_ms": 0})
        self.assertLines(run.output(), r"Reply times \(a received frame to the next sent one\):",
                         r"  D1: 3 replies, p50 0\.00 ms, p99 0\.00 ms, max 0\.00 ms")

        suites = ElementTree.parse(junit).getroot()
        self.assertEqual((suites.tag, suites.get("tests"), suites.get("failures")), ("testsuites", "5", "1"))
        self.assertEqual([(s.get("name"), s.get("tests"), s.get("failures")) for s in suites.iter("testsuite")],
                         [("run", "1", "0"), ("D1", "4", "1")])
        failures = [(c.get("name"), c.find("failure").get("message")) for c in suites.iter("testcase")
                    if c.find("failure") is not None]
        self.assertEqual(failures, [("D1:sent < 3", "expected < 3, got 3")])

    def test_a_run_that_never_meets_its_until_fails_and_a_bad_expectation_is_a_usage_error(self):
        run, _, _ = self.status_run("--for", "1", "--until", "D1:received >= 1")
        self.assertEqual(run.stop(None), 3, run.describe())
        self.assertLines(run.output(), r"Stopped\.", r"  until D1:received >= 1 +>= 1 +0 +FAIL",
                         r"    never: step status, named StatusRequest")
        # Which texts are refused, and why, is the expectation's unit test; here the status and the message.
        run, _, _ = self.status_run("--for", "1", "--expect", "D9:sent >= 1")
        self.assertEqual(run.stop(None), 2, run.describe())
        self.assertRegex(run.output(1), r"orvalix-cli run: --expect 'D9:sent >= 1': .*unknown environment \"D9\" "
                                        r"\(the run serves: D1\)")


class SerialRun(E2ETest):
    def test_a_frame_ends_when_the_transmit_condition_holds_or_after_the_character_time_out(self):
        if UNDER_WINE:
            self.skipTest("the pty is a Linux device")
        # The test writes to the first end; the run opens the terminal by its /dev/pts/N path, named without COM.
        peer, terminal = pty.openpty()
        self.addCleanup(lambda: os.close(peer) or os.close(terminal))
        tty.setraw(terminal)  # no echo of what comes before orvalix-cli sets the port up
        device, folder = os.ttyname(terminal), self.folder()
        write_ack_device(folder, device, "200")
        run = Run(self, folder, "--for", "60")
        self.assertTrue(run.shows(r"^Running"), run.describe())
        # One write: the condition holds at the fourth byte, so the fifth begins the next frame, which the
        # character time-out ends.
        self.assertEqual(send_until_answered(peer, bytes.fromhex("02 41 05 03 7e")), b"\x06\x05")
        self.assertTrue(run.shows(rf"^S1 {TIME} RX 1 80000000 7e$"), run.describe())
        self.assertEqual(run.stop(), 0, run.describe())
        self.assertLines(run.output(), rf"  S1: serial {re.escape(device)}", rf"S1 {TIME} RX 4 80000000 02 41 05 03",
                         rf"S1 {TIME} TX 2 00000000 06 05")


class TcpClientRun(E2ETest):
    def test_a_client_connects_when_the_server_comes_and_again_after_it_went_away(self):
        port, folder = free_tcp_port(), self.folder()
        address = f"tcp-client://127.0.0.1:{port}"
        write_ack_device(folder, address, "200", "C1", ("", "", "", ""))  # C1 on no serial line
        run = Run(self, folder, "--for", "200")
        refused = rf"^C1 no connection on {re.escape(address)}: .+$"
        self.assertTrue(run.shows(refused), run.describe())

        def serve(n):
            # Listens until the run connects (it tries every second), asks once, closes.
            with socket.create_server(("127.0.0.1", port)) as server:  # reuses the address on POSIX
                server.settimeout(30)
                peer, _ = server.accept()
            with peer:
                peer.settimeout(10)
                peer.sendall(bytes([0x02, 0x41, n, 0x03]))
                answer = peer.recv(16)
            self.assertEqual(answer, bytes([0x06, n]), run.describe())

        time.sleep(2.5)  # more refused tries: still one line
        serve(5)
        self.assertTrue(run.shows(r"^C1 disconnected"), run.describe())
        time.sleep(2.5)
        serve(6)
        # The run tells of the end at its next look: stopping sooner would race it.
        self.assertTrue(run.shows(r"^C1 disconnected[^\n]*\n(.*\n)*C1 disconnected"), run.describe())
        self.assertEqual(run.stop(), 0, run.describe())
        lines = [line for line in run.output().splitlines() if re.match(r"C1 (no connection|connected|disconnected)",
                                                                        line)]
        # One line per streak of failed tries, then the connection and its end, twice.
        self.assertEqual([line.split(" ")[1] for line in lines], ["no", "connected", "disconnected"] * 2,
                         run.describe())
        self.assertLines(run.output(), rf"C1 connected 127.0.0.1:{port}", rf"  C1: .*, 2 connections")


class HdlcRun(E2ETest):
    def test_two_channels_of_the_virtual_board_talk_to_each_other(self):
        if UNDER_WINE or not list(Path(CLI[-1]).parent.glob("*FbiHdlc.*")):  # libFbiHdlc.so, FbiHdlc.dll
            self.skipTest("the virtual HDLC board library is not beside orvalix-cli")
        folder = self.folder()
        # H0 polls every 300 ms; H1, the other end of the link, answers with the poll's byte.
        write_device(folder, "H0", "FBIHDLC0", [["poll", "SinceLastTx >= 300", "Poll", "1", "poll"]], setting9="9600")
        write_device(folder, "H1", "FBIHDLC1", [["answer", "R[0] == 0x10", "Answer", "", "answer"]], setting9="9600")
        write_frame(folder, "Poll", "0x10", "0x20")
        write_frame(folder, "Answer", "0x11", "R[1]")
        run = Run(self, folder, "--for", "60")
        self.assertTrue(run.shows(rf"^H0 {TIME} RX 2 [0-9a-f]{{8}} 11 20$"), run.describe())
        self.assertEqual(run.stop(), 0, run.describe())
        self.assertLines(run.output(), rf"H0 {TIME} TX 2 00000000 10 20", rf"H1 {TIME} RX 2 [0-9a-f]{{8}} 10 20",
                         rf"H1 {TIME} TX 2 00000000 11 20")


class JsonLines(E2ETest):
    # How each object is written is the sink's unit test; here what a real run gives them.
    def test_jsonl_writes_every_frame_and_event_as_json_and_the_text_to_the_error_output(self):
        # The demo polls and answers on its own; its copy takes the log files. Half an hour off the hour, west
        # of UTC: the offset's sign and minutes are both seen.
        folder = self.folder()
        shutil.copytree(Path(__file__).resolve().parents[2] / "examples" / "demo", folder, dirs_exist_ok=True)
        run = Run(self, folder, "--for", "3", "--format", "jsonl", zone="XST+3:30")
        self.assertEqual(run.stop(None), 0, run.describe())
        objects = [json.loads(line) for line in run.output().splitlines()]
        frames = [o for o in objects if o["type"] == "frame"]
        for frame in frames:
            data = bytes.fromhex(frame["bytes"])
            received = int(frame["attribute"], 16) & 0x80000000 != 0
            self.assertEqual(frame["direction"], "rx" if received else "tx", frame)
            # The local time is the file time's, to the millisecond.
            utc = datetime(1601, 1, 1, tzinfo=timezone.utc) + timedelta(milliseconds=frame["filetime"] // 10000)
            self.assertTrue(frame["time"].endswith("-03:30"), frame)
            self.assertEqual(datetime.fromisoformat(frame["time"]), utc, frame)
            if frame["environment"] == "D1" and received:
                # Every fifth request is marked and, with no trigger condition of its own, triggers.
                expected = ["StatusRequest"] if data[2] % 5 == 0 else []
                self.assertEqual((frame["marks"], frame["triggers"]), (expected, expected), frame)
        counts = {(e, d): sum(f["environment"] == e and f["direction"] == d for f in frames)
                  for e in ("D1", "E1") for d in ("rx", "tx")}
        self.assertTrue(all(counts.values()), counts)
        # One log file per triggering request, named in its event and made.
        started = [o for o in objects if o["type"] == "log_started"]
        self.assertEqual(len(started), sum(bool(f["triggers"]) for f in frames if f["environment"] == "D1"))
        for event in started:
            self.assertEqual((event["environment"], event["condition"], event["reason"]), ("D1", "StatusRequest", None))
            self.assertTrue(Path(event["file"]).is_file(), event)
        self.assertEqual({o["type"] for o in objects}, {"frame", "log_started"}, run.describe())
        # The text goes to the error output, and its summary counts what the objects show.
        text = run.output(1)
        self.assertLines(text, "Data folder: .*", "Running for 3 s; Ctrl-C stops the run.", "Stopped.", "Summary:")
        for environment in ("D1", "E1"):
            self.assertLines(text, rf"  {environment}: {counts[environment, 'rx']} received, "
                                   rf"{counts[environment, 'tx']} sent, .*")
        self.assertNotRegex(text, rf"(?m)^D1 {TIME}", "no line per frame")


def main():
    global CLI, UNDER_WINE
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--wine")
    options, rest = parser.parse_known_args()
    CLI, UNDER_WINE = ([options.wine] if options.wine else []) + [options.cli], bool(options.wine)
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    sys.exit(1 if not result.wasSuccessful() else 77 if len(result.skipped) == result.testsRun > 0 else 0)


if __name__ == "__main__":
    main()
