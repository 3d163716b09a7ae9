#!/usr/bin/env python3
"""Draws the picture of the please-wait window of the port scan (bitmap 310):
a thermometer beside a serial plug, 57 x 109 pixels, 16 colours.

    make_wait_bitmap.py OUT.bmp          writes it
    make_wait_bitmap.py --check FILE     exit 1 unless FILE is what it draws
"""
import struct
import sys

W, H = 57, 109
# The 16 standard VGA colours (blue, green, red, reserved).
PALETTE = [(0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
           (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0),
           (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255)]
BLACK, DARK_GREY, LIGHT_GREY, RED, WHITE, BLUE = 0, 8, 7, 9, 15, 12


def draw():
    px = [[LIGHT_GREY] * W for _ in range(H)]

    def rect(x0, y0, x1, y1, c):
        for y in range(max(0, y0), min(H, y1)):
            for x in range(max(0, x0), min(W, x1)):
                px[y][x] = c

    def disc(cx, cy, r, c):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                if 0 <= x < W and 0 <= y < H and (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    px[y][x] = c

    # Thermometer: tube with a scale, bulb at the bottom.
    rect(8, 6, 20, 88, BLACK)
    rect(10, 8, 18, 88, WHITE)
    disc(14, 94, 10, BLACK)
    disc(14, 94, 8, RED)
    rect(12, 40, 16, 92, RED)
    for y in range(14, 84, 8):
        rect(20, y, 25, y + 1, BLACK)
    # Serial plug: a trapezoid shell with two rows of pins, and its cable.
    for i, y in enumerate(range(30, 52)):
        inset = i // 6
        rect(30 + inset, y, 52 - inset, y + 1, DARK_GREY)
    for x in range(33, 50, 4):
        rect(x, 35, x + 2, 37, WHITE)
    for x in range(35, 48, 4):
        rect(x, 43, x + 2, 45, WHITE)
    rect(38, 52, 44, 60, BLACK)
    rect(40, 60, 42, 100, BLUE)
    return px


def bmp(px):
    row_bytes = ((W * 4 + 31) // 32) * 4
    rows = b""
    for y in range(H - 1, -1, -1):  # bottom-up
        row = bytearray(row_bytes)
        for x in range(W):
            row[x // 2] |= px[y][x] << (4 if x % 2 == 0 else 0)
        rows += bytes(row)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (b, g, r) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 4, 0, len(rows), 2835, 2835, 16, 0)
    offset = 14 + len(header) + len(palette)
    return struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset) + header + palette + rows


def main(argv):
    data = bmp(draw())
    if len(argv) == 3 and argv[1] == "--check":
        with open(argv[2], "rb") as f:
            return 0 if f.read() == data else 1
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
