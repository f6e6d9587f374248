// meshverify: per STL file, the facet count, half the vector sum of the facet cross
// products and the surface area: "name count Sx Sy Sz area", tab-separated. A closed
// surface whose facets all turn the same way sums to zero up to rounding; a gap, a
// flipped or a missing facet shows as a non-zero component.
#include <cstdio>

#include "common/program.h"
#include "mesh/facetsums.h"
#include "mesh/stl.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_files",
    "Prints per STL file its facet count, closure sum (0 0 0 for a closed surface) and area.",
    "STL_files\tthe STL models read, ASCII or binary (\"-\": standard input)\n"};

// Half the sum of c = (v2 - v1) x (v3 - v1) over the facets, and half the sum of |c|.
void Verify(STLReader* reader, const char* name, void*) {
  const FacetSums s = SumFacets(reader);
  std::printf("%s\t%lld\t%lf\t%lf\t%lf\t%lf\n", name, s.count, s.sx * 0.5, s.sy * 0.5, s.sz * 0.5,
              s.area * 0.5);
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  return EachSTLFile(argc, argv, kProgram.usage, Verify, nullptr);
}
