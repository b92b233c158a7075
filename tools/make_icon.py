#!/usr/bin/env python3
"""Draw the application icon and write it as res/app.ico.

Usage (from the repository root):  python3 tools/make_icon.py [out]

The picture is an open yellow folder with a sheet (holding a small
picture and a line of text) rising out of it, and a green arrow
pointing up and out: files being pulled out of a cache.

Only the standard library is used so the icon can be rebuilt on any
machine with Python 3, and the output is byte-for-byte reproducible so
the checked-in file never changes without a reason.

Every image is stored as a classic DIB (BITMAPINFOHEADER + XOR bitmap +
AND mask) because Windows XP cannot decode PNG-compressed icon images.
"""

import math
import os
import struct
import sys

# Each pixel is split into SS x SS samples; edges then come out smooth
# without needing analytic coverage for every primitive.
SS = 4

# Design space: all shapes of the detailed drawing are placed on a
# 128 x 128 grid and scaled to the target size.
DESIGN = 128.0


# ---------------------------------------------------------------------------
# Signed distance primitives (negative inside).  Distances let one shape
# definition yield both its fill and its outline, and let the rasteriser
# skip supersampling wherever a pixel is clearly inside or outside.
# ---------------------------------------------------------------------------

def sd_round_box(x0, y0, x1, y1, r=0.0):
    cx, cy = (x0 + x1) * 0.5, (y0 + y1) * 0.5
    hx, hy = (x1 - x0) * 0.5 - r, (y1 - y0) * 0.5 - r

    def f(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        ox, oy = max(qx, 0.0), max(qy, 0.0)
        return math.hypot(ox, oy) + min(max(qx, qy), 0.0) - r
    return f, (x0, y0, x1, y1)


def sd_polygon(pts, r=0.0):
    """Polygon rounded by r (the polygon grows outward by r)."""
    n = len(pts)

    def f(x, y):
        d = float("inf")
        s = 1.0
        j = n - 1
        for i in range(n):
            xi, yi = pts[i]
            xj, yj = pts[j]
            ex, ey = xj - xi, yj - yi
            wx, wy = x - xi, y - yi
            ee = ex * ex + ey * ey
            t = (wx * ex + wy * ey) / ee if ee else 0.0
            t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
            bx, by = wx - ex * t, wy - ey * t
            dd = bx * bx + by * by
            if dd < d:
                d = dd
            c1 = y >= yi
            c2 = y < yj
            c3 = ex * wy > ey * wx
            if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
                s = -s
            j = i
        return s * math.sqrt(d) - r
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return f, (min(xs) - r, min(ys) - r, max(xs) + r, max(ys) + r)


def sd_circle(cx, cy, rad):
    def f(x, y):
        return math.hypot(x - cx, y - cy) - rad
    return f, (cx - rad, cy - rad, cx + rad, cy + rad)


def sd_union(*shapes):
    fs = [s[0] for s in shapes]

    def f(x, y):
        return min(g(x, y) for g in fs)
    bx = [s[1] for s in shapes]
    return f, (min(b[0] for b in bx), min(b[1] for b in bx),
               max(b[2] for b in bx), max(b[3] for b in bx))


def sd_intersect(a, b):
    fa, fb = a[0], b[0]

    def f(x, y):
        return max(fa(x, y), fb(x, y))
    ba, bb = a[1], b[1]
    return f, (max(ba[0], bb[0]), max(ba[1], bb[1]),
               min(ba[2], bb[2]), min(ba[3], bb[3]))


def rotated(shape, cx, cy, degrees):
    """Rotate a shape about (cx, cy); distances are preserved."""
    f, (x0, y0, x1, y1) = shape
    a = math.radians(degrees)
    ca, sa = math.cos(a), math.sin(a)

    def g(x, y):
        dx, dy = x - cx, y - cy
        return f(cx + dx * ca + dy * sa, cy - dx * sa + dy * ca)
    corners = [(x0, y0), (x1, y0), (x0, y1), (x1, y1)]
    xs, ys = [], []
    for px, py in corners:
        dx, dy = px - cx, py - cy
        xs.append(cx + dx * ca - dy * sa)
        ys.append(cy + dx * sa + dy * ca)
    return g, (min(xs), min(ys), max(xs), max(ys))


# ---------------------------------------------------------------------------
# Paints: callables (x, y) -> (r, g, b) in 0..1, x/y in design units.
# ---------------------------------------------------------------------------

def hexrgb(h):
    h = h.lstrip("#")
    return tuple(int(h[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


def solid(colour):
    c = hexrgb(colour)
    return lambda x, y: c


def linear(x0, y0, c0, x1, y1, c1):
    a, b = hexrgb(c0), hexrgb(c1)
    dx, dy = x1 - x0, y1 - y0
    ll = dx * dx + dy * dy

    def p(x, y):
        t = ((x - x0) * dx + (y - y0) * dy) / ll
        t = 0.0 if t < 0.0 else (1.0 if t > 1.0 else t)
        return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))
    return p


# ---------------------------------------------------------------------------
# Rasteriser
# ---------------------------------------------------------------------------

class Canvas:
    """Premultiplied RGBA float canvas of size x size pixels."""

    def __init__(self, size, design=DESIGN):
        self.size = size
        self.scale = size / design          # pixels per design unit
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]
        step = 1.0 / SS
        self.offsets = [((i + 0.5) * step, (j + 0.5) * step)
                        for j in range(SS) for i in range(SS)]

    def draw(self, shape, paint, alpha=1.0, outline=None, outline_px=0.0,
             outline_alpha=0.8):
        """Fill a shape, optionally over a soft outline ring around it.

        The ring is drawn beneath the fill so that where shapes overlap
        the later one is separated from the earlier one by a dark line,
        which keeps the parts readable at small sizes and gives contrast
        against both light and dark desktops.
        """
        f, (bx0, by0, bx1, by1) = shape
        s = self.scale
        grow = outline_px if outline else 0.0
        n = self.size
        ix0 = max(0, int(math.floor(bx0 * s - grow - 1)))
        iy0 = max(0, int(math.floor(by0 * s - grow - 1)))
        ix1 = min(n, int(math.ceil(bx1 * s + grow + 1)))
        iy1 = min(n, int(math.ceil(by1 * s + grow + 1)))
        ocol = hexrgb(outline) if outline else None
        # A pixel whose centre is further than this from an edge is
        # uniformly covered, so it needs no supersampling.
        half_diag = 0.7072
        inv = 1.0 / s
        nsamp = float(len(self.offsets))
        for py in range(iy0, iy1):
            for px in range(ix0, ix1):
                cxp, cyp = (px + 0.5) * inv, (py + 0.5) * inv
                d = f(cxp, cyp) * s             # distance in pixels
                if d - grow > half_diag:
                    continue
                if d < -half_diag:
                    cf = 1.0
                elif d > half_diag:
                    cf = 0.0
                else:
                    hits = 0
                    for ox, oy in self.offsets:
                        if f((px + ox) * inv, (py + oy) * inv) < 0.0:
                            hits += 1
                    cf = hits / nsamp
                co = 0.0
                if ocol is not None:
                    dg = d - grow
                    if dg < -half_diag:
                        co = 1.0
                    else:
                        hits = 0
                        for ox, oy in self.offsets:
                            if f((px + ox) * inv, (py + oy) * inv) * s < grow:
                                hits += 1
                        co = hits / nsamp
                dst = self.px[py * n + px]
                if co > 0.0:
                    self._over(dst, ocol, co * outline_alpha)
                if cf > 0.0:
                    self._over(dst, paint(cxp, cyp), cf * alpha)

    @staticmethod
    def _over(dst, rgb, a):
        k = 1.0 - a
        dst[0] = rgb[0] * a + dst[0] * k
        dst[1] = rgb[1] * a + dst[1] * k
        dst[2] = rgb[2] * a + dst[2] * k
        dst[3] = a + dst[3] * k

    def rgba8(self):
        """Straight (non-premultiplied) 8-bit RGBA rows, top row first."""
        out = []
        n = self.size
        for y in range(n):
            row = []
            for x in range(n):
                r, g, b, a = self.px[y * n + x]
                a8 = int(round(a * 255.0))
                if a8 == 0:
                    row.append((0, 0, 0, 0))
                    continue
                row.append((_u8(r / a), _u8(g / a), _u8(b / a), a8))
            out.append(row)
        return out


def _u8(v):
    v = int(round(v * 255.0))
    return 0 if v < 0 else (255 if v > 255 else v)


# ---------------------------------------------------------------------------
# The drawing
# ---------------------------------------------------------------------------

OUT_FOLDER = "#6b3d0c"
OUT_SHEET = "#3c4654"
OUT_ARROW = "#1d5220"


def draw_detailed(size):
    """Full drawing for 32 px and up, laid out on the 128 design grid."""
    c = Canvas(size)
    # Outlines stay about one pixel at small sizes but grow with the
    # image so the 128 px version does not look hairline-thin.
    ol = max(1.0, size / 44.0)

    # Back of the folder with its tab.
    back = sd_union(
        sd_round_box(8, 30, 116, 112, 7),
        sd_polygon([(12, 22), (44, 22), (54, 34), (12, 34)], 5),
    )
    c.draw(back, linear(0, 20, "#f0a53a", 0, 110, "#c8741c"),
           outline=OUT_FOLDER, outline_px=ol)

    # The sheet rising out of the folder, leaning slightly so it reads
    # as moving rather than just filed away.  At 32 px a slanted sheet
    # only blurs its outline, so it stands upright there.
    sx0, sy0, sx1, sy1 = 34, 8, 94, 84
    fold = 14
    sheet_pts = [(sx0, sy0), (sx1 - fold, sy0), (sx1, sy0 + fold),
                 (sx1, sy1), (sx0, sy1)]
    pivot = ((sx0 + sx1) / 2.0, sy1)
    tilt = 8.0 if size >= 48 else 0.0
    sheet = rotated(sd_polygon(sheet_pts, 2), pivot[0], pivot[1], tilt)
    c.draw(sheet, linear(0, 8, "#ffffff", 0, 80, "#e6ebf2"),
           outline=OUT_SHEET, outline_px=ol)
    corner = rotated(sd_polygon([(sx1 - fold, sy0), (sx1 - fold, sy0 + fold),
                                 (sx1, sy0 + fold)], 1.5),
                     pivot[0], pivot[1], tilt)
    c.draw(corner, solid("#c9d2de"), outline=OUT_SHEET,
           outline_px=ol * 0.6, outline_alpha=0.6)

    # A small landscape picture on the sheet: caches are mostly media.
    pic = (sx0 + 8, sy0 + 9, sx1 - 18, sy0 + 32)
    frame = sd_round_box(pic[0], pic[1], pic[2], pic[3], 2)
    c.draw(rotated(frame, pivot[0], pivot[1], tilt),
           linear(0, pic[1], "#6cb8f0", 0, pic[3], "#bfe3ff"),
           outline="#2f5f8a", outline_px=ol * 0.6, outline_alpha=0.7)
    hill = sd_intersect(frame, sd_circle(pic[0] + 14, pic[3] + 14, 20))
    c.draw(rotated(hill, pivot[0], pivot[1], tilt), solid("#4caf50"))
    sun = sd_circle(pic[2] - 8, pic[1] + 8, 4.5)
    c.draw(rotated(sun, pivot[0], pivot[1], tilt), solid("#ffd54a"))

    # One text line between the picture and the folder edge, only where
    # it stays distinct; at 32 px it would just muddy the sheet.
    if size >= 48:
        line = sd_round_box(sx0 + 8, sy0 + 37, sx1 - 12, sy0 + 41, 2)
        c.draw(rotated(line, pivot[0], pivot[1], tilt), solid("#9aa8ba"))

    # Front flap of the folder, slanted like an opened folder.
    front = sd_polygon([(20, 56), (119, 56), (109, 115), (8, 115)], 5)
    c.draw(front, linear(0, 54, "#ffe27a", 0, 118, "#f5a524"),
           outline=OUT_FOLDER, outline_px=ol)
    if size >= 48:
        gloss = sd_polygon([(24, 60), (114, 60), (113.5, 63), (23.5, 63)], 1)
        c.draw(gloss, solid("#fff6c8"), alpha=0.75)

    # Green arrow pointing up and out of the folder.
    ax = 96.0
    arrow = sd_polygon([(ax, 60), (ax + 24, 86), (ax + 9, 86),
                        (ax + 9, 118), (ax - 9, 118), (ax - 9, 86),
                        (ax - 24, 86)], 2.5)
    c.draw(arrow, linear(ax - 20, 64, "#8ee07a", ax + 10, 120, "#2f9e3a"),
           outline=OUT_ARROW, outline_px=ol * 1.1, outline_alpha=0.9)
    return c


def draw_small():
    """Pixel-aligned 16 x 16 drawing: fewer parts, thicker shapes.

    Edges sit on whole pixels and outlines are exactly one pixel wide so
    nothing at this size turns into a grey smear.
    """
    c = Canvas(16, design=16.0)
    back = sd_union(sd_round_box(1, 4, 15, 14, 1),
                    sd_round_box(1, 2, 7, 5, 1))
    c.draw(back, linear(0, 3, "#f0a53a", 0, 14, "#c8741c"),
           outline=OUT_FOLDER, outline_px=1.0)
    sheet = sd_round_box(4, 1, 12, 10, 0)
    c.draw(sheet, solid("#ffffff"), outline=OUT_SHEET, outline_px=1.0)
    c.draw(sd_round_box(5, 2, 11, 4, 0), solid("#5aa6e0"))
    c.draw(sd_round_box(5, 3, 7, 4, 0), solid("#4caf50"))
    c.draw(sd_round_box(5, 5, 10, 6, 0), solid("#9aa8ba"))
    front = sd_polygon([(2, 7), (15, 7), (14, 14), (1, 14)], 0)
    c.draw(front, linear(0, 7, "#ffe27a", 0, 14, "#f5a524"),
           outline=OUT_FOLDER, outline_px=1.0)
    arrow = sd_polygon([(12, 6), (15, 9), (15, 10), (13, 10), (13, 15),
                        (11, 15), (11, 10), (9, 10), (9, 9)], 0)
    c.draw(arrow, solid("#3cb043"), outline=OUT_ARROW, outline_px=1.0,
           outline_alpha=0.95)
    return c


# ---------------------------------------------------------------------------
# ICO writer
# ---------------------------------------------------------------------------

def and_mask(rows, opaque):
    """1-bit mask, bottom-up, rows padded to 4 bytes; 1 = transparent."""
    n = len(rows)
    stride = ((n + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, p in enumerate(row):
            if not opaque(p):
                line[x >> 3] |= 0x80 >> (x & 7)
        out += line
    return bytes(out)


def dib(rows, bits):
    n = len(rows)
    xor = bytearray()
    if bits == 32:
        for row in reversed(rows):
            for r, g, b, a in row:
                xor += bytes((b, g, r, a))
        mask = and_mask(rows, lambda p: p[3] != 0)
    else:
        # Without an alpha channel the AND mask alone decides what is
        # transparent; half-covered edge pixels go to whichever side is
        # closer, and masked-out pixels must be black so the XOR step
        # leaves the desktop untouched.
        stride = (n * 3 + 3) & ~3
        solid_px = lambda p: p[3] >= 128
        for row in reversed(rows):
            line = bytearray()
            for p in row:
                if solid_px(p):
                    line += bytes((p[2], p[1], p[0]))
                else:
                    line += b"\0\0\0"
            line += bytes(stride - len(line))
            xor += line
        mask = and_mask(rows, solid_px)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + mask


def build_ico():
    images = [(128, 24), (64, 32), (48, 32), (32, 32), (16, 32)]
    blobs = []
    for size, bits in images:
        canvas = draw_small() if size == 16 else draw_detailed(size)
        blobs.append((size, bits, dib(canvas.rgba8(), bits)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for size, bits, blob in blobs:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1,
                           bits, len(blob), offset)
        offset += len(blob)
    for _, _, blob in blobs:
        out += blob
    return bytes(out)


def main(argv):
    out = argv[1] if len(argv) > 1 else os.path.join("res", "app.ico")
    data = build_ico()
    parent = os.path.dirname(out)
    if parent:
        os.makedirs(parent, exist_ok=True)
    with open(out, "wb") as fh:
        fh.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
