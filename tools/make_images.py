#!/usr/bin/env python3
"""Draws the program's images: the pass tick, the fail cross, the blank mark, the logo banner and
the application icon. Run it after changing a drawing; its outputs are committed under app/res/.

The dialog grows with the display scale, so every bitmap is drawn for 100, 125, 150 and 200 %
(pass.bmp, pass-125.bmp, ...), each from the same shapes rather than stretched from the smallest,
and the icon holds the sizes the About box needs at each scale. Shapes are drawn with 4x4
supersampling so their edges stay smooth at 24 pixels."""

import math
import os
import struct
import sys

SUPERSAMPLE = 4
SCALES = (100, 125, 150, 200)
MARK_SIZE = 24      # pixels at 100 %
LOGO_SIZE = (195, 59)
ICON_SIZE = 32      # the About box's icon at 100 %
WHITE = (255, 255, 255)
BACKGROUND = (153, 186, 190)  # the dialog's colour, so the banner sits flush on it


def blend(under, over, alpha):
    return tuple(round(u + (o - u) * alpha) for u, o in zip(under, over))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def coverage(width, height, inside):
    """Fraction of each pixel covered by the shape `inside(x, y)` (coordinates in pixels)."""
    cells = []
    step = 1.0 / SUPERSAMPLE
    for y in range(height):
        row = []
        for x in range(width):
            hits = 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                        hits += 1
            row.append(hits / (SUPERSAMPLE * SUPERSAMPLE))
        cells.append(row)
    return cells


def paint(pixels, shape, colour):
    for y, row in enumerate(shape):
        for x, alpha in enumerate(row):
            if alpha > 0:
                pixels[y][x] = blend(pixels[y][x], colour, alpha)


def canvas(width, height, colour):
    return [[colour for _ in range(width)] for _ in range(height)]


def stroke(points, half_width):
    def inside(x, y):
        return any(segment_distance(x, y, *points[i], *points[i + 1]) <= half_width
                   for i in range(len(points) - 1))
    return inside


def tick(size):
    pixels = canvas(size, size, WHITE)
    s = size / 24.0
    paint(pixels, coverage(size, size, stroke([(4.5 * s, 12.5 * s), (9.5 * s, 18 * s),
                                                (19.5 * s, 5.5 * s)], 2.1 * s)), (20, 150, 40))
    return pixels


def cross(size):
    pixels = canvas(size, size, WHITE)
    s = size / 24.0
    first = stroke([(5.5 * s, 5.5 * s), (18.5 * s, 18.5 * s)], 2.1 * s)
    second = stroke([(18.5 * s, 5.5 * s), (5.5 * s, 18.5 * s)], 2.1 * s)
    paint(pixels, coverage(size, size, lambda x, y: first(x, y) or second(x, y)), (205, 30, 30))
    return pixels


# A 5x7 pixel font, just the letters of the banner.
GLYPHS = {
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "-": ["00000", "00000", "00000", "11111", "00000", "00000", "00000"],
}


def text_shape(text, left, top, scale):
    """The banner's pixel-font letters, `scale` pixels a font cell (any positive number)."""
    def inside(px, py):
        row = math.floor((py - top) / scale)
        if not 0 <= row < 7:
            return False
        column = math.floor((px - left) / scale)
        letter, column = divmod(column, 6)
        if not 0 <= letter < len(text) or column >= 5:
            return False
        return GLYPHS[text[letter]][row][column] == "1"
    return inside


def logo(scale=100):
    f = scale / 100.0
    width, height = ((side * scale + 50) // 100 for side in LOGO_SIZE)
    pixels = canvas(width, height, BACKGROUND)
    band = coverage(width, height, lambda x, y: 6 * f <= y <= 53 * f and 4 * f <= x <= 190 * f)
    paint(pixels, band, (40, 70, 110))
    # A tick in a ring on the left, the name on the right.
    ring = coverage(width, height,
                    lambda x, y: 14.5 * f <= math.hypot(x - 29.5 * f, y - 29.5 * f) <= 18.5 * f)
    paint(pixels, ring, (120, 200, 140))
    paint(pixels, coverage(width, height, stroke([(21 * f, 30 * f), (27 * f, 36.5 * f),
                                                  (38.5 * f, 22 * f)], 2.4 * f)),
          (120, 200, 140))
    paint(pixels, coverage(width, height, text_shape("QUOR-", 56 * f, 11 * f, 3 * f)), WHITE)
    paint(pixels, coverage(width, height, text_shape("KELVRA", 57 * f, 37 * f, 2 * f)),
          (200, 220, 235))
    return pixels


def icon(size):
    pixels = canvas(size, size, (0, 0, 0))
    s = size / 32.0
    disc = coverage(size, size, lambda x, y: math.hypot(x - 16 * s, y - 16 * s) <= 15.2 * s)
    paint(pixels, disc, (40, 70, 110))
    paint(pixels, coverage(size, size, stroke([(8.5 * s, 16.5 * s), (13.5 * s, 22 * s),
                                                (23.5 * s, 9.5 * s)], 2.4 * s)), (120, 200, 140))
    return pixels, disc


def bmp_bytes(pixels):
    height, width = len(pixels), len(pixels[0])
    row_size = (width * 3 + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        body += line + bytes(row_size - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return header + info + bytes(body)


def icon_image(pixels, alpha):
    """One 32-bit icon image (BITMAPINFOHEADER, BGRA rows, an AND mask for old systems)."""
    size = len(pixels)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b = pixels[y][x]
            colour += bytes((b, g, r, round(alpha[y][x] * 255)))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        bits = bytearray(mask_row)
        for x in range(size):
            if alpha[y][x] < 0.5:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return info + bytes(colour) + bytes(mask)


def ico_bytes(sizes):
    images = [icon_image(*icon(size)) for size in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def scaled_name(name, scale):
    stem, extension = os.path.splitext(name)
    return name if scale == 100 else "%s-%d%s" % (stem, scale, extension)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..",
                                                                "app", "res")
    outputs = {}
    for scale in SCALES:
        mark = MARK_SIZE * scale // 100
        outputs[scaled_name("pass.bmp", scale)] = bmp_bytes(tick(mark))
        outputs[scaled_name("fail.bmp", scale)] = bmp_bytes(cross(mark))
        outputs[scaled_name("blank.bmp", scale)] = bmp_bytes(canvas(mark, mark, WHITE))
        outputs[scaled_name("logo.bmp", scale)] = bmp_bytes(logo(scale))
    # The small icon sizes for the title bar, the large ones for the About box at each scale.
    icon_sizes = sorted({16, 20, 24, 48} | {ICON_SIZE * scale // 100 for scale in SCALES})
    outputs["quorkelvra.ico"] = ico_bytes(icon_sizes)
    for name, data in outputs.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
