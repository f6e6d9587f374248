// Fuzz target: the parameter lines the sphere generators read from standard input,
// then the facets of what they accepted (when that is small enough to write quickly).
#include "shapes/polyshape.h"
#include "support.h"

namespace {
constexpr uint64_t kMaxWritten = 20000;  // facets
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* sink = std::fopen("/dev/null", "wb");
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr || sink == nullptr) return 0;
  ShapeList list;
  {
    FuzzGuard guard;
    try {
      ReadParameterLines(stream, 0, 0, &list);
      if (list.total <= kMaxWritten) WriteShapes(sink, "/dev/null", &list);
    } catch (const FuzzStop&) {
      // A refused line ends the program with its message: an expected outcome.
    }
  }
  FreeShapes(&list);
  std::fclose(stream);
  return 0;
}
