"""numpy-stl reads what meshmove writes: the same count, vertices and normals."""
import os
import struct
import subprocess
import sys
import tempfile

try:
    import numpy as np
    from stl import mesh
except ImportError:
    print("numpy-stl is not installed; skipped")
    sys.exit(77)

bin_dir = sys.argv[1]


def write_model(path):
    # A coloured tetrahedron-like fan of facets with unit normals, some far from the origin.
    tris = [
        ((0, 0, 0), (1, 0, 0), (0, 1, 0)),
        ((0, 0, 0), (0, 0, 1), (1, 0, 0)),
        ((0, 0, 0), (0, 1, 0), (0, 0, 1)),
        ((1, 0, 0), (0, 0, 1), (0, 1, 0)),
        ((1e5, 2e5, -3e5), (1e5 + 1, 2e5, -3e5), (1e5, 2e5 + 2, -3e5 + 1)),
    ]
    with open(path, "wb") as f:
        f.write(b"\0" * 80 + struct.pack("<I", len(tris)))
        for i, t in enumerate(tris):
            a, b, c = (np.array(p, dtype=np.float64) for p in t)
            n = np.cross(b - a, c - a)
            n /= np.linalg.norm(n)
            f.write(struct.pack("<12fH", *n, *a, *b, *c, 0x8000 | i))
    return tris


with tempfile.TemporaryDirectory() as d:
    src, out = os.path.join(d, "in.stl"), os.path.join(d, "out.stl")
    tris = write_model(src)
    shift = (0.5, -2.0, 10.0)
    subprocess.run([os.path.join(bin_dir, "meshmove"), src, *map(str, shift), out], check=True)
    m = mesh.Mesh.from_file(out)
    assert len(m.vectors) == len(tris), (len(m.vectors), len(tris))
    expected = np.array(tris, dtype=np.float64) + np.array(shift)
    assert np.array_equal(m.vectors, expected.astype(np.float32)), (m.vectors, expected)
    # numpy-stl's own normals (unnormalised cross products) point the same way as ours.
    own = m.normals / np.linalg.norm(m.normals, axis=1)[:, None]
    computed = np.cross(m.v1 - m.v0, m.v2 - m.v0)
    computed /= np.linalg.norm(computed, axis=1)[:, None]
    assert np.allclose(own, computed, atol=1e-3), (own, computed)
    assert np.allclose(np.linalg.norm(own, axis=1), 1, atol=1e-6)
    attrs = m.attr.reshape(-1)
    assert list(attrs) == [0x8000 | i for i in range(len(tris))], attrs
print("numpy-stl read meshmove's output: %d facets, vertices and normals agree" % len(tris))
