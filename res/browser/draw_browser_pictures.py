#!/usr/bin/env python3
"""Draws the pictures of the thumbnail browser as 24-bit PNGs:
busy.png (288 x 8: twelve 24 x 8 frames of a dot running along a bar),
folder.png and parent.png (400 x 300: a folder, and a folder with an arrow
pointing up for the parent entry). Run from this folder to regenerate them.
"""
import struct
import zlib

WHITE = (255, 255, 255)
FOLDER = (236, 190, 70)
FOLDER_DARK = (176, 128, 30)
TAB = (222, 170, 52)
ARROW = (60, 110, 200)
BAR = (190, 200, 215)
DOT = (84, 154, 225)


def write_png(name, width, height, pixel):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(name, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
                  + chunk(b"IEND", b""))


def busy(x, y):
    frame, fx = divmod(x, 24)
    centre = 2 + frame * 20 / 11
    if 3 <= y <= 4 and 1 <= fx <= 22:
        colour = BAR
    else:
        colour = WHITE
    if (fx - centre) ** 2 + (y - 3.5) ** 2 <= 6.5:
        colour = DOT
    return colour


def folder(x, y):
    if 40 <= x < 170 and 50 <= y < 80:
        return TAB
    if 40 <= x < 360 and 80 <= y < 260:
        edge = x < 46 or x >= 354 or y >= 254 or y < 86
        return FOLDER_DARK if edge else FOLDER
    return WHITE


def parent(x, y):
    colour = folder(x, y)
    # An arrow pointing up: a triangle over a shaft.
    cx = 200
    if 100 <= y < 160 and abs(x - cx) <= (y - 100) * 1.2:
        return ARROW
    if 160 <= y < 230 and abs(x - cx) <= 18:
        return ARROW
    return colour


write_png("busy.png", 288, 8, busy)
write_png("folder.png", 400, 300, folder)
write_png("parent.png", 400, 300, parent)
