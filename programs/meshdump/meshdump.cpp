// meshdump: every facet of one or more STL files, one line per facet. The colour
// build adds the facet's colour where its attribute word carries one.
#include <cstdint>

#include "common/program.h"
#include "common/textout.h"
#include "mesh/colour.h"
#include "mesh/stl.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_files",
#if defined(MESHPIX_STL_ATTRIBUTE)
    "Prints every facet of STL files, one line of nine coordinates (and its colour) a facet.",
#else
    "Prints every facet of STL files, one line of nine coordinates a facet.",
#endif
    "STL_files\tthe STL models read, ASCII or binary (\"-\": standard input)\n"};

TextOut out{stdout};

void Dump(STLReader* reader, const char* name, void*) {
  out.Text(name);
  out.Char('\n');
  float v[9];
#if defined(MESHPIX_STL_ATTRIBUTE)
  int16_t attribute;
  while (ScanSTL(reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                 &attribute) == 1) {
#else
  while (ScanSTL(reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]) == 1) {
#endif
    for (int i = 0; i < 9; ++i) {
      if (i > 0) out.Char(' ');
      out.Fixed(v[i]);
    }
#if defined(MESHPIX_STL_ATTRIBUTE)
    const uint16_t word = static_cast<uint16_t>(attribute);
    if (HasColour(word)) {
      for (int channel : {Red5(word), Green5(word), Blue5(word)}) {
        out.Char(' ');
        out.Int(ExpandChannel(channel));
      }
    }
#endif
    out.Char('\n');
  }
  out.Flush();
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  return EachSTLFile(argc, argv, kProgram.usage, Dump, nullptr);
}
