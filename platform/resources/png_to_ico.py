#!/usr/bin/env python3
"""Wraps a PNG picture of at most 256 x 256 pixels in an icon file of one image."""
import struct
import sys


def main():
    png_path, ico_path = sys.argv[1], sys.argv[2]
    with open(png_path, "rb") as f:
        png = f.read()
    if png[:8] != b"\x89PNG\r\n\x1a\n" or png[12:16] != b"IHDR":
        sys.exit(f"{png_path}: not a PNG file")
    width, height = struct.unpack(">II", png[16:24])
    if not (0 < width <= 256 and 0 < height <= 256):
        sys.exit(f"{png_path}: an icon is at most 256 x 256 pixels")
    header = struct.pack("<HHH", 0, 1, 1)
    # Width and height 256 are written as 0.
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(png), 6 + 16)
    with open(ico_path, "wb") as f:
        f.write(header + entry + png)


if __name__ == "__main__":
    main()
