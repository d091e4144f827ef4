#!/usr/bin/env python3
# `orvalix-cli run --pcap`: the capture read back by tshark. The UDP demo (two environments),
# the Modbus/TCP example served to raw Modbus requests, and a serial line on a pty. Linux only;
# exit status 77 (skipped) when tshark is missing.
#
#   capture_test.py --cli PATH/orvalix-cli [CaptureUdp | CaptureTcp | CaptureSerial] [unittest arguments]
#
# Every wait is bounded; nothing asserts how fast anything is.

import os, pty, re, shutil, socket, subprocess, sys, tty
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ of the shared helpers in the source tree
import e2e_test
from e2e_test import E2ETest, Run, free_udp_port, read_until, send_until_answered, write_ack_device
from modbus_test import serve_modbus_tcp, tcp_read_reply, tcp_read_request

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"
RECORD = re.compile(r"^(\S+) \S+ \S+ (RX|TX) \d+ [0-9a-f]{8}((?: [0-9a-f]{2})*)(?: marks: .*)?$", re.MULTILINE)


def tshark(test, capture, *arguments):
    # The fields of every packet that passes, one list per packet.
    result = subprocess.run(["tshark", "-r", str(capture), *arguments, "-E", "occurrence=f"],
                            capture_output=True, text=True, timeout=120)
    test.assertEqual(result.returncode, 0, result.stderr)
    return [line.split("\t") for line in result.stdout.splitlines()]


def direction(flags):  # epb_flags as tshark shows them
    return {1: "RX", 2: "TX"}[int(flags, 16) & 3]


class CaptureTest(E2ETest):
    def setUp(self):
        super().setUp()
        if not shutil.which("tshark"):
            self.skipTest("tshark is not installed (Debian: tshark)")


class CaptureUdp(CaptureTest):
    def test_every_printed_record_is_a_packet_between_the_real_endpoints(self):
        # The demo on free ports: E1 polls D1, D1 answers E1.
        data, ports = self.folder() / "demo", {"50101": str(free_udp_port()), "50102": str(free_udp_port())}
        shutil.copytree(EXAMPLES / "demo", data)
        for environment in data.glob("*.Environments.csv"):
            text = environment.read_text("ascii")
            environment.write_text(re.sub(r"5010[12]", lambda m: ports[m.group(0)], text), "ascii", newline="")
        capture = self.folder() / "demo capture.pcapng"
        run = Run(self, data, "--for", "3", "--pcap", str(capture))
        self.assertEqual(run.stop(how=None), 0, run.describe())
        printed = [(m[1], m[2], m[3].replace(" ", "")) for m in RECORD.finditer(run.output())]
        self.assertGreater(len(printed), 4, run.describe())
        packets = tshark(self, capture, "-o", "ip.check_checksum:TRUE", "-T", "fields", "-e", "frame.interface_name",
                         "-e", "frame.packet_flags", "-e", "ip.src", "-e", "udp.srcport", "-e", "ip.dst",
                         "-e", "udp.dstport", "-e", "ip.checksum.status", "-e", "data.data", "-e", "frame.comment")
        self.assertEqual([(p[0], direction(p[1]), p[7]) for p in packets], printed, "the records as printed, in order")
        own = {"E1": ports["50101"], "D1": ports["50102"]}
        other = {"E1": ports["50102"], "D1": ports["50101"]}
        for name, flags, source, source_port, destination, destination_port, checksum, _, comment in packets:
            inbound = direction(flags) == "RX"
            self.assertEqual((source, destination, checksum), ("127.0.0.1", "127.0.0.1", "1"), "checksum good")
            self.assertEqual((source_port, destination_port),
                             (other[name], own[name]) if inbound else (own[name], other[name]))
            self.assertRegex(comment, r"^attribute 80000000" if inbound else r"^attribute 00000000")
        # E1 marks every reply whose CRC is right: all of them.
        self.assertTrue(all(p[8].endswith("; marks: StatusReply") for p in packets if p[0] == "E1"
                            and direction(p[1]) == "RX"))

    def test_a_capture_file_that_cannot_be_made_stops_the_run_before_it_starts(self):
        capture = self.folder() / "missing" / "run.pcapng"
        run = Run(self, EXAMPLES / "demo", "--for", "3", "--pcap", str(capture))
        self.assertEqual(run.stop(how=None), 1, run.describe())
        self.assertEqual(run.output(1), f"orvalix-cli run: can't write the capture {capture}: No such file or directory\n")
        self.assertNotIn("Running", run.output())


class CaptureTcp(CaptureTest):
    def test_modbus_requests_and_replies_are_dissected_from_the_reassembled_streams(self):
        capture = self.folder() / "modbus.pcapng"
        run, port = serve_modbus_tcp(self, "--pcap", str(capture))
        client = socket.create_connection(("127.0.0.1", port), timeout=10)
        self.addCleanup(client.close)
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        for transaction, start, count in [(0x1234, 10, 3), (0x1235, 0, 2), (0x1236, 5, 1)]:
            client.sendall(tcp_read_request(transaction, 1, start, count))
            reply = tcp_read_reply(transaction, 1, start, count)
            self.assertEqual(read_until(client, len(reply)), reply, run.describe())
        client_port = client.getsockname()[1]
        client.close()
        self.assertTrue(run.shows(r"^M1 disconnected "), run.describe())
        self.assertEqual(run.stop(), 0, run.describe())
        packets = tshark(self, capture, "-d", f"tcp.port=={port},mbtcp", "-o", "tcp.relative_sequence_numbers:FALSE",
                         "-Y", "mbtcp", "-T", "fields",
                         "-e", "frame.interface_name", "-e", "tcp.srcport", "-e", "tcp.dstport",
                         "-e", "mbtcp.trans_id", "-e", "modbus.func_code", "-e", "tcp.seq", "-e", "tcp.ack")
        requests = [(int(p[3]), p[4]) for p in packets if p[1] == str(client_port) and p[2] == str(port)]
        replies = [(int(p[3]), p[4]) for p in packets if p[1] == str(port) and p[2] == str(client_port)]
        self.assertEqual(requests, [(0x1234, "3"), (0x1235, "3"), (0x1236, "3")])
        self.assertEqual(replies, requests)
        # Each direction's sequence numbers follow its own bytes from 1; each acknowledges all the other sent.
        sent, answered, expected = 1, 1, []
        for count in (3, 2, 1):
            expected += [(sent, answered), (answered, sent + 12)]
            sent, answered = sent + 12, answered + len(tcp_read_reply(0, 1, 0, count))
        self.assertEqual([(int(p[5]), int(p[6])) for p in packets], expected)
        self.assertEqual(len(tshark(self, capture, "-Y", "tcp.analysis.flags", "-T", "fields", "-e", "frame.number")),
                         0, "no segment seems lost or sent twice")
        self.assertEqual({p[0] for p in packets}, {"M1"})


class CaptureSerial(CaptureTest):
    def test_serial_records_are_user0_packets_of_the_bytes_alone(self):
        peer, terminal = pty.openpty()
        self.addCleanup(lambda: os.close(peer) or os.close(terminal))
        tty.setraw(terminal)
        folder, capture = self.folder(), self.folder() / "serial.pcapng"
        write_ack_device(folder, os.ttyname(terminal), "200")
        run = Run(self, folder, "--for", "60", "--pcap", str(capture))
        self.assertTrue(run.shows(r"^Running"), run.describe())
        self.assertEqual(send_until_answered(peer, bytes.fromhex("02 41 05 03")), b"\x06\x05")
        self.assertTrue(run.shows(r"^S1 .* TX 2 00000000 06 05$"), run.describe())
        self.assertEqual(run.stop(), 0, run.describe())
        packets = tshark(self, capture, "-T", "fields", "-e", "frame.interface_name", "-e", "frame.encap_type",
                         "-e", "frame.packet_flags", "-e", "frame.len")
        printed = [(m[1], m[2], str(len(m[3]) // 3)) for m in RECORD.finditer(run.output())]
        self.assertEqual([(p[0], direction(p[2]), p[3]) for p in packets], printed)
        self.assertEqual({p[1] for p in packets}, {"45"}, "USER0")
        self.assertIn(("S1", "TX", "2"), printed)


if __name__ == "__main__":
    e2e_test.main()
