// meshtobinary: writes an STL model (normally ASCII) as binary STL, with normals
// computed from the vertices and every attribute word 0.
#include <cstdio>

#include "common/program.h"
#include "common/solethread.h"
#include "mesh/stl.h"
#include "mesh/stlwrite.h"

int main(int argc, char** argv) {
  if (argc != 3) Usage("usage : meshtobinary ASCII_STL binary_STL");
  STLReader reader;
  OpenSTLInput(&reader, argv[1]);
  if (reader.kind == kSTLBinary) std::fprintf(stderr, "%s : just a binary STL (warning).\n", argv[1]);

  STLWriter writer;
  BeginSTL(&writer, argv[2]);
  SoleThread(reader.stream);
  SoleThread(writer.stream);
  float v[9];
  while (ScanSTL(&reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]) == 1) {
    PutSTLFacetNormal(&writer, v, 0);
  }
  CloseInput(reader.stream);
  EndSTL(&writer);
  return 0;
}
