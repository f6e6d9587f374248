#!/usr/bin/python3
"""numpy-stl reads what meshtobinary, meshjoin and meshpaint write, and the ASCII that
meshtotext prints: the same vertices in the same order, unit normals that agree with
the vertex order, and the attribute words each program promises.

usage: numpystl_read.py bin_dir
"""
import os
import subprocess
import sys
import tempfile

from stlcheck import BIN, mesh, np


def run(*args, stdin=None):
    r = subprocess.run([os.path.join(BIN, args[0]), *args[1:]], input=stdin, capture_output=True)
    if r.returncode != 0:
        sys.exit(f"{' '.join(args)}: status {r.returncode}: {r.stderr.decode()}")
    return r.stdout


def ascii_stl(tris, fmt="%.9g"):
    lines = ["solid interop"]
    for t in tris:
        lines.append("facet normal 0 0 0")  # no stored normal: the order is kept as listed
        lines.append("outer loop")
        for v in t:
            lines.append("vertex " + " ".join(fmt % float(c) for c in v))
        lines.append("endloop")
        lines.append("endfacet")
    lines.append("endsolid interop")
    return ("\n".join(lines) + "\n").encode()


def binary_stl(tris, attrs):
    m = mesh.Mesh(np.zeros(len(tris), dtype=mesh.Mesh.dtype))
    m.vectors[:] = tris
    m.attr[:, 0] = attrs
    return m


def check(path, tris, attrs, what):
    m = mesh.Mesh.from_file(path, calculate_normals=False)  # the stored normals
    if len(m.vectors) != len(tris):
        sys.exit(f"{what}: {len(m.vectors)} facets, expected {len(tris)}")
    if not np.array_equal(m.vectors, tris):
        bad = int(np.argwhere(np.any(m.vectors != tris, axis=(1, 2)))[0][0])
        sys.exit(f"{what}: facet {bad} is {m.vectors[bad].tolist()}, expected {tris[bad].tolist()}")
    if attrs is not None and not np.array_equal(m.attr[:, 0], np.asarray(attrs, dtype=np.uint16)):
        sys.exit(f"{what}: attribute words {m.attr[:8, 0]}, expected {np.asarray(attrs)[:8]}")
    t = tris.astype(np.float64)
    cross = np.cross(t[:, 1] - t[:, 0], t[:, 2] - t[:, 0])
    unit = cross / np.linalg.norm(cross, axis=1)[:, None]
    if not np.allclose(m.normals, unit, atol=1e-6):
        sys.exit(f"{what}: normals are not the unit normals of the vertex order")
    print(f"{what}: {len(tris)} facets agree")


def main():
    rng = np.random.default_rng(7)
    a = rng.uniform(-100, 100, (40, 3, 3)).astype(np.float32)
    b = rng.uniform(-1, 1, (25, 3, 3)).astype(np.float32)
    colours = rng.integers(0, 65536, 25).astype(np.uint16)
    with tempfile.TemporaryDirectory() as d:
        p = lambda name: os.path.join(d, name)
        with open(p("a.txt"), "wb") as f:
            f.write(ascii_stl(a))
        binary_stl(b, colours).save(p("b.stl"), mode=mesh.stl.Mode.BINARY)

        # A binary STL headed "solid", through a pipe: read as binary all the same.
        with open(p("b.stl"), "rb") as f:
            solid = b"solid b".ljust(80) + f.read()[80:]
        run("meshtobinary", "-", p("s.stl"), stdin=solid)
        check(p("s.stl"), b, np.zeros(len(b)), "meshtobinary of a header that begins with solid")

        run("meshtobinary", p("a.txt"), p("a.stl"))
        check(p("a.stl"), a, np.zeros(len(a)), "meshtobinary")

        run("meshjoin", p("a.txt"), p("b.stl"), p("a.stl"), p("ab.stl"))
        check(p("ab.stl"), np.concatenate([a, b, a]),
              np.concatenate([np.zeros(len(a)), colours, np.zeros(len(a))]), "meshjoin")

        run("meshpaint", p("ab.stl"), "100", "150", "200", p("painted.stl"))
        word = 0x8000 | (100 >> 3) << 10 | (150 >> 3) << 5 | (200 >> 3)
        check(p("painted.stl"), np.concatenate([a, b, a]), [word] * (2 * len(a) + len(b)), "meshpaint")
        run("meshpaint", p("b.stl"), p("plain.stl"))
        check(p("plain.stl"), b, np.zeros(len(b)), "meshpaint without colour")

        # ASCII to binary to ASCII: "%.9g" keeps every float exactly.
        with open(p("round.txt"), "wb") as f:
            f.write(run("meshtotext", p("a.stl"), "%.9g"))
        check(p("round.txt"), a, None, "meshtotext %.9g")
        # The default six decimals keep every vertex that six decimals can hold.
        grid = (rng.integers(-6400, 6400, (30, 3, 3)) / 64).astype(np.float32)
        with open(p("grid.txt"), "wb") as f:
            f.write(ascii_stl(grid, "%.6f"))
        run("meshtobinary", p("grid.txt"), p("grid.stl"))
        with open(p("grid-round.txt"), "wb") as f:
            f.write(run("meshtotext", p("grid.stl")))
        check(p("grid-round.txt"), grid, None, "meshtotext default")


if __name__ == "__main__":
    main()
