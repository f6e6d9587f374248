// Names of numbered files, made from a printf-style format with one integer conversion
// (check the format first with IsFormat from common/numbers.h).
//
//   NumberedName(format, k)    the format applied to k, a name of any length
#pragma once

#include <cstdio>
#include <string>

inline std::string NumberedName(const char* format, int k) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int size = std::snprintf(nullptr, 0, format, k);
  std::string name(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) std::snprintf(name.data(), name.size() + 1, format, k);
#pragma GCC diagnostic pop
  return name;
}
