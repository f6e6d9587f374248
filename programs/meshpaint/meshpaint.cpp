// meshpaint: copies an STL model as binary STL with every facet in one colour
// (R G B, 0 to 255, kept to their top five bits), or with every colour removed.
#include <cstdint>

#include "common/numbers.h"
#include "common/program.h"
#include "mesh/colour.h"
#include "mesh/stl.h"
#include "mesh/stlwrite.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " orgSTL {R G B} newSTL",
    "Copies an STL model as binary STL with every facet in one colour, or with no colour.",
    "orgSTL\tthe STL model read, ASCII or binary (\"-\": standard input)\n"
    "R G B\tthe colour, 0 to 255 each, kept to five bits a channel (else no colour)\n"
    "newSTL\tthe binary STL written (\"-\": standard output)\n"};

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 3 && argc != 6) Usage(kProgram.usage);
  CheckOutput(argv[argc - 1], argv[1]);
  if (argc == 6) {
    for (int i = 2; i < 5; ++i) WholeArgument(argv[i]);  // "WORD : not a number." before the range check
  }
  STLReader reader;
  OpenSTLInput(&reader, argv[1]);

  const uint16_t word = argc == 6 ? SurfaceColourWord(argv[2], argv[3], argv[4]) : 0;  // 0: no colour

  STLWriter writer;
  BeginSTL(&writer, argv[argc - 1]);
  float block[12];
  int16_t attribute;
  while (ScanSTLBlock(&reader, block, &attribute) == 1) {
    PutSTLFacet(&writer, block, static_cast<int16_t>(word));
  }
  RequireSTLEnd(&reader, argv[1]);
  CloseInput(reader.stream);
  EndSTL(&writer);
  return 0;
}
