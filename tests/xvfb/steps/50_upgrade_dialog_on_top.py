"""While a firmware upgrade runs its "do not power off" dialog covers the
panel until the upgrade ends, whatever screen the keys open meanwhile; the
keys still reach those screens, and the windows a back action returns to,
also after a touch on the dialog.
Seen on the display's own picture, over an upgrade from the simulated stick
that runs for about half a minute; what the keys do under the dialog is
read over the PC link: the LED-off word (2116) the main window's tools
column switches, and the black bit of image 1's output word (2290) the
global 'P' key toggles on any screen."""

import os
import time

import vyxfiles  # tools/, put on the path by panelwalk
from panelwalk import WalkFailure

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


def still_under_the_dialog(panel, what):
    if not panel.shows(DIALOG):
        raise WalkFailure("the upgrade ended before %s: the walk needs a longer upgrade" % what)


def expect_ram_by_keys(panel, address, expected, where):
    try:
        panel.expect_ram(address, expected, seconds=3)
    except WalkFailure as e:
        raise WalkFailure("the keys did not reach %s under the upgrade dialog (%s)" % (where, e))


def expect_main_window_keys(panel, where):
    """The main window, its tools item focused, acts on the keys: its LED
    tool switches the LED screen off and on again."""
    panel.key("Return")                           # the tools column, the LED tool focused
    panel.key("Return")                           # LED screen off
    expect_ram_by_keys(panel, 2116, [1, 0], where)
    panel.key("Return")                           # and on again
    expect_ram_by_keys(panel, 2116, [0, 0], where)
    panel.key("Escape")                           # the column closes, the tools item focused
    still_under_the_dialog(panel, where)


def expect_global_keys(panel, where):
    """'P' blacks image 1 out and a second one shows it again."""
    black = panel.read_ram(2290, 2)[0] & 1
    for state in (black ^ 1, black):
        panel.key("p")
        until = time.monotonic() + 3
        while panel.read_ram(2290, 2)[0] & 1 != state:
            if time.monotonic() > until:
                raise WalkFailure("the keys did not reach %s under the upgrade dialog ('P' did nothing)" % where)
            time.sleep(0.1)
    still_under_the_dialog(panel, where)


def step_back_on_the_windows_below_the_keys_act_there(panel):
    panel.key("Escape")                           # the user-mode screen, opened by the mode key: standby
    panel.key("Return")                           # the main window, its settings item focused
    panel.key("Return")                           # the settings menu
    panel.key("Escape")                           # and back
    panel.key("Right", "Right")                   # the tools item
    panel.touch(160, 30)                          # a finger on the dialog, which takes no keys
    expect_main_window_keys(panel, "the main window after back on the settings menu and a touch on the dialog")
    panel.key("Escape")                           # standby
    expect_global_keys(panel, "the standby screen after back on the main window")
    panel.key("Home")                             # the user-mode screen, by the mode key
    panel.expect_kept("the upgrade dialog over the user-mode screen", DIALOG)


def step_the_keys_go_on_to_the_screen_below_once_it_ends(panel):
    panel.expect_seen("the user-mode screen once the upgrade ended", USER_MODE, seconds=180)
    panel.key("Escape")                           # opened by the mode key: standby
    panel.expect_seen("the standby screen", STANDBY)
