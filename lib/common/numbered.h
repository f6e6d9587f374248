// Names of numbered files, made from a printf-style format with one integer conversion.
//
//   IsNameFormat(format)       literal text, "%%" and exactly one conversion of d i u o x X
//   NumberedName(format, k)    the format applied to k, a name of any length (check the
//                              format with IsNameFormat first)
#pragma once

#include <cstdio>
#include <string>

#include "common/numbers.h"

inline bool IsNameFormat(const char* format) { return IsFormat(format, "diuoxX", false); }

inline std::string NumberedName(const char* format, int k) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int size = std::snprintf(nullptr, 0, format, k);
  std::string name(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) std::snprintf(name.data(), name.size() + 1, format, k);
#pragma GCC diagnostic pop
  return name;
}
