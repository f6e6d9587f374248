// meshtransform: applies the affine map
//   x' = h0 + hx x + hy y + hz z,  y' = v0 + vx x + vy y + vz z,  z' = d0 + dx x + dy y + dz z
// to every vertex and writes binary STL. The written normal is the linear part of the
// map applied to the facet's unit normal: not normalised again, not recomputed.
#include "common/numbers.h"
#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlcopy.h"
#include "mesh/stlwrite.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM,
    "usage : " MESHPIX_PROGRAM " orgSTL h0 hx hy hz v0 vx vy vz d0 dx dy dz newSTL",
    "Applies an affine map to every vertex of an STL model and writes binary STL.",
    "orgSTL\tthe STL model read, ASCII or binary (\"-\": standard input)\n"
    "h0 hx hy hz\tx' = h0 + hx x + hy y + hz z\n"
    "v0 vx vy vz\ty' = v0 + vx x + vy y + vz z\n"
    "d0 dx dy dz\tz' = d0 + dx x + dy y + dz z\n"
    "newSTL\tthe binary STL written (\"-\": standard output)\n"};

// The linear part of one row applied to (x, y, z). Terms whose coefficient is 0 are
// left out rather than added as 0 * value: an identity or translation then gives back
// the very values it was given, the sign of a zero included (-0 + 0 would be +0).
double Linear(const double row[4], double x, double y, double z) {
  const double value[3] = {x, y, z};
  double sum = 0.0;
  bool any = false;
  for (int j = 0; j < 3; ++j) {
    if (row[j + 1] == 0.0) continue;
    sum = any ? sum + row[j + 1] * value[j] : row[j + 1] * value[j];
    any = true;
  }
  return sum;
}

// The map, rows h, v, d: the constant term, then the x, y and z coefficients.
struct Map {
  double m[3][4];
};

// The vertices through the map; the normal, the unit normal of the facet as read (as
// floats), through its linear part.
void Transform(float b[12], int16_t*, const void* context) {
  const auto& m = static_cast<const Map*>(context)->m;
  const double n[3] = {b[0], b[1], b[2]};
  for (int row = 0; row < 3; ++row) b[row] = static_cast<float>(Linear(m[row], n[0], n[1], n[2]));
  for (int v = 3; v < 12; v += 3) {
    const double x = b[v], y = b[v + 1], z = b[v + 2];
    for (int row = 0; row < 3; ++row) {
      b[v + row] = static_cast<float>(m[row][0] + Linear(m[row], x, y, z));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc != 15) Usage(kProgram.usage);
  CheckOutput(argv[14], argv[1]);
  STLReader reader;
  OpenSTLInput(&reader, argv[1]);
  Map map;
  for (int i = 0; i < 12; ++i) map.m[i / 4][i % 4] = RealArgument(argv[2 + i]);

  STLWriter writer;
  BeginSTL(&writer, argv[14]);
  CopySTLFacets(&reader, argv[1], &writer, Transform, &map);
  EndSTL(&writer);
  return 0;
}
