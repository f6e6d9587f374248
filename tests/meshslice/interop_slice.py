"""meshslice on a closed box and a finely subdivided sphere, read back by Pillow and
by libtiff (tiffcp, then tifffile).

usage: interop_slice.py bin_dir

The box must give exactly the voxels whose centres lie inside it. For the sphere
(an icosahedron subdivided five times, 20480 facets, vertices on the sphere) every
voxel whose centre lies inside the polyhedron's inscribed ball must be solid, every
one whose centre lies outside the sphere empty, and the solid count must be within
2% of the sphere's volume over the voxel volume.

Every slice carries the voxel size: tifffile reads the resolution (voxels per model
unit, no absolute unit) and, from the ImageJ description, the spacing along z. Slices
of a sphere in voxels of a different size on each axis, past 64 KiB a file and in
hundreds of strips, are read whole by libtiff's tiffinfo -D, which shows the new fields.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

try:
    import numpy as np
    import tifffile
    from PIL import Image
except ImportError:
    sys.exit(77)
if not shutil.which("tiffcp") or not shutil.which("tiffinfo"):
    sys.exit(77)

BIN = sys.argv[1]
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def write_stl(path, triangles):
    """Binary STL; normals from the winding."""
    t = np.asarray(triangles, dtype=np.float64)
    n = np.cross(t[:, 1] - t[:, 0], t[:, 2] - t[:, 0])
    n /= np.linalg.norm(n, axis=1)[:, None]
    rec = np.zeros(len(t), dtype=[("n", "<f4", 3), ("v", "<f4", 9), ("a", "<u2")])
    rec["n"] = n
    rec["v"] = t.reshape(-1, 9)
    with open(path, "wb") as f:
        f.write(b"\0" * 80 + struct.pack("<I", len(t)))
        f.write(rec.tobytes())


def box(lo, hi):
    c = [[lo[i] if (k >> i) & 1 == 0 else hi[i] for i in range(3)] for k in range(8)]
    quads = [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]
    tris = []
    for a, b, cc, d in quads:
        tris += [(c[a], c[b], c[cc]), (c[a], c[cc], c[d])]
    return tris


def icosphere(radius, levels):
    p = (1 + 5 ** 0.5) / 2
    v = [(-1, p, 0), (1, p, 0), (-1, -p, 0), (1, -p, 0), (0, -1, p), (0, 1, p),
         (0, -1, -p), (0, 1, -p), (p, 0, -1), (p, 0, 1), (-p, 0, -1), (-p, 0, 1)]
    f = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4),
         (11, 10, 2), (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8),
         (3, 8, 9), (4, 9, 5), (2, 4, 11), (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    tris = np.array([[v[a], v[b], v[c]] for a, b, c in f], dtype=np.float64)
    tris /= np.linalg.norm(tris, axis=2)[:, :, None]
    for _ in range(levels):
        a, b, c = tris[:, 0], tris[:, 1], tris[:, 2]
        ab, bc, ca = [m / np.linalg.norm(m, axis=1)[:, None] for m in ((a + b), (b + c), (c + a))]
        tris = np.concatenate([np.stack(t, 1) for t in ((a, ab, ca), (ab, b, bc), (ca, bc, c), (ab, bc, ca))])
    return tris * radius


def check_voxel_size(path, name, sizes):
    """The resolution and the ImageJ spacing of one slice, as tifffile reads them."""
    with tifffile.TiffFile(path) as tif:
        tags = tif.pages[0].tags
        x, y = (tags[t].value[0] / tags[t].value[1] for t in ("XResolution", "YResolution"))
        meta = tif.imagej_metadata or {}
        check(abs(x * sizes[0] - 1) < 1e-12 and abs(y * sizes[1] - 1) < 1e-12
              and tags["ResolutionUnit"].value == 1,
              f"{name}: resolution {x}, {y} voxels a unit")
        check(meta.get("spacing") == sizes[2] and meta.get("unit") == "unit",
              f"{name}: ImageJ metadata {meta}")


def slice_model(tmp, name, triangles, origin, size, counts, sizes=None):
    stl = os.path.join(tmp, name + ".stl")
    out = os.path.join(tmp, name)
    os.mkdir(out)
    write_stl(stl, triangles)
    sizes = sizes or (size, size, size)
    args = [os.path.join(BIN, "meshslice"), stl] + [repr(x) for x in origin] + [repr(s) for s in sizes] \
        + [str(n) for n in counts] + [out]
    run = subprocess.run(args, capture_output=True, text=True)
    check(run.returncode == 0 and run.stdout == "" and run.stderr == "",
          f"{name}: meshslice ran cleanly ({run.returncode}, {run.stderr.strip()!r})")
    digits = len(str(counts[2] - 1))
    grid = np.zeros((counts[2], counts[1], counts[0]), dtype=bool)
    for i in range(counts[2]):
        path = os.path.join(out, f"{i:0{digits}d}.tif")
        image = Image.open(path)
        image.load()
        grid[i] = ~np.array(image)  # WhiteIsZero: solid voxels read as black
        check_voxel_size(path, f"{name} slice {i}", sizes)
        if i == counts[2] // 2:
            plain = os.path.join(tmp, "plain.tif")
            subprocess.run(["tiffcp", "-c", "none", path, plain], check=True)
            check(np.array_equal(tifffile.imread(plain).astype(bool), grid[i]),
                  f"{name}: libtiff and Pillow agree on slice {i}")
    return grid


def centres(origin, size, counts):
    z, y, x = np.meshgrid(*[origin[a] + size * (np.arange(counts[a]) + 0.5) for a in (2, 1, 0)], indexing="ij")
    return x, y, z


def main():
    with tempfile.TemporaryDirectory() as tmp:
        # Box: faces between voxel centres, so the rule has no ties.
        lo, hi = (-0.3, 0.1, 0.2), (1.1, 0.77, 0.9)
        origin, size, counts = (-0.5, -0.25, 0.0), 0.125, (16, 10, 9)
        grid = slice_model(tmp, "box", box(lo, hi), origin, size, counts)
        x, y, z = centres(origin, size, counts)
        want = (x >= lo[0]) & (x <= hi[0]) & (y >= lo[1]) & (y <= hi[1]) & (z >= lo[2]) & (z <= hi[2])
        check(np.array_equal(grid, want), f"box: {grid.sum()} voxels, the centre rule gives {want.sum()}")

        # Sphere of radius 20 voxels, its centre off the voxel lattice.
        radius, size, n = 10.0, 0.5, 48
        tris = icosphere(radius, 5)
        origin = (-12.1, -11.9, -12.03)
        grid = slice_model(tmp, "sphere", tris, origin, size, (n, n, n))
        normals = np.cross(tris[:, 1] - tris[:, 0], tris[:, 2] - tris[:, 0])
        normals /= np.linalg.norm(normals, axis=1)[:, None]
        inner = np.min(np.abs(np.einsum("ij,ij->i", normals, tris[:, 0])))
        x, y, z = centres(origin, size, (n, n, n))
        r = np.sqrt(x * x + y * y + z * z)
        check(bool(np.all(grid[r < inner - 1e-4])), f"sphere: every centre within the inscribed ball ({inner:.4f}) solid")
        check(not np.any(grid[r > radius + 1e-4]), "sphere: no centre outside the sphere solid")
        volume = 4 / 3 * np.pi * radius ** 3 / size ** 3
        check(abs(grid.sum() - volume) <= 0.02 * volume,
              f"sphere: {grid.sum()} voxels, volume over voxel volume {volume:.1f}")

        # The same sphere in large slices, voxels 0.005 by 0.004, 0.5 apart.
        sizes, counts = (0.005, 0.004, 0.5), (4100, 5100, 3)
        origin = (-10.25, -10.2, -0.75)
        grid = slice_model(tmp, "large", tris, origin, None, counts, sizes)
        middle = os.path.join(tmp, "large", "1.tif")
        check(os.path.getsize(middle) > 65536, f"large: slice of {os.path.getsize(middle)} bytes")
        info = subprocess.run(["tiffinfo", "-D", middle], capture_output=True, text=True)
        check(info.returncode == 0 and info.stderr == "", f"large: tiffinfo -D: {info.stderr.strip()!r}")
        for line in ("Resolution: 200, 250 (unitless)", "ImageDescription: ImageJ=1.11a", "spacing=0.5"):
            check(line in info.stdout, f"large: tiffinfo shows {line!r}")
        area = np.pi * inner ** 2 / (sizes[0] * sizes[1])
        check(grid[1].sum() >= area, f"large: {grid[1].sum()} voxels in the middle, the inscribed disc {area:.0f}")
    if failures:
        sys.exit(1)


main()
