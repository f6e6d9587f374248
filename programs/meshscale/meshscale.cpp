// meshscale: scales an STL model about the origin, by one ratio or one per axis,
// and writes it as binary STL with normals recomputed from the scaled vertices.
#include "common/numbers.h"
#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlwrite.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " orgSTL ratio|(Rx Ry Rz) newSTL",
    "Scales an STL model about the origin and writes it as binary STL with new normals.",
    "orgSTL\tthe STL model read, ASCII or binary (\"-\": standard input)\n"
    "ratio\tone factor for all three axes\n"
    "Rx Ry Rz\tone factor per axis\n"
    "newSTL\tthe binary STL written (\"-\": standard output)\n"};

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
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
  float v[9];
  int16_t attribute;
  while (ScanSTL(&reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                 &attribute) == 1) {
    for (int i = 0; i < 9; ++i) v[i] = static_cast<float>(v[i] * r[i % 3]);
    PutSTLFacetNormal(&writer, v, attribute);
  }
  RequireSTLEnd(&reader, argv[1]);
  CloseInput(reader.stream);
  EndSTL(&writer);
  return 0;
}
