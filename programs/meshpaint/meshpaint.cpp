// meshpaint: copies an STL model as binary STL with every facet in one colour
// (R G B, 0 to 255, kept to their top five bits), or with every colour removed.
#include <cstdint>

#include "common/program.h"
#include "mesh/colour.h"
#include "mesh/stl.h"
#include "mesh/stlcopy.h"
#include "mesh/stlwrite.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " orgSTL {R G B} newSTL",
    "Copies an STL model as binary STL with every facet in one colour, or with no colour.",
    "orgSTL\tthe STL model read, ASCII or binary (\"-\": standard input)\n"
    "R G B\tthe colour, 0 to 255 each, kept to five bits a channel (else no colour)\n"
    "newSTL\tthe binary STL written (\"-\": standard output)\n"};

// Every facet gets the one word.
void Paint(float*, int16_t* attribute, const void* context) {
  *attribute = static_cast<int16_t>(*static_cast<const uint16_t*>(context));
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  STLReader reader;
  const bool colour = StartColourCopy(argc, argv, kProgram.usage, &reader);
  const uint16_t word = colour ? SurfaceColourWord(argv[2], argv[3], argv[4]) : 0;  // 0: no colour

  STLWriter writer;
  BeginSTL(&writer, argv[argc - 1]);
  CopySTLFacets(&reader, argv[1], &writer, Paint, &word);
  EndSTL(&writer);
  return 0;
}
