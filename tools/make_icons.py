#!/usr/bin/env python3
"""Draws the program's icon ("Icon": a compact disc) and the prompt cursor
("MouseCursor": a pointer whose tip, the hot spot, is at x 0, y 15) as 32 x 32,
16-colour resources, and the installer's icon ("SetupIcon": the disc over an arrow
into a box) and its 320 x 240, 16-colour "Background" picture. Run once; the outputs
are committed in resources/."""
import math
import struct
import sys

# The 16 standard VGA colours: index -> (r, g, b).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
           (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
           (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, GREEN, SILVER, GRAY, LIME, WHITE = 0, 2, 7, 8, 10, 15


def disc_icon():
    pixels, mask = {}, set()
    for y in range(32):
        for x in range(32):
            d2 = (x - 15.5) ** 2 + (y - 15.5) ** 2
            if d2 > 15.5 ** 2:
                mask.add((x, y))                       # transparent outside the disc
            elif d2 < 2.5 ** 2:
                mask.add((x, y))                       # the centre hole
            elif d2 < 5 ** 2:
                pixels[(x, y)] = GRAY
            elif d2 > 14.5 ** 2:
                pixels[(x, y)] = GRAY                  # rim
            else:
                # Silver with a green sheen in two quadrants.
                pixels[(x, y)] = LIME if (x < 16) == (y < 16) and d2 > 9 ** 2 else SILVER
    return pixels, mask


def pointer_cursor():
    """An arrow pointing left, its tip at (0, 15)."""
    pixels, mask = {}, set((x, y) for x in range(32) for y in range(32))
    for x in range(0, 14):
        for y in range(15 - x, 16 + x):
            mask.discard((x, y))
            edge = y in (15 - x, 15 + x) or x == 13
            pixels[(x, y)] = BLACK if edge else WHITE
    for x in range(14, 26):
        for y in range(11, 20):
            mask.discard((x, y))
            edge = y in (11, 19) or x == 25
            pixels[(x, y)] = BLACK if edge else WHITE
    return pixels, mask


def setup_icon():
    """The disc, smaller and high, over a box that an arrow points into."""
    pixels, mask = {}, set((x, y) for x in range(32) for y in range(32))
    for y in range(32):
        for x in range(32):
            d2 = (x - 15.5) ** 2 + (y - 9.5) ** 2
            if 2 ** 2 <= d2 <= 9.5 ** 2:
                mask.discard((x, y))
                pixels[(x, y)] = GRAY if d2 > 8.6 ** 2 or d2 < 3.2 ** 2 else (
                    LIME if (x < 16) == (y < 10) else SILVER)
    for x in range(4, 28):                              # the box: an open tray
        for y in range(22, 31):
            if x in (4, 27) or y == 30 or (y == 22 and not 11 <= x <= 20):
                mask.discard((x, y))
                pixels[(x, y)] = BLACK
    for y in range(17, 27):                             # the arrow into it
        half = 4 - (y - 22) if y >= 22 else 1
        for x in range(16 - max(half, 1), 16 + max(half, 1)):
            mask.discard((x, y))
            pixels[(x, y)] = GREEN
    return pixels, mask


# The installer's background: the panel gray that its texts are painted on, a sound
# wave along the bottom and a disc in the corner, in 16 colours of its own.
BACKGROUND_PALETTE = [(190, 190, 190), (0, 0, 0), (255, 255, 255), (128, 128, 128), (160, 160, 160),
                      (0, 0, 160), (40, 80, 200), (110, 150, 230), (170, 200, 245), (32, 128, 32),
                      (120, 200, 120), (220, 220, 220), (200, 170, 230), (240, 220, 150), (150, 210, 220),
                      (100, 100, 100)]
PANEL, INK, LIGHT, MID, SHADE, NAVY, BLUE, SKY, PALE, LEAF, MINT, PEARL, LILAC, GOLD, ICE, DARK = range(16)


def background():
    width, height = 320, 240
    image = [[PANEL] * width for _ in range(height)]
    for x in range(width):                              # a raised edge round the picture
        image[0][x], image[height - 1][x] = LIGHT, MID
    for y in range(height):
        image[y][0], image[y][width - 1] = LIGHT, MID
    base = 212
    for x in range(2, 244):                             # the wave, fading out towards its ends
        envelope = math.sin(math.pi * (x - 2) / 242)
        level = envelope * (14 * math.sin(x / 6.0) + 7 * math.sin(x / 2.3 + 1.0))
        top, bottom = sorted((base, int(round(base - level))))
        for y in range(top, bottom + 1):
            image[y][x] = NAVY if abs(y - base) > 12 else BLUE if abs(y - base) > 5 else SKY
        image[base][x] = PALE
    cx, cy, r = 280, 200, 34
    sheen = [LILAC, ICE, MINT, GOLD, PEARL, PALE]
    for y in range(cy - r - 1, min(height - 1, cy + r + 2)):
        for x in range(cx - r - 1, min(width - 1, cx + r + 2)):
            d = math.hypot(x - cx + 0.5, y - cy + 0.5)
            if d > r + 0.5:
                continue
            if d < 5:
                image[y][x] = PANEL                     # the hole
            elif d < 6 or d > r - 0.5:
                image[y][x] = DARK
            elif d < 12:
                image[y][x] = SHADE
            else:
                angle = math.atan2(y - cy, x - cx)
                image[y][x] = sheen[int((angle + math.pi) / (2 * math.pi) * 12) % len(sheen)]
    return image


def bmp(image, palette):
    height, width = len(image), len(image[0])
    rows = b''
    for row in reversed(image):                         # bottom-up rows, two pixels a byte
        rows += bytes((row[x] << 4) | row[x + 1] for x in range(0, width, 2))
    colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(rows), 2835, 2835, 16, 16)
    offset = 14 + len(info) + len(colours)
    return struct.pack('<2sIHHI', b'BM', offset + len(rows), 0, 0, offset) + info + colours + rows


def dib(pixels, mask):
    header = struct.pack('<IiiHHIIiiII', 40, 32, 64, 1, 4, 0, 32 * 16 + 32 * 4, 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor = bytearray()
    for y in range(31, -1, -1):                        # bottom-up rows
        for x in range(0, 32, 2):
            xor.append((pixels.get((x, y), BLACK) << 4) | pixels.get((x + 1, y), BLACK))
    andm = bytearray()
    for y in range(31, -1, -1):
        for xb in range(4):
            byte = 0
            for bit in range(8):
                if (xb * 8 + bit, y) in mask:
                    byte |= 0x80 >> bit
            andm.append(byte)
    return header + palette + bytes(xor) + bytes(andm)


def write(path, kind, image, hotspot):
    body = dib(*image)
    if kind == 1:   # icon: planes 1, bit count 4
        entry = struct.pack('<BBBBHHII', 32, 32, 16, 0, 1, 4, len(body), 22)
    else:           # cursor: hot spot instead of planes and bit count
        entry = struct.pack('<BBBBHHII', 32, 32, 16, 0, hotspot[0], hotspot[1], len(body), 22)
    with open(path, 'wb') as f:
        f.write(struct.pack('<HHH', 0, kind, 1) + entry + body)


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    write(f'{out}/quorrel.ico', 1, disc_icon(), None)
    write(f'{out}/prompt.cur', 2, pointer_cursor(), (0, 15))
    write(f'{out}/setup.ico', 1, setup_icon(), None)
    with open(f'{out}/background.bmp', 'wb') as f:
        f.write(bmp(background(), BACKGROUND_PALETTE))
