#!/usr/bin/env python3
# Robustness of `orvalix-cli run` against a hostile or failing outside world: floods, odd
# datagrams, a serial peer that goes away, frame files that change under the run, a traffic history
# too large to be made, a very large data folder, an output nobody takes and a full disk. Linux
# only (it reads /proc).
#
#   robustness_test.py --cli PATH/orvalix-cli [unittest arguments]
#
# Every wait is bounded; nothing asserts how fast anything is.

import os, random, re, select, signal, socket, subprocess, sys, time
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ of the shared helpers in the source tree
import e2e_test
from e2e_test import (LOST, E2ETest, Run, TIME, free_udp_port, reply, request, send_until_answered,
                      write_ack_device, write_device, write_frame, write_status_device)
from modbus_test import socat_pair

# Sends numbered datagrams 'f1 <n, 4 bytes>' to a port as fast as it can until its time is up.
FLOOD_SENDER = """
import socket, sys, time
port, end, n = int(sys.argv[1]), time.monotonic() + float(sys.argv[2]), 0
with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
    while time.monotonic() < end:
        for _ in range(512):
            n += 1
            try:
                s.sendto(b"\\xf1" + n.to_bytes(4, "big"), ("127.0.0.1", port))
            except OSError:
                pass
"""


def cpu_seconds(pid):  # user plus system time of the process so far
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def resident_kib(pid):
    return int(re.search(r"^VmRSS:\s+(\d+) kB", Path(f"/proc/{pid}/status").read_text(), re.MULTILINE)[1])


def trace_entries(path):  # (stamp, text) of each entry of a trace file; stamps are CLOCK_MONOTONIC ns
    return [(int(stamp), text) for stamp, text in re.findall(r"^ *(\d+),,(.*)$", path.read_text("utf-8"), re.MULTILINE)]


def counters(output, environment, tag):  # the numbers of the 'tag <n>' datagrams the console shows, in order
    return [int(number.replace(" ", ""), 16)
            for number in re.findall(rf"^{environment} {TIME} RX 5 \w+ {tag:02x} ((?:[0-9a-f]{{2}} ?){{4}})",
                                     output, re.MULTILINE)]


class UdpFlood(E2ETest):
    def test_a_flood_at_one_environment_leaves_the_cycle_the_other_environment_and_memory_alone(self):
        folder, polled, flooded = self.folder(), free_udp_port(), free_udp_port()
        write_status_device(folder, "D1", f"127.0.0.1:{polled}")
        # A history of 3 records: more arrive between two pumps than it holds.
        write_device(folder, "F1", f"127.0.0.1:{flooded}", [], records=3)
        run = Run(self, folder, "--for", "120")
        self.assertTrue(self.ask(polled, 1, timeout=30), run.describe())

        # A burst of 60 numbered datagrams, read one per cycle: the history keeps the newest of them.
        burst = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(burst.close)
        for n in range(1, 61):
            burst.sendto(b"\xf2" + n.to_bytes(4, "big"), ("127.0.0.1", flooded))
        self.assertTrue(run.shows(rf"^F1 {TIME} RX 5 {e2e_test.RX} f2 00 00 00 3c$"), run.describe())
        shown = counters(run.output(), "F1", 0xF2)
        self.assertEqual(shown, sorted(set(shown)))
        self.assertLess(len(shown), 60, "the history never overflowed, so what it keeps was not tried")

        before = resident_kib(run.process.pid)
        flood_start = time.monotonic_ns()
        flood = subprocess.Popen([sys.executable, "-c", FLOOD_SENDER, str(flooded), "25"])
        self.addCleanup(flood.kill)
        asked = answered = 0
        while time.monotonic_ns() - flood_start < 19e9:
            asked += 1
            answered += self.ask(polled, (asked + 1) % 256)
            time.sleep(0.2)
        after = resident_kib(run.process.pid)
        # Stopped while the flood goes on: the service trace ends inside the flood.
        stop_sent = time.monotonic_ns()
        self.assertEqual(run.stop(), 0, run.describe())
        flood.kill()

        self.assertEqual(answered, asked, "requests to the other environment went unanswered during the flood")
        # The socket's buffer overflowed: said at most once a second while it went on, and in the summary.
        reports = [(int(added), int(total)) for added, total in re.findall(
            r"^F1 the system dropped (\d+) datagrams? \((\d+) in all\): the socket's receive buffer was full$",
            run.output(), re.MULTILINE)]
        self.assertTrue(reports, run.describe())
        self.assertLessEqual(len(reports), (stop_sent - flood_start) / 1e9 + 2, "more than a report a second")
        self.assertEqual(sum(added for added, _ in reports), reports[-1][1])
        self.assertLines(run.output(), rf"  F1: \d+ received, 0 sent, 0 marks, 0 log files, {reports[-1][1]} datagrams "
                                       r"dropped by the system" + LOST,
                         r"  D1: \d+ received, \d+ sent, \d+ marks?, \d+ log files?" + LOST)
        self.assertLess(after - before, 64 * 1024, f"resident memory grew from {before} KiB to {after} KiB")
        flooding = [text for stamp, text in trace_entries(run.trace_dir / "Controller.csv")
                    if flood_start < stamp < stop_sent]
        self.assertGreater(flooding.count("Cyclic process started."), 20)
        self.assertGreater(flooding.count("Received 5 bytes."), 20)
        shown = counters(run.output(), "F1", 0xF1)
        self.assertGreater(len(shown), 20)
        self.assertEqual(shown, sorted(set(shown)), "records shown twice or out of order")
        self.assertEqual(run.output(1), "")


class OddDatagrams(E2ETest):
    def test_empty_oversized_and_many_sender_datagrams_leave_the_replies_intact(self):
        run, _, port = self.status_run("--for", "120")
        self.assertTrue(self.ask(port, 1, timeout=30), run.describe())
        for size in (0, 16385, 30000, 65507, 0):
            # A valid request at the front: what a truncated datagram would be answered as.
            self.udp.sendto((request(2) + bytes(size))[:size], ("127.0.0.1", port))
        self.assertTrue(self.ask(port, 3), run.describe())
        # Each of 100 senders gets the answer to its own request.
        senders = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(100)]
        for n, sender in enumerate(senders):
            self.addCleanup(sender.close)
            sender.sendto(request(n), ("127.0.0.1", port))
        deadline, answers = time.monotonic() + 30, {}
        while len(answers) < len(senders) and time.monotonic() < deadline:
            for sender in select.select(senders, [], [], 0.5)[0]:
                answers[senders.index(sender)] = sender.recv(65536)
        self.assertEqual(answers, {n: reply(n) for n in range(len(senders))})
        self.assertTrue(self.ask(port, 4), run.describe())
        self.assertEqual(run.stop(), 0, run.describe())
        self.assertEqual(run.output(1), "")


class SerialPeerGone(E2ETest):
    # socat's end makes the kernel hang up the pty the run holds, as it does the line of an unplugged adapter.
    def test_a_serial_device_that_vanishes_is_reported_once_and_the_run_goes_on_without_a_busy_loop(self):
        folder, port = self.folder(), free_udp_port()
        peer_link = folder / "peer"
        socat = socat_pair(self, folder / "COM1", peer_link)
        write_ack_device(folder, folder / "COM1", "50")
        write_status_device(folder, "D2", f"127.0.0.1:{port}")
        run = Run(self, folder, "--for", "120")
        self.assertTrue(self.ask(port, 1, timeout=30), run.describe())
        peer = os.open(peer_link, os.O_RDWR | os.O_NOCTTY)
        self.addCleanup(os.close, peer)
        self.assertEqual(send_until_answered(peer, bytes.fromhex("02 41 05 03")), b"\x06\x05")

        socat.kill()
        socat.wait(10)
        time.sleep(1)
        used, start = cpu_seconds(run.process.pid), time.monotonic()
        for n in range(2, 12):
            self.assertTrue(self.ask(port, n), run.describe())
            time.sleep(0.3)
        # A 10 ms cycle takes a small share of one processor; a loop spinning on the dead line takes all of it.
        share = (cpu_seconds(run.process.pid) - used) / (time.monotonic() - start)
        self.assertLess(share, 0.6, f"orvalix-cli used {share:.0%} of a processor after the peer went")
        lost = rf"^S1 port {re.escape(str(folder / 'COM1'))} lost: Input/output error$"
        self.assertTrue(run.shows(lost), run.describe())
        self.assertEqual(run.stop(), 0, "a lost port is reported, it does not fail the run\n" + run.describe())
        self.assertEqual(len(re.findall(lost, run.output(), re.MULTILINE)), 1, run.describe())
        self.assertLines(run.output(), r"  D2: \d+ received, \d+ sent, 1 mark, 1 log file" + LOST,
                         r"  S1: 1 received, 1 sent, 0 marks, 0 log files, port lost")
        self.assertEqual(run.output(1), "")


class FrameFileChurn(E2ETest):
    def test_a_frame_file_deleted_garbled_and_restored_during_a_run_is_used_again(self):
        run, folder, port = self.status_run("--for", "120")
        self.assertTrue(self.ask(port, 1, timeout=30), run.describe())
        frame = folder / "StatusReply.csv"
        original = frame.read_bytes()
        # The pump looks at the frame files every 2 s; each state lasts for a few of its looks.
        garbage = random.Random(7).randbytes(4000)
        for step, state in enumerate([None, garbage, b"\xff\xfe" + garbage, b'"' * 5000 + b"\r\n,,\0", original]):
            if state is None:
                frame.unlink()
            else:
                frame.write_bytes(state)
                later = time.time() + 3 * step  # a time unlike any earlier one
                os.utime(frame, (later, later))
            deadline = time.monotonic() + 3
            while time.monotonic() < deadline:
                self.exchange(port, request(2), resend=False, timeout=0.25)
            self.assertIsNone(run.process.poll(), run.describe())
        self.assertTrue(self.ask(port, 3), run.describe())
        self.assertEqual(run.stop(), 0, run.describe())


class HugeRing(E2ETest):
    # The Japanese text of the refusal, and the user's language, are checked by the unit and port failure tests.
    def test_a_history_that_cannot_be_made_fails_the_start_instead_of_losing_every_record(self):
        folder = self.folder()
        write_status_device(folder, "D1", f"127.0.0.1:{free_udp_port()}", trigger="1", records=2147483647)
        settings = folder / "D1.Environments.csv"
        settings.write_bytes(settings.read_bytes().replace(b"RecordLength,,64", b"RecordLength,,1000000000"))
        text = ("Can't make the traffic history of D1: recordCapacity 2147483647 and maxRecordLength 1000000000 "
                "need 35227321745388 bytes, more than the limit of 1073741824 bytes")
        run = Run(self, folder, "--for", "60")
        self.assertEqual(run.stop(None), 1, run.describe())
        self.assertEqual(run.output(1), text + "\n")
        self.assertLines(run.output(), "The run ended with an error.", "  D1: 0 received, 0 sent, 0 marks, 0 log files")
        self.assertFalse((folder / "Logs").exists())
        self.assertIn(text, (run.trace_dir / "Controller.csv").read_text("utf-8") +
                      (run.trace_dir / "Primary.csv").read_text("utf-8"))

        check = subprocess.run(e2e_test.CLI + ["check", str(folder)], capture_output=True, text=True, timeout=60)
        self.assertEqual(check.returncode, 1, check.stdout + check.stderr)
        self.assertIn("D1.Environments.csv:3:3: error: the traffic history needs 35227321745388 bytes", check.stdout)


class LargeFolder(E2ETest):
    ENVIRONMENTS, STEPS = 500, 20

    def test_a_folder_of_500_environments_and_10000_steps_loads_checks_and_runs(self):
        folder = self.folder()
        self.udp.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4 << 20)
        sink = f"127.0.0.1:{self.udp.getsockname()[1]}"
        # Each environment on a port of its own choosing; it sends a ping a second to the test.
        steps = [[f"s{k}", f"R[0] == {k + 1}", "Ping", "", ""] for k in range(self.STEPS - 1)]
        steps.append(["poll", "SinceLastTx >= 1000", "Ping", "1", "s0"])
        for k in range(self.ENVIRONMENTS):
            write_device(folder, f"E{k:03}", "127.0.0.1:0", steps, setting9=sink)
        write_frame(folder, "Ping", "0x50", "R[0]")

        started = time.monotonic()
        check = subprocess.run(e2e_test.CLI + ["check", str(folder)], capture_output=True, text=True, timeout=180)
        checked = time.monotonic()
        self.assertEqual(check.returncode, 0, check.stdout + check.stderr)
        self.assertIn(f"({self.ENVIRONMENTS} environments, {self.ENVIRONMENTS * self.STEPS} steps", check.stdout)

        run = Run(self, folder, "--quiet", "--for", "15")
        self.assertTrue(run.shows(r"^Running for", timeout=120), run.describe())
        loaded = time.monotonic()
        senders, deadline = set(), time.monotonic() + 14
        while len(senders) < self.ENVIRONMENTS and time.monotonic() < deadline:
            if select.select([self.udp], [], [], 0.5)[0]:
                data, sender = self.udp.recvfrom(65536)
                senders.add(sender)
        print(f"\nlarge folder: check {checked - started:.2f} s, run started after {loaded - checked:.2f} s, "
              f"{len(senders)} environments heard", file=sys.stderr)
        self.assertEqual(len(senders), self.ENVIRONMENTS)
        self.assertEqual(run.stop(None), 0, run.describe())
        # Every environment sent; what each received is up to whoever else uses loopback ports.
        summary = re.findall(r"^  (E\d{3}): \d+ received, (\d+) sent", run.output(), re.MULTILINE)
        self.assertEqual(len(summary), self.ENVIRONMENTS, run.output()[-2000:])
        self.assertEqual([name for name, sent in summary if sent == "0"], [])

    def test_a_sequence_of_100000_steps_answers_its_first_request(self):
        # Plain steps that each jump to the next, behind a status device's answering step: the
        # whole sequence is loaded, shared with the run and indexed by label before the first answer.
        folder, port, count = self.folder(), free_udp_port(), 100_000
        write_status_device(folder, "D1", f"127.0.0.1:{port}", records=10)
        sequence = folder / "D1.Sequences.csv"
        with sequence.open("a", newline="") as rows:
            for k in range(count):
                rows.write(f"s{k},(R[0] == 0x02) & (R[2] == {k % 256}),StatusReply,R[1] == 0x54,s{(k + 1) % count}\r\n")
        started = time.monotonic()
        run = Run(self, folder, "--quiet", "--for", "120")
        answer = self.exchange(port, request(7), timeout=90)
        answered = time.monotonic()
        rss = resident_kib(run.process.pid) if run.process.poll() is None else 0
        print(f"\n{count} steps: first answer after {answered - started:.2f} s, {rss / 1024:.0f} MiB resident",
              file=sys.stderr)
        self.assertEqual(answer, reply(7), run.describe())
        self.assertEqual(run.stop(), 0, run.describe())
        self.assertRegex(run.output(), r"(?m)^  D1: [1-9]\d* received, [1-9]\d* sent")


class ClosedOutput(E2ETest):
    def test_a_reader_that_goes_away_or_a_full_device_stops_the_run_in_order_with_status_1(self):
        for target, reason in (("pipe", "Broken pipe"), ("/dev/full", "No space left on device")):
            with self.subTest(target=target):
                folder, traces, port = self.folder(), self.folder(), free_udp_port()
                write_status_device(folder, "D1", f"127.0.0.1:{port}")
                command = e2e_test.CLI + ["run", str(folder), "--trace-dir", str(traces), "--for", "120"]
                with open(traces / "stderr.txt", "wb") as err, open(os.devnull if target == "pipe" else target,
                                                                    "wb") as device:
                    process = subprocess.Popen(command, stdout=subprocess.PIPE if target == "pipe" else device,
                                               stderr=err, stdin=subprocess.DEVNULL)
                self.addCleanup(process.kill)
                if target == "pipe":
                    # As `orvalix-cli run FOLDER | head -3`: the header, then the reader is gone.
                    for _ in range(3):
                        process.stdout.readline()
                    process.stdout.close()
                    for n in range(1, 60):  # traffic makes lines, whose write then fails
                        if process.poll() is not None:
                            break
                        self.exchange(port, request(n), timeout=1)
                status = process.wait(timeout=60)
                error = (traces / "stderr.txt").read_text()
                self.assertEqual(status, 1, error)
                self.assertIn(f"orvalix-cli run: the standard output takes no more ({reason}): the run was stopped",
                              error)
                self.assertTrue((traces / "Controller.csv").is_file(), "the run ended in order")
                self.assertTrue((traces / "Primary.csv").is_file())


class Hangup(E2ETest):
    def test_a_closed_terminal_stops_the_run_like_a_termination_request(self):
        run, _, port = self.status_run("--for", "120")
        self.assertTrue(self.ask(port, 1, timeout=30), run.describe())
        self.assertEqual(run.stop(signal.SIGHUP), 0, run.describe())
        self.assertLines(run.output(), "Stopped\\.", r"  D1: 1 received, 1 sent, \d+ marks?, \d+ log files?")
        self.assertTrue((run.trace_dir / "Controller.csv").is_file())


class DiskFull(E2ETest):
    LINE = re.compile(rf"{TIME},(\d+),[0-9a-f]{{8}}((?:,[0-9a-f]{{2}})*)\r\n")

    def test_a_full_disk_stops_the_recording_with_whole_records_and_the_next_starts_when_there_is_room(self):
        folder, port = self.folder(), free_udp_port()
        logs = folder / "Logs"
        logs.mkdir()
        if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=8k", "tmpfs", str(logs)],
                                               capture_output=True).returncode != 0:
            self.skipTest("a small file system to fill needs root and mount")
        self.addCleanup(subprocess.run, ["umount", "-l", str(logs)])
        # Odd requests raise the trigger; a recording takes every later record, to the end of the run.
        write_status_device(folder, "D1", f"127.0.0.1:{port}", trigger="R[2] & 1", post=-1)
        run = Run(self, folder, "--quiet", "--for", "120")
        stopped = r"^D1 trigger StatusRequest: log file (\S+) stopped after (\d+) records: No space left on device$"
        n = 1
        while not re.search(stopped, run.output(), re.MULTILINE) and n < 400:
            self.assertTrue(self.ask(port, n % 256, timeout=30 if n == 1 else 20), run.describe())
            n += 1
        self.assertTrue(run.shows(stopped), run.describe())
        path, records = re.search(stopped, run.output(), re.MULTILINE).groups()
        content = Path(path).read_bytes().decode("utf-8-sig")
        lines = content.splitlines(keepends=True)
        self.assertEqual(len(lines), int(records), "the count said is the count written")
        for line in lines:
            self.assertRegex(line, self.LINE, "every record whole, each on its own line")
            self.assertEqual(int(self.LINE.fullmatch(line)[1]), len(self.LINE.fullmatch(line)[2]) // 3)

        # The next trigger finds no room and says so; with room again a new file starts. An even request
        # before each odd one lets the trigger rise again.
        self.assertTrue(self.ask(port, 2) and self.ask(port, 3), run.describe())
        self.assertTrue(run.shows(r"^D1 trigger StatusRequest: no log file \(it cannot be made: No space left "
                                  r"on device\)$"), run.describe())
        Path(path).unlink()
        self.assertTrue(self.ask(port, 4) and self.ask(port, 5), run.describe())
        self.assertTrue(run.shows(r"^D1 trigger StatusRequest: log file (?!" + re.escape(path) + r"$)\S+$"),
                        run.describe())
        self.assertEqual(run.stop(), 0, run.describe())
        self.assertLines(run.output(), r"  D1: \d+ received, \d+ sent, \d+ marks?, 2 log files "
                                       r"\(1 stopped by a failed write\)" + LOST)


if __name__ == "__main__":
    e2e_test.main()
