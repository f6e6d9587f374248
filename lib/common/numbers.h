// Numbers from command-line words and text fields.
//
//   ParseReal(text)        atof: leading number, 0 when there is none; out-of-range
//                          text gives +-HUGE_VAL or 0 as strtod does
//   ParseRealText(text)    the same value as ParseReal, faster on plain decimal numbers
//   ParseInt(text)         atoi: leading decimal integer, 0 when there is none;
//                          out-of-range text saturates at INT_MIN / INT_MAX
//   InRange(v, lo, hi)     lo <= v <= hi; false for not-a-number
//   ToInt(v)               trunc(v) clamped to the int range, 0 for not-a-number
//   IsFormat(fmt, convs, allowLong)
//                          fmt holds literal text, "%%" and exactly one conversion
//                          "%[-+ #0]*[width][.precision][l]c" with c among convs,
//                          width and precision at most kMaxFormatField
#pragma once

#include <string_view>

double ParseReal(const char* text);
double ParseRealText(const char* text);
int ParseInt(const char* text);

inline bool InRange(double v, double lo, double hi) { return v >= lo && v <= hi; }
int ToInt(double v);

constexpr long long kMaxFormatField = 4096;
bool IsFormat(const char* format, std::string_view conversions, bool allowLong);
