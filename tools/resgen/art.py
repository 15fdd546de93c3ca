"""Small drawn pictures shared by several bitmaps: the orb emblem of orbsaver (a lit
sphere inside a tilted ring), the monitor round the preview, and the group emblems
of the media page. Drawn four times larger and reduced, so edges are smooth."""

import math

import numpy as np
from PIL import Image, ImageDraw

SS = 4  # supersampling factor


def _shade_sphere(n, base, light=(-0.45, -0.55, 0.70)):
    """RGBA array n x n: a lit sphere of colour base on transparency."""
    y, x = np.mgrid[0:n, 0:n]
    cx = cy = (n - 1) / 2
    r = n / 2 - 0.5
    nx, ny = (x - cx) / r, (y - cy) / r
    d2 = nx * nx + ny * ny
    inside = d2 <= 1.0
    nz = np.sqrt(np.clip(1 - d2, 0, 1))
    lx, ly, lz = light
    ll = math.sqrt(lx * lx + ly * ly + lz * lz)
    diff = np.clip((nx * lx + ny * ly + nz * lz) / ll, 0, 1)
    # half vector of light and viewer for a soft highlight
    hx, hy, hz = lx / ll, ly / ll, lz / ll + 1
    hl = math.sqrt(hx * hx + hy * hy + hz * hz)
    highlight = np.clip((nx * hx + ny * hy + nz * hz) / hl, 0, 1) ** 40
    base = np.array(base, float)
    rgb = base[None, None, :] * (0.18 + 0.82 * diff[:, :, None]) + 255 * 0.85 * highlight[:, :, None]
    rim = np.clip((d2 - 0.80) / 0.2, 0, 1)[:, :, None]  # a cool rim light at the edge
    rgb = rgb * (1 - 0.35 * rim) + np.array([90, 150, 255]) * 0.35 * rim
    out = np.zeros((n, n, 4), float)
    out[:, :, :3] = np.clip(rgb, 0, 255)
    out[:, :, 3] = inside * 255
    return out.astype(np.uint8)


def orb(size, body=(40, 90, 220), ring=(255, 196, 40), tilt=-18):
    """The emblem: a sphere with a ring round it, tilted; RGBA size x size."""
    n = size * SS
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    s = int(n * 0.62)
    sphere = Image.fromarray(_shade_sphere(s, body), "RGBA")
    ring_layer = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    rd = ImageDraw.Draw(ring_layer)
    w = max(SS, int(n * 0.05))
    box = (int(n * 0.03), int(n * 0.36), int(n * 0.97), int(n * 0.64))
    dark = tuple(int(c * 0.55) for c in ring)
    rd.ellipse(box, outline=dark + (255,), width=w + SS)
    rd.ellipse(box, outline=ring + (255,), width=w)
    ring_layer = ring_layer.rotate(tilt, resample=Image.BICUBIC, center=(n / 2, n / 2))
    # The ring passes behind the sphere above its middle and in front below it.
    back = ring_layer.copy()
    front = ring_layer.copy()
    mask_front = Image.new("L", (n, n), 0)
    ImageDraw.Draw(mask_front).rectangle((0, n // 2, n, n), fill=255)
    mask_front = mask_front.rotate(tilt, center=(n / 2, n / 2))
    front.putalpha(Image.composite(front.getchannel("A"), Image.new("L", (n, n), 0), mask_front))
    img.alpha_composite(back)
    off = (n - s) // 2
    img.alpha_composite(sphere, (off, off))
    img.alpha_composite(front)
    return img.resize((size, size), Image.LANCZOS)


def paste(dst, src, xy, matte=None):
    """Composite an RGBA picture onto an RGB one; with a matte colour, half-covered
    edge pixels become fully covered (no soft edge against a transparent key)."""
    if matte is not None:
        a = np.asarray(src.getchannel("A"))
        src = src.copy()
        src.putalpha(Image.fromarray(np.where(a > 110, 255, 0).astype(np.uint8)))
    dst.paste(src.convert("RGB"), xy, src.getchannel("A"))


def monitor(w, h):
    """A desk monitor, RGBA, whose screen is a dark rectangle to be covered by the
    live preview."""
    n_w, n_h = w * SS, h * SS
    img = Image.new("RGBA", (n_w, n_h), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    body = (214, 208, 192, 255)
    edge = (96, 92, 84, 255)
    d.rounded_rectangle((0, 0, n_w - 1, n_h - 26 * SS), radius=7 * SS, fill=edge)
    d.rounded_rectangle((SS, SS, n_w - 1 - 2 * SS, n_h - 27 * SS), radius=6 * SS, fill=body)
    d.rounded_rectangle((2 * SS, 2 * SS, n_w - 1 - 3 * SS, n_h - 28 * SS), radius=5 * SS,
                        outline=(240, 236, 226, 255), width=SS)
    # neck and foot
    cx = n_w // 2
    d.polygon([(cx - 16 * SS, n_h - 26 * SS), (cx + 16 * SS, n_h - 26 * SS),
               (cx + 12 * SS, n_h - 12 * SS), (cx - 12 * SS, n_h - 12 * SS)],
              fill=(170, 164, 150, 255), outline=edge)
    d.rounded_rectangle((cx - 44 * SS, n_h - 12 * SS, cx + 44 * SS, n_h - 1), radius=4 * SS,
                        fill=body, outline=edge, width=SS)
    return img.resize((w, h), Image.LANCZOS)


def emblem(kind, size=32):
    """The pictures beside the groups of the media page."""
    n = size * SS
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    k = SS
    if kind == "render":
        s = Image.fromarray(_shade_sphere(int(n * 0.8), (220, 60, 60)), "RGBA")
        img.alpha_composite(s, (int(n * 0.1), int(n * 0.1)))
    elif kind == "background":
        d.rectangle((2 * k, 5 * k, 30 * k, 27 * k), fill=(60, 60, 60, 255))
        d.rectangle((4 * k, 7 * k, 28 * k, 25 * k), fill=(120, 180, 240, 255))
        d.polygon([(4 * k, 25 * k), (12 * k, 14 * k), (18 * k, 20 * k), (22 * k, 16 * k),
                   (28 * k, 22 * k), (28 * k, 25 * k)], fill=(40, 140, 60, 255))
        d.ellipse((20 * k, 9 * k, 25 * k, 14 * k), fill=(255, 230, 80, 255))
    elif kind == "sound":
        d.polygon([(3 * k, 12 * k), (9 * k, 12 * k), (17 * k, 5 * k), (17 * k, 27 * k),
                   (9 * k, 20 * k), (3 * k, 20 * k)], fill=(70, 70, 80, 255))
        for r in (6, 10):
            d.arc((17 * k - r * k, 16 * k - r * k, 17 * k + r * k, 16 * k + r * k), -50, 50,
                  fill=(0, 100, 200, 255), width=2 * k)
        d.ellipse((24 * k, 24 * k, 29 * k, 29 * k), fill=(0, 0, 128, 255))
        d.line([(29 * k - k, 26 * k), (29 * k - k, 17 * k), (31 * k, 19 * k)], fill=(0, 0, 128, 255), width=k + 2)
    elif kind == "texture":
        sphere = _shade_sphere(int(n * 0.86), (255, 255, 255))
        m = sphere.shape[0]
        y, x = np.mgrid[0:m, 0:m]
        cx = (m - 1) / 2
        nx = np.clip((x - cx) / (m / 2), -1, 1)
        lon = np.arcsin(nx) * 4
        lat = (y - cx) / (m / 2) * 4
        checker = ((np.floor(lon) + np.floor(lat)) % 2 == 0)
        col = np.where(checker[:, :, None], np.array([230, 190, 40]), np.array([40, 110, 200]))
        sphere[:, :, :3] = (sphere[:, :, :3] / 255.0 * col).astype(np.uint8)
        img.alpha_composite(Image.fromarray(sphere, "RGBA"), (int(n * 0.07), int(n * 0.07)))
    elif kind == "camera":
        d.rounded_rectangle((2 * k, 10 * k, 30 * k, 28 * k), radius=3 * k, fill=(56, 56, 64, 255))
        d.rectangle((6 * k, 6 * k, 14 * k, 10 * k), fill=(56, 56, 64, 255))
        d.rectangle((3 * k, 13 * k, 29 * k, 15 * k), fill=(90, 90, 100, 255))
        d.ellipse((9 * k, 12 * k, 23 * k, 26 * k), fill=(20, 20, 24, 255))
        d.ellipse((11 * k, 14 * k, 21 * k, 24 * k), fill=(30, 90, 170, 255))
        d.ellipse((13 * k, 16 * k, 16 * k, 19 * k), fill=(200, 230, 255, 255))
        d.ellipse((25 * k, 11 * k, 28 * k, 13 * k), fill=(230, 60, 40, 255))
    elif kind == "misc":
        d.rounded_rectangle((2 * k, 6 * k, 30 * k, 26 * k), radius=3 * k, fill=(20, 24, 40, 255))
        d.rectangle((5 * k, 9 * k, 27 * k, 23 * k), fill=(10, 30, 70, 255))
        for i, hgt in enumerate((5, 9, 7, 11, 8)):
            d.rectangle(((7 + i * 4) * k, (22 - hgt) * k, (9 + i * 4) * k, 22 * k),
                        fill=(80, 220, 120, 255))
    return img.resize((size, size), Image.LANCZOS)
