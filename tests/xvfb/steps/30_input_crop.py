"""A crop added on the input crop screen under the settings menu: the keys
walk to the add form, the mouse opens the number keyboard on the X and W
fields and types on it, the keys store the form. The crop table read back
over the PC link (entry 0 at 1472: id word, x, y, w, h) holds the crop only
when every key and click landed where it should."""


# The number keyboard covers the panel's right half; its keys by centre.
KEYBOARD_KEYS = {"1": (190, 65), "2": (240, 65), "3": (290, 65), "4": (190, 105), "5": (240, 105),
                 "6": (290, 105), "7": (190, 145), "8": (240, 145), "9": (290, 145), "0": (190, 185),
                 "ok": (277, 220)}


def type_on_keyboard(panel, digits):
    for d in digits:
        panel.touch(*KEYBOARD_KEYS[d])
    panel.touch(*KEYBOARD_KEYS["ok"])


def step_open_the_crop_screen(panel):
    panel.key("Return")                  # standby to the main window
    panel.key("Right", "Right", "Right")  # its settings item
    panel.key("Return")
    panel.key("Right", "Return")         # the settings menu's input crop item


def step_add_a_crop_with_the_mouse_on_the_fields(panel):
    panel.key("Return", "Return")  # HDMI1's tiles, then the add form
    panel.touch(72, 182)           # the X field
    type_on_keyboard(panel, "100")
    panel.touch(212, 182)          # the W field
    type_on_keyboard(panel, "800")
    panel.key("Left", "Return")    # from X left to OK: stored
    panel.expect_ram(1472, [0x01, 0x80, 100, 0, 0, 0, 0x20, 0x03, 0x38, 0x04])


def step_back_to_the_settings_menu(panel):
    panel.key("Escape", "Escape")  # the input row, then the settings menu
    panel.key("Escape")            # the main window
    panel.expect_ram(1472, [0x01, 0x80])
