// The downhill simplex: single steps checked point by point, then whole searches.
#include "solver/simplex.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

int calls = 0;

// 3 - x - y: a plane falling towards +x and +y.
void Plane(double* v) {
  ++calls;
  v[0] = 3 - v[1] - v[2];
}

// 0 within 0.1 of the origin, 1 everywhere else: nothing but the best vertex is ever
// good enough, so every step must shrink.
void Well(double* v) { v[0] = (v[1] * v[1] + v[2] * v[2] < 0.01) ? 0 : 1; }

// A narrow valley with its floor at (1, -2).
void Valley(double* v) {
  const double x = v[1] - 1, y = v[2] + 2;
  v[0] = x * x + 25 * (y - 0.3 * x) * (y - 0.3 * x);
}

void Expect(const double* v, double value, double x, double y) {
  EXPECT_DOUBLE_EQ(v[0], value);
  EXPECT_DOUBLE_EQ(v[1], x);
  EXPECT_DOUBLE_EQ(v[2], y);
}

}  // namespace

// Values 3, 2, 1: vertex 0 is the worst and must be the one reflected (a scan that
// never picks a worst vertex would leave the simplex stuck). The reflection (2, 1)
// beats the best, so the expansion (3, 1.5) is tried and kept.
TEST(Simplex, FirstVertexWorstIsReflectedAndExpanded) {
  double a[3] = {0, 0, 0}, b[3] = {0, 1, 0}, c[3] = {0, 1, 1}, result[3];
  double* const v[3] = {a, b, c};
  calls = 0;
  Simplex(2, v, Plane, 1, result);
  EXPECT_EQ(calls, 5);  // three start values, the reflection, the expansion
  Expect(a, -1.5, 3, 1.5);
  Expect(b, 2, 1, 0);
  Expect(c, 1, 1, 1);
  Expect(result, -1.5, 3, 1.5);
}

// Reflection and contraction both fail: the two other vertices move halfway to the
// best one.
TEST(Simplex, ShrinksTowardsBestWhenNothingImproves) {
  double a[3] = {0, 1, 0}, b[3] = {0, 0, 0}, c[3] = {0, 0, 1}, result[3];
  double* const v[3] = {a, b, c};
  Simplex(2, v, Well, 1, result);
  Expect(a, 1, 0.5, 0);
  Expect(b, 0, 0, 0);
  Expect(c, 1, 0, 0.5);
  Expect(result, 0, 0, 0);
}

TEST(Simplex, FindsTheFloorOfANarrowValley) {
  double a[3] = {0, -3, 4}, b[3] = {0, -2.9, 4}, c[3] = {0, -3, 3.9}, result[3];
  double* const v[3] = {a, b, c};
  Simplex(2, v, Valley, 1024, result);
  EXPECT_NEAR(result[1], 1, 1e-6);
  EXPECT_NEAR(result[2], -2, 1e-6);
  EXPECT_LT(result[0], 1e-12);
}
