"""A touch activates the window it lands on, and with no window manager X
leaves the keys there. The standby and user-mode screens, shown after a
touch on the main window, must take the keys themselves: what the keys do
is seen on the display, and the LED-off word (2116) and the panel lock
(772) are read over the PC link. Each step starts and ends on standby."""

import time

from panelwalk import WalkFailure

# Points of each screen's own colours, away from texts and the pointer:
# the standby's tiles 1, 2 and 3; the main window's four menu buttons, just
# inside their borders; the user-mode screen's slot picture.
STANDBY = [((14, 120), (134, 122, 233)), ((169, 120), (235, 168, 58)), ((14, 170), (0, 90, 141))]
MAIN = [((52, 100), (33, 36, 53)), ((269, 100), (33, 36, 53)), ((52, 180), (33, 36, 53)),
        ((269, 180), (33, 36, 53))]
USER_MODE = [((70, 70), (134, 122, 233)), ((70, 105), (134, 122, 233))]
# The user-mode screen's slot selector, which names the slot shown.
SELECTOR = (25, 30, 118, 48)

TOOLS = (305, 225)
PADLOCK = (305, 15)
USER_MODE_BUTTON = (103, 172)


def pixels(panel, box):
    x0, y0, x1, y1 = box
    return [panel.display.pixel(x, y) for y in range(y0, y1, 2) for x in range(x0, x1, 2)]


def expect_next_slot(panel, seconds=2):
    """Right on the user-mode screen shows the next slot in its selector."""
    before = pixels(panel, SELECTOR)
    panel.key("Right")
    until = time.monotonic() + seconds
    while pixels(panel, SELECTOR) == before:
        if time.monotonic() > until:
            raise WalkFailure("Right did not reach the user-mode screen: its selector is unchanged")
        time.sleep(0.1)


def step_standby_after_a_touch_on_the_tools(panel):
    panel.key("Return")                   # standby: the main window
    panel.expect_seen("the main window", MAIN)
    panel.touch(*TOOLS)                   # the tools column
    panel.key("Escape", "Escape")         # closed, then back to standby
    panel.expect_seen("the standby screen", STANDBY)
    panel.key("Return")                   # the standby leaves
    panel.expect_seen("the main window after OK on standby", MAIN)
    panel.key("Return")                   # the main window: its tools column
    if panel.read_ram(2116, 2) != bytes([0, 0]):
        raise WalkFailure("the LED screen was switched off by keys meant for the standby screen")
    panel.key("Escape", "Escape")         # tools closed, standby
    panel.expect_seen("the standby screen", STANDBY)


def step_user_modes_by_the_mode_key_after_a_touch_on_the_padlock(panel):
    panel.key("Return")
    panel.expect_seen("the main window", MAIN)
    panel.touch(*PADLOCK)                 # locked
    panel.touch(*PADLOCK)                 # and open again
    panel.expect_ram(772, [0, 0])
    panel.key("Home")                     # the user-mode screen
    panel.expect_seen("the user-mode screen", USER_MODE)
    expect_next_slot(panel)
    panel.key("Escape")                   # opened by the mode key: standby
    panel.expect_seen("the standby screen", STANDBY)
    panel.key("Return")                   # the main window, no user-mode screen left over it
    panel.expect_seen("the main window", MAIN)
    panel.key("Escape")
    panel.expect_seen("the standby screen", STANDBY)


def step_user_modes_by_a_touch_on_their_button(panel):
    panel.key("Return")
    panel.expect_seen("the main window", MAIN)
    panel.touch(*USER_MODE_BUTTON)        # the user-mode screen
    panel.expect_seen("the user-mode screen", USER_MODE)
    expect_next_slot(panel)
    panel.key("Escape")                   # back to the main window
    panel.expect_seen("the main window after back on the user-mode screen", MAIN)
    panel.key("Escape")
    panel.expect_seen("the standby screen", STANDBY)
