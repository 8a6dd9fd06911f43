"""From standby into the input choice screen, HDMI2 chosen for image 1 (the
parameter image's image 0) with the PC keyboard, and back out to the main
window: the image's source word read over the PC link reads 2 once the keys
landed where they should, and the main window's LED tool answers after."""

import os


def step_feed_hdmi2(panel):
    with open(os.path.join(panel.root, "sim", "sources"), "w") as f:
        f.write("1 1920x1080@60\n2 1280x720@60\n")
    panel.expect_ram(268, [0x00, 0x05, 0xD0, 0x02, 60, 0])  # HDMI2's timing


def step_open_input_choice(panel):
    panel.key("Return")          # standby -> main window
    panel.key("Right", "Return")  # its second item: the input choice screen
    panel.expect_ram(2280, [1, 0])  # image 0 still on HDMI1


def step_choose_hdmi2(panel):
    panel.key("Return")          # the input row, on HDMI1
    panel.key("Right")           # HDMI2
    panel.key("Return")          # its entries
    panel.key("Return")          # the whole input, chosen
    panel.expect_ram(2280, [2, 0])
    panel.settle(3.5)            # the check mark goes after 3 s


def step_back_to_main_window(panel):
    panel.key("Escape", "Escape", "Escape")  # entries, input row, main window
    # The main window answers, its input item focused: four to the right
    # is the tools button, whose first tool darkens the LED screen.
    panel.key("Right", "Right", "Right", "Right")
    panel.key("q", "q")
    panel.expect_ram(2116, [1, 0])
    panel.expect_ram(2280, [2, 0])
