#!/usr/bin/env python3
"""Draws resources/stats.ico: one 16 x 16 image, 32 bits per pixel (a small bar chart)."""
import pathlib
import struct

SIZE = 16
CLEAR = (0, 0, 0, 0)
FRAME = (40, 40, 120, 255)
PAPER = (255, 250, 198, 255)
BARS = [((0, 120, 200, 255), 3, 5, 9), ((200, 60, 40, 255), 6, 8, 5), ((0, 150, 60, 255), 9, 11, 7), ((0, 120, 200, 255), 12, 13, 11)]


def pixel(x, y):
    """RGBA of the pixel at column x, row y (row 0 at the top)."""
    if x in (0, 15) and y in (0, 15):
        return CLEAR
    if x in (0, 15) or y in (0, 15):
        return FRAME
    for colour, x0, x1, height in BARS:
        if x0 <= x <= x1 and y >= 14 - height:
            return colour
    if y == 14:
        return FRAME
    return PAPER


def main():
    xor = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        for x in range(SIZE):
            r, g, b, a = pixel(x, y)
            xor += bytes((b, g, r, a))
    mask = bytearray()
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            if pixel(x, y)[3] == 0:
                bits |= 1 << (15 - x)
        mask += struct.pack(">H", bits) + b"\0\0"  # rows padded to 32 bits
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    icon = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 22) + image
    out = pathlib.Path(__file__).resolve().parent.parent / "resources" / "stats.ico"
    out.write_bytes(icon)


if __name__ == "__main__":
    main()
