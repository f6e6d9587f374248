// meshpaint: copies an STL model as binary STL with every facet in one colour
// (R G B, 0 to 255, kept to their top five bits), or with every colour removed.
#include <cstdint>

#include "common/numbers.h"
#include "common/program.h"
#include "common/solethread.h"
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
  SoleThread(reader.stream);
  SoleThread(writer.stream);
  float v[9];
  int16_t attribute;
  while (ScanSTL(&reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                 &attribute) == 1) {
    PutSTLFacetNormal(&writer, v, static_cast<int16_t>(word));
  }
  CloseInput(reader.stream);
  EndSTL(&writer);
  return 0;
}
