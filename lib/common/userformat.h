// Number formats given on the command line, for printf with one double argument.
//
//   IsNumberFormat(fmt)    IsFormat with the floating conversions (f F e E g G a A, "l"
//                          allowed), and a width and precision that printf can count:
//                          together with the longest number they stay below INT_MAX
// A format that passes consumes exactly one double and writes nothing but text.
#pragma once

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include "common/numbers.h"

inline bool IsNumberFormat(const char* format) {
  constexpr std::string_view kConversions = "fFeEgGaA";
  // "%f" of -DBL_MAX takes 317 characters; printf's count is an int.
  constexpr long long kFieldLimit = INT_MAX - 400;
  if (!IsFormat(format, kConversions, true)) return false;
  const char* p = format;
  while ((p = std::strchr(p, '%')) != nullptr && p[1] == '%') p += 2;
  if (p == nullptr) return false;
  long long field[2] = {0, 0};  // width, precision
  int which = 0;
  for (++p; *p != '\0'; ++p) {
    if (*p == '.') {
      which = 1;
    } else if (*p >= '0' && *p <= '9') {
      field[which] = std::min(field[which] * 10 + (*p - '0'), kFieldLimit);
    } else if (std::strchr("-+ #", *p) == nullptr) {
      break;
    }
  }
  return field[0] + field[1] < kFieldLimit;
}
