#!/usr/bin/env python3
"""Draws the program's icon ("Icon": a compact disc) and the prompt cursor
("MouseCursor": a pointer whose tip, the hot spot, is at x 0, y 15) as 32 x 32,
16-colour resources. Run once; the outputs are committed in resources/."""
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
