#!/usr/bin/env python3
"""Draws the program's icons, bitmaps and cursor and writes them into src/resources/.

Standard library only. Shapes are closed polygons filled with the non-zero rule by a small
scan-line rasteriser (exact horizontal coverage, several sub-rows per pixel); every small size
is laid out on its own pixel grid so that edges stay sharp.

Usage: tools/make_resources.py   (the output is committed; run it again after changing a drawing)
"""

import argparse
import math
import os
import struct
import zlib

OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "resources")

# ---------------------------------------------------------------------------------------------
# Geometry


def orient(points, positive=True):
    area = 0.0
    for i, (xa, ya) in enumerate(points):
        xb, yb = points[(i + 1) % len(points)]
        area += xa * yb - xb * ya
    if (area > 0) != positive:
        return list(reversed(points))
    return list(points)


def rect(x0, y0, x1, y1):
    return [orient([(x0, y0), (x1, y0), (x1, y1), (x0, y1)])]


def arc(cx, cy, rx, ry, a0, a1, steps):
    return [(cx + rx * math.cos(a0 + (a1 - a0) * i / steps),
             cy + ry * math.sin(a0 + (a1 - a0) * i / steps)) for i in range(steps + 1)]


def rounded_rect(x0, y0, x1, y1, r):
    if r <= 0:
        return rect(x0, y0, x1, y1)
    n = max(3, int(r * 3))
    pts = []
    pts += arc(x1 - r, y0 + r, r, r, -math.pi / 2, 0, n)
    pts += arc(x1 - r, y1 - r, r, r, 0, math.pi / 2, n)
    pts += arc(x0 + r, y1 - r, r, r, math.pi / 2, math.pi, n)
    pts += arc(x0 + r, y0 + r, r, r, math.pi, 3 * math.pi / 2, n)
    return [orient(pts)]


def ellipse(cx, cy, rx, ry):
    n = max(24, int((rx + ry) * 3))
    return [orient(arc(cx, cy, rx, ry, 0, 2 * math.pi, n)[:-1])]


def ring(outer, inner):
    """Outer contours with the inner ones cut out (non-zero rule: holes run the other way)."""
    return [orient(c) for c in outer] + [orient(c, False) for c in inner]


def quad_bezier(p0, p1, p2, steps):
    return [((1 - t) ** 2 * p0[0] + 2 * (1 - t) * t * p1[0] + t * t * p2[0],
             (1 - t) ** 2 * p0[1] + 2 * (1 - t) * t * p1[1] + t * t * p2[1])
            for t in (i / steps for i in range(1, steps + 1))]


def shield(x0, y0, x1, y1):
    """Heater shield: a slightly raised top edge, straight flanks, a curved point below."""
    w, h = x1 - x0, y1 - y0
    n = max(6, int(h))
    top = (x0 + w / 2, y0)
    right_top = (x1, y0 + 0.14 * h)
    right_mid = (x1, y0 + 0.50 * h)
    bottom = (x0 + w / 2, y1)
    left_mid = (x0, y0 + 0.50 * h)
    left_top = (x0, y0 + 0.14 * h)
    pts = [top, right_top, right_mid]
    pts += quad_bezier(right_mid, (x1, y0 + 0.86 * h), bottom, n)
    pts += quad_bezier(bottom, (x0, y0 + 0.86 * h), left_mid, n)
    pts += [left_top]
    return [orient(pts)]


def inset(contours, d):
    """Moves every edge of a convex contour inwards by d (mitred corners)."""
    out = []
    for pts in contours:
        pts = orient(pts)
        n = len(pts)
        lines = []
        for i in range(n):
            (xa, ya), (xb, yb) = pts[i], pts[(i + 1) % n]
            length = math.hypot(xb - xa, yb - ya)
            if length < 1e-9:
                continue
            # With the orientation orient() gives, (-dy, dx) points into the shape.
            nx, ny = -(yb - ya) / length, (xb - xa) / length
            lines.append(((xa + nx * d, ya + ny * d), (xb - xa, yb - ya)))
        res = []
        m = len(lines)
        for i in range(m):
            (p, u), (q, v) = lines[i - 1], lines[i]
            den = u[0] * v[1] - u[1] * v[0]
            if abs(den) < 1e-9:
                res.append(q)
                continue
            t = ((q[0] - p[0]) * v[1] - (q[1] - p[1]) * v[0]) / den
            res.append((p[0] + u[0] * t, p[1] + u[1] * t))
        out.append(res)
    return out


def stroke(points, width, caps=True):
    """A thick polyline as the union of one quad per segment and round joins."""
    r = width / 2
    out = []
    for (xa, ya), (xb, yb) in zip(points, points[1:]):
        length = math.hypot(xb - xa, yb - ya)
        nx, ny = -(yb - ya) / length * r, (xb - xa) / length * r
        out.append(orient([(xa + nx, ya + ny), (xb + nx, yb + ny), (xb - nx, yb - ny),
                           (xa - nx, ya - ny)]))
    joins = points if caps else points[1:-1]
    for x, y in joins:
        out += ellipse(x, y, r, r)
    return out


def translate(contours, dx, dy):
    return [[(x + dx, y + dy) for x, y in c] for c in contours]


# ---------------------------------------------------------------------------------------------
# Raster


def coverage(contours, w, h, sub=8):
    edges = []
    for pts in contours:
        for i, (xa, ya) in enumerate(pts):
            xb, yb = pts[(i + 1) % len(pts)]
            if ya == yb:
                continue
            d = 1 if yb > ya else -1
            if ya > yb:
                xa, ya, xb, yb = xb, yb, xa, ya
            edges.append((ya, yb, xa, (xb - xa) / (yb - ya), d))
    cov = [0.0] * (w * h)
    if not edges:
        return cov
    top = max(0, int(math.floor(min(e[0] for e in edges))))
    bottom = min(h, int(math.ceil(max(e[1] for e in edges))))
    for py in range(top, bottom):
        row = [0.0] * (w + 1)
        for s in range(sub):
            y = py + (s + 0.5) / sub
            xs = sorted((xa + (y - ya) * k, d) for ya, yb, xa, k, d in edges if ya <= y < yb)
            winding = 0
            start = 0.0
            for x, d in xs:
                before = winding
                winding += d
                if before == 0 and winding != 0:
                    start = x
                elif before != 0 and winding == 0:
                    a, b = max(0.0, start), min(float(w), x)
                    if b <= a:
                        continue
                    ia, ib = int(a), int(b)
                    if ia == ib:
                        row[ia] += b - a
                    else:
                        row[ia] += ia + 1 - a
                        for i in range(ia + 1, ib):
                            row[i] += 1.0
                        row[ib] += b - ib
        base = py * w
        for px in range(w):
            if row[px]:
                cov[base + px] = min(1.0, row[px] / sub)
    return cov


def lerp(c0, c1, t):
    t = min(1.0, max(0.0, t))
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def hexc(text, alpha=255):
    text = text.lstrip("#")
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16), alpha)


def vgrad(y0, y1, c0, c1):
    return lambda x, y: lerp(c0, c1, (y - y0) / max(1e-9, y1 - y0))


class Canvas:
    """Premultiplied RGBA in 0..1. `hard` paints whole pixels only (for 16-colour images)."""

    def __init__(self, w, h, hard=False):
        self.w, self.h, self.hard = w, h, hard
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(w * h)]

    def _cov(self, contours):
        cov = coverage(contours, self.w, self.h)
        if self.hard:
            cov = [1.0 if c >= 0.5 else 0.0 for c in cov]
        return cov

    def fill(self, contours, colour):
        cov = self._cov(contours)
        for i, c in enumerate(cov):
            if c <= 0:
                continue
            col = colour(i % self.w + 0.5, i // self.w + 0.5) if callable(colour) else colour
            a = col[3] / 255 * c
            p = self.px[i]
            for k in range(3):
                p[k] = col[k] / 255 * a + p[k] * (1 - a)
            p[3] = a + p[3] * (1 - a)

    def erase(self, contours):
        for i, c in enumerate(self._cov(contours)):
            if c > 0:
                self.px[i] = [v * (1 - c) for v in self.px[i]]

    def shadow(self, contours, dx, dy, radius, alpha):
        """A soft dark copy of the shape, offset and blurred, painted under what is there."""
        cov = coverage(translate(contours, dx, dy), self.w, self.h)
        for _ in range(3):
            cov = box_blur(cov, self.w, self.h, radius)
        for i, c in enumerate(cov):
            a = c * alpha
            if a <= 0:
                continue
            p = self.px[i]
            # Under: the existing pixel stays on top.
            p[3] = p[3] + a * (1 - p[3])

    def rgba(self):
        """Straight (not premultiplied) 8-bit RGBA rows, top row first."""
        rows = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                if a <= 1e-6:
                    row.append((0, 0, 0, 0))
                    continue
                row.append(tuple(min(255, int(round(v / a * 255))) for v in (r, g, b)) +
                           (min(255, int(round(a * 255))),))
            rows.append(row)
        return rows


def box_blur(cov, w, h, radius):
    r = max(1, int(radius))
    out = [0.0] * (w * h)
    for y in range(h):
        for x in range(w):
            lo, hi = max(0, x - r), min(w - 1, x + r)
            out[y * w + x] = sum(cov[y * w + lo:y * w + hi + 1]) / (2 * r + 1)
    res = [0.0] * (w * h)
    for x in range(w):
        col = [out[y * w + x] for y in range(h)]
        for y in range(h):
            lo, hi = max(0, y - r), min(h - 1, y + r)
            res[y * w + x] = sum(col[lo:hi + 1]) / (2 * r + 1)
    return res


# ---------------------------------------------------------------------------------------------
# Drawings


ON = {
    "frame": hexc("1d4e89"), "title0": hexc("5a9be6"), "title1": hexc("2c69b8"),
    "page": hexc("ffffff"), "line": hexc("c3d3e6"), "dot": hexc("ffffff", 210),
    "edge": hexc("135c27"), "fill0": hexc("4cc566"), "fill1": hexc("1b8a3a"),
    "mark": hexc("ffffff"), "symbol": "check",
}
OFF = {
    "frame": hexc("62676e"), "title0": hexc("b4b9bf"), "title1": hexc("8d939a"),
    "page": hexc("f4f4f4"), "line": hexc("d6d9dc"), "dot": hexc("ffffff", 190),
    "edge": hexc("5b6168"), "fill0": hexc("c3c8cd"), "fill1": hexc("949aa1"),
    "mark": hexc("d42a1f"), "symbol": "slash",
}

# Per-size layouts of the emblem (browser window with a shield in front of its lower right
# corner), in pixels of that size. window: x0, y0, x1, y1, corner radius, frame width, title
# bar height; shield: x0, y0, x1, y1, edge width; mark: stroke width; gap: clearance cut
# around the shield; lines: number of text lines drawn on the page.
LAYOUTS = {
    16: dict(window=(0, 1, 14, 13, 1.5, 1, 4), shield=(6, 5, 16, 16, 1), mark=1.9, gap=1,
             lines=0, dots=0),
    20: dict(window=(0, 1, 18, 16, 2, 1, 5), shield=(8, 6, 20, 20, 1), mark=2.2, gap=1,
             lines=1, dots=0),
    24: dict(window=(0, 2, 22, 19, 2, 1, 5), shield=(10, 8, 24, 24, 1), mark=2.6, gap=1,
             lines=1, dots=0),
    32: dict(window=(0, 3, 29, 25, 3, 1, 6), shield=(13, 10, 32, 32, 1.25), mark=3.2,
             gap=1.25, lines=2, dots=3),
    40: dict(window=(1, 4, 36, 31, 3.5, 1.5, 8), shield=(17, 13, 40, 40, 1.5), mark=4.0,
             gap=1.5, lines=2, dots=3),
    48: dict(window=(1, 4, 44, 37, 4, 1.5, 9), shield=(20, 15, 48, 47, 1.5), mark=4.6,
             gap=1.75, lines=3, dots=3),
}


def scaled_layout(size):
    base = LAYOUTS[48]
    k = size / 48
    wx0, wy0, wx1, wy1, r, fw, tb = base["window"]
    sx0, sy0, sx1, sy1, ew = base["shield"]
    return dict(window=(wx0 * k, wy0 * k, wx1 * k, wy1 * k, r * k, fw * k, tb * k),
                shield=(sx0 * k, sy0 * k, sx1 * k, sy1 * k, ew * k), mark=base["mark"] * k,
                gap=base["gap"] * k, lines=3, dots=3)


def draw_emblem(canvas, size, pal, ox=0.0, oy=0.0, shadow=False):
    lay = LAYOUTS.get(size) or scaled_layout(size)
    wx0, wy0, wx1, wy1, r, fw, tb = lay["window"]
    sx0, sy0, sx1, sy1, ew = lay["shield"]
    wx0, wx1, sx0, sx1 = wx0 + ox, wx1 + ox, sx0 + ox, sx1 + ox
    wy0, wy1, sy0, sy1 = wy0 + oy, wy1 + oy, sy0 + oy, sy1 + oy
    outer = rounded_rect(wx0, wy0, wx1, wy1, r)
    if shadow:
        canvas.shadow(outer, size / 64, size / 40, size / 60, 0.35)
    canvas.fill(outer, pal["frame"])
    # Title bar and page inside the frame.
    ix0, iy0, ix1, iy1 = wx0 + fw, wy0 + fw, wx1 - fw, wy1 - fw
    ir = max(0.0, r - fw)
    bar_bottom = wy0 + tb
    canvas.fill(clip_top(rounded_rect(ix0, iy0, ix1, iy1, ir), bar_bottom),
                vgrad(iy0, bar_bottom, pal["title0"], pal["title1"]))
    page_top = bar_bottom + (fw if size >= 40 else 0)
    canvas.fill(clip_bottom(rounded_rect(ix0, iy0, ix1, iy1, ir), page_top), pal["page"])
    # Window buttons on the title bar.
    dots = lay["dots"]
    if dots:
        d = max(1.0, (tb - fw) * 0.42)
        cy = (iy0 + bar_bottom) / 2
        for i in range(dots):
            cx = ix1 - (tb - fw) * 0.5 - i * d * 1.9
            canvas.fill(ellipse(cx, cy, d / 2, d / 2), pal["dot"])
    # Text lines on the page, left of the shield.
    lines = lay["lines"]
    if lines:
        lh = max(1.0, round(size / 24))
        step = lh * 2 + (1 if size < 40 else lh)
        lx0 = ix0 + max(1.0, round(size / 16))
        for i in range(lines):
            y = page_top + max(2.0, round(size / 12)) + i * step
            lx1 = min(sx0 - lay["gap"] - lh, ix1 - lh) - (i % 2) * round(size / 10)
            if y + lh <= iy1 - lh and lx1 > lx0 + lh:
                canvas.fill(rect(lx0, y, lx1, y + lh), pal["line"])
    # Shield with a clearance cut out of the window behind it.
    sh = shield(sx0, sy0, sx1, sy1)
    canvas.erase(shield(sx0 - lay["gap"], sy0 - lay["gap"] * 1.15, sx1 + lay["gap"],
                        sy1 + lay["gap"] * 1.3))
    if shadow:
        canvas.shadow(sh, size / 80, size / 50, size / 70, 0.3)
    canvas.fill(sh, pal["edge"])
    canvas.fill(inset(sh, ew), vgrad(sy0, sy1, pal["fill0"], pal["fill1"]))
    w, h = sx1 - sx0, sy1 - sy0
    if pal["symbol"] == "check":
        pts = [(sx0 + 0.25 * w, sy0 + 0.50 * h), (sx0 + 0.44 * w, sy0 + 0.68 * h),
               (sx0 + 0.76 * w, sy0 + 0.30 * h)]
        canvas.fill(stroke(pts, lay["mark"]), pal["mark"])
    else:
        pts = [(sx0 + 0.22 * w, sy0 + 0.20 * h), (sx0 + 0.80 * w, sy0 + 0.78 * h)]
        canvas.fill(stroke(pts, lay["mark"] + 2 * max(0.75, size / 48)), hexc("ffffff"))
        canvas.fill(stroke(pts, lay["mark"]), pal["mark"])


def clip_top(contours, y_limit):
    """Part of a convex contour above y_limit."""
    return [clip_half(c, lambda p: p[1] <= y_limit, lambda a, b: cut_y(a, b, y_limit))
            for c in contours]


def clip_bottom(contours, y_limit):
    return [clip_half(c, lambda p: p[1] >= y_limit, lambda a, b: cut_y(a, b, y_limit))
            for c in contours]


def cut_y(a, b, y):
    t = (y - a[1]) / (b[1] - a[1])
    return (a[0] + (b[0] - a[0]) * t, y)


def clip_half(pts, keep, cut):
    out = []
    for i, p in enumerate(pts):
        q = pts[(i + 1) % len(pts)]
        if keep(p):
            out.append(p)
            if not keep(q):
                out.append(cut(p, q))
        elif keep(q):
            out.append(cut(p, q))
    return out


def draw_globe(canvas, size):
    # Odd diameter on the small sizes so that the centre lines fall on whole pixels.
    d = size - 1 if size <= 24 else size - 2
    o = (size - d) / 2
    cx = cy = o + d / 2
    rad = d / 2
    canvas.fill(ellipse(cx, cy, rad, rad), hexc("174f96"))
    inner = rad - (1 if size < 32 else 1.25)

    def sea(x, y):
        t = math.hypot(x - (cx - rad * 0.35), y - (cy - rad * 0.4)) / (rad * 1.6)
        return lerp(hexc("8fd3ff"), hexc("1f6fc4"), t)

    canvas.fill(ellipse(cx, cy, inner, inner), sea)
    lw = 1.0 if size < 32 else 1.25
    grid = hexc("ffffff", 200)
    c0 = math.floor(cx) + 0.5 if size <= 24 else cx
    rings = []
    # Meridians: the central one straight, two as half ellipses.
    rings += rect(c0 - lw / 2, cy - inner, c0 + lw / 2, cy + inner)
    m = inner * 0.52
    rings += ring(ellipse(c0, cy, m + lw / 2, inner), ellipse(c0, cy, m - lw / 2, inner - lw))
    # Equator and two parallels.
    rings += rect(cx - inner, c0 - lw / 2, cx + inner, c0 + lw / 2)
    if size >= 20:
        for k in (-1, 1):
            y = c0 + k * round(inner * 0.5)
            half = math.sqrt(max(0.0, inner ** 2 - (y - cy) ** 2))
            rings += rect(cx - half, y - lw / 2, cx + half, y + lw / 2)
    clipped = Canvas(size, size)
    clipped.fill(rings, grid)
    # Keep the grid inside the sphere.
    mask = coverage(ellipse(cx, cy, inner, inner), size, size)
    for i, p in enumerate(clipped.px):
        a = mask[i]
        if p[3] > 0 and a > 0:
            q = canvas.px[i]
            pa = p[3] * a
            for k in range(3):
                q[k] = p[k] * a + q[k] * (1 - pa)
            q[3] = pa + q[3] * (1 - pa)
    # A soft highlight in the upper left.
    canvas.fill(ellipse(cx - rad * 0.38, cy - rad * 0.42, rad * 0.28, rad * 0.2),
                hexc("ffffff", 70))


def draw_logo(size=128):
    c = Canvas(size, size)

    def back(x, y):
        t = math.hypot(x - size * 0.45, y - size * 0.4) / (size * 0.75)
        return lerp(hexc("c2281e"), hexc("4a0505"), t)

    c.fill(rect(0, 0, size, size), back)
    # A thin bevel so the tile reads as a plaque on the window's background.
    c.fill(ring(rect(0, 0, size, size), rect(1, 1, size - 1, size - 1)), hexc("2a0000"))
    c.fill(ring(rect(1, 1, size - 1, size - 1), rect(2, 2, size - 2, size - 2)),
           hexc("ff8a7a", 90))
    inner = int(size * 0.78)
    off = (size - inner) / 2
    draw_emblem(c, inner, ON, off, off - size * 0.01, shadow=True)
    return c


def draw_background(size=64):
    c = Canvas(size, size)

    def back(x, y):
        t = (x * 0.35 + y) / (size * 1.35)
        base = lerp(hexc("9c1612"), hexc("360303"), t)
        # Gentle vignette towards the lower right.
        v = max(0.0, math.hypot(x - size * 0.2, y - size * 0.15) / (size * 1.2) - 0.3)
        return lerp(base, hexc("200000"), v * 0.6)

    c.fill(rect(0, 0, size, size), back)
    return c


# Classic hand pointer, drawn pixel by pixel: '#' outline, '.' fill, ' ' transparent.
HAND = """
      ##
     #..#
     #..#
     #..#
     #..#
     #..###
     #..#..###
     #..#..#..##
     #..#..#..#.#
 ##  #..#..#..#..#
#..# #..#..#..#..#
#...##..........#
 #...#..........#
 #..............#
  #.............#
  #............#
   #...........#
   #..........#
    #.........#
    #.........#
    ###########
"""


def draw_cursor():
    rows = HAND.strip("\n").split("\n")
    hand = []
    for y in range(32):
        line = rows[y] if y < len(rows) else ""
        hand.append([line[x] if x < len(line) else " " for x in range(32)])
    return hand


# ---------------------------------------------------------------------------------------------
# File formats


def png_bytes(rows):
    h, w = len(rows), len(rows[0])
    raw = bytearray()
    prev = bytes(w * 4)
    for row in rows:
        line = bytes(v for p in row for v in p)
        best = None
        for ftype in range(5):
            filt = png_filter(ftype, line, prev)
            score = sum(v if v < 128 else 256 - v for v in filt)
            if best is None or score < best[0]:
                best = (score, ftype, filt)
        raw.append(best[1])
        raw += best[2]
        prev = line

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def png_filter(ftype, line, prev):
    out = bytearray(len(line))
    for i, x in enumerate(line):
        a = line[i - 4] if i >= 4 else 0
        b = prev[i]
        c = prev[i - 4] if i >= 4 else 0
        if ftype == 0:
            pred = 0
        elif ftype == 1:
            pred = a
        elif ftype == 2:
            pred = b
        elif ftype == 3:
            pred = (a + b) // 2
        else:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
        out[i] = (x - pred) & 0xFF
    return bytes(out)


def and_mask(opaque_rows):
    """1 bit per pixel, set where transparent; rows bottom-up, padded to 32 bits."""
    out = bytearray()
    for row in reversed(opaque_rows):
        bits = bytearray((len(row) + 31) // 32 * 4)
        for x, opaque in enumerate(row):
            if not opaque:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def dib32(rows):
    h, w = len(rows), len(rows[0])
    head = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, w * h * 4, 0, 0, 0, 0)
    pixels = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
    return head + pixels + and_mask([[p[3] > 0 for p in row] for row in rows])


def ico_file(images, kind=1, hotspots=None):
    """images: list of (width, height, colour count, planes, bit count, data)."""
    head = struct.pack("<HHH", 0, kind, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = b"", b""
    for i, (w, h, colours, planes, bits, data) in enumerate(images):
        if hotspots:
            planes, bits = hotspots[i]
        entries += struct.pack("<BBBBHHII", w % 256, h % 256, colours, 0, planes, bits,
                               len(data), offset)
        blobs += data
        offset += len(data)
    return head + entries + blobs


def icon_from_canvases(canvases, png_from=256):
    images = []
    for c in canvases:
        rows = c.rgba()
        data = png_bytes(rows) if c.w >= png_from else dib32(rows)
        images.append((c.w, c.h, 0, 1, 32, data))
    return ico_file(images)


VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def icon16_colours(canvas):
    rows = canvas.rgba()
    w, h = canvas.w, canvas.h
    stride = (w * 4 + 31) // 32 * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, p in enumerate(row):
            idx = 0
            if p[3] >= 128:
                idx = min(range(16), key=lambda i: sum((VGA[i][k] - p[k]) ** 2 for k in range(3)))
            line[x // 2] |= idx << (4 if x % 2 == 0 else 0)
        pixels += line
    head = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in VGA)
    data = head + palette + bytes(pixels) + and_mask([[p[3] >= 128 for p in row] for row in rows])
    return ico_file([(w, h, 16, 1, 4, data)])


def cursor_file(hand, hotspot):
    h, w = len(hand), len(hand[0])
    stride = (w + 31) // 32 * 4
    xor = bytearray()
    for row in reversed(hand):
        line = bytearray(stride)
        for x, ch in enumerate(row):
            if ch == ".":
                line[x // 8] |= 0x80 >> (x % 8)
        xor += line
    head = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 1, 0, len(xor), 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    data = head + palette + bytes(xor) + and_mask([[ch != " " for ch in row] for row in hand])
    return ico_file([(w, h, 2, 0, 0, data)], kind=2, hotspots=[hotspot])


def bmp24(canvas, matte=(0, 0, 0)):
    rows = canvas.rgba()
    w, h = canvas.w, canvas.h
    stride = (w * 3 + 3) // 4 * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, a in row:
            f = a / 255
            line += bytes(int(round(c * f + m * (1 - f))) for c, m in ((b, matte[2]),
                                                                      (g, matte[1]),
                                                                      (r, matte[0])))
        pixels += line + bytes(stride - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(pixels), 0, 0, 54) + info + bytes(pixels)


# ---------------------------------------------------------------------------------------------


def emblem_canvases(pal, sizes):
    out = []
    for s in sizes:
        c = Canvas(s, s)
        draw_emblem(c, s, pal, shadow=s >= 64)
        out.append(c)
    return out


def button(hot):
    """Toolbar button in the 16 VGA colours; the hot one lights the title bar and the mark."""
    c = Canvas(32, 32, hard=True)
    pal = dict(ON)
    pal.update(frame=(0, 0, 128, 255), page=(255, 255, 255, 255), line=(192, 192, 192, 255),
               dot=(255, 255, 255, 255), edge=(0, 0, 0, 255), fill0=(0, 128, 0, 255),
               fill1=(0, 128, 0, 255))
    title = (0, 0, 255, 255) if hot else (0, 0, 128, 255)
    pal.update(title0=title, title1=title, mark=(255, 255, 0, 255) if hot else (255, 255, 255, 255))
    draw_emblem(c, 32, pal)
    return c


def main():
    argparse.ArgumentParser(description=__doc__.split("\n")[0]).parse_args()
    tray_sizes = [16, 20, 24, 32, 40, 48]
    files = {
        "program.ico": icon_from_canvases(emblem_canvases(ON, tray_sizes + [64, 256])),
        "tray_on.ico": icon_from_canvases(emblem_canvases(ON, tray_sizes)),
        "tray_off.ico": icon_from_canvases(emblem_canvases(OFF, tray_sizes)),
        "button.ico": icon16_colours(button(False)),
        "button_hot.ico": icon16_colours(button(True)),
        "about_logo.bmp": bmp24(draw_logo()),
        "about_back.bmp": bmp24(draw_background()),
        "link.cur": cursor_file(draw_cursor(), (6, 0)),
    }
    globes = []
    for s in (16, 20, 24, 32):
        g = Canvas(s, s)
        draw_globe(g, s)
        globes.append(g)
    files["web.ico"] = icon_from_canvases(globes)

    for name, data in sorted(files.items()):
        with open(os.path.join(OUT_DIR, name), "wb") as f:
            f.write(data)
        print(f"{name:16} {len(data):7} bytes")
    print(f"{'total':16} {sum(len(d) for d in files.values()):7} bytes")


if __name__ == "__main__":
    main()
