#!/usr/bin/env python3
"""Draws the shade-out's curve beside the straight ramp that came before it,
and writes fade-curve.png beside this script: on the left the player's
volume number over the fade, on the right the same as loudness in decibels
below the start, where the curve is a straight line (equal steps to the ear)
and the ramp falls off a cliff in its last moments. Both from volume 255.
The output is the same bytes on every run:  python3 docs/fade-curve.py
"""
import math
import os
import struct
import zlib

PANEL_W, PANEL_H = 300, 170       # each chart's plotting area, in pixels
MARGIN_L, MARGIN_T, MARGIN_B, GAP = 34, 14, 22, 46
FROM = 255
STEPS = 600

BACKGROUND = (255, 255, 255)
AXIS = (90, 90, 90)
GRID = (226, 226, 226)
CURVE = (36, 48, 170)             # the fade: blue
RAMP = (214, 120, 30)             # the straight ramp: orange
TEXT = (60, 60, 60)

# A 3x5 pixel font for the few labels the charts need.
GLYPHS = {
    "0": "111101101101111", "1": "010110010010111", "2": "111001111100111", "3": "111001111001111",
    "4": "101101111001001", "5": "111100111001111", "6": "111100111101111", "7": "111001001001001",
    "8": "111101111101111", "9": "111101111001111", "-": "000000111000000", " ": "000000000000000",
    "d": "001001111101111", "B": "110101110101110", "t": "010111010010011", "%": "101001010100101",
}


def curve(part):
    return max(1.0, FROM * 10 ** (-2 * part))


def ramp(part):
    # The former fade: one step down in the volume number every 19 ms.
    return max(1.0, FROM * (1 - part))


def decibels(volume):
    return 20 * math.log10(volume / FROM)


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.rows = [[BACKGROUND] * width for _ in range(height)]

    def dot(self, x, y, colour, size=1):
        for dy in range(size):
            for dx in range(size):
                px, py = int(x) + dx, int(y) + dy
                if 0 <= px < self.width and 0 <= py < self.height:
                    self.rows[py][px] = colour

    def line(self, x0, y0, x1, y1, colour, size=1):
        steps = int(max(abs(x1 - x0), abs(y1 - y0))) + 1
        for i in range(steps + 1):
            t = i / steps
            self.dot(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, colour, size)

    def text(self, x, y, words, colour=TEXT, scale=2):
        for n, char in enumerate(words):
            glyph = GLYPHS[char]
            for i, bit in enumerate(glyph):
                if bit == "1":
                    self.dot(x + (n * 4 + i % 3) * scale, y + (i // 3) * scale, colour, scale)

    def png(self):
        raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in self.rows)

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
                chunk(b"IEND", b""))


def chart(canvas, left, value, low, high, labels):
    """One chart: value(part) for part 0..1, from low to high on its axis."""
    top = MARGIN_T
    bottom = top + PANEL_H

    def y_of(v):
        return bottom - (v - low) / (high - low) * PANEL_H

    for quarter in range(5):
        x = left + quarter * PANEL_W / 4
        canvas.line(x, top, x, bottom, GRID)
    for v, label in labels:
        canvas.line(left, y_of(v), left + PANEL_W, y_of(v), GRID)
        canvas.text(left - 4 - len(label) * 8, y_of(v) - 5, label)
    canvas.line(left, top, left, bottom, AXIS)
    canvas.line(left, bottom, left + PANEL_W, bottom, AXIS)
    canvas.text(left - 2, bottom + 6, "0")
    canvas.text(left + PANEL_W - 26, bottom + 6, "100%")
    for shape, colour in ((ramp, RAMP), (curve, CURVE)):
        points = [(left + i / STEPS * PANEL_W, y_of(value(shape(i / STEPS)))) for i in range(STEPS + 1)]
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            canvas.line(x0, y0, x1, y1, colour, 2)


def main():
    width = MARGIN_L + PANEL_W + GAP + MARGIN_L + PANEL_W + 10
    canvas = Canvas(width, MARGIN_T + PANEL_H + MARGIN_B)
    chart(canvas, MARGIN_L, lambda v: v, 0, FROM, [(0, "0"), (128, "128"), (255, "255")])
    chart(canvas, MARGIN_L + PANEL_W + GAP + MARGIN_L, decibels, -48, 0,
          [(0, "0"), (-20, "-20"), (-40, "-40")])
    canvas.text(MARGIN_L + PANEL_W + GAP + MARGIN_L + PANEL_W - 20, MARGIN_T + 4, "dB")
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fade-curve.png")
    with open(path, "wb") as out:
        out.write(canvas.png())


if __name__ == "__main__":
    main()
