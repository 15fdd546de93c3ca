"""The look shared by every picture of the configuration dialog and the About box:
the colours, the fonts, bevels, etched group frames, captions, and the reduction of
a finished picture to a 16- or 256-colour table."""

import numpy as np
from PIL import Image, ImageDraw, ImageFont

# The dialog grey is the light grey stock brush that the dialogs erase number fields
# with, so controls and drawn numbers blend into the pictures.
FACE = (192, 192, 192)
LIGHT = (223, 223, 223)
WHITE = (255, 255, 255)
SHADOW = (128, 128, 128)
DARK = (64, 64, 64)
BLACK = (0, 0, 0)
NAVY = (0, 0, 128)
BLUE = (16, 132, 208)
TEAL = (0, 128, 128)
INK = (0, 0, 0)

# The one colour table of every button face: a grey ramp for bevels and smoothed
# text, and a few accents for the small pictures on the faces.
FACE_PALETTE = [
    BLACK, (128, 0, 0), (0, 128, 0), (128, 128, 0),
    NAVY, (128, 0, 128), TEAL, SHADOW,
    FACE, (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (96, 96, 96), LIGHT, WHITE,
]

FONT_DIR = "/usr/share/fonts/truetype/"
FONT_FILES = {
    "sans": "liberation/LiberationSans-Regular.ttf",
    "bold": "liberation/LiberationSans-Bold.ttf",
    "italic": "liberation/LiberationSans-Italic.ttf",
    "bolditalic": "liberation/LiberationSans-BoldItalic.ttf",
    "serif-bolditalic": "liberation/LiberationSerif-BoldItalic.ttf",
    "dejavu-bold": "dejavu/DejaVuSans-Bold.ttf",
    "dejavu": "dejavu/DejaVuSans.ttf",
    "mono-bold": "dejavu/DejaVuSansMono-Bold.ttf",
}
_fonts = {}


def font(kind, size):
    key = (kind, size)
    if key not in _fonts:
        _fonts[key] = ImageFont.truetype(FONT_DIR + FONT_FILES[kind], size)
    return _fonts[key]


def canvas(w, h, colour=FACE):
    img = Image.new("RGB", (w, h), colour)
    return img, ImageDraw.Draw(img)


def bevel(d, box, raised=True, outer=(WHITE, BLACK), inner=(LIGHT, SHADOW)):
    """Two-line 3D edge inside box (x0, y0, x1, y1 inclusive)."""
    x0, y0, x1, y1 = box
    (ol, od), (il, idk) = outer, inner
    if not raised:
        ol, od, il, idk = SHADOW, WHITE, BLACK, LIGHT
    d.line([(x0, y1), (x0, y0), (x1, y0)], fill=ol)
    d.line([(x0, y1), (x1, y1), (x1, y0)], fill=od)
    d.line([(x0 + 1, y1 - 1), (x0 + 1, y0 + 1), (x1 - 1, y0 + 1)], fill=il)
    d.line([(x0 + 1, y1 - 1), (x1 - 1, y1 - 1), (x1 - 1, y0 + 1)], fill=idk)


def thin_bevel(d, box, raised=True):
    x0, y0, x1, y1 = box
    a, b = (WHITE, SHADOW) if raised else (SHADOW, WHITE)
    d.line([(x0, y1), (x0, y0), (x1, y0)], fill=a)
    d.line([(x0, y1), (x1, y1), (x1, y0)], fill=b)


def etched_rect(d, box):
    x0, y0, x1, y1 = box
    d.rectangle((x0 + 1, y0 + 1, x1, y1), outline=WHITE)
    d.rectangle((x0, y0, x1 - 1, y1 - 1), outline=SHADOW)


def text(d, xy, s, f, fill=INK, anchor="la"):
    d.text(xy, s, font=f, fill=fill, anchor=anchor)


def embossed_text(d, xy, s, f, anchor="mm"):
    """The disabled look: grey letters with a white shadow below and right."""
    x, y = xy
    d.text((x + 1, y + 1), s, font=f, fill=WHITE, anchor=anchor)
    d.text((x, y), s, font=f, fill=SHADOW, anchor=anchor)


def group(d, box, title, f, colour=NAVY):
    """An etched frame with its title set into the top edge."""
    x0, y0, x1, y1 = box
    etched_rect(d, box)
    w = d.textlength(title, font=f)
    d.rectangle((x0 + 7, y0 - 6, x0 + 13 + w, y0 + 6), fill=FACE)
    d.text((x0 + 10, y0), title, font=f, fill=colour, anchor="lm")


def gradient_band(img, box, left, right):
    x0, y0, x1, y1 = box
    w = x1 - x0 + 1
    t = np.linspace(0.0, 1.0, w)[None, :, None]
    band = (np.array(left)[None, None, :] * (1 - t) + np.array(right)[None, None, :] * t)
    band = np.repeat(band, y1 - y0 + 1, axis=0)
    img.paste(Image.fromarray(band.round().astype(np.uint8)), (x0, y0))


def sunken_field(d, box):
    """A recessed number field; its inside is the dialog grey the program erases with."""
    x0, y0, x1, y1 = box
    d.line([(x0, y1), (x0, y0), (x1, y0)], fill=SHADOW)
    d.line([(x0, y1), (x1, y1), (x1, y0)], fill=WHITE)


def to_face_indices(img):
    """Nearest colour of FACE_PALETTE for every pixel (no dithering)."""
    a = np.asarray(img.convert("RGB"), np.int32)
    pal = np.array(FACE_PALETTE, np.int32)
    dist = ((a[:, :, None, :] - pal[None, None, :, :]) ** 2).sum(axis=3)
    return dist.argmin(axis=2).astype(np.uint8)


def _fit_colours(colours, counts, k):
    """k colours for a set of distinct colours with their pixel counts. A third of
    the seeds are taken farthest-first, so a small patch of a rare colour (a lamp, an
    emblem) keeps a colour of its own; the rest are drawn where the picture has most
    pixels far from a seed (as k-means++ does), and weighted k-means rounds then settle
    the gradients. Fixed seeds keep the output the same on every run."""
    rng = np.random.default_rng(256)
    first = int(np.argmax(counts))
    centres = [colours[first]]
    nearest = ((colours - colours[first]) ** 2).sum(axis=1)
    while len(centres) < k:
        if len(centres) < k // 3:
            pick = int(np.argmax(nearest * counts))
        else:
            p = nearest * counts
            pick = int(rng.choice(len(colours), p=p / p.sum()))
        centres.append(colours[pick])
        nearest = np.minimum(nearest, ((colours - colours[pick]) ** 2).sum(axis=1))
    centres = np.array(centres)
    for _ in range(15):
        dist = ((colours[:, None, :] - centres[None, :, :]) ** 2).sum(axis=2)
        owner = dist.argmin(axis=1)
        for c in range(k):
            mine = owner == c
            if mine.any():
                centres[c] = (colours[mine] * counts[mine, None]).sum(axis=0) / counts[mine].sum()
    return [tuple(int(round(v)) for v in c) for c in centres]


def to_256(img, reserved=()):
    """A 256-colour table for a finished picture. The reserved colours keep their exact
    values and come first; the rest of the table is fitted to the picture."""
    a = np.asarray(img.convert("RGB"), np.uint8)
    h, w, _ = a.shape
    flat = a.reshape(-1, 3)
    reserved = list(dict.fromkeys(tuple(c) for c in reserved))
    keys = flat[:, 0].astype(np.int64) << 16 | flat[:, 1].astype(np.int64) << 8 | flat[:, 2]
    res_keys = [r << 16 | g << 8 | b for (r, g, b) in reserved]
    is_res = np.isin(keys, res_keys)
    indices = np.zeros(h * w, np.uint8)
    for i, k in enumerate(res_keys):
        indices[keys == k] = i
    rest = flat[~is_res]
    palette = list(reserved)
    if len(rest):
        free = 256 - len(palette)
        uniq, counts = np.unique(rest, axis=0, return_counts=True)
        if len(uniq) <= free:
            extra = [tuple(int(v) for v in c) for c in uniq]
        else:
            extra = _fit_colours(uniq.astype(float), counts.astype(float), free)
        palette += extra
        pal = np.array(extra, np.int32)
        rest_i = rest.astype(np.int32)
        out = np.empty(len(rest_i), np.uint8)
        for s in range(0, len(rest_i), 4096):
            chunk = rest_i[s:s + 4096]
            dist = ((chunk[:, None, :] - pal[None, :, :]) ** 2).sum(axis=2)
            out[s:s + 4096] = dist.argmin(axis=1) + len(reserved)
        indices[~is_res] = out
    # A full table: unused entries carry a grey ramp rather than repeats.
    i = 0
    while len(palette) < 256:
        v = (i * 37) % 256
        if (v, v, v) not in palette:
            palette.append((v, v, v))
        i += 1
    return indices.reshape(h, w), palette
