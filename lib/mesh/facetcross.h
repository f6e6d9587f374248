// The cross product of a facet's edges in extended precision.
//
//   FacetCross(v)    v holds x1 y1 z1 x2 y2 z2 x3 y3 z3; gives c = (v2 - v1) x (v3 - v1),
//                    the facet's area vector times two (|c| is twice its area)
//   Length(c)        |c|
//   CornerCross(x1, y1, z1, x2, y2, z2, x3, y3, z3)
//                    the same for corners given as doubles, in the same arithmetic:
//                    for corners that are floats, FacetCross's bits
//   EdgeCross(ax, ay, az, bx, by, bz, c)
//                    c = a x b in double arithmetic, for the code whose results were
//                    always made in doubles (its bits differ from the extended ones)
// The float differences and the products are taken in long double, so that the
// sums built from them lose as little as possible on large, finely divided models.
#pragma once

#include <cmath>

struct Cross {
  long double x, y, z;
};

inline Cross FacetCross(const float v[9]) {
  const long double ax = static_cast<long double>(v[3]) - v[0];
  const long double ay = static_cast<long double>(v[4]) - v[1];
  const long double az = static_cast<long double>(v[5]) - v[2];
  const long double bx = static_cast<long double>(v[6]) - v[0];
  const long double by = static_cast<long double>(v[7]) - v[1];
  const long double bz = static_cast<long double>(v[8]) - v[2];
  return {ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
}

inline long double Length(const Cross& c) { return std::sqrt(c.x * c.x + c.y * c.y + c.z * c.z); }

inline Cross CornerCross(double x1, double y1, double z1, double x2, double y2, double z2,
                         double x3, double y3, double z3) {
  const long double ax = static_cast<long double>(x2) - x1;
  const long double ay = static_cast<long double>(y2) - y1;
  const long double az = static_cast<long double>(z2) - z1;
  const long double bx = static_cast<long double>(x3) - x1;
  const long double by = static_cast<long double>(y3) - y1;
  const long double bz = static_cast<long double>(z3) - z1;
  return {ay * bz - az * by, az * bx - ax * bz, ax * by - ay * bx};
}

inline void EdgeCross(double ax, double ay, double az, double bx, double by, double bz,
                      double c[3]) {
  c[0] = ay * bz - az * by;
  c[1] = az * bx - ax * bz;
  c[2] = ax * by - ay * bx;
}
