#!/usr/bin/env python3
"""Writes the viewer's icon (group 100) from the pixel drawing below.

Three images: 32 by 32 in 256 colours, 32 by 32 in 16 colours, 16 by 16 in 16 colours. The
drawing is a chunk tree: a root node with two children hanging from its line.

usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

# '.' transparent, K outline, O root fill, B child fill, L branch line, W highlight.
DRAWING = [
    "................",
    ".KKKKKKK........",
    ".KWOOOOK........",
    ".KOOOOOK........",
    ".KKKKKKK........",
    "...L............",
    "...L..KKKKKKKKK.",
    "...LLLKWBBBBBBK.",
    "...L..KBBBBBBBK.",
    "...L..KKKKKKKKK.",
    "...L............",
    "...L..KKKKKKKKK.",
    "...LLLKWBBBBBBK.",
    "......KBBBBBBBK.",
    "......KKKKKKKKK.",
    "................",
]

# The sixteen colours every display has, as (r, g, b).
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
SIXTEEN = {".": 0, "K": 4, "O": 11, "B": 14, "L": 8, "W": 15}


def scaled(drawing, factor):
    return ["".join(c * factor for c in row) for row in drawing for _ in range(factor)]


def image_16_colours(drawing):
    rows = [[SIXTEEN[c] for c in row] for row in drawing]
    return rows, VGA16


def image_256_colours(drawing):
    """The same drawing with the fills shaded from top to bottom."""
    palette = list(VGA16)
    shades = {}

    def shade(base, top, bottom, y, height):
        t = y / max(1, height - 1)
        colour = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        key = (base, colour)
        if key not in shades:
            shades[key] = len(palette)
            palette.append(colour)
        return shades[key]

    height = len(drawing)
    rows = []
    for y, row in enumerate(drawing):
        out = []
        for c in row:
            if c == "O":
                out.append(shade("O", (255, 200, 80), (230, 120, 20), y, height))
            elif c == "B":
                out.append(shade("B", (150, 210, 255), (40, 110, 210), y, height))
            elif c == "K":
                out.append(shade("K", (20, 40, 110), (10, 20, 70), y, height))
            else:
                out.append(SIXTEEN[c])
        rows.append(out)
    palette += [(0, 0, 0)] * (256 - len(palette))
    return rows, palette


def dib(drawing, rows, palette, bits):
    size = len(rows)
    xor_stride = ((size * bits + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):  # bottom-up
        line = bytearray(xor_stride)
        if bits == 8:
            line[:size] = bytes(rows[y])
        else:
            for x in range(0, size, 2):
                line[x // 2] = rows[y][x] << 4 | rows[y][x + 1]
        xor += line
        m = bytearray(and_stride)
        for x, c in enumerate(drawing[y]):
            if c == ".":
                m[x // 8] |= 0x80 >> (x % 8)
        mask += m
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(mask),
                         0, 0, 0, 0)
    colours = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + bytes(xor) + bytes(mask)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    big = scaled(DRAWING, 2)
    images = [
        (32, 0, 8, dib(big, *image_256_colours(big), 8)),
        (32, 16, 4, dib(big, *image_16_colours(big), 4)),
        (16, 16, 4, dib(DRAWING, *image_16_colours(DRAWING), 4)),
    ]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, colours, bits, data in images:
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
