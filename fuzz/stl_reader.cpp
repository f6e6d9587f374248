// Fuzz target: the STL reader, ASCII and binary, facet by facet and as a facet list.
// Built once per build of the reader (attribute and plain). Each input is read as a
// stream of unknown size (a pipe's look-ahead) and as a regular file (its size, the
// count mended from the records).
#include <unistd.h>

#include <cstdlib>

#include "mesh/stl.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  STLReader reader;
  if (SetUpSTL(&reader, stream) == 1) {
    float v[9];
    int result;
    uint64_t delivered = 0;
    // A huge binary count over a short file ends at the first short read.
#if defined(MESHPIX_STL_ATTRIBUTE)
    int16_t attribute;
    while ((result = ScanSTL(&reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                             &attribute)) == 1) {
      ++delivered;
    }
#else
    while ((result = ScanSTL(&reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                             &v[8])) == 1) {
      ++delivered;
    }
#endif
    if (result != 0 && result != -1) std::abort();
    // The end state agrees with the results: an error only after -1, a missing
    // "endsolid" only at the regular end of an ASCII file, every facet counted.
    if (reader.failed != (result == -1) || reader.facets != delivered) std::abort();
    if (reader.noEndsolid && (result != 0 || reader.kind != kSTLAscii)) std::abort();
    // No more turned than read; a stream of unknown size goes by its count.
    if (reader.turned > reader.facets || reader.count != reader.countInFile) std::abort();
  }
  std::rewind(stream);
  FreeFacetList(ReadFacetList(stream));
  std::fclose(stream);

  static FILE* file = std::tmpfile();  // reused from one input to the next
  if (file == nullptr || ftruncate(fileno(file), 0) != 0) return 0;
  std::rewind(file);
  if (std::fwrite(data, 1, size, file) != size || std::fflush(file) != 0) return 0;
  std::rewind(file);
  bool outOfMemory;
  STLReader end;
  Facet* list = ReadFacetList(file, &outOfMemory, &end);
  uint64_t listed = 0;
  for (const Facet* f = list; f != nullptr; f = f->next) ++listed;
  FreeFacetList(list);
  // A count is only ever raised, in a binary file, and every facet read is listed.
  if (end.count < end.countInFile || (end.count != end.countInFile && end.kind != kSTLBinary))
    std::abort();
  if (!outOfMemory && (listed != end.facets || end.turned > end.facets)) std::abort();
  return 0;
}
