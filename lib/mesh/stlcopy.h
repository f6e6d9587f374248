// Copying a model facet by facet: the loop of the programs that read an STL model,
// change each facet and write it as binary STL.
//
//   CopySTLFacets(reader, name, writer, edit, context [, normal])
//                        every facet of a set-up reader, as the twelve floats of its
//                        record (normal, vertex 1, vertex 2, vertex 3) and its attribute
//                        word, through edit(block, &attribute, context) (none when null)
//                        to the writer; then the model's end is required
//                        (RequireSTLEnd with name) and the input closed
//   kNormalAsRead        (default) the block's normal is the unit normal of the facet
//                        as read, and edit may change it
//   kNormalOfEdit        edit gets no normal: the one written is computed from the
//                        vertices edit leaves
//   StartColourCopy(argc, argv, usage, reader)
//                        the command line "orgSTL {R G B} newSTL": usage unless it has
//                        two or five arguments, the output checked against the input
//                        ("output is an input."), R G B whole numbers ("not a number."),
//                        the input opened and set up (OpenSTLInput); true when R G B
//                        are given
// In the plain build of the reader every attribute word handed to edit is 0.
// Defined here rather than in a source of its own: the reader's two builds differ in
// what a scan hands out, and this follows the build the program is linked with.
#pragma once

#include <cstdint>

#include "common/numbers.h"
#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlwrite.h"

inline bool StartColourCopy(int argc, char** argv, const char* usage, STLReader* reader) {
  if (argc != 3 && argc != 6) Usage(usage);
  CheckOutput(argv[argc - 1], argv[1]);
  const bool colour = argc == 6;
  if (colour) {
    for (int i = 2; i < 5; ++i)
      WholeArgument(argv[i]);  // "WORD : not a number." before the range check
  }
  OpenSTLInput(reader, argv[1]);
  return colour;
}

using STLFacetEdit = void (*)(float block[12], int16_t* attribute, const void* context);

enum STLNormal { kNormalAsRead, kNormalOfEdit };

inline void CopySTLFacets(STLReader* reader, const char* name, STLWriter* writer, STLFacetEdit edit,
                          const void* context, STLNormal normal = kNormalAsRead) {
  float b[12];
  int16_t attribute = 0;
  for (;;) {
    int result;
    if (normal == kNormalAsRead) {
#if defined(MESHPIX_STL_ATTRIBUTE)
      result = ScanSTLBlock(reader, b, &attribute);
#else
      result = ScanSTLBlock(reader, b);
#endif
    } else {
#if defined(MESHPIX_STL_ATTRIBUTE)
      result = ScanSTL(reader, &b[3], &b[4], &b[5], &b[6], &b[7], &b[8], &b[9], &b[10], &b[11],
                       &attribute);
#else
      result = ScanSTL(reader, &b[3], &b[4], &b[5], &b[6], &b[7], &b[8], &b[9], &b[10], &b[11]);
#endif
    }
    if (result != 1) break;
    if (edit != nullptr) edit(b, &attribute, context);
    if (normal == kNormalAsRead) {
      PutSTLFacet(writer, b, attribute);
    } else {
      PutSTLFacetNormal(writer, b + 3, attribute);
    }
  }
  RequireSTLEnd(reader, name);
  CloseInput(reader->stream);
}
