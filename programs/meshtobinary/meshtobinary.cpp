// meshtobinary: writes an STL model (normally ASCII) as binary STL, with normals
// computed from the vertices and every attribute word 0.
#include <cstdio>

#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlcopy.h"
#include "mesh/stlwrite.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " ASCII_STL binary_STL",
    "Writes an STL model (normally ASCII) as binary STL with computed normals, no colours.",
    "ASCII_STL\tthe STL model read (\"-\": standard input)\n"
    "binary_STL\tthe binary STL written (\"-\": standard output)\n"};

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc != 3) Usage(kProgram.usage);
  CheckOutput(argv[2], argv[1]);
  STLReader reader;
  OpenSTLInput(&reader, argv[1]);
  if (reader.kind == kSTLBinary)
    std::fprintf(stderr, "%s : just a binary STL (warning).\n", argv[1]);

  STLWriter writer;
  BeginSTL(&writer, argv[2]);
  CopySTLFacets(&reader, argv[1], &writer, nullptr, nullptr);  // attribute words 0
  EndSTL(&writer);
  return 0;
}
