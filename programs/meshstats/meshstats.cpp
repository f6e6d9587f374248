// meshstats: per STL file, the facet count, the surface area and the enclosed
// (signed) volume: "name count area volume", tab-separated.
#include <cstdio>

#include "mesh/facetcross.h"
#include "common/program.h"
#include "mesh/stl.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_files",
    "Prints per STL file its facet count, surface area and enclosed volume.",
    "STL_files\tthe STL models read, ASCII or binary (\"-\": standard input)\n"};

// Area: half the sum of |c|, with c = (v2 - v1) x (v3 - v1) of each facet. Volume: a
// sixth of the sum of v1 . c, the signed volumes of the tetrahedra the facets span
// with the origin; positive for a closed surface whose normals point outward.
// Differences and products are taken in extended precision, the sums in doubles.
void Stats(STLReader* reader, const char* name, void*) {
  double area = 0, volume = 0;
  long long count = 0;
  float v[9];
  while (ScanSTL(reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]) == 1) {
    ++count;
    const Cross c = FacetCross(v);
    area += static_cast<double>(Length(c));
    volume += static_cast<double>(v[0] * c.x + v[1] * c.y + v[2] * c.z);
  }
  std::printf("%s\t%lld\t%lf\t%lf\n", name, count, area * 0.5, volume / 6.0);
}

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  return EachSTLFile(argc, argv, kProgram.usage, Stats, nullptr);
}
