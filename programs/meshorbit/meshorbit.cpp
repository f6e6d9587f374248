// meshorbit: flat-shaded pictures of STL models, with coloured polylines, as one GIF
// file: one image per view direction read from standard input ("lon lat", or
// "lon lat dlon dlat n" for n views), each seen from outside the model's bounding box.
#include <algorithm>
#include <cmath>
#include <string>

#include "common/lines.h"
#include "common/numbers.h"
#include "common/program.h"
#include "render/line.h"
#include "render/scene.h"
#include "render/xyz.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM,
    "usage : " MESHPIX_PROGRAM
    " STL_files scale gamma bias \\\n"
    "                                bgR bgG bgB fgR fgG fgB scR scG scB GIF",
    "Draws STL models into a GIF file, one image a view line of standard input (\"lon lat {dlon "
    "dlat n}\").",
    "STL_files\tthe STL models read; a name \"-FILE\" reads the polyline list FILE\n"
    "scale\tpixels per model unit, or \"-N\" for a picture of N x N pixels\n"
    "gamma\tthe shading gamma, above 0\n"
    "bias\tthe shading bias, 0 to 255\n"
    "bgR bgG bgB\tthe background colour, 0 to 255 each\n"
    "fgR fgG fgB\tthe colour of the bounding box, 0 to 255 each (one below 0: no box)\n"
    "scR scG scB\tthe colour of facets without one, 0 to 255 each\n"
    "GIF\tthe GIF file written (\"-\": standard output)\n"};
constexpr int kFixed = 13;       // scale gamma bias bgR..bgB fgR..fgB scR..scB GIF
constexpr int kMaxSide = 65535;  // the largest picture side a GIF can hold

// Everything drawn, kept until the end.
Facet* facets;
Polyline* lines;

// The bounding box of all finite vertices and points.
double xmin, ymin, zmin, xmax, ymax, zmax;
bool boxed;

double scale;  // pixels per model unit
int size;      // the picture is size x size

void Include(double x, double y, double z) {
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return;
  if (!boxed) {
    xmin = xmax = x;
    ymin = ymax = y;
    zmin = zmax = z;
    boxed = true;
    return;
  }
  xmin = std::min(xmin, x);
  xmax = std::max(xmax, x);
  ymin = std::min(ymin, y);
  ymax = std::max(ymax, y);
  zmin = std::min(zmin, z);
  zmax = std::max(zmax, z);
}

void ReadInputs(char** names, int count) {
  Facet** facetTail = &facets;
  Polyline** lineTail = &lines;
  for (int i = 0; i < count; ++i) {
    const char* name = names[i];
    if (IsDash(name)) {
      FILE* stream = OpenFile(name + 1, "r");
      if (stream == nullptr) Fail("%s : file not found.\n", name);
      *lineTail = ReadPolylines(stream);
      CloseFile(stream);
      if (*lineTail == nullptr) Fail("%s : file read error.\n", name);
      while (*lineTail != nullptr) lineTail = &(*lineTail)->next;
    } else {
      *facetTail = ReadModel(name);
      while (*facetTail != nullptr) facetTail = &(*facetTail)->next;
    }
  }
}

void Bound() {
  // The facets first, in one pass without Include's checks: every vertex of a finite
  // facet counts. Starting from infinities, the first vertex is taken as it is, and
  // the minima and maxima are those Include gives, signs of zeros included.
  double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (const Facet* f = facets; f != nullptr; f = f->next) {
    if (!FacetIsFinite(f)) continue;
    const float v[9] = {f->x1, f->y1, f->z1, f->x2, f->y2, f->z2, f->x3, f->y3, f->z3};
    for (int k = 0; k < 9; ++k) {
      lo[k % 3] = std::min(lo[k % 3], double{v[k]});
      hi[k % 3] = std::max(hi[k % 3], double{v[k]});
    }
    boxed = true;
  }
  if (boxed) {
    xmin = lo[0];
    ymin = lo[1];
    zmin = lo[2];
    xmax = hi[0];
    ymax = hi[1];
    zmax = hi[2];
  }
  for (const Polyline* p = lines; p != nullptr; p = p->next) {
    for (int i = 0; i < p->count; ++i) Include(p->xs[i], p->ys[i], p->zs[i]);
  }
}

// A projected extent in whole pixels, within 1..size: rounding can make the
// projection of the box one pixel longer than its diagonal.
int Pixels(double extent) {
  const double n = std::ceil(scale * extent);
  return n >= size ? size : n >= 1 ? static_cast<int>(n) : 1;
}

void DrawLines() {
  for (const Polyline* p = lines; p != nullptr; p = p->next) {
    Paint(p->red & 0xFF, p->green & 0xFF, p->blue & 0xFF);
    if (p->count == 1) {
      XYZPlot(p->xs[0], p->ys[0], p->zs[0], Plot);
      continue;
    }
    for (int i = 0; i + 1 < p->count; ++i) {
      XYZDraw(p->xs[i], p->ys[i], p->zs[i], p->xs[i + 1], p->ys[i + 1], p->zs[i + 1], Plot);
    }
  }
}

void Frame(double lon, double lat) {
  double w, h;
  XYZWidth(lon, lat, xmin, ymin, zmin, xmax, ymax, zmax, &w, &h);
  const int Q = Pixels(w), R = Pixels(h);
  PlaceView((size - Q) / 2, (size + R) / 2 - 1);  // the projected box in the middle
  BeginFrame(Q, R, lon, lat, xmin, ymin, zmin, xmax, ymax, zmax);
  // Facets with coordinates that are not finite face no way and are left out.
  for (const Facet* f = facets; f != nullptr; f = f->next) {
    DrawFacet(lon, lat, f->x1, f->y1, f->z1, f->x2, f->y2, f->z2, f->x3, f->y3, f->z3,
              f->attribute);
  }
  DrawLines();
  if (ShowBox()) DrawBox(xmin, ymin, zmin, xmax, ymax, zmax);
  EndFrame();
}

// The frames of one view line; false when it draws none.
bool ViewFrames(const std::string& line) {
  ViewLine v;
  if (!ParseViewLine(line, &v)) return false;
  for (int k = 0; k < v.frames; ++k) {
    Frame(ViewAngle(v.lon, v.dlon, k), ViewAngle(v.lat, v.dlat, k));
  }
  return v.frames > 0;
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc < kFixed + 2) Usage(kProgram.usage);
  char** fixed = argv + argc - kFixed;
  if (IsDash(fixed[0])) {
    int n;
    if (!ReadWhole(fixed[0] + 1, &n)) NotANumber(fixed[0]);
    if (n < 1 || n > kMaxSide) FailLine("bad size.");
    size = n;
  } else {
    scale = RealArgument(fixed[0]);
    if (!(scale > 0) || !std::isfinite(scale)) FailLine("bad scale.");
  }
  CheckLook(fixed + 1);
  InputFiles inputs;
  NoteInput(&inputs, "-");  // the view lines
  for (char** name = argv + 1; name < fixed; ++name) {
    if (IsDash(*name)) {
      // "-FILE" names a polyline list; "-" alone would be standard input, the views'.
      if ((*name)[1] == '\0') Fail("%s : standard input holds the view lines.\n", *name);
      NoteInputFile(&inputs, *name + 1);
    } else {
      NoteInput(&inputs, *name);
    }
  }
  CheckOutput(inputs, fixed[12]);

  ReadInputs(argv + 1, argc - 1 - kFixed);
  if (facets == nullptr) FailLine("no facet");
  Bound();
  if (!boxed) FailLine("no facet");  // nothing finite to draw

  const double dx = xmax - xmin, dy = ymax - ymin, dz = zmax - zmin;
  const double diag = std::sqrt(dx * dx + dy * dy + dz * dz);
  if (size > 0) {
    scale = size / diag;
  } else {
    const double n = std::ceil(diag * scale);
    if (!(n <= kMaxSide)) FailLine("bad scale.");
    size = std::max(1, static_cast<int>(n));  // a single point still gets a pixel
  }
  NewPicture(size, size);
  OpenPicture(fixed[12]);

  DrawInputLines(ViewFrames, "no view line (warning).\n");
  ClosePicture();
  return 0;
}
