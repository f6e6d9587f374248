"""numpy-stl reads what the generators write: the counted facets, unit normals that
agree with the vertex order, the colour words, a closed surface, and a volume a little
below the ellipsoid's."""
import math
import os
import subprocess
import sys
import tempfile
import warnings

warnings.simplefilter("ignore", FutureWarning)  # numpy-stl's own use of numpy
try:
    import numpy as np
    from stl import mesh
except ImportError:
    sys.exit(77)

BIN = sys.argv[1]
FACES = {"octasphere": 8, "icosasphere": 20, "tetrasphere": 4}


def generate(program, args, path, stdin=None):
    r = subprocess.run([os.path.join(BIN, program), *args, path], input=stdin, capture_output=True)
    if r.returncode != 0:
        sys.exit(f"{program} {args}: status {r.returncode}: {r.stderr.decode()}")
    return r.stdout


def check(path, label, count, attribute, volume, floor):
    failures = []
    m = mesh.Mesh.from_file(path, calculate_normals=False)
    if len(m.vectors) != count:
        failures.append(f"{label}: {len(m.vectors)} facets, expected {count}")
        return failures
    stored = np.array(m.normals, dtype=np.float64)
    length = np.linalg.norm(stored, axis=1)
    if np.max(np.abs(length - 1)) > 1e-6:
        failures.append(f"{label}: normal lengths from {length.min()} to {length.max()}")
    computed = np.cross(m.v1 - m.v0, m.v2 - m.v0).astype(np.float64)
    computed /= np.linalg.norm(computed, axis=1)[:, None]
    if np.min(np.sum(stored * computed, axis=1)) < 0.999:
        failures.append(f"{label}: stored normals disagree with the vertex order")
    attr = m.attr.reshape(-1)
    if not np.all(attr == attribute):
        failures.append(f"{label}: attribute words {sorted(set(attr.tolist()))}, expected {attribute}")
    # Closed and consistently oriented: every edge is run once each way.
    edges = {}
    for tri in m.vectors:
        for a, b in ((0, 1), (1, 2), (2, 0)):
            key = (tri[a].tobytes(), tri[b].tobytes())
            edges[key] = edges.get(key, 0) + 1
    if any(n != 1 or edges.get((b, a)) != 1 for (a, b), n in edges.items()):
        failures.append(f"{label}: not closed")
    v, _, _ = m.get_mass_properties()
    if not floor * volume < v <= volume:  # inscribed: less than the ellipsoid
        failures.append(f"{label}: volume {v}, ellipsoid {volume}")
    return failures


def main():
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        for program, faces in FACES.items():
            for level in (0, 2, 5):  # 5 goes through both the recursion and the grid
                path = os.path.join(tmp, f"{program}{level}.stl")
                args = [str(level), "1", "-2", "3", "25", "-40", "70", "1.5", "0.5", "2", "200", "100", "50"]
                generate(program, args, path)
                word = 0x8000 | (200 & 0xF8) << 7 | (100 & 0xF8) << 2 | (50 & 0xF8) >> 3
                volume = 4 / 3 * math.pi * 1.5 * 0.5 * 2
                floor = {0: 0.05, 2: 0.5, 5: 0.9}[level]
                failures += check(path, f"{program} level {level}", faces * 4 ** level, word,
                                  volume, floor)
        # Standard output, several uncoloured ellipsoids from parameter lines.
        data = generate("icosasphere", ["3"], "-", stdin=b"0 0 0 0 0 0 1 1 1\n5 5 5 0 0 0 1 1 1\n")
        path = os.path.join(tmp, "stdout.stl")
        with open(path, "wb") as f:
            f.write(data)
        failures += check(path, "stdout", 2 * 20 * 64, 0, 2 * 4 / 3 * math.pi, 0.9)
    if failures:
        sys.exit("\n".join(failures))
    print("numpy-stl reads the output of the three generators")


main()
