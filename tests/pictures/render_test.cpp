// The renderer (xyz) and polyline lists (line).
//
// Most tests look from longitude 0, latitude 0 (from +x toward -x): there the view
// axes are exact, column = trunc((y - ymin) Sh + 0.5), row = trunc((z - zmin) Sv + 0.5)
// and depth = trunc((x - xmin) Sd + 0.5), so pixels are easy to predict.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "render/line.h"
#include "render/xyz.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Call {
  int column, row;
  double x, y, z;
  int tag;
};
std::vector<Call> calls;
void A(int c, int r, double x, double y, double z) { calls.push_back({c, r, x, y, z, 0}); }
void B(int c, int r, double x, double y, double z) { calls.push_back({c, r, x, y, z, 1}); }

std::vector<std::pair<int, int>> Pixels() {
  std::vector<std::pair<int, int>> p;
  for (const Call& c : calls) p.emplace_back(c.column, c.row);
  return p;
}

// A 10 x 10 picture of the box x 0..1, y 0..9, z 0..9 seen from +x: one pixel per
// unit of y (columns) and z (rows), depth 65535 per unit of x.
struct Render : ::testing::Test {
  void SetUp() override {
    calls.clear();
    ASSERT_EQ(XYZInit(10, 10, 0, 0, 0, 0, 0, 1, 9, 9), 1);
  }
  void TearDown() override { XYZTerm(); }
};

TEST_F(Render, FirstDrawnKeepsEqualDepths) {
  XYZFill(0.5, 0, 0, 0.5, 9, 0, 0.5, 0, 9, A);
  const size_t first = calls.size();
  EXPECT_EQ(first, 55u);  // column + row <= 9
  XYZFill(0.5, 0, 0, 0.5, 9, 0, 0.5, 0, 9, B);
  EXPECT_EQ(calls.size(), first);
  XYZFill(0.5001, 0, 0, 0.5001, 9, 0, 0.5001, 0, 9, B);  // a little nearer: all of it
  EXPECT_EQ(calls.size(), 2 * first);
}

TEST_F(Render, FarLimitIsNeverDrawn) {
  XYZPlot(0, 4, 4, A);  // depth 0
  EXPECT_TRUE(calls.empty());
  XYZPlot(0.00001, 4, 4, A);  // depth trunc(0.66 + 0.5) = 1
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].column, 4);
  EXPECT_EQ(calls[0].row, 4);
  EXPECT_NEAR(calls[0].x, 1 / 65535.0, 1e-12);
}

TEST_F(Render, SegmentOnOnePixelIsDrawnOnceWithTheNearerEnd) {
  XYZDraw(0.2, 3, 3, 0.8, 3.1, 2.9, A);
  XYZDraw(0.7, 5, 5, 0.3, 5, 5, A);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(Pixels(), (std::vector<std::pair<int, int>>{{3, 3}, {5, 5}}));
  EXPECT_NEAR(calls[0].x, 0.8, 1e-4);
  EXPECT_NEAR(calls[1].x, 0.7, 1e-4);
  // Reconstructed at the pixel's centre, not at the point drawn.
  EXPECT_NEAR(calls[0].y, 3, 1e-12);
  EXPECT_NEAR(calls[0].z, 3, 1e-12);
}

TEST_F(Render, SegmentsIncludeBothEnds) {
  XYZDraw(0.9, 0, 0, 0.9, 4, 2, A);  // columns major
  EXPECT_EQ(Pixels(), (std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}));
  calls.clear();
  XYZDraw(1, 0, 0, 1, 2, 4, B);  // rows major, nearer than the first
  EXPECT_EQ(Pixels(), (std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}}));
  calls.clear();
  XYZDraw(1, 9, 9, 1, 6, 6, B);  // 45 degrees, backward: one row per step
  EXPECT_EQ(Pixels(), (std::vector<std::pair<int, int>>{{9, 9}, {8, 8}, {7, 7}, {6, 6}}));
}

TEST_F(Render, SegmentDepthRunsBetweenItsEnds) {
  XYZDraw(1, 0, 1, 0.5, 8, 1, A);
  ASSERT_EQ(calls.size(), 9u);
  EXPECT_NEAR(calls.front().x, 1, 1e-4);
  EXPECT_NEAR(calls.back().x, 0.5, 1e-4);
  for (size_t i = 1; i < calls.size(); ++i) EXPECT_LT(calls[i].x, calls[i - 1].x);
}

TEST_F(Render, TriangleOnALineOfPixelsDrawsNothing) {
  XYZFill(1, 0, 0, 1, 2, 2, 1, 4, 4, A);
  XYZFill(1, 0, 0, 1, 2.1, 2.3, 1, 4, 4, A);      // rounds onto the same line
  XYZFill(1, 3, 3, 1, 3.2, 3.1, 1, 2.9, 3.3, A);  // one pixel
  EXPECT_TRUE(calls.empty());
}

TEST_F(Render, NullCallbackStillFillsTheDepthBuffer) {
  XYZFill(0.5, 0, 0, 0.5, 9, 0, 0.5, 0, 9, nullptr);
  XYZFill(0.5, 0, 0, 0.5, 9, 0, 0.5, 0, 9, A);
  XYZFill(0.4, 0, 0, 0.4, 9, 0, 0.4, 0, 9, A);
  XYZPlot(0.5, 1, 1, A);
  EXPECT_TRUE(calls.empty());
}

TEST_F(Render, PixelsOutsideThePictureAreLeftOut) {
  XYZPlot(1, 10, 4, A);  // column 10 of 0..9
  XYZPlot(1, 4, -2, A);  // row trunc(-1.5) = -1
  EXPECT_TRUE(calls.empty());
  XYZDraw(1, -20, 4, 1, 30, 4, A);
  EXPECT_EQ(calls.size(), 10u);
}

TEST_F(Render, PointsBeyondTheNearFaceStayNearest) {
  // Rounding may put a point a hair outside the box: depth 65536 must not wrap to 0.
  XYZPlot(1.00001, 2, 2, A);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NEAR(calls[0].x, 1, 1e-9);
}

TEST_F(Render, CoordinatesNotFiniteAreLeftOut) {
  XYZPlot(kNaN, 1, 1, A);
  XYZPlot(1, kInf, 1, A);
  XYZDraw(1, 1, 1, 1, kNaN, 5, A);
  XYZFill(1, 0, 0, 1, 9, 0, 1, 0, -kInf, A);
  EXPECT_TRUE(calls.empty());
}

TEST(RenderFill, EdgeFunctionsDecideEveryPixel) {
  // Whatever the size of a triangle and however it is searched, the pixels drawn are
  // those of its bounding box (within the picture) where the three edge functions are
  // all >= 0, each once.
  std::mt19937 rng(5);
  for (int t = 0; t < 3000; ++t) {
    const int reach = t % 3 == 0 ? 6 : t % 3 == 1 ? 20 : 90;  // some beyond the picture
    int v[6];
    for (int& x : v) x = static_cast<int>(rng() % reach) - (reach > 60 ? 15 : 0);
    // Columns and rows as the renderer maps them: trunc(y + 0.5), toward zero.
    auto pixel = [](int x) { return static_cast<int64_t>(x + 0.5); };
    const int64_t c1 = pixel(v[0]), r1 = pixel(v[1]), c2 = pixel(v[2]), r2 = pixel(v[3]),
                  c3 = pixel(v[4]), r3 = pixel(v[5]);
    const int64_t area = c1 * r2 + c2 * r3 + c3 * r1 - c3 * r2 - c2 * r1 - c1 * r3;
    std::set<std::pair<int, int>> expected;
    for (int c = 0; c < 64 && area != 0; ++c) {
      for (int r = 0; r < 64; ++r) {
        const int64_t s = area < 0 ? -1 : 1;
        if (s * ((c - c1) * (r1 - r2) + (r - r1) * (c2 - c1)) >= 0 &&
            s * ((c - c2) * (r2 - r3) + (r - r2) * (c3 - c2)) >= 0 &&
            s * ((c - c3) * (r3 - r1) + (r - r3) * (c1 - c3)) >= 0) {
          expected.insert({c, r});
        }
      }
    }
    calls.clear();
    ASSERT_EQ(XYZInit(64, 64, 0, 0, 0, 0, 0, 1, 63, 63), 1);
    XYZFill(1, v[0], v[1], 1, v[2], v[3], 1, v[4], v[5], A);
    XYZTerm();
    const std::vector<std::pair<int, int>> drawn = Pixels();
    ASSERT_EQ(drawn.size(), expected.size()) << "triangle " << t;
    ASSERT_EQ((std::set<std::pair<int, int>>(drawn.begin(), drawn.end())), expected)
        << "triangle " << t;
  }
}

TEST(RenderBox, NoDepthExtentIsAllNearest) {
  // A plate seen face-on: every point at the nearest depth, the first one kept.
  calls.clear();
  ASSERT_EQ(XYZInit(10, 10, 0, 0, 2, 0, 0, 2, 9, 9), 1);
  XYZFill(2, 0, 0, 2, 9, 0, 2, 0, 9, A);
  XYZFill(2, 0, 0, 2, 9, 0, 2, 0, 9, B);
  XYZTerm();
  ASSERT_EQ(calls.size(), 55u);
  for (const Call& c : calls) {
    ASSERT_EQ(c.tag, 0);
    ASSERT_EQ(c.x, 2);
  }
  // From straight above, the plate z = 0 has a depth extent of rounding only (cos of
  // 90 degrees is 6e-17): still none, so its edge at x = 0 is not lost at depth 0.
  calls.clear();
  ASSERT_EQ(XYZInit(10, 10, 0, kPi / 2, 0, 0, 0, 9, 9, 0), 1);
  XYZFill(0, 0, 0, 9, 0, 0, 9, 9, 0, A);
  XYZFill(0, 0, 0, 9, 9, 0, 0, 9, 0, A);
  XYZTerm();
  EXPECT_EQ(calls.size(), 100u);
}

TEST(RenderBox, NoHorizontalOrVerticalExtentIsColumnOrRowZero) {
  calls.clear();
  ASSERT_EQ(XYZInit(10, 10, 0, 0, 0, 3, 0, 1, 3, 9), 1);  // no y extent
  XYZDraw(1, 3, 0, 1, 3, 9, A);
  XYZTerm();
  ASSERT_EQ(calls.size(), 10u);
  for (const Call& c : calls) {
    EXPECT_EQ(c.column, 0);
    EXPECT_EQ(c.y, 3);
    EXPECT_TRUE(std::isfinite(c.x) && std::isfinite(c.z));
  }
  calls.clear();
  ASSERT_EQ(XYZInit(1, 1, 0, 0, 0, 0, 0, 0, 0, 0), 1);  // a single point
  XYZPlot(0, 0, 0, A);
  XYZTerm();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].x, 0);
  EXPECT_EQ(calls[0].y, 0);
  EXPECT_EQ(calls[0].z, 0);
}

TEST(RenderBox, WidePicturesKeepTheirTriangles) {
  // 50,000 pixels a side: twice the area and the edge functions run past 2^31 here.
  calls.clear();
  if (XYZInit(50000, 50000, 0, 0, 0, 0, 0, 1, 49999, 49999) != 1) {
    GTEST_SKIP() << "no memory for a 50000 x 50000 depth buffer";
  }
  XYZFill(1, 49990, 49990, 1, 49999, 49990, 1, 49999, 49999, A);
  XYZTerm();
  EXPECT_EQ(calls.size(), 55u);
  for (const Call& c : calls) {
    ASSERT_GE(c.column, c.row);
    ASSERT_GE(c.row, 49990);
  }
}

TEST(RenderInit, NoPixelsIsNotReady) {
  EXPECT_EQ(XYZInit(0, 5, 0, 0, 0, 0, 0, 1, 1, 1), 0);
  EXPECT_EQ(XYZInit(5, -1, 0, 0, 0, 0, 0, 1, 1, 1), 0);
}

TEST(RenderSide, CosineToTheView) {
  EXPECT_DOUBLE_EQ(XYZSide(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1), 1);   // normal +x, seen from +x
  EXPECT_DOUBLE_EQ(XYZSide(0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0), -1);  // the other winding
  EXPECT_EQ(XYZSide(0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0), 0);          // edge-on
  EXPECT_EQ(XYZSide(0.3, 0.2, 1, 1, 1, 2, 2, 2, 3, 3, 3), 0);      // no area
  EXPECT_NEAR(XYZSide(0, kPi / 3, 0, 0, 0, 1, 0, 0, 0, 1, 0), std::sin(kPi / 3), 1e-15);
}

TEST(RenderSide, FacingAgreesWithTheCosine) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> coordinate(-2, 2), angle(-4, 4);
  for (int i = 0; i < 20000; ++i) {
    double v[9];
    for (double& x : v) x = coordinate(random);
    if (i % 7 == 0) v[6] = v[3], v[7] = v[4], v[8] = v[5];  // no area
    const double lon = angle(random), lat = angle(random);
    const double side = XYZSide(lon, lat, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
    double s = -1;
    const bool facing =
        XYZFacing(lon, lat, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], &s);
    ASSERT_EQ(facing, side >= 0) << i;
    if (facing) {
      ASSERT_EQ(s, side) << i;
    }
  }
}

TEST(RenderWidth, ExtentsAlongTheViewAxes) {
  double w, h;
  XYZWidth(0, kPi / 2, 0, 0, 0, 2, 3, 5, &w, &h);  // from above: y across, x up
  EXPECT_NEAR(w, 3, 1e-12);
  EXPECT_NEAR(h, 2, 1e-12);
  XYZWidth(0, 0, 0, 0, 0, 2, 3, 5, &w, &h);  // from +x: y across, z up
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 5);
  EXPECT_DOUBLE_EQ(XYZRatio(0, 0, 0, 0, 0, 2, 3, 5), 5.0 / 3);
  XYZWidth(kPi / 4, 0, 0, 0, 0, 1, 1, 1, &w, &h);  // the square's diagonal
  EXPECT_NEAR(w, std::sqrt(2.0), 1e-12);
}

std::vector<std::pair<std::pair<int, int>, double>> shades;
void Shade(int c, int r, double s) { shades.push_back({{c, r}, s}); }

TEST(RenderShade, PlaneFacingTheLightIsBright) {
  shades.clear();
  ASSERT_EQ(XYZInit(10, 10, 0, 0, 0, 0, 0, 1, 9, 9), 1);
  XYZFill(0.5, 0, 0, 0.5, 9, 0, 0.5, 0, 9, nullptr);
  XYZShade(0, 0, Shade);
  XYZTerm();
  ASSERT_EQ(shades.size(), 55u);  // drawn pixels only
  for (const auto& [p, s] : shades) {
    ASSERT_GE(s, 0);
    ASSERT_LE(s, 1);
    // Away from the silhouette the surface is flat and faces the light.
    if (p.first >= 1 && p.second >= 1 && p.first + p.second <= 8) {
      EXPECT_DOUBLE_EQ(s, 1);
    }
  }
}

// ---- Polyline lists ----------------------------------------------------------------

Polyline* Read(const std::string& text) {
  FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  Polyline* list = ReadPolylines(f);
  std::fclose(f);
  return list;
}

TEST(Polylines, ReadsEveryPolylineInOrder) {
  Polyline* list = Read("2\n255 0 -1\n0 0 0\n1.5 2 3e1\n1 300 0 0 7 8 9 0 garbage");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count, 2);
  EXPECT_EQ(list->red, 255);
  EXPECT_EQ(list->blue, -1);
  EXPECT_EQ(list->xs[1], 1.5f);
  EXPECT_EQ(list->zs[1], 30.0f);
  ASSERT_NE(list->next, nullptr);
  EXPECT_EQ(list->next->count, 1);  // a single point
  EXPECT_EQ(list->next->red, 300);
  EXPECT_EQ(list->next->ys[0], 8.0f);
  EXPECT_EQ(list->next->next, nullptr);
  FreeLine(list);
}

TEST(Polylines, EmptyListsAndShortFilesGiveNothing) {
  EXPECT_EQ(Read(""), nullptr);
  EXPECT_EQ(Read("0 1 2 3"), nullptr);
  EXPECT_EQ(Read("-4"), nullptr);
  EXPECT_EQ(Read("x"), nullptr);
  EXPECT_EQ(Read("1 1 2"), nullptr);                      // colour incomplete
  EXPECT_EQ(Read("2 1 2 3 0 0 0 1 1"), nullptr);          // ends in a point
  EXPECT_EQ(Read("2 1 2 3 0 0 0 a b c"), nullptr);        // text for a point
  EXPECT_EQ(Read("1 1 1 1 0 0 0 2 1 1 1 5 5"), nullptr);  // a good one, then a short one
}

TEST(Polylines, HugeCountsTakeNoMoreThanTheText) {
  // 2^30 points of 4 bytes: the arrays grow with the points read, so the short text
  // fails at once without asking for gigabytes; a count past the int range saturates.
  EXPECT_EQ(Read("1073741824 1 2 3 0 0 0 1 1 1"), nullptr);
  EXPECT_EQ(Read("2147483647 1 2 3 0 0 0"), nullptr);
  EXPECT_EQ(Read("99999999999999999999 1 2 3 0 0 0"), nullptr);
}

}  // namespace
