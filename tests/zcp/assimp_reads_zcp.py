"""assimp reads the ZCP file of every ZCP writer: the counts it reports, and the
triangles of its own ASCII PLY export, corner by corner in face order."""
import shutil
import subprocess
import sys
import tempfile

import zcpmodel

if shutil.which("assimp") is None:
    sys.exit(77)
bin_dir = sys.argv[1]


def info(path):
    text = subprocess.run(["assimp", "info", path], capture_output=True, text=True, check=True).stdout
    values = {}
    for line in text.splitlines():
        key, _, value = line.partition(":")
        if key in ("Vertices", "Faces"):
            values[key] = int(value)
    return values


def exported_triangles(path, work):
    out = work + "/assimp.ply"
    subprocess.run(["assimp", "export", path, out, "-fply"], capture_output=True, check=True)
    lines = open(out).read().splitlines()
    n = int(next(l for l in lines if l.startswith("element vertex")).split()[2])
    m = int(next(l for l in lines if l.startswith("element face")).split()[2])
    body = lines[lines.index("end_header") + 1:]
    points = [tuple(float(w) for w in l.split()) for l in body[:n]]
    tris = []
    for l in body[n:n + m]:
        words = [int(w) for w in l.split()]
        assert words[0] == 3, l
        tris.append([points[i] for i in words[1:]])
    return tris


failed = 0
with tempfile.TemporaryDirectory() as work:
    for name, (path, tris, _, _) in zcpmodel.zcp_files(bin_dir, work).items():
        counts = info(path)
        # assimp info joins identical vertices: the distinct points.
        distinct = len({p for t in tris for p in t})
        if counts != {"Vertices": distinct, "Faces": len(tris)}:
            print("%s: assimp info reports %s, expected %d vertices, %d faces" % (name, counts, distinct, len(tris)))
            failed = 1
        got = exported_triangles(path, work)
        if got != tris:
            print("%s: assimp reads the triangles\n  %s\nexpected\n  %s" % (name, got, tris))
            failed = 1
        else:
            print("%s: assimp reads %d faces, %d distinct points" % (name, len(tris), distinct))
sys.exit(failed)
