// meshsolve: the equivalent ellipsoid of a closed STL model taken as a solid of
// uniform density: the ellipsoid of the same volume and the same second moments.
// Prints the volume, then the nine parameters "xO yO zO lon lat rot A B C" that the
// sphere generators take.
//
// The direction of one principal axis is searched numerically (a one-degree grid,
// then a downhill simplex); the other two axes follow in closed form. The default
// build finds the longest axis (reported as C, with A < B), the build with
// MESHSOLVE_SHORT_AXIS the shortest (reported as C, with A > B).
#include <cmath>

#include "common/numbers.h"
#include "common/program.h"
#include "mesh/stl.h"
#include "solver/simplex.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_file {x0 y0 z0}",
#if defined(MESHSOLVE_SHORT_AXIS)
    "Prints the volume and the equivalent ellipsoid of a closed STL model, shortest axis as C.",
#else
    "Prints the volume and the equivalent ellipsoid of a closed STL model, longest axis as C.",
#endif
    "STL_file\tthe closed STL model read, ASCII or binary (\"-\": standard input)\n"
    "x0 y0 z0\tthe centre of the ellipsoid (else the model's centroid)\n"};

constexpr double kPi = 3.141592653589793;
constexpr double kStep = 0.017453292519943295;  // one degree in radians
constexpr double kDegrees = 57.29577951308232;  // radians to degrees
constexpr int kSimplexSteps = 1024;
constexpr int kAngles = 2;  // the search runs over longitude and latitude

// Second moments about the centre and their trace: the state Evaluate reads.
double Sxx, Syy, Szz, Sxy, Syz, Szx, T;

// Running sums over the facets, each facet taken as the tetrahedron it spans with
// the origin: W is six times the signed volume, M the first moments times 24 V,
// K the second moments times 60 (all about the origin).
struct Moments {
  double W = 0;
  double Mx = 0, My = 0, Mz = 0;
  double Kxx = 0, Kyy = 0, Kzz = 0, Kxy = 0, Kyz = 0, Kzx = 0;
};

// Sum of the products of one coordinate pair over the tetrahedron's corners:
// u1 v1 + u2 v2 + u3 v3 + (u1 v2 + u2 v3 + u3 v1 + u1 v3 + u2 v1 + u3 v2) / 2.
double Cross(double u1, double u2, double u3, double v1, double v2, double v3) {
  return u1 * v1 + u2 * v2 + u3 * v3 +
         0.5 * (u1 * v2 + u2 * v3 + u3 * v1 + u1 * v3 + u2 * v1 + u3 * v2);
}

double Square(double u1, double u2, double u3) {
  return u1 * u1 + u2 * u2 + u3 * u3 + u1 * u2 + u2 * u3 + u1 * u3;
}

void AddFacet(Moments* s, const float v[9]) {
  const double x1 = v[0], y1 = v[1], z1 = v[2];
  const double x2 = v[3], y2 = v[4], z2 = v[5];
  const double x3 = v[6], y3 = v[7], z3 = v[8];
  // det[P1; P2; P3] in extended precision: six times the tetrahedron's signed volume.
  const long double lx1 = x1, ly1 = y1, lz1 = z1;
  const double m = static_cast<double>(lx1 * y2 * z3 + ly1 * z2 * x3 + lz1 * x2 * y3 -
                                       x3 * lz1 * y2 - ly1 * x2 * z3 - y3 * lx1 * z2);
  s->W += m;
  s->Mx += m * (x1 + x2 + x3);
  s->My += m * (y1 + y2 + y3);
  s->Mz += m * (z1 + z2 + z3);
  s->Kxx += m * Square(x1, x2, x3);
  s->Kyy += m * Square(y1, y2, y3);
  s->Kzz += m * Square(z1, z2, z3);
  s->Kxy += m * Cross(x1, x2, x3, y1, y2, y3);
  s->Kyz += m * Cross(y1, y2, y3, z1, z2, z3);
  s->Kzx += m * Cross(z1, z2, z3, x1, x2, x3);
}

// A semi-axis from a second moment per volume. Rounding can leave a moment of a very
// thin model slightly below 0, which means a semi-axis of 0.
double Root(double x) { return x < 0 ? 0.0 : std::sqrt(x); }

// The objective at vertex (longitude, latitude): the moment of inertia about that
// direction (long-axis build) or the second moment along it (short-axis build).
// Directions outside the half sphere searched score the trace, the worst value.
void Evaluate(double* vertex) {
  const double phi = vertex[1], theta = vertex[2];
  if (!(phi > -kPi && phi <= kPi) || !(theta >= 0 && theta <= kPi / 2)) {
    vertex[0] = T;
    return;
  }
  const double a = std::cos(phi), b = std::sin(phi), c = std::cos(theta), e = std::sin(theta);
  const double q = c * c * (a * a * Sxx + b * b * Syy + 2 * a * b * Sxy) +
                   2 * e * c * (a * Szx + b * Syz) + e * e * Szz;
#if defined(MESHSOLVE_SHORT_AXIS)
  vertex[0] = q;
#else
  vertex[0] = T - q;
#endif
}

// The best direction on the one-degree grid: longitudes from 180 degrees down to just
// above -180, latitudes from 90 down to 1. Ties keep the earlier grid point. The
// angles step by repeated subtraction and are tested before they are stored.
void CoarseSearch(double* bestPhi, double* bestTheta) {
  double best = T;
  *bestPhi = kPi;
  *bestTheta = kPi / 2;
  double vertex[1 + kAngles];
  double phi = kPi;
  for (;;) {
    double theta = kPi / 2;
    for (;;) {
      vertex[1] = phi;
      vertex[2] = theta;
      Evaluate(vertex);
      if (vertex[0] < best) {
        best = vertex[0];
        *bestPhi = phi;
        *bestTheta = theta;
      }
      const long double next = static_cast<long double>(theta) - kStep;
      if (!(next >= 0)) break;
      theta = static_cast<double>(next);
    }
    const long double next = static_cast<long double>(phi) - kStep;
    if (!(next > -kPi)) break;
    phi = static_cast<double>(next);
  }
}

// The simplex's three vertices (value, longitude, latitude).
double V0[1 + kAngles], V1[1 + kAngles], V2[1 + kAngles];

// The moment sums of the model in file name; a model cut short gives no ellipsoid.
Moments ReadMoments(const char* name) {
  FILE* stream = OpenInput(name);
  if (stream == nullptr) Fail("%s : STL file not found.\n", name);
  STLReader reader;
  if (SetUpSTL(&reader, stream) != 1) Fail("%s : STL header read error.\n", name);
  Moments s;
  float v[9];
  while (ScanSTLCorners(&reader, v) == 1) {
    AddFacet(&s, v);
  }
  RequireSTLEnd(&reader, name);
  CloseInput(stream);
  return s;
}

// The second moments about the centre o (Sxx ... Szx and their trace T) of a solid of
// volume V and centroid c with the moment sums s: about the centroid, then moved to o
// by the parallel-axis terms V d d^T (d = o - c, 0 when o is the centroid).
void CentreMoments(const Moments& s, double V, const double c[3], const double o[3]) {
  const double cx = c[0], cy = c[1], cz = c[2];
  const double dx = o[0] - cx, dy = o[1] - cy, dz = o[2] - cz;
  Sxx = s.Kxx / 60 - V * cx * cx + V * dx * dx;
  Syy = s.Kyy / 60 - V * cy * cy + V * dy * dy;
  Szz = s.Kzz / 60 - V * cz * cz + V * dz * dz;
  Sxy = s.Kxy / 60 - V * cx * cy + V * dx * dy;
  Syz = s.Kyz / 60 - V * cy * cz + V * dy * dz;
  Szx = s.Kzx / 60 - V * cz * cx + V * dz * dx;
  T = Sxx + Syy + Szz;
}

// The searched axis: the grid's best direction refined by the simplex. Its longitude
// and latitude in radians, and the objective there.
struct Axis {
  double phi, theta, Q;
};

Axis SearchAxis() {
  double phi, theta;
  CoarseSearch(&phi, &theta);
  V0[1] = phi;
  V0[2] = theta;
  V1[1] = phi + kStep;
  V1[2] = theta;
  V2[1] = phi;
  V2[2] = theta - kStep;
  double* const vertices[1 + kAngles] = {V0, V1, V2};
  double result[1 + kAngles];
  Simplex(kAngles, vertices, Evaluate, kSimplexSteps, result);
  return {result[1], result[2], result[0]};
}

// The ellipsoid's semi-axes (A and B across the searched axis, C along it) and its
// turn rot about the axis, radians, for a solid of volume V.
struct Semiaxes {
  double A, B, C, rot;
};

Semiaxes SolveAxes(const Axis& axis, double V) {
  const double Q = axis.Q;
#if defined(MESHSOLVE_SHORT_AXIS)
  const double C = Root(5 * Q / V);
#else
  const double C = Root(5 * (T - Q) / V);
#endif

  // The two unit vectors across the axis, E = (b, -a, 0) and N = (r a, r b, -t), and
  // the second moments of the model along them.
  const double a = std::cos(axis.phi), b = std::sin(axis.phi);
  const double t = std::cos(axis.theta), r = std::sin(axis.theta);
  const double sNN = r * r * (a * a * Sxx + b * b * Syy + 2 * a * b * Sxy) -
                     2 * r * t * (a * Szx + b * Syz) + t * t * Szz;
  const double sEE = a * a * Syy + b * b * Sxx - 2 * a * b * Sxy;
  const double sEN = r * (a * b * (Sxx - Syy) - (a * a - b * b) * Sxy) - t * (b * Szx - a * Syz);

  // In the (E, N) plane the moments along the principal directions are mean +- R;
  // w is twice the angle of the larger one from E.
  const double x = (sEE - sNN) / 2;
  double w = std::atan2(sEN, x);
  const double R = std::cos(w) * x + std::sin(w) * sEN;
  const double mean = (sEE + sNN) / 2;
  double A, B;
#if defined(MESHSOLVE_SHORT_AXIS)
  if (R >= 0) {
    A = Root(5 * (mean + R) / V);
    B = Root(5 * (mean - R) / V);
    if (w < 0) w += 2 * kPi;
  } else {
    A = Root(5 * (mean - R) / V);
    B = Root(5 * (mean + R) / V);
    w += kPi;
  }
#else
  if (R > 0) {
    A = Root(5 * (mean - R) / V);
    B = Root(5 * (mean + R) / V);
    w += kPi;
  } else {
    A = Root(5 * (mean + R) / V);
    B = Root(5 * (mean - R) / V);
    if (w < 0) w += 2 * kPi;
  }
#endif
  return {A, B, C, w / 2};
}

// The volume, then "xO yO zO", "lon lat rot" in degrees and "A B C", tab-separated.
void PrintEllipsoid(double V, const double o[3], const Axis& axis, const Semiaxes& e) {
  std::printf("%lf\n%lg\t%lg\t%lg\n%lg\t%lg\t%lg\n%lg\t%lg\t%lg\n", V, o[0], o[1], o[2],
              axis.phi * kDegrees, axis.theta * kDegrees, e.rot * kDegrees, e.A, e.B, e.C);
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc != 2 && argc != 5) Usage(kProgram.usage);
  const bool given = argc == 5;
  double point[3] = {0, 0, 0};
  if (given) {
    for (int i = 0; i < 3; ++i) point[i] = RealArgument(argv[2 + i]);
  }

  const Moments s = ReadMoments(argv[1]);
  // Not a number (an overflowed sum) is no volume either.
  if (!(s.W > 0)) Fail("non-positive total volume.\n");
  const double V = s.W / 6;
  const double centroid[3] = {s.Mx / (24 * V), s.My / (24 * V), s.Mz / (24 * V)};
  const double* centre = given ? point : centroid;
  CentreMoments(s, V, centroid, centre);

  const Axis axis = SearchAxis();
  PrintEllipsoid(V, centre, axis, SolveAxes(axis, V));
  FinishOutput();
  return 0;
}
