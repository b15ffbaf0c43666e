#!/usr/bin/env python3
"""Draws the program's toolbar and menu images and its application icon.

Each picture is a list of simple shapes on a 24-unit grid, rendered with 4x4
supersampling at 24 and 16 pixels into 32-bit PNG strips with alpha:
hot.png (24 px, full colour), cold.png (24 px, softened colours), menu.png
(16 px), extra.png and extra_menu.png (the images of commands that are not
on the toolbar), and ../icons/quorvex.ico (16, 32 and 48 px). Run from this
folder to regenerate them.
"""
import math
import struct
import zlib

# Colours (r, g, b)
FOLDER = (236, 190, 70)
FOLDER_DARK = (176, 128, 30)
PAPER = (250, 250, 246)
PAPER_EDGE = (120, 120, 130)
LOCK = (214, 160, 32)
LOCK_DARK = (120, 84, 10)
SHACKLE = (70, 72, 84)
GREEN = (46, 150, 60)
BLUE = (40, 100, 200)
RED = (200, 50, 40)
GREY = (110, 110, 120)
SKY = (120, 180, 235)
HILL = (70, 150, 70)


def clamp(v, lo=0.0, hi=1.0):
    return max(lo, min(hi, v))


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy or 1))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def in_poly(x, y, pts):
    inside = False
    n = len(pts)
    for i in range(n):
        x1, y1 = pts[i]
        x2, y2 = pts[(i + 1) % n]
        if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
            inside = not inside
    return inside


def rrect(l, t, r, b, rad, colour, edge=None):
    def test(x, y):
        if not (l <= x <= r and t <= y <= b):
            return None
        cx, cy = clamp(x, l + rad, r - rad), clamp(y, t + rad, b - rad)
        d = math.hypot(x - cx, y - cy)
        if d > rad:
            return None
        if edge and (d > rad - 1.0 if rad >= 1 else min(x - l, r - x, y - t, b - y) < 1.0):
            return edge
        if edge and min(x - l, r - x, y - t, b - y) < 1.0:
            return edge
        return colour
    return test


def circle(cx, cy, radius, colour, ring=None):
    def test(x, y):
        d = math.hypot(x - cx, y - cy)
        if ring is not None:
            return colour if radius - ring <= d <= radius else None
        return colour if d <= radius else None
    return test


def poly(pts, colour):
    return lambda x, y: colour if in_poly(x, y, pts) else None


def line(ax, ay, bx, by, width, colour):
    return lambda x, y: colour if seg_dist(x, y, ax, ay, bx, by) <= width / 2 else None


def folder(l, t, r, b):
    return [rrect(l, t, l + (r - l) * 0.45, t + 4, 1.2, FOLDER_DARK),
            rrect(l, t + 2, r, b, 1.2, FOLDER, FOLDER_DARK)]


def document(l, t, r, b):
    return [rrect(l, t, r, b, 0.8, PAPER, PAPER_EDGE),
            line(l + 2.5, t + 4, r - 2.5, t + 4, 1, GREY),
            line(l + 2.5, t + 7, r - 2.5, t + 7, 1, GREY),
            line(l + 2.5, t + 10, r - 4, t + 10, 1, GREY)]


def lock(cx, top, open_=False):
    shackle_x = cx + (3 if open_ else 0)
    body = rrect(cx - 5, top + 5, cx + 5, top + 12, 1.2, GREEN if open_ else LOCK, LOCK_DARK)
    return [circle(shackle_x, top + 5, 3.8, SHACKLE, ring=2.0),
            line(shackle_x - 2.8, top + 5, shackle_x - 2.8, top + 7 if not open_ else top + 5, 1.6, SHACKLE),
            line(shackle_x + 2.8, top + 5, shackle_x + 2.8, top + 7, 1.6, SHACKLE),
            body, circle(cx, top + 8.2, 1.2, LOCK_DARK)]


def arrow(direction, colour):
    if direction == 'left':
        pts = [(3, 12), (11, 4), (11, 8.5), (21, 8.5), (21, 15.5), (11, 15.5), (11, 20)]
    elif direction == 'right':
        pts = [(21, 12), (13, 4), (13, 8.5), (3, 8.5), (3, 15.5), (13, 15.5), (13, 20)]
    else:
        pts = [(12, 2), (19, 9), (15, 9), (15, 15), (9, 15), (9, 9), (5, 9)]
    return [poly(pts, colour)]


def magnifier(cx, cy, r):
    return [circle(cx, cy, r, (220, 235, 250)), circle(cx, cy, r, GREY, ring=1.8),
            line(cx + r * 0.7, cy + r * 0.7, cx + r * 0.7 + 6, cy + r * 0.7 + 6, 3, GREY)]


def picture(l, t, r, b):
    return [rrect(l, t, r, b, 0.8, SKY, PAPER_EDGE),
            circle(r - 4.5, t + 4.5, 2, (250, 220, 60)),
            poly([(l + 1, b - 1), (l + (r - l) * 0.4, t + (b - t) * 0.45), (l + (r - l) * 0.7, b - 1)], HILL),
            poly([(l + (r - l) * 0.45, b - 1), (l + (r - l) * 0.7, t + (b - t) * 0.6), (r - 1, b - 1)], (50, 120, 50))]


PICTURES = {
    'back': arrow('left', GREEN),
    'forward': arrow('right', GREEN),
    'folders': [line(5, 6, 5, 19, 1.2, GREY), line(5, 12, 10, 12, 1.2, GREY), line(5, 19, 10, 19, 1.2, GREY)]
    + folder(1, 1, 11, 8) + folder(10, 9, 22, 15) + folder(10, 16, 22, 22),
    'up': folder(1, 5, 23, 21) + arrow('up', BLUE),
    'encrypt_folder': folder(1, 3, 19, 18) + lock(16, 9),
    'encrypt_selected': document(2, 1, 15, 19) + lock(16, 9),
    'decrypt_folder': folder(1, 3, 19, 18) + lock(16, 9, open_=True),
    'decrypt_selected': document(2, 1, 15, 19) + lock(16, 9, open_=True),
    'password': [circle(7, 12, 5.5, LOCK, ring=2.6), line(11.5, 12, 22, 12, 3, LOCK),
                 line(18, 12, 18, 17, 2.4, LOCK), line(21, 12, 21, 16, 2.4, LOCK)],
    'views': [rrect(2, 2, 11, 11, 1, BLUE), rrect(13, 2, 22, 11, 1, BLUE),
              rrect(2, 13, 11, 22, 1, BLUE), rrect(13, 13, 22, 22, 1, BLUE)],
    'thumbnails': picture(2, 4, 22, 20),
    'thumb_size': picture(1, 9, 13, 21) + picture(12, 2, 23, 13),
    'find': magnifier(10, 10, 7),
    'shield': [poly([(12, 1), (21, 5), (19, 16), (12, 23), (5, 16), (3, 5)], BLUE),
               line(8, 12, 11, 15, 2.2, PAPER), line(11, 15, 17, 8, 2.2, PAPER)],
    'archive': [rrect(3, 4, 21, 21, 1.5, (190, 150, 100), (110, 80, 40)), rrect(2, 2, 22, 7, 1, (160, 120, 70)),
                line(12, 7, 12, 21, 2, GREY)],
    'integrity': document(3, 1, 17, 21) + [line(10, 16, 14, 20, 3, GREEN), line(14, 20, 22, 10, 3, GREEN)],
    'decrypt_to': document(1, 1, 13, 17) + arrow('right', BLUE)[:0] + [line(12, 19, 20, 19, 2.2, BLUE),
                                                                    poly([(23, 19), (19, 15.5), (19, 22.5)], BLUE)]
    + lock(17, 2, open_=True),
    'verify': document(2, 1, 16, 20) + magnifier(14, 13, 5),
    'repair': document(2, 1, 16, 20) + [line(10, 21, 20, 11, 3.2, GREY), circle(20.5, 9.5, 3.5, GREY, ring=1.8)],
}

TOOLBAR = ['back', 'forward', 'folders', 'up', 'encrypt_folder', 'encrypt_selected', 'decrypt_folder',
           'decrypt_selected', 'password', 'views', 'thumbnails', 'thumb_size', 'find']
EXTRA = ['shield', 'archive', 'integrity', 'decrypt_to', 'verify', 'repair']


def render(shapes, size, soften=False):
    scale = 24.0 / size
    pixels = []
    for row in range(size):
        for col in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    x = (col + (sx + 0.5) / 4) * scale
                    y = (row + (sy + 0.5) / 4) * scale
                    colour = None
                    for shape in reversed(shapes):
                        colour = shape(x, y)
                        if colour:
                            break
                    if colour:
                        for i in range(3):
                            acc[i] += colour[i]
                        acc[3] += 1
            if acc[3]:
                r, g, b = (acc[i] / acc[3] for i in range(3))
                if soften:
                    grey = 0.3 * r + 0.59 * g + 0.11 * b
                    r, g, b = (grey + (c - grey) * 0.45 for c in (r, g, b))
                pixels.append((int(r), int(g), int(b), int(255 * acc[3] / 16)))
            else:
                pixels.append((0, 0, 0, 0))
    return pixels


def strip(names, size, soften=False):
    images = [render(PICTURES[n], size, soften) for n in names]
    rows = []
    for y in range(size):
        row = []
        for image in images:
            row.extend(image[y * size:(y + 1) * size])
        rows.append(row)
    return rows


def png(rows):
    height, width = len(rows), len(rows[0])
    raw = b''.join(b'\x00' + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)
    header = struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')


def icon_image(size):
    shapes = [rrect(2, 2, 22, 22, 4, (40, 70, 140))] + folder(4, 5, 20, 18) + lock(15, 10)
    pixels = render(shapes, size)
    xor = b''.join(bytes((b, g, r, a)) for y in reversed(range(size))
                   for (r, g, b, a) in pixels[y * size:(y + 1) * size])
    mask_row = ((size + 31) // 32) * 4
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(xor) + mask_row * size, 0, 0, 0, 0)
    return header + xor + b'\x00' * (mask_row * size)


def ico(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


if __name__ == '__main__':
    outputs = {
        'hot.png': png(strip(TOOLBAR, 24)),
        'cold.png': png(strip(TOOLBAR, 24, soften=True)),
        'menu.png': png(strip(TOOLBAR, 16)),
        'extra.png': png(strip(EXTRA, 24)),
        'extra_menu.png': png(strip(EXTRA, 16)),
        '../icons/quorvex.ico': ico([16, 32, 48]),
    }
    for name, data in outputs.items():
        with open(name, 'wb') as f:
            f.write(data)
