#!/usr/bin/env python3
"""Generate Vorelo's two window/tray icons (idle and sending).

Writes src/win32/res/idle.ico and send.ico. Each file holds the same
picture drawn at 16, 20, 24, 32, 40, 48 and 64 pixels so Windows can pick a
crisp image at any DPI. The 32 x 32 image is the reference drawing; the other
sizes scale its margins and rim widths.

Every image is a BMP-in-ICO entry: a BITMAPINFOHEADER with doubled
height, a 16-colour palette, a 4-bit BI_RGB colour bitmap and a 1-bit AND
mask, both stored bottom-up with rows padded to 4 bytes. A picture has three
colours at most, each exact in the palette, so 4 bits a pixel show the same
pixels as 24 at a quarter of the bytes in vorelo.exe. No PNG entries, so the
files load on every Windows version.

Output is fully deterministic (no timestamps, no randomness): running the
script twice gives byte-identical files. Standard library only.

Usage: python3 tools/make_icons.py [output_dir]
"""

import os
import struct
import sys

SIZES = (16, 20, 24, 32, 40, 48, 64)

IDLE_FILL = (204, 51, 0)    # red-orange
IDLE_RIM = (153, 51, 51)    # darker rim
SEND_FILL = (51, 153, 51)   # green
SEND_EDGE = (0, 153, 153)   # teal

REFERENCE = 32


def scaled(value_at_32, size, minimum=0):
    """Scale a length given for the 32 px picture to `size`, rounding half up."""
    return max(minimum, int(value_at_32 * size / REFERENCE + 0.5))


# ---------------------------------------------------------------------------
# Pictures. A picture is a list of rows (top to bottom); each pixel is an
# (r, g, b) tuple or None for transparent.
# ---------------------------------------------------------------------------

def draw_idle(size):
    """Filled square with a darker rim and a transparent margin."""
    margin = scaled(3, size, 1)
    rim = scaled(2, size, 1)
    lo, hi = margin, size - margin          # square covers [lo, hi)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            if not (lo <= x < hi and lo <= y < hi):
                row.append(None)
            elif (x < lo + rim or x >= hi - rim or
                  y < lo + rim or y >= hi - rim):
                row.append(IDLE_RIM)
            else:
                row.append(IDLE_FILL)
        rows.append(row)
    return rows


def draw_send(size):
    """Right-pointing triangle, vertically centred, with a teal edge.

    Pixels are tested at their centres against the three edges; a pixel is
    inside when it lies on the inner side of all of them, and it belongs to
    the edge band when it is closer than `edge` to any of them.
    """
    left = scaled(4, size, 1)
    right = size - scaled(3, size, 1)
    top = scaled(3, size, 1)
    bottom = size - top
    mid = size / 2.0
    edge = 2.0 * size / REFERENCE
    if edge < 1.0:
        edge = 1.0

    # Vertices in clockwise order on screen (y grows downwards).
    verts = ((float(left), float(top)),
             (float(right), mid),
             (float(left), float(bottom)))

    # For each edge, the inward unit normal and offset so that
    # distance(p) = nx * px + ny * py + c is positive inside.
    lines = []
    for i in range(3):
        (x0, y0), (x1, y1) = verts[i], verts[(i + 1) % 3]
        dx, dy = x1 - x0, y1 - y0
        length = (dx * dx + dy * dy) ** 0.5
        nx, ny = -dy / length, dx / length
        c = -(nx * x0 + ny * y0)
        lines.append((nx, ny, c))

    rows = []
    for y in range(size):
        row = []
        py = y + 0.5
        for x in range(size):
            px = x + 0.5
            dists = [nx * px + ny * py + c for nx, ny, c in lines]
            nearest = min(dists)
            if nearest < 0.0:
                row.append(None)
            elif nearest < edge:
                row.append(SEND_EDGE)
            else:
                row.append(SEND_FILL)
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# ICO encoding
# ---------------------------------------------------------------------------

def pad4(n):
    return (n + 3) & ~3


BITS = 4
PALETTE_SIZE = 1 << BITS
BLACK = (0, 0, 0)


def palette_of(rows):
    """The picture's colours, black (under the mask) first, in the order they appear."""
    colours = [BLACK]
    for row in rows:
        for pixel in row:
            if pixel is not None and pixel not in colours:
                colours.append(pixel)
    if len(colours) > PALETTE_SIZE:
        raise SystemExit("a picture has more than %d colours" % PALETTE_SIZE)
    return colours + [BLACK] * (PALETTE_SIZE - len(colours))


def encode_image(rows):
    """One ICO image: BITMAPINFOHEADER + palette + 4 bpp XOR bitmap + 1 bpp AND mask."""
    size = len(rows)
    xor_stride = pad4((size * BITS + 7) // 8)
    and_stride = pad4((size + 7) // 8)
    palette = palette_of(rows)

    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):              # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, pixel in enumerate(row):
            if pixel is None:
                index = 0                   # black under the mask
                bits[x >> 3] |= 0x80 >> (x & 7)
            else:
                index = palette.index(pixel)
            line[x >> 1] |= index << (4 if x % 2 == 0 else 0)
        xor += line
        mask += bits

    header = struct.pack(
        "<IiiHHIIiiII",
        40,                 # biSize
        size,               # biWidth
        size * 2,           # biHeight: XOR + AND
        1,                  # biPlanes
        BITS,               # biBitCount
        0,                  # biCompression = BI_RGB
        len(xor) + len(mask),
        0, 0,               # pixels per metre
        0, 0)               # colours used / important: all 16
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + colours + bytes(xor) + bytes(mask)


def encode_ico(pictures):
    """pictures: list of row lists, each square."""
    images = [encode_image(p) for p in pictures]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for pic, data in zip(pictures, images):
        size = len(pic)
        dim = size if size < 256 else 0
        out += struct.pack("<BBBBHHII", dim, dim, PALETTE_SIZE, 0, 1, BITS,
                           len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


# ---------------------------------------------------------------------------
# Read-back check
# ---------------------------------------------------------------------------

def decode_ico(blob):
    """Parse an ICO written by encode_ico; return {size: rows}."""
    reserved, kind, count = struct.unpack_from("<HHH", blob, 0)
    if reserved != 0 or kind != 1:
        raise ValueError("not an icon file")
    result = {}
    for i in range(count):
        w, h, colours, res, planes, bpp, length, offset = struct.unpack_from(
            "<BBBBHHII", blob, 6 + 16 * i)
        w = w or 256
        h = h or 256
        if w != h or colours != PALETTE_SIZE or res != 0 or planes != 1 or bpp != BITS:
            raise ValueError("unexpected directory entry %d" % i)
        if offset + length > len(blob):
            raise ValueError("entry %d runs past end of file" % i)
        (bi_size, bi_w, bi_h, bi_planes, bi_bpp, bi_comp,
         bi_image) = struct.unpack_from("<IiiHHII", blob, offset)
        if (bi_size, bi_w, bi_h, bi_planes, bi_bpp, bi_comp) != \
                (40, w, 2 * h, 1, BITS, 0):
            raise ValueError("unexpected bitmap header in entry %d" % i)
        xor_stride = pad4((w * BITS + 7) // 8)
        and_stride = pad4((w + 7) // 8)
        palette_bytes = 4 * PALETTE_SIZE
        if 40 + palette_bytes + h * (xor_stride + and_stride) != length or \
                bi_image != h * (xor_stride + and_stride):
            raise ValueError("size mismatch in entry %d" % i)
        palette_at = offset + 40
        palette = [(blob[palette_at + 4 * k + 2], blob[palette_at + 4 * k + 1],
                    blob[palette_at + 4 * k]) for k in range(PALETTE_SIZE)]
        xor_at = palette_at + palette_bytes
        and_at = xor_at + h * xor_stride
        rows = []
        for y in range(h):
            src = h - 1 - y                 # stored bottom-up
            row = []
            for x in range(w):
                masked = blob[and_at + src * and_stride + (x >> 3)] & \
                    (0x80 >> (x & 7))
                if masked:
                    row.append(None)
                else:
                    byte = blob[xor_at + src * xor_stride + (x >> 1)]
                    row.append(palette[(byte >> 4) if x % 2 == 0 else (byte & 0x0F)])
            rows.append(row)
        result[w] = rows
    return result


def check(path, draw):
    with open(path, "rb") as f:
        decoded = decode_ico(f.read())
    if sorted(decoded) != sorted(SIZES):
        raise SystemExit("%s: wrong set of sizes %r" % (path, sorted(decoded)))
    for size in SIZES:
        if decoded[size] != draw(size):
            raise SystemExit("%s: %d px image does not read back" % (path, size))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default_dir = os.path.join(here, os.pardir, "src", "win32", "res")
    out_dir = os.path.normpath(sys.argv[1] if len(sys.argv) > 1
                               else default_dir)
    os.makedirs(out_dir, exist_ok=True)

    for name, draw in (("idle.ico", draw_idle), ("send.ico", draw_send)):
        path = os.path.join(out_dir, name)
        blob = encode_ico([draw(s) for s in SIZES])
        with open(path, "wb") as f:
            f.write(blob)
        check(path, draw)
        print("wrote %s (%d bytes, sizes %s)" %
              (path, len(blob), ", ".join(str(s) for s in SIZES)))


if __name__ == "__main__":
    main()
