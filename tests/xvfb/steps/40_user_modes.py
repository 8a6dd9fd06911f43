"""A user mode saved from the main window's tools, reached with the mode key
from the settings menu, invoked and deleted: read back over the PC link
(current mode at 866, brightness at 2176) and in the root's mode files."""

import os


def mode_file(panel, n):
    return os.path.join(panel.root, "data", "modes", "custom_mode%d" % n)


def expect_mode_file(panel, n, present):
    """Waits up to 5 s for the mode file to be there (or gone): the GUI
    thread writes it after the mode's number reads back."""
    for _ in range(50):
        if os.path.exists(mode_file(panel, n)) == present:
            return
        panel.settle(0.1)
    raise AssertionError("custom_mode%d %s" % (n, "not written" if present else "still there"))


def step_save_mode_two(panel):
    panel.key("Return")                 # standby -> main window
    panel.key("Left", "q")              # the tools column, LED tool focused
    panel.key("Right", "Right", "Right", "q")  # the save tool: its grid
    panel.key("Right", "q")             # slot 2 saved
    panel.expect_ram(866, [2, 0])
    expect_mode_file(panel, 2, True)
    panel.settle(4)                     # the notice goes by itself


def step_mode_key_from_the_settings_menu_and_invoke(panel):
    panel.brightness = panel.read_ram(2176, 2)
    panel.pc_write(2176, [33, 0])
    panel.expect_ram(2176, [33, 0])
    panel.key("Escape", "Escape")       # grid, then tools closed
    panel.key("Left", "Left", "q")      # the settings menu
    panel.key("Home")                   # the user modes, on mode 2
    panel.key("q", "q")                 # Invoke
    panel.expect_ram(2176, list(panel.brightness))
    panel.expect_ram(866, [2, 0])


def step_delete_mode_two(panel):
    panel.key("q", "Right", "q")        # Delete
    expect_mode_file(panel, 2, False)
    panel.key("Escape")                 # opened by the mode key: standby
    panel.key("Return")
    panel.expect_ram(866, [2, 0])       # the current mode is left as it was
