// meshjoin: the facets of several STL files, in argument order, as one binary STL
// file, each facet keeping its attribute word (colour) and getting a recomputed normal.
#include <cstdint>

#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlcopy.h"
#include "mesh/stlwrite.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_files STL",
    "Joins STL models, in argument order, into one binary STL file; colours are kept.",
    "STL_files\tthe STL models read, ASCII or binary (\"-\": standard input)\n"
    "STL\tthe binary STL written (\"-\": standard output)\n"};

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc < 3) Usage(kProgram.usage);
  InputFiles inputs;
  for (int i = 1; i < argc - 1; ++i) NoteInput(&inputs, argv[i]);
  CheckOutput(inputs, argv[argc - 1]);
  // The output is created first; an input that fails later ends the program with
  // the facets written so far and the count field still 0.
  STLWriter writer;
  BeginSTL(&writer, argv[argc - 1]);
  for (int i = 1; i < argc - 1; ++i) {
    STLReader reader;
    OpenSTLInput(&reader, argv[i]);
    CopySTLFacets(&reader, argv[i], &writer, nullptr, nullptr);
  }
  EndSTL(&writer);
  return 0;
}
