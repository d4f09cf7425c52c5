#!/usr/bin/env python3
"""Writes res/icon128.ico, the console's application icon, and res/quillon.png.

The motif is a dark rounded square holding a camera lens and a red "live" dot. Every picture is
rendered from the same geometry with 4x4 supersampling, so the small sizes stay legible, and is
stored at 4, 8 and 24 bits per pixel for shells that still pick a palette image. The PNG is the
48x48 picture with its mask as transparency, for the desktop entry (icon themes read PNG).

Usage: scripts/make-icon.py [folder]   (default: res/ next to this script's parent)
Only the standard library is used and the output is byte-for-byte reproducible.
"""

import math
import struct
import sys
import zlib
from pathlib import Path

SIZES = (48, 32, 16)
DEPTHS = (4, 8, 24)
SUPERSAMPLE = 4

FILL = (34, 40, 52)
RING = (204, 210, 218)
GAP = (16, 18, 24)
IRIS = (48, 124, 204)
PUPIL = (10, 14, 30)
HIGHLIGHT = (244, 246, 250)
RED = (228, 40, 40)
MOTIF = (FILL, RING, GAP, IRIS, PUPIL, HIGHLIGHT, RED)

# Geometry in units of the icon's side.
CORNER_RADIUS = 0.22
LENS_CENTRE = (0.46, 0.54)
RING_RADIUS = 0.35
GAP_RADIUS = 0.27
IRIS_RADIUS = 0.21
PUPIL_RADIUS = 0.11
HIGHLIGHT_CENTRE = (0.40, 0.47)
HIGHLIGHT_RADIUS = 0.05
DOT_CENTRE = (0.80, 0.20)
DOT_RADIUS = 0.10


def mix(a, b, t=0.5):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def palette16():
    # Pure motif colours plus the blends anti-aliased edges produce; black first for the
    # transparent area.
    blends = [
        mix(FILL, RING),
        mix(RING, GAP),
        mix(GAP, IRIS),
        mix(IRIS, PUPIL),
        mix(FILL, RED),
        mix(PUPIL, HIGHLIGHT),
        mix(FILL, RING, 0.25),
        mix(FILL, RING, 0.75),
    ]
    return [(0, 0, 0)] + list(MOTIF) + blends


def palette256():
    levels = (0, 51, 102, 153, 204, 255)
    cube = [(r, g, b) for r in levels for g in levels for b in levels]
    greys = [(v, v, v) for v in (round(i * 255 / 25) for i in range(1, 25))]
    colours = cube + list(palette16()) + greys
    assert len(colours) == 256
    return colours


def inside_rounded_square(x, y):
    r = CORNER_RADIUS
    cx = min(max(x, r), 1.0 - r)
    cy = min(max(y, r), 1.0 - r)
    return 0.0 <= x <= 1.0 and 0.0 <= y <= 1.0 and (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def within(x, y, centre, radius):
    return (x - centre[0]) ** 2 + (y - centre[1]) ** 2 <= radius * radius


def sample(x, y):
    """Colour at a point of the unit square (y down), or None outside the icon."""
    if not inside_rounded_square(x, y):
        return None
    if within(x, y, DOT_CENTRE, DOT_RADIUS):
        return RED
    if within(x, y, HIGHLIGHT_CENTRE, HIGHLIGHT_RADIUS):
        return HIGHLIGHT
    if within(x, y, LENS_CENTRE, PUPIL_RADIUS):
        return PUPIL
    if within(x, y, LENS_CENTRE, IRIS_RADIUS):
        return IRIS
    if within(x, y, LENS_CENTRE, GAP_RADIUS):
        return GAP
    if within(x, y, LENS_CENTRE, RING_RADIUS):
        return RING
    return FILL


def render(size):
    """Rows top-down of (r, g, b) or None for transparent pixels."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            hits = 0
            for sy in range(n):
                for sx in range(n):
                    c = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c is not None:
                        hits += 1
                        for i in range(3):
                            total[i] += c[i]
            if hits * 2 < n * n:
                row.append(None)
            else:
                row.append(tuple((t + hits // 2) // hits for t in total))
        rows.append(row)
    return rows


def nearest(colour, palette):
    best, best_d = 0, math.inf
    for i, p in enumerate(palette):
        d = sum((a - b) ** 2 for a, b in zip(colour, p))
        if d < best_d:
            best, best_d = i, d
    return best


def row_stride(width, bpp):
    return ((width * bpp + 31) // 32) * 4


def dib(rows, bpp):
    size = len(rows)
    palette = {4: palette16, 8: palette256}.get(bpp, lambda: [])()
    xor = bytearray()
    for row in reversed(rows):
        line = bytearray()
        if bpp == 24:
            for c in row:
                r, g, b = c if c is not None else (0, 0, 0)
                line += bytes((b, g, r))
        else:
            indices = [nearest(c, palette) if c is not None else 0 for c in row]
            if bpp == 8:
                line += bytes(indices)
            else:
                for i in range(0, size, 2):
                    line.append((indices[i] << 4) | indices[i + 1])
        line += bytes(row_stride(size, bpp) - len(line))
        xor += line
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(row_stride(size, 1))
        for x, c in enumerate(row):
            if c is None:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    header = struct.pack(
        "<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(mask), 0, 0, len(palette), 0
    )
    quads = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + quads + bytes(xor) + bytes(mask)


def build():
    images = []
    for size in SIZES:
        rows = render(size)
        for bpp in DEPTHS:
            images.append((size, bpp, dib(rows, bpp)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bpp, data in images:
        colours = 16 if bpp == 4 else 0
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    return bytes(out)


def png(rows):
    """An 8-bit RGBA PNG of the rows; transparent where the icon's mask is."""

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)  # no filter
        for c in row:
            raw += bytes((*c, 255)) if c is not None else bytes(4)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        + chunk(b"IEND", b"")
    )


def main():
    default = Path(__file__).resolve().parent.parent / "res"
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else default
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "icon128.ico").write_bytes(build())
    (folder / "quillon.png").write_bytes(png(render(SIZES[0])))


if __name__ == "__main__":
    main()
