#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files (32-bit images with alpha).

    python3 tools/make_icons.py [output folder]   (default: src/res/icons)

Each icon is drawn from a few shapes at 4 x 4 samples per pixel, so the edges are smooth
at every size. The .ico files are committed; run this again only to change the drawings.
"""
import math
import os
import struct
import sys

SAMPLES = 4


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r and x0 <= x <= x1 and y0 <= y <= y1
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment(ax, ay, bx, by, half_width):
    """A thick line with round ends."""
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half_width * half_width
    return inside


def polygon(points):
    def inside(x, y):
        result = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                result = not result
            j = i
        return result
    return inside


def feather(tipx, tipy, topx, topy, width):
    """A quill's vane: a leaf between the nib and the top, widest two thirds up."""
    length = math.hypot(topx - tipx, topy - tipy)
    ux, uy = (topx - tipx) / length, (topy - tipy) / length
    nx, ny = -uy, ux

    def inside(x, y):
        t = ((x - tipx) * ux + (y - tipy) * uy) / length
        if t < 0.18 or t > 1.0:
            return False
        s = (x - tipx) * nx + (y - tipy) * ny
        half = width * math.sin(math.pi * ((t - 0.18) / 0.82) ** 0.75)
        return abs(s) <= half
    return inside


def mix(dst, src, coverage):
    a = src[3] / 255.0 * coverage
    out_a = a + dst[3] / 255.0 * (1 - a)
    if out_a <= 0:
        return (0, 0, 0, 0)
    rgb = [(src[i] * a + dst[i] * dst[3] / 255.0 * (1 - a)) / out_a for i in range(3)]
    return (rgb[0], rgb[1], rgb[2], out_a * 255.0)


def render(size, layers):
    """layers: (inside(u, v) on the unit square, colour) or (inside, colour_fn(u, v))."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            colour = (0, 0, 0, 0)
            for inside, paint in layers:
                hits = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        u = (px + (sx + 0.5) / SAMPLES) / size
                        v = (py + (sy + 0.5) / SAMPLES) / size
                        if inside(u, v):
                            hits += 1
                if hits:
                    c = paint((px + 0.5) / size, (py + 0.5) / size) if callable(paint) else paint
                    colour = mix(colour, c, hits / (SAMPLES * SAMPLES))
            row.append(tuple(int(round(max(0, min(255, c)))) for c in colour))
        pixels.append(row)
    return pixels


def ico_image(pixels):
    """One BMP-format icon image: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def write_ico(path, images):
    count = len(images)
    directory = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    entries = b""
    blobs = b""
    for pixels in images:
        size = len(pixels)
        blob = ico_image(pixels)
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        blobs += blob
    with open(path, "wb") as f:
        f.write(directory + entries + blobs)


def gradient(top, bottom):
    return lambda u, v: tuple(top[i] + (bottom[i] - top[i]) * v for i in range(3)) + (255,)


INK = (31, 58, 104, 255)
PAPER = (255, 255, 255, 255)


def quill_layers():
    """The program's mark: a white quill on an ink-blue tile, writing a line."""
    return [
        (rounded_rect(0.03, 0.03, 0.97, 0.97, 0.2), gradient((66, 120, 196), (28, 60, 120))),
        (feather(0.22, 0.80, 0.80, 0.16, 0.17), PAPER),
        (segment(0.20, 0.82, 0.55, 0.45, 0.028), (200, 214, 235, 255)),
        (segment(0.16, 0.86, 0.24, 0.76, 0.035), PAPER),
        (segment(0.38, 0.86, 0.84, 0.86, 0.035), (250, 200, 80, 255)),
    ]


def new_extension_layers():
    """A page with a folded corner and a green plus: a file of a new kind."""
    return [
        (polygon([(0.16, 0.06), (0.60, 0.06), (0.82, 0.28), (0.82, 0.94), (0.16, 0.94)]), (110, 120, 135, 255)),
        (polygon([(0.22, 0.12), (0.57, 0.12), (0.76, 0.31), (0.76, 0.88), (0.22, 0.88)]), PAPER),
        (polygon([(0.57, 0.12), (0.76, 0.31), (0.57, 0.31)]), (190, 198, 210, 255)),
        (circle(0.70, 0.72, 0.27), (40, 150, 60, 255)),
        (segment(0.70, 0.58, 0.70, 0.86, 0.055), PAPER),
        (segment(0.56, 0.72, 0.84, 0.72, 0.055), PAPER),
    ]


def cancel_layers():
    """A red disc with a white cross."""
    return [
        (circle(0.5, 0.5, 0.46), gradient((230, 80, 70), (180, 30, 30))),
        (segment(0.32, 0.32, 0.68, 0.68, 0.075), PAPER),
        (segment(0.68, 0.32, 0.32, 0.68, 0.075), PAPER),
    ]


ICONS = {
    "quillon.ico": (quill_layers, (16, 32, 48)),   # 128, the program
    "tray.ico": (quill_layers, (16, 32)),          # 131, the notification area
    "about.ico": (quill_layers, (48, 32, 16)),     # 134, the About dialog (48 first)
    "new_extension.ico": (new_extension_layers, (16, 32)),  # 137
    "cancel.ico": (cancel_layers, (16, 32)),       # 139
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src", "res", "icons")
    os.makedirs(out, exist_ok=True)
    for name, (layers, sizes) in ICONS.items():
        write_ico(os.path.join(out, name), [render(s, layers()) for s in sizes])
        print("wrote", os.path.join(out, name))


if __name__ == "__main__":
    main()
