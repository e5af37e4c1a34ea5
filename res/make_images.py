#!/usr/bin/env python3
"""Draws the executable's images from their stated properties into OUTDIR:

  strip.png      800 x 2 RGBA, opaque, both rows equal: a linear colour ramp through
                 RGB(3,170,201) at column 0, RGB(41,137,89) at 300, RGB(66,136,56) at 400
                 and RGB(233,220,6) at 799 (the progress bar's fill).
  landscape.png  570 x 255 RGB: hills, a lake and a low sun under an evening sky.
  kesto.ico      the program's icon: 32, 48, 64, 96, 128 and 256 pixels, each at 4, 8 and
                 32 bits per pixel (18 images).
  small.ico      the dialog's icon: 64, 48, 32, 24 and 16 pixels at 32 bits per pixel.

Usage: make_images.py OUTDIR
"""
import math
import struct
import sys
import zlib
from pathlib import Path

STRIP_STOPS = [(0, (3, 170, 201)), (300, (41, 137, 89)), (400, (66, 136, 56)),
               (799, (233, 220, 6))]


def strip_colour(x):
    for (x0, c0), (x1, c1) in zip(STRIP_STOPS, STRIP_STOPS[1:]):
        if x0 <= x <= x1:
            t = (x - x0) / (x1 - x0)
            return tuple(int(round(a + (b - a) * t)) for a, b in zip(c0, c1))
    raise ValueError(x)


def png(width, height, rows, colour_type):
    """rows: list of bytes objects, one per row, already in the colour type's layout."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    raw = b"".join(b"\0" + row for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def strip_png():
    row = b"".join(bytes(strip_colour(x) + (255,)) for x in range(800))
    return png(800, 2, [row, row], 6)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def landscape_pixel(x, y):
    w, h = 570, 255
    horizon = 150
    sun_x, sun_y, sun_r = 390, 128, 26
    far = horizon - 38 + 14 * math.sin(x / 53.0) + 9 * math.sin(x / 17.0 + 1.3)
    near = horizon - 12 + 16 * math.sin(x / 91.0 + 2.0) + 5 * math.sin(x / 23.0)
    if y < horizon:
        sky = mix((44, 62, 112), (247, 170, 102), y / horizon)
        d = math.hypot(x - sun_x, y - sun_y)
        if d < sun_r:
            sky = mix((255, 236, 170), (255, 214, 120), d / sun_r)
        elif d < sun_r * 3:
            sky = mix(sky, (255, 200, 130), 0.45 * (1 - (d - sun_r) / (sun_r * 2)))
        if y > near:
            return mix((46, 70, 58), (30, 48, 40), (y - near) / 30.0)
        if y > far:
            return mix((92, 96, 128), (70, 78, 104), (y - far) / 40.0)
        return sky
    # The lake mirrors the sky and the sun, a little darker and rippled.
    depth = (y - horizon) / (h - horizon)
    mirror_y = horizon - (y - horizon) * 0.9 - 2 * math.sin(x / 7.0 + y / 3.0)
    reflected = landscape_pixel(x, max(0, min(horizon - 1, int(mirror_y))))
    water = mix(reflected, (22, 40, 66), 0.35 + 0.5 * depth)
    if y > h - 28 + 8 * math.sin(x / 41.0):
        return mix((58, 84, 46), (36, 58, 30), (y - (h - 28)) / 28.0)  # the near shore
    return water


def landscape_png():
    rows = [b"".join(bytes(landscape_pixel(x, y)) for x in range(570)) for y in range(255)]
    return png(570, 255, rows, 2)


def logo_pixel(size, x, y):
    """RGBA of the logo: a rounded blue-green square with a white arrow down into a tray."""
    s = float(size)
    u, v = (x + 0.5) / s, (y + 0.5) / s
    r = 0.2
    dx = max(abs(u - 0.5) - (0.5 - r - 0.03), 0.0)
    dy = max(abs(v - 0.5) - (0.5 - r - 0.03), 0.0)
    outside = math.hypot(dx, dy) - r
    edge = 1.0 / s
    alpha = max(0.0, min(1.0, 0.5 - outside / edge))
    if alpha <= 0:
        return (0, 0, 0, 0)
    colour = mix((3, 170, 201), (41, 137, 89), v)
    shaft = abs(u - 0.5) < 0.07 and 0.2 < v < 0.52
    head = 0.48 <= v < 0.66 and abs(u - 0.5) < (0.66 - v) * 1.1
    tray = 0.72 < v < 0.8 and 0.24 < u < 0.76
    if shaft or head or tray:
        colour = (255, 255, 255)
    return colour + (int(round(alpha * 255)),)


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CUBE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
PALETTE256 = CUBE + [(i * 255 // 39, i * 255 // 39, i * 255 // 39) for i in range(40)]


def nearest(palette, rgb):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))


def icon_image(size, bits):
    """One ICO entry: BITMAPINFOHEADER, palette, colour rows and AND mask, bottom-up."""
    pixels = [[logo_pixel(size, x, y) for x in range(size)] for y in range(size)]
    palette = {4: VGA16, 8: PALETTE256}.get(bits, [])
    cache = {}

    def index(rgb):
        if rgb not in cache:
            cache[rgb] = nearest(palette, rgb)
        return cache[rgb]

    colour_rows = []
    mask_rows = []
    for y in reversed(range(size)):
        row = pixels[y]
        if bits == 32:
            data = b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in row)
        else:
            idx = [index(p[:3]) if p[3] >= 128 else 0 for p in row]
            if bits == 8:
                data = bytes(idx)
            else:
                data = bytes((idx[i] << 4) | idx[i + 1] for i in range(0, size, 2))
        data += b"\0" * (-len(data) % 4)
        colour_rows.append(data)
        mask = bytearray((size + 31) // 32 * 4)
        for x, p in enumerate(row):
            if p[3] < 128:
                mask[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         sum(map(len, colour_rows)) + sum(map(len, mask_rows)), 0, 0,
                         len(palette), 0)
    pal = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    return header + pal + b"".join(colour_rows) + b"".join(mask_rows)


def ico(entries):
    """entries: (size, bits) pairs, in the order they are stored."""
    images = [icon_image(size, bits) for size, bits in entries]
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for (size, bits), data in zip(entries, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0, 1,
                           bits, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "strip.png").write_bytes(strip_png())
    (out / "landscape.png").write_bytes(landscape_png())
    (out / "kesto.ico").write_bytes(
        ico([(s, b) for s in (32, 48, 64, 96, 128, 256) for b in (4, 8, 32)]))
    (out / "small.ico").write_bytes(ico([(s, 32) for s in (64, 48, 32, 24, 16)]))


if __name__ == "__main__":
    main()
