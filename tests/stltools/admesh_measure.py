#!/usr/bin/python3
"""admesh's facet count, volume and bounding box of a closed model agree with what
meshstats and meshbounds print, also after meshjoin and meshpaint rewrote the model,
and for the model as other writers make it.

usage: admesh_measure.py bin_dir
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

ADMESH = shutil.which("admesh")
HERE = os.path.dirname(os.path.abspath(__file__))
MAKE_MODEL = os.path.join(HERE, "..", "..", "bench", "make-model.py")
try:
    import numpy  # noqa: F401  (the model maker needs it)
except ImportError:
    sys.exit(77)
if ADMESH is None:
    sys.exit(77)
BIN = sys.argv[1]


def run(*args):
    r = subprocess.run(args, capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"{' '.join(args)}: status {r.returncode}: {r.stderr}")
    return r.stdout


def admesh(path):
    text = run(ADMESH, path)
    facets = int(re.search(r"Number of facets\s*:\s*(\d+)", text).group(1))
    volume = float(re.search(r"Volume\s*:\s*(-?[\d.]+)", text).group(1))
    box = {}
    for axis in "XYZ":
        m = re.search(rf"Min {axis} = \s*(-?[\d.]+), Max {axis} = \s*(-?[\d.]+)", text)
        box[axis] = (float(m.group(1)), float(m.group(2)))
    return facets, volume, box


def compare(path, what):
    facets, volume, box = admesh(path)
    name, count, area, our_volume = run(os.path.join(BIN, "meshstats"), path).split("\t")
    fields = run(os.path.join(BIN, "meshbounds"), path).split("\t")
    if int(count) != facets or int(fields[1]) != facets:
        sys.exit(f"{what}: facets {count} / {fields[1]}, admesh {facets}")
    # admesh sums in single precision: agree to a few parts in a million.
    if abs(float(our_volume) - volume) > 1e-5 * abs(volume):
        sys.exit(f"{what}: volume {our_volume.strip()}, admesh {volume}")
    lo = [float(v) for v in fields[2:5]]
    hi = [float(v) for v in fields[5:8]]
    for i, axis in enumerate("XYZ"):
        if abs(lo[i] - box[axis][0]) > 1e-6 or abs(hi[i] - box[axis][1]) > 1e-6:
            sys.exit(f"{what}: {axis} from {lo[i]} to {hi[i]}, admesh {box[axis]}")
    print(f"{what}: {facets} facets, volume {our_volume.strip()} (admesh {volume}), box agrees")


def main():
    with tempfile.TemporaryDirectory() as d:
        model = os.path.join(d, "torus.stl")
        run("/usr/bin/python3", MAKE_MODEL, model, "5000")
        compare(model, "torus")
        # As other writers make it: a header that begins with "solid", and a count of 0
        # (a writer that could not seek back). admesh goes by the file's size.
        with open(model, "rb") as f:
            data = f.read()
        other = os.path.join(d, "other.stl")
        for what, form in (("solid header", b"solid Part_1".ljust(80) + data[80:]),
                           ("count 0", data[:80] + bytes(4) + data[84:])):
            with open(other, "wb") as f:
                f.write(form)
            compare(other, what)
        moved = os.path.join(d, "moved.stl")
        run(os.path.join(BIN, "meshjoin"), model, moved)
        compare(moved, "meshjoin copy")
        painted = os.path.join(d, "painted.stl")
        run(os.path.join(BIN, "meshpaint"), model, "0", "255", "0", painted)
        compare(painted, "meshpaint copy")
        ascii_model = os.path.join(d, "torus.txt")
        with open(ascii_model, "w") as f:
            f.write(run(os.path.join(BIN, "meshtotext"), model, "%.9g"))
        compare(ascii_model, "meshtotext copy")


if __name__ == "__main__":
    main()
