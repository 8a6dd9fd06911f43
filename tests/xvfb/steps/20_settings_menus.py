"""From standby into the settings menu, into each menu under it and back
out, back to the main window, and the LED screen switched off with the tools
column: image byte 2116 read over the PC link reads 1 only when every key
before it landed where it should."""

# The settings menu's ring: output (0), input crop, layout, communication
# (3), image quality (4), test pattern, smart setup, advanced (7).
MENUS_UNDER_SETTINGS = [0, 3, 4, 7]


def step_leave_standby(panel):
    panel.key("Return")
    panel.expect_ram(2116, [0, 0])


def step_open_settings(panel):
    # The main window's ring: status, inputs, user modes, settings (3).
    panel.key("Right", "Right", "Right")
    panel.key("Return")


def step_every_menu_and_back(panel):
    at = 0
    for item in MENUS_UNDER_SETTINGS:
        panel.key(*(["Right"] * (item - at)))
        at = item
        panel.key("Return")        # the menu, on top of the settings menu
        panel.key("Right", "Left")  # its ring goes round and back
        panel.key("Escape")        # back to the settings menu, same item
    panel.expect_ram(2116, [0, 0])


def step_back_to_main_window(panel):
    panel.key("Escape")  # the main window, its settings item still focused


def step_led_off(panel):
    panel.key("Right", "Right")  # the tools button
    panel.key("q")               # OK: the tools column, the LED tool focused
    panel.key("q")               # LED screen off
    panel.expect_ram(2116, [1, 0])
