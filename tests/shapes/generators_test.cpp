// octasphere, icosasphere and tetrasphere as programs: argument forms, parameter lines
// on standard input, messages, and the facets they write.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/run.h"
#include "support/stlfiles.h"

namespace {

// The octahedron as the tables give it, and its faces.
constexpr double s = 0.816496580927726, h = 0.408248290463863, q = 0.7071067811865476,
                 t = 0.5773502691896257;
const double kOcta[6][3] = {{s, 0, -t}, {-h, -q, -t}, {-h, q, -t},
                            {h, q, t},  {h, -q, t},   {-s, 0, t}};
const int kOctaFaces[8][3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 1},
                              {1, 4, 5}, {1, 5, 2}, {2, 5, 3}, {3, 5, 4}};

const std::vector<std::string> kUnit = {"0", "0", "0", "0", "0", "0", "1", "1", "1"};

std::vector<std::string> Args(std::vector<std::string> before, std::vector<std::string> nine,
                              std::vector<std::string> after) {
  before.insert(before.end(), nine.begin(), nine.end());
  before.insert(before.end(), after.begin(), after.end());
  return before;
}

std::vector<TestFacet> Facets(const RunResult& r) {
  std::vector<TestFacet> facets;
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ParseBinarySTL(r.out, &facets)) << DescribeSTL(r.out);
  return facets;
}

void ExpectVertex(const TestFacet& f, int k, const double* p, const char* what) {
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(f.v[3 * k + i], p[i], 1e-6) << what << " vertex " << k;
}

void Mid(const double* a, const double* b, double* m) {
  double x = (a[0] + b[0]) * 0.5, y = (a[1] + b[1]) * 0.5, z = (a[2] + b[2]) * 0.5;
  double l = std::sqrt(x * x + y * y + z * z);
  m[0] = x / l;
  m[1] = y / l;
  m[2] = z / l;
}

// The stored normal is a unit vector and agrees with the vertex order.
void ExpectUnitNormal(const TestFacet& f) {
  const float* v = f.v;
  double u[3] = {v[3] - v[0], v[4] - v[1], v[5] - v[2]};
  double w[3] = {v[6] - v[0], v[7] - v[1], v[8] - v[2]};
  double c[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
  double lc = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
  EXPECT_NEAR(f.n[0] * f.n[0] + f.n[1] * f.n[1] + f.n[2] * f.n[2], 1, 1e-6);
  EXPECT_GT((f.n[0] * c[0] + f.n[1] * c[1] + f.n[2] * c[2]) / lc, 0.9999);
}

}  // namespace

// Level 0, unit sphere at the origin: the eight faces of the table, last face first,
// with their unit normals; the rotation by lon = lat = rot = 0 maps the unit sphere
// onto itself point by point.
TEST(Generators, OctahedronLevelZeroInReverseTableOrder) {
  auto facets = Facets(::Run("octasphere", Args({}, kUnit, {"-"})));
  ASSERT_EQ(facets.size(), 8u);
  for (int i = 0; i < 8; ++i) {
    const int* face = kOctaFaces[7 - i];
    for (int k = 0; k < 3; ++k) ExpectVertex(facets[i], k, kOcta[face[k]], "facet");
    ExpectUnitNormal(facets[i]);
    EXPECT_EQ(facets[i].attribute, 0);
  }
}

// Level 1: per face the centre triangle (M12, M23, M31), then the corners at P1, P2, P3.
TEST(Generators, LevelOneCentreThenCorners) {
  auto facets = Facets(::Run("octasphere", Args({"1"}, kUnit, {"-"})));
  ASSERT_EQ(facets.size(), 32u);
  for (int i = 0; i < 8; ++i) {
    const int* face = kOctaFaces[7 - i];
    const double *p1 = kOcta[face[0]], *p2 = kOcta[face[1]], *p3 = kOcta[face[2]];
    double m12[3], m23[3], m31[3];
    Mid(p1, p2, m12);
    Mid(p2, p3, m23);
    Mid(p3, p1, m31);
    const double* expected[4][3] = {
        {m12, m23, m31}, {p1, m12, m31}, {p2, m23, m12}, {p3, m31, m23}};
    for (int c = 0; c < 4; ++c) {
      for (int k = 0; k < 3; ++k) ExpectVertex(facets[4 * i + c], k, expected[c][k], "child");
      ExpectUnitNormal(facets[4 * i + c]);
    }
  }
}

// F x 4^level facets, counted in the header, for each of the three programs.
TEST(Generators, FacetCountsAreFacesTimesFourToTheLevel) {
  const std::pair<std::string, uint32_t> programs[] = {
      {"octasphere", 8}, {"icosasphere", 20}, {"tetrasphere", 4}};
  for (const auto& [program, faces] : programs) {
    for (int level = 0; level <= 3; ++level) {
      auto r = ::Run(program, Args({std::to_string(level)}, kUnit, {"-"}));
      ASSERT_EQ(r.status, 0) << r.err;
      const uint64_t count = uint64_t{faces} << (2 * level);
      EXPECT_EQ(r.out.size(), 84 + 50 * count) << program << " level " << level;
      std::vector<TestFacet> facets;
      ASSERT_TRUE(ParseBinarySTL(r.out, &facets));
      for (const auto& f : facets) ExpectUnitNormal(f);
    }
  }
}

// A = B = C = r gives a sphere of radius r about the centre, whatever the angles.
TEST(Generators, EqualRadiiGiveASphere) {
  const std::vector<std::string> nine = {"1", "-2", "3", "37", "-51", "123", "2.5", "2.5", "2.5"};
  for (const std::string program : {"octasphere", "icosasphere", "tetrasphere"}) {
    auto facets = Facets(::Run(program, Args({"3"}, nine, {"-"})));
    ASSERT_FALSE(facets.empty());
    for (const auto& f : facets) {
      for (int k = 0; k < 9; k += 3) {
        const double x = f.v[k] - 1, y = f.v[k + 1] + 2, z = f.v[k + 2] - 3;
        EXPECT_NEAR(std::sqrt(x * x + y * y + z * z), 2.5, 1e-5);
      }
    }
  }
}

// lon 0, lat 90 puts C (3) along z; rot 0 puts A (1) along y and B (2) along x.
TEST(Generators, AxisAtTheNorthPoleStretchesAlongZ) {
  auto facets =
      Facets(::Run("icosasphere", {"4", "0", "0", "0", "0", "90", "0", "1", "2", "3", "-"}));
  double top[3] = {0, 0, 0};
  for (const auto& f : facets) {
    for (int k = 0; k < 9; k += 3) {
      const double x = f.v[k], y = f.v[k + 1], z = f.v[k + 2];
      EXPECT_NEAR(x * x / 4 + y * y + z * z / 9, 1, 1e-5);
      top[0] = std::max(top[0], std::fabs(x));
      top[1] = std::max(top[1], std::fabs(y));
      top[2] = std::max(top[2], std::fabs(z));
    }
  }
  EXPECT_NEAR(top[0], 2, 0.02);
  EXPECT_NEAR(top[1], 1, 0.01);
  EXPECT_NEAR(top[2], 3, 0.03);
}

// Every accepted word count; the colour goes into every attribute word.
TEST(Generators, CommandLineForms) {
  struct Form {
    std::vector<std::string> args;
    size_t facets;
    uint16_t attribute;
    std::string input = "";
  };
  const std::string unitLine = "0 0 0 0 0 0 1 1 1\n";
  const std::vector<Form> forms = {
      {Args({}, kUnit, {"-"}), 4, 0},
      {Args({"1"}, kUnit, {"-"}), 16, 0},
      {Args({}, kUnit, {"255", "0", "0", "-"}), 4, 0xFC00},
      {Args({"1"}, kUnit, {"8", "16", "255", "-out"}), 16, 0x8000 | 1 << 10 | 2 << 5 | 31},
      // The same forms with the parameters on standard input instead.
      {{"-"}, 4, 0, unitLine},
      {{"1", "-"}, 16, 0, unitLine},
      {{"0", "0", "255", "-"}, 4, 0x801F, unitLine},
  };
  for (const auto& form : forms) {
    auto facets = Facets(::Run("tetrasphere", form.args, form.input));
    ASSERT_EQ(facets.size(), form.facets) << form.args.size() << " words, input " << form.input;
    for (const auto& f : facets) EXPECT_EQ(f.attribute, form.attribute);
  }
  auto r = ::Run("tetrasphere", {"2", "0", "0", "255", "-"}, "1 0 0 0 0 0 0 1 1 1\n");
  EXPECT_EQ(Facets(r).size(), 16u);  // the line's own level wins
  // A file gets the bytes standard output gets.
  Scratch dir;
  ASSERT_EQ(::Run("tetrasphere", {"2", "0", "0", "255", dir.Path("e.stl")}, "1 0 0 0 0 0 0 1 1 1\n")
                .status,
            0);
  EXPECT_TRUE(EqualSTL(r.out, dir.Read("e.stl")));
}

TEST(Generators, UsageNamesTheProgramWithoutItsFolder) {
  for (const std::string program : {"octasphere", "icosasphere", "tetrasphere"}) {
    for (int words : {1, 4, 7, 8, 9, 10, 13, 16}) {
      auto r = ::Run(program, std::vector<std::string>(words - 1, "1"));
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "usage : " + program +
                           " {level} {xO yO zO lon lat rot A B C} {scR scG scB} STL_file\n");
      EXPECT_EQ(r.out, "");
    }
  }
}

TEST(Generators, BadValuesStopBeforeAnyOutput) {
  Scratch dir;
  const std::string out = dir.Path("out.stl");
  struct Case {
    std::string program;
    std::vector<std::string> args;
    std::string input, message;
  };
  const std::vector<Case> cases = {
      {"octasphere", {"0", "0", "0", "0", "0", "0", "0", "1", "1", out}, "", "bad axial radius.\n"},
      {"octasphere",
       {"0", "0", "0", "0", "0", "0", "1", "1", "nan", out},
       "",
       "nan : not a number.\n"},
      {"octasphere", Args({"-1"}, kUnit, {out}), "", "bad recursion level.\n"},
      {"octasphere", Args({"15"}, kUnit, {out}), "", "bad recursion level.\n"},
      {"icosasphere", Args({"14"}, kUnit, {out}), "", "bad recursion level.\n"},
      {"tetrasphere", Args({"15"}, kUnit, {out}), "", "bad recursion level.\n"},
      {"octasphere", Args({}, kUnit, {"256", "0", "0", out}), "", "bad surface color.\n"},
      {"octasphere", {out}, "", "no parameter.\n"},
      {"octasphere", {out}, "\n# ellipsoids\n1 2 3\n1 2 3 4 5 6 7 8 9 10 11\n", "no parameter.\n"},
      {"icosasphere", {out}, "0 0 0 0 0 0 1 1 1\n0 0 0 0 0 0 1 0 1\n", "bad axial radius.\n"},
      {"icosasphere", {out}, "-1 0 0 0 0 0 0 1 1 1\n", "bad recursion level.\n"},
      {"icosasphere", {out}, "0 0 0 0 0 0 1 1 1 0 300 0\n", "bad surface color.\n"},
      // Two of level 14 make 2^32 facets, one more than the count field holds.
      {"octasphere",
       {out},
       "14 0 0 0 0 0 0 1 1 1\n14 0 0 0 0 0 0 1 1 1\n",
       "bad recursion level.\n"},
  };
  for (const auto& c : cases) {
    auto r = ::Run(c.program, c.args, c.input);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.err, c.message) << c.input;
    EXPECT_FALSE(dir.Exists("out.stl")) << c.message;
  }
}

// Lines of icosasphere at levels 0 and 1: 20 + 80 facets in line order, each with the
// line's colour; lines of other word counts are skipped.
TEST(Generators, ParameterLinesInOrder) {
  const std::string input =
      "0 0 0 0 0 0 0 1 1 1 255 0 0\n"
      "a comment line\n"
      "\n"
      "1 5 0 0 0 0 0 1 1 1 0 255 0";  // the last line has no line feed
  auto facets = Facets(::Run("icosasphere", {"-"}, input));
  ASSERT_EQ(facets.size(), 100u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(facets[i].attribute, i < 20 ? 0xFC00 : 0x83E0) << i;
    EXPECT_EQ(facets[i].v[0] > 2.5f, i >= 20) << i;
  }
}

// A line is read whole however long it is, and words are never cut: a line of 18
// words, 9 of them after 3000 blanks, is skipped as one line (split, its tail would
// make an ellipsoid); a 200-character number is read in full.
TEST(Generators, LongLinesAndWordsAreReadWhole) {
  const std::string nine = "0 0 0 0 0 0 1 1 1";
  const std::string input =
      nine + std::string(3000, ' ') + nine + "\n" + std::string(199, '0') + "7 0 0 0 0 0 1 1 1\n";
  auto facets = Facets(::Run("tetrasphere", {"-"}, input));
  ASSERT_EQ(facets.size(), 4u);
  for (const auto& f : facets) {
    for (int k = 0; k < 9; k += 3) EXPECT_NEAR(f.v[k], 7, 1.0001);
  }
}

// A file that cannot be created or written is reported with its name.
TEST(Generators, WriteFailuresAreReported) {
  Scratch dir;
  const std::string missing = dir.Path("no/such/folder.stl");
  auto r = ::Run("octasphere", Args({}, kUnit, {missing}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, missing + " : STL file not stored.\n");
  for (const std::string level : {"0", "6"}) {  // short and long output
    r = ::Run("octasphere", Args({level}, kUnit, {"/dev/full"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "/dev/full : STL file not stored.\n");
  }
}
