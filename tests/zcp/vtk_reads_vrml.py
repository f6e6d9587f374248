"""VTK reads what the ZCP programs write: vtkPLYReader every writer's ZCP file (counts,
triangles, face colours) and vtkVRMLImporter the VRML 2.0 document of cplyworld
(points, triangles, and the colour list in order of first appearance)."""
import os
import subprocess
import sys
import tempfile

try:
    import vtk
except ImportError:
    sys.exit(77)
import zcpmodel

bin_dir = sys.argv[1]


def polys(data):
    ids = vtk.vtkIdList()
    cells = data.GetPolys()
    cells.InitTraversal()
    out = []
    while cells.GetNextCell(ids):
        out.append([tuple(round(c, 6) for c in data.GetPoint(ids.GetId(k))) for k in range(ids.GetNumberOfIds())])
    return out


def rounded(tris):
    return [[tuple(round(c, 6) for c in p) for p in t] for t in tris]


failed = 0
with tempfile.TemporaryDirectory() as work:
    for name, (path, tris, colours, n) in zcpmodel.zcp_files(bin_dir, work).items():
        reader = vtk.vtkPLYReader()
        reader.SetFileName(path)
        reader.Update()
        data = reader.GetOutput()
        rgb = data.GetCellData().GetArray("RGB")
        got_colours = [tuple(int(c) for c in rgb.GetTuple(i)) for i in range(rgb.GetNumberOfTuples())] if rgb else None
        if data.GetNumberOfPoints() != n or polys(data) != rounded(tris) or got_colours != colours:
            print("%s: vtkPLYReader reads %d points, faces %s, colours %s; expected %d points, faces %s, colours %s"
                  % (name, data.GetNumberOfPoints(), polys(data), got_colours, n, rounded(tris), colours))
            failed = 1
        else:
            print("%s: vtkPLYReader reads %d points, %d faces and their colours" % (name, n, len(tris)))

        wrl = os.path.join(work, name + ".wrl")
        with open(wrl, "wb") as f:
            f.write(subprocess.run([os.path.join(bin_dir, "cplyworld"), path], capture_output=True, check=True).stdout)
        importer = vtk.vtkVRMLImporter()
        importer.SetFileName(wrl)
        importer.Update()
        actors = importer.GetRenderer().GetActors()
        actors.InitTraversal()
        actor = actors.GetNextActor()
        shape = actor.GetMapper().GetInput()
        table = actor.GetMapper().GetLookupTable()
        listed = [tuple(round(c * 255) for c in table.GetTableValue(i)[:3]) for i in range(table.GetNumberOfTableValues())]
        distinct = list(dict.fromkeys(colours))
        if shape.GetNumberOfPoints() != n or polys(shape) != rounded(tris) or listed != distinct:
            print("%s: vtkVRMLImporter reads %d points, faces %s, colours %s; expected %d, %s, %s"
                  % (name, shape.GetNumberOfPoints(), polys(shape), listed, n, rounded(tris), distinct))
            failed = 1
        else:
            print("%s: vtkVRMLImporter reads %d points, %d faces, %d colours" % (name, n, len(tris), len(listed)))
sys.exit(failed)
