#!/usr/bin/env python3
"""Sends WiFi "AT" commands to a controller (UDP port 13769) and prints
each reply. docs/cloud-4g-wifi.md lists the commands.

    tools/wifi-at.py AT+CHECKDATA
    tools/wifi-at.py --host 192.168.0.199 "AT+SETDATA=1,Stage left,show-2024" AT+RST
"""
import argparse
import socket
import sys


def ask(sock, command, timeout):
    sock.send(command.encode("ascii"))
    sock.settimeout(timeout)
    return sock.recv(1024).decode("ascii", "replace").rstrip("\r\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1", help="controller address (default: the simulation)")
    parser.add_argument("--port", type=int, default=13769)
    parser.add_argument("--timeout", type=float, default=2.0, help="seconds to wait for each reply")
    parser.add_argument("commands", nargs="+", metavar="COMMAND")
    args = parser.parse_args()

    failed = False
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        # Connected: only the controller's replies are received.
        sock.connect((args.host, args.port))
        for command in args.commands:
            try:
                command.encode("ascii")
            except UnicodeEncodeError:
                print(f"{command}: only ASCII can be sent", file=sys.stderr)
                failed = True
                continue
            try:
                reply = ask(sock, command, args.timeout)
            except (socket.timeout, ConnectionRefusedError):
                print(f"{command}: no reply", file=sys.stderr)
                failed = True
                continue
            print(reply)
            failed = failed or reply == "ERR"
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
