#!/usr/bin/env python3
"""Writes the files the controller reads from a USB stick or from the PC:

  package   a firmware-upgrade package (".VYX"): FPGA bitstreams, the
            controller application and an OSD font as children
  recovery  the packed receiving-card recovery file ("TZFX")
  scan      a scan-parameter file (".tzfile"): one block of card operations

Every multi-byte field is little-endian. Child and operation data come from a
file or, with "size:N", from N bytes drawn from --seed, so a run is repeatable.
With --manifest the values written (offsets, counts, data digests) are saved as
JSON, which is what the tests compare the controller's readers with.

Exit status: 0 written, 3 bad arguments (a file named that cannot be read
or written included), with one line saying which.

Examples:
  vyxfiles.py package /mnt/usb1/VYX-Q71/all.VYX --fpga0 size:70000 \\
      --app size:200000 --font size:4096 --font-height 64
  (the controller takes no child over 5 MiB: a debug build of its own
  application is passed over)
  vyxfiles.py recovery TZFX --screens 2 --ports 2,12 --cards 3 \\
      --card-op 1:1:0x100:2500:1000 --card-op 2:3:0:0:2000 --para-op 1:2:0x10:4:500
  vyxfiles.py scan a.tzfile --op 1:2:0x20:4:1000 --op 6:1:0:0:100
"""

import argparse
import hashlib
import json
import random
import struct
import sys

PACKAGE_HEADER_SIZE = 49
CHILD_HEADER_SIZE = 21
BITSTREAM_HEADER_SIZE = 64
CONTROLLER_TYPE = 0x9C52

TYPE_FPGA0, TYPE_FPGA1, TYPE_APP, TYPE_FONT = 7, 8, 10, 13
SCREEN_FILE, XY_FILE, PARA_FILE = 10, 11, 12
SCREEN_HEAD_SIZE, SCREEN_RECORD_SIZE = 32, 52
XY_HEAD_SIZE, PORT_RECORD_SIZE = 16, 12
BLOCK_HEAD_SIZE, OPERATION_SIZE = 4, 18
SCAN_HEAD_SIZE = 16


OPERATIONS = """\
A card operation (--card-op, --para-op, --op) is TYPE:TARGET:ADDR:LEN:MS:
  TYPE    what the cards are told: 1 write, 2 RAM to flash, 3 activate the
          firmware, 4 upgrade the card, 5 reconfigure, 6 sleep, 7 search,
          16 a user-defined frame (any value 0..255 is written)
  TARGET  where a write goes: 1 RAM, 2 registers, 3 flash (0..255)
  ADDR    the address there (0..0xFFFFFFFF)
  LEN     bytes of data the operation carries, drawn from --seed
          (0..0xFFFFFFFF)
  MS      milliseconds the operation may take: the wait for the cards'
          answer, or the length of a sleep (0..0xFFFFFFFF)
Numbers are decimal or 0x.. hexadecimal.
"""
BAD_ARGUMENTS = 3
LAST_PORT = 19
U32 = 0xFFFFFFFF


class BadArgument(Exception):
    """An argument found unusable after parsing: a file, or sizes together."""


class Parser(argparse.ArgumentParser):
    """A bad argument ends the run with one line and exit status 3."""

    def error(self, message):
        print("%s: %s (see --help)" % (self.prog, message), file=sys.stderr)
        sys.exit(BAD_ARGUMENTS)


def _shown(value):
    return "0x%X" % value if value > 0xFFFF else str(value)


def integer(low, high, what=None):
    """A number, decimal or 0x.. hexadecimal, from low to high."""
    def convert(text):
        try:
            value = int(text, 0)
        except ValueError:
            raise argparse.ArgumentTypeError("%s%r is not a number (decimal or 0x.. hexadecimal)"
                                             % (what + " " if what else "", text)) from None
        if not low <= value <= high:
            raise argparse.ArgumentTypeError("%s%s is out of range %s..%s"
                                             % (what + " " if what else "", text, _shown(low), _shown(high)))
        return value
    return convert


number = integer(-(1 << 63), (1 << 63) - 1)
byte = integer(0, 0xFF)
u16 = integer(0, 0xFFFF)
u32 = integer(0, U32)


def number_list(kind, what):
    """Comma-separated numbers."""
    def convert(text):
        return [integer(*kind, what)(p) for p in text.split(",")]
    return convert


def version(text):
    try:
        parts = [byte(p) for p in text.split(",")]
    except argparse.ArgumentTypeError:
        parts = []
    if len(parts) != 6:
        raise argparse.ArgumentTypeError("%r: a version is six numbers 0-255: "
                                         "year,month,day,hardware,software,function" % text)
    return parts


def source(text):
    """A file, or size:N"""
    if text.startswith("size:"):
        integer(0, U32, "size")(text[5:])
    return text


def child(text):
    """TYPE:SRC"""
    kind, colon, spec = text.partition(":")
    if not colon:
        raise argparse.ArgumentTypeError("%r: a child is TYPE:SRC, e.g. 99:size:5" % text)
    return integer(0, 0xFF, "child type")(kind), source(spec)


class Source:
    """Bytes from a file, or "size:N" bytes drawn from the seed."""

    def __init__(self, rng, spec):
        if spec.startswith("size:"):
            n = int(spec[5:], 0)
            self.data = bytes(rng.getrandbits(8) for _ in range(n))
        else:
            try:
                with open(spec, "rb") as f:
                    self.data = f.read()
            except OSError as e:
                raise BadArgument("%s: cannot be read: %s" % (spec, e.strerror or e)) from None


def digest(data):
    return hashlib.sha256(data).hexdigest()


# ---------------------------------------------------------------- packages

def bitstream_child(data, fpga, ver):
    head = bytearray(BITSTREAM_HEADER_SIZE)
    head[16] = 1 if fpga == 0 else 2      # file type
    head[17] = 1                          # file version
    head[18] = 0                          # controller class: sending card
    head[20] = 0
    head[23:27] = bytes([ver[0], ver[1], ver[2], ver[5]])
    struct.pack_into("<I", head, 31, len(data))
    return bytes(head) + data


def font_child(data, encoding, height):
    if len(data) < 35:
        raise BadArgument("a font child needs at least 35 bytes, not %d" % len(data))
    body = bytearray(data)
    body[5] = encoding
    body[18] = height
    return bytes(body)


def cmd_package(args):
    rng = random.Random(args.seed)
    children = []   # (file_type, bytes, version, payload offset in the child, payload length)
    for fpga, spec, ver in ((0, args.fpga0, args.fpga0_version), (1, args.fpga1, args.fpga1_version)):
        if spec:
            data = Source(rng, spec).data
            children.append((TYPE_FPGA0 + fpga, bitstream_child(data, fpga, ver), ver,
                             BITSTREAM_HEADER_SIZE, len(data)))
    if args.app:
        data = Source(rng, args.app).data
        children.append((TYPE_APP, data, args.app_version, 0, len(data)))
    if args.font:
        data = font_child(Source(rng, args.font).data, args.font_encoding, args.font_height)
        children.append((TYPE_FONT, data, args.font_version, 0, len(data)))
    for kind, spec in args.child:
        data = Source(rng, spec).data
        children.append((kind, data, [0] * 6, 0, len(data)))

    header = bytearray(PACKAGE_HEADER_SIZE)
    header[0] = args.file_type
    header[1] = args.file_version
    header[2] = args.publish_type
    struct.pack_into("<H", header, 18, args.controller_type)
    struct.pack_into("<H", header, 47, len(children))

    out = bytearray(header)
    offset = PACKAGE_HEADER_SIZE + CHILD_HEADER_SIZE * len(children)
    manifest_children = []
    for kind, data, ver, pay_off, pay_len in children:
        child = bytearray(CHILD_HEADER_SIZE)
        child[0] = kind
        struct.pack_into("<II", child, 1, len(data), offset)
        child[9:15] = bytes(ver)
        out += child
        manifest_children.append({
            "file_type": kind, "file_len": len(data), "file_offset": offset, "version": ver,
            "data_offset": offset + pay_off, "data_len": pay_len,
            "data_sha256": digest(data[pay_off:pay_off + pay_len]),
        })
        offset += len(data)
    for _, data, _, _, _ in children:
        out += data

    write(args.out, out)
    return {
        "FileType": args.file_type, "FileVersion": args.file_version, "PublishType": args.publish_type,
        "ControllerType": args.controller_type, "FileNum": len(children), "size": len(out),
        "children": manifest_children,
    }


# ---------------------------------------------------------------- operations

OPERATION_FIELDS = (("TYPE", 0xFF), ("TARGET", 0xFF), ("ADDR", U32), ("LEN", U32), ("MS", U32))


def operation(text):
    """TYPE:TARGET:ADDR:LEN:MS"""
    parts = text.split(":")
    if len(parts) != 5:
        raise argparse.ArgumentTypeError("%r: an operation is TYPE:TARGET:ADDR:LEN:MS" % text)
    try:
        kind, target, addr, length, ms = (integer(0, high, name)(p) for p, (name, high) in zip(parts, OPERATION_FIELDS))
    except argparse.ArgumentTypeError as e:
        raise argparse.ArgumentTypeError("operation %r: %s" % (text, e)) from None
    return {"type": kind, "target": target, "targetAddr": addr, "dataLen": length, "timeticks": ms}


def operation_block(rng, ops, data_base, data_pos):
    """One operation block and its data. data_base is where the records'
    offsets count from, data_pos where this block's data starts (both
    relative to the same origin as the returned offsets). Returns the block,
    the data and the records as written."""
    block = bytearray(struct.pack("<HH", len(ops), 0))
    data = bytearray()
    records = []
    for op in ops:
        payload = bytes(rng.getrandbits(8) for _ in range(op["dataLen"]))
        rec = dict(op)
        rec["offset"] = data_pos + len(data) - data_base
        block += struct.pack("<IIIIBB", rec["offset"], op["dataLen"], op["targetAddr"], op["timeticks"],
                             op["type"], op["target"])
        rec["data_sha256"] = digest(payload)
        rec["data_hex"] = payload.hex() if len(payload) <= 64 else None
        data += payload
        records.append(rec)
    return bytes(block), bytes(data), records


def block_size(ops):
    return BLOCK_HEAD_SIZE + OPERATION_SIZE * len(ops)


# ---------------------------------------------------------------- recovery

def cmd_recovery(args):
    rng = random.Random(args.seed)
    ports = args.ports
    cards = args.cards
    if len(cards) == 1:
        cards = cards * len(ports)
    if len(cards) != len(ports):
        raise BadArgument("--cards gives one count, or one per port: %d counts for %d ports" % (len(cards), len(ports)))
    if len(ports) > 0xFFFF:
        raise BadArgument("a screen has at most 65535 ports")
    card_ops = args.card_op or [operation("1:1:0:16:1000")]
    para_ops = args.para_op

    # rcv xy file: the 16-byte head, then the XY part of every screen.
    xy = bytearray(XY_HEAD_SIZE)
    screens = []
    for s in range(args.screens):
        part_start = len(xy)                       # rcv_xy_offset, from the xy file's start
        head = struct.pack("<HH", len(ports), 0)
        records = []
        body = bytearray()                         # card blocks and data of every port
        pos = BLOCK_HEAD_SIZE + PORT_RECORD_SIZE * len(ports)   # from P
        port_manifest = []
        for ledx, count in zip(ports, cards):
            k = pos                                # net_para_offset: the port's first card block
            data_pos = k + block_size(card_ops) * count
            blocks = bytearray()
            data = bytearray()
            card_manifest = []
            for _ in range(count):
                blk, payload, recs = operation_block(rng, card_ops, k, data_pos + len(data))
                blocks += blk
                data += payload
                card_manifest.append({"operations": recs})
            port_bytes = bytes(blocks + data)
            records.append(struct.pack("<HHII", ledx, count, k, len(port_bytes)))
            port_manifest.append({"net_ledx": ledx, "net_rcv_num": count, "net_para_offset": k,
                                  "net_para_len": len(port_bytes), "cards": card_manifest})
            body += port_bytes
            pos += len(port_bytes)
        part = head + b"".join(records) + bytes(body)
        xy += part
        screens.append({"config_id": (args.config_id + s) & U32, "net_use": len(ports),
                        "rcv_xy_offset": part_start, "rcv_xy_len": len(part), "ports": port_manifest})

    # rcv para file: one operation block per screen, each followed by its data.
    para = bytearray()
    for s in range(args.screens):
        if not para_ops:
            screens[s].update({"rcv_para_offset": 0, "rcv_para_len": 0, "para_operations": []})
            continue
        start = len(para)
        blk, payload, recs = operation_block(rng, para_ops, 0, block_size(para_ops))
        para += blk + payload
        screens[s].update({"rcv_para_offset": start, "rcv_para_len": len(blk) + len(payload),
                           "para_operations": recs})

    # screen file
    screen = bytearray(SCREEN_HEAD_SIZE)
    screen[2] = args.screen_type
    struct.pack_into("<IIII", screen, 4, len(para), 0, len(xy), 0)
    screen[20] = args.screens
    for sc in screens:
        rec = bytearray(SCREEN_RECORD_SIZE)
        struct.pack_into("<II", rec, 0, sc["config_id"], sc["net_use"])
        struct.pack_into("<IIII", rec, 36, sc["rcv_para_offset"], sc["rcv_para_len"],
                         sc["rcv_xy_offset"], sc["rcv_xy_len"])
        screen += rec

    members = [(SCREEN_FILE, bytes(screen)), (XY_FILE, bytes(xy))]
    if para_ops:
        members.append((PARA_FILE, bytes(para)))
    table_end = 4 + 12 * len(members)
    out = bytearray(b"\0\0\0" + bytes([len(members)]))
    pos = table_end
    entries = []
    for kind, data in members:
        out += struct.pack("<B3xII", kind, len(data), pos)
        entries.append({"file_type": kind, "length": len(data), "offset": pos})
        pos += len(data)
    for _, data in members:
        out += data

    write(args.out, out)
    return {"packed_file_num": len(members), "entries": entries, "screen_num": args.screens,
            "screen_type": args.screen_type, "size": len(out), "screens": screens}


# ---------------------------------------------------------------- scan file

def cmd_scan(args):
    rng = random.Random(args.seed)
    ops = args.op or [operation("1:2:0:4:1000")]
    blk, payload, recs = operation_block(rng, ops, 0, block_size(ops))
    out = bytes(SCAN_HEAD_SIZE) + blk + payload
    write(args.out, out)
    return {"rcv_operate_times": len(ops), "size": len(out), "operations": recs}


def write(path, data):
    try:
        with open(path, "wb" if isinstance(data, (bytes, bytearray)) else "w") as f:
            f.write(data)
    except OSError as e:
        raise BadArgument("%s: cannot be written: %s" % (path, e.strerror or e)) from None


def main(argv=None):
    parser = Parser(description=__doc__ + "\n" + OPERATIONS, formatter_class=argparse.RawDescriptionHelpFormatter,
                    epilog="COMMAND --help describes a command's arguments.")
    sub = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")

    def common(p):
        p.add_argument("out", metavar="OUT", help="file to write")
        p.add_argument("--seed", type=number, default=1, help="seed of the generated data bytes (1)")
        p.add_argument("--manifest", metavar="FILE", help="also write the values written as JSON to this file")

    op_help = "TYPE:TARGET:ADDR:LEN:MS (below); repeat for several"
    with_operations = {"epilog": OPERATIONS, "formatter_class": argparse.RawDescriptionHelpFormatter}
    p = sub.add_parser("package", help="firmware-upgrade package")
    common(p)
    p.add_argument("--controller-type", type=u16, default=CONTROLLER_TYPE, help="0x%X unless given" % CONTROLLER_TYPE)
    p.add_argument("--publish-type", type=byte, default=0, help="128: equal versions are skipped")
    p.add_argument("--file-type", type=byte, default=1)
    p.add_argument("--file-version", type=byte, default=1)
    p.add_argument("--fpga0", type=source, metavar="SRC", help="FPGA 0 bitstream: a file or size:N")
    p.add_argument("--fpga1", type=source, metavar="SRC", help="FPGA 1 bitstream: a file or size:N")
    p.add_argument("--app", type=source, metavar="SRC", help="controller application: a file or size:N")
    p.add_argument("--font", type=source, metavar="SRC", help="OSD font: a file or size:N (at least 35 bytes)")
    p.add_argument("--font-encoding", type=byte, default=0)
    p.add_argument("--font-height", type=byte, default=32)
    zero = [0] * 6
    for name in ("fpga0", "fpga1", "app", "font"):
        p.add_argument("--%s-version" % name, type=version, default=zero, metavar="Y,M,D,HW,SW,FN",
                       help="year,month,day,hardware,software,function (each 0..255)")
    p.add_argument("--child", type=child, action="append", default=[], metavar="TYPE:SRC",
                   help="a further child of any type (0..255)")

    p = sub.add_parser("recovery", help="packed receiving-card recovery file", **with_operations)
    common(p)
    p.add_argument("--screens", type=byte, default=1, help="screens (0..255, 1 unless given)")
    p.add_argument("--screen-type", type=byte, default=0)
    p.add_argument("--ports", type=number_list((0, LAST_PORT), "output port"), default=[0],
                   help="output ports 0-%d of every screen, comma-separated (0 unless given)" % LAST_PORT)
    p.add_argument("--cards", type=number_list((0, 0xFFFF), "card count"), default=[2],
                   help="cards per port: one count or one per port, comma-separated (2 unless given)")
    p.add_argument("--config-id", type=u32, default=0x12345678, help="screen i gets this + i")
    p.add_argument("--card-op", type=operation, action="append", metavar="TYPE:TARGET:ADDR:LEN:MS",
                   help="operation of every card: " + op_help)
    p.add_argument("--para-op", type=operation, action="append", metavar="TYPE:TARGET:ADDR:LEN:MS",
                   help="operation of every screen's parameter block: " + op_help)

    p = sub.add_parser("scan", help="scan-parameter file", **with_operations)
    common(p)
    p.add_argument("--op", type=operation, action="append", metavar="TYPE:TARGET:ADDR:LEN:MS", help=op_help)

    args = parser.parse_args(argv)
    try:
        manifest = {"package": cmd_package, "recovery": cmd_recovery, "scan": cmd_scan}[args.command](args)
        if args.manifest:
            write(args.manifest, json.dumps(manifest, indent=1))
    except BadArgument as e:
        parser.error(e)
    except struct.error:
        parser.error("a count, size or offset does not fit its field (offsets have 32 bits)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
