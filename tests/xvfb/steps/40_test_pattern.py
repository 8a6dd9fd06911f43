"""From the settings menu to the test patterns: Blue chosen with the keys
shows on the simulated LED screen ("<root>/sim/screen.png"), and back takes
it off again (image byte 864 read over the PC link)."""

import os
import struct
import time
import zlib

BLUE = (0, 0, 255)


def read_png(path):
    """Width, height and the RGB of each pixel of an 8-bit RGB(A) PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, width, height, bpp = 8, b"", 0, 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                raise ValueError("PNG kind %d/%d" % (depth, colour))
            bpp = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
    raw, stride = zlib.decompress(idat), width * bpp
    rows, prev, i = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - bpp] if x >= bpp else 0
            b, c = prev[x], (prev[x - bpp] if x >= bpp else 0)
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return width, height, lambda x, y: tuple(rows[y][x * bpp:x * bpp + 3])


def led_centre(panel):
    """The colour at the middle of the LED screen in the simulated picture
    (under its 22-pixel heading); None while there is no picture."""
    try:
        width, height, pixel = read_png(os.path.join(panel.root, "sim", "screen.png"))
    except (OSError, ValueError, zlib.error):
        return None
    return pixel(width // 2 + 3, 22 + (height - 22) // 2 + 3)


def expect_centre(panel, blue, seconds=10):
    until = time.monotonic() + seconds
    while True:
        colour = led_centre(panel)
        if (colour == BLUE) == blue:
            return
        if time.monotonic() > until:
            raise AssertionError("LED screen centre %s, expected %s blue" % (colour, "" if blue else "not"))
        time.sleep(0.2)


def step_open_the_test_patterns(panel):
    panel.key("Return")               # standby -> main window
    panel.key("Right", "Right", "Right")
    panel.key("Return")               # the settings menu
    panel.key("Right", "Right", "Right", "Right", "Right")
    panel.key("Return")               # the test patterns
    panel.expect_ram(864, [0])
    expect_centre(panel, blue=False)


def step_blue_shows_on_the_led_screen(panel):
    panel.key("Right", "Right")       # Red, Green, Blue
    panel.key("q")
    panel.expect_ram(864, [3])
    expect_centre(panel, blue=True)


def step_back_takes_it_off(panel):
    panel.key("Escape")
    panel.expect_ram(864, [0])
    expect_centre(panel, blue=False)
