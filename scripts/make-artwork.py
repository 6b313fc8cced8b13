#!/usr/bin/env python3
"""Draws Kesterly's icons and the About picture into resources/.

    python3 scripts/make-artwork.py

kesterly.ico      program icon, 16/32/48 pixels, 32-bit with alpha: a dark red
                  shield carrying a white rules page
glyph_ok.ico      16 x 16 green check mark
glyph_cancel.ico  16 x 16 red cross
glyph_about.ico   16 x 16 blue "i" in a circle
about.bmp         64 x 64, 8 bits per pixel, the emblem on a near-white ground

Shapes are described in a unit square and sampled 4 x 4 times per pixel, so
edges come out smooth at every size.
"""
import math
import os
import struct

SAMPLES = 4
RESOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")


def render(size, paint):
    """paint(x, y) -> (r, g, b, a) or None at a point of the unit square.
    Returns rows top-down of (r, g, b, a) with straight (not premultiplied) alpha."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = paint((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        r += c[0] * c[3]; g += c[1] * c[3]; b += c[2] * c[3]; a += c[3]
            n = SAMPLES * SAMPLES
            row.append((round(r / a), round(g / a), round(b / a), round(a / n)) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def segment_distance(x, y, x1, y1, x2, y2):
    dx, dy = x2 - x1, y2 - y1
    t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - x1 - t * dx, y - y1 - t * dy)


# --- the emblem -------------------------------------------------------------

def shield_half_width(y, inset):
    top, shoulder, tip = 0.06 + inset, 0.50, 0.96 - inset * 1.6
    if y < top or y > tip:
        return -1.0
    width = 0.42 - inset
    if y <= shoulder:
        return width
    t = (y - shoulder) / (tip - shoulder)
    return width * math.cos(t * math.pi / 2) ** 0.75


def emblem(x, y):
    dx = abs(x - 0.5)
    if dx > shield_half_width(y, 0.0):
        return None
    if dx > shield_half_width(y, 0.06):
        return (92, 12, 18, 255)                       # rim
    # page: a sheet with a folded top-right corner and three lines of text
    left, right, top, bottom, fold = 0.31, 0.69, 0.20, 0.70, 0.10
    if left <= x <= right and top <= y <= bottom:
        if x - (right - fold) > y - top:               # cut-off corner
            pass
        elif x > right - fold and y < top + fold and x - (right - fold) > (y - top) - 0.012:
            return (190, 190, 196, 255)                # fold edge
        elif x > right - fold and y < top + fold:
            return (215, 215, 222, 255)                # folded flap
        else:
            for line in (0.36, 0.46, 0.56):
                if abs(y - line) < 0.027 and left + 0.06 <= x <= right - (0.06 if line != 0.56 else 0.14):
                    return (120, 28, 34, 255)
            return (252, 252, 250, 255)
    shade = 1.0 - 0.35 * y                             # light from above
    return (round(168 * shade + 20), round(26 * shade), round(34 * shade), 255)


# --- glyphs -----------------------------------------------------------------

def stroke(points, width, colour):
    def paint(x, y):
        x, y = x * 16, y * 16
        d = min(segment_distance(x, y, *points[i], *points[i + 1]) for i in range(len(points) - 1))
        return colour if d <= width / 2 else None
    return paint


def glyph_about(x, y):
    x, y = x * 16, y * 16
    if math.hypot(x - 8, y - 8) > 7.4:
        return None
    white = (255, 255, 255, 255)
    if math.hypot(x - 8, y - 4.6) <= 1.25:
        return white
    if 7.0 <= x <= 9.0 and 6.8 <= y <= 12.2 or 6.0 <= x <= 10.0 and 11.2 <= y <= 12.2:
        return white
    return (28, 88, 196, 255) if math.hypot(x - 8, y - 8) < 6.6 else (16, 58, 150, 255)


# --- file formats -----------------------------------------------------------

def ico_image(rows):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for i, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += bits
    return header + pixels + bytes(mask)


def write_ico(name, images):
    data = [ico_image(rows) for rows in images]
    out = struct.pack("<HHH", 0, 1, len(data))
    offset = 6 + 16 * len(data)
    for rows, blob in zip(images, data):
        size = len(rows)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(os.path.join(RESOURCES, name), "wb") as f:
        f.write(out + b"".join(data))


def write_bmp8(name, rows, background):
    flat = []
    for row in rows:
        for (r, g, b, a) in row:
            k = a / 255
            flat.append(tuple(round(c * k + bg * (1 - k)) for c, bg in zip((r, g, b), background)))
    counts = {}
    for c in flat:
        counts[c] = counts.get(c, 0) + 1
    palette = [background] + [c for c, _ in sorted(counts.items(), key=lambda kv: -kv[1]) if c != background]
    palette = palette[:256]
    index = {c: i for i, c in enumerate(palette)}

    def nearest(c):
        if c not in index:
            index[c] = min(range(len(palette)), key=lambda i: sum((p - q) ** 2 for p, q in zip(palette[i], c)))
        return index[c]

    size = len(rows)
    stride = (size + 3) & ~3
    pixels = bytearray()
    for y in reversed(range(size)):
        line = bytes(nearest(flat[y * size + x]) for x in range(size))
        pixels += line + bytes(stride - size)
    colours = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette) + bytes(4 * (256 - len(palette)))
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(os.path.join(RESOURCES, name), "wb") as f:
        f.write(header + info + colours + pixels)


def main():
    os.makedirs(RESOURCES, exist_ok=True)
    write_ico("kesterly.ico", [render(s, emblem) for s in (16, 32, 48)])
    write_ico("glyph_ok.ico", [render(16, stroke([(3.2, 8.4), (6.6, 11.8), (12.8, 4.4)], 2.6, (34, 150, 52, 255)))])
    write_ico("glyph_cancel.ico", [render(16, lambda x, y: stroke([(4, 4), (12, 12)], 2.6, (204, 34, 34, 255))(x, y)
                                           or stroke([(12, 4), (4, 12)], 2.6, (204, 34, 34, 255))(x, y))])
    write_ico("glyph_about.ico", [render(16, glyph_about)])
    margin = 4 / 64
    write_bmp8("about.bmp", render(64, lambda x, y: emblem((x - margin) / (1 - 2 * margin),
                                                            (y - margin) / (1 - 2 * margin))),
               (250, 250, 250))


if __name__ == "__main__":
    main()
