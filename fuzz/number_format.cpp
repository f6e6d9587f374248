// Fuzz target: number formats from the command line (meshtotext's second argument).
// A format that IsNumberFormat accepts is handed to snprintf with one double, so it
// must consume exactly that double and write nothing but text: a stray %s or %n
// would read or write through a pointer that is not there.
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/userformat.h"

namespace {

// Formats whose width or precision runs to millions of characters are valid but
// take long to print; they are checked for acceptance only.
bool Affordable(const std::string& format) {
  int digits = 0;
  for (char c : format) {
    digits = (c >= '0' && c <= '9') ? digits + 1 : 0;
    if (digits > 5) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string format(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));
  if (!IsNumberFormat(format.c_str()) || !Affordable(format)) return 0;
  for (double v : {0.0, -DBL_MAX, DBL_TRUE_MIN, -1.5, static_cast<double>(NAN),
                   static_cast<double>(INFINITY)}) {
    const int n = std::snprintf(nullptr, 0, format.c_str(), v);
    if (n < 0) std::abort();
    std::string text(static_cast<size_t>(n) + 1, '\0');
    if (std::snprintf(text.data(), text.size(), format.c_str(), v) != n) std::abort();
  }
  return 0;
}
