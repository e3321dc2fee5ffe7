#!/usr/bin/env python3
"""Draws the icon of zelvora.exe and writes it as a Windows .ico file with 16, 32, 48 and 256 pixel images.

The picture: a sheet with a folded corner and the rows of a table, and a green disc with a tick (a checked
declaration). Shapes are painted in order on a finer grid and averaged, so edges are smooth at every size;
the small sizes leave out the thin row lines, which would only blur there. Standard library only, and the
same bytes on every run, so the committed file can be compared with a fresh one.

    python3 tools/gen_icon.py                   # rewrites app/front/windows/zelvora.ico
    python3 tools/gen_icon.py OUT.ico           # writes OUT.ico instead
    python3 tools/gen_icon.py --png 256 OUT.png # one size as a PNG, for documents
    python3 tools/gen_icon.py --check ICO       # exit 1 unless ICO is what the script draws now
"""

import argparse
import struct
import sys
import zlib
from pathlib import Path

SIZES = (16, 32, 48, 256)
DEFAULT_OUTPUT = Path(__file__).resolve().parent.parent / "app" / "front" / "windows" / "zelvora.ico"

# Colours (red, green, blue, alpha).
OUTLINE = (38, 74, 120, 255)
PAPER = (246, 249, 252, 255)
FOLD = (160, 190, 222, 255)
ROW = (120, 164, 210, 255)
GREEN = (36, 150, 76, 255)
GREEN_EDGE = (255, 255, 255, 255)
TICK = (255, 255, 255, 255)

# The sheet as a polygon on a 256 x 256 canvas, its top-right corner folded.
SHEET = [(36, 12), (156, 12), (204, 60), (204, 244), (36, 244)]
SHEET_INNER = [(48, 24), (150, 24), (192, 66), (192, 232), (48, 232)]
FOLD_TRIANGLE = [(152, 14), (152, 64), (202, 64)]


def inside_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i, (xi, yi) in enumerate(points):
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def polygon(points, colour):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return (min(xs), min(ys), max(xs), max(ys)), lambda x, y: inside_polygon(x, y, points), colour


def disc(cx, cy, r, colour):
    return (cx - r, cy - r, cx + r, cy + r), lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour


def stroke(x0, y0, x1, y1, width, colour):
    """A straight stroke with round ends: every point within width/2 of the segment."""
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    half = width / 2

    def hit(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        px, py = x0 + t * dx - x, y0 + t * dy - y
        return px * px + py * py <= half * half

    return (min(x0, x1) - half, min(y0, y1) - half, max(x0, x1) + half, max(y0, y1) + half), hit, colour


def shapes(size):
    drawn = [polygon(SHEET, OUTLINE), polygon(SHEET_INNER, PAPER), polygon(FOLD_TRIANGLE, FOLD)]
    # Table rows; at 16 pixels two fat rows say "table" better than four thin ones.
    rows = (84, 124) if size <= 16 else (70, 100, 130, 160)
    width = 20 if size <= 16 else 12
    for y in rows:
        drawn.append(stroke(68, y, 168, y, width, ROW))
    drawn += [disc(176, 188, 66, GREEN_EDGE), disc(176, 188, 56, GREEN)]
    drawn.append(stroke(146, 190, 168, 214, 18, TICK))
    drawn.append(stroke(168, 214, 208, 160, 18, TICK))
    return drawn


def render(size):
    """RGBA rows, top row first, of the picture at `size` pixels."""
    grain = 4 if size < 256 else 3  # samples per pixel side
    fine = size * grain
    scale = 256 / fine
    canvas = [[(0, 0, 0, 0)] * fine for _ in range(fine)]
    for (left, top, right, bottom), hit, colour in shapes(size):
        x_from = max(0, int(left / scale))
        x_to = min(fine, int(right / scale) + 2)
        for fy in range(max(0, int(top / scale)), min(fine, int(bottom / scale) + 2)):
            y = (fy + 0.5) * scale
            row = canvas[fy]
            for fx in range(x_from, x_to):
                if hit((fx + 0.5) * scale, y):
                    row[fx] = colour
    pixels = []
    samples = grain * grain
    for py in range(size):
        line = []
        for px in range(size):
            r = g = b = a = 0
            for fy in range(py * grain, (py + 1) * grain):
                for sr, sg, sb, sa in canvas[fy][px * grain:(px + 1) * grain]:
                    r, g, b, a = r + sr * sa, g + sg * sa, b + sb * sa, a + sa
            # Colours averaged by their alpha, so transparent samples do not darken the edge.
            line.append((0, 0, 0, 0) if a == 0 else
                        (round(r / a), round(g / a), round(b / a), round(a / samples)))
        pixels.append(line)
    return pixels


def png(pixels):
    size = len(pixels)
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bmp(pixels):
    """A 32-bit icon image: the header with twice the height, BGRA rows bottom up, an all-clear AND mask."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for r, g, b, a in row)
    mask_row = ((size + 31) // 32) * 4
    return header + colour + b"\0" * (mask_row * size)


def ico(images):
    """ICONDIR, one 16-byte entry per image, then the images; 256 is written as 0 in the entries."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def icon_bytes():
    # Vista and later read PNG images in icons; the small ones stay bitmaps for every reader.
    return ico([(s, png(render(s)) if s == 256 else bmp(render(s))) for s in SIZES])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--png", type=int, metavar="SIZE", help="write one size as a PNG instead")
    parser.add_argument("--check", action="store_true", help="compare OUTPUT with a fresh drawing instead")
    parser.add_argument("output", type=Path, nargs="?", default=DEFAULT_OUTPUT)
    args = parser.parse_args()
    data = png(render(args.png)) if args.png else icon_bytes()
    if args.check:
        if args.output.read_bytes() != data:
            print(f"FAIL: {args.output} is not what tools/gen_icon.py draws; rerun it and commit the icon")
            return 1
        return 0
    args.output.write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
