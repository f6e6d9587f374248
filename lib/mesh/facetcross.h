// The cross product of a facet's edges in extended precision.
//
//   FacetCross(v)    v holds x1 y1 z1 x2 y2 z2 x3 y3 z3; gives c = (v2 - v1) x (v3 - v1),
//                    the facet's area vector times two (|c| is twice its area)
//   Length(c)        |c|
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
