"""The smart-setup wizard run with the keys on output port 1 of the simulated
screen (four cards): 2 rows and 2 columns typed on the number keyboard,
cabling pattern 1, Send. The cards' positions are read back over the PC
link; once the progress ring has closed, back leaves the screen, which the
ring would refuse, and the LED tool of the main window answers again."""

import struct
import time

import panelwalk
import vyxpc  # on the path panelwalk gives

CARD_READ_RAM = 0x61
POSITION = 0x180
# Pattern 1 on 2 x 2 cabinets of 128 x 96: a snake from the bottom right.
EXPECTED = [(128, 96), (0, 96), (0, 0), (128, 0)]


def card_position(panel, card, port=1):
    """u16 x, u16 y of a card on an output port (1-based), read through the
    controller's pass-through; None without an answer."""
    c = panel.client()
    try:
        header = bytes([0x10, 0x67, 0x01, port, 0x00])
        request = vyxpc.make_body(card, vyxpc.PC, CARD_READ_RAM, struct.pack("<IH", POSITION, 4), header)
        c.link.send(vyxpc.encode(request))
        for f in c.frames(2.0):
            if f[9] == CARD_READ_RAM and f[0:2] == request[2:4] and len(f) >= 16 and f[10] == 0:
                return struct.unpack("<HH", f[11:15])
        return None
    finally:
        c.link.close()


def step_open_smart_setup(panel):
    panel.key("Return")           # standby to the main window
    panel.key("Right", "Right", "Right", "Return")  # the settings menu
    panel.key("Left", "Left", "Return")             # smart setup, the last but one item


def step_cabinet_and_port(panel):
    panel.key("Return")           # the wizard: the width field has the keys
    panel.key("Left", "Return")   # Next with 128 x 96: step 2, port LED1
    panel.key("Left", "Return")   # Next: step 3, the rows field


def type_two(panel, first_use):
    """OK on a number field opens the keyboard; its ring walks to 2, types
    it and walks on to OK."""
    panel.key("Return")
    panel.key(*(["Right"] if first_use else ["Right", "Right"]))
    panel.key("Return", "Left", "Left", "Return")


def step_rows_columns_send(panel):
    type_two(panel, True)         # rows
    panel.key("Right")
    type_two(panel, False)        # columns
    panel.key("Left", "Left", "Return")  # Send
    time.sleep(4)                 # the job, and the ring's last two seconds


def step_cards_have_their_positions(panel):
    until = time.monotonic() + 20
    while True:
        got = [card_position(panel, card) for card in range(4)]
        if got == EXPECTED:
            return
        if time.monotonic() > until:
            raise panelwalk.WalkFailure("card positions %s, expected %s" % (got, EXPECTED))
        time.sleep(2)


def step_ring_closed_so_back_leaves(panel):
    # Step 3 to 2 to 1, the menu, the settings menu, the main window.
    panel.key("Escape", "Escape", "Escape", "Escape", "Escape")
    panel.key("Right", "Right")   # the tools button
    panel.key("q", "q")           # the LED tool: screen off
    panel.expect_ram(2116, [1, 0])
