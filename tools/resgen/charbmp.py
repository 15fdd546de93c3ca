"""CHAR_BMP: the glyph sheet of the full-screen frame-rate counter and the banner
strip, cut apart by the sprite script. 200 x 322, 8 bits per pixel, 256 colours.

Cells of 24 x 24 on a 25-pixel pitch hold the characters 32 to 127, eight to a row;
a one-pixel grid line follows each cell to the right and below. The banner strip is
186 x 22 at (0, 300). Colour 0 is the near-black (1, 1, 1) background: the saver
makes the top-left colour of each surface transparent, so glyphs and banner are drawn
with a hard edge and a dark outline of another colour."""

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

import art
import skin

KEY = (1, 1, 1)
GRID = (40, 52, 72)
OUTLINE = (14, 18, 30)
CELL, PITCH, COLUMNS = 24, 25, 8
WIDTH, HEIGHT = 200, 322
BANNER = (0, 300, 186, 22)


def _gradient(h, top, bottom):
    t = np.linspace(0, 1, h)[:, None]
    return np.array(top)[None, :] * (1 - t) + np.array(bottom)[None, :] * t


def glyph_cell(ch):
    """RGBA 24 x 24: the character filled with a cool gradient, hard-edged, outlined."""
    big = 4
    n = CELL * big
    mask = Image.new("L", (n, n), 0)
    d = ImageDraw.Draw(mask)
    f = skin.font("dejavu-bold", 19 * big)
    d.text((n / 2, n / 2 + big), ch, font=f, fill=255, anchor="mm")
    mask = mask.resize((CELL, CELL), Image.LANCZOS)
    a = np.asarray(mask).astype(float) / 255
    body = a > 0.42
    grown = np.asarray(Image.fromarray((body * 255).astype(np.uint8)).filter(ImageFilter.MaxFilter(3))) > 0
    fill = _gradient(CELL, (255, 250, 210), (255, 150, 30))  # warm white to amber
    rgb = np.zeros((CELL, CELL, 3))
    # soft inside edge: the glyph shades into the outline colour, never into the key
    soft = np.clip((a - 0.42) / 0.45, 0, 1)[:, :, None]
    rgb[:] = np.array(OUTLINE) * (1 - soft) + fill[:, None, :] * soft
    alpha = np.where(grown, 255, 0)
    out = np.zeros((CELL, CELL, 4), np.uint8)
    out[:, :, :3] = np.where(body[:, :, None], rgb, np.array(OUTLINE)).astype(np.uint8)
    out[:, :, 3] = alpha
    return Image.fromarray(out, "RGBA")


def banner():
    """186 x 22 RGBA: the emblem, the product name and the maker's notice."""
    w, h = BANNER[2], BANNER[3]
    big = 4
    layer = Image.new("RGBA", (w * big, h * big), (0, 0, 0, 0))
    d = ImageDraw.Draw(layer)
    name_font = skin.font("bolditalic", 17 * big)
    small = skin.font("bold", 9 * big)
    x = 25 * big
    base = 16 * big
    for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1), (1, 1), (-1, 1), (1, -1), (-1, -1)):
        d.text((x + dx * big, base + dy * big), "orbsaver", font=name_font, fill=OUTLINE + (255,), anchor="ls")
    d.text((x, base), "orbsaver", font=name_font, fill=(255, 214, 90, 255), anchor="ls")
    nx = x + d.textlength("orbsaver", font=name_font) + 6 * big
    for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)):
        d.text((nx + dx * big, base + dy * big), "\u00a9 Quiet Orbit", font=small, fill=OUTLINE + (255,), anchor="ls")
    d.text((nx, base), "\u00a9 Quiet Orbit", font=small, fill=(160, 200, 255, 255), anchor="ls")
    layer = layer.resize((w, h), Image.LANCZOS)
    emblem = art.orb(22)
    layer.alpha_composite(emblem, (1, 0))
    return layer


def char_bmp():
    """The whole sheet as an RGB picture, every background pixel exactly KEY."""
    img = Image.new("RGB", (WIDTH, HEIGHT), KEY)
    d = ImageDraw.Draw(img)
    for k in range(96):
        col, row = k % COLUMNS, k // COLUMNS
        x, y = col * PITCH, row * PITCH
        d.line([(x + CELL, y), (x + CELL, y + CELL)], fill=GRID)
        d.line([(x, y + CELL), (x + CELL, y + CELL)], fill=GRID)
        ch = chr(32 + k)
        if ch.strip() and k != 95:
            art.paste(img, glyph_cell(ch), (x, y), matte=True)
    # 127 has no printable form; its cell shows a small block so it is not mistaken for space
    x, y = 7 * PITCH, 11 * PITCH
    d.rectangle((x + 6, y + 6, x + 17, y + 17), outline=OUTLINE, fill=(255, 170, 60))
    bx, by, _, _ = BANNER
    art.paste(img, banner(), (bx, by), matte=True)
    # the key must be exactly at the top-left of the sheet and of the banner
    assert img.getpixel((0, 0)) == KEY and img.getpixel((bx, by)) == KEY
    return img


def char_bmp_indexed():
    img = char_bmp()
    indices, palette = skin.to_256(img, [KEY])
    assert palette[0] == KEY and indices[0, 0] == 0 and indices[300, 0] == 0
    return indices, palette
