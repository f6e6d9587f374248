// meshtobinary: writes an STL model (normally ASCII) as binary STL, with normals
// computed from the vertices and every attribute word 0.
#include <cstdio>

#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlwrite.h"

int main(int argc, char** argv) {
  if (argc != 3) Usage("usage : meshtobinary ASCII_STL binary_STL");
  STLReader reader;
  OpenSTLInput(&reader, argv[1]);
  if (reader.kind == kSTLBinary) std::fprintf(stderr, "%s : just a binary STL (warning).\n", argv[1]);

  STLWriter writer;
  BeginSTL(&writer, argv[2]);
  float block[12];
  while (ScanSTLBlock(&reader, block) == 1) PutSTLFacet(&writer, block, 0);
  RequireSTLEnd(&reader, argv[1]);
  CloseInput(reader.stream);
  EndSTL(&writer);
  return 0;
}
