"""A crop form open while a PC deletes its crop. HDMI1 has crop 1 (entry 0,
10,10 100x100) and crop 2 (entry 2, 20,20 200x200); crop 1's form is open
with OK, then Delete, focused when the PC frees entry 0 (1472) and has it
applied. The form closes over the redrawn tiles; Enter then opens crop 2's
form and writes nothing: crop 2 reads back unchanged byte for byte."""

CROP1 = [0x01, 0x80, 10, 0, 10, 0, 100, 0, 100, 0]
CROP2 = [0x01, 0x81, 20, 0, 20, 0, 200, 0, 200, 0]
ENTRY0, ENTRY2 = 1472, 1492

BACKGROUND = (16, 16, 28)
# The third tile (crop 2's while crop 1 is there) and the form's OK button.
THIRD_TILE = (283, 95)
FORM_OK = (193, 215)
# The second tile's left edge, focused; the add button's icon, shown.
SECOND_TILE_FOCUSED = ((101, 100), (255, 168, 84))
ADD_SHOWN = ((303, 97), (233, 233, 235))
TILES_REDRAWN = [(THIRD_TILE, BACKGROUND)]
TILES_AFTER_THE_DELETE = TILES_REDRAWN + [(FORM_OK, BACKGROUND), SECOND_TILE_FOCUSED, ADD_SHOWN]


def step_two_crops_of_hdmi1_from_the_pc(panel):
    panel.pc_write(ENTRY0, CROP1)
    panel.pc_write(ENTRY2, CROP2)
    panel.expect_ram(ENTRY0, CROP1)
    panel.expect_ram(ENTRY2, CROP2)


def step_open_crop_one_on_the_crop_screen(panel):
    panel.key("Return")                   # standby to the main window
    panel.key("Right", "Right", "Right")  # its settings item
    panel.key("Return")
    panel.key("Right", "Return")          # the settings menu's input crop item
    panel.key("Return")                   # HDMI1's tiles, the add button focused
    panel.key("Right", "Right")           # crop 1's tile
    panel.expect_seen("three tiles", [(THIRD_TILE, (33, 36, 53))])


def step_ok_after_the_pc_deleted_the_crop(panel):
    panel.key("Return", "Left")           # crop 1's form, OK focused
    panel.pc_write(ENTRY0, [0, 0])
    panel.expect_seen("the tiles without crop 1", TILES_REDRAWN)
    panel.key("Return")                   # the form closed: crop 2's tile opens its form
    panel.expect_ram(ENTRY0, [0, 0])
    panel.expect_ram(ENTRY2, CROP2)
    panel.key("Escape")                   # the form closes unstored
    panel.expect_seen("the tiles again", TILES_AFTER_THE_DELETE)
    panel.expect_ram(ENTRY2, CROP2)


def step_delete_after_the_pc_deleted_the_crop(panel):
    panel.pc_write(ENTRY0, CROP1)         # crop 1 back, on the focused tile
    panel.expect_seen("three tiles", [(THIRD_TILE, (33, 36, 53))])
    panel.key("Return", "Left", "Left", "Left")  # crop 1's form, Delete focused
    panel.pc_write(ENTRY0, [0, 0])
    panel.expect_seen("the tiles without crop 1", TILES_REDRAWN)
    panel.key("Return")                   # the form closed: crop 2's tile opens its form
    panel.expect_ram(ENTRY0, [0, 0])
    panel.expect_ram(ENTRY2, CROP2)
    panel.key("Escape")
    panel.expect_seen("the tiles again", TILES_AFTER_THE_DELETE)
    panel.expect_ram(ENTRY2, CROP2)


def step_back_to_the_main_window(panel):
    panel.key("Escape", "Escape", "Escape")  # the input row, the settings menu, the main window
    panel.expect_ram(ENTRY2, CROP2)
