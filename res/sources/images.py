#!/usr/bin/env python3
"""Draws the setup's bitmaps and icons and writes them as BMP and ICO files.

    images.py SOURCES_DIR RES_DIR

Inputs in SOURCES_DIR: icons16.txt (pixel pictures of the small icons),
pictures.txt (vector drawings of the larger icons and the badge) and
captions.txt (the six caption lines). ImageMagick renders the drawings and the
text; the files are written here, byte by byte, so that their colour depth is
exactly the one the screens expect (ImageMagick would pick the smallest depth
that holds an image's colours) and so that a second run gives identical files.
"""

import os
import struct
import subprocess
import sys

FONT_DIR = "/usr/share/fonts/truetype/dejavu"


def fail(message):
    sys.exit("images.py: " + message)


# ---------------------------------------------------------------- rendering

def render(width, height, args, pixel_count=None):
    """Runs ImageMagick on a transparent canvas; returns the RGBA tuples of the
    result (width*height of them unless the arguments resize the picture)."""
    command = ["convert", "-size", f"{width}x{height}", "xc:none"] + args + ["-depth", "8", "rgba:-"]
    raw = subprocess.run(command, check=True, stdout=subprocess.PIPE).stdout
    if len(raw) != 4 * (pixel_count or width * height):
        fail(f"ImageMagick gave {len(raw)} bytes for {width}x{height}")
    return [tuple(raw[i:i + 4]) for i in range(0, len(raw), 4)]


def render_drawing(canvas, size, drawing):
    """A vector drawing made on a large canvas and averaged down to the icon's
    size, so that edges are smooth without any resampling ripple."""
    if canvas % size:
        fail(f"a {canvas}-pixel drawing does not average down to {size} pixels")
    return render(canvas, canvas, ["-draw", drawing, "-filter", "Box", "-resize", f"{size}x{size}"],
                  size * size)


def text_width(font, points, text, word_gap=None):
    """Width in pixels of the text's ink, measured on a wide canvas; word_gap
    sets the width of a blank in pixels."""
    gap = ["-interword-spacing", str(word_gap)] if word_gap is not None else []
    out = subprocess.run(["convert", "-size", "4000x60", "xc:black", "-font", font, "-pointsize", str(points)] + gap +
                         ["-fill", "white", "-annotate", "+0+40", text, "-format", "%@", "info:"],
                         check=True, stdout=subprocess.PIPE, text=True).stdout
    return int(out.split("x")[0])


# ---------------------------------------------------------------- file formats

def dib_rows(width, height, bits, row_bytes_of):
    """Bottom-up rows padded to 32 bits, as every DIB stores them."""
    stride = (width * bits + 31) // 32 * 4
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = row_bytes_of(y)
        out += row + bytes(stride - len(row))
    return bytes(out)


def pack_nibbles(indices):
    if len(indices) % 2:
        indices = indices + [0]
    return bytes((indices[i] << 4) | indices[i + 1] for i in range(0, len(indices), 2))


def write_bmp16(path, width, height, indices, palette):
    """A 4-bit (16-colour) Windows bitmap file."""
    if len(palette) != 16:
        fail(f"{path}: a 16-colour bitmap needs 16 palette entries")
    pixels = dib_rows(width, height, 4, lambda y: pack_nibbles(indices[y * width:(y + 1) * width]))
    colours = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(pixels), 2835, 2835, 16, 16)
    offset = 14 + len(info) + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + colours + pixels)


def and_mask(width, height, pixels, transparent):
    def row(y):
        bits = bytearray((width + 7) // 8)
        for x in range(width):
            if transparent(pixels[y * width + x]):
                bits[x // 8] |= 0x80 >> (x % 8)
        return bytes(bits)
    return dib_rows(width, height, 1, row)


BLACK = (0, 0, 0)


def posterize(rgb, step):
    return tuple(min(255, (c + step // 2) // step * step) for c in rgb) if step > 1 else rgb


def icon_image_256(width, height, pixels):
    """One 8-bit icon image: palette, colour indices and the transparency mask.
    Pixels at least half opaque are drawn opaque; colours are coarsened just
    enough to fit the palette. The system draws an icon by masking the screen
    and then combining the colours with XOR, so transparent pixels are black."""
    opaque = [p[:3] for p in pixels if p[3] >= 128]
    if not opaque:
        fail("an icon without a single opaque pixel")
    step = 1
    while len(set(posterize(c, step) for c in opaque) | {BLACK}) > 256:
        step *= 2
    palette = sorted(set(posterize(c, step) for c in opaque) | {BLACK})
    index = {c: i for i, c in enumerate(palette)}
    indices = [index[posterize(p[:3], step) if p[3] >= 128 else BLACK] for p in pixels]
    palette += [BLACK] * (256 - len(palette))
    colours = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    xor = dib_rows(width, height, 8, lambda y: bytes(indices[y * width:(y + 1) * width]))
    mask = and_mask(width, height, pixels, lambda p: p[3] < 128)
    info = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
    return (width, height, 8, info + colours + xor + mask)


def icon_image_32(width, height, pixels):
    """One 32-bit icon image with its alpha channel (and a mask for systems
    that ignore alpha)."""
    pixels = [p if p[3] else (0, 0, 0, 0) for p in pixels]  # black where the mask lets the screen through
    xor = dib_rows(width, height, 32,
                   lambda y: b"".join(bytes((b, g, r, a)) for (r, g, b, a) in pixels[y * width:(y + 1) * width]))
    mask = and_mask(width, height, pixels, lambda p: p[3] == 0)
    info = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return (width, height, 32, info + xor + mask)


def write_ico(path, images):
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for (width, height, bits, dib) in images:
        colours = 0 if bits >= 8 else 1 << bits
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, colours, 0, 1, bits, len(dib),
                               offset + len(data))
        data += dib
    with open(path, "wb") as f:
        f.write(header + entries + data)


# ---------------------------------------------------------------- sources

def sections(path):
    """Splits a source file into (keyword, argument, lines) at lines that begin
    with a keyword; comment lines (#) and blank lines are dropped."""
    result = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if not line.startswith((" ", "\t")) and line.split()[0] in ("palette", "icon", "picture"):
                words = line.split(None, 1)
                result.append((words[0], words[1].strip() if len(words) > 1 else "", []))
            elif result:
                result[-1][2].append(line)
            else:
                fail(f"{path}: text before the first section: {line}")
    return result


def pixel_pictures(path):
    """The hand-drawn small icons: {name: list of RGBA}."""
    palette, pictures = {}, {}
    for keyword, name, lines in sections(path):
        if keyword == "palette":
            for line in lines:
                key, r, g, b = line.split()
                palette[key] = (int(r), int(g), int(b), 255)
        elif keyword == "icon":
            if len(lines) != 16 or any(len(row) != 16 for row in lines):
                fail(f"{path}: icon {name} is not 16 rows of 16 characters")
            try:
                pictures[name] = [(0, 0, 0, 0) if ch == "." else palette[ch] for row in lines for ch in row]
            except KeyError as error:
                fail(f"{path}: icon {name} uses the colour {error} that the palette lacks")
    return pictures


def vector_pictures(path):
    """The vector drawings: {name: (width, height, MVG text)}; "use NAME" lines
    take the lines of an earlier drawing, "@FONT" stands for the font folder."""
    pictures = {}
    for keyword, name, lines in sections(path):
        if keyword != "picture":
            continue
        words = name.split()
        width, height = (int(n) for n in words[1].split("x"))
        body = []
        for line in lines:
            if line.split()[0] == "use":
                body.append(pictures[line.split()[1]][2])
            else:
                body.append(line.strip().replace("@FONT", FONT_DIR))
        pictures[words[0]] = (width, height, "\n".join(body))
    return pictures


# ---------------------------------------------------------------- bitmaps

GREYS = [(17 * i, 17 * i, 17 * i) for i in range(16)]


def nearest(palette, rgb):
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))


def flatten_on_black(pixels):
    return [tuple(c * p[3] // 255 for c in p[:3]) for p in pixels]


def caption_bitmap(path, width, text):
    """One caption line: white text on black, its word gaps widened (by less
    than a letter) so that the line spans the bitmap."""
    font = os.path.join(FONT_DIR, "DejaVuSans-Bold.ttf")
    points, target = 13, width - 2
    low, high = 3.5, 7.0
    if not text_width(font, points, text, low) <= target <= text_width(font, points, text, high):
        fail(f"caption {os.path.basename(path)}: the text does not fit {width} pixels with even word gaps; reword it")
    for _ in range(20):
        middle = (low + high) / 2
        low, high = (middle, high) if text_width(font, points, text, middle) <= target else (low, middle)
    gap = round(low, 3)
    pixels = flatten_on_black(render(width, 18, ["-font", font, "-pointsize", str(points), "-interword-spacing",
                                                 str(gap), "-fill", "white", "-annotate", "+1+14", text]))
    write_bmp16(path, width, 18, [min(15, (sum(p) // 3 + 8) // 17) for p in pixels], GREYS)


# Badge colours: black (drawn transparent), greys for the lettering, golds for the star.
BADGE_PALETTE = [(0, 0, 0),
                 (36, 36, 40), (72, 72, 80), (108, 108, 118), (144, 146, 158), (180, 184, 198), (212, 218, 234),
                 (255, 255, 255),
                 (70, 50, 4), (110, 80, 8), (150, 112, 12), (190, 144, 20), (224, 176, 32), (250, 204, 56),
                 (255, 224, 110), (255, 240, 170)]


def badge_bitmap(path, size, drawing):
    width, height = size
    pixels = flatten_on_black(render(width, height, ["-draw", drawing]))
    cache = {}
    indices = []
    for p in pixels:
        if p not in cache:
            cache[p] = nearest(BADGE_PALETTE, p)
        indices.append(cache[p])
    write_bmp16(path, width, height, indices, BADGE_PALETTE)


# ---------------------------------------------------------------- main

def main():
    if len(sys.argv) != 3:
        fail("usage: images.py SOURCES_DIR RES_DIR")
    sources, res = sys.argv[1], sys.argv[2]
    icons_dir, bitmaps_dir = os.path.join(res, "icons"), os.path.join(res, "bitmaps")
    os.makedirs(icons_dir, exist_ok=True)
    os.makedirs(bitmaps_dir, exist_ok=True)

    small = pixel_pictures(os.path.join(sources, "icons16.txt"))
    for name in ("1001", "1002", "1003", "1101", "1102", "1103", "1104"):
        write_ico(os.path.join(icons_dir, f"icon{name}.ico"), [icon_image_256(16, 16, small[name])])

    drawings = vector_pictures(os.path.join(sources, "pictures.txt"))

    def drawn(name, size):
        return render_drawing(drawings[name][0], size, drawings[name][2])

    # The program icon: the hand-drawn 16-pixel picture and two drawn sizes,
    # each in 256 colours and with an alpha channel.
    main_images = []
    for size in (16, 32, 48):
        pixels = small["MAINICON"] if size == 16 else drawn("MAINICON", size)
        main_images += [icon_image_256(size, size, pixels), icon_image_32(size, size, pixels)]
    write_ico(os.path.join(icons_dir, "MAINICON.ico"), main_images)

    for name in ("2", "4", "5"):
        write_ico(os.path.join(icons_dir, f"icon{name}.ico"), [icon_image_256(32, 32, drawn(name, 32))])
    write_ico(os.path.join(icons_dir, "icon6.ico"), [icon_image_32(32, 32, drawn("6", 32))])

    width, height, badge = drawings["TWXUITE"]
    badge_bitmap(os.path.join(bitmaps_dir, "TWXUITE.bmp"), (width, height), badge)

    with open(os.path.join(sources, "captions.txt"), encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                number, width, text = line.rstrip("\n").split(None, 2)
                caption_bitmap(os.path.join(bitmaps_dir, f"caption{number}.bmp"), int(width), text)


if __name__ == "__main__":
    main()
