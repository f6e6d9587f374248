// meshtomagics: copies an STL model as binary STL in the other common colour form: the
// header holds "COLOR=" and the object's colour (R G B, 0 to 255, white without them)
// with alpha 255; a coloured facet keeps its colour in that form's own-colour word, a
// facet without colour takes the object's colour. Normals come from the vertices.
#include <cstdint>
#include <cstring>

#include "common/program.h"
#include "mesh/colour.h"
#include "mesh/stl.h"
#include "mesh/stlcopy.h"
#include "mesh/stlwrite.h"

namespace {

// The header as written:
//   offset  size  field
//   0       6     "COLOR="
//   6       4     the object's red, green, blue, and alpha 255
//   10      70    zeros
constexpr unsigned char kOpaque = 255;

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " orgSTL {R G B} newSTL",
    "Copies an STL model as binary STL in the COLOR= colour form, the object's colour in its "
    "header.",
    "orgSTL\tthe STL model read, ASCII or binary (\"-\": standard input)\n"
    "R G B\tthe object's colour, 0 to 255 each (else white)\n"
    "newSTL\tthe binary STL written (\"-\": standard output)\n"};

// A coloured facet keeps its colour in the own-colour word; one without takes the
// object's colour.
void ToObject(float*, int16_t* attribute, const void*) {
  *attribute = static_cast<int16_t>(ToObjectForm(static_cast<uint16_t>(*attribute)));
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  STLReader reader;
  const bool colour = StartColourCopy(argc, argv, kProgram.usage, &reader);

  int rgb[3] = {255, 255, 255};
  if (colour) SurfaceColour(argv[2], argv[3], argv[4], rgb);
  unsigned char header[kSTLHeaderText] = {};
  std::memcpy(header, kObjectColourTag, kObjectColourTagSize);
  for (int i = 0; i < 3; ++i) header[kObjectColourTagSize + i] = static_cast<unsigned char>(rgb[i]);
  header[kObjectColourTagSize + 3] = kOpaque;

  STLWriter writer;
  BeginSTL(&writer, argv[argc - 1], header);
  CopySTLFacets(&reader, argv[1], &writer, ToObject, nullptr);
  EndSTL(&writer);
  return 0;
}
