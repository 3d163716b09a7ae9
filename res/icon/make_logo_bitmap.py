#!/usr/bin/env python3
"""Draws the maker's logo of the About box (bitmap 148): "ORVEL" in white
block letters on a dark blue field with a red underline, 84 x 36 pixels,
24 bits.

    make_logo_bitmap.py OUT.bmp
"""
import struct
import sys

W, H = 84, 36
BLUE, WHITE, RED = (128, 48, 0), (255, 255, 255), (0, 0, 200)  # blue, green, red order
GLYPHS = {
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'V': ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
}


def draw():
    px = [[BLUE] * W for _ in range(H)]
    scale, x = 3, 4
    for ch in "ORVEL":
        for gy, row in enumerate(GLYPHS[ch]):
            for gx, bit in enumerate(row):
                if bit == "1":
                    for dy in range(scale - 1):
                        for dx in range(scale):
                            px[5 + gy * scale + dy][x + gx * scale + dx] = WHITE
        x += 16
    for y in range(28, 31):
        for xx in range(4, W - 4):
            px[y][xx] = RED
    return px


def bmp(px):
    stride = (W * 3 + 3) & ~3
    rows = b"".join(bytes(c for p in row for c in p) + b"\0" * (stride - W * 3) for row in reversed(px))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return header + info + rows


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(bmp(draw()))
