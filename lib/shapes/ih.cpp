// The icosahedron of icosasphere: 12 vertices on the unit sphere, 20 faces; it rests
// on a face (vertices 0, 1, 2 share the lowest z).
#include "shapes/polyshape.h"

namespace {

constexpr double a = 0.6070619982066863;
constexpr double b = 0.7946544722917661;
constexpr double c = 0.30353099910334314;
constexpr double d = 0.5257311121191336;
constexpr double g = 0.49112347318842303;
constexpr double k = 0.8506508083520399;
constexpr double m = 0.1875924740850799;
constexpr double n = 0.9822469463768461;

constexpr double vertex[12][3] = {
    {-a, 0, -b}, {c, d, -b},  {c, -d, -b}, {-g, -k, -m},  //
    {-n, 0, m},  {-g, k, -m}, {g, k, m},   {n, 0, -m},    //
    {g, -k, m},  {-c, -d, b}, {-c, d, b},  {a, 0, b},
};

constexpr ShapeFace F(int i, int j, int l) { return {{vertex[i], vertex[j], vertex[l]}}; }

// Counter-clockwise seen from outside.
constexpr ShapeFace face[20] = {
    F(0, 1, 2),  F(0, 2, 3),   F(0, 3, 4),  F(0, 4, 5),  F(0, 5, 1),  F(1, 5, 6),   F(1, 6, 7),
    F(1, 7, 2),  F(2, 7, 8),   F(2, 8, 3),  F(3, 8, 9),  F(3, 9, 4),  F(4, 9, 10),  F(4, 10, 5),
    F(5, 10, 6), F(6, 10, 11), F(6, 11, 7), F(7, 11, 8), F(8, 11, 9), F(9, 11, 10),
};

}  // namespace

int Polyhedron(const ShapeFace** faces) {
  *faces = face;
  return 20;
}
