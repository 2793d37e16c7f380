#!/usr/bin/env python3
"""Draws Varnel's logo and the sample package's launcher icon, from shapes, with nothing but the
standard library, so the build needs no image tools.

  make_logo.py --ico DIR          varnel.ico and form128/64/32.ico: each holds the logo at its
                                  size and at 125, 150 and 200 % of it (varnel.ico: the shell's
                                  sizes, 16 to 256 px), as images of 256 colours with a
                                  transparency mask, so every display scaling finds a sharp one
  make_logo.py --png FILE SIZE    the logo as a 32-bit PNG (for documents and previews)
  make_logo.py --sample-res DIR   the sample package's launcher icons, mipmap-*/ic_launcher.png
  make_logo.py --sample-res DIR CWEBP
                                  the same as WebP pictures, mipmap-*/ic_launcher.webp, as packages
                                  made today hold them (Debian's cwebp encodes them)

The logo is a green rounded badge holding a white arrow that drops into a tray: "install".
The arrow's head is a V, for Varnel.
"""
import math
import os
import struct
import subprocess
import sys
import zlib

SUPERSAMPLE = 4


def lerp(a, b, t):
    return a + (b - a) * t


def rounded_rect(x, y, x0, y0, x1, y1, r):
    """True when (x, y) lies in the rectangle with corners rounded by r."""
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_polygon(x, y, points):
    inside = False
    n = len(points)
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        if (ay > y) != (by > y):
            t = (y - ay) / (by - ay)
            if x < ax + t * (bx - ax):
                inside = not inside
    return inside


def logo_sample(x, y):
    """Colour (r, g, b, a) of the logo at unit coordinates (x, y), 0..1 across."""
    if not rounded_rect(x, y, 0.04, 0.04, 0.96, 0.96, 0.2):
        return (0, 0, 0, 0)
    # Badge: a green that darkens towards the bottom, with a light rim at the top.
    top, bottom = (0x3D, 0xC4, 0x7A), (0x1B, 0x7F, 0x48)
    t = (y - 0.04) / 0.92
    colour = tuple(int(lerp(a, b, t)) for a, b in zip(top, bottom))
    white = (0xFF, 0xFF, 0xFF, 255)
    # The arrow: a shaft and a head whose outline is a V.
    if 0.425 <= x <= 0.575 and 0.14 <= y <= 0.42:
        return white
    if in_polygon(x, y, [(0.24, 0.38), (0.76, 0.38), (0.5, 0.66)]):
        return white
    # The tray the arrow drops into.
    tray_outer = rounded_rect(x, y, 0.2, 0.58, 0.8, 0.84, 0.06)
    tray_inner = rounded_rect(x, y, 0.3, 0.5, 0.7, 0.74, 0.03)
    if tray_outer and not tray_inner:
        return white
    return colour + (255,)


def sample_icon(x, y):
    """The sample package's icon: an orange disc with a white four-pointed star."""
    dx, dy = x - 0.5, y - 0.5
    r = math.hypot(dx, dy)
    if r > 0.47:
        return (0, 0, 0, 0)
    if r > 0.44:
        return (0xC8, 0x5A, 0x00, 255)
    star = [(0.5, 0.14), (0.58, 0.42), (0.86, 0.5), (0.58, 0.58), (0.5, 0.86), (0.42, 0.58), (0.14, 0.5),
            (0.42, 0.42)]
    if in_polygon(x, y, star):
        return (0xFF, 0xFF, 0xFF, 255)
    return (0xFF, 0x8A, 0x1E, 255)


def render(shape, size):
    """Supersampled rendering: a list of rows of (r, g, b, a) with straight alpha."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    cr, cg, cb, ca = shape((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(r / a), round(g / a), round(b / a), round(a / (n * n))))
        rows.append(row)
    return rows


def png_bytes(rows):
    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def median_cut(colours, count):
    """A palette of at most `count` colours for the weighted colour list [(rgb, weight)]."""
    boxes = [colours]
    while len(boxes) < count:
        boxes.sort(key=lambda box: len(box), reverse=True)
        box = boxes.pop(0)
        if len(box) < 2:
            boxes.append(box)
            break
        spans = [max(c[0][i] for c in box) - min(c[0][i] for c in box) for i in range(3)]
        axis = spans.index(max(spans))
        box.sort(key=lambda c: c[0][axis])
        half = sum(w for _, w in box) / 2
        acc, cut = 0, 1
        for i, (_, w) in enumerate(box):
            acc += w
            if acc >= half:
                cut = max(1, min(i + 1, len(box) - 1))
                break
        boxes.extend([box[:cut], box[cut:]])
    palette = []
    for box in boxes:
        total = sum(w for _, w in box)
        palette.append(tuple(round(sum(c[i] * w for c, w in box) / total) for i in range(3)))
    return palette


def ico_image(rows):
    """One icon image of 256 colours with an AND mask. Edges are blended against the window
    face colour, since the mask itself has no partial transparency."""
    size = len(rows)
    face = (0xF0, 0xF0, 0xF0)
    opaque = []
    for row in rows:
        out = []
        for r, g, b, a in row:
            if a < 128:
                out.append(None)
            else:
                t = a / 255
                out.append(tuple(round(c * t + f * (1 - t)) for c, f in zip((r, g, b), face)))
        opaque.append(out)
    counts = {}
    for row in opaque:
        for px in row:
            if px is not None:
                counts[px] = counts.get(px, 0) + 1
    colours = list(counts.items())
    # Index 0 is black, for the transparent pixels: the screen shows through them only where the
    # image is black under the mask.
    palette = [(0, 0, 0)] + ([c for c, _ in colours] if len(colours) <= 255 else median_cut(colours, 255))
    palette += [(0, 0, 0)] * (256 - len(palette))
    cache = {}

    def index_of(px):
        if px not in cache:
            cache[px] = min(range(1, 256), key=lambda i: sum((a - b) ** 2 for a, b in zip(px, palette[i])))
        return cache[px]

    xor_stride = (size + 3) & ~3
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(opaque):  # bottom-up
        line = bytes(0 if px is None else index_of(px) for px in row)
        xor += line + b"\0" * (xor_stride - size)
        bits = bytearray(and_stride)
        for x, px in enumerate(row):
            if px is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, len(xor) + len(mask), 0, 0, 256, 0)
    pal = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    return header + pal + bytes(xor) + bytes(mask)


def ico_bytes(images):
    """An icon file of the given images (lists of rows), in the order given."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for rows in images:
        image = ico_image(rows)
        dim = 0 if len(rows) >= 256 else len(rows)
        directory += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
        data += image
    return directory + data


# The sizes each icon holds. The form's pictures are drawn at 100, 125, 150 and 200 % of their
# layout size; the program's own icon serves the shell, the caption and the task bar.
ICON_SIZES = (
    ("varnel.ico", (16, 20, 24, 32, 40, 48, 64, 256)),
    ("form128.ico", (128, 160, 192, 256)),
    ("form64.ico", (64, 80, 96, 128)),
    ("form32.ico", (32, 40, 48, 64)),
)


def write(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main(argv):
    if len(argv) == 3 and argv[1] == "--ico":
        out = argv[2]
        rendered = {}
        for name, sizes in ICON_SIZES:
            for size in sizes:
                if size not in rendered:
                    rendered[size] = render(logo_sample, size)
            write(os.path.join(out, name), ico_bytes([rendered[size] for size in sizes]))
    elif len(argv) == 4 and argv[1] == "--png":
        write(argv[2], png_bytes(render(logo_sample, int(argv[3]))))
    elif len(argv) in (3, 4) and argv[1] == "--sample-res":
        for density, size in (("mdpi", 48), ("hdpi", 72), ("xhdpi", 96), ("xxhdpi", 144)):
            png = os.path.join(argv[2], "mipmap-" + density, "ic_launcher.png")
            write(png, png_bytes(render(sample_icon, size)))
            if len(argv) == 4:
                subprocess.check_call([argv[3], "-quiet", "-q", "90", "-alpha_q", "100", png, "-o",
                                       png[: -len(".png")] + ".webp"])
                os.remove(png)
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
