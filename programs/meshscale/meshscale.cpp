// meshscale: scales an STL model about the origin, by one ratio or one per axis,
// and writes it as binary STL with normals recomputed from the scaled vertices.
#include "common/numbers.h"
#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlcopy.h"
#include "mesh/stlwrite.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " orgSTL ratio|(Rx Ry Rz) newSTL",
    "Scales an STL model about the origin and writes it as binary STL with new normals.",
    "orgSTL\tthe STL model read, ASCII or binary (\"-\": standard input)\n"
    "ratio\tone factor for all three axes\n"
    "Rx Ry Rz\tone factor per axis\n"
    "newSTL\tthe binary STL written (\"-\": standard output)\n"};

// Every vertex scaled by the ratios of its axes; the normal comes from the new vertices.
void Scale(float b[12], int16_t*, const void* context) {
  const double* r = static_cast<const double*>(context);
  for (int i = 3; i < 12; ++i) b[i] = static_cast<float>(b[i] * r[i % 3]);
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc != 4 && argc != 6) Usage(kProgram.usage);
  CheckOutput(argv[argc - 1], argv[1]);
  STLReader reader;
  OpenSTLInput(&reader, argv[1]);
  double r[3];
  if (argc == 4) {
    r[0] = r[1] = r[2] = RealArgument(argv[2]);
  } else {
    for (int i = 0; i < 3; ++i) r[i] = RealArgument(argv[2 + i]);
  }

  STLWriter writer;
  BeginSTL(&writer, argv[argc - 1]);
  CopySTLFacets(&reader, argv[1], &writer, Scale, r, kNormalOfEdit);
  EndSTL(&writer);
  return 0;
}
