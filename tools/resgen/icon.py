"""Icon 101: the orb emblem as a 32 x 32 PNG with transparency, shown by the About
box and given to the program's windows."""

import io

import art
from output import write_bytes


def write(path):
    data = io.BytesIO()
    art.orb(32).save(data, format="PNG", optimize=True)
    write_bytes(path, data.getvalue())
