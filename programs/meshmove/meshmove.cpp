// meshmove: translates an STL model by (Sx, Sy, Sz) and writes it as binary STL,
// keeping every facet's attribute word.
#include "common/numbers.h"
#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlwrite.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " orgSTL Sx Sy Sz newSTL",
    "Translates an STL model by (Sx, Sy, Sz) and writes it as binary STL; colours are kept.",
    "orgSTL\tthe STL model read, ASCII or binary (\"-\": standard input)\n"
    "Sx Sy Sz\tthe shift along x, y and z, in model units\n"
    "newSTL\tthe binary STL written (\"-\": standard output)\n"};

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 6) Usage(kProgram.usage);
  CheckOutput(argv[5], argv[1]);
  STLReader reader;
  OpenSTLInput(&reader, argv[1]);
  const double sx = RealArgument(argv[2]), sy = RealArgument(argv[3]), sz = RealArgument(argv[4]);

  STLWriter writer;
  BeginSTL(&writer, argv[5]);
  float b[12];  // normal, vertex 1, vertex 2, vertex 3
  int16_t attribute;
  // The normal is that of the facet as read: a shift does not change it.
  while (ScanSTLBlock(&reader, b, &attribute) == 1) {
    for (int v = 3; v < 12; v += 3) {
      b[v] = static_cast<float>(b[v] + sx);
      b[v + 1] = static_cast<float>(b[v + 1] + sy);
      b[v + 2] = static_cast<float>(b[v + 2] + sz);
    }
    PutSTLFacet(&writer, b, attribute);
  }
  RequireSTLEnd(&reader, argv[1]);
  CloseInput(reader.stream);
  EndSTL(&writer);
  return 0;
}
