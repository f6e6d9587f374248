// meshturn: flat-shaded pictures of STL models turning about axes through an origin,
// as one GIF file seen from one direction: one image per rotation angle read from
// standard input ("a b angle", or "a b angle step n" for n angles about the axis of
// longitude a and latitude b). Every frame is framed on the cube about the origin
// that holds the model in any orientation.
#include <algorithm>
#include <cmath>
#include <string>

#include "common/lines.h"
#include "common/numbers.h"
#include "common/program.h"
#include "render/scene.h"
#include "render/xyz.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM,
    "usage : " MESHPIX_PROGRAM
    " STL_files xO yO zO lon lat \\\n"
    "                               scale gamma bias \\\n"
    "                               bgR bgG bgB fgR fgG fgB scR scG scB GIF",
    "Draws STL models turning into a GIF file, one image a rotation line of standard input (\"a b "
    "angle {step n}\").",
    "STL_files\tthe STL models read (\"-\": standard input)\n"
    "xO yO zO\tthe origin the axes pass through\n"
    "lon lat\tthe direction the models are seen from, degrees\n"
    "scale\tpixels per model unit\n"
    "gamma\tthe shading gamma, above 0\n"
    "bias\tthe shading bias, 0 to 255\n"
    "bgR bgG bgB\tthe background colour, 0 to 255 each\n"
    "fgR fgG fgB\tthe colour of the box and the axis, 0 to 255 each (one below 0: none)\n"
    "scR scG scB\tthe colour of facets without one, 0 to 255 each\n"
    "GIF\tthe GIF file written (\"-\": standard output)\n"};
constexpr int kFixed = 18;       // xO yO zO lon lat scale gamma bias bg fg sc GIF
constexpr int kMaxSide = 65535;  // the largest picture side a GIF can hold

Facet* facets;
double xO, yO, zO;  // the origin of the rotations
double lon, lat;    // the view, radians
double C;           // the largest distance of a vertex from the origin
int W, H;           // picture size

double Distance(double dx, double dy, double dz, double current) {
  const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
  return d > current ? d : current;
}

// (x', y', z') = m (x, y, z), m in row order.
void Rotate(const double m[9], double x, double y, double z, double* rx, double* ry, double* rz) {
  *rx = m[0] * x + m[1] * y + m[2] * z;
  *ry = m[3] * x + m[4] * y + m[5] * z;
  *rz = m[6] * x + m[7] * y + m[8] * z;
}

// A picture side in whole pixels: at least 1 (a model that is a single point), at
// most what a GIF holds.
int Side(double extent, double scale) {
  const double n = std::ceil(scale * extent);
  if (!(n <= kMaxSide)) FailLine("bad scale.");
  return std::max(1, static_cast<int>(n));
}

struct Axis {
  double e1[3], e2[3], e3[3];  // e3 along the axis, e1 x e2 = e3
  double A[3];                 // the axis segment runs from -A to A on the cube's faces
};

Axis MakeAxis(double a, double b) {
  Axis x = {{-std::sin(a), std::cos(a), 0},
            {-std::cos(a) * std::sin(b), -std::sin(a) * std::sin(b), std::cos(b)},
            {std::cos(a) * std::cos(b), std::sin(a) * std::cos(b), std::sin(b)},
            {}};
  const double m = std::max({std::fabs(x.e3[0]), std::fabs(x.e3[1]), std::fabs(x.e3[2])});
  for (int i = 0; i < 3; ++i) x.A[i] = C / m * x.e3[i];
  return x;
}

void Frame(const Axis& axis, double theta) {
  // The turn by theta about e3: M = e1 e1'^T + e2 e2'^T + e3 e3^T.
  double e1p[3], e2p[3], m[9];
  for (int i = 0; i < 3; ++i) {
    e1p[i] = std::cos(theta) * axis.e1[i] - std::sin(theta) * axis.e2[i];
    e2p[i] = std::sin(theta) * axis.e1[i] + std::cos(theta) * axis.e2[i];
  }
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      m[3 * i + j] = axis.e1[i] * e1p[j] + axis.e2[i] * e2p[j] + axis.e3[i] * axis.e3[j];
    }
  }

  BeginFrame(W, H, lon, lat, -C, -C, -C, C, C, C);
  // Facets with coordinates that are not finite face no way and are left out.
  for (const Facet* f = facets; f != nullptr; f = f->next) {
    double p[9];
    Rotate(m, f->x1 - xO, f->y1 - yO, f->z1 - zO, &p[0], &p[1], &p[2]);
    Rotate(m, f->x2 - xO, f->y2 - yO, f->z2 - zO, &p[3], &p[4], &p[5]);
    Rotate(m, f->x3 - xO, f->y3 - yO, f->z3 - zO, &p[6], &p[7], &p[8]);
    DrawFacet(lon, lat, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], f->attribute);
  }
  if (ShowBox()) {
    DrawBox(-C, -C, -C, C, C, C);
    DrawEdge(-axis.A[0], -axis.A[1], -axis.A[2], axis.A[0], axis.A[1], axis.A[2]);
  }
  EndFrame();
}

// The frames of one rotation line; false when it draws none.
bool TurnFrames(const std::string& line) {
  TurnLine t;
  if (!ParseTurnLine(line, &t)) return false;
  const Axis axis = MakeAxis(t.lon * kDegree, t.lat * kDegree);
  for (int k = 0; k < t.frames; ++k) Frame(axis, TurnAngle(t.angle, t.step, k));
  return t.frames > 0;
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc < kFixed + 2) Usage(kProgram.usage);
  char** fixed = argv + argc - kFixed;
  xO = RealArgument(fixed[0]);
  yO = RealArgument(fixed[1]);
  zO = RealArgument(fixed[2]);
  lon = RealArgument(fixed[3]) * kDegree;
  lat = RealArgument(fixed[4]) * kDegree;
  const double scale = RealArgument(fixed[5]);
  if (!(scale > 0) || !std::isfinite(scale)) FailLine("bad scale.");
  CheckLook(fixed + 6);
  InputFiles inputs;
  NoteInput(&inputs, "-");  // the rotation lines
  for (char** name = argv + 1; name < fixed; ++name) NoteInput(&inputs, *name);
  CheckOutput(inputs, fixed[17]);

  Facet** tail = &facets;
  for (int i = 1; i < argc - kFixed; ++i) {
    *tail = ReadModel(argv[i]);
    while (*tail != nullptr) tail = &(*tail)->next;
  }

  for (const Facet* f = facets; f != nullptr; f = f->next) {
    if (!FacetIsFinite(f)) continue;
    C = Distance(f->x1 - xO, f->y1 - yO, f->z1 - zO, C);
    C = Distance(f->x2 - xO, f->y2 - yO, f->z2 - zO, C);
    C = Distance(f->x3 - xO, f->y3 - yO, f->z3 - zO, C);
  }
  double wc, hc;
  XYZWidth(lon, lat, -C, -C, -C, C, C, C, &wc, &hc);
  W = Side(wc, scale);
  H = Side(hc, scale);
  NewPicture(W, H);
  PlaceView(0, H - 1);
  OpenPicture(fixed[17]);

  DrawInputLines(TurnFrames, "no rotation line (warning).\n");
  ClosePicture();
  return 0;
}
