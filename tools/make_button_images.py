#!/usr/bin/env python3
"""Draws the images of the Options dialog's small buttons and writes them as PNG files
(16 x 16, 8 bits per channel with alpha).

    python3 tools/make_button_images.py [output folder]   (default: src/res/images)

The shapes are rendered like the icons (tools/make_icons.py), at 4 x 4 samples per pixel.
The .png files are committed; run this again only to change the drawings.
"""
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_icons import polygon, render  # noqa: E402

SIZE = 16
GREEN = (34, 139, 58, 255)
RED = (196, 52, 40, 255)
BLUE = (38, 92, 170, 255)


def bar(x0, y0, x1, y1):
    """A rectangle given in pixels, so straight strokes fall on whole pixels and stay sharp."""
    return polygon([(x0 / SIZE, y0 / SIZE), (x1 / SIZE, y0 / SIZE), (x1 / SIZE, y1 / SIZE), (x0 / SIZE, y1 / SIZE)])


def plus_layers():
    return [(bar(7, 2, 9, 14), GREEN), (bar(2, 7, 14, 9), GREEN)]


def minus_layers():
    return [(bar(2, 7, 14, 9), RED)]


def arrow_layers(up):
    """A shaft with a triangular head, pointing up or down."""
    def flip(points):
        return points if up else [(x, 1.0 - y) for x, y in points]
    head = flip([(0.5, 0.125), (0.875, 0.5625), (0.125, 0.5625)])
    shaft = flip([(0.4375, 0.5), (0.5625, 0.5), (0.5625, 0.875), (0.4375, 0.875)])
    return [(polygon(shaft), BLUE), (polygon(head), BLUE)]


def png_bytes(pixels):
    """A truecolour-with-alpha PNG: IHDR, one IDAT, IEND; rows unfiltered."""
    height = len(pixels)
    width = len(pixels[0])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter type: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


IMAGES = {
    "add.png": plus_layers,                          # 140
    "move_down.png": lambda: arrow_layers(False),    # 141
    "remove.png": minus_layers,                      # 142
    "move_up.png": lambda: arrow_layers(True),       # 143
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src", "res", "images")
    os.makedirs(out, exist_ok=True)
    for name, layers in IMAGES.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(png_bytes(render(SIZE, layers())))
        print("wrote", os.path.join(out, name))


if __name__ == "__main__":
    main()
