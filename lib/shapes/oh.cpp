// The octahedron of octasphere: 6 vertices on the unit sphere, 8 faces.
#include "shapes/polyshape.h"

namespace {

constexpr double s = 0.816496580927726;   // sqrt(2/3)
constexpr double h = 0.408248290463863;   // 1 / sqrt(6)
constexpr double q = 0.7071067811865476;  // 1 / sqrt(2)
constexpr double t = 0.5773502691896257;  // 1 / sqrt(3)

constexpr double vertex[6][3] = {
    {s, 0, -t}, {-h, -q, -t}, {-h, q, -t},  //
    {h, q, t},  {h, -q, t},   {-s, 0, t},
};

constexpr ShapeFace F(int i, int j, int l) { return {{vertex[i], vertex[j], vertex[l]}}; }

// Counter-clockwise seen from outside.
constexpr ShapeFace face[8] = {
    F(0, 1, 2), F(0, 2, 3), F(0, 3, 4), F(0, 4, 1), F(1, 4, 5), F(1, 5, 2), F(2, 5, 3), F(3, 5, 4),
};

}  // namespace

int Polyhedron(const ShapeFace** faces) {
  *faces = face;
  return 8;
}
