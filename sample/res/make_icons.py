#!/usr/bin/env python3
"""Draws the product's icons and writes them as .ico files next to this script.

Run it again after changing a drawing; the .ico files are committed so that the
build needs nothing but the resource compiler. Only the standard library is used:
every image is rendered with 4x4 supersampling and stored as an uncompressed
bitmap entry (32 bits with alpha, or 8 bits with a palette and a mask), which is
what every Windows version from 98 on reads.
"""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "icons")
# Files of the payload tree that are images too (an earlier version's flags).
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")

# Colours as (r, g, b, a) in 0..255.
NAVY = (20, 58, 122, 255)
BLUE = (46, 110, 196, 255)
SKY = (170, 214, 250, 200)
WHITE = (255, 255, 255, 255)
GOLD = (236, 170, 36, 255)
BROWN = (120, 72, 20, 255)
GREY = (120, 120, 120, 255)
LIGHTGREY = (200, 200, 200, 200)
PAPER = (250, 250, 244, 255)
INK = (90, 90, 90, 255)


def over(dst, src, cover):
    """Composites src with the given coverage (0..1) over dst; both premultiplied-free RGBA."""
    a = src[3] / 255.0 * cover
    if a <= 0:
        return dst
    da = dst[3] / 255.0
    oa = a + da * (1 - a)
    if oa <= 0:
        return (0, 0, 0, 0)
    rgb = [(src[i] * a + dst[i] * da * (1 - a)) / oa for i in range(3)]
    return (rgb[0], rgb[1], rgb[2], oa * 255.0)


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def magnifier(lens, ring, handle):
    """Layers of a magnifying glass in unit coordinates (0..1, y down)."""
    cx, cy, r = 0.42, 0.42, 0.27
    return [
        (lambda x, y: math.hypot(x - cx, y - cy) < r, lens),
        (lambda x, y: abs(math.hypot(x - cx, y - cy) - r) < 0.065, ring),
        (lambda x, y: seg_dist(x, y, 0.62, 0.62, 0.88, 0.88) < 0.085, handle),
    ]


def net(colour):
    """A trawl net: diagonal mesh inside a rounded square."""
    def inside(x, y):
        return 0.1 < x < 0.9 and 0.1 < y < 0.9
    def mesh(x, y):
        u, v = (x + y) * 4.0, (x - y) * 4.0
        return inside(x, y) and (abs(u - round(u)) < 0.08 or abs(v - round(v)) < 0.08)
    return [(mesh, colour)]


def rounded_square(colour, inset=0.04, radius=0.18):
    def f(x, y):
        lo, hi = inset + radius, 1 - inset - radius
        qx = max(lo - x, 0, x - hi)
        qy = max(lo - y, 0, y - hi)
        return math.hypot(qx, qy) < radius
    return [(f, colour)]


def document(fold=0.25):
    """A sheet of paper with a folded corner and a few lines of text."""
    l, t, r, b = 0.16, 0.04, 0.84, 0.96
    def sheet(x, y):
        return l < x < r and t < y < b and not (x > r - fold and y < t + fold and (x - (r - fold)) > (y - t))
    def edge(x, y):
        if not (l - 0.04 < x < r + 0.04 and t - 0.04 < y < b + 0.04):
            return False
        near = min(abs(x - l), abs(y - b), abs(x - r) if y > t + fold else 9, abs(y - t) if x < r - fold else 9)
        diag = abs((x - (r - fold)) - (y - t)) / math.sqrt(2) if x > r - fold - 0.02 and y < t + fold + 0.02 else 9
        return (near < 0.035 and (l - 0.04 < x < r + 0.04)) or diag < 0.035
    def fold_part(x, y):
        return r - fold < x < r and t < y < t + fold and (x - (r - fold)) <= (y - t)
    def text(x, y):
        return l + 0.1 < x < r - 0.1 and any(abs(y - yy) < 0.025 for yy in (0.42, 0.55, 0.68, 0.81))
    return [(sheet, PAPER), (fold_part, LIGHTGREY), (text, (150, 150, 150, 255)), (edge, INK)]


def render(layers, size, sub=4):
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            colour = (0, 0, 0, 0)
            for test, c in layers:
                hits = 0
                for sy in range(sub):
                    for sx in range(sub):
                        x = (px + (sx + 0.5) / sub) / size
                        y = (py + (sy + 0.5) / sub) / size
                        if test(x, y):
                            hits += 1
                if hits:
                    colour = over(colour, c, hits / float(sub * sub))
            row.append(tuple(int(round(v)) for v in colour))
        pixels.append(row)
    return pixels


def scaled(layers, scale, dx, dy):
    """The same layers drawn smaller and moved (used to put a glass on a document)."""
    return [((lambda t: lambda x, y: t((x - dx) / scale, (y - dy) / scale))(test), c) for test, c in layers]


PALETTE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
PALETTE += [(v, v, v) for v in range(8, 256, 6)][: 256 - len(PALETTE)]
PALETTE += [(0, 0, 0)] * (256 - len(PALETTE))


def nearest(rgb):
    best, index = None, 0
    for i, p in enumerate(PALETTE):
        d = (p[0] - rgb[0]) ** 2 + (p[1] - rgb[1]) ** 2 + (p[2] - rgb[2]) ** 2
        if best is None or d < best:
            best, index = d, i
    return index


def mask_rows(pixels):
    size = len(pixels)
    stride = ((size + 31) // 32) * 4
    out = b""
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def bitmap_entry(pixels, bpp):
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, 0, 0, 0, 0, 0)
    if bpp == 32:
        body = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(pixels) for p in row)
        palette = b""
    else:
        palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
        stride = (size + 3) & ~3
        body = b""
        for row in reversed(pixels):
            # Transparent pixels are black in the colour plane so the mask shows through.
            line = bytes(nearest(p[:3]) if p[3] >= 128 else 0 for p in row)
            body += line + b"\0" * (stride - size)
    return header + palette + body + mask_rows(pixels)


def write_ico(name, images, folder=HERE):
    """images: list of (layers, size, bpp)."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for layers, size, bpp in images:
        blob = bitmap_entry(render(layers, size), bpp)
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bpp, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + b"".join(entries) + b"".join(blobs))


def main():
    os.makedirs(HERE, exist_ok=True)
    app = rounded_square(NAVY) + net((120, 160, 220, 255)) + magnifier(SKY, WHITE, GOLD)
    write_ico("trawlix.ico", [(app, 32, 32), (app, 16, 32), (app, 32, 8), (app, 16, 8)])

    # Browser toolbar buttons: grey and coloured glass for old systems (256
    # colours), coloured and brightened glass with alpha for newer ones.
    grey = magnifier(LIGHTGREY, GREY, GREY)
    colour = magnifier(SKY, BLUE, BROWN)
    hot = magnifier((210, 236, 255, 220), (30, 140, 240, 255), GOLD)
    write_ico("button1001.ico", [(grey, 20, 8), (grey, 16, 8)])
    write_ico("button1002.ico", [(colour, 20, 8), (colour, 16, 8)])
    write_ico("button1003.ico", [(colour, 24, 32), (colour, 20, 32), (colour, 16, 32)])
    write_ico("button1004.ico", [(hot, 24, 32), (hot, 20, 32), (hot, 16, 32)])

    query = document() + scaled(magnifier(SKY, BLUE, GOLD), 0.55, 0.40, 0.42)
    write_ico("query204.ico", [(query, 32, 32), (query, 16, 32), (query, 32, 8), (query, 16, 8)])

    helper = rounded_square(NAVY) + scaled(magnifier(SKY, WHITE, GOLD), 0.7, 0.15, 0.15)
    write_ico("qbox.ico", [(helper, 32, 32), (helper, 16, 32), (helper, 32, 8), (helper, 16, 8)])

    # The flag an earlier version showed beside its Chinese language file; the
    # setup's clean-up removes it.
    flag = [(lambda x, y: 0.05 < x < 0.95 and 0.2 < y < 0.8, (214, 40, 30, 255)),
            (lambda x, y: math.hypot(x - 0.28, y - 0.38) < 0.1, (250, 220, 40, 255))]
    flags = os.path.join(DATA, "Language", "Flags")
    os.makedirs(flags, exist_ok=True)
    write_ico("Chinese Simplified(GB2312).ico", [(flag, 16, 8)], flags)


if __name__ == "__main__":
    main()
