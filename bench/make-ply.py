#!/usr/bin/python3
"""Writes a closed torus with vertex colours as binary little-endian PLY, in the form
scanners and mesh libraries write: float coordinates and normals, one byte a colour
channel on every vertex, triangles as "list uchar int vertex_indices".

usage: make-ply.py out.ply [faces]

The torus is a grid of u x v vertices and 2 u v triangles (faces rounded to fit); the
colours run through the hues around the ring.
"""
import colorsys
import sys

import numpy as np


def main():
    path = sys.argv[1]
    faces = int(sys.argv[2]) if len(sys.argv) > 2 else 1000000
    v = max(3, int((faces / 4) ** 0.5))  # around the tube; twice as many around the ring
    u = max(3, faces // (2 * v))
    a = np.linspace(0, 2 * np.pi, u, endpoint=False)
    b = np.linspace(0, 2 * np.pi, v, endpoint=False)
    A, B = np.meshgrid(a, b, indexing="ij")
    R, r = 3.0, 1.0
    normal = np.stack([np.cos(B) * np.cos(A), np.cos(B) * np.sin(A), np.sin(B)], -1).reshape(-1, 3)
    centre = np.stack([R * np.cos(A), R * np.sin(A), 0 * A], -1).reshape(-1, 3)
    points = centre + r * normal
    ring = np.array([colorsys.hsv_to_rgb(h, 0.8, 1) for h in a / (2 * np.pi)]) * 255
    rgb = np.repeat(np.floor(ring + 0.5), v, axis=0)
    vertex = np.zeros(u * v, dtype=[("x", "<f4"), ("y", "<f4"), ("z", "<f4"), ("nx", "<f4"),
                                     ("ny", "<f4"), ("nz", "<f4"), ("red", "u1"), ("green", "u1"),
                                     ("blue", "u1")])
    for k, name in enumerate("xyz"):
        vertex[name] = points[:, k]
        vertex["n" + name] = normal[:, k]
    for k, name in enumerate(("red", "green", "blue")):
        vertex[name] = rgb[:, k]
    i0 = np.arange(u)[:, None]
    j0 = np.arange(v)[None, :]
    i1, j1 = (i0 + 1) % u, (j0 + 1) % v
    p00, p10, p01, p11 = i0 * v + j0, i1 * v + j0, i0 * v + j1, i1 * v + j1
    tris = np.stack([np.stack([p00, p10, p11], -1), np.stack([p00, p11, p01], -1)], 2).reshape(-1, 3)
    face = np.zeros(len(tris), dtype=[("n", "u1"), ("i", "<i4", (3,))])
    face["n"] = 3
    face["i"] = tris
    with open(path, "wb") as f:
        f.write(("ply\nformat binary_little_endian 1.0\ncomment a torus for the benchmarks\n"
                 "element vertex %d\nproperty float x\nproperty float y\nproperty float z\n"
                 "property float nx\nproperty float ny\nproperty float nz\nproperty uchar red\n"
                 "property uchar green\nproperty uchar blue\nelement face %d\n"
                 "property list uchar int vertex_indices\nend_header\n" % (len(vertex), len(face))).encode())
        f.write(vertex.tobytes())
        f.write(face.tobytes())


main()
