// Fuzz target: the STL reader, ASCII and binary, facet by facet and as a facet list.
// Built once per build of the reader (attribute and plain). Each input is read as a
// stream of unknown size (the look-ahead that tells a "solid" header through a pipe)
// and as a regular file (the size that tells it, the count mended from the records),
// there keeping the vertex order.
#include <unistd.h>

#include <cstdlib>

#include "mesh/stl.h"
#include "support.h"

namespace {

// Scans a set-up reader to its end and checks that its end state agrees with the
// results.
void ScanToEnd(STLReader* reader) {
  float v[9];
  int result;
  uint64_t delivered = 0;
  // A huge binary count over a short file ends at the first short read.
#if defined(MESHPIX_STL_ATTRIBUTE)
  int16_t attribute;
  while ((result = ScanSTL(reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                           &attribute)) == 1) {
    ++delivered;
  }
#else
  while ((result = ScanSTL(reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                           &v[8])) == 1) {
    ++delivered;
  }
#endif
  if (result != 0 && result != -1) std::abort();
  // An error only after -1, a missing "endsolid" only at the regular end of an ASCII
  // file, every facet counted, no more turned than read (none when the order is kept),
  // a count only ever raised, in a binary file.
  if (reader->failed != (result == -1) || reader->facets != delivered) std::abort();
  if (reader->noEndsolid && (result != 0 || reader->kind != kSTLAscii)) std::abort();
  if (reader->turned > reader->facets || (reader->keepOrder && reader->turned != 0)) std::abort();
  if (reader->count < reader->countInFile) std::abort();
  if (reader->count != reader->countInFile && reader->kind != kSTLBinary) std::abort();
}

// A regular file that holds the input, reused from one input to the next.
FILE* RegularFile(const uint8_t* data, size_t size) {
  static FILE* file = std::tmpfile();
  if (file == nullptr || ftruncate(fileno(file), 0) != 0) return nullptr;
  std::rewind(file);
  if (std::fwrite(data, 1, size, file) != size || std::fflush(file) != 0) return nullptr;
  std::rewind(file);
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  STLReader reader;
  if (SetUpSTL(&reader, stream) == 1) ScanToEnd(&reader);
  std::rewind(stream);
  FreeFacetList(ReadFacetList(stream));
  std::fclose(stream);

  if (FILE* file = RegularFile(data, size)) {
    if (SetUpSTL(&reader, file) == 1) {
      reader.keepOrder = true;
      ScanToEnd(&reader);
    }
  }
  return 0;
}
