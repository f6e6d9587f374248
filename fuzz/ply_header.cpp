// Fuzz target: the PLY header table, then the model reader over the whole input, as the
// four programs that read ZCP or PLY use it (the word rules first when the first byte is
// even, else the strict ones). The table must be consistent with itself; the reader may
// end the run with status 1 (FuzzStop) but must never hand out an index out of range.
#include <cstdlib>

#include "support.h"
#include "zcp/model.h"
#include "zcp/ply.h"

namespace {

void CheckTable(const PLYHeader& header) {
  for (const PLYElement& e : header.elements) {
    uint64_t offset = 0;
    bool fixed = true;
    for (const PLYProperty& p : e.properties) {
      if (p.offset != (fixed ? offset : kPLYVariable)) std::abort();
      if (p.countType == kPLYNoType) {
        offset += kPLYTypeSize[p.type];
      } else {
        if (!IsPLYInteger(p.countType)) std::abort();
        fixed = false;
      }
    }
    if (e.stride != (fixed ? offset : kPLYVariable)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PLYSource source;
  source.data.assign(data, data + size);
  source.end = size;
  PLYHeader header;
  PLYLayout layout;
  if (ParsePLYHeader(&source, &header)) {
    CheckTable(header);
    if (FindPLYModel(header, &layout) &&
        (header.elements[layout.vertex].count == 0 || header.elements[layout.face].count == 0)) {
      std::abort();
    }
  }

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
