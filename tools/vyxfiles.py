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

Examples:
  vyxfiles.py package /mnt/usb1/VYX-Q71/all.VYX --fpga0 size:70000 \\
      --app build/vyxQ58N --font size:4096 --font-height 64
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


def number(text):
    return int(text, 0)


def version(text):
    parts = [number(p) for p in text.split(",")]
    if len(parts) != 6 or any(p < 0 or p > 255 for p in parts):
        raise argparse.ArgumentTypeError("a version is six numbers 0-255: year,month,day,hardware,software,function")
    return parts


class Source:
    """Bytes from a file, or "size:N" bytes drawn from the seed."""

    def __init__(self, rng, spec):
        if spec.startswith("size:"):
            n = number(spec[5:])
            self.data = bytes(rng.getrandbits(8) for _ in range(n))
        else:
            with open(spec, "rb") as f:
                self.data = f.read()


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
        sys.exit("vyxfiles: a font child needs at least 35 bytes")
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
    for extra in args.child:
        kind, spec = extra.split(":", 1)
        data = Source(rng, spec).data
        children.append((number(kind), data, [0] * 6, 0, len(data)))

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

    with open(args.out, "wb") as f:
        f.write(out)
    return {
        "FileType": args.file_type, "FileVersion": args.file_version, "PublishType": args.publish_type,
        "ControllerType": args.controller_type, "FileNum": len(children), "size": len(out),
        "children": manifest_children,
    }


# ---------------------------------------------------------------- operations

def operation(text):
    """TYPE:TARGET:ADDR:LEN:MS"""
    parts = text.split(":")
    if len(parts) != 5:
        raise argparse.ArgumentTypeError("an operation is TYPE:TARGET:ADDR:LEN:MS")
    kind, target, addr, length, ms = (number(p) for p in parts)
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
    if not 0 <= args.screens <= 255:
        sys.exit("vyxfiles: a recovery file holds 0 to 255 screens")
    ports = [number(p) for p in args.ports.split(",")]
    cards = [number(c) for c in args.cards.split(",")]
    if len(cards) == 1:
        cards = cards * len(ports)
    if len(cards) != len(ports):
        sys.exit("vyxfiles: --cards gives one count, or one per port")
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
        screens.append({"config_id": (args.config_id + s) & 0xFFFFFFFF, "net_use": len(ports),
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

    with open(args.out, "wb") as f:
        f.write(out)
    return {"packed_file_num": len(members), "entries": entries, "screen_num": args.screens,
            "screen_type": args.screen_type, "size": len(out), "screens": screens}


# ---------------------------------------------------------------- scan file

def cmd_scan(args):
    rng = random.Random(args.seed)
    ops = args.op or [operation("1:2:0:4:1000")]
    blk, payload, recs = operation_block(rng, ops, 0, block_size(ops))
    out = bytes(SCAN_HEAD_SIZE) + blk + payload
    with open(args.out, "wb") as f:
        f.write(out)
    return {"rcv_operate_times": len(ops), "size": len(out), "operations": recs}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)

    def common(p):
        p.add_argument("out", help="file to write")
        p.add_argument("--seed", type=number, default=1, help="seed of the generated data bytes")
        p.add_argument("--manifest", help="also write the values written as JSON to this file")

    p = sub.add_parser("package", help="firmware-upgrade package")
    common(p)
    p.add_argument("--controller-type", type=number, default=CONTROLLER_TYPE)
    p.add_argument("--publish-type", type=number, default=0, help="128: equal versions are skipped")
    p.add_argument("--file-type", type=number, default=1)
    p.add_argument("--file-version", type=number, default=1)
    p.add_argument("--fpga0", help="FPGA 0 bitstream: a file or size:N")
    p.add_argument("--fpga1", help="FPGA 1 bitstream: a file or size:N")
    p.add_argument("--app", help="controller application: a file or size:N")
    p.add_argument("--font", help="OSD font: a file or size:N (at least 35 bytes)")
    p.add_argument("--font-encoding", type=number, default=0)
    p.add_argument("--font-height", type=number, default=32)
    zero = [0] * 6
    for name in ("fpga0", "fpga1", "app", "font"):
        p.add_argument("--%s-version" % name, type=version, default=zero,
                       help="year,month,day,hardware,software,function")
    p.add_argument("--child", action="append", default=[], metavar="TYPE:SRC",
                   help="a further child of any type")

    p = sub.add_parser("recovery", help="packed receiving-card recovery file")
    common(p)
    p.add_argument("--screens", type=number, default=1)
    p.add_argument("--screen-type", type=number, default=0)
    p.add_argument("--ports", default="0", help="output ports 0-19 of every screen, comma-separated")
    p.add_argument("--cards", default="2", help="cards per port: one count or one per port")
    p.add_argument("--config-id", type=number, default=0x12345678, help="screen i gets this + i")
    p.add_argument("--card-op", type=operation, action="append", metavar="TYPE:TARGET:ADDR:LEN:MS",
                   help="operation of every card (repeat for several)")
    p.add_argument("--para-op", type=operation, action="append", metavar="TYPE:TARGET:ADDR:LEN:MS",
                   help="operation of every screen's parameter block")

    p = sub.add_parser("scan", help="scan-parameter file")
    common(p)
    p.add_argument("--op", type=operation, action="append", metavar="TYPE:TARGET:ADDR:LEN:MS")

    args = parser.parse_args()
    manifest = {"package": cmd_package, "recovery": cmd_recovery, "scan": cmd_scan}[args.command](args)
    if args.manifest:
        with open(args.manifest, "w") as f:
            json.dump(manifest, f, indent=1)


if __name__ == "__main__":
    main()
