#include "shapes/polyshape.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "common/bytes.h"
#include "common/lines.h"
#include "common/numbers.h"
#include "common/program.h"
#include "mesh/colour.h"
#include "mesh/facetcross.h"
#include "mesh/stlwrite.h"

namespace {

constexpr double kRadians = 0.017453292519943295;  // one degree
constexpr uint64_t kMaxFacets = 0xFFFFFFFF;        // the 32-bit count field of binary STL
constexpr int kMaxWords = 13;                      // the longest parameter line

// Binary STL as written, the count known before the first facet:
//   offset  size  field
//   0       80    header: zeros
//   80      4     facet count, little-endian
//   84+50i  50    normal, vertex 1, 2, 3 (twelve floats), attribute word

// Facet records are gathered here and handed to the stream in large blocks.
constexpr size_t kBlockRecords = 4096;
unsigned char block[kBlockRecords * kSTLRecordSize];
size_t used = 0;  // bytes of block in use
FILE* out = nullptr;
const char* outName = "";
const ShapeParameters* shape = nullptr;  // the ellipsoid being drawn

[[noreturn]] void NotStored() { Fail("%s : STL file not stored.\n", outName); }

void FlushBlock() {
  if (used > 0 && std::fwrite(block, 1, used, out) != used) NotStored();
  used = 0;
}

// The largest level whose facet count F 4^level fits in the count field.
int MaxLevel() {
  const ShapeFace* faces;
  const uint64_t f = static_cast<uint64_t>(Polyhedron(&faces));
  int level = 0;
  while ((f << (2 * (level + 1))) <= kMaxFacets) ++level;
  return level;
}

uint64_t FacetCount(int level) {
  const ShapeFace* faces;
  return static_cast<uint64_t>(Polyhedron(&faces)) << (2 * level);
}

// One facet of deformed points: the normal of (b - a) x (c - a), then the points. The
// normal is worked out in doubles from the double points, not from the stored floats,
// so it is not CalcNormal's.
void PutFacet(const double a[3], const double b[3], const double c[3]) {
  double e[3];
  EdgeCross(b[0] - a[0], b[1] - a[1], b[2] - a[2], c[0] - a[0], c[1] - a[1], c[2] - a[2], e);
  double nx, ny, nz;
  Normalize(e[0], e[1], e[2], &nx, &ny, &nz);
  const float values[12] = {
      static_cast<float>(nx),   static_cast<float>(ny),   static_cast<float>(nz),
      static_cast<float>(a[0]), static_cast<float>(a[1]), static_cast<float>(a[2]),
      static_cast<float>(b[0]), static_cast<float>(b[1]), static_cast<float>(b[2]),
      static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2])};
  if (used + kSTLRecordSize > sizeof block) FlushBlock();
  PackSTLFacet(block + used, values, shape->attribute);
  used += kSTLRecordSize;
}

void Midpoint(const double* p, const double* q, double* m) {
  Normalize((p[0] + q[0]) * 0.5, (p[1] + q[1]) * 0.5, (p[2] + q[2]) * 0.5, &m[0], &m[1], &m[2]);
}

// The last kPatchLevel levels of a subdivision are done on a grid of the points of one
// triangle, so that each point is computed and deformed once rather than once per
// facet that shares it. The grid holds the same values the plain recursion would
// compute: a point on an edge is always the normalised midpoint of the same two
// points, and the sum of two points does not depend on their order.
constexpr int kPatchLevel = 4;
constexpr int kPatchSize = 1 << kPatchLevel;

// Point (i, j) of a triangle (P1, P2, P3) split into n = 2^level: P1 + i/n steps
// towards P2 and j/n towards P3, before the midpoints are pushed out to the sphere.
struct GridPoint {
  int i, j;
};
double grid[kPatchSize + 1][kPatchSize + 1][3];
bool known[kPatchSize + 1][kPatchSize + 1];

GridPoint Between(GridPoint a, GridPoint b) { return {(a.i + b.i) / 2, (a.j + b.j) / 2}; }

// Fills the grid points of the triangle (a, b, c) split level times.
void Split(int level, GridPoint a, GridPoint b, GridPoint c) {
  if (level == 0) return;
  const GridPoint m12 = Between(a, b), m23 = Between(b, c), m31 = Between(c, a);
  for (auto [m, p, q] : {std::array{m12, a, b}, std::array{m23, b, c}, std::array{m31, c, a}}) {
    if (known[m.i][m.j]) continue;
    Midpoint(grid[p.i][p.j], grid[q.i][q.j], grid[m.i][m.j]);
    known[m.i][m.j] = true;
  }
  Split(level - 1, m12, m23, m31);
  Split(level - 1, a, m12, m31);
  Split(level - 1, b, m23, m12);
  Split(level - 1, c, m31, m23);
}

// Writes the facets of the triangle (a, b, c) split level times, from the deformed grid.
void Emit(int level, GridPoint a, GridPoint b, GridPoint c) {
  if (level == 0) {
    PutFacet(grid[a.i][a.j], grid[b.i][b.j], grid[c.i][c.j]);
    return;
  }
  const GridPoint m12 = Between(a, b), m23 = Between(b, c), m31 = Between(c, a);
  Emit(level - 1, m12, m23, m31);
  Emit(level - 1, a, m12, m31);
  Emit(level - 1, b, m23, m12);
  Emit(level - 1, c, m31, m23);
}

// The triangle p[0..2], p[3..5], p[6..8] on the unit sphere, split level times into
// four: the centre triangle first, then the corners at the first, second and third
// point, all with the parent's orientation. Midpoints are taken on the unit sphere;
// only the final facets are deformed.
void Draw(int level, const double p[9]) {
  if (level > kPatchLevel) {
    double m[9];  // M12, M23, M31
    Midpoint(p, p + 3, m);
    Midpoint(p + 3, p + 6, m + 3);
    Midpoint(p + 6, p, m + 6);
    const double* t[4][3] = {
        {m, m + 3, m + 6}, {p, m, m + 6}, {p + 3, m + 3, m}, {p + 6, m + 6, m + 3}};
    for (const auto& child : t) {
      double c[9];
      for (int k = 0; k < 3; ++k) std::memcpy(c + 3 * k, child[k], 3 * sizeof(double));
      Draw(level - 1, c);
    }
    return;
  }
  const int n = 1 << level;
  const GridPoint a{0, 0}, b{n, 0}, c{0, n};
  std::memset(known, 0, sizeof known);
  std::memcpy(grid[a.i][a.j], p, 3 * sizeof(double));
  std::memcpy(grid[b.i][b.j], p + 3, 3 * sizeof(double));
  std::memcpy(grid[c.i][c.j], p + 6, 3 * sizeof(double));
  Split(level, a, b, c);
  float f[3];
  for (int i = 0; i <= n; ++i) {
    for (int j = 0; i + j <= n; ++j) {
      double* q = grid[i][j];
      Deform(&q[0], &q[1], &q[2], &f[0], &f[1], &f[2]);
    }
  }
  Emit(level, a, b, c);
}

}  // namespace

int Level(const char* text) {
  char* end;
  const long long value = std::strtoll(text, &end, 10);  // saturates when out of range
  if (end == text || value < 0 || value > MaxLevel()) Fail("bad recursion level.\n");
  return static_cast<int>(value);
}

int16_t Flag(const char* r, const char* g, const char* b) {
  return static_cast<int16_t>(SurfaceColourWord(r, g, b));
}

ShapeParameters* Parameter(int level, const char* const w[9], int16_t attribute) {
  // A radius must be a finite number above 0 (not "nan", not "inf").
  const double radius[3] = {ParseReal(w[6]), ParseReal(w[7]), ParseReal(w[8])};
  for (double r : radius) {
    if (!InRange(r, std::numeric_limits<double>::denorm_min(),
                 std::numeric_limits<double>::max())) {
      Fail("bad axial radius.\n");
    }
  }
  auto* s = new (std::nothrow) ShapeParameters;
  if (s == nullptr) Fail("memory allocation error.\n");
  s->level = level;
  s->xO = ParseReal(w[0]);
  s->yO = ParseReal(w[1]);
  s->zO = ParseReal(w[2]);
  const double lon = ParseReal(w[3]) * kRadians, lat = ParseReal(w[4]) * kRadians,
               rot = ParseReal(w[5]) * kRadians;
  const double sl = std::sin(lon), cl = std::cos(lon);
  const double sa = std::sin(lat), ca = std::cos(lat);
  const double sr = std::sin(rot), cr = std::cos(rot);
  const double A = radius[0], B = radius[1], C = radius[2];
  // Row 3 is the unit vector at (lon, lat), the axis of C; rows 1 and 2 span the plane
  // across it, turned by rot.
  s->m[0] = (cr * sl + sr * cl * sa) / A;
  s->m[1] = (sr * sl * sa - cr * cl) / A;
  s->m[2] = -sr * ca / A;
  s->m[3] = (cr * cl * sa - sl * sr) / B;
  s->m[4] = (cl * sr + cr * sl * sa) / B;
  s->m[5] = -cr * ca / B;
  s->m[6] = cl * ca / C;
  s->m[7] = sl * ca / C;
  s->m[8] = sa / C;
  s->attribute = attribute;
  s->next = nullptr;
  return s;
}

void AddShape(ShapeList* list, ShapeParameters* s) {
  // Appended first, so that the list owns the record even when the count is refused.
  if (list->tail == nullptr) {
    list->head = s;
  } else {
    list->tail->next = s;
  }
  list->tail = s;
  list->total += FacetCount(s->level);
  if (list->total > kMaxFacets) Fail("bad recursion level.\n");
}

bool ParameterLine(std::string_view line, int level, int16_t attribute, ShapeList* list) {
  std::string_view views[kMaxWords];
  const int count = SplitWords(line, views, kMaxWords);
  if (count != 9 && count != 10 && count != 12 && count != 13) return false;
  std::string words[kMaxWords];
  for (int i = 0; i < count; ++i) words[i] = std::string(views[i]);
  // 10 and 13 words begin with a level, 12 and 13 end with a colour.
  const int first = (count == 10 || count == 13) ? 1 : 0;
  if (first == 1) level = Level(words[0].c_str());
  if (count >= 12)
    attribute =
        Flag(words[first + 9].c_str(), words[first + 10].c_str(), words[first + 11].c_str());
  const char* nine[9];
  for (int i = 0; i < 9; ++i) nine[i] = words[first + i].c_str();
  AddShape(list, Parameter(level, nine, attribute));
  return true;
}

void ReadParameterLines(FILE* stream, int level, int16_t attribute, ShapeList* list) {
  std::string line;
  while (ReadTextLine(stream, &line)) ParameterLine(line, level, attribute, list);
}

void FreeShapes(ShapeList* list) {
  while (list->head != nullptr) {
    ShapeParameters* next = list->head->next;
    delete list->head;
    list->head = next;
  }
  list->tail = nullptr;
  list->total = 0;
}

void Normalize(double x, double y, double z, double* nx, double* ny, double* nz) {
  const double length = std::sqrt(x * x + y * y + z * z);
  *nx = x / length;
  *ny = y / length;
  *nz = z / length;
}

void UseShape(const ShapeParameters* s) { shape = s; }

void Deform(double* x, double* y, double* z, float* fx, float* fy, float* fz) {
  const double* m = shape->m;
  const double u = m[0] * *x + m[1] * *y + m[2] * *z;
  const double v = m[3] * *x + m[4] * *y + m[5] * *z;
  const double w = m[6] * *x + m[7] * *y + m[8] * *z;
  const double L = std::sqrt(u * u + v * v + w * w);
  *x = *x / L + shape->xO;
  *y = *y / L + shape->yO;
  *z = *z / L + shape->zO;
  *fx = static_cast<float>(*x);
  *fy = static_cast<float>(*y);
  *fz = static_cast<float>(*z);
}

void WriteShapes(FILE* stream, const char* name, ShapeList* list) {
  out = stream;
  outName = name;
  PackSTLHeader(block, nullptr, static_cast<uint32_t>(list->total));  // zeros, the count
  used = kSTLHeaderSize;

  const ShapeFace* faces;
  const int count = Polyhedron(&faces);
  while (list->head != nullptr) {
    ShapeParameters* s = list->head;
    UseShape(s);
    // Faces from the last to the first.
    for (int f = count - 1; f >= 0; --f) {
      double p[9];
      for (int k = 0; k < 3; ++k) std::memcpy(p + 3 * k, faces[f].vertex[k], 3 * sizeof(double));
      Draw(s->level, p);
    }
    list->head = s->next;
    delete s;
  }
  list->tail = nullptr;
  UseShape(nullptr);
  FlushBlock();
}

int PolyShape(int argc, char** argv, const ProgramInfo& program) {
  StartProgram(argc, argv, program);
  // The number of words selects the form: an optional level first, the nine
  // parameters (else lines of standard input), an optional colour, the output last.
  const bool level = argc == 3 || argc == 6 || argc == 12 || argc == 15;
  const bool colour = argc == 5 || argc == 6 || argc == 14 || argc == 15;
  const bool nine = argc >= 11;
  if (argc != 2 && argc != 3 && argc != 5 && argc != 6 && argc != 11 && argc != 12 && argc != 14 &&
      argc != 15) {
    Usage(program.usage);
  }
  // The command line's numbers are numbers as a whole; the lines of standard input
  // keep their own, more lenient reading.
  if (level) WholeArgument(argv[1]);
  if (nine) {
    for (int i = 0; i < 9; ++i) RealArgument(argv[(level ? 2 : 1) + i]);
  }
  if (colour) {
    for (int i = argc - 4; i < argc - 1; ++i) WholeArgument(argv[i]);
  }
  if (!nine) CheckOutput(argv[argc - 1], "-");  // the parameter lines come from standard input
  const int depth = level ? Level(argv[1]) : 0;
  const int first = level ? 2 : 1;  // the first parameter word
  const int16_t attribute =
      colour ? Flag(argv[argc - 4], argv[argc - 3], argv[argc - 2]) : static_cast<int16_t>(0);

  ShapeList list;
  if (nine) {
    AddShape(&list, Parameter(depth, argv + first, attribute));
  } else {
    ReadParameterLines(stdin, depth, attribute, &list);
    if (list.total == 0) Fail("no parameter.\n");
  }

  const char* name = argv[argc - 1];
  FILE* stream = OpenOutput(name);
  if (stream == nullptr) Fail("%s : STL file not stored.\n", name);
  WriteShapes(stream, name, &list);
  if (!CloseOutput(stream)) Fail("%s : STL file not stored.\n", name);
  return 0;
}
