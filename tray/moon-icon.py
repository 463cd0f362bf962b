#!/usr/bin/env python3
"""Draws Nightcap's notification-area icon, a crescent moon, and writes it as
moon.ico beside this script: 32-bit images with alpha (which Windows XP
draws too) in the sizes Windows asks for small icons at 96, 120, 144 and 192
DPI. The output is the same bytes on every run; change the shape or colours
below and run it again:  python3 tray/moon-icon.py
"""
import os
import struct

SIZES = (16, 20, 24, 32)
SAMPLES = 8                       # per pixel and axis, for smooth edges

# The moon's disc and the disc that bites the crescent out of it, in units
# of the icon's side.
OUTER = (0.46, 0.54, 0.44)        # centre x, centre y, radius
INNER = (0.73, 0.33, 0.33)
FILL = (0xF6, 0xE2, 0x8C)         # pale gold
EDGE = (0x24, 0x30, 0x4A)         # night blue, so the moon shows on light taskbars too
EDGE_WIDTH = 0.06                 # of the side, and never less than one pixel


def inside(x, y, size):
    """0 outside, 1 on the edge, 2 in the fill, for a point in pixels."""
    u, v = x / size, y / size
    ox, oy, orad = OUTER
    ix, iy, irad = INNER
    to_outer = orad - ((u - ox) ** 2 + (v - oy) ** 2) ** 0.5
    to_inner = ((u - ix) ** 2 + (v - iy) ** 2) ** 0.5 - irad
    depth = min(to_outer, to_inner)
    if depth <= 0:
        return 0
    edge = max(EDGE_WIDTH, 1.0 / size)
    return 1 if depth < edge else 2


def pixels(size):
    """Rows from the top, each a list of (b, g, r, a)."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            counts = [0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    counts[inside(x, y, size)] += 1
            covered = counts[1] + counts[2]
            if covered == 0:
                row.append((0, 0, 0, 0))
                continue
            colour = [
                (EDGE[i] * counts[1] + FILL[i] * counts[2]) // covered for i in range(3)
            ]
            alpha = (255 * covered + SAMPLES * SAMPLES // 2) // (SAMPLES * SAMPLES)
            row.append((colour[2], colour[1], colour[0], alpha))
        rows.append(row)
    return rows


def image(size):
    """One icon image: BITMAPINFOHEADER, the colour rows bottom-up, the mask."""
    rows = pixels(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes(p) for row in reversed(rows) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for px, p in enumerate(row):
            if p[3] == 0:
                line[px // 8] |= 0x80 >> (px % 8)
        mask += bytes(line)
    return header + colour + mask


def main():
    images = [image(size) for size in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in zip(SIZES, images):
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "moon.ico")
    with open(path, "wb") as out:
        out.write(directory + entries + b"".join(images))


if __name__ == "__main__":
    main()
