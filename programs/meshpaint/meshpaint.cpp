// meshpaint: copies an STL model as binary STL with every facet in one colour
// (R G B, 0 to 255, kept to their top five bits), or with every colour removed.
#include <cstdint>

#include "common/numbers.h"
#include "common/program.h"
#include "mesh/colour.h"
#include "mesh/stl.h"
#include "mesh/stlwrite.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 6) Usage("usage : meshpaint orgSTL {R G B} newSTL");
  STLReader reader;
  OpenSTLInput(&reader, argv[1]);

  uint16_t word = 0;  // no colour
  if (argc == 6) {
    int rgb[3];
    for (int i = 0; i < 3; ++i) {
      rgb[i] = ParseInt(argv[2 + i]);
      if (!InRange(rgb[i], 0, 255)) Fail("bad surface color.\n");
    }
    word = ColourWord(TruncateChannel(rgb[0]), TruncateChannel(rgb[1]), TruncateChannel(rgb[2]));
  }

  STLWriter writer;
  BeginSTL(&writer, argv[argc - 1]);
  float block[12];
  int16_t attribute;
  while (ScanSTLBlock(&reader, block, &attribute) == 1) {
    PutSTLFacet(&writer, block, static_cast<int16_t>(word));
  }
  CloseInput(reader.stream);
  EndSTL(&writer);
  return 0;
}
