// Fuzz target: the strict ZCP header reader, then the vertex and face records it
// announces, read and checked until the first short or bad record.
#include <cstdlib>

#include "support.h"
#include "zcp/ply.h"
#include "zcp/zcp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  PLYSource source;
  StartSource(&source, stream);
  uint32_t n, m;
  if (ReadZCPHeader(&source, &n, &m)) {
    if (n == 0 || m == 0) std::abort();
    unsigned char record[kZCPFaceSize];
    uint32_t i = 0;
    while (i < n && SourceRead(&source, record, kZCPVertexSize) == kZCPVertexSize) ++i;
    ZCPFace face;
    for (uint32_t k = 0; i == n && k < m; ++k) {
      const size_t got = SourceRead(&source, record, kZCPFaceSize);
      if (CheckZCPFace(record, got, n, &face) != kZCPFaceOK) break;
      for (uint32_t index : face.index) {
        if (index >= n) std::abort();
      }
    }
  }
  std::fclose(stream);
  return 0;
}
