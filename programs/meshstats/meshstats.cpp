// meshstats: per STL file, the facet count, the surface area and the enclosed
// (signed) volume: "name count area volume", tab-separated.
#include <cstdio>

#include "common/program.h"
#include "mesh/facetsums.h"
#include "mesh/stl.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_files",
    "Prints per STL file its facet count, surface area and enclosed volume.",
    "STL_files\tthe STL models read, ASCII or binary (\"-\": standard input)\n"};

// Area: half the sum of |c|, with c = (v2 - v1) x (v3 - v1) of each facet. Volume: a
// sixth of the sum of v1 . c, the signed volumes of the tetrahedra the facets span
// with the origin; positive for a closed surface whose normals point outward.
void Stats(STLReader* reader, const char* name, void*) {
  const FacetSums s = SumFacets(reader);
  std::printf("%s\t%lld\t%lf\t%lf\n", name, s.count, s.area * 0.5, s.volume / 6.0);
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  return EachSTLFile(argc, argv, kProgram.usage, Stats, nullptr);
}
