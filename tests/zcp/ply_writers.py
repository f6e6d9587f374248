"""Coloured PLY files as VTK, meshio and Open3D write them (ASCII, both binary byte
orders, face colours, vertex colours in bytes and in floats, double coordinates, normals
and other extra properties, quads beside triangles, and models large enough that
cplydump's read-ahead of the faces passes into its temporary file), each converted by
cplytomesh, from a file and through pipes, and read back by numpy-stl: the triangles in
order, polygons cut into v0 vi vi+1, the colour words; cplydump's triangle colours
besides. A writer that is missing is left out; with none, or without numpy-stl, the test
is skipped."""
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


def expected(points, polys, face_rgb=None, vertex_rgb=None):
    """The triangles in order, their colours and colour words: a face's own colour, else
    the rounded mean of its corners' colours."""
    tris, colours = [], []
    for f, poly in enumerate(polys):
        if face_rgb is not None:
            rgb = tuple(int(c) for c in face_rgb[f])
        else:
            rgb = tuple(int(np.floor(vertex_rgb[poly, c].sum() / len(poly) + 0.5)) for c in range(3))
        for k in range(1, len(poly) - 1):
            tris.append(points[[poly[0], poly[k], poly[k + 1]]])
            colours.append(rgb)
    words = [0x8000 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3 for r, g, b in colours]
    return np.array(tris, dtype=np.float32), colours, np.array(words, dtype=np.uint16)


def check(name, path, tris, colours, words, work):
    global failed
    out = os.path.join(work, "out.stl")
    try:
        run("cplytomesh", path, out)
        piped = run("cplytomesh", "-", "-", stdin=open(path, "rb").read())
        dump = run("cplydump", path).decode().splitlines()
    except RuntimeError as e:
        print("%s: %s" % (name, e))
        failed = 1
        return
    stl = open(out, "rb").read()
    m = stlmesh.Mesh.from_file(out, calculate_normals=False)
    same = (len(m.vectors) == len(tris) and np.array_equal(m.vectors, tris)
            and np.array_equal(m.attr.reshape(-1).astype(np.uint16), words))
    n, t = (int(c) for c in dump[0].split())
    dumped = [tuple(int(c) for c in line.split()[3:]) for line in dump[1 + n:]]
    if not same or piped != stl or t != len(tris) or dumped != colours:
        print("%s: numpy-stl reads %d facets (%s), expected %d; the piped STL %s; cplydump %s"
              % (name, len(m.vectors), "same" if same else "DIFFERENT", len(tris),
                 "the same" if piped == stl else "DIFFERS", "right" if dumped == colours else "WRONG"))
        failed = 1
    else:
        print("%s: %d triangles in order, %d colour words" % (name, len(tris), len(set(words))))


def vtk_files(vtk, work):
    from vtk.util import numpy_support as ns

    def write(points, polys, rgb, on_points, path, ascii=False, big=False):
        data = vtk.vtkPolyData()
        data.SetPoints(vtk.vtkPoints())
        data.GetPoints().SetData(ns.numpy_to_vtk(np.asarray(points, dtype=np.float32), deep=1))
        cells = vtk.vtkCellArray()
        for poly in polys:
            cells.InsertNextCell(len(poly), [int(i) for i in poly])
        data.SetPolys(cells)
        colours = ns.numpy_to_vtk(np.asarray(rgb, dtype=np.uint8), deep=1)
        colours.SetName("RGB")
        (data.GetPointData() if on_points else data.GetCellData()).SetScalars(colours)
        if on_points:  # texture coordinates: two more vertex properties
            data.GetPointData().SetTCoords(ns.numpy_to_vtk(np.asarray(points, dtype=np.float32)[:, :2].copy(), deep=1))
        w = vtk.vtkPLYWriter()
        w.SetFileName(os.path.join(work, path))
        w.SetInputData(data)
        w.SetFileTypeToASCII() if ascii else w.SetFileTypeToBinary()
        w.SetDataByteOrderToBigEndian() if big else w.SetDataByteOrderToLittleEndian()
        w.SetArrayName("RGB")
        w.Write()
        return os.path.join(work, path)

    # A sphere of 400,000 triangles, a colour a face by its position: its faces, read
    # ahead by cplydump, pass the spool's memory into its temporary file.
    sphere = vtk.vtkSphereSource()
    sphere.SetThetaResolution(1000)
    sphere.SetPhiResolution(202)
    sphere.Update()
    points = ns.vtk_to_numpy(sphere.GetOutput().GetPoints().GetData()).astype(float)
    polys = ns.vtk_to_numpy(sphere.GetOutput().GetPolys().GetData()).reshape(-1, 4)[:, 1:]
    rgb = ((points[polys[:, 0]] + 0.5) * 255).clip(0, 255).astype(int)
    return {
        "VTK ascii, face colours, a quad": (
            write(POINTS, POLYS, FACE_RGB, False, "vtk-a.ply", ascii=True),
            *expected(POINTS, POLYS, face_rgb=FACE_RGB)),
        "VTK big-endian, vertex colours, texture coordinates": (
            write(POINTS, POLYS, VERTEX_RGB, True, "vtk-b.ply", big=True),
            *expected(POINTS, POLYS, vertex_rgb=VERTEX_RGB)),
        "VTK little-endian, face colours, %d faces" % len(polys): (
            write(points, polys, rgb, False, "vtk-c.ply"),
            *expected(points.astype(np.float32).astype(float), polys, face_rgb=rgb)),
    }


def meshio_files(meshio, work):
    unit = VERTEX_RGB / 255.0
    unit[4] = [1.7, -0.2, 0.5]  # outside 0 to 1: clamped; 0.5 rounds to 128
    as_bytes = np.floor(np.clip(unit, 0, 1) * 255 + 0.5).astype(int)
    m = meshio.Mesh(POINTS, [("quad", np.array([POLYS[0]])), ("triangle", np.array([POLYS[1]]))],
                    point_data={"red": unit[:, 0].astype(np.float32), "green": unit[:, 1].astype(np.float32),
                                "blue": unit[:, 2].astype(np.float32), "quality": np.arange(5.0)})
    path = os.path.join(work, "meshio.ply")
    meshio.write(path, m, binary=True)
    return {"meshio little-endian, double coordinates, float vertex colours, an extra property":
            (path, *expected(POINTS, POLYS, vertex_rgb=as_bytes))}


def open3d_files(o3d, work):
    torus = o3d.geometry.TriangleMesh.create_torus(torus_radius=1.0, tube_radius=0.4,
                                                   radial_resolution=300, tubular_resolution=200)
    torus.compute_vertex_normals()
    v = np.asarray(torus.vertices)
    torus.vertex_colors = o3d.utility.Vector3dVector(((v - v.min(0)) / np.ptp(v, 0)))
    path = os.path.join(work, "open3d.ply")
    o3d.io.write_triangle_mesh(path, torus)
    colours = np.floor(np.asarray(torus.vertex_colors) * 255 + 0.5).astype(int)
    faces = np.asarray(torus.triangles).tolist()
    return {"Open3D binary, double coordinates, normals, vertex colours, %d faces" % len(faces):
            (path, *expected(v, faces, vertex_rgb=colours))}


with tempfile.TemporaryDirectory() as work:
    files = {}
    for name, make in (("vtk", vtk_files), ("meshio", meshio_files), ("open3d", open3d_files)):
        if name in writers:
            files.update(make(writers[name], work))
    for name, (path, tris, colours, words) in files.items():
        check(name, path, tris, colours, words, work)
sys.exit(failed)
