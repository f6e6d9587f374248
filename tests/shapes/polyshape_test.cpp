// The polyshape module, linked here with the icosahedron table (20 faces).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "common/bytes.h"
#include "shapes/polyshape.h"

namespace {

using ::testing::ExitedWithCode;

ShapeParameters* Make(const char* lon, const char* lat, const char* rot, const char* a,
                      const char* b, const char* c) {
  const char* words[9] = {"1", "-2", "0.5", lon, lat, rot, a, b, c};
  return Parameter(3, words, 0);
}

double Dot(const double* u, const double* v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; }

}  // namespace

TEST(Polyshape, IcosahedronTableIsOnTheUnitSphereAndOutward) {
  const ShapeFace* faces;
  ASSERT_EQ(Polyhedron(&faces), 20);
  for (int f = 0; f < 20; ++f) {
    const double *p = faces[f].vertex[0], *q = faces[f].vertex[1], *r = faces[f].vertex[2];
    for (const double* v : {p, q, r}) EXPECT_NEAR(Dot(v, v), 1, 1e-15);
    // (q - p) x (r - p) points away from the centre: counter-clockwise from outside.
    const double u[3] = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
    const double w[3] = {r[0] - p[0], r[1] - p[1], r[2] - p[2]};
    const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                         u[0] * w[1] - u[1] * w[0]};
    EXPECT_GT(Dot(n, p), 0) << "face " << f;
  }
}

TEST(Polyshape, FlagPacksTheTopFiveBitsOfEachChannel) {
  EXPECT_EQ(static_cast<uint16_t>(Flag("255", "0", "0")), 0xFC00);
  EXPECT_EQ(static_cast<uint16_t>(Flag("0", "255", "0")), 0x83E0);
  EXPECT_EQ(static_cast<uint16_t>(Flag("0", "0", "255")), 0x801F);
  EXPECT_EQ(static_cast<uint16_t>(Flag("0", "0", "0")), 0x8000);  // black is a colour
  EXPECT_EQ(static_cast<uint16_t>(Flag("15", "16", "7")), 0x8000 | 1 << 10 | 2 << 5 | 0);
  EXPECT_EXIT(Flag("256", "0", "0"), ExitedWithCode(1), "^bad surface color\\.\n$");
  EXPECT_EXIT(Flag("0", "-1", "0"), ExitedWithCode(1), "^bad surface color\\.\n$");
  EXPECT_EXIT(Flag("0", "0", "99999999999"), ExitedWithCode(1), "^bad surface color\\.\n$");
}

// Levels run up to the last whose count 20 * 4^level fits in 32 bits: 13.
TEST(Polyshape, LevelAcceptsWhatTheCountFieldHolds) {
  EXPECT_EQ(Level("0"), 0);
  EXPECT_EQ(Level("13"), 13);
  EXPECT_EQ(Level("+2"), 2);
  EXPECT_EQ(Level("3.9"), 3);  // an integer is read; the rest of the word is ignored
  for (const char* bad : {"-1", "14", "32", "99999999999999999999", "x", "", "nan"}) {
    EXPECT_EXIT(Level(bad), ExitedWithCode(1), "^bad recursion level\\.\n$") << bad;
  }
}

// The rows of the matrix are the axes divided by the semi-axes: row 3 the unit vector
// at (lon, lat) over C, the rows mutually perpendicular.
TEST(Polyshape, ParameterBuildsTheAxisMatrix) {
  ShapeParameters* s = Make("30", "40", "25", "1", "2", "4");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->level, 3);
  EXPECT_EQ(s->xO, 1);
  EXPECT_EQ(s->yO, -2);
  EXPECT_EQ(s->zO, 0.5);
  const double* m = s->m;
  const double rad = 0.017453292519943295;
  EXPECT_NEAR(m[6], std::cos(30 * rad) * std::cos(40 * rad) / 4, 1e-15);
  EXPECT_NEAR(m[7], std::sin(30 * rad) * std::cos(40 * rad) / 4, 1e-15);
  EXPECT_NEAR(m[8], std::sin(40 * rad) / 4, 1e-15);
  EXPECT_NEAR(Dot(m, m), 1.0, 1e-15);
  EXPECT_NEAR(Dot(m + 3, m + 3), 1.0 / 4, 1e-15);
  EXPECT_NEAR(Dot(m + 6, m + 6), 1.0 / 16, 1e-15);
  EXPECT_NEAR(Dot(m, m + 3), 0, 1e-15);
  EXPECT_NEAR(Dot(m, m + 6), 0, 1e-15);
  EXPECT_NEAR(Dot(m + 3, m + 6), 0, 1e-15);
  delete s;
}

// Radii are checked A, B, C in that order, before anything is allocated; not-a-number
// and infinite radii are refused as well as 0 and negative ones.
TEST(Polyshape, ParameterRefusesBadRadii) {
  for (const char* bad : {"0", "-1", "nan", "inf", "1e999", "x"}) {
    EXPECT_EXIT(Make("0", "0", "0", "1", bad, "1"), ExitedWithCode(1), "^bad axial radius\\.\n$")
        << bad;
  }
}

// Deform moves a unit-sphere point along its ray onto the ellipsoid.
TEST(Polyshape, DeformLandsOnTheEllipsoid) {
  ShapeParameters* s = Make("-60", "15", "100", "0.5", "3", "2");
  UseShape(s);
  for (const auto& p : {std::array{1.0, 0.0, 0.0}, std::array{0.0, 0.6, -0.8},
                        std::array{-0.48, 0.6, 0.64}}) {
    double x = p[0], y = p[1], z = p[2];
    float fx, fy, fz;
    Deform(&x, &y, &z, &fx, &fy, &fz);
    const double d[3] = {x - s->xO, y - s->yO, z - s->zO};
    EXPECT_NEAR(Dot(s->m, d) * Dot(s->m, d) + Dot(s->m + 3, d) * Dot(s->m + 3, d) +
                    Dot(s->m + 6, d) * Dot(s->m + 6, d),
                1.0, 1e-14);
    EXPECT_NEAR(Dot(d, p.data()), std::sqrt(Dot(d, d)), 1e-14);  // same direction as p
    EXPECT_EQ(fx, static_cast<float>(x));
    EXPECT_EQ(fz, static_cast<float>(z));
  }
  UseShape(nullptr);
  delete s;
}

// Only 9, 10, 12 and 13 words make an ellipsoid; 10 and 13 bring their own level, 12
// and 13 their own colour.
TEST(Polyshape, ParameterLineWordCounts) {
  ShapeList list;
  EXPECT_FALSE(ParameterLine("", 2, 0, &list));
  EXPECT_FALSE(ParameterLine("# comment", 2, 0, &list));
  EXPECT_FALSE(ParameterLine("0 0 0 0 0 0 1 1", 2, 0, &list));
  EXPECT_FALSE(ParameterLine("0 0 0 0 0 0 1 1 1 1 1", 2, 0, &list));
  EXPECT_FALSE(ParameterLine("1 0 0 0 0 0 0 1 1 1 255 0 0 7", 2, 0, &list));
  EXPECT_TRUE(ParameterLine(" 0 0 0 0 0 0 1 1 1\r", 2, 5, &list));
  EXPECT_TRUE(ParameterLine("1\t0 0 0 0 0 0 1 1 1", 2, 5, &list));
  EXPECT_TRUE(ParameterLine("0 0 0 0 0 0 1 1 1 0 255 0", 2, 5, &list));
  EXPECT_TRUE(ParameterLine("0 0 0 0 0 0 0 1 1 1 0 0 255", 2, 5, &list));
  ShapeParameters* s = list.head;
  const int levels[4] = {2, 1, 2, 0};
  const uint16_t words[4] = {5, 5, 0x83E0, 0x801F};
  for (int i = 0; i < 4; ++i, s = s->next) {
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->level, levels[i]);
    EXPECT_EQ(static_cast<uint16_t>(s->attribute), words[i]);
  }
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(list.total, 20u * (16 + 4 + 16 + 1));
  FreeShapes(&list);
  EXPECT_EQ(list.head, nullptr);
}

// The total is counted in 64 bits: three ellipsoids of level 13 (3 x 1,342,177,280
// facets) fit in the 32-bit count, a fourth does not.
TEST(Polyshape, TotalBeyondTheCountFieldIsRefused) {
  ShapeList list;
  for (int i = 0; i < 3; ++i) ParameterLine("13 0 0 0 0 0 0 1 1 1", 0, 0, &list);
  EXPECT_EQ(list.total, 4026531840u);
  EXPECT_EXIT(ParameterLine("13 0 0 0 0 0 0 1 1 1", 0, 0, &list), ExitedWithCode(1),
              "^bad recursion level\\.\n$");
  FreeShapes(&list);
}

// The count comes first; every record is 50 bytes; the list is consumed.
TEST(Polyshape, WriteShapesPutsTheCountFirst) {
  ShapeList list;
  ParameterLine("1 0 0 0 0 0 0 1 1 1 255 255 255", 0, 0, &list);
  ParameterLine("0 0 0 0 0 0 1 1 1", 0, 0, &list);
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  WriteShapes(f, "tmp", &list);
  EXPECT_EQ(list.head, nullptr);
  std::fflush(f);
  EXPECT_EQ(std::ftell(f), 84 + 50 * 100);
  unsigned char header[84];
  std::rewind(f);
  ASSERT_EQ(std::fread(header, 1, 84, f), 84u);
  EXPECT_EQ(GetLE32(header + 80), 100u);
  for (int i = 0; i < 80; ++i) EXPECT_EQ(header[i], 0) << i;
  std::fclose(f);
}
