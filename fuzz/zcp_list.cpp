// Fuzz target: the text-list line reader and parsers: a count line, then the lines
// after it taken as vertex and face lines in turn.
#include <cstdlib>

#include "support.h"
#include "zcp/lists.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  ListLine line;
  uint32_t n = 0, m = 0;
  if (ReadListLine(stream, &line) && ParseCounts(line, &n, &m)) {
    const unsigned char grey[3] = {128, 128, 128};
    bool vertex = true;
    uint64_t number = line.number;
    while (ReadListLine(stream, &line)) {
      if (line.length > kListLineLimit) std::abort();
      if (line.number != number && line.number != number + 1) std::abort();  // a line at a time
      number = line.number;
      if (vertex) {
        float v[3];
        ParseVertex(line, v);
      } else {
        ZCPFace face;
        if (ParseFace(line, n, grey, &face)) {
          for (uint32_t index : face.index) {
            if (index >= n) std::abort();
          }
        }
      }
      vertex = !vertex;
    }
  }
  std::fclose(stream);
  return 0;
}
