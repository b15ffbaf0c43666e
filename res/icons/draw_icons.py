#!/usr/bin/env python3
"""Draws the program's small icons (lock.ico, match.ico) from simple shapes.

Each icon holds a 16x16 and a 32x32 image in 32-bit colour with alpha,
drawn with 4x4 supersampling. Run from this folder to regenerate them.
"""
import math
import struct


def clamp(v, lo=0.0, hi=1.0):
    return max(lo, min(hi, v))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def in_rounded_rect(x, y, left, top, right, bottom, r):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = clamp(x, left + r, right - r)
    cy = clamp(y, top + r, bottom - r)
    return math.hypot(x - cx, y - cy) <= r


def lock_colour(x, y):
    """Colour (r, g, b, a) at a point of the 32-unit lock design, or None."""
    # Keyhole first, so that it cuts into the body.
    if math.hypot(x - 16, y - 21) <= 2.3 or (15 <= x <= 17 and 21 <= y <= 26):
        return (60, 40, 10, 255)
    if in_rounded_rect(x, y, 5, 14, 27, 30, 3):
        shade = (y - 14) / 16.0
        return (int(236 - 50 * shade), int(184 - 60 * shade), int(40 - 20 * shade), 255)
    ring = math.hypot(x - 16, y - 12)
    if y <= 12 and 6 <= ring <= 9:
        return (150, 150, 160, 255)
    if 12 <= y <= 15 and (7 <= x <= 10 or 22 <= x <= 25):
        return (150, 150, 160, 255)
    return None


def match_colour(x, y):
    d = min(segment_distance(x, y, 6, 17, 13, 24), segment_distance(x, y, 13, 24, 26, 8))
    if d <= 2.2:
        return (30, 150, 40, 255)
    if d <= 3.2:
        return (10, 90, 20, 255)
    return None


def render(shape, size):
    scale = 32.0 / size
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(4):
                for sx in range(4):
                    c = shape((col + (sx + 0.5) / 4) * scale, (row + (sy + 0.5) / 4) * scale)
                    if c:
                        for i in range(3):
                            acc[i] += c[i] * c[3] / 255.0
                        acc[3] += c[3]
            alpha = acc[3] / 16.0
            if alpha == 0:
                line.append((0, 0, 0, 0))
            else:
                k = 255.0 / acc[3]
                line.append((int(acc[0] * k), int(acc[1] * k), int(acc[2] * k), int(round(alpha))))
        pixels.append(line)
    return pixels


def dib(pixels):
    size = len(pixels)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b''.join(struct.pack('BBBB', b, g, r, a) for line in reversed(pixels) for (r, g, b, a) in line)
    mask_row = ((size + 31) // 32) * 4
    mask = b''
    for line in reversed(pixels):
        bits = bytearray(mask_row)
        for col, (_, _, _, a) in enumerate(line):
            if a == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        mask += bytes(bits)
    return header + colour + mask


def write_icon(path, shape):
    images = [dib(render(shape, size)) for size in (16, 32)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    write_icon('lock.ico', lock_colour)
    write_icon('match.ico', match_colour)
