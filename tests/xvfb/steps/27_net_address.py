"""The Ethernet address set with the PC keyboard: from the main window to
the communication menu's address screen, a new gateway typed on the number
keyboard, Apply, and the address commands in the simulation's shell log."""

import os
import time

from panelwalk import WalkFailure


def shell_log(panel):
    try:
        with open(os.path.join(panel.root, "sim", "shell.log"), encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def expect_command(panel, command, after=0, seconds=5):
    """Waits for `command` among the shell log's lines from line `after` on."""
    until = time.monotonic() + seconds
    while command not in shell_log(panel)[after:]:
        if time.monotonic() > until:
            raise WalkFailure("no %r in the shell log" % command)
        time.sleep(0.1)


def step_open_address_screen(panel):
    panel.open_communication_menu()
    panel.key("Right")  # Net connect
    panel.key("Return")


def step_type_a_gateway(panel):
    panel.key(*["Right"] * 11)  # the gateway's last part
    panel.key("Return")         # the number keyboard, on "1"
    panel.key("BackSpace", "2", "5", "4")
    panel.key("Left", "Return")  # round its keys to OK
    if "route add -host 192.168.0.254 dev eth0" in shell_log(panel):
        raise WalkFailure("applied before Apply")


def step_apply(panel):
    before = len(shell_log(panel))
    panel.key("Right", "Return")
    expect_command(panel, "sync", before)
    expect_command(panel, "ifconfig eth0 192.168.0.199 netmask 255.255.255.0 up", before)
    expect_command(panel, "route add -host 192.168.0.254 dev eth0", before)
