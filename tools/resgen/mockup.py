"""Assembled views for the contact sheet: the configuration dialog with each of its
pages, and the About box, with the faces put where the dialogs place their buttons
and plain stand-ins for the other controls, so captions can be judged beside them."""

from PIL import Image, ImageDraw

import skin
from skin import BLACK, FACE, LIGHT, SHADOW, WHITE

DIALOG_BUTTONS = [("OK_2U", 20, 410, 79, 32), ("CANCEL_2U", 105, 410, 82, 32),
                  ("VERSION_U", 195, 410, 82, 32), ("HELP_U", 285, 410, 62, 32),
                  ("UP_U", 35, 255, 27, 20), ("DN_DI", 35, 275, 27, 20), ("BK_DI", 85, 260, 35, 32),
                  ("FW_U", 150, 260, 35, 32), ("SET_DI", 29, 326, 52, 32),
                  ("INS_DI", 81, 326, 52, 32), ("DEL_DI", 133, 326, 52, 32),
                  ("SAVE_U", 40, 363, 65, 32), ("LOAD_U", 110, 363, 65, 32)]
PAGE1_SLIDERS = [(33, 50), (33, 82), (33, 114), (208, 50), (208, 82), (208, 114), (208, 167),
                 (208, 198)]
PAGE1_SPINS = [(38, 195), (83, 195), (128, 195), (38, 235), (83, 235), (128, 235), (20, 301),
               (240, 301)]
PAGE2_CHECKS = [(80, 31, True), (80, 54, True), (190, 42, False), (80, 118, False),
                (80, 185, False), (80, 211, False), (80, 259, False), (80, 306, False),
                (204, 306, False)]
PAGE2_BUTTONS = [("COLOR_U", 213, 92), ("IMAGE_DI", 213, 124), ("MIDI_DI", 213, 192),
                 ("TEXT_U", 193, 248)]


def check(d, x, y, on=False, radio=False):
    if radio:
        d.ellipse((x + 1, y + 1, x + 12, y + 12), fill=WHITE, outline=SHADOW)
        if on:
            d.ellipse((x + 4, y + 4, x + 9, y + 9), fill=BLACK)
        return
    d.rectangle((x + 1, y + 1, x + 13, y + 13), fill=WHITE)
    skin.bevel(d, (x + 1, y + 1, x + 13, y + 13), raised=False)
    if on:
        d.line([(x + 4, y + 7), (x + 6, y + 9), (x + 10, y + 4)], fill=BLACK, width=2)


def slider(d, x, y, value):
    for i in range(11):
        tx = x + 8 + i * 84 // 10
        d.line([(tx, y + 4), (tx, y + 7)], fill=BLACK)
    d.rectangle((x + 8, y + 17, x + 92, y + 20), fill=WHITE)
    skin.bevel(d, (x + 8, y + 17, x + 92, y + 20), raised=False)
    tx = x + 8 + (value + 100) * 84 // 200
    d.polygon([(tx - 5, y + 27), (tx - 5, y + 14), (tx, y + 9), (tx + 5, y + 14), (tx + 5, y + 27)],
              fill=FACE, outline=BLACK)


def spin(d, x, y):
    for top in (y, y + 12):
        d.rectangle((x, top, x + 15, top + 11), fill=FACE)
        skin.bevel(d, (x, top, x + 15, top + 11))


def number(d, x, y, s, size=13):
    d.text((x, y), s, font=skin.font("bold", size), fill=BLACK)


def page1(faces):
    img = faces["BKGND1"].copy()
    d = ImageDraw.Draw(img)
    values = [0, 30, -30, 0, 0, 0, 0, 50]
    for (x, y), v in zip(PAGE1_SLIDERS, values):
        slider(d, x, y, v)
        number(d, x + 100, y + 10, f"{v:3d}")
    for x, y in PAGE1_SPINS:
        spin(d, x, y)
    for i, v in enumerate((0, -70, 70, 0, 70, 70)):
        number(d, 56 + 45 * (i % 3), 199 + 40 * (i // 3), f"{v:3d}", 11)
    number(d, 258, 304, "08", 11)
    check(d, 40, 150, True)
    d.rectangle((35, 301, 234, 324), fill=WHITE)
    skin.bevel(d, (35, 301, 234, 324), raised=False)
    d.text((40, 312), "(No Message)", font=skin.font("sans", 12), fill=SHADOW, anchor="lm")
    img.paste(faces["XFILE_U"], (266, 237))
    img.paste(faces["FONT_DI"], (275, 293))
    return img


def page2(faces):
    img = faces["BKGND2"].copy()
    d = ImageDraw.Draw(img)
    for i, (x, y, radio) in enumerate(PAGE2_CHECKS):
        check(d, x, y, on=i in (1, 5, 6, 7, 8), radio=radio)
    for name, x, y in PAGE2_BUTTONS:
        img.paste(faces[name], (x, y))
    return img


def dialog(faces, page, current_tab):
    img = Image.new("RGB", (585, 450), FACE)
    img.paste(faces["BKGND"], (0, 0))
    d = ImageDraw.Draw(img)
    for name, x, y, w, h in DIALOG_BUTTONS:
        img.paste(faces[name].resize((w, h)), (x, y))
    check(d, 35, 233)
    number(d, 72, 265, "0")
    number(d, 125, 266, " 0")
    d.rectangle((123, 298, 163, 318), fill=LIGHT)
    skin.bevel(d, (123, 298, 163, 318), raised=False)
    d.rectangle((30, 50, 181, 161), fill=(10, 10, 40))
    tabs = [("CAMERA_D" if current_tab == 0 else "CAMERA_U"), ("REND_D" if current_tab == 1 else "REND_U")]
    for i, name in enumerate(tabs):
        img.paste(faces[name].resize((177, 34)), (212 + 177 * i, 30))
    img.paste(page, (210, 64))
    return img


def about(faces, icon):
    img = faces["ABOUT"].copy()
    img.paste(faces["OK_1U"].resize((62, 32)), (256, 83))
    img.paste(icon.convert("RGB"), (271, 41), icon.getchannel("A"))
    return img
