#!/usr/bin/env python3
"""Draws the widget's sensor-type icons (resources/Images/T*.png).

Each icon is a 32 x 32 RGBA picture made of a few filled shapes, rendered
with 4 x 4 supersampling for smooth edges, and written as a PNG with nothing
but the standard library. Run it from anywhere; it rewrites the PNGs beside
the widget. The output is deterministic, so the committed files only change
when a drawing here changes.
"""

import math
import os
import struct
import sys
import zlib

SIZE = 32
SUPER = 4


def png_bytes(pixels):
    """pixels: list of rows, each a list of (r, g, b, a) tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter type "none"
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


class Canvas:
    """Coverage-based painter: each shape is a predicate on a point."""

    def __init__(self):
        self.rgba = [[(0.0, 0.0, 0.0, 0.0)] * SIZE for _ in range(SIZE)]

    def fill(self, inside, color):
        r, g, b, a = color
        for y in range(SIZE):
            for x in range(SIZE):
                hits = 0
                for sy in range(SUPER):
                    for sx in range(SUPER):
                        px = x + (sx + 0.5) / SUPER
                        py = y + (sy + 0.5) / SUPER
                        if inside(px, py):
                            hits += 1
                if not hits:
                    continue
                cover = a * hits / (SUPER * SUPER)
                dr, dg, db, da = self.rgba[y][x]
                out_a = cover + da * (1 - cover)
                if out_a <= 0:
                    continue
                mix = lambda s, d: (s * cover + d * da * (1 - cover)) / out_a
                self.rgba[y][x] = (mix(r, dr), mix(g, dg), mix(b, db), out_a)

    def pixels(self):
        return [[(round(r), round(g), round(b), round(a * 255)) for r, g, b, a in row]
                for row in self.rgba]


def circle(cx, cy, radius):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def ring(cx, cy, outer, inner):
    return lambda x, y: inner ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= outer ** 2


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def rounded_rect(x0, y0, x1, y1, radius):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + radius), x1 - radius)
        cy = min(max(y, y0 + radius), y1 - radius)
        return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2
    return inside


def segment(ax, ay, bx, by, half_width):
    """A line with round ends."""
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        length2 = dx * dx + dy * dy
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length2))
        qx, qy = ax + t * dx, ay + t * dy
        return (x - qx) ** 2 + (y - qy) ** 2 <= half_width ** 2
    return inside


def polyline(points, half_width):
    parts = [segment(*points[i], *points[i + 1], half_width) for i in range(len(points) - 1)]
    return lambda x, y: any(p(x, y) for p in parts)


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


def arc(cx, cy, radius, half_width, start_deg, end_deg):
    """Stroke of a circle between two angles (degrees, clockwise from 3 o'clock, y down)."""
    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - radius) > half_width:
            return False
        angle = math.degrees(math.atan2(y - cy, x - cx)) % 360
        lo, hi = start_deg % 360, end_deg % 360
        return lo <= angle <= hi if lo <= hi else angle >= lo or angle <= hi
    return inside


WHITE = (255, 255, 255, 1.0)
SHADOW = (0, 0, 0, 0.25)


def disc_background(c, color):
    c.fill(circle(16.5, 17, 14.5), SHADOW)
    c.fill(circle(16, 16, 14.5), color)


def draw_temperature(c):
    red = (214, 48, 49, 1.0)
    c.fill(rounded_rect(11.5, 2.5, 20.5, 24, 4.5), (120, 120, 130, 1.0))
    c.fill(circle(16, 24, 7.5), (120, 120, 130, 1.0))
    c.fill(rounded_rect(13, 4, 19, 24, 3), WHITE)
    c.fill(circle(16, 24, 6), WHITE)
    c.fill(rect(14.5, 10, 17.5, 24), red)
    c.fill(circle(16, 24, 4.5), red)
    for y in (8, 12, 16):
        c.fill(rect(20.5, y, 24, y + 1), (120, 120, 130, 1.0))


def draw_electric(c):
    disc_background(c, (241, 196, 15, 1.0))
    c.fill(polygon([(18, 3.5), (8.5, 18), (15, 18), (12.5, 28.5), (23.5, 13), (17, 13)]),
           (90, 60, 0, 1.0))
    c.fill(polygon([(17.5, 6), (10.5, 16.5), (16.5, 16.5), (14.5, 25), (21.5, 14.5), (15.5, 14.5)]),
           WHITE)


def draw_fan(c):
    disc_background(c, (52, 101, 164, 1.0))
    for k in range(3):
        a = math.radians(120 * k - 90)
        tip_x, tip_y = 16 + 10.5 * math.cos(a), 16 + 10.5 * math.sin(a)
        side = a + math.radians(50)
        side_x, side_y = 16 + 8 * math.cos(side), 16 + 8 * math.sin(side)
        c.fill(polygon([(16, 16), (tip_x, tip_y), (side_x, side_y)]), WHITE)
        c.fill(circle((tip_x + side_x) / 2, (tip_y + side_y) / 2, 2.9), WHITE)
    c.fill(circle(16, 16, 3.2), (52, 101, 164, 1.0))
    c.fill(circle(16, 16, 1.6), WHITE)


def draw_light(c):
    yellow = (246, 185, 59, 1.0)
    for k in range(8):
        a = math.radians(45 * k)
        c.fill(segment(16 + 10 * math.cos(a), 16 + 10 * math.sin(a),
                       16 + 14 * math.cos(a), 16 + 14 * math.sin(a), 1.3), yellow)
    c.fill(circle(16, 16, 7.5), (200, 130, 20, 1.0))
    c.fill(circle(16, 16, 6.3), yellow)
    c.fill(circle(14, 14, 2.2), (255, 236, 170, 1.0))


def draw_load(c):
    c.fill(rounded_rect(3, 4, 29, 29, 3), (45, 52, 54, 1.0))
    for i, height in enumerate((8, 14, 11, 19)):
        x0 = 6 + i * 5.8
        c.fill(rect(x0, 26 - height, x0 + 4, 26), (46, 204, 113, 1.0))


def draw_information(c):
    disc_background(c, (41, 128, 185, 1.0))
    c.fill(circle(16, 9.5, 2.3), WHITE)
    c.fill(rounded_rect(13.8, 13.5, 18.2, 24.5, 1), WHITE)
    c.fill(rect(12, 13.5, 18.2, 15.2), WHITE)
    c.fill(rect(12, 23, 20, 24.7), WHITE)


def draw_frequency(c):
    c.fill(rounded_rect(2.5, 5, 29.5, 27, 4), (108, 52, 131, 1.0))
    wave = [(5, 21), (5, 11), (10.5, 11), (10.5, 21), (16, 21), (16, 11), (21.5, 11), (21.5, 21),
            (27, 21), (27, 11)]
    c.fill(polyline(wave, 1.2), WHITE)


def draw_unknown(c):
    disc_background(c, (127, 140, 141, 1.0))
    c.fill(arc(16, 12, 5, 1.7, 180, 90), WHITE)
    c.fill(segment(16, 17, 16, 19.5, 1.7), WHITE)
    c.fill(circle(16, 24, 2), WHITE)


def draw_nothing(c):
    pass


ICONS = {
    "TNull": draw_nothing,
    "TUnkn": draw_unknown,
    "TTemp": draw_temperature,
    "TElec": draw_electric,
    "TFan": draw_fan,
    "TLight": draw_light,
    "TLoad": draw_load,
    "TInfo": draw_information,
    "TFreq": draw_frequency,
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "Images")
    os.makedirs(out_dir, exist_ok=True)
    for name, draw in ICONS.items():
        canvas = Canvas()
        draw(canvas)
        with open(os.path.join(out_dir, name + ".png"), "wb") as f:
            f.write(png_bytes(canvas.pixels()))


if __name__ == "__main__":
    main()
