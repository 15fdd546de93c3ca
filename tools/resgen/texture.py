"""win95.ppm: the default texture, wrapped once round the model about its vertical
axis. A banded gas-giant surface that joins seamlessly where its left and right
edges meet, with a pale storm and a few thin bright belts."""

import numpy as np

from output import write_bytes

WIDTH, HEIGHT = 256, 256


def periodic_noise(rng, w, h, cells_x, cells_y):
    """Smooth value noise that repeats across the width."""
    grid = rng.random((cells_y + 1, cells_x))
    x = np.arange(w) / w * cells_x
    y = np.arange(h) / h * cells_y
    x0 = np.floor(x).astype(int)
    y0 = np.floor(y).astype(int)
    fx = x - x0
    fy = y - y0
    fx = fx * fx * (3 - 2 * fx)
    fy = fy * fy * (3 - 2 * fy)
    x1 = (x0 + 1) % cells_x
    y1 = np.minimum(y0 + 1, cells_y)
    a = grid[y0][:, x0]
    b = grid[y0][:, x1]
    c = grid[y1][:, x0]
    d = grid[y1][:, x1]
    top = a * (1 - fx) + b * fx
    bottom = c * (1 - fx) + d * fx
    return top * (1 - fy[:, None]) + bottom * fy[:, None]


def make():
    rng = np.random.default_rng(42)
    turb = sum(periodic_noise(rng, WIDTH, HEIGHT, 4 * 2 ** o, 4 * 2 ** o) / 2 ** o for o in range(5))
    turb = turb / turb.max()
    y = np.arange(HEIGHT)[:, None] / HEIGHT
    x = np.arange(WIDTH)[None, :] / WIDTH
    lat = y + 0.018 * np.sin(2 * np.pi * (x * 2 + turb * 1.2))
    bands = 0.5 + 0.5 * np.sin(lat * 2 * np.pi * 6 + turb * 1.1 + 2.5 * np.sin(lat * 2 * np.pi * 2))
    belts = np.exp(-((np.sin(lat * np.pi * 5) - 0.93) ** 2) / 0.002)
    dark = np.array([72, 44, 120])    # violet
    mid = np.array([40, 120, 190])    # blue
    light = np.array([236, 196, 120])  # sand
    t = bands[:, :, None]
    rgb = np.where(t < 0.5, dark + (mid - dark) * (t * 2), mid + (light - mid) * ((t - 0.5) * 2))
    rgb = rgb * (0.85 + 0.3 * turb[:, :, None])
    rgb = rgb + belts[:, :, None] * np.array([60, 50, 30])
    # a pale oval storm, wrapped in x so it can sit near the seam as well
    dx = np.minimum(np.abs(x - 0.3), 1 - np.abs(x - 0.3))
    storm = np.exp(-((dx / 0.075) ** 2 + ((y - 0.62) / 0.04) ** 2))
    rgb = rgb * (1 - storm[:, :, None]) + np.array([250, 230, 210]) * storm[:, :, None]
    return np.clip(rgb, 0, 255).astype(np.uint8)


def write(path):
    pixels = make()
    header = b"P6\n# orbsaver default texture\n%d %d\n255\n" % (WIDTH, HEIGHT)
    write_bytes(path, header + pixels.tobytes())
