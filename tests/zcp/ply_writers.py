"""Coloured PLY files as VTK, meshio and Open3D write them (ASCII, both binary byte
orders, face colours, vertex colours in bytes and in floats, double coordinates, normals,
texture coordinates and other extra properties, quads beside triangles, small models and
models of a few hundred thousand faces), each converted by cplytomesh and read back by
numpy-stl (the triangles in order, polygons cut into v0 vi vi+1, and the colour words)
and by meshfacets (facets per colour); cplyworld's VRML read by VTK's importer with the
expected colours; and a vertex-coloured model through cplytomesh and meshorbit, the
picture read by Pillow. A writer that is missing is left out; with none, or without
numpy-stl, the test is skipped."""
import collections
import colorsys
import os
import subprocess
import sys
import tempfile
import warnings

warnings.simplefilter("ignore")
try:
    import numpy as np
    from stl import mesh as stlmesh
except ImportError:
    sys.exit(77)
writers = {}
for name in ("vtk", "meshio", "open3d"):
    try:
        writers[name] = __import__(name)
    except ImportError:
        print("%s is missing: its files are left out" % name)
if not writers:
    sys.exit(77)

bin_dir = sys.argv[1]
failed = 0

# The small model: a square (one quad) and a triangle on its side; five vertex colours.
POINTS = np.array([[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0], [1, 0.5, 1]], dtype=float)
POLYS = [[0, 1, 2, 3], [1, 2, 4]]
VERTEX_RGB = np.array([[255, 0, 0], [0, 255, 0], [0, 0, 255], [255, 255, 0], [10, 20, 30]])
FACE_RGB = np.array([[200, 100, 50], [1, 2, 3]])


def run(program, *args, stdin=None):
    r = subprocess.run([os.path.join(bin_dir, program), *args], input=stdin, capture_output=True)
    if r.returncode != 0:
        raise RuntimeError("%s %s: %s" % (program, " ".join(args), r.stderr.decode()))
    return r.stdout


def word(rgb):
    return 0x8000 | (rgb[0] >> 3) << 10 | (rgb[1] >> 3) << 5 | rgb[2] >> 3


def expected(points, polys, face_rgb=None, vertex_rgb=None):
    """The triangles, in order, their colours and colour words: a face's own colour, else
    the rounded mean of its corners' colours, else none (white, word 0)."""
    tris, colours, words = [], [], []
    for f, poly in enumerate(polys):
        if face_rgb is not None:
            rgb = tuple(int(c) for c in face_rgb[f])
        elif vertex_rgb is not None:
            rgb = tuple(int(np.floor(vertex_rgb[poly, c].sum() / len(poly) + 0.5)) for c in range(3))
        else:
            rgb = None
        for k in range(1, len(poly) - 1):
            tris.append(points[[poly[0], poly[k], poly[k + 1]]])
            colours.append(rgb or (255, 255, 255))
            words.append(word(rgb) if rgb else 0)
    return np.array(tris, dtype=np.float32), colours, np.array(words, dtype=np.uint16)


def check(name, path, tris, colours, words, work):
    global failed
    out = os.path.join(work, "out.stl")
    try:
        run("cplytomesh", path, out)
        piped = run("cplytomesh", "-", "-", stdin=open(path, "rb").read())
        facets = run("meshfacets", out).decode()
        # cplydump counts the triangles first (the faces go to a spool, and on large
        # models from there to a temporary file).
        dump = run("cplydump", path).decode().splitlines()
    except RuntimeError as e:
        print("%s: %s" % (name, e))
        failed = 1
        return
    m = stlmesh.Mesh.from_file(out, calculate_normals=False)
    got_words = m.attr.reshape(-1).astype(np.uint16)
    same = len(m.vectors) == len(tris) and np.array_equal(m.vectors, tris) and np.array_equal(got_words, words)
    counts = {int(line.split()[0]): int(line.split()[-2]) for line in facets.splitlines()}
    per_word = dict(collections.Counter(int(w) for w in words))
    n, t = (int(c) for c in dump[0].split())
    dumped = [tuple(int(c) for c in line.split()[3:]) for line in dump[1 + n:]]
    if t != len(tris) or dumped != colours:
        print("%s: cplydump gives %d triangles, expected %d, or other colours" % (name, t, len(tris)))
        failed = 1
    if not same or counts != per_word or piped != open(out, "rb").read():
        print("%s: numpy-stl reads %d facets (%s), meshfacets %s; expected %d, %s"
              % (name, len(m.vectors), "same" if same else "DIFFERENT", counts, len(tris), per_word))
        failed = 1
    else:
        print("%s: %d triangles in order, %d colours" % (name, len(tris), len(per_word)))


def vtk_files(vtk, work):
    """name -> (path, triangles, colours, words)."""
    from vtk.util import numpy_support

    def write(points, polys, rgb, on_points, path, ascii=False, big=False):
        data = vtk.vtkPolyData()
        data.SetPoints(vtk.vtkPoints())
        data.GetPoints().SetData(numpy_support.numpy_to_vtk(np.asarray(points, dtype=np.float32), deep=1))
        cells = vtk.vtkCellArray()
        for poly in polys:
            cells.InsertNextCell(len(poly), [int(i) for i in poly])
        data.SetPolys(cells)
        colours = numpy_support.numpy_to_vtk(np.asarray(rgb, dtype=np.uint8), deep=1)
        colours.SetName("RGB")
        (data.GetPointData() if on_points else data.GetCellData()).SetScalars(colours)
        if on_points:  # texture coordinates: two more vertex properties
            data.GetPointData().SetTCoords(numpy_support.numpy_to_vtk(np.asarray(points, dtype=np.float32)[:, :2].copy(), deep=1))
        w = vtk.vtkPLYWriter()
        w.SetFileName(path)
        w.SetInputData(data)
        w.SetFileTypeToASCII() if ascii else w.SetFileTypeToBinary()
        w.SetDataByteOrderToBigEndian() if big else w.SetDataByteOrderToLittleEndian()
        w.SetArrayName("RGB")
        w.Write()
        return path

    # A sphere of 400,000 triangles, a colour a face by its position: its faces, read
    # ahead by cplydump, pass the spool's memory into its temporary file.
    sphere = vtk.vtkSphereSource()
    sphere.SetThetaResolution(1000)
    sphere.SetPhiResolution(202)
    sphere.Update()
    points = numpy_support.vtk_to_numpy(sphere.GetOutput().GetPoints().GetData()).astype(float)
    polys = numpy_support.vtk_to_numpy(sphere.GetOutput().GetPolys().GetData()).reshape(-1, 4)[:, 1:]
    rgb = ((points[polys[:, 0]] + 0.5) * 255).clip(0, 255).astype(int)
    return {
        "VTK ascii, face colours, a quad": (
            write(POINTS, POLYS, FACE_RGB, False, os.path.join(work, "vtk-a.ply"), ascii=True),
            *expected(POINTS, POLYS, face_rgb=FACE_RGB)),
        "VTK big-endian, vertex colours, texture coordinates": (
            write(POINTS, POLYS, VERTEX_RGB, True, os.path.join(work, "vtk-b.ply"), big=True),
            *expected(POINTS, POLYS, vertex_rgb=VERTEX_RGB)),
        "VTK little-endian, face colours, %d faces" % len(polys): (
            write(points, polys, rgb, False, os.path.join(work, "vtk-c.ply")),
            *expected(points.astype(np.float32).astype(float), polys, face_rgb=rgb)),
    }


def meshio_files(meshio, work):
    out = {}
    unit = VERTEX_RGB / 255.0
    unit[4] = [1.7, -0.2, 0.5]  # outside 0 to 1: clamped; 0.5 rounds to 128
    as_bytes = np.floor(np.clip(unit, 0, 1) * 255 + 0.5).astype(int)
    m = meshio.Mesh(POINTS, [("quad", np.array([POLYS[0]])), ("triangle", np.array([POLYS[1]]))],
                    point_data={"red": unit[:, 0].astype(np.float32), "green": unit[:, 1].astype(np.float32),
                                "blue": unit[:, 2].astype(np.float32), "quality": np.arange(5.0)})
    for binary in (False, True):
        path = os.path.join(work, "meshio-%s.ply" % ("binary" if binary else "ascii"))
        meshio.write(path, m, binary=binary)
        out["meshio %s, double coordinates, float vertex colours, an extra property"
            % ("little-endian" if binary else "ascii")] = (path, *expected(POINTS, POLYS, vertex_rgb=as_bytes))
    return out


def open3d_files(o3d, work):
    out = {}
    torus = o3d.geometry.TriangleMesh.create_torus(torus_radius=1.0, tube_radius=0.4,
                                                   radial_resolution=300, tubular_resolution=200)
    torus.compute_vertex_normals()
    v = np.asarray(torus.vertices)
    torus.vertex_colors = o3d.utility.Vector3dVector(((v - v.min(0)) / np.ptp(v, 0)))
    small = o3d.geometry.TriangleMesh(o3d.utility.Vector3dVector(POINTS),
                                      o3d.utility.Vector3iVector(np.array([[0, 1, 2], [0, 2, 3], [1, 2, 4]])))
    small.vertex_colors = o3d.utility.Vector3dVector(VERTEX_RGB / 255.0)
    small.compute_vertex_normals()
    for label, model, ascii in (("ascii", small, True), ("binary", torus, False)):
        path = os.path.join(work, "open3d-%s.ply" % label)
        o3d.io.write_triangle_mesh(path, model, write_ascii=ascii)
        colours = np.floor(np.asarray(model.vertex_colors) * 255 + 0.5).astype(int)
        faces = np.asarray(model.triangles).tolist()
        out["Open3D %s, double coordinates, normals, vertex colours, %d faces" % (label, len(faces))] = (
            path, *expected(np.asarray(model.vertices), faces, vertex_rgb=colours))
    return out


def check_world(vtk, name, path, colours, work):
    """cplyworld's document through VTK's VRML importer: the colour list holds the
    triangles' colours, each once, in order of first appearance."""
    global failed
    wrl = os.path.join(work, "out.wrl")
    with open(wrl, "wb") as f:
        f.write(run("cplyworld", path))
    importer = vtk.vtkVRMLImporter()
    importer.SetFileName(wrl)
    importer.Update()
    actors = importer.GetRenderer().GetActors()
    actors.InitTraversal()
    table = actors.GetNextActor().GetMapper().GetLookupTable()
    listed = [tuple(int(c * 255 + 0.5) for c in table.GetTableValue(i)[:3]) for i in range(table.GetNumberOfTableValues())]
    colours = list(dict.fromkeys(colours))
    if listed != colours:
        print("%s: the VRML importer lists %s; expected %s" % (name, listed[:8], colours[:8]))
        failed = 1
    else:
        print("%s: the VRML importer lists its %d colours" % (name, len(listed)))


def check_picture(o3d, work):
    """A vertex-coloured torus through cplytomesh and meshorbit: the picture shows the
    colours that run from red to green to blue around it."""
    global failed
    try:
        from PIL import Image
    except ImportError:
        print("Pillow is missing: the picture is not looked at")
        return
    torus = o3d.geometry.TriangleMesh.create_torus()
    v = np.asarray(torus.vertices)
    hue = (np.arctan2(v[:, 1], v[:, 0]) + np.pi) / (2 * np.pi)
    torus.vertex_colors = o3d.utility.Vector3dVector([colorsys.hsv_to_rgb(h, 1, 1) for h in hue])
    ply, stl, gif = (os.path.join(work, n) for n in ("torus.ply", "torus.stl", "torus.gif"))
    o3d.io.write_triangle_mesh(ply, torus)
    run("cplytomesh", ply, stl)
    subprocess.run([os.path.join(bin_dir, "meshorbit"), stl, "-200", "1", "60", "255", "255", "255",
                    "-1", "0", "0", "200", "200", "200", gif], input=b"0 60\n", check=True)
    pixels = np.asarray(Image.open(gif).convert("RGB")).reshape(-1, 3).astype(int)
    drawn = pixels[(pixels != 255).any(1)]
    leads = collections.Counter(int(np.argmax(p)) for p in drawn if p.max() - np.sort(p)[1] > 40)
    if min(leads.get(c, 0) for c in range(3)) < len(drawn) // 20:
        print("torus picture: %d drawn pixels, led by red, green, blue: %s" % (len(drawn), dict(leads)))
        failed = 1
    else:
        print("torus picture: %d drawn pixels, led by red %d, green %d, blue %d"
              % (len(drawn), leads[0], leads[1], leads[2]))


with tempfile.TemporaryDirectory() as work:
    files = {}
    if "vtk" in writers:
        files.update(vtk_files(writers["vtk"], work))
    if "meshio" in writers:
        files.update(meshio_files(writers["meshio"], work))
    if "open3d" in writers:
        files.update(open3d_files(writers["open3d"], work))
    for name, (path, tris, colours, words) in files.items():
        check(name, path, tris, colours, words, work)
        if "vtk" in writers:
            check_world(writers["vtk"], name, path, colours, work)
    if "open3d" in writers:
        check_picture(writers["open3d"], work)
sys.exit(failed)
