#!/usr/bin/env python3
"""Renders Kelvra's icon (kelvra_icon.py) into kelvra.ico and the PNG images.

Only Python's standard library is used. The .ico holds one icon group of 12
images: 16, 24, 32, 48, 64 and 256 pixels, each in 32-bit colour with alpha
and in 8-bit (256 colours) with a transparency mask. The 256-pixel 32-bit
image is stored as PNG, the others as bitmaps. kelvra.png is the 256-pixel
image on its own and kelvra-16.png to kelvra-64.png the smaller ones, the
same pixels as the .ico's 32-bit images: the Linux desktop's icon theme
(hicolor) gets one image a size.

    python3 resources/render_icon.py      (writes next to this script)

The output is the same byte for byte on every run.
"""

import os
import struct
import sys
import zlib

sys.dont_write_bytecode = True  # no cache files beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import kelvra_icon  # noqa: E402

SIZES = [16, 24, 32, 48, 64, 256]


def samples_per_side(size):
    return 4 if size >= 128 else 8


def render(size):
    """Rows of (r, g, b, a) pixels, each the average of a grid of samples."""
    layers = kelvra_icon.layers(size)
    n = samples_per_side(size)
    image = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied colour and coverage
            x_lo, y_lo = px / size, py / size
            x_hi, y_hi = (px + 1) / size, (py + 1) / size
            active = [l for l in layers if l[0][0] <= x_hi and l[0][2] >= x_lo and l[0][1] <= y_hi and l[0][3] >= y_lo]
            for sy in range(n):
                y = (py + (sy + 0.5) / n) / size
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    r = g = b = a = 0.0
                    for _, inside, colour in active:
                        if inside(x, y):
                            cr, cg, cb, ca = colour(x, y)
                            ca /= 255.0
                            r = cr * ca + r * (1 - ca)
                            g = cg * ca + g * (1 - ca)
                            b = cb * ca + b * (1 - ca)
                            a = ca + a * (1 - ca)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            count = n * n
            alpha = acc[3] / count
            if alpha <= 0:
                row.append((0, 0, 0, 0))
                continue
            row.append(tuple(int(round(min(255.0, c / count / alpha))) for c in acc[:3]) + (int(round(alpha * 255)),))
        image.append(row)
    return image


def png(image):
    size = len(image)
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in image)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def median_cut(colours, limit):
    """A palette of at most `limit` colours for the weighted colour list."""
    boxes = [colours]
    while len(boxes) < limit:
        splittable = [b for b in boxes if len(b) > 1]
        if not splittable:
            break

        def spread(box):
            return max(max(c[0][k] for c in box) - min(c[0][k] for c in box) for k in range(3))

        box = max(splittable, key=lambda b: (spread(b), len(b)))
        if spread(box) == 0:
            break
        channel = max(range(3), key=lambda k: max(c[0][k] for c in box) - min(c[0][k] for c in box))
        box.sort(key=lambda c: c[0][channel])
        total = sum(w for _, w in box)
        half, cut = 0, 0
        for cut, (_, w) in enumerate(box):
            half += w
            if half * 2 >= total:
                break
        cut = max(1, min(len(box) - 1, cut))
        boxes.remove(box)
        boxes += [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(w for _, w in box)
        palette.append(tuple(int(round(sum(c[k] * w for c, w in box) / total)) for k in range(3)))
    return sorted(set(palette))


def nearest(palette, colour, cache):
    if colour not in cache:
        cache[colour] = min(range(len(palette)),
                            key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))
    return cache[colour]


def and_mask(image):
    """1 bit a pixel, set where the pixel is transparent; rows bottom-up."""
    size = len(image)
    stride = ((size + 31) // 32) * 4
    out = b""
    for row in reversed(image):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def bitmap_header(size, bits, data_size, colours_used):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, data_size, 0, 0, colours_used, 0)


def bmp32(image):
    pixels = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(image) for p in row)
    mask = and_mask(image)
    return bitmap_header(len(image), 32, len(pixels) + len(mask), 0) + pixels + mask


def bmp8(image):
    """256 colours: transparent pixels are masked, the rest quantised."""
    counts = {}
    for row in image:
        for p in row:
            if p[3] >= 128:
                counts[p[:3]] = counts.get(p[:3], 0) + 1
    palette = [(0, 0, 0)] + median_cut(sorted(counts.items()), 255)
    palette = palette[:256]
    cache = {}
    size = len(image)
    stride = (size + 3) & ~3
    pixels = b""
    for row in reversed(image):
        line = bytearray(stride)
        for x, p in enumerate(row):
            line[x] = 0 if p[3] < 128 else 1 + nearest(palette[1:], p[:3], cache)
        pixels += bytes(line)
    table = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette) + b"\0\0\0\0" * (256 - len(palette))
    mask = and_mask(image)
    return bitmap_header(size, 8, len(pixels) + len(mask), 256) + table + pixels + mask


def ico(entries):
    """entries: (size, bits, data) in the order they are listed."""
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, bits, data in entries:
        side = 0 if size >= 256 else size
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, data in entries)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    entries = []
    for size in SIZES:
        image = render(size)
        entries.append((size, 32, png(image) if size >= 256 else bmp32(image)))
        entries.append((size, 8, bmp8(image)))
        name = "kelvra.png" if size == 256 else "kelvra-%d.png" % size
        with open(os.path.join(here, name), "wb") as f:
            f.write(png(image))
    with open(os.path.join(here, "kelvra.ico"), "wb") as f:
        f.write(ico(entries))


if __name__ == "__main__":
    main()
