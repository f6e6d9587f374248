// meshsolve in both builds: messages, exact figures for simple solids, the moments of
// the reported ellipsoid, and round trips through icosasphere.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/cases.h"
#include "support/run.h"
#include "support/stlfiles.h"

namespace {

constexpr double kDegree = 0.017453292519943295;
using Vec = std::array<double, 3>;
using Matrix = std::array<double, 9>;  // row by row

// The ten numbers meshsolve prints.
struct Solution {
  double volume = 0;
  Vec centre{};
  double lon = 0, lat = 0, rot = 0;
  Vec axis{};  // A, B, C
};

::testing::AssertionResult ParseSolution(const RunResult& r, Solution* s) {
  if (r.status != 0) return ::testing::AssertionFailure() << "status " << r.status << ": " << r.err;
  int n = std::sscanf(r.out.c_str(), "%lf %lf %lf %lf %lf %lf %lf %lf %lf %lf", &s->volume,
                      &s->centre[0], &s->centre[1], &s->centre[2], &s->lon, &s->lat, &s->rot,
                      &s->axis[0], &s->axis[1], &s->axis[2]);
  if (n != 10) return ::testing::AssertionFailure() << "not ten numbers:\n" << r.out;
  return ::testing::AssertionSuccess();
}

Solution Solve(const std::string& program, const std::vector<std::string>& args,
               const std::string& input = "") {
  Solution s;
  EXPECT_TRUE(ParseSolution(::Run(program, args, input), &s));
  return s;
}

// The unit directions of the A, B and C axes of an ellipsoid given as lon, lat, rot
// (degrees): C at (lon, lat); A = cos(rot) E + sin(rot) N and B = -sin(rot) E +
// cos(rot) N with E = (sin lon, -cos lon, 0) and N = (sin lat cos lon, sin lat sin lon,
// -cos lat).
std::array<Vec, 3> Axes(double lon, double lat, double rot) {
  const double sl = std::sin(lon * kDegree), cl = std::cos(lon * kDegree);
  const double sa = std::sin(lat * kDegree), ca = std::cos(lat * kDegree);
  const double sr = std::sin(rot * kDegree), cr = std::cos(rot * kDegree);
  const Vec e{sl, -cl, 0}, n{sa * cl, sa * sl, -ca};
  Vec a, b;
  for (int i = 0; i < 3; ++i) {
    a[i] = cr * e[i] + sr * n[i];
    b[i] = -sr * e[i] + cr * n[i];
  }
  return {a, b, Vec{cl * ca, sl * ca, sa}};
}

// Second moments of the solid ellipsoid: sum over the axes of V a^2 / 5 u u^T.
Matrix Moments(const Solution& s) {
  const auto axes = Axes(s.lon, s.lat, s.rot);
  Matrix m{};
  for (int k = 0; k < 3; ++k) {
    const double w = s.volume * s.axis[k] * s.axis[k] / 5;
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m[3 * i + j] += w * axes[k][i] * axes[k][j];
    }
  }
  return m;
}

::testing::AssertionResult NearMatrix(const Matrix& expected, const Matrix& actual, double tol) {
  double scale = 0, worst = 0;
  for (int i = 0; i < 9; ++i) {
    scale = std::max(scale, std::fabs(expected[i]));
    worst = std::max(worst, std::fabs(expected[i] - actual[i]));
  }
  if (worst <= tol * scale) return ::testing::AssertionSuccess();
  ::testing::AssertionResult f = ::testing::AssertionFailure();
  f << "moments differ by " << worst << "\nexpected / actual:\n";
  for (int i = 0; i < 9; ++i) f << expected[i] << " / " << actual[i] << (i % 3 == 2 ? "\n" : "   ");
  return f;
}

// The angle in degrees between two axes, taken without sign.
double AxisAngle(const Vec& u, const Vec& v) {
  double dot = 0, uu = 0, vv = 0;
  for (int i = 0; i < 3; ++i) {
    dot += u[i] * v[i];
    uu += u[i] * u[i];
    vv += v[i] * v[i];
  }
  return std::acos(std::min(1.0, std::fabs(dot) / std::sqrt(uu * vv))) / kDegree;
}

// A box [0, sx] x [0, sy] x [0, sz] with outward facets.
std::string Box(float sx, float sy, float sz) {
  auto facets = UnitCube();
  for (auto& f : facets) {
    for (int k = 0; k < 9; k += 3) {
      f.v[k] *= sx;
      f.v[k + 1] *= sy;
      f.v[k + 2] *= sz;
    }
  }
  return BinarySTL(facets);
}

// Every facet turned inside out (vertices 2 and 3 swapped, the normal reversed).
std::string Inverted(std::vector<TestFacet> facets) {
  for (auto& f : facets) {
    for (int i = 0; i < 3; ++i) {
      std::swap(f.v[3 + i], f.v[6 + i]);
      f.n[i] = -f.n[i];
    }
  }
  return BinarySTL(facets);
}

// Second moments of the 2 x 4 x 8 box about its centre: V s^2 / 12 per side s.
constexpr double kBoxVolume = 64;
Matrix BoxMoments() {
  return {kBoxVolume * 4 / 12, 0, 0, 0, kBoxVolume * 16 / 12, 0, 0, 0, kBoxVolume * 64 / 12};
}

}  // namespace

TEST(Meshsolve, UsageAndInputErrors) {
  Scratch dir;
  dir.Write("short.stl", "solid x\n");
  std::vector<RunCase> cases = {
      {{"meshsolve", dir.Path("missing.stl")},
       dir.Path("missing.stl") + " : STL file not found.\n"},
      {{"meshsolve", "short.stl"}, "short.stl : STL header read error.\n"},
      {{"meshsolve", "-"}, "- : STL header read error.\n", 1, "tiny"},
  };
  for (const std::string program : {"meshsolve", "meshsolve-short"}) {
    const std::string usage = "usage : " + program + " STL_file {x0 y0 z0}\n";
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {}, {"a", "1"}, {"a", "1", "2"}, {"a", "1", "2", "3", "4"}}) {
      args.insert(args.begin(), program);
      cases.push_back({args, usage, 1, "", ""});
    }
  }
  ExpectRuns(dir.path, cases);
}

// Inside-out facets, an empty model and a model whose sums are not numbers have no
// positive volume; nothing is printed on standard output.
TEST(Meshsolve, RejectsModelsWithoutPositiveVolume) {
  auto nan = UnitCube();
  nan[3].v[4] = std::nanf("");
  for (const std::string& model : {Inverted(UnitCube()), BinarySTL({}), BinarySTL(nan)}) {
    for (const std::string program : {"meshsolve", "meshsolve-short"}) {
      auto r = ::Run(program, {"-"}, model);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "non-positive total volume.\n");
      EXPECT_EQ(r.out, "");
    }
  }
}

// The unit cube: every direction scores the same, so only the volume, the centre and
// the three equal semi-axes sqrt(5/12) carry information. ASCII and binary agree.
TEST(Meshsolve, UnitCube) {
  for (const std::string& model : {BinarySTL(UnitCube()), AsciiSTL(UnitCube())}) {
    for (const std::string program : {"meshsolve", "meshsolve-short"}) {
      auto r = ::Run(program, {"-"}, model);
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.out.substr(0, r.out.find('\n', 9) + 1), "1.000000\n0.5\t0.5\t0.5\n");
      EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1),
                "0.645497\t0.645497\t0.645497\n");
    }
  }
}

// The long-axis build finds the 8 side along z (latitude 90, the grid's first row),
// with A (shorter) along x; the short-axis build finds the 2 side along x.
TEST(Meshsolve, BoxInBothBuilds) {
  Scratch dir;
  dir.Write("box.stl", Box(2, 4, 8));
  const double a = std::sqrt(5.0 / 12);
  Solution s;
  auto r = ::Run("meshsolve", {"box.stl"}, "", dir.path);
  ASSERT_TRUE(ParseSolution(r, &s));
  EXPECT_EQ(r.out.substr(0, 16), "64.000000\n1\t2\t4\n");
  EXPECT_NEAR(s.lat, 90, 1e-6);
  EXPECT_NEAR(s.axis[0], 2 * a, 1e-5);
  EXPECT_NEAR(s.axis[1], 4 * a, 1e-5);
  EXPECT_NEAR(s.axis[2], 8 * a, 1e-5);
  auto axes = Axes(s.lon, s.lat, s.rot);
  EXPECT_LT(AxisAngle(axes[0], {1, 0, 0}), 1e-3);
  EXPECT_TRUE(NearMatrix(BoxMoments(), Moments(s), 1e-5));

  r = ::Run("meshsolve-short", {"box.stl"}, "", dir.path);
  ASSERT_TRUE(ParseSolution(r, &s));
  EXPECT_NEAR(s.axis[0], 8 * a, 1e-5);
  EXPECT_NEAR(s.axis[1], 4 * a, 1e-5);
  EXPECT_NEAR(s.axis[2], 2 * a, 1e-5);
  axes = Axes(s.lon, s.lat, s.rot);
  EXPECT_LT(AxisAngle(axes[2], {1, 0, 0}), 0.01);
  EXPECT_LT(AxisAngle(axes[0], {0, 0, 1}), 0.01);
  EXPECT_TRUE(NearMatrix(BoxMoments(), Moments(s), 1e-5));
}

// Moments about a given point: at the centroid they are those of the plain run; at
// another point they grow by V d d^T (d from the centroid to the point).
TEST(Meshsolve, GivenPointAddsParallelAxisTerms) {
  Scratch dir;
  dir.Write("box.stl", Box(2, 4, 8));
  for (const std::string program : {"meshsolve", "meshsolve-short"}) {
    const Solution plain = Solve(program, {dir.Path("box.stl")});
    const Solution atCentre = Solve(program, {dir.Path("box.stl"), "1", "2", "4"});
    EXPECT_EQ(atCentre.centre, (Vec{1, 2, 4}));
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(atCentre.axis[i], plain.axis[i], 1e-5);
    EXPECT_TRUE(NearMatrix(Moments(plain), Moments(atCentre), 1e-5));

    const Solution moved = Solve(program, {dir.Path("box.stl"), "2", "3", "5"});
    EXPECT_EQ(moved.centre, (Vec{2, 3, 5}));
    Matrix expected = BoxMoments();
    for (double& e : expected) e += kBoxVolume;  // d = (1, 1, 1)
    EXPECT_TRUE(NearMatrix(expected, Moments(moved), 1e-4)) << program;
  }
}

// A very thin ellipsoid far from the origin: rounding leaves some moments slightly
// negative, which must read as a semi-axis of 0, never as "nan".
TEST(Meshsolve, ThinModelGivesZeroNotNan) {
  Scratch dir;
  auto g = ::Run("icosasphere", {"3", "100", "200", "300", "33", "44", "55", "1", "2", "1e-4",
                                 dir.Path("thin.stl")});
  ASSERT_EQ(g.status, 0) << g.err;
  for (const std::string program : {"meshsolve", "meshsolve-short"}) {
    auto r = ::Run(program, {dir.Path("thin.stl")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("nan"), std::string::npos) << r.out;
    Solution s;
    ASSERT_TRUE(ParseSolution(r, &s));
    EXPECT_TRUE(s.axis[0] == 0 || s.axis[1] == 0 || s.axis[2] == 0) << r.out;
  }
}

// icosasphere at level 5 and back: semi-axes within 1 %, every axis within 1 degree.
TEST(Meshsolve, RecoversGeneratedEllipsoids) {
  struct Case {
    Vec centre;
    double lon, lat, rot;
    Vec axis;  // A, B, C as the long-axis build orders them
  };
  const Case cases[] = {
      {{1, 2, 3}, 30, 40, 25, {1, 2, 3}},
      {{-5, 0.5, 12}, -120, 10, 150, {0.5, 0.8, 4}},
      {{0, 0, 0}, 75, 80, 60, {2, 3, 3.5}},
  };
  Scratch dir;
  for (const Case& c : cases) {
    const auto truth = Axes(c.lon, c.lat, c.rot);
    for (const bool shortAxis : {false, true}) {
      // The short-axis build reports the shortest axis as C and A as the longer of
      // the other two: generate the same axes with the lengths in that order.
      std::vector<std::string> args{"5"};
      for (double v : c.centre) args.push_back(std::to_string(v));
      for (double v : {c.lon, c.lat, c.rot}) args.push_back(std::to_string(v));
      const Vec axis = shortAxis ? Vec{c.axis[2], c.axis[1], c.axis[0]} : c.axis;
      for (double v : axis) args.push_back(std::to_string(v));
      args.push_back(dir.Path("e.stl"));
      auto g = ::Run("icosasphere", args);
      ASSERT_EQ(g.status, 0) << g.err;
      const Solution s = Solve(shortAxis ? "meshsolve-short" : "meshsolve", {dir.Path("e.stl")});
      for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(s.centre[i], c.centre[i], 1e-4);
        EXPECT_NEAR(s.axis[i], axis[i], 0.01 * axis[i]) << "axis " << i;
      }
      const auto found = Axes(s.lon, s.lat, s.rot);
      for (int k = 0; k < 3; ++k) {
        EXPECT_LT(AxisAngle(found[k], truth[k]), 1.0) << "axis " << k << " short " << shortAxis;
      }
    }
  }
}
