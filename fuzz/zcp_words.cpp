// Fuzz target: the word-by-word ZCP header reader. Its faults end the program, which
// here throws FuzzStop instead.
#include <cstdlib>

#include "support.h"
#include "zcp/words.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  {
    FuzzGuard guard;
    try {
      uint32_t n = 0, m = 0;
      ReadWordHeader(stream, &n, &m);
      if (n == 0 || m == 0 || n > INT32_MAX || m > INT32_MAX) std::abort();
    } catch (const FuzzStop& stop) {
      if (stop.status != 1) std::abort();
    }
  }
  std::fclose(stream);
  return 0;
}
