#!/usr/bin/python3
"""Models as other writers make them, measured by meshstats from a file and through a
pipe, against independent readers: numpy-stl (facets, area, and the signed volume of the
vertices it reads; its multi-solid reader for several solids; its vertex-order volume
for --vertex-order), and admesh, which reads every record of a file whatever its count.

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

from stlcheck import BIN, mesh, np

MAKE_MODEL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../bench/make-model.py")
logging.disable(logging.WARNING)  # numpy-stl's notes on open meshes


def torus(path, facets, *form):
    subprocess.run(["/usr/bin/python3", MAKE_MODEL, path, str(facets), *form], check=True)
    with open(path, "rb") as f:
        return f.read()


def meshstats(data, path, pipe, *options):
    """data written to path; meshstats on the file or through a pipe: count, area,
    volume and its standard error."""
    with open(path, "wb") as f:
        f.write(data)
    r = subprocess.run([os.path.join(BIN, "meshstats"), *options, "-" if pipe else path],
                       input=data if pipe else None, capture_output=True)
    if r.returncode != 0:
        sys.exit(f"meshstats: status {r.returncode}: {r.stderr.decode()}")
    _, count, area, volume = r.stdout.decode().split("\t")
    return int(count), float(area), float(volume), r.stderr.decode()


def measures(m):
    t = m.vectors.astype(np.float64)
    volume = np.einsum("ij,ij->i", t[:, 0], np.cross(t[:, 1], t[:, 2])).sum() / 6
    return len(t), float(m.areas.sum()), float(volume)


def agree(what, ours, want):
    close = all(abs(a - b) <= 1e-5 * max(1, abs(b)) for a, b in zip(ours[1:3], want[1:]))
    if ours[0] != want[0] or not close:
        sys.exit(f"{what}: meshstats {ours[:3]}, expected {want}")


def main():
    with tempfile.TemporaryDirectory() as d:
        path, big = os.path.join(d, "m.stl"), torus(os.path.join(d, "t.stl"), 5000)
        k = (len(big) - 84) // 50
        # "solid NAME" padded with spaces over 0, 1, 18 and all facets, and a stray byte.
        for n in (0, 1, 18, k):
            for stray in (b"", b"\n"):
                data = (b"solid Part_1".ljust(80) + struct.pack("<I", n) + big[84:84 + 50 * n]
                        + stray)
                for pipe in (False, True):
                    ours = meshstats(data, path, pipe)
                    agree(f"solid header, {n} facets, {stray!r}, pipe {pipe}", ours,
                          measures(mesh.Mesh.from_file(path)))
        # A count of 0 or 100 over the records: a file is read whole, with a warning, as
        # admesh reads it; a pipe goes by the count, as numpy-stl does.
        for count in (0, 100):
            data = big[:80] + struct.pack("<I", count) + big[84:]
            ours = meshstats(data, path, False)
            if ours[3] != f"{path} : count {count}, {k} facets read (warning).\n":
                sys.exit(f"count {count}: meshstats said {ours[3]!r}")
            if shutil.which("admesh"):
                text = subprocess.run(["admesh", path], capture_output=True, text=True).stdout
                facets = int(re.search(r"Number of facets\s*:\s*(\d+)", text).group(1))
                volume = float(re.search(r"Volume\s*:\s*(-?[\d.]+)", text).group(1))
                if ours[0] != facets or abs(ours[2] - volume) > 1e-4 * volume:
                    sys.exit(f"count {count}: meshstats {ours[:3]}, admesh {facets} {volume}")
            agree(f"count {count}, pipe", meshstats(data, path, True),
                  measures(mesh.Mesh.from_file(path)))
        # Three solids, one after the other, with CR LF line ends.
        data = b"".join(torus(os.path.join(d, "p.stl"), n, "--ascii") for n in (200, 600, 1200))
        data = data.replace(b"\n", b"\r\n")
        for pipe in (False, True):
            ours = meshstats(data, path, pipe)
            parts = [measures(m) for m in mesh.Mesh.from_multi_file(path)]
            want = [sum(v) for v in zip(*parts)] if len(parts) == 3 else [None]
            agree(f"three solids, pipe {pipe}", ours, want)
        # Every stored normal 1 0 0: --vertex-order gives numpy-stl's vertex-order volume;
        # without it, the facets whose unit normal's x is below -0.1 are turned.
        record = [("n", "<f4", 3), ("v", "<f4", (3, 3)), ("a", "<u2")]
        rec = np.frombuffer(big[84:], dtype=record).copy()
        rec["n"] = [1, 0, 0]
        data = big[:84] + rec.tobytes()
        t = rec["v"].astype(np.float64)
        cross = np.cross(t[:, 1] - t[:, 0], t[:, 2] - t[:, 0])
        against = int(np.sum(cross[:, 0] / np.linalg.norm(cross, axis=1) < -0.1))
        for pipe in (False, True):
            kept = meshstats(data, path, pipe, "--vertex-order")
            m = mesh.Mesh.from_file(path)  # normals and areas from the vertex order
            agree(f"normals 1 0 0, --vertex-order, pipe {pipe}", kept,
                  (len(m.vectors), float(m.areas.sum()), float(m.get_mass_properties()[0])))
            turned = meshstats(data, path, pipe)
            said = (f"{'-' if pipe else path} : {against} facets turned to agree with their"
                    " stored normals (warning).\n")
            if kept[3] or turned[3] != said or not against or abs(turned[2] - kept[2]) < 1:
                sys.exit(f"normals 1 0 0: volume {turned[2]} (kept {kept[2]}), said {turned[3]!r}")
        # The 26-byte empty solid an exporter writes for an empty body.
        for pipe in (False, True):
            agree("26-byte empty solid", meshstats(b"solid Empty\nendsolid Empty", path, pipe),
                  measures(mesh.Mesh.from_file(path)))
        print(f"solid headers, counts, three solids, {against} facets turned: the readers agree")


if __name__ == "__main__":
    main()
