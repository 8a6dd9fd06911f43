"""The helpers every walk step uses: a virtual X display of the panel's size,
the controller started on it over a fresh simulated root, real X key events
(xdotool), the PC link to read back what the keys changed and the display's
picture to see what a person would see.

A step is a function `step_<name>(panel)` in a file of steps/; see walk.py.
"""

import fcntl
import os
import random
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools"))
import vyxpc  # noqa: E402  (the PC-side client of the controller)

# Every PC port the controller opens, moved by the offset.
PC_PORTS = [("tcp", 5005), ("tcp", 10002), ("udp", 5008), ("udp", 10005), ("udp", 13769)]


class WalkFailure(Exception):
    pass


def _lock_port(port):
    """A lock on PC port `port` shared with the test and bench programs (a
    file lock, gone with the process), or None when another holder has it."""
    directory = os.path.join(os.environ.get("TMPDIR") or "/tmp", "vyx-pc-ports")
    try:
        os.mkdir(directory, 0o777)
        os.chmod(directory, 0o1777)
    except FileExistsError:
        pass
    fd = os.open(os.path.join(directory, str(port)), os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o666)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        return fd
    except OSError:
        os.close(fd)
        return None


def free_port_offset():
    """An offset that moves every PC port onto a free one, and the locks that
    keep its ports from the other programs starting controllers (a port free
    now may be another's a moment later); close them when done."""
    for _ in range(1000):
        # 13769 plus the offset stays below the ephemeral ports.
        offset = random.randrange(100, 18900)
        locks = []
        try:
            for _, port in PC_PORTS:
                fd = _lock_port(port + offset)
                if fd is None:
                    raise OSError("port %d is held" % (port + offset))
                locks.append(fd)
                for family in (socket.SOCK_STREAM, socket.SOCK_DGRAM):
                    s = socket.socket(socket.AF_INET, family)
                    try:
                        s.bind(("127.0.0.1", port + offset))
                    finally:
                        s.close()
            return offset, locks
        except OSError:
            for fd in locks:
                os.close(fd)
    raise WalkFailure("no free PC port offset")


class Display:
    """Xvfb at the panel's size; it picks a free display number itself. Its
    screen lives in a file (an XWD image the server draws into), so what is
    shown can be read without a client of its own."""

    def __init__(self):
        self.fbdir = tempfile.mkdtemp(prefix="vyx-walk-fb-")
        read, write = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "320x240x24",
                                      "-nolisten", "tcp", "-fbdir", self.fbdir], pass_fds=[write],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        with os.fdopen(read, "rb") as r:
            number = r.readline().strip()
        if not number:
            self.proc.kill()
            raise WalkFailure("Xvfb did not start")
        self.name = ":" + number.decode()

    def pixel(self, x, y):
        """(red, green, blue) shown at x, y of the screen now."""
        with open(os.path.join(self.fbdir, "Xvfb_screen0"), "rb") as f:
            h = struct.unpack(">25I", f.read(100))  # the XWD header's words
            header_size, byte_order, bits_per_pixel, bytes_per_line, colours = h[0], h[7], h[11], h[12], h[19]
            if bits_per_pixel != 32:
                raise WalkFailure("the screen file holds %d-bit pixels" % bits_per_pixel)
            f.seek(header_size + 12 * colours + y * bytes_per_line + 4 * x)
            word = struct.unpack("<I" if byte_order == 0 else ">I", f.read(4))[0]
        return (word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF

    def close(self):
        self.proc.terminate()
        self.proc.wait(10)
        shutil.rmtree(self.fbdir, ignore_errors=True)


class Panel:
    """The controller on the virtual display, driven by keys as a person would."""

    def __init__(self, app, display, log, pause_scale="0"):
        self.display = display
        self.root = tempfile.mkdtemp(prefix="vyx-walk-")
        self.offset, self._port_locks = free_port_offset()
        self.log_path = log
        env = dict(os.environ, DISPLAY=display.name, QT_QPA_PLATFORM="xcb", VYX_PAUSE_SCALE=pause_scale,
                   VYX_PORT_OFFSET=str(self.offset))
        env.pop("VYX_ROOT", None)
        self.log = open(log, "wb")
        self.proc = subprocess.Popen([app, "--root", self.root], env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        self._wait_for_pc()
        # With no window manager the keys go to the window under the pointer:
        # every screen covers the panel.
        self.xdotool("mousemove", "160", "120")
        self.settle()

    # ---- keys ----
    def xdotool(self, *args):
        subprocess.run(["xdotool"] + list(args), check=True, env=dict(os.environ, DISPLAY=self.display.name))

    def key(self, *names):
        """Presses and releases X keys by name ("q", "Left", "Return", "Escape", "Home")."""
        for name in names:
            self.xdotool("key", "--delay", "30", name)
            self.settle()

    def open_communication_menu(self):
        """From standby through the main window and the settings menu."""
        self.key("Return")                   # standby: the main window
        self.key("Right", "Right", "Right")  # settings
        self.key("Return")
        self.key("Right", "Right", "Right")  # communication
        self.key("Return")

    def touch(self, x, y):
        """A finger on the panel at x, y: a click of the first button. The
        pointer stays where it touched."""
        self.xdotool("mousemove", str(x), str(y), "click", "1")
        self.settle()

    def settle(self, seconds=0.3):
        time.sleep(seconds)
        if self.proc.poll() is not None:
            raise WalkFailure("the controller ended (code %s); see %s" % (self.proc.returncode, self.log_path))

    # ---- the display ----
    def shows(self, points):
        """Whether every ((x, y), (red, green, blue)) of `points` is shown."""
        return all(self.display.pixel(x, y) == colour for (x, y), colour in points)

    def _seen_failure(self, what, points):
        got = [self.display.pixel(x, y) for (x, y), _ in points]
        return WalkFailure("%s not seen: %s show %s, expected %s" % (
            what, [xy for xy, _ in points], got, [colour for _, colour in points]))

    def expect_seen(self, what, points, seconds=2):
        """Waits until the display shows the colours of `points` (see shows)."""
        until = time.monotonic() + seconds
        while not self.shows(points):
            if time.monotonic() > until:
                raise self._seen_failure(what, points)
            time.sleep(0.1)

    def expect_kept(self, what, points, seconds=1):
        """The display shows `points` now and all through the next `seconds`."""
        until = time.monotonic() + seconds
        while True:
            if not self.shows(points):
                raise self._seen_failure(what, points)
            if time.monotonic() > until:
                return
            time.sleep(0.1)

    # ---- the PC link ----
    def client(self):
        return vyxpc.Client(vyxpc.TcpLink("127.0.0.1:%d" % (5005 + self.offset)), 3.0)

    def read_ram(self, address, length):
        c = self.client()
        try:
            return c.read_ram(address, length)
        finally:
            c.link.close()

    def pc_write(self, address, data):
        """Writes parameter-image bytes from `address` as PC software does,
        then has them applied (bit 0 of register 11)."""
        c = self.client()
        try:
            c.write_ram(address, bytes(data))
            c.write_register(11, 1, 1)
        finally:
            c.link.close()

    def expect_ram(self, address, expected, seconds=5):
        """Waits until parameter-image bytes from `address` read `expected`."""
        expected = bytes(expected)
        until = time.monotonic() + seconds
        while True:
            got = self.read_ram(address, len(expected))
            if got == expected:
                return
            if time.monotonic() > until:
                raise WalkFailure("bytes %d..: %s, expected %s" % (address, got.hex(" "), expected.hex(" ")))
            time.sleep(0.1)

    def _wait_for_pc(self, seconds=60):
        until = time.monotonic() + seconds
        while time.monotonic() < until:
            if self.proc.poll() is not None:
                raise WalkFailure("the controller ended at start (code %s)" % self.proc.returncode)
            try:
                self.read_ram(0, 2)
                return
            except (OSError, vyxpc.LinkError, vyxpc.Refused):
                time.sleep(0.2)
        raise WalkFailure("the controller did not answer on its PC port")

    def close(self):
        try:
            if self.proc.poll() is None:
                self.proc.send_signal(signal.SIGTERM)
                try:
                    code = self.proc.wait(20)
                except subprocess.TimeoutExpired:
                    self.proc.kill()
                    self.proc.wait()
                    raise WalkFailure("the controller did not stop on SIGTERM")
                if code != 0:
                    raise WalkFailure("the controller stopped with code %d" % code)
        finally:
            self.log.close()
            subprocess.run(["rm", "-rf", self.root])
            for fd in self._port_locks:
                os.close(fd)
            self._port_locks = []
