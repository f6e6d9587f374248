#!/usr/bin/python3
"""Models as other writers make them, measured by meshstats from a file and through a
pipe, against independent readers:
  - binary STL headed "solid NAME" padded with spaces (as CAD exporters write it), of
    several sizes, with and without a stray byte at the end: numpy-stl's count, area
    and volume;
  - a binary count of 0 or 100 over more records: admesh, which reads every record of
    a file, and numpy-stl, which goes by the count, as a pipe does;
  - three solids in one ASCII file with CR LF line ends (numpy-stl writes each, and
    its multi-solid reader reads them back);
  - every stored normal 1 0 0: numpy-stl's vertex-order volume is what meshstats
    --vertex-order gives, and meshstats names the facets it turns.

usage: writers_interop.py bin_dir
"""
import logging
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

from stlcheck import BIN, mesh, np, stl

MESHSTATS = os.path.join(BIN, "meshstats")
logging.disable(logging.WARNING)  # numpy-stl's notes on open meshes


def torus(facets):
    """A closed torus of about that many facets, normals outward."""
    u = max(3, int((facets / 2) ** 0.5))
    v = max(3, facets // (2 * u))
    a, b = np.meshgrid(np.linspace(0, 2 * np.pi, u, endpoint=False),
                       np.linspace(0, 2 * np.pi, v, endpoint=False), indexing="ij")
    p = np.stack([(3 + np.cos(b)) * np.cos(a), (3 + np.cos(b)) * np.sin(a), np.sin(b)], -1)
    i0, j0 = np.arange(u)[:, None], np.arange(v)[None, :]
    i1, j1 = (i0 + 1) % u, (j0 + 1) % v
    t1 = np.stack([p[i0, j0], p[i1, j0], p[i1, j1]], 2).reshape(-1, 3, 3)
    t2 = np.stack([p[i0, j0], p[i1, j1], p[i0, j1]], 2).reshape(-1, 3, 3)
    m = mesh.Mesh(np.zeros(2 * u * v, dtype=mesh.Mesh.dtype))
    m.vectors[:] = np.concatenate([t1, t2]).astype(np.float32)
    m.update_normals()
    return m


def records(m):
    return b"".join(struct.pack("<12fH", *m.normals[i], *m.vectors[i].ravel(), 0)
                    for i in range(len(m.vectors)))


def measure(path, pipe, *options):
    """meshstats on the file, or on it through a pipe: (count, area, volume, stderr)."""
    command = [MESHSTATS, *options, "-" if pipe else path]
    with open(path, "rb") as f:
        data = f.read()
    r = subprocess.run(command, input=data if pipe else None, capture_output=True)
    r.stdout, r.stderr = r.stdout.decode(), r.stderr.decode()
    if r.returncode != 0:
        sys.exit(f"{' '.join(command)}: status {r.returncode}: {r.stderr}")
    _, count, area, volume = r.stdout.rstrip("\n").split("\t")
    return int(count), float(area), float(volume), r.stderr


def agree(what, ours, count, area, volume):
    if ours[0] != count or abs(ours[1] - area) > 1e-5 * max(1, area) or \
            abs(ours[2] - volume) > 1e-5 * max(1, abs(volume)):
        sys.exit(f"{what}: meshstats {ours[:3]}, expected {count} {area:.6f} {volume:.6f}")


def theirs(m):
    """numpy-stl's facet count and area, and the signed volume of the vertices it read
    (its own volume needs a closed mesh, which a count cut short is not)."""
    t = m.vectors.astype(np.float64)
    volume = np.einsum("ij,ij->i", t[:, 0], np.cross(t[:, 1], t[:, 2])).sum() / 6
    return len(m.vectors), float(m.areas.sum()), float(volume)


def main():
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "model.stl")
        # "solid NAME" padded with spaces, of several sizes (0 facets, one, past the
        # look-ahead, past a block of records), and a stray byte after the last facet.
        for n in (0, 1, 13, 5000):
            m = torus(n) if n > 1 else mesh.Mesh(np.zeros(n, dtype=mesh.Mesh.dtype))
            if n == 1:
                m.vectors[0] = [[0, 0, 0], [2, 0, 0], [0, 3, 0]]
                m.update_normals()
            for stray in (b"", b"\n"):
                with open(path, "wb") as f:
                    f.write((b"solid Part_%d" % n).ljust(80, b" "))
                    f.write(struct.pack("<I", len(m.vectors)) + records(m) + stray)
                want = theirs(mesh.Mesh.from_file(path))
                for pipe in (False, True):
                    agree(f"solid header, {n} facets{', stray byte' if stray else ''}"
                          f"{', pipe' if pipe else ''}", measure(path, pipe), *want)
        print("solid headers: numpy-stl agrees, from a file and through a pipe")

        # Counts below the records: a file gives them all (as admesh reads them), a
        # pipe goes by the count (as numpy-stl does).
        m = torus(5000)
        k = len(m.vectors)
        for count in (0, 100):
            with open(path, "wb") as f:
                f.write(bytes(80) + struct.pack("<I", count) + records(m))
            ours = measure(path, False)
            if ours[3] != f"{path} : count {count}, {k} facets read (warning).\n":
                sys.exit(f"count {count}: meshstats said {ours[3]!r}")
            if shutil.which("admesh"):
                text = subprocess.run(["admesh", path], capture_output=True, text=True).stdout
                facets = int(re.search(r"Number of facets\s*:\s*(\d+)", text).group(1))
                volume = float(re.search(r"Volume\s*:\s*(-?[\d.]+)", text).group(1))
                if ours[0] != facets or abs(ours[2] - volume) > 1e-4 * volume:
                    sys.exit(f"count {count}: meshstats {ours[:3]}, admesh {facets} {volume}")
            else:
                agree(f"count {count}", ours, *theirs(m))
            agree(f"count {count}, pipe", measure(path, True), *theirs(mesh.Mesh.from_file(path)))
        print("counts below the records: admesh agrees from a file, numpy-stl through a pipe")

        # Three solids, each as numpy-stl writes ASCII, one after the other, CR LF.
        parts = [torus(200), torus(600), torus(1200)]
        for i, p in enumerate(parts):
            p.vectors[:, :, 0] += 10 * i
            p.save(os.path.join(d, f"part{i}.stl"), mode=stl.Mode.ASCII)
        with open(path, "wb") as f:
            for i in range(3):
                with open(os.path.join(d, f"part{i}.stl"), "rb") as g:
                    f.write(g.read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))
        read = list(mesh.Mesh.from_multi_file(path))
        if len(read) != 3:
            sys.exit(f"numpy-stl read {len(read)} solids")
        want = [sum(t) for t in zip(*(theirs(p) for p in read))]
        for pipe in (False, True):
            agree(f"three solids{', pipe' if pipe else ''}", measure(path, pipe), *want)
        print(f"three solids: {want[0]} facets, numpy-stl's multi-solid reader agrees")

        # Every stored normal 1 0 0 over a torus: the vertex order decides with the
        # option; without it the facets whose normal points against x are turned.
        m = torus(5000)
        m.normals[:] = [1, 0, 0]
        m.save(path, mode=stl.Mode.BINARY, update_normals=False)
        t = m.vectors.astype(np.float64)
        cross = np.cross(t[:, 1] - t[:, 0], t[:, 2] - t[:, 0])
        against = int(np.sum(cross[:, 0] / np.linalg.norm(cross, axis=1) < -0.1))
        for pipe in (False, True):
            name = "-" if pipe else path
            kept = measure(path, pipe, "--vertex-order")
            read = mesh.Mesh.from_file(path)  # normals and areas from the vertex order
            agree(f"normals 1 0 0, --vertex-order{', pipe' if pipe else ''}", kept,
                  len(read.vectors), float(read.areas.sum()), float(read.get_mass_properties()[0]))
            if kept[3]:
                sys.exit(f"--vertex-order said {kept[3]!r}")
            turned = measure(path, pipe)
            said = f"{name} : {against} facets turned to agree with their stored normals (warning).\n"
            if turned[3] != said or not against or abs(turned[2] - kept[2]) < 1:
                sys.exit(f"normals 1 0 0: volume {turned[2]} (kept {kept[2]}), said {turned[3]!r}")
        print(f"normals 1 0 0: {against} facets turned, the vertex-order volume "
              f"{kept[2]:.3f} is numpy-stl's")

        # The 26-byte empty solid an exporter writes for an empty body.
        with open(path, "wb") as f:
            f.write(b"solid Empty\nendsolid Empty")
        for pipe in (False, True):
            agree("26-byte empty solid", measure(path, pipe), *theirs(mesh.Mesh.from_file(path)))
        print("26-byte empty solid: 0 facets")


if __name__ == "__main__":
    main()
