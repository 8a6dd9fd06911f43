"""From standby to the main window, then the LED screen switched off and on
again with the tools column, read back over the PC link (image byte 2116)."""


def step_leave_standby(panel):
    # Enter stands in for the keypad's OK on a PC keyboard.
    panel.key("Return")
    panel.expect_ram(2116, [0, 0])


def step_led_off(panel):
    panel.key("Left")  # the menu ring wraps round to the tools button
    panel.key("q")     # OK: the tools column, the LED tool focused
    panel.key("q")     # LED screen off
    panel.expect_ram(2116, [1, 0])


def step_led_on(panel):
    panel.key("q")
    panel.expect_ram(2116, [0, 0])
