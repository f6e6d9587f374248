// meshbounds: per STL file, the facet count and the axis-aligned bounding box of
// its vertices: "name count xmin ymin zmin xmax ymax zmax", tab-separated.
#include <cstdint>
#include <cstdio>
#include <limits>

#include "common/program.h"
#include "mesh/stl.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_files",
    "Prints per STL file its facet count and the bounding box of its vertices.",
    "STL_files\tthe STL models read, ASCII or binary (\"-\": standard input)\n"};

// A bound starts out unset (minimum above maximum) and is set by the first
// coordinate that is a number; a not-a-number coordinate fails both comparisons and
// never replaces a bound. An axis that no coordinate set prints as 0 to 0.
constexpr float kInf = std::numeric_limits<float>::infinity();

void Bounds(STLReader* reader, const char* name, void*) {
  float lo[3] = {kInf, kInf, kInf};
  float hi[3] = {-kInf, -kInf, -kInf};
  long long count = 0;
  float v[9];
  while (ScanSTLCorners(reader, v) == 1) {
    ++count;
    for (int i = 0; i < 9; ++i) {
      const int axis = i % 3;
      if (lo[axis] > v[i]) lo[axis] = v[i];
      if (v[i] > hi[axis]) hi[axis] = v[i];
    }
  }
  for (int axis = 0; axis < 3; ++axis) {
    if (lo[axis] > hi[axis]) lo[axis] = hi[axis] = 0;
  }
  std::printf("%s\t%lld\t%f\t%f\t%f\t%f\t%f\t%f\n", name, count, lo[0], lo[1], lo[2], hi[0], hi[1],
              hi[2]);
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  return EachSTLFile(argc, argv, kProgram.usage, Bounds, nullptr);
}
