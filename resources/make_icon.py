#!/usr/bin/env python3
"""Draws the program icon, a monitor showing colour bars with a capture card
in front of it, and writes it as zphtest.ico: one 32 x 32 image, 16 colours.

Run: python3 resources/make_icon.py [output path]
"""
import os
import struct
import sys

SIZE = 32

# The 16 colours of the standard Windows palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_GREEN, SILVER, GREY = 0, 2, 7, 8
RED, LIME, YELLOW, BLUE, MAGENTA, CYAN, WHITE = 9, 10, 11, 12, 13, 14, 15
TRANSPARENT = None

# The overlay test's eight bars, left to right.
BARS = [WHITE, YELLOW, CYAN, LIME, MAGENTA, RED, BLUE, BLACK]


def fill(image, left, top, right, bottom, colour):
    """Fills the rectangle of rows top..bottom and columns left..right, inclusive."""
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            image[y][x] = colour


def frame(image, left, top, right, bottom, edge, inside):
    fill(image, left, top, right, bottom, edge)
    fill(image, left + 1, top + 1, right - 1, bottom - 1, inside)


def draw():
    """Returns the picture as rows from the top, each a list of palette indexes
    or TRANSPARENT."""
    image = [[TRANSPARENT] * SIZE for _ in range(SIZE)]

    # Monitor: bezel, screen with the bars, power light.
    frame(image, 1, 1, 30, 22, BLACK, SILVER)
    frame(image, 3, 3, 28, 18, BLACK, BLACK)
    for i, colour in enumerate(BARS):
        fill(image, 4 + 3 * i, 4, 6 + 3 * i, 17, colour)
    fill(image, 26, 20, 27, 20, LIME)

    # Stand.
    frame(image, 12, 22, 19, 25, BLACK, GREY)
    frame(image, 7, 25, 24, 28, BLACK, GREY)

    # Capture card: circuit board, chip, gold contacts along the lower edge.
    frame(image, 18, 21, 31, 29, BLACK, DARK_GREEN)
    frame(image, 21, 23, 26, 26, BLACK, GREY)
    fill(image, 28, 23, 29, 24, SILVER)
    for x in range(19, 31, 2):
        image[30][x] = YELLOW
        image[31][x] = YELLOW
    return image


def icon_bytes(image):
    """Encodes the picture as an .ico file with one 4-bit image."""
    xor_rows = []
    and_rows = []
    # Bitmaps in an icon run from the bottom row up.
    for row in reversed(image):
        pixels = [0 if c is TRANSPARENT else c for c in row]
        xor_rows.append(bytes((pixels[x] << 4) | pixels[x + 1] for x in range(0, SIZE, 2)))
        mask = 0
        for c in row:
            mask = (mask << 1) | (1 if c is TRANSPARENT else 0)
        and_rows.append(struct.pack(">I", mask))
    xor_bitmap = b"".join(xor_rows)
    and_bitmap = b"".join(and_rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    # The header's height counts the colour bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(xor_bitmap) + len(and_bitmap), 0, 0, 16, 0)
    data = header + palette + xor_bitmap + and_bitmap

    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(data), 6 + 16)
    return directory + entry + data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "zphtest.ico")
    with open(path, "wb") as out:
        out.write(icon_bytes(draw()))


if __name__ == "__main__":
    main()
