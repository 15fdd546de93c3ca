"""Icon 101: the orb emblem as a 32 x 32 PNG with transparency, shown by the About
box and given to the program's windows."""

import art


def write(path):
    art.orb(32).save(path, optimize=True)
