#!/usr/bin/python3
"""Writes a closed, coloured torus as binary STL (or ASCII STL) for the benchmarks.

usage: make-model.py out.stl [facets] [--ascii]

The torus is a grid of u x v quads, two facets each, so facets = 2 u v (rounded to fit);
neighbouring facets share their vertices exactly. Colours run in bands around the tube.
"""
import struct
import sys

import numpy as np


def torus(facets):
    u = max(3, int((facets / 4) ** 0.5 * 1.414))
    v = max(3, facets // (2 * u))
    a = np.linspace(0, 2 * np.pi, u, endpoint=False)
    b = np.linspace(0, 2 * np.pi, v, endpoint=False)
    A, B = np.meshgrid(a, b, indexing="ij")
    R, r = 3.0, 1.0
    pts = np.stack([(R + r * np.cos(B)) * np.cos(A), (R + r * np.cos(B)) * np.sin(A), r * np.sin(B)], -1)
    pts = pts.astype(np.float32)
    i0 = np.arange(u)[:, None]
    j0 = np.arange(v)[None, :]
    i1 = (i0 + 1) % u
    j1 = (j0 + 1) % v
    p00, p10, p01, p11 = pts[i0, j0], pts[i1, j0], pts[i0, j1], pts[i1, j1]
    t1 = np.stack([p00, p10, p11], 2).reshape(-1, 3, 3)
    t2 = np.stack([p00, p11, p01], 2).reshape(-1, 3, 3)
    tris = np.stack([t1, t2], 1).reshape(-1, 3, 3)
    band = np.broadcast_to((j0 * 6 // v), (u, v))
    palette = np.array([0xFC00, 0x83E0, 0x801F, 0xFFE0, 0x83FF, 0xFC1F], dtype=np.uint16)
    attr = np.repeat(palette[band.reshape(-1)], 2)
    return tris, attr


def normals(tris):
    n = np.cross(tris[:, 1] - tris[:, 0], tris[:, 2] - tris[:, 0]).astype(np.float64)
    n /= np.linalg.norm(n, axis=1)[:, None]
    return n.astype(np.float32)


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    if not args:
        sys.exit(__doc__)
    facets = int(args[1]) if len(args) > 1 else 1000000
    tris, attr = torus(facets)
    n = normals(tris)
    with open(args[0], "wb") as f:
        if "--ascii" in sys.argv:
            f.write(b"solid torus\n")
            lines = []
            for k in range(len(tris)):
                t = tris[k]
                lines.append("facet normal %e %e %e\nouter loop\nvertex %e %e %e\nvertex %e %e %e\n"
                             "vertex %e %e %e\nendloop\nendfacet\n" % (*n[k], *t[0], *t[1], *t[2]))
            f.write("".join(lines).encode())
            f.write(b"endsolid torus\n")
        else:
            rec = np.zeros(len(tris), dtype=[("n", "<f4", 3), ("v", "<f4", 9), ("a", "<u2")])
            rec["n"] = n
            rec["v"] = tris.reshape(-1, 9)
            rec["a"] = attr
            f.write(b"\0" * 80 + struct.pack("<I", len(tris)))
            f.write(rec.tobytes())


if __name__ == "__main__":
    main()
