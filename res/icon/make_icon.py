#!/usr/bin/env python3
"""Draws the program's icon: a thermometer in front of a small display that
reads 23 degrees, in the colours of the display fields (pale orange screen,
dark brown digits) with a deep blue frame. Each size (16, 32, 48 and 256
pixels) has its own layout, so that the small ones stay sharp.

    python3 res/icon/make_icon.py [OUTPUT]          writes res/qm487.ico
    python3 res/icon/make_icon.py --check [ICON]    exit 1 if ICON differs

Standard library only. The shapes are signed distance functions, sampled
8 x 8 in the pixels their edges cross. 16, 32 and 48 are 32-bit DIB entries
with an AND mask, 256 is a PNG entry. The same script always gives the same
bytes; --check compares pixels too, as another zlib may pack them otherwise.
"""

import math
import os
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
SUPERSAMPLE = 8

# Colours, (red, green, blue) 0-255.
FRAME_TOP = (62, 110, 170)
FRAME_BOTTOM = (28, 60, 110)
FRAME_EDGE = (18, 38, 74)
SCREEN_TOP = (255, 241, 230)  # the mean field's pale orange...
SCREEN_BOTTOM = (255, 200, 164)  # ...down to channel 1's
DIGIT = (106, 35, 0)  # channel 1's text
GLASS_LEFT = (255, 255, 255)
GLASS_RIGHT = (214, 226, 244)
BORE = (226, 234, 246)
MERCURY_LEFT = (255, 138, 56)
MERCURY_RIGHT = (214, 52, 18)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


# --- Shapes: sdf(x, y) < 0 inside; never more than the true distance. ---

class Shape:
    bbox = (0.0, 0.0, 0.0, 0.0)  # x0, y0, x1, y1

    def sdf(self, x, y):
        raise NotImplementedError


class RoundRect(Shape):
    def __init__(self, x0, y0, x1, y1, r):
        self.bbox = (x0, y0, x1, y1)
        self.cx, self.cy = (x0 + x1) / 2, (y0 + y1) / 2
        self.hx, self.hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r
        self.r = r

    def sdf(self, x, y):
        qx = abs(x - self.cx) - self.hx
        qy = abs(y - self.cy) - self.hy
        ox, oy = max(qx, 0.0), max(qy, 0.0)
        return math.sqrt(ox * ox + oy * oy) + min(max(qx, qy), 0.0) - self.r


def Rect(x0, y0, x1, y1):
    return RoundRect(x0, y0, x1, y1, 0.0)


class Circle(Shape):
    def __init__(self, cx, cy, r):
        self.cx, self.cy, self.r = cx, cy, r
        self.bbox = (cx - r, cy - r, cx + r, cy + r)

    def sdf(self, x, y):
        dx, dy = x - self.cx, y - self.cy
        return math.sqrt(dx * dx + dy * dy) - self.r


class Capsule(Shape):
    """A vertical bar with round ends: the points within r of (cx, y0..y1)."""

    def __init__(self, cx, y0, y1, r):
        self.cx, self.y0, self.y1, self.r = cx, y0, y1, r
        self.bbox = (cx - r, y0 - r, cx + r, y1 + r)

    def sdf(self, x, y):
        dx = x - self.cx
        dy = y - min(max(y, self.y0), self.y1)
        return math.sqrt(dx * dx + dy * dy) - self.r


class Polygon(Shape):
    """A convex polygon, its corners in either order."""

    def __init__(self, points):
        area = sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]))
        turn = 1.0 if area > 0 else -1.0
        self.edges = []
        for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
            length = math.sqrt((x1 - x0) ** 2 + (y1 - y0) ** 2)
            nx, ny = turn * (y1 - y0) / length, -turn * (x1 - x0) / length  # outward
            self.edges.append((nx, ny, nx * x0 + ny * y0))
        xs, ys = [p[0] for p in points], [p[1] for p in points]
        self.bbox = (min(xs), min(ys), max(xs), max(ys))

    def sdf(self, x, y):
        return max(nx * x + ny * y - c for nx, ny, c in self.edges)


class Offset(Shape):
    """Grown by k (shrunk when k < 0)."""

    def __init__(self, shape, k):
        self.shape, self.k = shape, k
        x0, y0, x1, y1 = shape.bbox
        self.bbox = (x0 - k, y0 - k, x1 + k, y1 + k)

    def sdf(self, x, y):
        return self.shape.sdf(x, y) - self.k


class Stroke(Shape):
    """A band of width w along the outline, inside the shape."""

    def __init__(self, shape, w):
        self.shape, self.w = shape, w
        self.bbox = shape.bbox

    def sdf(self, x, y):
        d = self.shape.sdf(x, y)
        return max(d, -d - self.w)


class Union(Shape):
    def __init__(self, *shapes):
        self.shapes = shapes
        self.bbox = (min(s.bbox[0] for s in shapes), min(s.bbox[1] for s in shapes),
                     max(s.bbox[2] for s in shapes), max(s.bbox[3] for s in shapes))

    def sdf(self, x, y):
        return min(s.sdf(x, y) for s in self.shapes)


class Intersection(Shape):
    def __init__(self, a, b):
        self.a, self.b = a, b
        self.bbox = (max(a.bbox[0], b.bbox[0]), max(a.bbox[1], b.bbox[1]),
                     min(a.bbox[2], b.bbox[2]), min(a.bbox[3], b.bbox[3]))

    def sdf(self, x, y):
        return max(self.a.sdf(x, y), self.b.sdf(x, y))


class Moved(Shape):
    def __init__(self, shape, dx, dy):
        self.shape, self.dx, self.dy = shape, dx, dy
        x0, y0, x1, y1 = shape.bbox
        self.bbox = (x0 + dx, y0 + dy, x1 + dx, y1 + dy)

    def sdf(self, x, y):
        return self.shape.sdf(x - self.dx, y - self.dy)


# --- Canvas: premultiplied RGBA in floats, painted back to front. ---

class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]

    def _pixels(self, bbox, grow):
        x0, y0, x1, y1 = bbox
        i0 = max(0, int(math.floor(x0 - grow)))
        j0 = max(0, int(math.floor(y0 - grow)))
        i1 = min(self.size, int(math.ceil(x1 + grow)))
        j1 = min(self.size, int(math.ceil(y1 + grow)))
        for j in range(j0, j1):
            for i in range(i0, i1):
                yield i, j

    def coverage(self, shape):
        """Share of each pixel inside the shape."""
        step = 1.0 / SUPERSAMPLE
        offsets = [(k + 0.5) * step for k in range(SUPERSAMPLE)]
        for i, j in self._pixels(shape.bbox, 1.0):
            d = shape.sdf(i + 0.5, j + 0.5)
            if d >= 0.75:  # beyond half the pixel's diagonal: no sample can be inside
                continue
            if d <= -0.75:
                yield i, j, 1.0
                continue
            inside = 0
            for oy in offsets:
                for ox in offsets:
                    if shape.sdf(i + ox, j + oy) < 0.0:
                        inside += 1
            if inside:
                yield i, j, inside / (SUPERSAMPLE * SUPERSAMPLE)

    def blurred(self, shape, blur):
        """A soft-edged version of the shape, for shadows."""
        for i, j in self._pixels(shape.bbox, blur + 1.0):
            t = (blur - shape.sdf(i + 0.5, j + 0.5)) / (2.0 * blur)
            if t > 0.0:
                t = min(t, 1.0)
                yield i, j, t * t * (3.0 - 2.0 * t)

    def paint(self, cells, colour, opacity=1.0):
        """colour: (r, g, b) or a function (x, y) -> (r, g, b)."""
        fixed = None if callable(colour) else colour
        for i, j, cover in cells:
            r, g, b = fixed or colour(i + 0.5, j + 0.5)
            a = cover * opacity
            p = self.px[j * self.size + i]
            keep = 1.0 - a
            p[0] = r * a + p[0] * keep
            p[1] = g * a + p[1] * keep
            p[2] = b * a + p[2] * keep
            p[3] = a + p[3] * keep

    def fill(self, shape, colour, opacity=1.0):
        self.paint(self.coverage(shape), colour, opacity)

    def shadow(self, shape, blur, opacity):
        self.paint(self.blurred(shape, blur), BLACK, opacity)

    def rgba(self):
        """Straight-alpha RGBA bytes, rows top down."""
        out = bytearray()
        for r, g, b, a in self.px:
            if a <= 0.0:
                out += b"\0\0\0\0"
                continue
            alpha = min(255, int(a * 255.0 + 0.5))
            out += bytes(min(255, max(0, int(c / a + 0.5))) for c in (r, g, b))
            out.append(alpha)
        return bytes(out)


def vertical(y0, c0, y1, c1):
    def colour(x, y):
        t = min(max((y - y0) / (y1 - y0), 0.0), 1.0)
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))
    return colour


def horizontal(x0, c0, x1, c1):
    def colour(x, y):
        return vertical(x0, c0, x1, c1)(y, x)
    return colour


# --- The digits, as seven segments. ---

SEGMENTS = {"2": "abged", "3": "abgcd", "8": "abcdefg"}


def segment_shapes(digit, x, y, w, h, t, pointed, gap, skew):
    """Segments of one digit in the box (x, y, w, h), strokes t thick.
    pointed: bevelled ends with gaps between segments (a display's look);
    otherwise plain overlapping bars that land on whole pixels."""
    ym = y + h / 2
    if pointed:
        half = t / 2
        def bar_h(x0, x1, yc):
            x0, x1 = x0 + gap, x1 - gap
            return [(x0, yc), (x0 + half, yc - half), (x1 - half, yc - half),
                    (x1, yc), (x1 - half, yc + half), (x0 + half, yc + half)]
        def bar_v(xc, y0, y1):
            y0, y1 = y0 + gap, y1 - gap
            return [(xc, y0), (xc + half, y0 + half), (xc + half, y1 - half),
                    (xc, y1), (xc - half, y1 - half), (xc - half, y0 + half)]
        xl, xr, yt, yb = x + half, x + w - half, y + half, y + h - half
        parts = {
            "a": bar_h(xl, xr, yt), "g": bar_h(xl, xr, ym), "d": bar_h(xl, xr, yb),
            "f": bar_v(xl, yt, ym), "b": bar_v(xr, yt, ym),
            "e": bar_v(xl, ym, yb), "c": bar_v(xr, ym, yb),
        }
    else:
        def box(x0, y0, x1, y1):
            return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]
        x1, y1 = x + w, y + h
        parts = {
            "a": box(x, y, x1, y + t), "g": box(x, ym - t / 2, x1, ym + t / 2), "d": box(x, y1 - t, x1, y1),
            "f": box(x, y, x + t, ym + t / 2), "b": box(x1 - t, y, x1, ym + t / 2),
            "e": box(x, ym - t / 2, x + t, y1), "c": box(x1 - t, ym - t / 2, x1, y1),
        }
    shapes = []
    for name in SEGMENTS[digit]:
        # Leaning forward, about the middle line, like a display's digits.
        points = [(px + skew * (ym - py), py) for px, py in parts[name]]
        shapes.append(Polygon(points))
    return shapes


# --- Layouts, one per size, in that size's pixels. ---

LAYOUTS = {
    256: dict(
        panel=(62, 60, 250, 208), radius=26, frame=15, screen_radius=11, edge=3.0,
        shadow=(0, 6, 9, 0.32),
        digits=dict(x=(106, 160), y=88, w=44, h=92, t=13, pointed=True, gap=1.5, skew=0.08, ghost=0.07),
        degree=(224, 100, 9.5, 5.5),  # a ring: centre, radius, width
        tube=dict(cx=52, top=24, r=22, bulb_y=206, bulb_r=38, outline=6, bulb_gap=6, bore=8, level=104,
                  ticks=(50, 72, 94, 116, 138, 160), tick=(62, 70, 4),
                  shine=(40, 34, 168, 3.5), bulb_shine=(38, 192, 8), shadow=(4, 6, 8, 0.30)),
    ),
    48: dict(
        panel=(12, 11, 47, 39), radius=5, frame=3, screen_radius=2, edge=1.0,
        shadow=(0, 1, 1.5, 0.30),
        digits=dict(x=(20, 30), y=18, w=8, h=14, t=2, pointed=False, gap=0, skew=0, ghost=0),
        degree=(40, 18, 43, 21, 1),
        tube=dict(cx=9.5, top=4.5, r=4.5, bulb_y=38.5, bulb_r=7.5, outline=1.25, bulb_gap=1.25, bore=1.5, level=19,
                  ticks=(10, 14, 18, 22, 26), tick=(12, 13.5, 1.0),
                  shine=(7.5, 6, 31, 0.75), bulb_shine=(7, 36, 1.5), shadow=(0.5, 1, 1.5, 0.28)),
    ),
    32: dict(
        panel=(8, 7, 32, 27), radius=3.5, frame=2, screen_radius=1, edge=1.0,
        shadow=None,
        digits=dict(x=(12, 19), y=11, w=5, h=12, t=2, pointed=False, gap=0, skew=0, ghost=0),
        degree=(26, 11, 29, 14, 1),
        tube=dict(cx=5, top=3, r=3, bulb_y=26, bulb_r=4, outline=1, bulb_gap=0, bore=1, level=13,
                  ticks=(), tick=None, shine=(3.5, 3.5, 21, 0.5), bulb_shine=None, shadow=None),
    ),
    16: dict(
        panel=(5, 4, 16, 13), radius=1, frame=1, screen_radius=0, edge=0,
        shadow=None,
        digits=dict(x=(7, 11), y=6, w=3, h=5, t=1, pointed=False, gap=0, skew=0, ghost=0),
        degree=None,
        tube=dict(cx=2.5, top=1.5, r=1.5, bulb_y=12.5, bulb_r=2.5, outline=1, bulb_gap=0, bore=0.5, level=6,
                  ticks=(), tick=None, shine=None, bulb_shine=None, shadow=None),
    ),
}


def draw(size):
    L = LAYOUTS[size]
    c = Canvas(size)
    x0, y0, x1, y1 = L["panel"]
    panel = RoundRect(x0, y0, x1, y1, L["radius"])

    # The display: a blue frame round a pale orange screen.
    if L["shadow"]:
        dx, dy, blur, opacity = L["shadow"]
        c.shadow(Moved(panel, dx, dy), blur, opacity)
    c.fill(panel, vertical(y0, FRAME_TOP, y1, FRAME_BOTTOM))
    if L["edge"]:
        c.fill(Stroke(panel, L["edge"] * 0.5), FRAME_EDGE, 0.8)
    f = L["frame"]
    screen = RoundRect(x0 + f, y0 + f, x1 - f, y1 - f, L["screen_radius"])
    c.fill(screen, vertical(y0 + f, SCREEN_TOP, y1 - f, SCREEN_BOTTOM))
    if L["edge"]:
        # The screen sits below the frame: a shade along its top.
        shade = Intersection(Stroke(screen, L["edge"]), Rect(x0, y0, x1, y0 + f + L["edge"]))
        c.fill(shade, FRAME_EDGE, 0.35)

    # Reading "23" and a degree sign.
    D = L["digits"]
    for ch, dx in zip("23", D["x"]):
        if D["ghost"]:
            for seg in segment_shapes("8", dx, D["y"], D["w"], D["h"], D["t"], D["pointed"], D["gap"], D["skew"]):
                c.fill(seg, DIGIT, D["ghost"])
        for seg in segment_shapes(ch, dx, D["y"], D["w"], D["h"], D["t"], D["pointed"], D["gap"], D["skew"]):
            c.fill(seg, DIGIT)
    if L["degree"] and len(L["degree"]) == 4:
        cx, cy, r, w = L["degree"]
        c.fill(Stroke(Circle(cx, cy, r), w), DIGIT)
    elif L["degree"]:  # small sizes: a square ring on whole pixels
        rx0, ry0, rx1, ry1, w = L["degree"]
        c.fill(Stroke(Rect(rx0, ry0, rx1, ry1), w), DIGIT)

    # The thermometer, in front of the display's left edge.
    T = L["tube"]
    glass = Union(Capsule(T["cx"], T["top"], T["bulb_y"], T["r"]), Circle(T["cx"], T["bulb_y"], T["bulb_r"]))
    if T["shadow"]:
        dx, dy, blur, opacity = T["shadow"]
        c.shadow(Moved(glass, dx, dy), blur, opacity)
    left, right = T["cx"] - T["bulb_r"], T["cx"] + T["bulb_r"]
    c.fill(glass, horizontal(left, GLASS_LEFT, right, GLASS_RIGHT))
    c.fill(Capsule(T["cx"], T["top"], T["bulb_y"], T["bore"]), BORE)
    mercury = Union(Capsule(T["cx"], T["level"], T["bulb_y"], T["bore"]),
                    Circle(T["cx"], T["bulb_y"], T["bulb_r"] - T["outline"] - T["bulb_gap"]))
    c.fill(mercury, horizontal(left, MERCURY_LEFT, right, MERCURY_RIGHT))
    if T["tick"]:
        tx0, tx1, tw = T["tick"]
        for ty in T["ticks"]:
            c.fill(Rect(tx0, ty - tw / 2, tx1, ty + tw / 2), FRAME_EDGE, 0.85)
    if T["shine"]:
        sx, sy0, sy1, sr = T["shine"]
        c.fill(Capsule(sx, sy0, sy1, sr), WHITE, 0.85)
    if T["bulb_shine"]:
        bx, by, br = T["bulb_shine"]
        c.fill(Circle(bx, by, br), WHITE, 0.55)
    c.fill(Stroke(glass, T["outline"]), FRAME_EDGE)
    return c.rgba()


# --- Icon file. ---

def png(size, rgba):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    stride = size * 4
    raw = bytearray()
    previous = bytes(stride)
    for y in range(size):
        row = rgba[y * stride:(y + 1) * stride]
        # Of the five filters, the one with the smallest sum of (signed) bytes.
        best = None
        for kind in range(5):
            line = png_filter(kind, row, previous)
            score = sum(v if v < 128 else 256 - v for v in line)
            if best is None or score < best[0]:
                best = (score, kind, line)
        raw.append(best[1])
        raw += best[2]
        previous = row
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def png_filter(kind, row, previous):
    out = bytearray(len(row))
    for i, v in enumerate(row):
        a = row[i - 4] if i >= 4 else 0
        b = previous[i]
        c = previous[i - 4] if i >= 4 else 0
        if kind == 0:
            p = 0
        elif kind == 1:
            p = a
        elif kind == 2:
            p = b
        elif kind == 3:
            p = (a + b) // 2
        else:
            pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
            p = a if pa <= pb and pa <= pc else b if pb <= pc else c
        out[i] = (v - p) & 0xFF
    return bytes(out)


def dib(size, rgba):
    """BITMAPINFOHEADER (height doubled for the mask), BGRA rows bottom up,
    then the AND mask: 1 where the pixel is mostly transparent."""
    mask_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        row = rgba[y * size * 4:(y + 1) * size * 4]
        bits = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = row[x * 4:x * 4 + 4]
            pixels += bytes((b, g, r, a))
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + bytes(mask)


def icon(images):
    """images: (size, entry bytes) in order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def build():
    images = []
    for size in SIZES:
        rgba = draw(size)
        images.append((size, png(size, rgba) if size >= 256 else dib(size, rgba)))
    return icon(images)


def entries(data):
    """(size, bytes) of each image in an icon file; PNG images decoded to their filtered rows."""
    count = struct.unpack_from("<H", data, 4)[0]
    result = []
    for k in range(count):
        w, _, _, _, _, _, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * k)
        image = data[offset:offset + length]
        if image.startswith(b"\x89PNG"):
            pos, idat = 8, b""
            while pos < len(image):
                n = struct.unpack_from(">I", image, pos)[0]
                if image[pos + 4:pos + 8] == b"IDAT":
                    idat += image[pos + 8:pos + 8 + n]
                pos += 12 + n
            image = zlib.decompress(idat)
        result.append((w or 256, image))
    return result


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    default = os.path.join(here, "..", "qm487.ico")
    args = argv[1:]
    check = bool(args) and args[0] == "--check"
    if check:
        args = args[1:]
    if len(args) > 1 or any(a.startswith("-") for a in args):
        sys.stderr.write(__doc__)
        return 2
    path = args[0] if args else default
    data = build()
    if check:
        try:
            with open(path, "rb") as f:
                kept = f.read()
        except OSError as e:
            sys.stderr.write("make_icon: %s\n" % e)
            return 1
        try:
            same = kept == data or entries(kept) == entries(data)
        except (struct.error, zlib.error, IndexError):
            same = False  # not an icon file this script could have written
        if same:
            return 0
        sys.stderr.write("make_icon: %s is not what this script draws; run it again\n" % path)
        return 1
    with open(path, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
