"""multi.x: the default model, a small planet system in one mesh of several parts and
materials. A sphere of alternating wedges (so its turn about Y shows), a tilted flat
ring and three moons. Written as a text X file with normals and texture coordinates."""

import math

import numpy as np

from output import write_bytes

# name, diffuse RGBA, specular power, specular RGB, emissive RGB
MATERIALS = [
    ("Deep", (0.10, 0.22, 0.70, 1.0), 30.0, (0.8, 0.8, 0.9), (0.0, 0.0, 0.05)),
    ("Shallow", (0.20, 0.70, 0.85, 1.0), 30.0, (0.8, 0.9, 0.9), (0.0, 0.03, 0.05)),
    ("Gold", (0.95, 0.70, 0.15, 1.0), 60.0, (1.0, 0.95, 0.7), (0.08, 0.05, 0.0)),
    ("Ember", (0.85, 0.22, 0.12, 1.0), 20.0, (0.6, 0.5, 0.4), (0.05, 0.0, 0.0)),
    ("Ice", (0.92, 0.94, 1.00, 1.0), 40.0, (1.0, 1.0, 1.0), (0.03, 0.03, 0.05)),
    ("Moss", (0.30, 0.70, 0.25, 1.0), 20.0, (0.5, 0.6, 0.5), (0.0, 0.04, 0.0)),
]
MATERIAL = {m[0]: i for i, m in enumerate(MATERIALS)}


class Mesh:
    def __init__(self):
        self.positions, self.normals, self.uvs = [], [], []
        self.faces, self.materials = [], []

    def add_grid(self, point, rows, cols, material_of):
        """Adds a (rows + 1) x (cols + 1) grid of vertices from point(i, j) -> (pos, normal,
        uv) and two triangles per quad, wound clockwise as seen from outside."""
        base = len(self.positions)
        for i in range(rows + 1):
            for j in range(cols + 1):
                p, n, uv = point(i, j)
                self.positions.append(p)
                self.normals.append(n)
                self.uvs.append(uv)
        for i in range(rows):
            for j in range(cols):
                a = base + i * (cols + 1) + j
                b, c, d = a + 1, a + cols + 1, a + cols + 2
                for tri in ((a, b, d), (a, d, c)):
                    if self._degenerate(tri):
                        continue
                    self.faces.append(self._outward(tri))
                    self.materials.append(material_of(i, j))

    def _degenerate(self, tri):
        p = [np.array(self.positions[k]) for k in tri]
        return np.linalg.norm(np.cross(p[1] - p[0], p[2] - p[0])) < 1e-9

    def _outward(self, tri):
        # Left-handed coordinates: a face is seen from the side where its corners run
        # clockwise, which is where (b - a) x (c - a) points.
        p = [np.array(self.positions[k]) for k in tri]
        n = sum(np.array(self.normals[k]) for k in tri)
        if np.dot(np.cross(p[1] - p[0], p[2] - p[0]), n) < 0:
            return (tri[0], tri[2], tri[1])
        return tri


def rotate_x(v, deg):
    a = math.radians(deg)
    x, y, z = v
    return (x, y * math.cos(a) - z * math.sin(a), y * math.sin(a) + z * math.cos(a))


def rotate_z(v, deg):
    a = math.radians(deg)
    x, y, z = v
    return (x * math.cos(a) - y * math.sin(a), x * math.sin(a) + y * math.cos(a), z)


def sphere(mesh, centre, radius, stacks, slices, material_of):
    def point(i, j):
        theta = math.pi * i / stacks            # from the top pole down
        phi = 2 * math.pi * j / slices
        n = (math.sin(theta) * math.cos(phi), math.cos(theta), math.sin(theta) * math.sin(phi))
        p = tuple(c + radius * k for c, k in zip(centre, n))
        return p, n, (j / slices, i / stacks)
    mesh.add_grid(point, stacks, slices, material_of)


def ring(mesh, inner, outer, thickness, segments, tilt_x, tilt_z, material):
    """A flat ring with a rounded rim: its cross-section is a flattened ellipse."""
    mid, half_w, half_t = (inner + outer) / 2, (outer - inner) / 2, thickness / 2
    around = 10

    def point(i, j):
        phi = 2 * math.pi * i / segments
        psi = 2 * math.pi * j / around
        r = mid + half_w * math.cos(psi)
        y = half_t * math.sin(psi)
        p = (r * math.cos(phi), y, r * math.sin(phi))
        nr, ny = math.cos(psi) / half_w, math.sin(psi) / half_t
        length = math.hypot(nr, ny)
        n = (nr / length * math.cos(phi), ny / length, nr / length * math.sin(phi))
        p, n = rotate_z(rotate_x(p, tilt_x), tilt_z), rotate_z(rotate_x(n, tilt_x), tilt_z)
        return p, n, (i / segments, j / around)
    mesh.add_grid(point, segments, around, lambda i, j: material)


# The whole system is drawn at this scale: about half the width of the default view
# (camera 21 units away), while the built-in flight, which passes 4 units from the
# middle, still stays outside the planet.
SCALE = 1.25


def build():
    mesh = Mesh()
    # the planet: eight wedges in two blues, and a gold equator belt
    def planet_material(i, j):
        if 17 <= i < 19:
            return MATERIAL["Gold"]
        return MATERIAL["Deep"] if (j // 5) % 2 == 0 else MATERIAL["Shallow"]
    sphere(mesh, (0, 0, 0), 2.0, 36, 40, planet_material)
    ring(mesh, 2.6, 3.4, 0.10, 64, 24, 8, MATERIAL["Gold"])
    moons = [((3.9, 1.1, 0.0), 0.40, "Ember"), ((-2.3, -1.3, 3.1), 0.34, "Ice"),
             ((-1.5, 1.9, -3.3), 0.30, "Moss")]
    for centre, r, name in moons:
        sphere(mesh, centre, r, 12, 18, lambda i, j, m=MATERIAL[name]: m)
    mesh.positions = [tuple(SCALE * c for c in p) for p in mesh.positions]
    return mesh


def f(v):
    return f"{v:.4f}"


def write(path):
    mesh = build()
    nv, nf = len(mesh.positions), len(mesh.faces)
    out = ["xof 0303txt 0032", "",
           "Header {", " 1;", " 0;", " 1;", "}", ""]
    out.append("Mesh OrbSystem {")
    out.append(f" {nv};")
    out += [f" {f(x)};{f(y)};{f(z)};" + ("," if k < nv - 1 else ";")
            for k, (x, y, z) in enumerate(mesh.positions)]
    out.append(f" {nf};")
    out += [f" 3;{a},{b},{c};" + ("," if k < nf - 1 else ";") for k, (a, b, c) in enumerate(mesh.faces)]
    out.append("")
    out.append(" MeshMaterialList {")
    out.append(f"  {len(MATERIALS)};")
    out.append(f"  {nf};")
    out += [f"  {m}" + ("," if k < nf - 1 else ";;") for k, m in enumerate(mesh.materials)]
    for name, rgba, power, specular, emissive in MATERIALS:
        out.append(f"  Material {name} {{")
        out.append("   " + ";".join(f(c) for c in rgba) + ";;")
        out.append(f"   {f(power)};")
        out.append("   " + ";".join(f(c) for c in specular) + ";;")
        out.append("   " + ";".join(f(c) for c in emissive) + ";;")
        out.append("  }")
    out.append(" }")
    out.append("")
    out.append(" MeshNormals {")
    out.append(f"  {nv};")
    out += [f"  {f(x)};{f(y)};{f(z)};" + ("," if k < nv - 1 else ";")
            for k, (x, y, z) in enumerate(mesh.normals)]
    out.append(f"  {nf};")
    out += [f"  3;{a},{b},{c};" + ("," if k < nf - 1 else ";") for k, (a, b, c) in enumerate(mesh.faces)]
    out.append(" }")
    out.append("")
    out.append(" MeshTextureCoords {")
    out.append(f"  {nv};")
    out += [f"  {f(u)};{f(v)};" + ("," if k < nv - 1 else ";") for k, (u, v) in enumerate(mesh.uvs)]
    out.append(" }")
    out.append("}")
    write_bytes(path, ("\n".join(out) + "\n").encode("ascii"))
    return nv, nf
