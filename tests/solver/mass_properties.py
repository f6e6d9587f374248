"""meshsolve against numpy-stl's get_mass_properties: the volume, the centre of gravity
and the second moments (through the semi-axes) of generated and hand-made models."""
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


def run(program, *args, stdin=None):
    r = subprocess.run([os.path.join(BIN, program), *args], input=stdin, capture_output=True)
    if r.returncode != 0:
        sys.exit(f"{program} {args}: status {r.returncode}: {r.stderr.decode()}")
    return r.stdout


def box(path, size):
    """A closed box [0, sx] x [0, sy] x [0, sz] written by numpy-stl itself."""
    corners = np.array([[x, y, z] for x in (0, 1) for y in (0, 1) for z in (0, 1)], float) * size
    quads = [(0, 1, 3, 2), (4, 6, 7, 5), (0, 4, 5, 1), (2, 3, 7, 6), (0, 2, 6, 4), (1, 5, 7, 3)]
    m = mesh.Mesh(np.zeros(12, dtype=mesh.Mesh.dtype))
    for i, (a, b, c, d) in enumerate(quads):
        m.vectors[2 * i] = corners[[a, b, c]]
        m.vectors[2 * i + 1] = corners[[a, c, d]]
    m.update_normals()
    m.save(path)


def check(path, label):
    m = mesh.Mesh.from_file(path)
    volume, cog, inertia = m.get_mass_properties()
    failures = []
    for program in ("meshsolve", "meshsolve-short"):
        values = [float(v) for v in run(program, path).split()]
        v, centre, axes = values[0], np.array(values[1:4]), np.array(values[7:10])
        if abs(v - volume) > 1e-5 * abs(volume) + 1e-6:
            failures.append(f"{label} {program}: volume {v} != {volume}")
        if np.max(np.abs(centre - cog)) > 1e-4 * (1 + np.max(np.abs(cog))):
            failures.append(f"{label} {program}: centre {centre} != {cog}")
        # numpy-stl's inertia tensor about the centre of gravity, J = tr(S) I - S:
        # the second moments S have the eigenvalues V a^2 / 5 of the semi-axes a.
        s = np.trace(inertia) / 2 * np.eye(3) - inertia
        expected = np.sort(np.linalg.eigvalsh(s))
        got = np.sort(volume * axes ** 2 / 5)
        if np.max(np.abs(got - expected)) > 1e-4 * np.max(expected):
            failures.append(f"{label} {program}: moments {got} != {expected}")
    return failures


def main():
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        models = {
            "ellipsoid": ["icosasphere", "5", "1.5", "-2", "3", "35", "50", "20", "1", "2", "3"],
            "octa": ["octasphere", "4", "10", "20", "-30", "-100", "5", "75", "4", "0.5", "2"],
            "tetra": ["tetrasphere", "2", "0", "0", "0", "0", "0", "0", "1", "1", "1"],
        }
        for name, args in models.items():
            path = os.path.join(tmp, name + ".stl")
            run(*args, path)
            failures += check(path, name)
        # Several ellipsoids that do not overlap, in one file, from parameter lines.
        path = os.path.join(tmp, "group.stl")
        lines = b"3 0 0 0 0 0 0 2 1 1\n4 5 0 0 30 30 30 1 1 2\n3 0 6 1 90 0 45 0.5 0.5 1\n"
        run("icosasphere", path, stdin=lines)
        failures += check(path, "group")
        path = os.path.join(tmp, "box.stl")
        box(path, np.array([2.0, 4.0, 8.0]))
        failures += check(path, "box")
    if failures:
        sys.exit("\n".join(failures))
    print("meshsolve agrees with numpy-stl on 5 models")


main()
