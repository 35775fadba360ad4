#!/usr/bin/python3
"""Draws the installer's icon (resource 128): a sound wave on a round card.

Writes a 32 x 32, 16-colour Windows icon (.ico) with its transparency mask,
and with --preview also an 8x enlarged PNG of it for looking at.

    /usr/bin/python3 installer/art/make_icon.py installer/qtonal.ico [--preview icon.png]
"""
import math
import struct
import sys
import zlib

SIZE = 32
TRANSPARENT = None

# The standard 16-colour palette, in index order, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, TEAL, GRAY, SILVER = 0, 4, 6, 8, 7
YELLOW, AQUA, WHITE, BLUE = 11, 14, 15, 12


def wave(x):
    """The sound wave: a tone whose loudness swells and fades across the card."""
    t = (x - 3.0) / 25.0
    envelope = math.sin(math.pi * min(max(t, 0.0), 1.0)) ** 1.5
    return 15.5 - 9.0 * envelope * math.sin(2 * math.pi * 2.25 * t)


def draw():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    cx = cy = 15.5
    for y in range(SIZE):
        for x in range(SIZE):
            r = math.hypot(x - cx, y - cy)
            if r <= 15.6:
                pixels[y][x] = BLACK  # outline
            if r <= 14.6:
                # light from the upper left: a lighter rim, a darker body
                pixels[y][x] = BLUE if (x - cx) + (y - cy) < -14 else NAVY
    # the centre line of the scale
    for x in range(4, 28):
        if pixels[16][x] == NAVY:
            pixels[16][x] = TEAL
    # the wave, drawn thick: yellow core with an aqua glow
    for x in range(3, 29):
        for sub in range(8):
            fx = x + sub / 8.0
            fy = wave(fx)
            for dy in (-1, 0, 1):
                yy = int(round(fy)) + dy
                if 0 <= yy < SIZE and pixels[yy][x] in (NAVY, BLUE, TEAL):
                    pixels[yy][x] = AQUA
    for x in range(3, 29):
        for sub in range(8):
            fy = wave(x + sub / 8.0)
            yy = int(round(fy))
            if 0 <= yy < SIZE and pixels[yy][x] is not TRANSPARENT and pixels[yy][x] != BLACK:
                pixels[yy][x] = YELLOW
    # a highlight on the rim
    for (x, y) in ((9, 3), (8, 4), (7, 5), (6, 6), (5, 7), (4, 8)):
        pixels[y][x] = WHITE
    return pixels


def ico(pixels):
    xor_rows = []
    and_rows = []
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        row = pixels[y]
        nibbles = [0 if p is TRANSPARENT else p for p in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        mask = 0
        for x, p in enumerate(row):
            if p is TRANSPARENT:
                mask |= 1 << (SIZE - 1 - x)
        and_rows.append(struct.pack('>I', mask))
    xor = b''.join(xor_rows)
    andmask = b''.join(and_rows)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    image = header + palette + xor + andmask
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def png(pixels, scale=8):
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
    rows = []
    for y in range(SIZE * scale):
        row = bytearray([0])
        for x in range(SIZE * scale):
            p = pixels[y // scale][x // scale]
            row += bytes((200, 200, 200)) if p is TRANSPARENT else bytes(PALETTE[p])
        rows.append(bytes(row))
    raw = zlib.compress(b''.join(rows))
    ihdr = struct.pack('>IIBBBBB', SIZE * scale, SIZE * scale, 8, 2, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', raw) + chunk(b'IEND', b'')


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    pixels = draw()
    with open(argv[1], 'wb') as out:
        out.write(ico(pixels))
    if len(argv) == 4 and argv[2] == '--preview':
        with open(argv[3], 'wb') as out:
            out.write(png(pixels))


if __name__ == '__main__':
    main(sys.argv)
