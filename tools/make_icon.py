#!/usr/bin/env python3
"""Draws the program's icon and writes it as a Windows .ico file with nine images:
48, 32 and 16 pixels square, each at 4, 8 and 32 bits per pixel, in that order.

    make_icon.py OUTPUT.ico          write the icon
    make_icon.py --check ICON.ico    exit 1 when ICON.ico differs from what this script draws

The picture: a dark blue rounded square holding a white magnifying glass whose lens shows an
amber dot. Palette images take the nearest colour of a fixed palette; their transparency
comes from the AND mask."""
import struct
import sys

SIZES = (48, 32, 16)
DEPTHS = (4, 8, 32)
SUPERSAMPLE = 4

BACKGROUND = (22, 52, 112)
FOREGROUND = (250, 250, 250)
ACCENT = (245, 166, 35)

# The 16 colours of the standard VGA palette.
PALETTE_16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# A 6x6x6 colour cube, then 40 greys.
PALETTE_256 = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
PALETTE_256 += [(round(i * 255 / 39),) * 3 for i in range(40)]


def shade(u, v):
    """Colour and coverage (0 or 1) of the point (u, v) in the unit square."""
    # Rounded square background.
    radius = 0.18
    cx = min(max(u, radius), 1 - radius)
    cy = min(max(v, radius), 1 - radius)
    if (u - cx) ** 2 + (v - cy) ** 2 > radius ** 2:
        return None
    # Magnifier: a ring centred at (0.42, 0.42) and a handle toward the lower right.
    du, dv = u - 0.42, v - 0.42
    distance = (du * du + dv * dv) ** 0.5
    if distance < 0.12:
        return ACCENT
    if 0.18 <= distance <= 0.27:
        return FOREGROUND
    along = (u + v - 0.84) / 2 ** 0.5
    across = abs(u - v) / 2 ** 0.5
    if 0.25 <= along <= 0.52 and across <= 0.07:
        return FOREGROUND
    return BACKGROUND


def render(size):
    """Rows of (r, g, b, a) pixels, top row first."""
    rows = []
    n = SUPERSAMPLE
    for y in range(size):
        row = []
        for x in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(n):
                for sx in range(n):
                    colour = shade((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    if colour is not None:
                        covered += 1
                        for i in range(3):
                            total[i] += colour[i]
            if covered == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(t / covered) for t in total) + (round(255 * covered / (n * n)),))
        rows.append(row)
    return rows


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - colour[k]) ** 2 for k in range(3)))


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def image(size, depth):
    """One icon image: BITMAPINFOHEADER, palette, colour bitmap and AND mask, rows bottom-up."""
    pixels = render(size)
    palette = {4: PALETTE_16, 8: PALETTE_256}.get(depth, [])
    colour_rows = []
    mask_rows = []
    for row in reversed(pixels):
        if depth == 32:
            data = b"".join(struct.pack("<BBBB", b, g, r, a) for r, g, b, a in row)
        else:
            indices = [nearest(palette, p) if p[3] >= 128 else 0 for p in row]
            if depth == 8:
                data = bytes(indices)
            else:
                data = bytes((indices[i] << 4) | (indices[i + 1] if i + 1 < size else 0)
                             for i in range(0, size, 2))
        colour_rows.append(padded(data))
        mask = bytearray((size + 7) // 8)
        for x, p in enumerate(row):
            if p[3] < 128:
                mask[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(padded(bytes(mask)))
    body = b"".join(colour_rows) + b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, depth, 0, len(body), 0, 0,
                         len(palette), 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + table + body


def icon():
    images = [(size, depth, image(size, depth)) for size in SIZES for depth in DEPTHS]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, depth, data in images:
        colours = 16 if depth == 4 else 0
        entries += struct.pack("<BBBBHHII", size, size, colours, 0, 1, depth, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


def main(argv):
    if len(argv) == 3 and argv[1] == "--check":
        with open(argv[2], "rb") as existing:
            if existing.read() != icon():
                print(f"{argv[2]} differs from what {argv[0]} draws; run it again", file=sys.stderr)
                return 1
        return 0
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(argv[1], "wb") as output:
        output.write(icon())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
