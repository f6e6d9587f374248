// Fuzz target: the word-by-word ZCP header reader. It returns a fault's message or
// both counts above 0.
#include <cstdlib>

#include "support.h"
#include "zcp/ply.h"
#include "zcp/words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  PLYSource source;
  StartSource(&source, stream);
  uint32_t n = 0, m = 0;
  if (ReadWordHeader(&source, &n, &m) == nullptr &&
      (n == 0 || m == 0 || n > INT32_MAX || m > INT32_MAX)) {
    std::abort();
  }
  std::fclose(stream);
  return 0;
}
