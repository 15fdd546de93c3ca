"""Writes Windows BMP files of 4 and 8 bits per pixel with their colour tables, the
form the program's bitmap resources take, and reads back their header fields."""

import struct

import numpy as np

from output import write_bytes


def write_indexed(path, indices, palette, bits):
    """indices: 2D uint8 array (rows top to bottom); palette: list of (r, g, b), at most
    2**bits entries, padded to the full table."""
    height, width = indices.shape
    colours = 1 << bits
    if len(palette) > colours:
        raise ValueError(f"{path}: {len(palette)} colours do not fit {bits} bits")
    if int(indices.max()) >= len(palette):
        raise ValueError(f"{path}: pixel index beyond the colour table")
    table = list(palette) + [(0, 0, 0)] * (colours - len(palette))
    row_bytes = ((width * bits + 31) // 32) * 4
    rows = []
    for y in range(height - 1, -1, -1):  # bottom-up, as Windows stores them
        line = indices[y].astype(np.uint8)
        if bits == 8:
            packed = line.tobytes()
        elif bits == 4:
            if width % 2:
                line = np.append(line, 0)
            packed = ((line[0::2] << 4) | line[1::2]).astype(np.uint8).tobytes()
        else:
            raise ValueError("only 4 and 8 bits are written")
        rows.append(packed + b"\0" * (row_bytes - len(packed)))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels),
                       2835, 2835, colours, 0)
    table_bytes = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in table)
    offset = 14 + len(info) + len(table_bytes)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    write_bytes(path, header + info + table_bytes + pixels)


def read_indexed(path):
    """Returns (indices, palette) of a file written by write_indexed."""
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    _, width, height, _, bits, _, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", data, 14)
    colours = used or (1 << bits)
    palette = [(data[54 + 4 * i + 2], data[54 + 4 * i + 1], data[54 + 4 * i]) for i in range(colours)]
    row_bytes = ((width * bits + 31) // 32) * 4
    out = np.zeros((height, width), np.uint8)
    for y in range(height):
        row = np.frombuffer(data, np.uint8, row_bytes, offset + (height - 1 - y) * row_bytes)
        if bits == 8:
            out[y] = row[:width]
        else:
            both = np.empty(row_bytes * 2, np.uint8)
            both[0::2] = row >> 4
            both[1::2] = row & 15
            out[y] = both[:width]
    return out, palette
