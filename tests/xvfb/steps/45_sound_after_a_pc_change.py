"""The Others screen's sound row after a PC change of the images: images 2-4
on, none sounding, image 3 the audio image; with the screen open the PC
switches image 2 off. The sound then switched on with the keys goes to image
3, the one the row shows, never to image 4. Read back over the PC link:
the audio image word 2112 and each image's sound word (+20 of its record)."""

import struct

# The 26-byte image records from 2272: the enable word at +0, sound at +20.
RECORDS = 2272
RECORD_SIZE = 26


def enable_word(image):
    return RECORDS + RECORD_SIZE * image


def sound_word(image):
    return RECORDS + RECORD_SIZE * image + 20


def pc_write(panel, writes):
    """Words written over the PC link, then register 11 to apply them."""
    c = panel.client()
    try:
        for address, value in writes:
            c.write_ram(address, struct.pack("<H", value))
        c.write_register(11, 1, 1)
    finally:
        c.link.close()


def step_images_two_to_four_image_three_audible_from_the_pc(panel):
    panel.key("Return")  # standby: the main window
    writes = [(enable_word(k), 1 if 1 <= k <= 3 else 0) for k in range(6)]
    writes += [(sound_word(k), 0) for k in range(6)]
    writes.append((2112, 2))
    pc_write(panel, writes)
    panel.expect_ram(2112, [2, 0])
    panel.expect_ram(enable_word(1), [1, 0])


def step_open_the_others_screen(panel):
    panel.key("Right", "Right", "Right")  # settings
    panel.key("Return")
    panel.key("Left", "Return")           # the advanced menu, the last item
    panel.key("Right", "Return")          # Others, after the LCD times


def step_image_two_off_from_the_pc(panel):
    pc_write(panel, [(enable_word(1), 0)])
    panel.expect_ram(enable_word(1), [0, 0])
    panel.settle(1)  # the scaler's pass and the screens' refresh after it


def step_sound_on_for_the_image_shown(panel):
    panel.key("Right", "Return")  # the sound row, its edit
    panel.key("Right", "Return")  # ON, applied
    panel.expect_ram(sound_word(2), [0xFF, 0x80])
    panel.expect_ram(2112, [2, 0])
    panel.expect_ram(sound_word(3), [0, 0])
