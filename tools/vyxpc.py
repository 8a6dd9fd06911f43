#!/usr/bin/env python3
"""vyxpc: talks to the controller in its PC-control protocol (docs/pc-protocol.md)
over TCP, UDP or a serial device. Python 3 standard library only.

Examples:
  vyxpc.py --tcp 192.168.0.199 read-ram 2176 2
  vyxpc.py --udp 192.168.0.199:10005 write-reg 11 1 --mask 1
  vyxpc.py --serial /dev/ttyUSB0 device-info
  vyxpc.py --tcp 127.0.0.1:5005 send-file alias alias.json
  vyxpc.py --tcp 127.0.0.1 fetch-file scan out.tzfile --name hall.tzfile
  vyxpc.py --tcp 127.0.0.1 card-search 3
  vyxpc.py --tcp 127.0.0.1 read-ram 0 64 --target 1         (FPGA 0's parameter RAM)
  vyxpc.py --tcp 127.0.0.1 read-flash 0x10000 35           (scaler flash)
  vyxpc.py --wifi 192.168.0.199 at AT+CHECKDATA "AT+SETDATA=1,Stage left,show-2024"
  vyxpc.py --serial /dev/ttyS1 cloud-command '{"name":"setProperty","barcode":"SN-1"}'

The WiFi "AT" commands (--wifi, UDP port 13769), the cloud commands and
the 4G modem's command group are in docs/cloud-4g-wifi.md.

Exit status: 0 done, 1 the controller answered with a non-zero status,
2 no answer or a link error, 3 bad arguments.
"""

import argparse
import hashlib
import os
import re
import select
import socket
import struct
import sys
import time

START, END = 0xA5, 0x5A
ESCAPES = {0xA5: b"\xA6\x02", 0xA6: b"\xA6\x01", 0x5A: b"\x5B\x02", 0x5B: b"\x5B\x01"}
CONTROLLER = 0xF100
PC = 0xF010
SEARCH_ADDRESS = 0x0FFE

STATUS = {
    0: "done",
    1: "refused (out of range, invalid value or not served)",
    2: "malformed request",
    3: "out of sequence (no transfer open, or not the next block)",
    4: "MD5 digest differs, nothing stored",
    5: "too large",
    6: "busy (another transfer or upgrade is running)",
    7: "storage failed",
    8: "no such file",
    9: "not ready (FPGA 0 is not running yet)",
    0xFF: "unknown command",
}

# name: (type, tag)
FILE_TYPES = {
    "app": (1, b"APPL"),
    "mtd8": (2, b"MTD8"),
    "mtd10": (3, b"MTDA"),
    "alias": (5, b"ALIS"),
    "omenu": (6, b"OMNU"),
    "edid": (7, b"EDID"),
    "recovery": (9, b"TZFX"),
    "scan": (13, b"TZFR"),
}
CLOUD_FILES = {"barcode": 1, "setinfo": 2, "cafile": 3}
LANGUAGES = {"zh-cn": 0, "en": 1, "ru": 2, "vi": 3, "zh-tw": 4}

CMD = {
    "write_ram": 0x60, "read_ram": 0x61, "write_register": 0xA0, "read_register": 0xA1,
    "write_file_start": 0xB0, "write_file_block": 0xB1, "write_file_end": 0xB2,
    "write_defined_file_start": 0xB3, "read_file_start": 0xB4, "read_file_block": 0xB5,
    "read_file_end": 0xB6, "read_defined_file_start": 0xB7, "delete_file_name": 0xB8,
    "YP_SendFile": 0xB9, "YP_SendFileEND": 0xBA, "write_edid_table": 0xBB,
    "get_device_info": 0xC0, "net_ip_set": 0xC1, "init_MAC_address": 0xC2,
    "net_eth_search": 0xC3, "set_barcode": 0xC4, "project_set_setproperty": 0xC5,
    "set_lcd_lang_support": 0xC6, "param_save": 0xD0, "set_para_sync": 0xD1, "REG_mcu_flag": 0xD2,
    "RegUpdate10": 0xD3, "RegUpdate0E": 0xD4, "cmd_erase_flash": 0xD5, "cmd_write_flash": 0xD6,
    "cmd_read_flash": 0xD7, "get_card_version": 0xD8, "card_search": 0x10,
    # the 4G modem's group (answered on the 4G link only)
    "cloud_json": 0xE0, "cloud_setup_read": 0xE1,
}
# RAM and register targets: the controller, FPGA 0, FPGA 1.
TARGETS = {"controller": 0, "fpga0": 1, "fpga1": 2}
FLASH_BLOCK = 16384
WIFI_PORT = 13769


class LinkError(Exception):
    pass


class Refused(Exception):
    def __init__(self, code, what):
        super().__init__("%s: status %d, %s" % (what, code, STATUS.get(code, "?")))
        self.code = code


# ---- the frame ----

def bcc(data):
    x = 0
    for b in data:
        x ^= b
    return x


def make_body(destination, source, command, data=b"", header=b"\0\0\0\0\0"):
    b = struct.pack("<HH", destination, source) + header + bytes([command]) + bytes(data)
    return b + bytes([bcc(b)])


def encode(body):
    out = bytearray([START])
    for b in body:
        out += ESCAPES.get(b, bytes([b]))
    out.append(END)
    return bytes(out)


def unescape(raw):
    out = bytearray()
    i = 0
    while i < len(raw):
        b = raw[i]
        if b in (0xA6, 0x5B):
            if i + 1 >= len(raw) or raw[i + 1] not in (1, 2):
                return None
            b = (0xA5 if b == 0xA6 else 0x5A) if raw[i + 1] == 2 else b
            i += 1
        out.append(b)
        i += 1
    return bytes(out)


class Collector:
    """Bytes in, decoded frame bodies out (the controller's own rules)."""

    def __init__(self):
        self.raw = None

    def feed(self, data):
        frames = []
        for b in data:
            if b == START:
                self.raw = bytearray()
            elif self.raw is None:
                continue
            elif b == END:
                body = unescape(self.raw)
                self.raw = None
                if body and len(body) >= 11 and bcc(body[:-1]) == body[-1]:
                    frames.append(body)
            else:
                self.raw.append(b)
        return frames


# ---- links ----

def host_port(text, default):
    host, _, port = text.partition(":")
    return host or "127.0.0.1", int(port) if port else default


class TcpLink:
    def __init__(self, address):
        self.sock = socket.create_connection(host_port(address, 5005), timeout=5)
        self.sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def send(self, data):
        self.sock.sendall(data)

    def receive(self, timeout):
        ready, _, _ = select.select([self.sock], [], [], timeout)
        if not ready:
            return b""
        data = self.sock.recv(65536)
        if not data:
            raise LinkError("the controller closed the connection")
        return data

    def close(self):
        self.sock.close()


class UdpLink:
    """Not connected: a reply may come back broadcast (port 5008 on the device)."""

    def __init__(self, address):
        self.peer = host_port(address, 10005)
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        self.sock.bind(("", 0))

    def send(self, data):
        self.sock.sendto(data, self.peer)

    def receive(self, timeout):
        ready, _, _ = select.select([self.sock], [], [], timeout)
        if not ready:
            return b""
        return self.sock.recvfrom(65536)[0]

    def close(self):
        self.sock.close()


class SerialLink:
    def __init__(self, path, baud=115200):
        import termios
        import tty
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
        try:
            tty.setraw(self.fd)
            attrs = termios.tcgetattr(self.fd)
            speed = getattr(termios, "B%d" % baud)
            attrs[4] = attrs[5] = speed
            attrs[2] &= ~(termios.PARENB | termios.CSTOPB)
            termios.tcsetattr(self.fd, termios.TCSANOW, attrs)
        except termios.error as e:
            os.close(self.fd)
            raise OSError("%s: not a serial device (%s)" % (path, e.args[-1])) from None

    def send(self, data):
        while data:
            n = os.write(self.fd, data)
            data = data[n:]

    def receive(self, timeout):
        ready, _, _ = select.select([self.fd], [], [], timeout)
        return os.read(self.fd, 65536) if ready else b""

    def close(self):
        os.close(self.fd)


# ---- the client ----

class Client:
    def __init__(self, link, timeout=3.0, destination=CONTROLLER):
        self.link = link
        self.timeout = timeout
        self.destination = destination
        self.collector = Collector()
        self.pending = []

    def frames(self, timeout):
        """Decoded frames until `timeout` seconds pass without one."""
        until = time.monotonic() + timeout
        while True:
            while self.pending:
                yield self.pending.pop(0)
            left = until - time.monotonic()
            if left <= 0:
                return
            self.pending += self.collector.feed(self.link.receive(left))

    def ask(self, command, data=b"", what=None):
        """Sends one command and returns its reply data (status first)."""
        request = make_body(self.destination, PC, command, data)
        self.link.send(encode(request))
        for reply in self.frames(self.timeout):
            # Source and destination swapped, header and command kept.
            if reply[0:2] == request[2:4] and reply[2:4] == request[0:2] and reply[4:10] == request[4:10]:
                return reply[10:-1]
        raise LinkError("no answer to %s" % (what or "command 0x%02X" % command))

    def check(self, command, data=b"", what=None):
        reply = self.ask(command, data, what)
        if not reply:
            raise LinkError("empty answer to %s" % what)
        if reply[0] != 0:
            raise Refused(reply[0], what or "command 0x%02X" % command)
        return reply[1:]

    # RAM and registers; the target of a RAM request rides in the address's top byte
    def read_ram(self, address, length, address_class=0, sub=0, target=0):
        address |= target << 24
        return self.check(CMD["read_ram"], struct.pack("<IHBB", address, length, address_class, sub), "read_ram")

    def write_ram(self, address, data, address_class=0, sub=0, target=0):
        address |= target << 24
        self.check(CMD["write_ram"], struct.pack("<IHBB", address, len(data), address_class, sub) + data,
                   "write_ram")

    def read_register(self, first, count=1, target=0):
        return self.check(CMD["read_register"], struct.pack("<HBBB", first, count, 0, target), "read_register")

    def write_register(self, reg, value, mask=0xFF, target=0):
        self.check(CMD["write_register"], struct.pack("<HBBB", reg, mask, value, target), "write_register")

    def device_info(self):
        return self.check(CMD["get_device_info"], b"", "get_device_info")

    # FPGAs and the scaler
    def param_save(self, target):
        self.check(CMD["param_save"], bytes([target]), "param_save")

    def set_para_sync(self):
        reply = self.ask(CMD["set_para_sync"], b"", "set_para_sync")
        if len(reply) < 5:
            raise LinkError("short answer to set_para_sync")
        width, height = struct.unpack("<HH", reply[1:5])
        if reply[0] != 0:
            raise Refused(reply[0], "set_para_sync (%d x %d from the layout)" % (width, height))
        return width, height

    def led_handshake(self, command="REG_mcu_flag"):
        self.check(CMD[command], b"", command)

    def font_update(self):
        return self.check(CMD["RegUpdate0E"], b"", "RegUpdate0E")[0]

    def erase_flash(self, unit, count, mode):
        self.check(CMD["cmd_erase_flash"], struct.pack("<IHB", unit, count, mode), "cmd_erase_flash")

    def write_flash(self, address, data, block=FLASH_BLOCK):
        for offset in range(0, len(data), block):
            chunk = data[offset:offset + block]
            self.check(CMD["cmd_write_flash"], struct.pack("<IH", address + offset, len(chunk)) + chunk,
                       "cmd_write_flash at 0x%X" % (address + offset))

    def read_flash(self, address, length, block=FLASH_BLOCK):
        data = bytearray()
        while len(data) < length:
            n = min(block, length - len(data))
            data += self.check(CMD["cmd_read_flash"], struct.pack("<IH", address + len(data), n),
                               "cmd_read_flash at 0x%X" % (address + len(data)))
        return bytes(data)

    def card_version(self):
        reply = self.check(CMD["get_card_version"], b"", "get_card_version")
        dotted = lambda b: ".".join(str(x) for x in b)
        return {"controller": dotted(reply[0:4]), "fpga0": reply[4:8].hex("."), "fpga1": reply[8:12].hex("."),
                "loader": "this" if reply[12] == 1 else "other"}

    # files
    def send_file(self, type_, tag, data, name=None, block=16384, stop_after=None, wrong_digest=False):
        head = struct.pack("<B4sI", type_, tag, len(data))
        if name is None:
            reply = self.check(CMD["write_file_start"], head, "write_file_start")
        else:
            raw = name.encode("utf-8")
            reply = self.check(CMD["write_defined_file_start"], head + bytes([len(raw)]) + raw,
                               "write_defined_file_start")
        block = max(1, min(block, struct.unpack("<H", reply[:2])[0]))
        for count, offset in enumerate(range(0, len(data), block)):
            if stop_after is not None and count >= stop_after:
                return None
            chunk = data[offset:offset + block]
            self.check(CMD["write_file_block"], struct.pack("<IH", offset, len(chunk)) + chunk,
                       "write_file_block at %d" % offset)
        digest = bytearray(hashlib.md5(data).digest())
        if wrong_digest:
            digest[0] ^= 0xFF
        self.check(CMD["write_file_end"], bytes(digest), "write_file_end")
        return hashlib.md5(data).hexdigest()

    def fetch_file(self, type_, tag, name=None, limit=0, block=16384):
        if name is None:
            reply = self.check(CMD["read_file_start"], struct.pack("<B4sI", type_, tag, limit), "read_file_start")
        else:
            raw = name.encode("utf-8")
            reply = self.check(CMD["read_defined_file_start"], struct.pack("<B4sB", type_, tag, len(raw)) + raw,
                               "read_defined_file_start")
        size = struct.unpack("<I", reply[:4])[0]
        data = bytearray()
        while len(data) < size:
            n = min(block, size - len(data))
            chunk = self.check(CMD["read_file_block"], struct.pack("<IH", len(data), n),
                               "read_file_block at %d" % len(data))
            if not chunk:
                raise LinkError("empty block at %d" % len(data))
            data += chunk
        end = self.check(CMD["read_file_end"], b"", "read_file_end")
        digest, total = end[:16], struct.unpack("<I", end[16:20])[0]
        if total != len(data) or hashlib.md5(data).digest() != digest:
            raise LinkError("fetched file differs from the controller's digest")
        return bytes(data)

    def delete_file(self, type_, tag, name=""):
        raw = name.encode("utf-8")
        reply = self.check(CMD["delete_file_name"], struct.pack("<B4sB", type_, tag, len(raw)) + raw,
                           "delete_file_name")
        return struct.unpack("<H", reply[:2])[0]

    def send_cloud_file(self, kind, data, block=16384, wrong_digest=False):
        for offset in range(0, max(len(data), 1), block):
            chunk = data[offset:offset + block]
            self.check(CMD["YP_SendFile"], struct.pack("<BIH", kind, offset, len(chunk)) + chunk,
                       "YP_SendFile at %d" % offset)
        digest = bytearray(hashlib.md5(data).digest())
        if wrong_digest:
            digest[0] ^= 0xFF
        self.check(CMD["YP_SendFileEND"], bytes([kind]) + bytes(digest), "YP_SendFileEND")

    def write_edid_table(self, input_, width, height, rate, table):
        self.check(CMD["write_edid_table"], struct.pack("<BHHH", input_, width, height, rate) + table,
                   "write_edid_table")

    # settings
    def net_ip_set(self, ip, gateway, mask, port, mac=None):
        data = socket.inet_aton(ip) + socket.inet_aton(gateway) + socket.inet_aton(mask) + struct.pack("<H", port)
        if mac:
            data += parse_mac(mac)
        self.check(CMD["net_ip_set"], data, "net_ip_set")

    def init_mac(self, mac):
        self.check(CMD["init_MAC_address"], parse_mac(mac), "init_MAC_address")

    def search(self, text=""):
        raw = text.encode("ascii")
        data = bytes([len(raw)]) + raw if raw else b""
        reply = self.check(CMD["net_eth_search"], data, "net_eth_search")
        ip, mask, gateway = (socket.inet_ntoa(reply[i:i + 4]) for i in (0, 4, 8))
        port = struct.unpack("<H", reply[12:14])[0]
        mac = ":".join("%02x" % b for b in reply[14:20])
        return {"ip": ip, "mask": mask, "gateway": gateway, "port": port, "mac": mac}

    def set_barcode(self, text):
        raw = text.encode("ascii")
        self.check(CMD["set_barcode"], bytes([len(raw)]) + raw, "set_barcode")

    def set_cloud(self, server, port, user, name):
        self.check(CMD["project_set_setproperty"], cloud_record(server, port, user, name), "project_set_setproperty")

    def set_languages(self, mask, language):
        self.check(CMD["set_lcd_lang_support"], struct.pack("<IB", mask, language), "set_lcd_lang_support")

    # the 4G modem's group
    def cloud_command(self, text):
        """One cloud JSON command, as the modem relays it; the JSON answer."""
        return self.check(CMD["cloud_json"], text.encode("utf-8"), "cloud command").decode("utf-8", "replace")

    def read_setup(self, kind):
        """A cloud set-up file, in the pieces the modem reads it in."""
        data, offset = b"", 0
        while True:
            reply = self.check(CMD["cloud_setup_read"], struct.pack("<BH", kind, offset), "cloud set-up read")
            total = struct.unpack("<H", reply[:2])[0]
            data += reply[2:]
            offset += len(reply) - 2
            if offset >= total or len(reply) == 2:
                return data

    def card_search(self, port, timeout):
        """Sends a search frame to the cards of one output port (1-based)
        through the controller; returns the answers that came."""
        header = bytes([0x10, 0xAA, 0xFF, port, 0x00])
        request = make_body(SEARCH_ADDRESS, PC, CMD["card_search"], b"", header)
        self.link.send(encode(request))
        return [f for f in self.frames(timeout) if f[9] == CMD["card_search"] and f[0:2] == request[2:4]]


class WifiClient:
    """The WiFi manager's "AT" commands: one UDP datagram each way."""

    def __init__(self, address, timeout):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        # Connected: only the controller's replies are taken.
        self.sock.connect(host_port(address, WIFI_PORT))
        self.timeout = timeout

    def at(self, command):
        self.sock.send(command.encode("ascii"))
        ready, _, _ = select.select([self.sock], [], [], self.timeout)
        if not ready:
            raise LinkError("no answer to %s" % command)
        return self.sock.recv(1024).decode("ascii", "replace").rstrip("\r\n")

    def close(self):
        self.sock.close()


def cloud_record(server, port, user, name):
    out = b""
    for i, text in enumerate((server, user, name)):
        raw = text.encode("utf-8")
        out += bytes([len(raw)]) + raw
        if i == 0:
            out += struct.pack("<H", port)
    return out


def parse_mac(text):
    parts = text.replace("-", ":").split(":")
    if len(parts) != 6 or not all(re.fullmatch("[0-9A-Fa-f]{1,2}", p) for p in parts):
        raise ValueError("%r is not a MAC address (six hexadecimal bytes, e.g. 00:1a:2b:3c:4d:5e)" % text)
    return bytes(int(p, 16) for p in parts)


# ---- arguments ----
# Values are checked against the field that carries them, so that anything
# the frame can hold reaches the controller, which judges it.

BAD_ARGUMENTS = 3
TARGET_HELP = "controller or 0 (default), fpga0 or 1, fpga1 or 2"


class BadArgument(Exception):
    """An argument found unusable after parsing: a local file."""


class Parser(argparse.ArgumentParser):
    """A bad argument ends the run with one line and exit status 3."""

    def error(self, message):
        print("%s: %s (see --help)" % (self.prog, message), file=sys.stderr)
        sys.exit(BAD_ARGUMENTS)


def _shown(value):
    return "0x%X" % value if value > 0xFFFF else str(value)


def integer(low, high):
    """A number, decimal or 0x.. hexadecimal, from low to high."""
    def convert(text):
        try:
            value = int(text, 0)
        except ValueError:
            raise argparse.ArgumentTypeError("%r is not a number (decimal or 0x.. hexadecimal)" % text) from None
        if not low <= value <= high:
            raise argparse.ArgumentTypeError("%s is out of range %s..%s" % (text, _shown(low), _shown(high)))
        return value
    return convert


number = integer(0, 0xFFFFFFFF)
byte = integer(0, 0xFF)
u16 = integer(0, 0xFFFF)
ip_port = integer(1, 0xFFFF)
# Bits 24..31 of a RAM address carry the target.
ram_address = integer(0, 0xFFFFFF)
positive = integer(1, 0xFFFFFFFF)
block_size = integer(1, 0xFFFF)
card_port = integer(1, 10)


def text(encoding, longest=255):
    """A text in `encoding`, of at most `longest` bytes when it goes with a
    length byte (None: no limit)."""
    def convert(value):
        try:
            raw = value.encode(encoding)
        except UnicodeEncodeError:
            raise argparse.ArgumentTypeError("%r: only %s text can be sent" % (value, encoding.upper())) from None
        if longest is not None and len(raw) > longest:
            raise argparse.ArgumentTypeError("%r has %d bytes, more than %d" % (value, len(raw), longest))
        return value
    return convert


def link_address(text):
    """HOST[:PORT]"""
    _, colon, port = text.partition(":")
    if colon and port:
        try:
            ip_port(port)
        except argparse.ArgumentTypeError:
            raise argparse.ArgumentTypeError("%r: the port is a number 1..65535" % text) from None
    return text


def seconds(text):
    try:
        value = float(text)
    except ValueError:
        value = 0
    if not value > 0 or value == float("inf"):
        raise argparse.ArgumentTypeError("%r is not a time in seconds above 0" % text)
    return value


def baud(text):
    import termios
    value = integer(1, 10000000)(text)
    if not hasattr(termios, "B%d" % value):
        raise argparse.ArgumentTypeError("%s is not a speed the serial port takes" % text)
    return value


def ipv4(text):
    parts = text.split(".")
    if len(parts) != 4 or not all(re.fullmatch("[0-9]{1,3}", p) and int(p) <= 255 for p in parts):
        raise argparse.ArgumentTypeError("%r is not an address a.b.c.d (each 0..255)" % text)
    return text


def mac(text):
    try:
        parse_mac(text)
    except ValueError as e:
        raise argparse.ArgumentTypeError(str(e)) from None
    return text


def file_type(text):
    if text in FILE_TYPES:
        return FILE_TYPES[text]
    raise argparse.ArgumentTypeError("%r is no file type: %s" % (text, ", ".join(FILE_TYPES)))


def target(text):
    if text.lower() in TARGETS:
        return TARGETS[text.lower()]
    try:
        return byte(text)
    except argparse.ArgumentTypeError:
        raise argparse.ArgumentTypeError("%r is no target: %s" % (text, TARGET_HELP)) from None


def language(text):
    if text.lower() in LANGUAGES:
        return LANGUAGES[text.lower()]
    try:
        return byte(text)
    except argparse.ArgumentTypeError:
        raise argparse.ArgumentTypeError("%r is no language: %s or a number 0..255"
                                         % (text, ", ".join(LANGUAGES))) from None


def hexbytes(text):
    try:
        return bytes.fromhex(text.replace(":", "").replace(" ", ""))
    except ValueError:
        raise argparse.ArgumentTypeError("%r is not bytes in hexadecimal (e.g. 0a1b or 0a:1b)" % text) from None


def read_local(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError as e:
        raise BadArgument("%s: cannot be read: %s" % (path, e.strerror or e)) from None


def check_writable(path):
    """Before anything is asked: an answer must not be lost for its file."""
    if os.path.isdir(path):
        raise BadArgument("%s: is a directory" % path)
    directory = os.path.dirname(path) or "."
    if not os.path.isdir(directory) or not os.access(directory, os.W_OK) or \
            (os.path.exists(path) and not os.access(path, os.W_OK)):
        raise BadArgument("%s: cannot be written" % path)


def write_local(path, data):
    try:
        with open(path, "wb") as f:
            f.write(data)
    except OSError as e:
        raise BadArgument("%s: cannot be written: %s" % (path, e.strerror or e)) from None


def show(data):
    return data.hex(" ") if data else "(none)"


# ---- command line ----

def build_parser():
    p = Parser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter,
               epilog="COMMAND --help describes a command's arguments.")
    link = p.add_mutually_exclusive_group(required=True)
    link.add_argument("--tcp", metavar="HOST[:PORT]", type=link_address, help="TCP, port 5005 unless given")
    link.add_argument("--udp", metavar="HOST[:PORT]", type=link_address, help="UDP, port 10005 unless given")
    link.add_argument("--serial", metavar="DEVICE", help="serial device, 115200 8N1")
    link.add_argument("--wifi", metavar="HOST[:PORT]", type=link_address,
                      help="the WiFi commands (at), UDP port 13769 unless given")
    p.add_argument("--baud", type=baud, default=115200, help="speed of --serial (115200)")
    p.add_argument("--timeout", type=seconds, default=3.0, help="seconds to wait for an answer (3)")
    p.add_argument("--dest", type=u16, default=CONTROLLER, help="destination address (0xF100)")
    sub = p.add_subparsers(dest="command", required=True, metavar="COMMAND")

    def arg(parser, name, kind, what, **options):
        parser.add_argument(name, type=kind, metavar=name.upper(), help=what, **options)

    def target_option(parser):
        parser.add_argument("--target", type=target, default=0, help=TARGET_HELP)

    def ram_options(parser):
        parser.add_argument("--class", dest="address_class", metavar="C", type=byte, default=0,
                            help="address class (0..255, 0 unless given)")
        parser.add_argument("--sub", metavar="S", type=byte, default=0, help="sub-id (0..255, 0 unless given)")
        target_option(parser)

    def local_file(parser, what):
        parser.add_argument("file", metavar="LOCALFILE", help=what)

    c = sub.add_parser("read-ram", help="read RAM: ADDRESS LENGTH")
    arg(c, "address", ram_address, "first byte (0..0xFFFFFF; the target is --target)")
    arg(c, "length", u16, "bytes to read (0..65535)")
    ram_options(c)
    c = sub.add_parser("write-ram", help="write RAM: ADDRESS HEXBYTES")
    arg(c, "address", ram_address, "first byte (0..0xFFFFFF; the target is --target)")
    arg(c, "data", hexbytes, "the bytes in hexadecimal, e.g. 0100 or 01:00")
    ram_options(c)
    c = sub.add_parser("read-reg", help="read registers: FIRST [COUNT]")
    arg(c, "first", u16, "first register (0..65535)")
    arg(c, "count", byte, "registers to read (0..255, 1 unless given)", nargs="?", default=1)
    target_option(c)
    c = sub.add_parser("write-reg", help="write a register: REGISTER VALUE")
    arg(c, "register", u16, "the register (0..65535)")
    arg(c, "value", byte, "its new value (0..255)")
    c.add_argument("--mask", type=byte, default=0xFF, help="bits of the value written (0xFF)")
    target_option(c)
    sub.add_parser("device-info", help="the device id")
    sub.add_parser("card-version", help="versions of the controller and the FPGAs, and the loader's application")

    c = sub.add_parser("param-save", help="save an FPGA's parameter RAM to its flash: TARGET")
    arg(c, "target", target, "fpga0 or 1, fpga1 or 2")
    sub.add_parser("led-size", help="set the LED screen size from the FPGAs' port layout")
    sub.add_parser("led-handshake", help="start the LED-parameter handshake (REG_mcu_flag)")
    sub.add_parser("led-update", help="start the LED-parameter handshake (RegUpdate10)")
    sub.add_parser("font-update", help="load the fonts from the scaler's flash; prints the font bits")
    c = sub.add_parser("erase-flash", help="erase the scaler's flash: UNIT COUNT (UNIT in 4 KB)")
    arg(c, "unit", number, "first 4 KB unit (0..0xFFFFFFFF)")
    arg(c, "count", u16, "blocks to erase (0..65535)")
    c.add_argument("--mode", type=byte, default=0, help="0 4 KB (default), 1 32 KB, 2 64 KB blocks")
    c = sub.add_parser("write-flash", help="write the scaler's (erased) flash: ADDRESS LOCALFILE")
    arg(c, "address", number, "first byte (0..0xFFFFFFFF)")
    local_file(c, "the bytes to write")
    c = sub.add_parser("read-flash", help="read the scaler's flash: ADDRESS LENGTH [--out LOCALFILE]")
    arg(c, "address", number, "first byte (0..0xFFFFFFFF)")
    arg(c, "length", number, "bytes to read")
    c.add_argument("--out", metavar="LOCALFILE", help="write the bytes to this file instead of printing them")

    types = ", ".join(FILE_TYPES)
    c = sub.add_parser("send-file", help="send a file: TYPE LOCALFILE (" + types + ")")
    arg(c, "type", file_type, "the file's type: " + types)
    local_file(c, "the file to send")
    c.add_argument("--name", type=text("utf-8"), help="the file's name on the controller (scan and EDID files)")
    c.add_argument("--block", type=positive, default=16384, help="bytes per block (16384; the controller may take less)")
    c.add_argument("--stop-after", type=number, metavar="BLOCKS", help="stop after this many blocks (test aid)")
    c.add_argument("--wrong-digest", action="store_true", help="end with a wrong MD5 digest (test aid)")
    c = sub.add_parser("fetch-file", help="fetch a file: TYPE LOCALFILE")
    arg(c, "type", file_type, "the file's type: " + types)
    local_file(c, "where to write it")
    c.add_argument("--name", type=text("utf-8"), help="the file's name on the controller (scan and EDID files)")
    c.add_argument("--length", type=number, default=0, help="at most this many bytes (raw flash)")
    c.add_argument("--block", type=block_size, default=16384, help="bytes per block (1..65535, 16384)")
    c = sub.add_parser("delete-file", help="delete files: TYPE [--name NAME]; no name: all of the type")
    arg(c, "type", file_type, "the files' type: " + types)
    c.add_argument("--name", type=text("utf-8"), default="", help="the one file to delete")
    c = sub.add_parser("send-cloud-file", help="send a cloud settings file: barcode|setinfo|cafile LOCALFILE")
    c.add_argument("kind", choices=sorted(CLOUD_FILES), metavar="KIND", help="barcode, setinfo or cafile")
    local_file(c, "the file to send")
    c.add_argument("--wrong-digest", action="store_true", help="end with a wrong MD5 digest (test aid)")
    c = sub.add_parser("edid-table", help="give an input an EDID table: INPUT WIDTH HEIGHT RATE LOCALFILE")
    arg(c, "input", byte, "the input (0..3)")
    arg(c, "width", u16, "pixels")
    arg(c, "height", u16, "lines")
    arg(c, "rate", u16, "frames per second")
    local_file(c, "the EDID (128 or 256 bytes)")

    c = sub.add_parser("set-ip", help="IP GATEWAY MASK TCPPORT [--mac MAC]")
    arg(c, "ip", ipv4, "the controller's address a.b.c.d")
    arg(c, "gateway", ipv4, "its gateway a.b.c.d")
    arg(c, "mask", ipv4, "its network mask a.b.c.d")
    arg(c, "port", u16, "its TCP control port")
    c.add_argument("--mac", type=mac, help="only the controller with this MAC address acts (broadcast use)")
    c = sub.add_parser("set-mac", help="store eth0's MAC address: MAC")
    arg(c, "mac", mac, "six hexadecimal bytes, e.g. 00:1a:2b:3c:4d:5e")
    c = sub.add_parser("search", help="the controller's network identity [IP or MAC it must have]")
    arg(c, "text", text("ascii"), "only a controller with this address or MAC address answers", nargs="?", default="")
    c = sub.add_parser("set-barcode", help="BARCODE")
    arg(c, "text", text("ascii"), "the barcode (the controller takes 1..64 printable characters)")
    c = sub.add_parser("set-cloud", help="SERVER PORT USERID NAME (a blank for none)")
    arg(c, "server", text("utf-8"), "the cloud server's address")
    arg(c, "port", u16, "its port")
    arg(c, "user", text("utf-8"), "the user id")
    arg(c, "name", text("utf-8"), "the controller's name")
    c = sub.add_parser("set-lang", help="MASK LANGUAGE: offered languages (bit n) and the panel language")
    arg(c, "mask", number, "offered languages: bit n for language n")
    arg(c, "language", language, "the panel's: zh-cn or 0, en or 1, ru or 2, vi or 3, zh-tw or 4, 255 keep")
    c = sub.add_parser("card-search", help="search the receiving cards of an output port of FPGA 0: PORT (1..10)")
    arg(c, "port", card_port, "the output port (1..10)")
    c = sub.add_parser("cloud-command", help="a cloud JSON command through the 4G group (--serial to the 4G "
                                             "port): JSON")
    c.add_argument("json", type=text("utf-8", None), metavar="JSON", help="the command, e.g. "
                   "'{\"name\":\"getProperty\"}'")
    c = sub.add_parser("read-setup", help="read a cloud set-up file through the 4G group: "
                                          "barcode|setinfo|cafile LOCALFILE")
    c.add_argument("kind", choices=sorted(CLOUD_FILES), metavar="KIND", help="barcode, setinfo or cafile")
    local_file(c, "where to write it")
    c = sub.add_parser("at", help="WiFi commands (--wifi): COMMAND... e.g. AT+CHECKDATA")
    c.add_argument("at_commands", nargs="+", metavar="COMMAND", type=text("ascii", None),
                   help="one command per datagram, e.g. AT+CHECKDATA")
    c = sub.add_parser("raw", help="any controller command: COMMAND [HEXDATA]")
    arg(c, "code", byte, "the command code (0..255)")
    arg(c, "data", hexbytes, "its data bytes in hexadecimal", nargs="?", default=b"")
    return p


def check_sizes(args):
    """What only the arguments together decide; local files are read here,
    before anything is sent."""
    cmd = args.command
    if cmd in ("send-file", "write-flash", "edid-table", "send-cloud-file"):
        args.data = read_local(args.file)
    if cmd in ("fetch-file", "read-setup"):
        check_writable(args.file)
    if cmd == "read-flash" and args.out:
        check_writable(args.out)
    if cmd == "write-ram" and len(args.data) > 0xFFFF:
        raise BadArgument("write-ram: %d bytes, more than 65535" % len(args.data))
    if cmd in ("send-file", "send-cloud-file") and len(args.data) > 0xFFFFFFFF:
        raise BadArgument("%s: %d bytes, more than a transfer holds" % (args.file, len(args.data)))
    if cmd == "write-flash" and args.address + len(args.data) > 1 << 32:
        raise BadArgument("write-flash: %s bytes at 0x%X reach past 0xFFFFFFFF" % (len(args.data), args.address))
    if cmd == "read-flash" and args.address + args.length > 1 << 32:
        raise BadArgument("read-flash: %d bytes at 0x%X reach past 0xFFFFFFFF" % (args.length, args.address))


def run(args, client):
    cmd = args.command
    if cmd == "read-ram":
        print(show(client.read_ram(args.address, args.length, args.address_class, args.sub, args.target)))
    elif cmd == "write-ram":
        client.write_ram(args.address, args.data, args.address_class, args.sub, args.target)
        print("done")
    elif cmd == "read-reg":
        print(show(client.read_register(args.first, args.count, args.target)))
    elif cmd == "write-reg":
        client.write_register(args.register, args.value, args.mask, args.target)
        print("done")
    elif cmd == "device-info":
        print(client.device_info().decode("latin-1"))
    elif cmd == "card-version":
        print(" ".join("%s=%s" % kv for kv in client.card_version().items()))
    elif cmd == "param-save":
        client.param_save(args.target)
        print("done")
    elif cmd == "led-size":
        print("width=%d height=%d" % client.set_para_sync())
    elif cmd in ("led-handshake", "led-update"):
        client.led_handshake("REG_mcu_flag" if cmd == "led-handshake" else "RegUpdate10")
        print("done")
    elif cmd == "font-update":
        print("fonts=0x%02x" % client.font_update())
    elif cmd == "erase-flash":
        client.erase_flash(args.unit, args.count, args.mode)
        print("done")
    elif cmd == "write-flash":
        client.write_flash(args.address, args.data)
        print("written %d bytes" % len(args.data))
    elif cmd == "read-flash":
        data = client.read_flash(args.address, args.length)
        if args.out:
            write_local(args.out, data)
            print("read %d bytes, md5 %s" % (len(data), hashlib.md5(data).hexdigest()))
        else:
            print(show(data))
    elif cmd == "send-file":
        data = args.data
        digest = client.send_file(*args.type, data, args.name, args.block, args.stop_after, args.wrong_digest)
        print("stopped" if digest is None else "stored %d bytes, md5 %s" % (len(data), digest))
    elif cmd == "fetch-file":
        data = client.fetch_file(*args.type, args.name, args.length, args.block)
        write_local(args.file, data)
        print("fetched %d bytes, md5 %s" % (len(data), hashlib.md5(data).hexdigest()))
    elif cmd == "delete-file":
        print("deleted %d" % client.delete_file(*args.type, args.name))
    elif cmd == "send-cloud-file":
        client.send_cloud_file(CLOUD_FILES[args.kind], args.data, wrong_digest=args.wrong_digest)
        print("done")
    elif cmd == "edid-table":
        client.write_edid_table(args.input, args.width, args.height, args.rate, args.data)
        print("done")
    elif cmd == "set-ip":
        client.net_ip_set(args.ip, args.gateway, args.mask, args.port, args.mac)
        print("done")
    elif cmd == "set-mac":
        client.init_mac(args.mac)
        print("done")
    elif cmd == "search":
        found = client.search(args.text)
        print(" ".join("%s=%s" % kv for kv in found.items()))
    elif cmd == "set-barcode":
        client.set_barcode(args.text)
        print("done")
    elif cmd == "set-cloud":
        client.set_cloud(args.server, args.port, args.user, args.name)
        print("done")
    elif cmd == "set-lang":
        client.set_languages(args.mask, args.language)
        print("done")
    elif cmd == "card-search":
        answers = client.card_search(args.port, args.timeout)
        for a in answers:
            print("card 0x%04X: %s" % (struct.unpack("<H", a[2:4])[0], show(a[10:-1])))
        if not answers:
            print("no answer")
            return 2
    elif cmd == "cloud-command":
        print(client.cloud_command(args.json))
    elif cmd == "read-setup":
        data = client.read_setup(CLOUD_FILES[args.kind])
        write_local(args.file, data)
        print("read %d bytes" % len(data))
    elif cmd == "raw":
        reply = client.ask(args.code, args.data)
        print(show(reply))
        return 0 if reply and reply[0] == 0 else 1
    return 0


def run_wifi(args):
    try:
        wifi = WifiClient(args.wifi, args.timeout)
    except OSError as e:
        print("cannot open the link: %s" % e, file=sys.stderr)
        return 2
    refused = False
    try:
        for command in args.at_commands:
            reply = wifi.at(command)
            print(reply)
            refused = refused or reply == "ERR"
    except (LinkError, OSError) as e:
        print(e, file=sys.stderr)
        return 2
    finally:
        wifi.close()
    return 1 if refused else 0


def main(argv=None):
    parser = build_parser()
    args = parser.parse_args(argv)
    if (args.command == "at") != bool(args.wifi):
        parser.error("the WiFi commands (at) go with --wifi, and only they")
    if args.wifi:
        return run_wifi(args)
    try:
        check_sizes(args)
    except BadArgument as e:
        parser.error(e)
    try:
        if args.tcp:
            link = TcpLink(args.tcp)
        elif args.udp:
            link = UdpLink(args.udp)
        else:
            link = SerialLink(args.serial, args.baud)
    except OSError as e:
        print("cannot open the link: %s" % e, file=sys.stderr)
        return 2
    try:
        return run(args, Client(link, args.timeout, args.dest))
    except Refused as e:
        print(e, file=sys.stderr)
        return 1
    except (LinkError, OSError) as e:
        print(e, file=sys.stderr)
        return 2
    except (struct.error, IndexError):
        print("an answer too short for its command", file=sys.stderr)
        return 2
    except BadArgument as e:
        print(e, file=sys.stderr)
        return BAD_ARGUMENTS
    finally:
        link.close()


if __name__ == "__main__":
    sys.exit(main())
