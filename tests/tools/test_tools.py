#!/usr/bin/env python3
"""The command-line tools from outside: the exit status each outcome is
documented with, one line (never a traceback) for every bad argument, and
the help a user needs to get the arguments right. vyxpc.py talks to a
stand-in controller on a loopback port that answers every request with a
chosen status, or with nothing."""

import os
import socket
import subprocess
import sys
import tempfile
import threading
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
sys.path.insert(0, TOOLS)
sys.dont_write_bytecode = True  # nothing written into the source tree
import vyxpc  # noqa: E402  (the frame codec for the stand-in)

DONE, REFUSED, NO_ANSWER, BAD_ARGUMENTS = 0, 1, 2, 3


def run(tool, *args):
    p = subprocess.run([sys.executable, os.path.join(TOOLS, tool)] + list(args), capture_output=True, text=True,
                       timeout=60)
    return p.returncode, p.stdout, p.stderr


class StandIn:
    """Answers each request frame with `status` (and no data), or not at all
    when `status` is None."""

    def __init__(self):
        self.status = 0
        self.server = socket.socket()
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(4)
        self.address = "127.0.0.1:%d" % self.server.getsockname()[1]
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        while True:
            try:
                conn, _ = self.server.accept()
            except OSError:
                return
            threading.Thread(target=self._answer, args=(conn,), daemon=True).start()

    def _answer(self, conn):
        collector = vyxpc.Collector()
        with conn:
            while True:
                data = conn.recv(65536)
                if not data:
                    return
                for body in collector.feed(data):
                    if self.status is None:
                        continue
                    destination, source = body[0:2], body[2:4]
                    reply = source + destination + body[4:10] + bytes([self.status])
                    conn.sendall(vyxpc.encode(reply + bytes([vyxpc.bcc(reply)])))

    def close(self):
        self.server.close()


class PcTool(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.controller = StandIn()
        cls.scratch = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.controller.close()
        cls.scratch.cleanup()

    def pc(self, *args, status=0):
        self.controller.status = status
        return run("vyxpc.py", "--tcp", self.controller.address, "--timeout", "0.3", *args)

    def assertBadArgument(self, result, *words):
        code, out, err = result
        self.assertEqual(code, BAD_ARGUMENTS, err)
        self.assertEqual(out, "")
        self.assertEqual(len(err.strip().splitlines()), 1, err)
        self.assertNotIn("Traceback", err)
        for word in words:
            self.assertIn(word, err)

    def test_each_outcome_has_its_exit_status(self):
        self.assertEqual(self.pc("write-reg", "50", "3")[:2], (DONE, "done\n"))
        code, _, err = self.pc("write-reg", "50", "3", status=1)
        self.assertEqual(code, REFUSED)
        self.assertIn("status 1", err)
        self.assertEqual(self.pc("write-reg", "50", "3", status=None)[0], NO_ANSWER)
        # A port nobody listens on.
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            closed = "127.0.0.1:%d" % s.getsockname()[1]
        code, _, err = run("vyxpc.py", "--tcp", closed, "read-reg", "1")
        self.assertEqual(code, NO_ANSWER)
        self.assertIn("cannot open the link", err)

    def test_numbers_that_do_not_fit_their_field_are_bad_arguments(self):
        self.assertBadArgument(self.pc("write-reg", "50", "300"), "VALUE", "300", "0..255")
        self.assertBadArgument(self.pc("write-reg", "70000", "1"), "REGISTER")
        self.assertBadArgument(self.pc("read-ram", "0", "70000"), "LENGTH", "0..65535")
        # The top byte of a RAM address is the target's.
        self.assertBadArgument(self.pc("read-ram", "0x1000000", "2"), "ADDRESS", "0xFFFFFF")
        self.assertBadArgument(self.pc("read-ram", "0", "2", "--target", "fpga2"), "fpga0", "fpga1")
        self.assertBadArgument(self.pc("read-reg", "1", "256"), "COUNT")
        self.assertBadArgument(self.pc("erase-flash", "0", "1", "--mode", "-1"), "--mode")
        self.assertBadArgument(self.pc("read-flash", "0xFFFFFFFF", "2"), "past 0xFFFFFFFF")
        self.assertBadArgument(self.pc("set-cloud", "host", "65536", "u", "n"), "PORT")
        self.assertBadArgument(self.pc("raw", "0x100"), "CODE")
        self.assertBadArgument(self.pc("read-reg", "twelve"), "not a number")
        for port in ("0", "11"):
            self.assertBadArgument(self.pc("card-search", port), "PORT", "1..10")
        # Values the field holds are the controller's to judge.
        self.assertEqual(self.pc("param-save", "3", status=1)[0], REFUSED)
        self.assertEqual(self.pc("card-search", "10", status=None)[0], NO_ANSWER)

    def test_texts_addresses_and_options_that_cannot_be_sent(self):
        self.assertBadArgument(self.pc("set-ip", "300.1.1.1", "1.1.1.1", "255.0.0.0", "5005"), "IP")
        self.assertBadArgument(self.pc("set-mac", "00:11:22:33:44"), "MAC")
        self.assertBadArgument(self.pc("set-barcode", "caf\u00e9"), "ASCII")
        self.assertBadArgument(self.pc("delete-file", "scan", "--name", "n" * 256), "256 bytes")
        self.assertBadArgument(self.pc("set-lang", "3", "klingon"), "LANGUAGE", "zh-cn")
        self.assertBadArgument(self.pc("write-ram", "0", "0g"), "hexadecimal")
        self.assertBadArgument(self.pc("send-file", "firmware", "x"), "app")
        self.assertBadArgument(run("vyxpc.py", "--tcp", "127.0.0.1:http", "read-reg", "1"), "--tcp", "port")
        self.assertBadArgument(run("vyxpc.py", "--tcp", "127.0.0.1", "--timeout", "0", "read-reg", "1"), "--timeout")
        self.assertBadArgument(run("vyxpc.py", "--tcp", "127.0.0.1", "read-reg"), "FIRST")
        self.assertBadArgument(run("vyxpc.py", "--tcp", "127.0.0.1", "reed-reg", "1"), "reed-reg")
        self.assertBadArgument(run("vyxpc.py", "read-reg", "1"), "--tcp")
        self.assertBadArgument(run("vyxpc.py", "--tcp", "127.0.0.1", "at", "AT+CHECKDATA"), "--wifi")

    def test_local_files_are_checked_before_anything_is_sent(self):
        missing = os.path.join(self.scratch.name, "missing.bin")
        for command in (["send-file", "alias", missing], ["write-flash", "0", missing],
                        ["send-cloud-file", "cafile", missing], ["edid-table", "0", "1920", "1080", "60", missing]):
            self.assertBadArgument(self.pc(*command), missing, "cannot be read")
        nowhere = os.path.join(self.scratch.name, "no-such-dir", "out.bin")
        self.assertBadArgument(self.pc("fetch-file", "alias", nowhere), nowhere)
        self.assertBadArgument(self.pc("read-flash", "0", "16", "--out", self.scratch.name), "is a directory")

    def test_help_names_every_argument_and_the_targets(self):
        code, out, _ = run("vyxpc.py", "--help")
        self.assertEqual(code, 0)
        self.assertIn("3 bad arguments", out)
        self.assertIn("COMMAND --help", out)
        for command, words in {"read-ram": ["ADDRESS", "LENGTH", "controller or 0", "fpga0 or 1", "fpga1 or 2"],
                               "write-reg": ["REGISTER", "VALUE", "--mask", "fpga1 or 2"],
                               "card-search": ["PORT", "1..10"],
                               "set-lang": ["MASK", "LANGUAGE", "zh-tw"]}.items():
            code, out, _ = run("vyxpc.py", "--tcp", "127.0.0.1", command, "--help")
            self.assertEqual(code, 0)
            for word in words:
                self.assertIn(word, out, command)


class FilesTool(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.addCleanup(self.scratch.cleanup)

    def path(self, name):
        return os.path.join(self.scratch.name, name)

    def assertBadArgument(self, result, *words):
        PcTool.assertBadArgument(self, result, *words)

    def test_bad_arguments_get_one_line_and_write_nothing(self):
        out = self.path("out.bin")
        missing = self.path("missing.bit")
        self.assertBadArgument(run("vyxfiles.py", "package", out, "--fpga0", missing), missing, "cannot be read")
        self.assertBadArgument(run("vyxfiles.py", "package", out, "--font", "size:10"), "35 bytes")
        self.assertBadArgument(run("vyxfiles.py", "package", out, "--child", "300:size:1"), "child type 300")
        self.assertBadArgument(run("vyxfiles.py", "package", out, "--app", "size:lots"), "size")
        self.assertBadArgument(run("vyxfiles.py", "recovery", out, "--ports", "25"), "output port 25", "0..19")
        self.assertBadArgument(run("vyxfiles.py", "recovery", out, "--ports", "1,2", "--cards", "1,2,3"), "--cards")
        self.assertBadArgument(run("vyxfiles.py", "recovery", out, "--screens", "256"), "--screens")
        self.assertBadArgument(run("vyxfiles.py", "scan", out, "--op", "1:2:0x20:4"), "TYPE:TARGET:ADDR:LEN:MS")
        self.assertBadArgument(run("vyxfiles.py", "scan", out, "--op", "1:2:0x20:4:0x100000000"), "MS")
        self.assertFalse(os.path.exists(out))
        self.assertBadArgument(run("vyxfiles.py", "scan", self.path("no-such-dir/a.tzfile")), "cannot be written")

    def test_good_arguments_write_the_file_and_the_manifest(self):
        code, _, err = run("vyxfiles.py", "recovery", self.path("TZFX"), "--ports", "0,19", "--cards", "1",
                           "--manifest", self.path("m.json"))
        self.assertEqual(code, DONE, err)
        self.assertTrue(os.path.getsize(self.path("TZFX")) > 0 and os.path.getsize(self.path("m.json")) > 0)

    def test_help_explains_the_operation_fields(self):
        for args in (["--help"], ["scan", "--help"], ["recovery", "--help"]):
            code, out, _ = run("vyxfiles.py", *args)
            self.assertEqual(code, 0)
            for field in ("TYPE", "TARGET", "ADDR", "LEN", "MS", "sleep", "registers"):
                self.assertIn(field, out, args)
        self.assertIn("3 bad arguments", run("vyxfiles.py", "--help")[1])


if __name__ == "__main__":
    unittest.main()
