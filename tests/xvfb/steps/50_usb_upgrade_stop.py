"""A long USB upgrade stopped with kill: a package of many children on the
simulated stick, the communication menu's USB UPDATE and OK start it, and
SIGTERM while the worker walks the children ends the controller within a
few seconds with exit code 0, as Ctrl+C and kill do at any other time."""

import os
import signal
import subprocess
import sys
import time

from panelwalk import WalkFailure

# The device's own pauses: 100 ms before each child makes this upgrade last
# half a minute.
PAUSE_SCALE = "1"
CHILDREN = 300
STOP_SECONDS = 5
VYXFILES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools", "vyxfiles.py")


def log_text(panel):
    with open(panel.log_path, "rb") as f:
        return f.read().decode("utf-8", "replace")


def step_package_on_the_stick(panel):
    stick = os.path.join(panel.root, "mnt", "usb1", "VYX-Q71")
    os.makedirs(stick, exist_ok=True)
    children = []
    for _ in range(CHILDREN):
        children += ["--child", "3:size:16"]  # for another kind of card: passed over
    subprocess.run([sys.executable, VYXFILES, "package", os.path.join(stick, "long.VYX")] + children, check=True,
                   stdout=subprocess.DEVNULL)


def step_start_the_upgrade(panel):
    panel.open_communication_menu()
    panel.key("Right", "Right")  # USB UPDATE
    panel.key("Return")
    panel.key("Return")  # OK: the worker takes the package
    until = time.monotonic() + 10
    while "USB upgrade: 1 packages in /mnt/usb1/VYX-Q71" not in log_text(panel):
        if time.monotonic() > until:
            raise WalkFailure("the upgrade did not start")
        time.sleep(0.1)
    panel.settle(1.0)  # well into its children


def step_kill_ends_it(panel):
    panel.proc.send_signal(signal.SIGTERM)
    try:
        code = panel.proc.wait(STOP_SECONDS)
    except subprocess.TimeoutExpired:
        raise WalkFailure("the controller did not stop within %d s of SIGTERM during the upgrade" % STOP_SECONDS)
    if code != 0:
        raise WalkFailure("the controller stopped with code %d" % code)
    if "USB upgrade: stopped before its end" not in log_text(panel):
        raise WalkFailure("the upgrade had ended before the stop")
