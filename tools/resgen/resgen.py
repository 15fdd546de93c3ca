#!/usr/bin/python3
"""Makes every generated resource of orbsaver from the sources in this folder: the
bitmaps, the sprite script, the opening sound, the icon, the default model and the
default texture. Usage: resgen.py [--out RESOURCES_DIR] [--sheet CONTACT.png] [--check]
With --check nothing is written: the exit status says whether the files in
RESOURCES_DIR are what the generator makes now."""

import argparse
import filecmp
import os
import sys
import tempfile

from PIL import Image, ImageDraw

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import backgrounds  # noqa: E402
import bmpfile  # noqa: E402
import charbmp  # noqa: E402
import faces  # noqa: E402
import icon  # noqa: E402
import mockup  # noqa: E402
import model  # noqa: E402
from output import write_bytes  # noqa: E402
import skin  # noqa: E402
import sound  # noqa: E402
import texture  # noqa: E402

# The sprite script that cuts CHAR_BMP apart; its spacing is kept as it is and every
# line ends with CR LF.
PATSCRIPT1 = (
    "LoadRes CHAR_BMP\r\n"
    "Surface BALL   (  0,300)  (186  22) (186 22)\r\n"
    "Surface DUMMY1 (  0,  0)  (  1   1) ( 1  1)\r\n"
    "Surface DUMMY2 (  0,  0)  (  1   1) ( 1  1)\r\n"
    "Surface DUMMY3 (  0,  0)  (  1   1) ( 1  1)\r\n"
    "Surface STR    (  0,  0)  (200 299) (24+1 24+1)\r\n"
)

# Colours the 256-colour backgrounds keep exactly: the dialog grey and the bevel greys.
BACKGROUND_RESERVED = [skin.FACE, skin.BLACK, skin.WHITE, skin.SHADOW, skin.LIGHT, skin.NAVY]


def write_bitmaps(bitmap_dir):
    written = {}
    for name, img in faces.all_faces().items():
        path = os.path.join(bitmap_dir, name + ".bmp")
        bmpfile.write_indexed(path, skin.to_face_indices(img), skin.FACE_PALETTE, 4)
        written[name] = path
    for name, img in backgrounds.all_backgrounds().items():
        path = os.path.join(bitmap_dir, name + ".bmp")
        indices, palette = skin.to_256(img, BACKGROUND_RESERVED)
        bmpfile.write_indexed(path, indices, palette, 8)
        written[name] = path
    path = os.path.join(bitmap_dir, "CHAR_BMP.bmp")
    indices, palette = charbmp.char_bmp_indexed()
    bmpfile.write_indexed(path, indices, palette, 8)
    written["CHAR_BMP"] = path
    return written


def contact_sheet(bitmaps, sheet_path, model_path):
    """Every bitmap as the program will show it, read back from the written files,
    with its name and size: backgrounds first, then the glyph sheet (also at twice
    its size), then each face stem with its up, pressed and disabled faces side by
    side; last, four views of the default model turning about Y."""
    pictures = {}
    for name, path in bitmaps.items():
        indices, palette = bmpfile.read_indexed(path)
        img = Image.fromarray(indices, "P")
        img.putpalette([c for rgb in palette for c in rgb] + [0] * (768 - 3 * len(palette)))
        pictures[name] = img.convert("RGB")
    label = skin.font("sans", 11)
    width = 1340
    items = []  # rows of (caption, [pictures])
    items.append([(n, [pictures[n]]) for n in ("BKGND", "BKGND1", "BKGND2")])
    glyphs = pictures["CHAR_BMP"]
    items.append([("ABOUT", [pictures["ABOUT"]]), ("CHAR_BMP", [glyphs]),
                  ("CHAR_BMP x2", [glyphs.resize((glyphs.width * 2, glyphs.height * 2), Image.NEAREST)]),
                  ("CAMERA_ U D", [pictures["CAMERA_U"], pictures["CAMERA_D"]]),
                  ("REND_ U D", [pictures["REND_U"], pictures["REND_D"]])])
    stems = list(faces.BUTTONS) + list(faces.ABOUT_BUTTONS)
    row = []
    for stem in stems:
        states = ("U", "D", "DI") if stem in faces.BUTTONS else ("U", "D")
        row.append((stem + " " + " ".join(states), [pictures[stem + s] for s in states]))
    items.append(row)
    icon_path = os.path.join(os.path.dirname(model_path), "..", "icon", "101.png")
    items.append([("as assembled: Camera & Motion", [mockup.dialog(pictures, mockup.page1(pictures), 0)]),
                  ("as assembled: Rendering & Sound", [mockup.dialog(pictures, mockup.page2(pictures), 1)])])
    items.append([("as assembled: About", [mockup.about(pictures, Image.open(icon_path))]),
                  ("win95.ppm", [Image.open(os.path.join(os.path.dirname(model_path), "win95.ppm"))])])
    # lay out: each entry is its pictures side by side under a caption
    placed = []
    y = 8
    for entries in items:
        x, row_h = 8, 0
        for caption, imgs in entries:
            w = max(sum(i.width + 6 for i in imgs), int(label.getlength(caption)) + 6)
            h = max(i.height for i in imgs) + 16
            if x + w > width - 8:
                x, y = 8, y + row_h + 10
                row_h = 0
            placed.append((caption, imgs, x, y))
            x += w + 14
            row_h = max(row_h, h)
        y += row_h + 14
    views = model_views(model_path, 260)
    sheet = Image.new("RGB", (width, y + views.height + 12), (0, 96, 96))
    d = ImageDraw.Draw(sheet)
    for caption, imgs, px, py in placed:
        d.text((px, py), caption, font=label, fill=(255, 255, 255))
        for img in imgs:
            sheet.paste(img, (px, py + 14))
            px += img.width + 6
    sheet.paste(views, (8, y))
    sheet.save(sheet_path)


def model_views(model_path, size):
    """Flat-shaded views of the model turned about Y, drawn back to front."""
    import numpy as np
    mesh = model.build()
    pos = np.array(mesh.positions)
    faces_ = np.array(mesh.faces)
    colours = np.array([m[1][:3] for m in model.MATERIALS])
    out = Image.new("RGB", (size * 4, size), (0, 0, 0))
    light = np.array([-0.4, 0.5, -0.75])  # from above left, toward the viewer
    light /= np.linalg.norm(light)
    for v, angle in enumerate((0, 45, 90, 135)):
        a = np.radians(angle)
        rot = np.array([[np.cos(a), 0, np.sin(a)], [0, 1, 0], [-np.sin(a), 0, np.cos(a)]])
        tilt = np.radians(25)
        down = np.array([[1, 0, 0], [0, np.cos(tilt), -np.sin(tilt)], [0, np.sin(tilt), np.cos(tilt)]])
        p = pos @ rot.T @ down.T
        tri = p[faces_]
        normal = np.cross(tri[:, 1] - tri[:, 0], tri[:, 2] - tri[:, 0])
        normal /= np.linalg.norm(normal, axis=1)[:, None] + 1e-12
        facing = normal[:, 2] < 0  # toward the viewer at -Z
        depth = tri[:, :, 2].mean(axis=1)
        shade = 0.2 + 0.8 * np.clip(normal @ light, 0, 1)
        img = Image.new("RGB", (size, size), (0, 0, 0))
        d = ImageDraw.Draw(img)
        scale = size / 9.0
        for k in np.argsort(-depth):
            if not facing[k]:
                continue
            c = tuple(int(255 * min(1, x * shade[k])) for x in colours[mesh.materials[k]])
            pts = [(size / 2 + q[0] * scale, size / 2 - q[1] * scale) for q in tri[k]]
            d.polygon(pts, fill=c)
        out.paste(img, (v * size, 0))
    return out


def generate(out):
    for sub in ("bitmap", "patscript", "wave", "icon", "data"):
        os.makedirs(os.path.join(out, sub), exist_ok=True)
    bitmaps = write_bitmaps(os.path.join(out, "bitmap"))
    write_bytes(os.path.join(out, "patscript", "PATSCRIPT1.txt"), PATSCRIPT1.encode("ascii"))
    sound.write(os.path.join(out, "wave", "OPEN.wav"))
    icon.write(os.path.join(out, "icon", "101.png"))
    model_path = os.path.join(out, "data", "multi.x")
    vertices, triangles = model.write(model_path)
    texture.write(os.path.join(out, "data", "win95.ppm"))
    return bitmaps, model_path, vertices, triangles


def check(out):
    """0 when every generated file under out has the bytes the generator makes now."""
    with tempfile.TemporaryDirectory() as fresh:
        generate(fresh)
        stale = []
        for folder, _, names in os.walk(fresh):
            for name in sorted(names):
                made = os.path.join(folder, name)
                kept = os.path.join(out, os.path.relpath(made, fresh))
                if not os.path.exists(kept) or not filecmp.cmp(made, kept, shallow=False):
                    stale.append(os.path.relpath(made, fresh))
    for name in stale:
        print(f"differs from what the generator makes: {name}")
    if not stale:
        print(f"every generated file in {out} is up to date")
    return 1 if stale else 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(here, "..", "..", "resources"))
    parser.add_argument("--sheet", help="also write a contact sheet of every bitmap here")
    parser.add_argument("--check", action="store_true",
                        help="compare with the files in --out instead of writing them")
    args = parser.parse_args()
    if args.check:
        sys.exit(check(os.path.abspath(args.out)))
    out = os.path.abspath(args.out)
    bitmaps, model_path, vertices, triangles = generate(out)
    print(f"{len(bitmaps)} bitmaps, model {vertices} vertices {triangles} triangles, in {out}")
    if args.sheet:
        contact_sheet(bitmaps, args.sheet, model_path)
        print(f"contact sheet {args.sheet}")


if __name__ == "__main__":
    main()
