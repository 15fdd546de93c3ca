#!/usr/bin/python3
"""Reads and measures screenshots of an X display for the Windows program's display tests.

    screen.py shot OUT.png                    the whole screen (through xwd) as a PNG
    screen.py ink FILE.png X0 Y0 X1 Y1 [R G B]
        pixels of the rectangle that are not near black (or near the colour given)
    screen.py distinct FILE.png               number of different colours on the screen
    screen.py mean FILE.png X0 Y0 X1 Y1       the rectangle's mean red, green and blue
    screen.py compare A.png B.png [X0 Y0 X1 Y1 ...]
        share of differing pixels (per mille, with a difference above 24 in a channel)
        and the largest channel difference, outside the rectangles given
    screen.py changed A.png B.png X0 Y0 X1 Y1
        pixels of the rectangle that differ between the two shots
    screen.py picture FILE.png BMP X Y W H [OX OY]
        the mean difference per channel between the rectangle (W x H at X, Y) and the
        picture stretched onto it; with OX OY, the picture drawn at its own size with
        its top left there, against the same part of it (255 when out of either)
    screen.py part FILE.png BMP PX PY PW PH X Y W H
        the mean difference per channel between the rectangle (W x H at X, Y) and the
        picture's rectangle (PW x PH at PX, PY) stretched onto it
    screen.py place FILE.png BMP X Y W H SLACK
        where the picture, stretched, matches the screen best with its rectangle moved
        by up to SLACK pixels and made up to 2 SLACK smaller or SLACK/2 larger: the
        mean difference there, and that rectangle
    screen.py beside OUT.png A.png X Y W H B.png X Y W H
        the two rectangles side by side in one picture, 8 grey pixels apart
"""
import struct
import subprocess
import sys
import time

import numpy
from PIL import Image


def read_xwd(data):
    """The pixels of an xwd dump of a TrueColor ZPixmap of 24 or 32 bits a pixel, as RGB."""
    fields = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
        raise ValueError("unexpected xwd layout: version %d format %d bpp %d"
                         % (version, pixmap_format, bits_per_pixel))
    start = header_size + ncolors * 12
    need = start + bytes_per_line * height
    if len(data) < need:
        raise ValueError("xwd dump is short: %d of %d bytes" % (len(data), need))
    step = bits_per_pixel // 8
    rows = numpy.frombuffer(data, dtype=numpy.uint8, count=bytes_per_line * height, offset=start)
    raw = rows.reshape(height, bytes_per_line)[:, :width * step].reshape(height, width, step)
    raw = raw.astype(numpy.uint32)
    order = range(step) if byte_order == 0 else range(step - 1, -1, -1)
    pixels = numpy.zeros((height, width), dtype=numpy.uint32)
    for significance, index in enumerate(order):
        pixels |= raw[:, :, index] << (8 * significance)
    out = numpy.zeros((height, width, 3), dtype=numpy.uint8)
    for channel, mask in enumerate((red_mask, green_mask, blue_mask)):
        shift = (mask & -mask).bit_length() - 1
        out[:, :, channel] = ((pixels & mask) >> shift).astype(numpy.uint8)
    return out


def load(path):
    return numpy.asarray(Image.open(path).convert("RGB"), dtype=numpy.int16)


def box(image, args):
    x0, y0, x1, y1 = (int(a) for a in args)
    return image[max(y0, 0):max(y1, 0), max(x0, 0):max(x1, 0)]


def main(argv):
    if len(argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    command, path = argv[1], argv[2]
    if command == "shot":
        Image.fromarray(read_xwd(root_dump())).save(path)
    elif command == "ink":
        region = box(load(path), argv[3:7])
        background = numpy.array([int(v) for v in argv[7:10]] if len(argv) >= 10 else [0, 0, 0])
        print(int((numpy.abs(region - background).max(axis=2) > 40).sum()))
    elif command == "distinct":
        image = load(path).astype(numpy.int32)
        print(len(numpy.unique(image[:, :, 0] << 16 | image[:, :, 1] << 8 | image[:, :, 2])))
    elif command == "mean":
        region = box(load(path), argv[3:7]).reshape(-1, 3)
        print(" ".join("%d" % round(v) for v in region.mean(axis=0)))
    elif command == "compare":
        a, b = load(path), load(argv[3])
        if a.shape != b.shape:
            print("sizes differ: %dx%d and %dx%d" % (a.shape[1], a.shape[0], b.shape[1], b.shape[0]))
            return 1
        keep = numpy.ones(a.shape[:2], dtype=bool)
        rects = argv[4:]
        for i in range(0, len(rects) - 3, 4):
            x0, y0, x1, y1 = (int(v) for v in rects[i:i + 4])
            keep[y0:y1, x0:x1] = False
        diff = numpy.abs(a - b).max(axis=2)[keep]
        differing = int((diff > 24).sum())
        print("%d %d %d" % (differing * 1000 // max(diff.size, 1), int(diff.max(initial=0)), differing))
    elif command == "changed":
        a, b = box(load(path), argv[4:8]), box(load(argv[3]), argv[4:8])
        print(int((numpy.abs(a - b).max(axis=2) > 0).sum()) if a.shape == b.shape else -1)
    elif command == "picture":
        print("%.1f" % picture_difference(load(path), argv[3], argv[4:]))
    elif command == "part":
        px, py, pw, ph = (int(a) for a in argv[4:8])
        picture = numpy.asarray(Image.open(argv[3]).convert("RGB"), dtype=numpy.int16)
        print("%.1f" % stretched_difference(load(path), picture[py:py + ph, px:px + pw], argv[8:12]))
    elif command == "place":
        shot = load(path)
        x, y, w, h, slack = (int(a) for a in argv[4:9])
        best = min((picture_difference(shot, argv[3], [x + dx, y + dy, w + dw, h + dh]), x + dx, y + dy, w + dw, h + dh)
                   for dx in range(-slack, slack + 1) for dy in range(-slack, slack + 1)
                   for dw in range(-2 * slack, slack // 2 + 1) for dh in range(-2 * slack, slack // 2 + 1))
        print("%.1f %d %d %d %d" % best)
    elif command == "beside":
        a = box(load(argv[3]), rectangle(argv[4:8]))
        b = box(load(argv[8]), rectangle(argv[9:13]))
        out = numpy.full((max(a.shape[0], b.shape[0]), a.shape[1] + 8 + b.shape[1], 3), 128, numpy.uint8)
        out[:a.shape[0], :a.shape[1]] = a
        out[:b.shape[0], a.shape[1] + 8:] = b
        Image.fromarray(out).save(path)
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


def root_dump(tries=5):
    """xwd's dump of the root window. While a program changes the screen's mode the root
    window's size changes under xwd, which then fails with BadMatch: it is asked again a
    little later, and its own words are shown when it never succeeds."""
    for attempt in range(tries):
        run = subprocess.run(["xwd", "-root", "-silent"], capture_output=True)
        if run.returncode == 0:
            return run.stdout
        if attempt + 1 < tries:
            time.sleep(0.5)
    sys.stderr.write(run.stderr.decode(errors="replace"))
    raise RuntimeError("xwd failed %d times (exit code %d)" % (tries, run.returncode))


def rectangle(args):
    """X Y W H as X0 Y0 X1 Y1."""
    x, y, w, h = (int(a) for a in args)
    return [x, y, x + w, y + h]


def stretched_difference(shot, picture, args):
    """The mean difference between the shot's rectangle X Y W H and the picture
    stretched onto it (255 when the rectangle leaves the shot or the picture is empty)."""
    x, y, w, h = (int(a) for a in args[:4])
    if picture.size == 0 or x < 0 or y < 0 or w <= 0 or h <= 0 or x + w > shot.shape[1] or y + h > shot.shape[0]:
        return 255.0
    rows = numpy.arange(h) * picture.shape[0] // h
    cols = numpy.arange(w) * picture.shape[1] // w
    return float(numpy.abs(shot[y:y + h, x:x + w] - picture[rows][:, cols]).mean())


def picture_difference(shot, bmp, args):
    x, y, w, h = (int(a) for a in args[:4])
    picture = numpy.asarray(Image.open(bmp).convert("RGB"), dtype=numpy.int16)
    if len(args) < 6:
        return stretched_difference(shot, picture, args)
    ox, oy = int(args[4]), int(args[5])
    px, py = x - ox, y - oy
    if px < 0 or py < 0 or px + w > picture.shape[1] or py + h > picture.shape[0]:
        return 255.0
    if x < 0 or y < 0 or x + w > shot.shape[1] or y + h > shot.shape[0] or w <= 0 or h <= 0:
        return 255.0
    return float(numpy.abs(shot[y:y + h, x:x + w] - picture[py:py + h, px:px + w]).mean())


if __name__ == "__main__":
    sys.exit(main(sys.argv))
