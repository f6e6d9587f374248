#include "gifread/rl.h"

#include <cstring>

#include "common/program.h"

namespace {

[[noreturn]] void BadList() { Fail("bad range list.\n"); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A run of digits at *p, checked against max at every digit so that it cannot overflow.
int Number(const char** p, int max) {
  int value = 0;
  while (IsDigit(**p)) {
    value = 10 * value + (**p - '0');
    if (value > max) BadList();
    ++*p;
  }
  return value;
}

}  // namespace

int RangeList(const char* list, int max, unsigned char* table) {
  std::memset(table, 0, static_cast<size_t>(max) + 1);
  const char* p = list;
  while (*p != '\0') {
    if (*p == ',') {
      ++p;
      continue;
    }
    int low = 0;
    int high = max;
    const bool from = IsDigit(*p);
    if (from) low = Number(&p, max);
    if (*p == '-') {
      ++p;
      if (IsDigit(*p)) high = Number(&p, max);
    } else if (from) {
      high = low;
    } else {
      BadList();  // neither a number nor a hyphen
    }
    if (*p != ',' && *p != '\0') BadList();
    if (high < low) BadList();
    for (int v = low; v <= high; ++v) table[v] = 1;
  }
  int count = 0;
  for (int v = 0; v <= max; ++v) count += table[v];
  return count;
}
