"""STL to ZCP to STL, read back by numpy-stl: meshtocply (and meshtopoly) then
cplytomesh keep every triangle, the order of the triangles, the order of their
vertices and the colour words, on the small model and on a torus of 20000 facets."""
import os
import subprocess
import sys
import tempfile

try:
    import numpy as np
    from stl import mesh
except ImportError:
    sys.exit(77)
import zcpmodel

bin_dir = sys.argv[1]
here = os.path.dirname(os.path.abspath(__file__))
failed = 0


def check(name, original, back):
    global failed
    a = mesh.Mesh.from_file(original, calculate_normals=False)
    b = mesh.Mesh.from_file(back, calculate_normals=False)
    same = (len(a.vectors) == len(b.vectors) and np.array_equal(a.vectors, b.vectors)
            and np.array_equal(a.attr, b.attr))
    # The normals written agree with the vertex order.
    agree = np.all(np.einsum("ij,ij->i", b.normals, np.cross(b.v1 - b.v0, b.v2 - b.v0)) > 0)
    print("%s: %d facets, %s" % (name, len(b.vectors), "same triangles, order and colours" if same and agree else "DIFFERENT"))
    if not (same and agree):
        failed = 1


with tempfile.TemporaryDirectory() as work:
    small = os.path.join(work, "small.stl")
    zcpmodel.write_stl(small, zcpmodel.triangles(), [w or 0x8000 for w in zcpmodel.WORDS])
    torus = os.path.join(work, "torus.stl")
    subprocess.run(["/usr/bin/python3", os.path.join(here, "../../bench/make-model.py"), torus, "20000"], check=True)
    for stl in (small, torus):
        for writer in ("meshtocply", "meshtopoly"):
            zcp = os.path.join(work, "m.zcp")
            back = os.path.join(work, "back.stl")
            zcpmodel.run(bin_dir, writer, stl, zcp)
            zcpmodel.run(bin_dir, "cplytomesh", zcp, back)
            check("%s via %s" % (os.path.basename(stl), writer), stl, back)
sys.exit(failed)
