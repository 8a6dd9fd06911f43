"""The standby screen by touch and by the global keys: a touch on its row of
brightness, contrast and sound stays on it, a touch on a tile leaves it;
the source keys act on the images from it. Read back over the PC link
(image 1's source word at 2280, the LED-off word at 2116)."""


def step_global_keys_act_from_standby(panel):
    panel.key("k")  # HDMI1 on image 1
    panel.expect_ram(2280, [1, 0])
    panel.key("j")  # DVI
    panel.expect_ram(2280, [0, 0])


def step_touch_on_the_values_row_stays(panel):
    panel.touch(35, 50)     # the brightness value
    panel.touch(265, 52)    # the sound picture
    panel.key("q")          # still on standby: OK leaves it
    panel.key("Left", "q", "q")  # main window: tools, LED off
    panel.expect_ram(2116, [1, 0])


def step_touch_on_a_tile_leaves(panel):
    panel.key("o", "o")     # tools closed, then back to standby
    panel.touch(80, 94)     # image 1's name
    panel.key("q", "q")     # main window, focus on tools: LED on again
    panel.expect_ram(2116, [0, 0])
