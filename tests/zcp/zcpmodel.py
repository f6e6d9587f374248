"""Shared by the ZCP interop scripts: a small coloured model as binary STL, the ZCP
files each ZCP writer makes of it, and the triangles and face colours each must hold."""
import os
import struct
import subprocess

# An octahedron, counter-clockwise seen from outside; four faces coloured through the
# attribute word (bit 15 and five bits a channel), four without a colour.
POINTS = [(1, 0, 0), (-1, 0, 0), (0, 1, 0), (0, -1, 0), (0, 0, 1.5), (0, 0, -1.5)]
FACES = [(0, 2, 4), (2, 1, 4), (1, 3, 4), (3, 0, 4), (2, 0, 5), (1, 2, 5), (3, 1, 5), (0, 3, 5)]
WORDS = [0x8000 | 31 << 10, 0x8000 | 31 << 5, 0x8000 | 31, 0x8000 | 31 << 10, 0, 0, 0x8000 | 16 << 10 | 1, 0]
WHITE = (255, 255, 255)


def expand(c):
    return int(c / 31.0 * 255.0 + 0.5)


def word_colour(word, default=WHITE):
    if not word & 0x8000:
        return default
    return (expand(word >> 10 & 31), expand(word >> 5 & 31), expand(word & 31))


def triangles(scale=1.0):
    return [[tuple(float(c) * scale for c in POINTS[i]) for i in f] for f in FACES]


def write_stl(path, tris, words):
    with open(path, "wb") as f:
        f.write(b"\0" * 80 + struct.pack("<I", len(tris)))
        for t, w in zip(tris, words):
            u = [t[1][k] - t[0][k] for k in range(3)]
            v = [t[2][k] - t[0][k] for k in range(3)]
            n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
            f.write(struct.pack("<12fH", *n, *t[0], *t[1], *t[2], w))


def run(bin_dir, program, *args, stdin=None):
    result = subprocess.run([os.path.join(bin_dir, program), *args], input=stdin, capture_output=True)
    if result.returncode != 0:
        raise SystemExit("%s %s failed: %s" % (program, " ".join(args), result.stderr.decode()))
    return result.stdout


def zcp_files(bin_dir, work):
    """name -> (path, triangles in face order, face colours, vertex count in the file)."""
    stl = os.path.join(work, "model.stl")
    write_stl(stl, triangles(), WORDS)
    colours = [word_colour(w) for w in WORDS]
    out = {}

    path = os.path.join(work, "merged.ply")
    run(bin_dir, "meshtocply", stl, path)
    out["meshtocply"] = (path, triangles(), colours, len(POINTS))

    path = os.path.join(work, "corners.ply")
    run(bin_dir, "meshtopoly", stl, "10", "20", "30", path)
    out["meshtopoly"] = (path, triangles(), [word_colour(w, (10, 20, 30)) for w in WORDS], 3 * len(FACES))

    path = os.path.join(work, "scaled.ply")
    run(bin_dir, "cplyscale", out["meshtocply"][0], "2", path)
    out["cplyscale"] = (path, triangles(2.0), colours, len(POINTS))

    lines = ["%d %d" % (len(POINTS), len(FACES))]
    lines += ["%g %g %g" % p for p in POINTS]
    list_colours = []
    for k, f in enumerate(FACES):
        if k % 3 == 0:
            lines.append("%d %d %d" % f)
            list_colours.append(WHITE)
        elif k % 3 == 1:
            lines.append("%d %d %d %d" % (*f, 30 * k))
            list_colours.append((30 * k,) * 3)
        else:
            lines.append("%d %d %d %d %d %d" % (*f, k, 2 * k, 3 * k))
            list_colours.append((k, 2 * k, 3 * k))
    path = os.path.join(work, "listed.ply")
    run(bin_dir, "listtocply", path, stdin=("\n".join(lines) + "\n").encode())
    out["listtocply"] = (path, triangles(), list_colours, len(POINTS))
    return out
