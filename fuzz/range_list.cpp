// Fuzz target: RangeList on any text, against a table with a guard byte past max.
#include <cstdint>
#include <string>

#include "gifread/rl.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int max = data[0];  // 0..255
  const std::string list(reinterpret_cast<const char*>(data) + 1, size - 1);
  unsigned char table[257];
  table[max + 1] = 0x5A;
  FuzzGuard guard;
  try {
    const int count = RangeList(list.c_str(), max, table);
    int set = 0;
    for (int v = 0; v <= max; ++v) {
      if (table[v] > 1) __builtin_trap();
      set += table[v];
    }
    if (set != count) __builtin_trap();
  } catch (const FuzzStop&) {
  }
  if (table[max + 1] != 0x5A) __builtin_trap();
  return 0;
}
