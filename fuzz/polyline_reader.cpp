// Fuzz target: polyline lists (ReadPolylines). Every point of every polyline read is
// touched, so a list longer than its arrays shows.
#include <cstdlib>

#include "render/line.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  Polyline* list = ReadPolylines(stream);
  float sum = 0;
  for (const Polyline* p = list; p != nullptr; p = p->next) {
    if (p->count < 1) std::abort();
    for (int i = 0; i < p->count; ++i) sum += p->xs[i] + p->ys[i] + p->zs[i];
  }
  FreeLine(list);
  std::fclose(stream);
  return sum == 12345.0f;  // keeps the reads; libFuzzer ignores the result
}
