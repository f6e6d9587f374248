// Fuzz target: the model reader over the whole input, as the four programs that read
// ZCP or PLY use it (the word rules first when the first byte is even, else the strict
// ones), PLY header table included. It may end the run with status 1 (FuzzStop) but
// must never hand out an index out of range.
#include <cstdlib>

#include "support.h"
#include "zcp/model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  {
    FuzzGuard guard;
    try {
      ModelReader model;
      ReadModelHeader(&model, stream, "fuzz",
                      size > 0 && data[0] % 2 == 0 ? kWordHeader : kStrictHeader);
      HoldVertices(&model);
      if (!model.zcp) CountTriangles(&model);
      ModelTriangle t;
      while (NextTriangle(&model, &t, nullptr)) {
        for (uint32_t index : t.index) {
          if (index >= model.n) std::abort();
        }
      }
    } catch (const FuzzStop& stop) {
      if (stop.status != 1) std::abort();
    }
  }
  std::fclose(stream);
  return 0;
}
