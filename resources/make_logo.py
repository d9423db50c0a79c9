#!/usr/bin/env python3
"""Draws the window icon, images/logo.png: three stacked sheets of text, the
front one with its lines, for a program that multiplies one text into many.

A 32 x 32 PNG with an 8-bit palette and a transparent background, written
with the standard library only so that anyone can redraw it.
"""
import struct
import zlib
from pathlib import Path

SIZE = 32
PALETTE = [
    (0, 0, 0),        # 0 transparent
    (28, 64, 120),    # 1 outline
    (150, 185, 230),  # 2 back sheet
    (200, 220, 245),  # 3 middle sheet
    (255, 255, 255),  # 4 front sheet
    (60, 110, 190),   # 5 text lines
    (230, 120, 40),   # 6 accent line
]
TRANSPARENT = 0


def sheet(pixels, left, top, width, height, fill):
    right, bottom = left + width - 1, top + height - 1
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            corner = (x in (left, right)) and (y in (top, bottom))
            if corner:
                continue
            edge = x in (left, right) or y in (top, bottom)
            pixels[y][x] = 1 if edge else fill


def draw():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    sheet(pixels, 12, 1, 19, 23, 2)
    sheet(pixels, 7, 4, 19, 23, 3)
    sheet(pixels, 2, 8, 19, 23, 4)
    for row, (start, end, colour) in enumerate(
            [(5, 17, 6), (5, 15, 5), (5, 17, 5), (5, 13, 5), (5, 16, 5), (5, 11, 5)]):
        y = 12 + row * 3
        for x in range(start, end + 1):
            pixels[y][x] = colour
    return pixels


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(pixels):
    raw = b"".join(b"\x00" + bytes(row) for row in pixels)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 3, 0, 0, 0))
            + chunk(b"PLTE", b"".join(bytes(colour) for colour in PALETTE))
            + chunk(b"tRNS", bytes([0] + [255] * (len(PALETTE) - 1)))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


if __name__ == "__main__":
    Path(__file__).with_name("images").joinpath("logo.png").write_bytes(png(draw()))
