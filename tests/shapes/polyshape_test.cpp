// The polyshape module, linked here with the icosahedron table (20 faces).
#include "shapes/polyshape.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using ::testing::ExitedWithCode;

double Dot(const double* u, const double* v) { return u[0] * v[0] + u[1] * v[1] + u[2] * v[2]; }

}  // namespace

TEST(Polyshape, FlagAndItsRange) {
  EXPECT_EQ(static_cast<uint16_t>(Flag("255", "0", "0")), 0xFC00);
  EXPECT_EQ(static_cast<uint16_t>(Flag("0", "0", "0")), 0x8000);  // black is a colour
  EXPECT_EQ(static_cast<uint16_t>(Flag("15", "16", "255")), 0x8000 | 1 << 10 | 2 << 5 | 31);
  EXPECT_EXIT(Flag("0", "256", "0"), ExitedWithCode(1), "^bad surface color\\.\n$");
  EXPECT_EXIT(Flag("0", "0", "-1"), ExitedWithCode(1), "^bad surface color\\.\n$");
}

// Levels run up to the last whose count 20 x 4^level fits in 32 bits: 13.
TEST(Polyshape, LevelAcceptsWhatTheCountFieldHolds) {
  EXPECT_EQ(Level("0"), 0);
  EXPECT_EQ(Level("13"), 13);
  EXPECT_EQ(Level("3.9"), 3);  // an integer is read; the rest of the word is ignored
  for (const char* bad : {"-1", "14", "32", "99999999999999999999", "x", "", "nan"}) {
    EXPECT_EXIT(Level(bad), ExitedWithCode(1), "^bad recursion level\\.\n$") << bad;
  }
}

// The rows of the matrix are the axes over the semi-axes: row 3 the unit vector at
// (lon, lat) over C, the rows mutually perpendicular. Bad radii are refused.
TEST(Polyshape, ParameterBuildsTheAxisMatrix) {
  const char* words[9] = {"1", "-2", "0.5", "30", "40", "25", "1", "2", "4"};
  ShapeParameters* s = Parameter(3, words, 7);
  EXPECT_EQ(s->level, 3);
  EXPECT_EQ(s->attribute, 7);
  EXPECT_EQ(s->yO, -2);
  const double* m = s->m;
  const double rad = 0.017453292519943295;
  EXPECT_NEAR(m[6], std::cos(30 * rad) * std::cos(40 * rad) / 4, 1e-15);
  EXPECT_NEAR(m[7], std::sin(30 * rad) * std::cos(40 * rad) / 4, 1e-15);
  EXPECT_NEAR(m[8], std::sin(40 * rad) / 4, 1e-15);
  EXPECT_NEAR(Dot(m, m), 1.0, 1e-15);
  EXPECT_NEAR(Dot(m + 3, m + 3), 1.0 / 4, 1e-15);
  EXPECT_NEAR(Dot(m, m + 3) + Dot(m, m + 6) + Dot(m + 3, m + 6), 0, 1e-15);
  delete s;
  for (const char* bad : {"0", "-1", "nan", "inf", "x"}) {
    words[7] = bad;
    EXPECT_EXIT(Parameter(0, words, 0), ExitedWithCode(1), "^bad axial radius\\.\n$") << bad;
  }
}

// Only 9, 10, 12 and 13 words make an ellipsoid; 10 and 13 bring their own level, 12
// and 13 their own colour. The total is counted in 64 bits.
TEST(Polyshape, ParameterLineWordCounts) {
  ShapeList list;
  for (const char* skipped : {"", "# comment", "0 0 0 0 0 0 1 1", "0 0 0 0 0 0 1 1 1 1 1",
                              "1 0 0 0 0 0 0 1 1 1 255 0 0 7"}) {
    EXPECT_FALSE(ParameterLine(skipped, 2, 0, &list)) << skipped;
  }
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
  EXPECT_EQ(list.total, 20u * (16 + 4 + 16 + 1));
  FreeShapes(&list);
  // Three of level 13 (3 x 1,342,177,280 facets) fit in 32 bits, a fourth does not.
  for (int i = 0; i < 3; ++i) ParameterLine("13 0 0 0 0 0 0 1 1 1", 0, 0, &list);
  EXPECT_EQ(list.total, 4026531840u);
  EXPECT_EXIT(ParameterLine("13 0 0 0 0 0 0 1 1 1", 0, 0, &list), ExitedWithCode(1),
              "^bad recursion level\\.\n$");
  FreeShapes(&list);
}
