#!/usr/bin/env python3
"""Draws the tool's icon and writes res/kzv.ico: eleven images from 16 to 256 pixels
(uncompressed up to 48, PNG above).

A blue rounded square with a large white "A" and a small amber "A": the two font schemes.
Shapes are signed distance functions, so every size is drawn anti-aliased from the same
drawing. Python standard library only; the output is deterministic.
Run: python3 res/make_icon.py
"""

import math
import os
import struct
import zlib

SIZES = (16, 20, 24, 32, 40, 48, 64, 96, 128, 192, 256)
TOP = (66, 133, 244)
BOTTOM = (25, 72, 180)
WHITE = (255, 255, 255)
AMBER = (255, 193, 50)

# Strokes in unit coordinates: (x0, y0, x1, y1), with one half-width per letter.
BIG_A = ((0.12, 0.82, 0.33, 0.20), (0.33, 0.20, 0.54, 0.82), (0.20, 0.61, 0.46, 0.61))
SMALL_A = ((0.63, 0.82, 0.755, 0.47), (0.755, 0.47, 0.88, 0.82), (0.675, 0.70, 0.835, 0.70))


def segment_distance(px, py, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - x0 - t * dx, py - y0 - t * dy)


def strokes_distance(px, py, strokes, half_width):
    return min(segment_distance(px, py, *s) for s in strokes) - half_width


def rounded_square_distance(px, py, inset, radius):
    qx = abs(px - 0.5) - (0.5 - inset - radius)
    qy = abs(py - 0.5) - (0.5 - inset - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def coverage(distance, size):
    """Fraction of a pixel inside a shape, from the distance in unit coordinates."""
    return max(0.0, min(1.0, 0.5 - distance * size))


def blend(under, over, amount):
    return tuple(u + (o - u) * amount for u, o in zip(under, over))


def draw(size):
    rows = []
    for y in range(size):
        row = bytearray([0])  # PNG filter type: none
        py = (y + 0.5) / size
        for x in range(size):
            px = (x + 0.5) / size
            colour = blend(TOP, BOTTOM, py)
            # Keep the letters legible at the smallest sizes: strokes at least one pixel wide.
            colour = blend(colour, WHITE, coverage(
                strokes_distance(px, py, BIG_A, max(0.055, 0.6 / size)), size))
            colour = blend(colour, AMBER, coverage(
                strokes_distance(px, py, SMALL_A, max(0.04, 0.5 / size)), size))
            alpha = coverage(rounded_square_distance(px, py, 0.02, 0.2), size)
            row += bytes(round(c) for c in colour) + bytes([round(alpha * 255)])
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


def dib(size, pixels):
    """An uncompressed 32-bit icon image: loaders read it without a PNG decoder."""
    stride = 1 + 4 * size
    colour, mask = b"", b""
    mask_stride = (size + 31) // 32 * 4
    for y in reversed(range(size)):  # bottom-up rows
        row = pixels[y * stride + 1:(y + 1) * stride]
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            colour += bytes([b, g, r, a])
        bits = bytearray(mask_stride)
        for x in range(size):
            if row[4 * x + 3] == 0:  # transparent where the alpha is zero
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(colour + mask),
                         0, 0, 0, 0)
    return header + colour + mask


def ico(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image),
                               offset + len(data))
        data += image
    return directory + entries + data


def main():
    # Small sizes, the ones loaded at start, uncompressed; the large ones as PNG to keep the file small.
    images = [(size, (dib if size <= 48 else png)(size, draw(size))) for size in SIZES]
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "kzv.ico")
    with open(target, "wb") as out:
        out.write(ico(images))
    print(f"{target}: {len(images)} images")


if __name__ == "__main__":
    main()
