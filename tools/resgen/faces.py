"""The button and tab faces of the configuration dialog and the About box: each stem
in its up ("U"), pressed ("D") and disabled ("DI") look, all in one 16-colour table."""

from PIL import Image, ImageDraw

import skin
from skin import BLACK, FACE, LIGHT, NAVY, SHADOW, WHITE

# stem: (width, height, caption, picture drawn beside the caption or None, default button)
BUTTONS = {
    "OK_2": (79, 32, "OK", "check", True),
    "CANCEL_2": (82, 32, "Cancel", "cross", False),
    "VERSION_": (82, 32, "About", "info", False),
    "HELP_": (62, 32, "Help", "question", False),
    "SET_": (52, 32, "Set", None, False),
    "BK_": (35, 32, "", "left", False),
    "FW_": (35, 32, "", "right", False),
    "DEL_": (52, 32, "Delete", None, False),
    "INS_": (52, 32, "Insert", None, False),
    "UP_": (27, 20, "", "up", False),
    "DN_": (27, 20, "", "down", False),
    "SAVE_": (65, 32, "Save", "disk", False),
    "LOAD_": (65, 32, "Load", "folder", False),
    "XFILE_": (62, 32, "X File", "cube", False),
    "FONT_": (65, 32, "Font", "letter", False),
    "MIDI_": (62, 32, "MIDI", "note", False),
    "TEXT_": (82, 32, "Texture", "checker", False),
    "COLOR_": (62, 32, "Color", "swatch", False),
    "IMAGE_": (62, 32, "Image", "landscape", False),
}

# The About box's OK has no disabled face.
ABOUT_BUTTONS = {"OK_1": (62, 30, "OK", None, True)}

TABS = {
    "CAMERA_": (177, 35, "Camera & Motion", "camera"),
    "REND_": (177, 35, "Rendering & Sound", "sphere"),
}


def picture(d, kind, x, y, disabled):
    """A 16 x 16 (or smaller) picture with its top-left corner at (x, y)."""
    ink = SHADOW if disabled else BLACK
    hi = WHITE

    def emboss(shape_fn):
        if disabled:
            shape_fn(1, WHITE)
            shape_fn(0, SHADOW)
        else:
            shape_fn(0, None)

    if kind in ("left", "right", "up", "down"):
        size = 5 if kind in ("up", "down") else 7

        def tri(o, colour):
            c = colour or BLACK
            cx, cy = x + o, y + o
            if kind == "left":
                pts = [(cx + size, cy - size), (cx, cy), (cx + size, cy + size)]
            elif kind == "right":
                pts = [(cx, cy - size), (cx + size, cy), (cx, cy + size)]
            elif kind == "up":
                pts = [(cx - size, cy + size // 2 + 1), (cx, cy - size // 2 - 1),
                       (cx + size, cy + size // 2 + 1)]
            else:
                pts = [(cx - size, cy - size // 2 - 1), (cx, cy + size // 2 + 1),
                       (cx + size, cy - size // 2 - 1)]
            d.polygon(pts, fill=c)
        emboss(tri)
        return
    if kind == "check":
        def f(o, colour):
            d.line([(x + 2 + o, y + 8 + o), (x + 6 + o, y + 12 + o), (x + 13 + o, y + 3 + o)],
                   fill=colour or (0, 128, 0), width=3)
        emboss(f)
    elif kind == "cross":
        def f(o, colour):
            d.line([(x + 3 + o, y + 3 + o), (x + 12 + o, y + 12 + o)], fill=colour or (128, 0, 0), width=3)
            d.line([(x + 12 + o, y + 3 + o), (x + 3 + o, y + 12 + o)], fill=colour or (128, 0, 0), width=3)
        emboss(f)
    elif kind == "info":
        if disabled:
            d.ellipse((x + 2, y + 1, x + 15, y + 14), outline=WHITE)
            d.ellipse((x + 1, y, x + 14, y + 13), outline=SHADOW)
            d.rectangle((x + 7, y + 6, x + 8, y + 10), fill=SHADOW)
            d.rectangle((x + 7, y + 3, x + 8, y + 4), fill=SHADOW)
        else:
            d.ellipse((x + 1, y, x + 14, y + 13), fill=(0, 0, 255), outline=NAVY)
            d.rectangle((x + 7, y + 6, x + 8, y + 10), fill=WHITE)
            d.rectangle((x + 7, y + 3, x + 8, y + 4), fill=WHITE)
    elif kind == "question":
        f = skin.font("bold", 14)
        if disabled:
            d.ellipse((x + 2, y + 1, x + 15, y + 14), outline=WHITE)
            d.ellipse((x + 1, y, x + 14, y + 13), outline=SHADOW)
            skin.embossed_text(d, (x + 8, y + 7), "?", skin.font("bold", 11))
        else:
            d.ellipse((x + 1, y, x + 14, y + 13), fill=(255, 255, 0), outline=(128, 128, 0))
            d.text((x + 8, y + 7), "?", font=f, fill=NAVY, anchor="mm")
    elif kind == "disk":
        body = SHADOW if disabled else NAVY
        d.rectangle((x + 1, y + 1, x + 14, y + 14), fill=body, outline=ink)
        d.rectangle((x + 4, y + 2, x + 11, y + 6), fill=LIGHT if disabled else WHITE)
        d.rectangle((x + 9, y + 3, x + 10, y + 5), fill=body)
        d.rectangle((x + 3, y + 9, x + 12, y + 14), fill=FACE if disabled else LIGHT)
        if disabled:
            d.line([(x + 2, y + 15), (x + 15, y + 15), (x + 15, y + 2)], fill=WHITE)
    elif kind == "folder":
        body = FACE if disabled else (255, 255, 0)
        edge = SHADOW if disabled else (128, 128, 0)
        d.polygon([(x + 1, y + 3), (x + 6, y + 3), (x + 7, y + 5), (x + 14, y + 5),
                   (x + 14, y + 13), (x + 1, y + 13)], fill=body, outline=edge)
        d.line([(x + 1, y + 7), (x + 14, y + 7)], fill=edge)
        if disabled:
            d.line([(x + 2, y + 14), (x + 15, y + 14), (x + 15, y + 6)], fill=WHITE)
    elif kind == "letter":
        f = skin.font("serif-bolditalic", 17)
        if disabled:
            skin.embossed_text(d, (x + 8, y + 7), "A", f)
        else:
            d.text((x + 8, y + 7), "A", font=f, fill=NAVY, anchor="mm")
    elif kind == "checker":
        for j in range(4):
            for i in range(4):
                on = (i + j) % 2 == 0
                c = (SHADOW if on else LIGHT) if disabled else ((255, 0, 0) if on else (255, 255, 0))
                d.rectangle((x + 1 + i * 3, y + 2 + j * 3, x + 3 + i * 3, y + 4 + j * 3), fill=c)
        d.rectangle((x, y + 1, x + 13, y + 14), outline=ink)
    elif kind == "cube":
        edge = SHADOW if disabled else NAVY
        front = FACE if disabled else (0, 128, 128)
        top = LIGHT if disabled else WHITE
        d.polygon([(x + 1, y + 5), (x + 5, y + 1), (x + 14, y + 1), (x + 10, y + 5)], fill=top, outline=edge)
        d.polygon([(x + 10, y + 5), (x + 14, y + 1), (x + 14, y + 10), (x + 10, y + 14)],
                  fill=SHADOW if not disabled else FACE, outline=edge)
        d.rectangle((x + 1, y + 5, x + 10, y + 14), fill=front, outline=edge)
        if disabled:
            d.line([(x + 2, y + 15), (x + 11, y + 15), (x + 15, y + 11)], fill=WHITE)
    elif kind == "note":
        c = SHADOW if disabled else NAVY
        if disabled:
            d.ellipse((x + 3, y + 11, x + 8, y + 15), fill=WHITE)
            d.ellipse((x + 10, y + 9, x + 15, y + 13), fill=WHITE)
        d.ellipse((x + 2, y + 10, x + 7, y + 14), fill=c)
        d.ellipse((x + 9, y + 8, x + 14, y + 12), fill=c)
        d.line([(x + 6, y + 12), (x + 6, y + 2)], fill=c, width=2)
        d.line([(x + 13, y + 10), (x + 13, y + 0)], fill=c, width=2)
        d.polygon([(x + 6, y + 2), (x + 14, y), (x + 14, y + 3), (x + 6, y + 5)], fill=c)
    elif kind == "swatch":
        cols = [(255, 0, 0), (255, 255, 0), (0, 0, 255), (0, 255, 0)]
        for i, c in enumerate(cols):
            cx, cy = x + 1 + (i % 2) * 7, y + 1 + (i // 2) * 7
            d.rectangle((cx, cy, cx + 6, cy + 6), fill=(LIGHT if i % 3 else SHADOW) if disabled else c,
                        outline=ink)
    elif kind == "landscape":
        d.rectangle((x + 1, y + 2, x + 14, y + 13), fill=FACE if disabled else WHITE, outline=ink)
        if not disabled:
            d.rectangle((x + 2, y + 3, x + 13, y + 12), fill=(0, 0, 255))
        d.polygon([(x + 2, y + 12), (x + 6, y + 6), (x + 9, y + 9), (x + 11, y + 7), (x + 13, y + 10),
                   (x + 13, y + 12)], fill=SHADOW if disabled else (0, 128, 0))
        d.ellipse((x + 9, y + 3, x + 11, y + 5), fill=WHITE if disabled else (255, 255, 0))
    elif kind == "camera":
        body = SHADOW if disabled else (96, 96, 96)
        d.rectangle((x + 1, y + 4, x + 15, y + 13), fill=body, outline=BLACK)
        d.rectangle((x + 4, y + 2, x + 8, y + 4), fill=body, outline=BLACK)
        d.ellipse((x + 5, y + 5, x + 12, y + 12), fill=(0, 128, 128), outline=BLACK)
        d.point((x + 7, y + 7), fill=WHITE)
        d.point((x + 13, y + 6), fill=(255, 0, 0))
    elif kind == "sphere":
        d.ellipse((x + 1, y + 1, x + 15, y + 15), fill=NAVY)
        d.ellipse((x + 2, y + 2, x + 12, y + 12), fill=(0, 0, 255))
        d.ellipse((x + 4, y + 3, x + 8, y + 7), fill=(0, 128, 128))
        d.ellipse((x + 5, y + 4, x + 6, y + 5), fill=WHITE)


def _content(d, w, h, caption, pic, disabled, dx):
    f = skin.font("sans", 12)
    cy = h // 2 + dx
    if pic in ("left", "right", "up", "down"):
        cx = w // 2 + dx - (0 if pic in ("up", "down") else (3 if pic == "right" else 4))
        picture(d, pic, cx, cy, disabled)
        return
    tw = d.textlength(caption, font=f) if caption else 0
    pw = 16 if pic else 0
    gap = 4 if pic and caption else 0
    total = tw + pw + gap
    x = (w - total) / 2 + dx
    if pic:
        picture(d, pic, int(x), cy - 8, disabled)
        x += pw + gap
    if caption:
        if disabled:
            skin.embossed_text(d, (x, cy), caption, f, anchor="lm")
        else:
            d.text((x, cy), caption, font=f, fill=BLACK, anchor="lm")


def button(stem, w, h, caption, pic, default, state):
    img, d = skin.canvas(w, h)
    if state == "D":
        d.rectangle((0, 0, w - 1, h - 1), outline=BLACK)
        d.rectangle((1, 1, w - 2, h - 2), outline=SHADOW)
        _content(d, w, h, caption, pic, False, 1)
    else:
        box = (0, 0, w - 1, h - 1)
        if default and state == "U":
            d.rectangle(box, outline=BLACK)
            box = (1, 1, w - 2, h - 2)
        skin.bevel(d, box)
        _content(d, w, h, caption, pic, state == "DI", 0)
    return img


def tab(stem, w, h, caption, pic, state):
    """The current tab ("D") stands up and opens into the page below it; the other
    tab ("U") sits two pixels lower and is closed by the page's top edge."""
    img, d = skin.canvas(w, h)
    top = 0 if state == "D" else 3
    x0, x1 = (0, w - 1) if state == "D" else (2, w - 3)
    d.line([(x0, h - 1), (x0, top + 2), (x0 + 2, top), (x1 - 2, top)], fill=WHITE)
    d.line([(x0 + 1, h - 1), (x0 + 1, top + 2)], fill=LIGHT)
    d.line([(x1 - 1, top + 1), (x1, top + 2), (x1, h - 1)], fill=BLACK)
    d.line([(x1 - 1, top + 2), (x1 - 1, h - 1)], fill=SHADOW)
    if state == "U":
        d.rectangle((0, 0, w - 1, top - 1), fill=FACE)
        d.line([(0, h - 1), (w - 1, h - 1)], fill=WHITE)
    f = skin.font("bold" if state == "D" else "sans", 12)
    tw = d.textlength(caption, font=f)
    x = (w - tw - 20) / 2
    cy = (h + top) // 2
    picture(d, pic, int(x), cy - 8, False)
    d.text((x + 20, cy), caption, font=f, fill=NAVY if state == "D" else BLACK, anchor="lm")
    if state == "D":
        # a dotted focus-like underline marks the current page
        for px in range(int(x + 20), int(x + 20 + tw), 2):
            d.point((px, cy + 8), fill=NAVY)
    return img


def all_faces():
    """name -> RGB picture, for every face bitmap."""
    out = {}
    for stem, (w, h, cap, pic, default) in BUTTONS.items():
        for state in ("U", "D", "DI"):
            out[stem + state] = button(stem, w, h, cap, pic, default, state)
    for stem, (w, h, cap, pic, default) in ABOUT_BUTTONS.items():
        for state in ("U", "D"):
            out[stem + state] = button(stem, w, h, cap, pic, default, state)
    for stem, (w, h, cap, pic) in TABS.items():
        for state in ("U", "D"):
            out[stem + state] = tab(stem, w, h, cap, pic, state)
    return out
