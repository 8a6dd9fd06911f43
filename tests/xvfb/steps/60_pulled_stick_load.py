"""A scan file loaded from the simulated stick onto output LED2 with the
keys, and the stick pulled with its file 2.7 s into the load: the load
gives up on the file about 3 s later, says so in one line, and the panel
shows its failure notice for its own time, not the rest of the stick's. While the worker asked for the file on every turn
the output named it missing once, and no notice asked Qt for a second modal
run."""

import os
import subprocess
import sys
import time

from panelwalk import WalkFailure

PAUSE_SCALE = "1"
VYXFILES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "tools", "vyxfiles.py")
MISSING = "rcvRecovery: /mnt/usb1/stick.tzfile: no such file"
FAILED = "receiving-card scan-file load failed: /mnt/usb1/stick.tzfile: no such file"
NOTICE_GREY = (136, 138, 133)


def log_text(panel):
    with open(panel.log_path, "rb") as f:
        return f.read().decode("utf-8", "replace")


def wait_for_line(panel, text, seconds, what):
    until = time.monotonic() + seconds
    while text not in log_text(panel):
        if time.monotonic() > until:
            raise WalkFailure("%s: \"%s\" not printed" % (what, text))
        panel.settle(0.1)


def stick(panel, word):
    with open(os.path.join(panel.root, "sim", "usb"), "w") as f:
        f.write(word + "\n")


def step_scan_file_on_the_plugged_stick(panel):
    folder = os.path.join(panel.root, "mnt", "usb1")
    os.makedirs(folder, exist_ok=True)
    subprocess.run([sys.executable, VYXFILES, "scan", os.path.join(folder, "stick.tzfile"), "--op",
                    "1:1:0x100:100000:1000"], check=True, stdout=subprocess.DEVNULL)
    stick(panel, "in")
    # The watcher listens from 10 s after start; the storage settles 3 s later.
    wait_for_line(panel, "usb have mound ok", 30, "the stick")
    panel.settle(4)  # the reading notice's time


def step_load_it_on_led2(panel):
    panel.key("Return")                             # standby to the main window
    panel.key("Right", "Right", "Right", "Return")  # the settings menu
    panel.key("Left", "Left", "Return")             # smart setup
    panel.key("Right", "Return")                    # Load scan: the port page
    panel.key("Return", "Right", "Return")          # into LED1-8, on to LED2, taken
    panel.key("Right", "Right", "Return")           # Next: the stick's file, the only one
    panel.key("Return", "Return")                   # the file, Load


def step_pull_the_stick_under_the_load(panel):
    time.sleep(2.7)
    if "receiving-card" in log_text(panel):
        raise WalkFailure("the load was over before the stick was pulled")
    os.rename(os.path.join(panel.root, "mnt", "usb1", "stick.tzfile"), os.path.join(panel.root, "stick.tzfile"))
    stick(panel, "out")
    wait_for_line(panel, FAILED, 15, "the load")
    failed_at = time.monotonic()
    box = [((60, 70), NOTICE_GREY), ((260, 170), NOTICE_GREY)]
    panel.expect_seen("the failure notice", box)
    # The stick's notice, up since the pull, ends about 0.25 s after the
    # failure; the failure's own notice is up for its own 3 s beyond that.
    time.sleep(max(0.0, failed_at + 1.0 - time.monotonic()))
    panel.expect_kept("the failure notice, for its own time", box, 1.5)


def step_the_missing_file_was_named_once(panel):
    panel.settle(4)  # the notice's time
    text = log_text(panel)
    if text.count(MISSING) != 1:
        raise WalkFailure("\"%s\" printed %d times" % (MISSING, text.count(MISSING)))
    if text.count("receiving-card") != 1:
        raise WalkFailure("the failure printed %d times" % text.count("receiving-card"))
    if "QDialog::exec: Recursive call detected" in text:
        raise WalkFailure("a notice asked for a second modal run")
