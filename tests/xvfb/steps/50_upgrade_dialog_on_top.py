"""While a firmware upgrade runs its "do not power off" dialog covers the
panel until the upgrade ends, whatever screen the keys open meanwhile; the
keys still reach those screens. Seen on the display's own picture, over an
upgrade from the simulated stick that runs for about half a minute."""

import os

import vyxfiles  # tools/, put on the path by panelwalk

BACKGROUND = (16, 16, 28)
# Where the dialog shows its bare background and every screen opened below
# has something of its own: the communication menu's first button, the
# address screen's first field, the user-mode screen's slot picture, the
# upgrade screen's file list.
DIALOG = [((30, 70), BACKGROUND), ((250, 70), BACKGROUND), ((30, 150), BACKGROUND), ((290, 150), BACKGROUND)]
USER_MODE = [((70, 70), (134, 122, 233)), ((70, 105), (134, 122, 233))]
STANDBY = [((14, 120), (134, 122, 233)), ((169, 120), (235, 168, 58))]

# One package of both bitstreams and a font is written in about a second:
# the stick holds it under as many names, each applied in turn.
PACKAGES = 25


def step_packages_on_the_stick(panel):
    folder = os.path.join(panel.root, "mnt", "usb1", "VYX-Q71")
    os.makedirs(folder)
    first = os.path.join(folder, "up00.VYX")
    vyxfiles.main(["package", first, "--fpga0", "size:3000000", "--fpga1", "size:3000000", "--font", "size:4000000"])
    for n in range(1, PACKAGES):
        os.link(first, os.path.join(folder, "up%02d.VYX" % n))


def step_start_the_upgrade(panel):
    panel.open_communication_menu()
    panel.key("Right", "Right", "Return")         # USB UPDATE
    panel.key("Return")                           # OK: the upgrade runs
    panel.expect_seen("the upgrade dialog", DIALOG)


def step_screens_opened_during_the_upgrade_stay_under_it(panel):
    panel.key("Escape", "Escape")                 # the communication menu, the settings menu
    panel.key("Return")                           # the communication menu again
    panel.expect_kept("the upgrade dialog over the communication menu", DIALOG)
    panel.key("Right", "Return")                  # Net connect
    panel.expect_kept("the upgrade dialog over the address screen", DIALOG)
    panel.key("Home")                             # the user modes
    panel.expect_kept("the upgrade dialog over the user-mode screen", DIALOG)


def step_the_keys_go_on_to_the_screen_below_once_it_ends(panel):
    panel.expect_seen("the user-mode screen once the upgrade ended", USER_MODE, seconds=180)
    panel.key("Escape")                           # opened by the mode key: standby
    panel.expect_seen("the standby screen", STANDBY)
