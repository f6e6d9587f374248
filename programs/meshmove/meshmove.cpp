// meshmove: translates an STL model by (Sx, Sy, Sz) and writes it as binary STL,
// keeping every facet's attribute word.
#include "common/numbers.h"
#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlcopy.h"
#include "mesh/stlwrite.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " orgSTL Sx Sy Sz newSTL",
    "Translates an STL model by (Sx, Sy, Sz) and writes it as binary STL; colours are kept.",
    "orgSTL\tthe STL model read, ASCII or binary (\"-\": standard input)\n"
    "Sx Sy Sz\tthe shift along x, y and z, in model units\n"
    "newSTL\tthe binary STL written (\"-\": standard output)\n"};

// The shift of every vertex; the normal is that of the facet as read, which a shift
// does not change.
void Move(float b[12], int16_t*, const void* context) {
  const double* s = static_cast<const double*>(context);
  for (int v = 3; v < 12; v += 3) {
    b[v] = static_cast<float>(b[v] + s[0]);
    b[v + 1] = static_cast<float>(b[v + 1] + s[1]);
    b[v + 2] = static_cast<float>(b[v + 2] + s[2]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc != 6) Usage(kProgram.usage);
  CheckOutput(argv[5], argv[1]);
  STLReader reader;
  OpenSTLInput(&reader, argv[1]);
  const double shift[3] = {RealArgument(argv[2]), RealArgument(argv[3]), RealArgument(argv[4])};

  STLWriter writer;
  BeginSTL(&writer, argv[5]);
  CopySTLFacets(&reader, argv[1], &writer, Move, shift);
  EndSTL(&writer);
  return 0;
}
