#!/usr/bin/env python3
"""Draws the secure editor's toolbar strip: Save, Cut, Copy, Paste, Undo and
Redo, 16 x 16 pixels each, into toolbar.png (32-bit with alpha). Each image is
a few shapes on a 16-unit grid, rendered with 4x4 supersampling. Run from this
folder to regenerate it.
"""
import math
import struct
import zlib

SIZE = 16
SUB = 4
PAPER = (250, 250, 246)
EDGE = (90, 90, 100)
BLUE = (40, 100, 200)
GREEN = (46, 150, 60)
STEEL = (110, 110, 120)
BROWN = (176, 128, 30)


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy or 1)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def rect(x0, y0, x1, y1, colour):
    return lambda x, y: colour if x0 <= x <= x1 and y0 <= y <= y1 else None


def frame(x0, y0, x1, y1, colour, width=1.0):
    def shape(x, y):
        inside = x0 <= x <= x1 and y0 <= y <= y1
        inner = x0 + width <= x <= x1 - width and y0 + width <= y <= y1 - width
        return colour if inside and not inner else None
    return shape


def line(ax, ay, bx, by, colour, width=1.5):
    return lambda x, y: colour if seg_dist(x, y, ax, ay, bx, by) <= width / 2 else None


def ring(cx, cy, r, colour, width=1.3):
    return lambda x, y: colour if abs(math.hypot(x - cx, y - cy) - r) <= width / 2 else None


def arc(cx, cy, r, start, end, colour, width=1.8):
    def shape(x, y):
        a = math.degrees(math.atan2(cy - y, x - cx)) % 360
        within = start <= a <= end if start <= end else (a >= start or a <= end)
        return colour if within and abs(math.hypot(x - cx, y - cy) - r) <= width / 2 else None
    return shape


def triangle(points, colour):
    (x1, y1), (x2, y2), (x3, y3) = points

    def side(px, py, ax, ay, bx, by):
        return (px - bx) * (ay - by) - (ax - bx) * (py - by)

    def shape(x, y):
        d1, d2, d3 = side(x, y, x1, y1, x2, y2), side(x, y, x2, y2, x3, y3), side(x, y, x3, y3, x1, y1)
        neg = d1 < 0 or d2 < 0 or d3 < 0
        pos = d1 > 0 or d2 > 0 or d3 > 0
        return colour if not (neg and pos) else None
    return shape


def mirrored(shapes):
    return [lambda x, y, s=s: s(SIZE - x, y) for s in shapes]


SAVE = [rect(1.5, 1.5, 14.5, 14.5, BLUE), rect(4, 2, 12, 6.5, PAPER), rect(4, 9, 12, 14.5, PAPER),
        frame(1.5, 1.5, 14.5, 14.5, EDGE)]
CUT = [ring(4.5, 11.5, 2.3, EDGE), ring(11.5, 11.5, 2.3, EDGE), line(5.8, 9.6, 11, 1.5, STEEL),
       line(10.2, 9.6, 5, 1.5, STEEL)]
COPY = [rect(1.5, 1.5, 9.5, 11, PAPER), frame(1.5, 1.5, 9.5, 11, EDGE), rect(6.5, 5, 14.5, 14.5, PAPER),
        frame(6.5, 5, 14.5, 14.5, EDGE), line(8.5, 8, 12.5, 8, BLUE, 1), line(8.5, 10.5, 12.5, 10.5, BLUE, 1)]
PASTE = [rect(2, 2.5, 12.5, 14.5, BROWN), rect(5, 1, 9.5, 4, EDGE), rect(7, 6.5, 14.5, 15, PAPER),
         frame(7, 6.5, 14.5, 15, EDGE)]
UNDO = [arc(8.5, 9.5, 5, 300, 150, GREEN), triangle([(0.8, 6.5), (7.5, 6.5), (4.2, 11.5)], GREEN)]
REDO = mirrored(UNDO)
IMAGES = [SAVE, CUT, COPY, PASTE, UNDO, REDO]


def render(shapes):
    pixels = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SUB):
                for sx in range(SUB):
                    x, y = px + (sx + 0.5) / SUB, py + (sy + 0.5) / SUB
                    colour = None
                    for shape in shapes:
                        colour = shape(x, y) or colour
                    if colour:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = SUB * SUB
            a = acc[3]
            row.append((round(acc[0] / a) if a else 0, round(acc[1] / a) if a else 0,
                        round(acc[2] / a) if a else 0, round(255 * a / n)))
        pixels.append(row)
    return pixels


def write_png(path, rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    images = [render(shapes) for shapes in IMAGES]
    strip = [sum((image[y] for image in images), []) for y in range(SIZE)]
    write_png("toolbar.png", strip)


if __name__ == "__main__":
    main()
