"""The number keyboard and the check-mark notice are made once and shown
again on later screens. With no window manager X keeps a window that is
shown again where it first stood, under every screen opened since: they
must be seen on top, read from the display's own picture, on a screen opened
after their first showing."""

# Points of each window's own colours, away from its texts: the keyboard's
# background and its blue OK key (right half of the panel); the notice's
# grey frame round the check mark (middle of the panel).
KEYBOARD = [((163, 3), (114, 133, 154)), ((317, 236), (114, 133, 154)), ((248, 208), (71, 119, 255))]
NOTICE = [((102, 62), (136, 138, 133)), ((217, 177), (136, 138, 133))]


def pc_brightness(panel, value):
    c = panel.client()
    try:
        c.write_ram(2176, bytes([value, 0]))
        c.write_register(11, 1, 1)
    finally:
        c.link.close()


def step_keyboard_first_used_for_the_access_code(panel):
    panel.key("Return")                   # standby: the main window
    panel.key("Right", "Right", "Right")  # settings
    panel.key("Return")
    panel.key("Left", "Return")           # the advanced menu, the last item
    panel.key("Left", "Return")           # Aging: the keyboard asks the code
    panel.expect_seen("the number keyboard", KEYBOARD)
    panel.key("Escape")                   # closed, nothing sent
    panel.key("Escape")                   # the settings menu, advanced


def step_keyboard_on_top_of_the_led_setting(panel):
    panel.key("Right")                    # output
    panel.key("Return", "Return")         # Output -> LED Setting, a new screen
    panel.key("Return")                   # the keyboard on the width
    panel.expect_seen("the number keyboard over LED Setting", KEYBOARD)
    panel.key("BackSpace", "BackSpace", "BackSpace", "BackSpace", "9", "6")
    panel.key("Left", "Return")           # round its keys to OK
    panel.key("Right", "Right", "Return")  # Apply: a new size, the notice
    panel.expect_ram(1378, [96, 0])
    panel.expect_seen("the first check mark", NOTICE)
    panel.settle(3)                       # it goes by itself


def step_notice_on_top_of_the_communication_menu(panel):
    panel.key("Escape", "Escape")         # the settings menu, output
    panel.key("Right", "Right", "Right")  # communication, a new screen
    panel.key("Return")
    pc_brightness(panel, 40)              # a change from the PC: the notice
    panel.expect_seen("the check mark over the communication menu", NOTICE)
