#!/usr/bin/env python3
"""Draws the program's own icons (application, help, information) as PNG
files with supersampled shapes, and the application icon once more as SVG
for the desktop's scalable icon theme folder. Run from this folder; the
files are committed."""
import math
import struct
import zlib

SS = 4  # supersampling per axis


def png(path, size, pixels):
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)
    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def render(size, shade):
    """shade(x, y) in unit coordinates [0,1) -> (r, g, b, a) or None."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) / size
                    y = (py + (sy + 0.5) / SS) / size
                    c = shade(x, y)
                    if c:
                        a = c[3] / 255.0
                        for i in range(3):
                            acc[i] += c[i] * a
                        acc[3] += a
            n = SS * SS
            a = acc[3] / n
            if a > 0:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def in_circle(x, y, cx, cy, r):
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_rect(x, y, l, t, r, b):
    return l <= x <= r and t <= y <= b


def badge(glyph):
    def shade(x, y):
        if not in_circle(x, y, 0.5, 0.5, 0.47):
            return None
        if glyph(x, y):
            return (255, 255, 255, 255)
        if not in_circle(x, y, 0.5, 0.5, 0.41):
            return (20, 60, 140, 255)
        t = y  # vertical gradient
        return (int(40 + 40 * (1 - t)), int(100 + 60 * (1 - t)), int(200 + 40 * (1 - t)), 255)
    return shade


def question(x, y):
    # arc of the hook: ring around (0.5, 0.38), radius 0.15..0.24, open at lower left
    d = math.hypot(x - 0.5, y - 0.37)
    ang = math.degrees(math.atan2(y - 0.37, x - 0.5))
    if 0.11 <= d <= 0.2 and not (90 < ang <= 180):
        return True
    if in_rect(x, y, 0.455, 0.5, 0.545, 0.64) :
        return True
    return in_circle(x, y, 0.5, 0.76, 0.065)


def info(x, y):
    return in_circle(x, y, 0.5, 0.27, 0.075) or in_rect(x, y, 0.44, 0.4, 0.56, 0.78) or \
        in_rect(x, y, 0.38, 0.4, 0.56, 0.46) or in_rect(x, y, 0.38, 0.72, 0.62, 0.78)


def app(x, y):
    # a sheet of paper with a folded corner and "<>" brackets, over a
    # second sheet: templates generating pages
    def sheet(ox, oy):
        l, t, r, b = 0.18 + ox, 0.08 + oy, 0.72 + ox, 0.86 + oy
        if not in_rect(x, y, l, t, r, b):
            return None
        fold = 0.16
        if x > r - fold and y < t + fold and (x - (r - fold)) > (y - t):
            return "cut"
        if x < l + 0.03 or x > r - 0.03 or y < t + 0.03 or y > b - 0.03:
            return "edge"
        if x > r - fold - 0.02 and y < t + fold + 0.02 and abs((x - (r - fold)) - (y - t)) < 0.03:
            return "edge"
        return "paper"
    front = sheet(0.1, 0.06)
    if front and front != "cut":
        if front == "edge":
            return (90, 70, 40, 255)
        # brackets < >
        cx, cy = 0.55, 0.55
        dx, dy = x - cx, y - cy
        if abs(dy) < 0.16 and (abs(abs(dx + 0.12) - (0.1 - abs(dy) * 0.62)) < 0.028 and dx < -0.04 or
                               abs(abs(dx - 0.12) - (0.1 - abs(dy) * 0.62)) < 0.028 and dx > 0.04):
            return (200, 60, 30, 255)
        return (255, 250, 235, 255)
    back = sheet(-0.08, -0.04)
    if back and back != "cut":
        if back == "edge":
            return (60, 90, 140, 255)
        return (200, 220, 245, 255)
    return None


def clip_convex(poly, left, top, right, bottom):
    """Cuts a convex polygon to a rectangle (Sutherland-Hodgman)."""
    def cut(ps, inside, cross):
        out = []
        for i, p in enumerate(ps):
            q = ps[i - 1]
            if inside(p):
                if not inside(q):
                    out.append(cross(q, p))
                out.append(p)
            elif inside(q):
                out.append(cross(q, p))
        return out

    def at_x(x):
        return lambda q, p: (x, q[1] + (p[1] - q[1]) * (x - q[0]) / (p[0] - q[0]))

    def at_y(y):
        return lambda q, p: (q[0] + (p[0] - q[0]) * (y - q[1]) / (p[1] - q[1]), y)

    poly = cut(poly, lambda p: p[0] >= left, at_x(left))
    poly = cut(poly, lambda p: p[0] <= right, at_x(right))
    poly = cut(poly, lambda p: p[1] >= top, at_y(top))
    return cut(poly, lambda p: p[1] <= bottom, at_y(bottom))


def app_svg(path):
    """The shapes of app() as vectors: each sheet an edge-coloured outline
    with the paper inset 0.03 inside it, and each bracket the ring between
    two diamonds, cut the way app() cuts it. Only plain polygons and an
    even-odd path, in pixels of a 256 canvas: simple SVG renderers
    mishandle clip paths and scaled groups."""
    S = 256

    def pts(ps):
        return " ".join(f"{x * S:.1f},{y * S:.1f}" for x, y in ps)

    def sheet(ox, oy, edge, paper):
        l, t, r, b = 0.18 + ox, 0.08 + oy, 0.72 + ox, 0.86 + oy
        fold, e = 0.16, 0.03
        outer = [(l, t), (r - fold, t), (r, t + fold), (r, b), (l, b)]
        inner = [(l + e, t + e), (r - fold, t + e), (r - e, t + fold), (r - e, b - e), (l + e, b - e)]
        return (f'<polygon points="{pts(outer)}" fill="{edge}"/>\n'
                f'<polygon points="{pts(inner)}" fill="{paper}"/>\n')

    def diamond(c, cy, half):
        h = half / 0.62
        return [(c - half, cy), (c, cy - h), (c + half, cy), (c, cy + h)]

    def bracket(c, cy, left, right):
        # app(): within 0.028 across of the diamond of half-width 0.1,
        # rows within 0.16 of the centre, columns between left and right.
        outer = clip_convex(diamond(c, cy, 0.128), left, cy - 0.16, right, cy + 0.16)
        inner = clip_convex(diamond(c, cy, 0.072), left, cy - 0.16, right, cy + 0.16)
        return f'<path fill-rule="evenodd" fill="#c83c1e" d="M{pts(outer)}Z M{pts(inner)}Z"/>\n'

    cx, cy = 0.55, 0.55
    svg = ('<?xml version="1.0" encoding="UTF-8"?>\n'
           '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">\n'
           + sheet(-0.08, -0.04, "#3c5a8c", "#c8dcf5")
           + sheet(0.1, 0.06, "#5a4628", "#fffaeb")
           + bracket(cx - 0.12, cy, 0, cx - 0.04) + bracket(cx + 0.12, cy, cx + 0.04, 1)
           + '</svg>\n')
    with open(path, "w", encoding="utf-8") as f:
        f.write(svg)


for size in (16, 32, 48):
    png(f"help-{size}.png", size, render(size, badge(question)))
    png(f"info-{size}.png", size, render(size, badge(info)))
# The application icon also in the larger sizes desktop menus and software
# centres ask the icon theme for.
for size in (16, 32, 48, 64, 128, 256):
    png(f"app-{size}.png", size, render(size, app))
app_svg("app.svg")
