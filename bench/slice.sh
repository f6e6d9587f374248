#!/bin/sh
# meshslice beside VTK's solid voxeliser (vtkPolyDataToImageStencil, python3-vtk9).
#
# usage: bench/slice.sh bin_dir [facets]
#
# A closed sphere of about 100,000 facets (a latitude-longitude sphere of radius 1)
# is sliced into a 256 x 256 x 256 grid: our whole run (reading, voxels and the 256
# TIFF files) against the time of VTK's stencil Update() alone, on the same origin,
# spacing and extent (VTK's origin is the centre of voxel 0). Prints both times,
# their ratio, and our peak memory beside the bound: one bit per voxel, one slice of
# 16-bit samples and the crossings of one file (16 bytes each, counted here).
set -eu
BIN=${1:?usage: bench/slice.sh bin_dir [facets]}
FACETS=${2:-100000}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

exec /usr/bin/python3 - "$BIN" "$FACETS" "$WORK" <<'EOF'
import os
import struct
import subprocess
import sys
import time

import numpy as np

bin_dir, facets, work = sys.argv[1], int(sys.argv[2]), sys.argv[3]
N = 256
origin, spacing = -1.01, 2.02 / N

# Latitude-longitude sphere: rings of quads and a fan at each pole, sharing vertices,
# so the surface is closed. facets = 2 lon (lat - 1).
lat = max(3, int(round((facets / 4) ** 0.5)))
lon = max(3, int(round(facets / (2 * (lat - 1)))))
theta = np.linspace(0, np.pi, lat + 1)[1:-1]
phi = np.linspace(0, 2 * np.pi, lon, endpoint=False)
T, P = np.meshgrid(theta, phi, indexing="ij")
ring = np.stack([np.sin(T) * np.cos(P), np.sin(T) * np.sin(P), np.cos(T)], -1).astype(np.float32)
north, south = np.array([0, 0, 1], np.float32), np.array([0, 0, -1], np.float32)
j0 = np.arange(lon)
j1 = (j0 + 1) % lon
tris = [np.stack([np.broadcast_to(north, (lon, 3)), ring[0, j0], ring[0, j1]], 1),
        np.stack([np.broadcast_to(south, (lon, 3)), ring[-1, j1], ring[-1, j0]], 1)]
for i in range(lat - 2):
    a, b, c, d = ring[i, j0], ring[i + 1, j0], ring[i + 1, j1], ring[i, j1]
    tris += [np.stack([a, b, c], 1), np.stack([a, c, d], 1)]
tris = np.concatenate(tris)
normals = np.cross(tris[:, 1] - tris[:, 0], tris[:, 2] - tris[:, 0])
normals /= np.linalg.norm(normals, axis=1)[:, None]
rec = np.zeros(len(tris), dtype=[("n", "<f4", 3), ("v", "<f4", 9), ("a", "<u2")])
rec["n"], rec["v"] = normals, tris.reshape(-1, 9)
model = os.path.join(work, "sphere.stl")
with open(model, "wb") as f:
    f.write(b"\0" * 80 + struct.pack("<I", len(tris)) + rec.tobytes())


def meshslice(counts, out):
    os.makedirs(out, exist_ok=True)
    args = ["/usr/bin/time", "-f", "%M", os.path.join(bin_dir, "meshslice"), model] + \
        [repr(origin)] * 3 + [repr(spacing)] * 3 + [str(n) for n in counts] + [out]
    start = time.perf_counter()
    run = subprocess.run(args, capture_output=True, text=True, check=True)
    return time.perf_counter() - start, int(run.stderr.split()[-1])


# Ours: best of three whole runs; the process baseline from a 1-voxel grid.
ours, peak = min(meshslice((N, N, N), os.path.join(work, "slices")) for _ in range(3))
_, baseline = meshslice((1, 1, 1), os.path.join(work, "one"))
files = len(os.listdir(os.path.join(work, "slices")))

try:
    import vtk
except ImportError:
    sys.exit("python3-vtk9 is missing")
reader = vtk.vtkSTLReader()
reader.SetFileName(model)
reader.Update()
best = None
for _ in range(3):
    stencil = vtk.vtkPolyDataToImageStencil()
    stencil.SetInputConnection(reader.GetOutputPort())
    stencil.SetOutputOrigin(origin + spacing / 2, origin + spacing / 2, origin + spacing / 2)
    stencil.SetOutputSpacing(spacing, spacing, spacing)
    stencil.SetOutputWholeExtent(0, N - 1, 0, N - 1, 0, N - 1)
    start = time.perf_counter()
    stencil.Update()
    elapsed = time.perf_counter() - start
    best = elapsed if best is None else min(best, elapsed)

# Crossings of the file: two for every row centre line through the sphere.
c = origin + spacing * (np.arange(N) + 0.5)
rows = int(np.count_nonzero(c[:, None] ** 2 + c[None, :] ** 2 < 1))
bound_kib = (N ** 3 / 8 + N * N * 2 + 2 * rows * 16) / 1024

print(f"model: {len(tris)} facets, grid {N}^3, {files} slice files")
print(f"meshslice (whole run):      {ours:8.3f} s")
print(f"VTK stencil Update() alone: {best:8.3f} s")
print(f"ratio ours / VTK:           {ours / best:8.3f}  (target at most 0.5)")
print(f"peak memory: {peak} KiB, process baseline {baseline} KiB, data {peak - baseline} KiB")
print(f"bound: bits + one slice + {2 * rows} crossings = {bound_kib:.0f} KiB; "
      f"data / bound = {(peak - baseline) / bound_kib:.2f} (target at most 1.5), "
      f"whole peak / bound = {peak / bound_kib:.2f}")
EOF
