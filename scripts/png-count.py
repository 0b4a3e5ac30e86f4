#!/usr/bin/env python3
"""Counts the pixels of a PNG screenshot in a colour range within a rectangle, for the Windows
window journeys (no imaging library needed: 8-bit RGB or RGBA, not interlaced, as Qt saves them).

    scripts/png-count.py FILE X0 Y0 X1 Y1 RMIN RMAX GMIN GMAX BMIN BMAX

prints the count of pixels with X0 <= x < X1, Y0 <= y < Y1 whose red, green and blue lie in the
ranges (inclusive)."""
import struct
import sys
import zlib


def rows(path):
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        sys.exit(f'{path}: not a PNG file')
    pos, idat, width = 8, b'', 0
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', body)
            if depth != 8 or colour not in (2, 6) or interlace:
                sys.exit(f'{path}: only 8-bit RGB or RGBA without interlacing')
            bpp = 3 if colour == 2 else 4
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * bpp
    prev = bytearray(stride)
    for y in range(height):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, cur = line[0], bytearray(line[1:])
        for i in range(stride):
            a = cur[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                cur[i] = (cur[i] + a) & 255
            elif kind == 2:
                cur[i] = (cur[i] + b) & 255
            elif kind == 3:
                cur[i] = (cur[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                cur[i] = (cur[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        yield [tuple(cur[x * bpp:x * bpp + 3]) for x in range(width)]
        prev = cur


def main():
    path = sys.argv[1]
    x0, y0, x1, y1, r0, r1, g0, g1, b0, b1 = map(int, sys.argv[2:12])
    count = 0
    for y, row in enumerate(rows(path)):
        if y0 <= y < y1:
            count += sum(1 for (r, g, b) in row[x0:x1]
                         if r0 <= r <= r1 and g0 <= g <= g1 and b0 <= b <= b1)
    print(count)


main()
