"""Writes a generated file only when its bytes change, so remaking the resources
leaves unchanged files (and the build's copies of them) alone."""

import os


def write_bytes(path, data):
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == data:
                return False
    with open(path, "wb") as f:
        f.write(data)
    return True
