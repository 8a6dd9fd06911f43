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
        tty.setraw(self.fd)
        attrs = termios.tcgetattr(self.fd)
        speed = getattr(termios, "B%d" % baud)
        attrs[4] = attrs[5] = speed
        attrs[2] &= ~(termios.PARENB | termios.CSTOPB)
        termios.tcsetattr(self.fd, termios.TCSANOW, attrs)

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
    if len(parts) != 6:
        raise ValueError("a MAC address has six parts: %s" % text)
    return bytes(int(p, 16) for p in parts)


def number(text):
    return int(text, 0)


def file_type(text):
    if text in FILE_TYPES:
        return FILE_TYPES[text]
    raise argparse.ArgumentTypeError("file types: " + ", ".join(FILE_TYPES))


def target(text):
    if text.lower() in TARGETS:
        return TARGETS[text.lower()]
    return number(text)


def hexbytes(text):
    return bytes.fromhex(text.replace(":", "").replace(" ", ""))


def show(data):
    return data.hex(" ") if data else "(none)"


# ---- command line ----

def build_parser():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    link = p.add_mutually_exclusive_group(required=True)
    link.add_argument("--tcp", metavar="HOST[:PORT]", help="TCP, port 5005 unless given")
    link.add_argument("--udp", metavar="HOST[:PORT]", help="UDP, port 10005 unless given")
    link.add_argument("--serial", metavar="DEVICE", help="serial device, 115200 8N1")
    link.add_argument("--wifi", metavar="HOST[:PORT]", help="the WiFi commands (at), UDP port 13769 unless given")
    p.add_argument("--baud", type=int, default=115200)
    p.add_argument("--timeout", type=float, default=3.0, help="seconds to wait for an answer")
    p.add_argument("--dest", type=number, default=CONTROLLER, help="destination address (0xF100)")
    sub = p.add_subparsers(dest="command", required=True)

    c = sub.add_parser("read-ram", help="read RAM: ADDRESS LENGTH")
    c.add_argument("address", type=number)
    c.add_argument("length", type=number)
    c.add_argument("--class", dest="address_class", type=number, default=0)
    c.add_argument("--sub", type=number, default=0)
    c.add_argument("--target", type=target, default=0, help="0 controller (default), 1 FPGA 0, 2 FPGA 1")
    c = sub.add_parser("write-ram", help="write RAM: ADDRESS HEXBYTES")
    c.add_argument("address", type=number)
    c.add_argument("data", type=hexbytes)
    c.add_argument("--class", dest="address_class", type=number, default=0)
    c.add_argument("--sub", type=number, default=0)
    c.add_argument("--target", type=target, default=0, help="0 controller (default), 1 FPGA 0, 2 FPGA 1")
    c = sub.add_parser("read-reg", help="read registers: FIRST [COUNT]")
    c.add_argument("first", type=number)
    c.add_argument("count", type=number, nargs="?", default=1)
    c.add_argument("--target", type=target, default=0, help="0 controller (default), 1 FPGA 0, 2 FPGA 1")
    c = sub.add_parser("write-reg", help="write a register: REGISTER VALUE")
    c.add_argument("register", type=number)
    c.add_argument("value", type=number)
    c.add_argument("--mask", type=number, default=0xFF)
    c.add_argument("--target", type=target, default=0, help="0 controller (default), 1 FPGA 0, 2 FPGA 1")
    sub.add_parser("device-info", help="the device id")
    sub.add_parser("card-version", help="versions of the controller and the FPGAs, and the loader's application")

    c = sub.add_parser("param-save", help="save an FPGA's parameter RAM to its flash: TARGET (1 FPGA 0, 2 FPGA 1)")
    c.add_argument("target", type=target)
    sub.add_parser("led-size", help="set the LED screen size from the FPGAs' port layout")
    sub.add_parser("led-handshake", help="start the LED-parameter handshake (REG_mcu_flag)")
    sub.add_parser("led-update", help="start the LED-parameter handshake (RegUpdate10)")
    sub.add_parser("font-update", help="load the fonts from the scaler's flash; prints the font bits")
    c = sub.add_parser("erase-flash", help="erase the scaler's flash: UNIT COUNT (UNIT in 4 KB)")
    c.add_argument("unit", type=number)
    c.add_argument("count", type=number)
    c.add_argument("--mode", type=number, default=0, help="0 4 KB (default), 1 32 KB, 2 64 KB blocks")
    c = sub.add_parser("write-flash", help="write the scaler's (erased) flash: ADDRESS LOCALFILE")
    c.add_argument("address", type=number)
    c.add_argument("file")
    c = sub.add_parser("read-flash", help="read the scaler's flash: ADDRESS LENGTH [--out LOCALFILE]")
    c.add_argument("address", type=number)
    c.add_argument("length", type=number)
    c.add_argument("--out", help="write the bytes to this file instead of printing them")

    c = sub.add_parser("send-file", help="send a file: TYPE LOCALFILE (" + ", ".join(FILE_TYPES) + ")")
    c.add_argument("type", type=file_type)
    c.add_argument("file")
    c.add_argument("--name", help="the file's name on the controller (scan and EDID files)")
    c.add_argument("--block", type=int, default=16384)
    c.add_argument("--stop-after", type=int, metavar="BLOCKS", help="stop after this many blocks (test aid)")
    c.add_argument("--wrong-digest", action="store_true", help="end with a wrong MD5 digest (test aid)")
    c = sub.add_parser("fetch-file", help="fetch a file: TYPE LOCALFILE")
    c.add_argument("type", type=file_type)
    c.add_argument("file")
    c.add_argument("--name")
    c.add_argument("--length", type=number, default=0, help="at most this many bytes (raw flash)")
    c.add_argument("--block", type=int, default=16384)
    c = sub.add_parser("delete-file", help="delete files: TYPE [--name NAME]; no name: all of the type")
    c.add_argument("type", type=file_type)
    c.add_argument("--name", default="")
    c = sub.add_parser("send-cloud-file", help="send a cloud settings file: barcode|setinfo|cafile LOCALFILE")
    c.add_argument("kind", choices=sorted(CLOUD_FILES))
    c.add_argument("file")
    c.add_argument("--wrong-digest", action="store_true", help="end with a wrong MD5 digest (test aid)")
    c = sub.add_parser("edid-table", help="give an input an EDID table: INPUT WIDTH HEIGHT RATE FILE")
    for name in ("input", "width", "height", "rate"):
        c.add_argument(name, type=number)
    c.add_argument("file")

    c = sub.add_parser("set-ip", help="IP GATEWAY MASK TCPPORT [--mac MAC]")
    for name in ("ip", "gateway", "mask"):
        c.add_argument(name)
    c.add_argument("port", type=number)
    c.add_argument("--mac", help="only the controller with this MAC address acts (broadcast use)")
    c = sub.add_parser("set-mac", help="store eth0's MAC address: MAC")
    c.add_argument("mac")
    c = sub.add_parser("search", help="the controller's network identity [IP or MAC it must have]")
    c.add_argument("text", nargs="?", default="")
    c = sub.add_parser("set-barcode", help="BARCODE")
    c.add_argument("text")
    c = sub.add_parser("set-cloud", help="SERVER PORT USERID NAME (a blank for none)")
    c.add_argument("server")
    c.add_argument("port", type=number)
    c.add_argument("user")
    c.add_argument("name")
    c = sub.add_parser("set-lang", help="MASK LANGUAGE: offered languages (bit n) and the panel language "
                                        "(0 zh-CN, 1 en, 2 ru, 3 vi, 4 zh-TW, 255 keep)")
    c.add_argument("mask", type=number)
    c.add_argument("language")
    c = sub.add_parser("card-search", help="search the receiving cards of an output port of FPGA 0: PORT (1..10)")
    c.add_argument("port", type=number)
    c = sub.add_parser("cloud-command", help="a cloud JSON command through the 4G group (--serial to the 4G "
                                             "port): JSON")
    c.add_argument("json")
    c = sub.add_parser("read-setup", help="read a cloud set-up file through the 4G group: "
                                          "barcode|setinfo|cafile LOCALFILE")
    c.add_argument("kind", choices=sorted(CLOUD_FILES))
    c.add_argument("file")
    c = sub.add_parser("at", help="WiFi commands (--wifi): COMMAND... e.g. AT+CHECKDATA")
    c.add_argument("at_commands", nargs="+", metavar="COMMAND")
    c = sub.add_parser("raw", help="any controller command: COMMAND [HEXDATA]")
    c.add_argument("code", type=number)
    c.add_argument("data", type=hexbytes, nargs="?", default=b"")
    return p


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
        with open(args.file, "rb") as f:
            data = f.read()
        client.write_flash(args.address, data)
        print("written %d bytes" % len(data))
    elif cmd == "read-flash":
        data = client.read_flash(args.address, args.length)
        if args.out:
            with open(args.out, "wb") as f:
                f.write(data)
            print("read %d bytes, md5 %s" % (len(data), hashlib.md5(data).hexdigest()))
        else:
            print(show(data))
    elif cmd == "send-file":
        with open(args.file, "rb") as f:
            data = f.read()
        digest = client.send_file(*args.type, data, args.name, args.block, args.stop_after, args.wrong_digest)
        print("stopped" if digest is None else "stored %d bytes, md5 %s" % (len(data), digest))
    elif cmd == "fetch-file":
        data = client.fetch_file(*args.type, args.name, args.length, args.block)
        with open(args.file, "wb") as f:
            f.write(data)
        print("fetched %d bytes, md5 %s" % (len(data), hashlib.md5(data).hexdigest()))
    elif cmd == "delete-file":
        print("deleted %d" % client.delete_file(*args.type, args.name))
    elif cmd == "send-cloud-file":
        with open(args.file, "rb") as f:
            client.send_cloud_file(CLOUD_FILES[args.kind], f.read(), wrong_digest=args.wrong_digest)
        print("done")
    elif cmd == "edid-table":
        with open(args.file, "rb") as f:
            client.write_edid_table(args.input, args.width, args.height, args.rate, f.read())
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
        language = LANGUAGES.get(args.language.lower())
        client.set_languages(args.mask, number(args.language) if language is None else language)
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
        with open(args.file, "wb") as f:
            f.write(data)
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
    except UnicodeEncodeError:
        print("only ASCII can be sent", file=sys.stderr)
        return 3
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
        print("the WiFi commands (at) go with --wifi, and only they", file=sys.stderr)
        return 3
    if args.wifi:
        return run_wifi(args)
    try:
        if args.tcp:
            link = TcpLink(args.tcp)
        elif args.udp:
            link = UdpLink(args.udp)
        else:
            link = SerialLink(args.serial, args.baud)
    except (OSError, AttributeError) as e:
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
    except ValueError as e:
        print(e, file=sys.stderr)
        return 3
    finally:
        link.close()


if __name__ == "__main__":
    sys.exit(main())
