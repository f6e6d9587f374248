// meshverify: per STL file, the facet count, half the vector sum of the facet cross
// products and the surface area: "name count Sx Sy Sz area", tab-separated. A closed
// surface whose facets all turn the same way sums to zero up to rounding; a gap, a
// flipped or a missing facet shows as a non-zero component.
#include <cstdio>

#include "mesh/facetcross.h"
#include "common/program.h"
#include "mesh/stl.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_files",
    "Prints per STL file its facet count, closure sum (0 0 0 for a closed surface) and area.",
    "STL_files\tthe STL models read, ASCII or binary (\"-\": standard input)\n"};

// c = (v2 - v1) x (v3 - v1) per facet, in extended precision; sums in doubles.
void Verify(STLReader* reader, const char* name, void*) {
  double sx = 0, sy = 0, sz = 0, area = 0;
  long long count = 0;
  float v[9];
  while (ScanSTL(reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]) == 1) {
    ++count;
    const Cross c = FacetCross(v);
    sx += static_cast<double>(c.x);
    sy += static_cast<double>(c.y);
    sz += static_cast<double>(c.z);
    area += static_cast<double>(Length(c));
  }
  std::printf("%s\t%lld\t%lf\t%lf\t%lf\t%lf\n", name, count, sx * 0.5, sy * 0.5, sz * 0.5,
              area * 0.5);
}

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  return EachSTLFile(argc, argv, kProgram.usage, Verify, nullptr);
}
