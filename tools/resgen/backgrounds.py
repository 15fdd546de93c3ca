"""The background pictures of the configuration dialog (BKGND), its two pages (BKGND1,
BKGND2) and the About box (ABOUT). The dialogs have no text of their own: these
pictures name every group and control, each caption placed beside the control that
the dialog puts at that pixel position."""

import os
import re

import art
import skin
from skin import BLACK, FACE, LIGHT, NAVY, SHADOW, WHITE

PRODUCT = "orbsaver"
MAKER = "Quiet Orbit"


def _project_version():
    """The version the project declares, as "major.minor", so the pictures follow it."""
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "CMakeLists.txt")
    with open(top) as f:
        found = re.search(r"project\(orbsaver\s+VERSION\s+(\d+)\.(\d+)", f.read())
    if not found:
        raise RuntimeError("no project version in " + top)
    return f"{found.group(1)}.{found.group(2)}"


VERSION = "Version " + _project_version()

TITLE_LEFT = (0, 0, 128)
TITLE_RIGHT = (16, 132, 208)


def caption(d, xy, s, size=12, bold=False, anchor="lm", fill=BLACK):
    d.text(xy, s, font=skin.font("bold" if bold else "sans", size), fill=fill, anchor=anchor)


def title_band(img, d, box, label, sub=None):
    skin.gradient_band(img, box, TITLE_LEFT, TITLE_RIGHT)
    x0, y0, x1, y1 = box
    cy = (y0 + y1) // 2 + 1
    art.paste(img, art.orb(16), (x0 + 4, cy - 8))
    f = skin.font("bolditalic", 13)
    d.text((x0 + 24, cy), label, font=f, fill=WHITE, anchor="lm")
    if sub:
        w = d.textlength(label, font=f)
        d.text((x0 + 30 + w, cy), sub, font=skin.font("sans", 12), fill=(220, 230, 255),
               anchor="lm")


def number_field(d, x, y, w, h):
    """The sunken frame round a number the dialog draws at (x, y) on a w x h patch."""
    skin.sunken_field(d, (x - 2, y - 2, x + w + 1, y + h + 1))


def page_frame(d, w, h):
    """The edges of the tab's page: lit on the left, shaded on the right and below."""
    d.line([(0, 0), (0, h - 1)], fill=WHITE)
    d.line([(1, 0), (1, h - 2)], fill=LIGHT)
    d.line([(w - 1, 0), (w - 1, h - 1), (0, h - 1)], fill=BLACK)
    d.line([(w - 2, 0), (w - 2, h - 2), (1, h - 2)], fill=SHADOW)


def bkgnd():
    img, d = skin.canvas(580, 445)
    title_band(img, d, (0, 0, 579, 21), PRODUCT, "Screen Saver Setup")
    # Preview: a monitor whose screen is the live preview area (30, 50, 152 x 112).
    mon = art.monitor(176, 168)
    art.paste(img, mon, (18, 38))
    d.rectangle((27, 47, 184, 164), fill=(60, 60, 60))
    skin.bevel(d, (27, 47, 184, 164), raised=False)
    d.rectangle((30, 50, 181, 161), fill=(0, 0, 0))
    caption(d, (34, 171), PRODUCT, 9, bold=True, fill=(112, 106, 96))
    d.ellipse((172, 169, 176, 173), fill=(40, 200, 60), outline=(30, 90, 30))
    # The step table editor.
    gf = skin.font("bold", 12)
    skin.group(d, (12, 218, 199, 402), "Camera Flight", gf)
    caption(d, (56, 241), "Play the flight")
    caption(d, (74, 255), "Table", 10, anchor="mm")
    number_field(d, 70, 265, 15, 20)
    caption(d, (137, 255), "Step", 10, anchor="mm")
    number_field(d, 125, 266, 25, 25)
    caption(d, (119, 307), "Frames", 12, anchor="rm")
    # The tab control and its pages fill (210, 30) to (570, 404); frame them.
    d.line([(208, 64), (208, 405)], fill=SHADOW)
    d.line([(208, 405), (571, 405)], fill=WHITE)
    d.line([(571, 64), (571, 405)], fill=WHITE)
    # Buttons along the bottom, and the maker's mark beside them.
    d.line([(8, 406), (571, 406)], fill=SHADOW)
    d.line([(8, 407), (571, 407)], fill=WHITE)
    art.paste(img, art.orb(30), (366, 411))
    d.text((400, 425), PRODUCT, font=skin.font("bolditalic", 20), fill=NAVY, anchor="ls")
    d.text((400, 438), f"{VERSION}  \u00a9 {MAKER}", font=skin.font("sans", 10),
           fill=(64, 64, 64), anchor="ls")
    return img


def bkgnd1():
    """Camera, object and message page."""
    img, d = skin.canvas(360, 340)
    page_frame(d, 360, 340)
    gf = skin.font("bold", 12)
    sub = skin.font("bold", 11)
    skin.group(d, (6, 14, 178, 274), "Camera", gf)
    skin.group(d, (184, 14, 353, 274), "Object", gf)
    skin.group(d, (6, 282, 353, 333), "Message", gf)
    for gx, sx, label in ((14, 33, "Location"), (189, 208, "Location")):
        d.text((gx + 4, 34), label, font=sub, fill=(64, 64, 64), anchor="lm")
        for i, axis in enumerate("XYZ"):
            y = 50 + 32 * i
            caption(d, (sx - 11, y + 16), axis, 12, bold=True, anchor="mm")
            number_field(d, sx + 100, y + 10, 36, 22)
    art.paste(img, art.emblem("camera", 28), (142, 22))
    art.paste(img, art.orb(30), (316, 20))
    caption(d, (60, 158), "Look at object")
    d.text((18, 176), "Orientation", font=sub, fill=(64, 64, 64), anchor="lm")
    for i, axis in enumerate("XYZ"):
        caption(d, (60 + 45 * i, 188), axis, 11, bold=True, anchor="mm")
    for j, (axis, hint) in enumerate((("Z", "dir"), ("Y", "up"))):
        y = 195 + 40 * j
        caption(d, (22, y + 8), axis, 12, bold=True, anchor="mm")
        caption(d, (22, y + 20), hint, 9, anchor="mm", fill=(64, 64, 64))
        for i in range(3):
            number_field(d, 56 + 45 * i, 199 + 40 * j, 26, 19)
    d.text((193, 152), "Rotation", font=sub, fill=(64, 64, 64), anchor="lm")
    for i, axis in enumerate("XY"):
        y = 167 + 31 * i
        caption(d, (197, y + 16), axis, 12, bold=True, anchor="mm")
        number_field(d, 308, y + 10, 36, 22)
    caption(d, (260, 247), "Model", 12, anchor="rm")
    caption(d, (260, 261), "(X File)", 10, anchor="rm", fill=(64, 64, 64))
    caption(d, (20, 294), "No.", 10, anchor="lm", fill=(64, 64, 64))
    caption(d, (40, 294), "Text", 10, anchor="lm", fill=(64, 64, 64))
    caption(d, (240, 294), "Speed", 10, anchor="lm", fill=(64, 64, 64))
    number_field(d, 258, 304, 16, 17)
    return img


def bkgnd2():
    """Media and background page."""
    img, d = skin.canvas(360, 340)
    page_frame(d, 360, 340)
    gf = skin.font("bold", 12)
    groups = (
        ((6, 14, 353, 76), "Rendering Quality", "render"),
        ((6, 86, 353, 160), "Background", "background"),
        ((6, 170, 353, 234), "Sound", "sound"),
        ((6, 244, 353, 288), "Texture", "texture"),
        ((6, 296, 353, 333), "Miscellaneous", "misc"),
    )
    for box, title, kind in groups:
        skin.group(d, box, title, gf)
        size = 32 if box[3] - box[1] > 50 else 24
        cy = (box[1] + box[3]) // 2 + 3
        art.paste(img, art.emblem(kind, size), (40 - size // 2, cy - size // 2))
    caption(d, (100, 39), "Flat")
    caption(d, (100, 62), "Gouraud")
    caption(d, (210, 50), "Dither On")
    caption(d, (100, 126), "Use Image")
    caption(d, (285, 108), "Solid color", 10, fill=(64, 64, 64))
    caption(d, (285, 140), "BMP picture", 10, fill=(64, 64, 64))
    caption(d, (100, 193), "Sound On")
    caption(d, (100, 219), "MIDI On")
    caption(d, (285, 208), "Music file", 10, fill=(64, 64, 64))
    caption(d, (100, 267), "Original")
    caption(d, (285, 264), "BMP or PPM", 10, fill=(64, 64, 64))
    caption(d, (99, 314), "FPS On")
    caption(d, (223, 314), "\u00a9 On")
    return img


def about():
    img, d = skin.canvas(345, 154)
    skin.bevel(d, (0, 0, 344, 153))
    title_band(img, d, (3, 3, 341, 20), f"About {PRODUCT}")
    art.paste(img, art.orb(72), (14, 34))
    d.text((98, 52), PRODUCT, font=skin.font("bolditalic", 28), fill=NAVY, anchor="ls")
    caption(d, (99, 66), "3D Screen Saver", 12, bold=True)
    caption(d, (99, 84), VERSION, 12)
    caption(d, (99, 100), f"\u00a9 {MAKER}", 11)
    # the icon control sits at (271, 41) 32 x 32; the OK button at (256, 83) 62 x 32
    d.rectangle((269, 39, 304, 74), fill=FACE)
    skin.etched_rect(d, (6, 121, 338, 122))
    caption(d, (172, 136), "Any key or mouse move ends the saver; F1 shows this box.", 10,
            anchor="mm", fill=(64, 64, 64))
    return img


def all_backgrounds():
    return {"BKGND": bkgnd(), "BKGND1": bkgnd1(), "BKGND2": bkgnd2(), "ABOUT": about()}
