#!/usr/bin/python3
"""A binary STL cut off after 15 MB: numpy-stl, reading it leniently, finds as many
whole facets as meshstats names in its data error, and measures the same area over
them; admesh, reading it strictly, refuses the file as meshstats does (status 1).

usage: dataerror_interop.py bin_dir
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

from stlcheck import BIN, mesh, np, stl

with tempfile.TemporaryDirectory() as tmp:
    # 400,000 facets over a grid of right triangles (20 MB), cut at 15,000,000 bytes:
    # 299,998 whole facets and 16 bytes of the next.
    n = 400000
    i = np.arange(n)
    x = (i % 1000).astype(np.float32)
    y = (i // 1000).astype(np.float32)
    m = mesh.Mesh(np.zeros(n, dtype=mesh.Mesh.dtype))
    m.vectors[:, 0, 0], m.vectors[:, 0, 1] = x, y
    m.vectors[:, 1, 0], m.vectors[:, 1, 1] = x + 1, y
    m.vectors[:, 2, 0], m.vectors[:, 2, 1] = x, y + (1 + (i % 7))
    m.update_normals()
    whole = os.path.join(tmp, "whole.stl")
    m.save(whole, mode=stl.Mode.BINARY)
    cut = os.path.join(tmp, "cut.stl")
    with open(whole, "rb") as f, open(cut, "wb") as g:
        g.write(f.read(15000000))

    r = subprocess.run([os.path.join(BIN, "meshstats"), cut], capture_output=True, text=True)
    if r.returncode != 1:
        sys.exit(f"meshstats: status {r.returncode}")
    said = re.fullmatch(re.escape(cut) + r" : STL data error after (\d+) facets\.\n", r.stderr)
    if not said:
        sys.exit(f"meshstats said {r.stderr!r}")
    facets = int(said.group(1))
    name, count, area, _ = r.stdout.rstrip("\n").split("\t")
    theirs = mesh.Mesh.from_file(cut, mode=stl.Mode.BINARY)
    if facets != len(theirs.vectors) or int(count) != facets or facets != 299998:
        sys.exit(f"facets: meshstats {facets} (line {count}), numpy-stl {len(theirs.vectors)}")
    expected = float(theirs.areas.sum())
    if abs(float(area) - expected) > 1e-6 * expected:
        sys.exit(f"area: meshstats {area}, numpy-stl {expected}")

    if shutil.which("admesh"):
        a = subprocess.run(["admesh", cut], capture_output=True, text=True)
        if "wrong size" not in a.stdout + a.stderr:
            sys.exit(f"admesh read the cut file: {a.stdout[-300:]}")
print("ok: 299,998 whole facets by both readers")
