// The tetrahedron of tetrasphere: 4 vertices on the unit sphere, 4 faces.
#include "shapes/polyshape.h"

namespace {

constexpr double s = 0.816496580927726;   // sqrt(2/3)
constexpr double e = 0.9428090415820634;  // 2 sqrt(2) / 3
constexpr double f = 0.4714045207910317;  // sqrt(2) / 3
constexpr double third = 0.3333333333333333;

constexpr double vertex[4][3] = {
    {0, -e, -third},
    {-s, f, -third},
    {s, f, -third},
    {0, 0, 1},
};

constexpr ShapeFace F(int i, int j, int l) { return {{vertex[i], vertex[j], vertex[l]}}; }

// Counter-clockwise seen from outside.
constexpr ShapeFace face[4] = {
    F(0, 1, 2),
    F(0, 2, 3),
    F(0, 3, 1),
    F(1, 3, 2),
};

}  // namespace

int Polyhedron(const ShapeFace** faces) {
  *faces = face;
  return 4;
}
